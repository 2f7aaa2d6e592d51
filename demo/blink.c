/* blink: the sample that `make demo` hands to the installed vq4.
 * Toggles one output pin of an 18-series lum chip in a busy loop. */
#define LATB (*(volatile unsigned char *)0xF8A)
#define TRISB (*(volatile unsigned char *)0xF93)

static void delay(unsigned int count) {
    while (count-- != 0) {
    }
}

void main(void) {
    TRISB = 0x00;
    for (;;) {
        LATB ^= 0x01;
        delay(50000u);
    }
}
