Breakdown
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

Shaker
Cymbol1


2:1


Shaker



3:2


Shaker


Cowbell
4:3


Shaker



5:0*

Crack
Shaker



6:1


Shaker



7:2


Shaker

Congo

8:3


Shaker

Congo

9:0*


Shaker



10:1


Shaker



11:2
Kick

Shaker



12:3


Shaker

Congo

13:0*

Crack
Shaker



14:1


Shaker



15:2


Shaker

Block

16:3


Shaker


Cowbell







60
2
