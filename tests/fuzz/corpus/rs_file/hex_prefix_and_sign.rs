0x1 0.25
0X10001 -7.5e-1
-1 1
+A 2
0xffffffff 3
