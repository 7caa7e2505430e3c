Start: HIGH PORTB.0
' first line is a label
loop:
    inner:
	Tabbed:
    HIGH 0: PAUSE 10
    x = y: z = 1
led VAR PORTB.0
@ nop
AfterAsm:
@ nop
    Indented:
@ nop
HIGH 1
    GOTO loop
END