# blade-stiffened panel, axial compression 475 N/mm; wide stiffener pitch 180 mm, blade height 45 mm, frame pitch 500 mm
# skin 24 plies, blade 40 plies; skin buckling between stiffeners governs; carbon/epoxy 0.125 mm plies; objective = KS smooth minimum of buckling and strain load factors
11000000 -3.511485566e-02
10100000 +3.418636684e-02
01100000 +9.317591285e-03
10010000 +3.796350004e-03
01010000 +1.696629646e-02
00110000 +3.163749767e-03
10001000 -4.107051446e-02
01001000 -8.027116482e-03
00101000 -2.621636556e-03
00011000 -1.532032613e-02
