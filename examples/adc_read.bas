' adc_read.bas - reads a potentiometer on AN0 ten times a second and
' sends the 10-bit value and a bar of stars to a terminal on RB7.
DEFINE OSC 4
DEFINE ADC_BITS 10
DEFINE ADC_CLOCK 3
DEFINE ADC_SAMPLEUS 50

raw VAR WORD
stars VAR BYTE
i VAR BYTE
TX_PIN VAR PORTB.7

    TRISA = %11111111          ' AN0 is an input
    ADCON1 = %10001110         ' AN0 analogue, right justified
Sample:
    ADCIN 0, raw
    stars = raw / 64           ' 0 to 15 stars
    SEROUT2 TX_PIN, 84, ["AN0 = ", DEC4 raw, " "]
    FOR i = 1 TO stars
        SEROUT2 TX_PIN, 84, ["*"]
    NEXT i
    SEROUT2 TX_PIN, 84, [13, 10]
    PAUSE 100
    GOTO Sample
    END
