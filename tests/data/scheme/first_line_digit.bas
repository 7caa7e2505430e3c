1abc: GOTO 1abc
2nd:
