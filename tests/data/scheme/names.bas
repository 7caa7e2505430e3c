icon VAR BYTE
pend VAR WORD
blend:
    xor1 = icon + 1
	pend = blend
xor1:
1abc: x = 2
  _start:
 	mixed:
endx = 1
HIGH PORTB.0
@ nop
icon = 5
@ nop
    pend = 3
@ nop
blend:
loop:
end:
x1 VAR BIT
    IF icon THEN GOTO loop
' comment
REM remark
Last:
END
