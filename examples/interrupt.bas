' interrupt.bas - counts presses of a button on RB0/INT in an interrupt
' routine while the main loop shows the count in binary on PORTC.
DEFINE OSC 4

presses VAR BYTE

    presses = 0
    TRISC = 0                  ' PORTC shows the count
    OPTION_REG = %00111111     ' pull-ups on, interrupt on the falling edge
    INTCON = %10010000         ' global and RB0/INT interrupts on
    ON INTERRUPT GOTO Pressed
Main:
    PORTC = presses
    PAUSE 10
    GOTO Main

    DISABLE                    ' no interrupt checks inside the handler
Pressed:
    presses = presses + 1
    INTCON.1 = 0               ' clear the RB0/INT flag
    RESUME
    ENABLE
    END
