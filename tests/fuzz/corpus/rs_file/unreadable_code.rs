zz 1.0
