Disco
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


OpHiat

Tamb

4:3


ClsHiat



5:0*
Kick
Snare
ClsHiat
Crack


6:1


ClsHiat



7:2


OpHiat

Tamb

8:3


ClsHiat



9:0*
Kick

ClsHiat



10:1


ClsHiat



11:2


OpHiat

Tamb

12:3


ClsHiat



13:0*
Kick
Snare
ClsHiat
Crack


14:1


ClsHiat



15:2


OpHiat

Tamb

16:3


ClsHiat










58
4
