' serial_hello.bas - greets a terminal at 9600 baud on the hardware UART
' (TX on RC6) and echoes every byte it receives, in upper case.
DEFINE OSC 20
DEFINE HSER_BAUD 9600
DEFINE HSER_RCSTA $90
DEFINE HSER_TXSTA $24

char VAR BYTE
count VAR WORD

    count = 0
    HSEROUT ["Hello from the PIC", 13, 10]
Echo:
    HSERIN [char]
    IF char >= "a" AND char <= "z" THEN
        char = char - 32
    ENDIF
    HSEROUT [char]
    count = count + 1
    IF char = 13 THEN
        HSEROUT [10, "Bytes so far: ", DEC count, 13, 10]
    ENDIF
    GOTO Echo
    END
