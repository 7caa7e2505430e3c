; Listing of blink.bas
        LIST p=16F84, r=dec
        #include "P16F84.INC"
        __CONFIG _XT_OSC & _WDT_OFF & _PWRTE_ON
        ERRORLEVEL -302

        CBLOCK 0x0C
        cnt
        total:2
        ENDC

RESET_VEC ORG 0x000
        goto    main
        ORG     0x004
isr     retfie

main    clrf    PORTB
        bsf     STATUS, RP0
        movlw   B'00000000'
        movwf   TRISB
        bcf     STATUS, RP0
loop:   movlw   H'FF'
        movwf   cnt
wait    decfsz  cnt, F
        goto    wait
        incf    total, F
        btfsc   STATUS, Z
        incf    total+1, F
        movf    cnt, W
        sublw   .10
        andlw   0x0F
        iorlw   1Fh
        xorlw   A'c'
        call    table
        goto    loop

table   addwf   PCL, F
        dt      "Hello", 0
        retlw   D'255'
msg     de      "eeprom", 0
        END
