' CRLF line ends
Start:
  HIGH PORTB.0
ASM
lbl  nop
ENDASM
  GOTO Start
