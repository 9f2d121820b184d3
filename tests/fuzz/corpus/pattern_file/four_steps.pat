Groove
Length:
4
Time:
4



1
2
3
4
5
6
1
Kick





2






3
Snare
HiHat




4













50
1
