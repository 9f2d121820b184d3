Rock Beat
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






3:2


ClsHiat



4:3






5:0*

Snare
ClsHiat



6:1






7:2


ClsHiat



8:3






9:0*
Kick

ClsHiat



10:1






11:2
Kick

ClsHiat



12:3






13:0*

Snare
ClsHiat



14:1






15:2


ClsHiat



16:3













60
4
