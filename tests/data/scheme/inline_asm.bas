' BASIC with assembler blocks and @ lines
cnt VAR BYTE
Start:
    cnt = 5
ASM
_delay
      movlw   H'FF'            ; load
      movwf   _cnt
loop  decfsz  _cnt, F
      goto    loop
      btfss   STATUS, Z
      retlw   0x1F
      addlw   B'1010' + D'10' + .12 - O'17'
ENDASM
@ nop                          ; one instruction
@ bsf PORTB, 0
    HIGH PORTB.0
    GOTO Start
