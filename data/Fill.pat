Fill
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

Snare




10:1

Snare




11:2

Snare




12:3

Snare




13:0*
Kick


Tom1


14:1



Tom1


15:2
Kick


Tom2


16:3



Tom2









60
1
