Shuffle
Length:
12
Time:
3



Channel:1
Channel:2
Channel:3
Channel:4
Channel:5
Channel:6
1:0*
Kick

Cymbol2



2:1






3:2


Cymbol2



4:0*

Snare
Cymbol2



5:1






6:2


Cymbol2



7:0*
Kick

Cymbol2



8:1






9:2
Kick

Cymbol2



10:0*

Snare
Cymbol2



11:1






12:2


Cymbol2










84
4
