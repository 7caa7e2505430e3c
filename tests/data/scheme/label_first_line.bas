  First:
x = 1
