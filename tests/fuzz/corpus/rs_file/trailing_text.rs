1 2.0 trailing words
10 3e-2	and a tab
