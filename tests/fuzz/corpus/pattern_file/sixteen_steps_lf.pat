Groove
Length:
16
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






4






5






6






7






8






9
Sample1





10






11






12






13






14






15






16













50
1
