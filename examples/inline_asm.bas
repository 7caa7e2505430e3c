' inline_asm.bas - a fast 8-bit delay written in assembler inside the
' BASIC program; the BASIC variable loops is _loops to the assembler.
DEFINE OSC 4

loops VAR BYTE BANK0
led VAR PORTB.1

    TRISB = 0
Main:
    TOGGLE led
    loops = 200
    GOSUB Spin
    GOTO Main

Spin:
ASM
spin_loop
        nop                     ; one cycle of padding
        decfsz  _loops, F       ; count down, skip when zero
        goto    spin_loop
ENDASM
    RETURN
    END
