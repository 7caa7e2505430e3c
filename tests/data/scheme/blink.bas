' Blink an LED on PORTB.0 and count on an LCD
DEFINE OSC 4
DEFINE LCD_DREG PORTB
INCLUDE "modedefs.bas"

led     VAR PORTB.0
cnt     VAR BYTE
total   VAR WORD
flags   VAR BIT
LIMIT   CON 10
SYMBOL  Button1 = PORTA.1

        TRISB = %00000000     ' all outputs
        ADCON1 = 7
Main:
        HIGH led              ; on
        PAUSE 500
        LOW led : PAUSEUS 100
        TOGGLE PORTB.1
        FOR cnt = 0 TO LIMIT STEP 2
            LCDOUT $FE, 1, "Count: ", DEC cnt, " ", HEX2 cnt, " ", BIN8 cnt
        NEXT cnt
        IF total > 1000 AND NOT flags THEN
            total = 0
        ELSE
            total = total + cnt * 2 // 3
        ENDIF
        WHILE cnt <> 0
            cnt = cnt - 1
        WEND
        GOSUB Report
        GOTO Main

Report:
        SELECT CASE cnt
            CASE 0
                SEROUT PORTC.6, T2400, ["zero", 13, 10]
            CASE IS > 5
                HSEROUT ["big ", DEC cnt, 13, 10]
            CASE ELSE
                SERIN2 PORTC.7, 84, 1000, Report, [WAIT("A"), STR total\2]
        END SELECT
        I2CREAD PORTC.4, PORTC.3, $A0, 0, [cnt]
        I2CWRITE PORTC.4, PORTC.3, $A0, 0, [cnt]
        ADCIN 0, total
        READ 0, cnt : WRITE 1, cnt
        LOOKUP cnt, [1, 2, 4, 8], total
        LOOKDOWN cnt, [1, 2, 4, 8], total
        SHIFTOUT PORTB.2, PORTB.3, MSBFIRST, [cnt\8]
        PULSIN PORTB.4, 1, total
        PULSOUT PORTB.5, 100
        PWM PORTB.6, 127, 100
        SOUND PORTB.7, [100, 10]
        REM sleep a little
        NAP 3
        SLEEP 1
        RETURN

EEPROM 0, [1, 2, 3, 4]
DATA @10, "text"

ON INTERRUPT GOTO Handler
DISABLE
Handler:
        total = total + 1
        RESUME
ENABLE
        END
