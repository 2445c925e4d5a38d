1 abc
