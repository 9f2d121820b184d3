N
Length:
10000
Time:
4
