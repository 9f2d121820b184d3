Half-time
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
Cymbol1


2:1






3:2


ClsHiat



4:3
Kick





5:0*


ClsHiat



6:1






7:2


ClsHiat



8:3






9:0*

Snare
ClsHiat



10:1






11:2
Kick

ClsHiat



12:3






13:0*


ClsHiat



14:1






15:2


OpHiat



16:3













60
4
