N
Length:
-3
Time:
