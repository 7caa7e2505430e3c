icon VAR BYTE
icon = 1
