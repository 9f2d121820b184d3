Funk 16ths
Length:
16
Time:
4



Channel:1
Channel:2
Channel:3
Channel:4
Channel:5
Channel:6
1:0*
Kick

ClsHiat



2:1


ClsHiat



3:2
Kick

ClsHiat



4:3


ClsHiat



5:0*

Snare
ClsHiat



6:1


ClsHiat



7:2


ClsHiat



8:3

Snare
OpHiat



9:0*


ClsHiat



10:1

Snare
ClsHiat



11:2
Kick

ClsHiat



12:3


ClsHiat



13:0*

Snare
ClsHiat



14:1
Kick

ClsHiat



15:2


ClsHiat



16:3


ClsHiat
Rimshot









64
4
