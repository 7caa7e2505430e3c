' blink.bas - the first program: an LED on PORTB.0 blinks twice a second.
' Wire an LED with a 330 ohm resistor from RB0 to ground.
DEFINE OSC 4

led VAR PORTB.0

    TRISB = %11111110          ' RB0 drives the LED, the rest stay inputs
Main:
    HIGH led
    PAUSE 250
    LOW led
    PAUSE 250
    GOTO Main
    END
