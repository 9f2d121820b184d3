Count-in
Length:
32
Time:
4



Channel:1
Channel:2
Channel:3
Channel:4
Channel:5
Channel:6
1:0*
Rimshot
ClsHiat




2:1






3:2






4:3






5:0*






6:1






7:2






8:3






9:0*
Rimshot
ClsHiat




10:1






11:2






12:3






13:0*






14:1






15:2






16:3






17:0*
Rimshot
ClsHiat




18:1






19:2






20:3






21:0*
Rimshot
ClsHiat




22:1






23:2






24:3






25:0*
Rimshot
ClsHiat




26:1






27:2






28:3






29:0*
Rimshot
ClsHiat




30:1






31:2






32:3













60
1
