N
Length:
-1
Time:
4


7
1
