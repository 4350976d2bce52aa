/*
 * Firmware of the experiment "charging and discharging a capacitor" for the ATmega8 at 16 MHz.
 *
 * Circuit: PB1 drives the capacitor through R (high = charge from AVCC, low = discharge),
 * ADC0 measures the capacitor voltage U_C, ADC1 the pin side of R; AVCC is the reference.
 *
 * Serial line: 115200 baud, 8N1. Commands are a text and "\n" ("\r\n" and blanks around the
 * command are accepted); every command is answered with one line:
 *   "ver"   -> the firmware's name and version
 *   "start" -> "OK start": one run: discharge the capacitor until it is empty, then charge
 *              30 s and discharge 30 s, one set of frames per sample, 10 samples per second;
 *              the run ends by itself with the line "OK Ende"
 *   "stop"  -> "OK stop": the run ends at once, no more frames, the capacitor discharges
 *   other   -> an error line
 * Commands are accepted while frames are streaming; a "start" during a run begins a new run.
 *
 * Frames: one id byte and the value as 16-bit little-endian ADC counts (0..1023):
 *   1 U_C while charging, 2 U_C while discharging, 3 U_C always, 4 U_R = |ADC1 - ADC0| always.
 * While the capacitor is emptied before a run, only frames 3 and 4 come (every 100 ms), so the
 * displays show it falling. The frames of one sample are sent together, never split by an
 * answer line; "OK Ende" follows the last sample's frames.
 */
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <avr/sleep.h>
#include <stdint.h>
#include <string.h>

/* 115200 baud with the doubled rate: 16 MHz / (8 * (16 + 1)) = 117647 baud, 2.1 % fast, the
 * closest the 16 MHz clock allows (without U2X the nearest is 3.5 % off). */
#define UBRR_VALUE 16

/* Timer 1 in CTC mode at 16 MHz / 256 = 62500 Hz: 6250 counts are exactly 100 ms, so the
 * samples follow the crystal without drift, whatever the main loop does meanwhile. */
#define TICK_COUNTS 6250u

/* 30 s of charging, then 30 s of discharging, at 10 samples per second. */
#define SAMPLES_PER_HALF_CYCLE 300u

/* Before a run the capacitor is discharged until it reads empty (at most this many counts),
 * or until it no longer falls: the last SETTLE_GROUP readings together not lower than the
 * SETTLE_GROUP readings of about 4 s earlier, so a board without a capacitor, or a reading
 * that settles above zero, does not block the run. Sums of several readings over a long
 * window keep the noise of a count from ending a real discharge early. */
#define EMPTY_COUNTS 1u
#define SETTLE_TICKS 40u
#define SETTLE_GROUP 4u

/* Longer command lines are refused as a whole. */
#define LINE_MAX 32u

#define RX_SIZE 64u /* powers of two: the indices wrap with a mask */
#define TX_SIZE 64u

/* AVCC as reference (with the capacitor at AREF), right-adjusted result. */
#define ADMUX_ADC0 (_BV(REFS0) | 0)
#define ADMUX_ADC1 (_BV(REFS0) | 1)
/* ADC on, its interrupt on, clock 16 MHz / 128 = 125 kHz. */
#define ADCSRA_ON (_BV(ADEN) | _BV(ADIE) | _BV(ADPS2) | _BV(ADPS1) | _BV(ADPS0))

/* ENDING: the run's last sample is being converted; no further sample is taken. */
enum RunState { IDLE, DISCHARGING, RUNNING, ENDING };
enum SampleKind { KIND_PRERUN, KIND_CHARGING, KIND_DISCHARGING };

static const char answerVersion[] PROGMEM = "NUK Kondensator-Firmware 1.0\n";
static const char answerStart[] PROGMEM = "OK start\n";
static const char answerStop[] PROGMEM = "OK stop\n";
static const char answerEnd[] PROGMEM = "OK Ende\n";
static const char answerError[] PROGMEM = "Fehler: unbekannter Befehl\n";
static const char commandVersion[] PROGMEM = "ver";
static const char commandStart[] PROGMEM = "start";
static const char commandStop[] PROGMEM = "stop";

/* Received bytes. When bytes are lost (the queue was full, the UART overran, a byte came
 * garbled), the next entry says so: RX_BROKEN, bytes of this line are missing, so it is refused
 * instead of being read as another command; RX_CUT, a line end was among them, so the line
 * received so far is dropped without an answer (its command never arrived whole) and this byte
 * begins the next one. */
#define RX_BROKEN 0x100u
#define RX_CUT 0x200u
static volatile uint16_t rxBuffer[RX_SIZE];
static volatile uint8_t rxHead; /* written by the receive interrupt */
static volatile uint8_t rxTail; /* written by the main loop */
static volatile uint16_t rxLost; /* RX_BROKEN and RX_CUT for the next entry */

/* Bytes to send; the data-register-empty interrupt drains them. */
static volatile uint8_t txBuffer[TX_SIZE];
static volatile uint8_t txHead; /* written by the main loop */
static volatile uint8_t txTail; /* written by the interrupt */

/* The run, written by the main loop with interrupts off, read by the timer interrupt. */
static volatile uint8_t runState = IDLE;
static volatile uint8_t runEpoch; /* counts starts and stops: a sample of an older run is dropped */
static volatile uint16_t halfIndex; /* sample number inside the current half cycle */
static volatile uint8_t charging;

/* The conversion under way and the last complete sample (both inputs). */
static volatile uint8_t convKind;
static volatile uint8_t convEpoch;
static volatile uint8_t convStep;
static volatile uint16_t convAdc0;
static volatile uint8_t sampleReady;
static volatile uint8_t sampleKind;
static volatile uint8_t sampleEpoch;
static volatile uint16_t sampleAdc0;
static volatile uint16_t sampleAdc1;

/* Discharge check before a run: the last SETTLE_TICKS readings of U_C. */
static uint16_t settleHistory[SETTLE_TICKS];
static uint8_t settleIndex;
static uint8_t settleCount;

ISR(USART_RXC_vect) {
    uint8_t status = UCSRA;
    uint8_t byte = UDR;
    /* bytes lost in the hardware, or this one garbled: whether a line end was among them is
     * unknown, so the line counts as broken */
    if (status & (_BV(FE) | _BV(DOR))) rxLost |= RX_BROKEN;
    if (status & _BV(FE)) return;
    uint8_t next = (uint8_t)((rxHead + 1) & (RX_SIZE - 1));
    if (next == rxTail) {
        rxLost = byte == '\n' ? RX_CUT : (uint16_t)(rxLost | RX_BROKEN);
        return;
    }
    rxBuffer[rxHead] = byte | rxLost;
    rxLost = 0;
    rxHead = next;
}

ISR(USART_UDRE_vect) {
    uint8_t tail = txTail;
    if (tail == txHead) {
        UCSRB &= (uint8_t)~_BV(UDRIE);
        return;
    }
    UDR = txBuffer[tail];
    txTail = (uint8_t)((tail + 1) & (TX_SIZE - 1));
}

/* Every 100 ms: set the pin for this sample (during a run), then convert ADC0 and ADC1 at
 * once, so the sample instants have the timer's accuracy. */
ISR(TIMER1_COMPA_vect) {
    uint8_t kind;
    if (runState == RUNNING) {
        if (charging) {
            PORTB |= _BV(PB1);
            kind = KIND_CHARGING;
        } else {
            PORTB &= (uint8_t)~_BV(PB1);
            kind = KIND_DISCHARGING;
        }
        if (++halfIndex >= SAMPLES_PER_HALF_CYCLE) {
            halfIndex = 0;
            /* After the discharging half the run is over: this is its last sample. */
            if (charging)
                charging = 0;
            else
                runState = ENDING;
        }
    } else if (runState == DISCHARGING) {
        kind = KIND_PRERUN;
    } else {
        return;
    }
    convKind = kind;
    convEpoch = runEpoch;
    convStep = 0;
    ADMUX = ADMUX_ADC0;
    ADCSRA = ADCSRA_ON | _BV(ADSC);
}

ISR(ADC_vect) {
    /* The result is read before the input is switched. */
    uint16_t value = ADC;
    if (convStep == 0) {
        convAdc0 = value;
        convStep = 1;
        ADMUX = ADMUX_ADC1;
        ADCSRA = ADCSRA_ON | _BV(ADSC);
        return;
    }
    sampleAdc0 = convAdc0;
    sampleAdc1 = value;
    sampleKind = convKind;
    sampleEpoch = convEpoch;
    sampleReady = 1;
}

/* Queues bytes to send; waits (asleep) while the ring is full. Blocks of up to TX_SIZE - 1
 * bytes go in whole, so a set of frames is never split by an answer. */
static void send(const uint8_t* bytes, uint8_t count) {
    for (;;) {
        uint8_t used = (uint8_t)((txHead - txTail) & (TX_SIZE - 1));
        if ((uint8_t)(TX_SIZE - 1 - used) >= count) break;
        cli();
        if ((uint8_t)((txHead - txTail) & (TX_SIZE - 1)) == used) {
            sleep_enable();
            sei();
            sleep_cpu();
            sleep_disable();
        }
        sei();
    }
    uint8_t head = txHead;
    while (count--) {
        txBuffer[head] = *bytes++;
        head = (uint8_t)((head + 1) & (TX_SIZE - 1));
    }
    txHead = head;
    UCSRB |= _BV(UDRIE);
}

static void sendText(const char* text) {
    uint8_t buffer[LINE_MAX];
    uint8_t n = 0;
    char c;
    while ((c = (char)pgm_read_byte(text++)) != 0 && n < sizeof(buffer)) buffer[n++] = (uint8_t)c;
    send(buffer, n);
}

static void startRun(void) {
    cli();
    PORTB &= (uint8_t)~_BV(PB1);
    runState = DISCHARGING;
    ++runEpoch;
    settleIndex = 0;
    settleCount = 0;
    /* The 100 ms grid begins now: the first reading of the discharge check in 100 ms. */
    TCNT1 = 0;
    SFIOR |= _BV(PSR10);
    TIFR = _BV(OCF1A);
    sei();
}

static void stopRun(void) {
    cli();
    PORTB &= (uint8_t)~_BV(PB1);
    runState = IDLE;
    ++runEpoch;
    sei();
}

/* A reading of the discharge before the run. Once the capacitor is empty (or no longer
 * falls), the next timer tick is sample 0 of the run: the pin goes high with it. */
static void checkDischarge(uint16_t uc) {
    uint8_t ready = uc <= EMPTY_COUNTS;
    settleHistory[settleIndex] = uc;
    settleIndex = (uint8_t)((settleIndex + 1) % SETTLE_TICKS);
    if (settleCount < SETTLE_TICKS) ++settleCount;
    if (settleCount >= SETTLE_TICKS) {
        /* settleIndex is now the oldest reading; the newest are just before it */
        uint16_t older = 0, newer = 0;
        for (uint8_t i = 0; i < SETTLE_GROUP; ++i) {
            older += settleHistory[(settleIndex + i) % SETTLE_TICKS];
            newer += settleHistory[(settleIndex + SETTLE_TICKS - 1 - i) % SETTLE_TICKS];
        }
        if (older <= newer) ready = 1;
    }
    if (!ready) return;
    cli();
    halfIndex = 0;
    charging = 1;
    runState = RUNNING;
    sei();
}

static uint8_t* putFrame(uint8_t* p, uint8_t id, uint16_t value) {
    p[0] = id;
    p[1] = (uint8_t)(value & 0xFF);
    p[2] = (uint8_t)(value >> 8);
    return p + 3;
}

static void handleSample(void) {
    cli();
    uint8_t kind = sampleKind;
    uint8_t epoch = sampleEpoch;
    uint16_t adc0 = sampleAdc0;
    uint16_t adc1 = sampleAdc1;
    sampleReady = 0;
    sei();
    if (epoch != runEpoch) return; /* taken before the last "start" or "stop" */
    uint16_t ur = adc1 > adc0 ? adc1 - adc0 : adc0 - adc1;
    uint8_t frames[9];
    if (kind == KIND_PRERUN) {
        if (runState != DISCHARGING) return;
        /* The displays follow the capacitor while it is emptied; the curves wait for the run. */
        uint8_t* p = putFrame(frames, 3, adc0);
        putFrame(p, 4, ur);
        send(frames, 6);
        checkDischarge(adc0);
        return;
    }
    if (runState != RUNNING && runState != ENDING) return;
    uint8_t* p = putFrame(frames, kind == KIND_CHARGING ? 1 : 2, adc0);
    p = putFrame(p, 3, adc0);
    putFrame(p, 4, ur);
    send(frames, sizeof(frames));
    if (runState == ENDING) {
        /* The last sample is out: the run is over, the capacitor stays on discharge. */
        cli();
        runState = IDLE;
        ++runEpoch;
        sei();
        sendText(answerEnd);
    }
}

static void execute(char* line, uint8_t length, uint8_t broken) {
    /* Blanks, tabs and a carriage return around the command do not count. */
    uint8_t first = 0;
    while (first < length && (line[first] == ' ' || line[first] == '\t' || line[first] == '\r')) ++first;
    while (length > first && (line[length - 1] == ' ' || line[length - 1] == '\t' || line[length - 1] == '\r'))
        --length;
    if (!broken && first == length) return; /* an empty line is no command */
    line[length] = 0;
    const char* command = line + first;
    if (broken) {
        sendText(answerError);
    } else if (strcmp_P(command, commandVersion) == 0) {
        sendText(answerVersion);
    } else if (strcmp_P(command, commandStart) == 0) {
        startRun();
        sendText(answerStart);
    } else if (strcmp_P(command, commandStop) == 0) {
        stopRun();
        sendText(answerStop);
    } else {
        sendText(answerError);
    }
}

static char line[LINE_MAX + 1];
static uint8_t lineLength;
static uint8_t lineBroken; /* too long, or bytes of it lost */

static void handleReceived(void) {
    while (rxTail != rxHead) {
        uint8_t tail = rxTail;
        uint16_t entry = rxBuffer[tail];
        rxTail = (uint8_t)((tail + 1) & (RX_SIZE - 1));
        if (entry & RX_CUT) {
            lineLength = 0;
            lineBroken = 0;
        }
        if (entry & RX_BROKEN) lineBroken = 1;
        uint8_t byte = (uint8_t)entry;
        if (byte == '\n') {
            execute(line, lineLength, lineBroken);
            lineLength = 0;
            lineBroken = 0;
        } else if (lineLength < LINE_MAX) {
            line[lineLength++] = (char)byte;
        } else {
            lineBroken = 1;
        }
    }
}

int main(void) {
    /* PB1 drives the capacitor; low until a run starts, so it discharges while idle. */
    PORTB &= (uint8_t)~_BV(PB1);
    DDRB |= _BV(PB1);

    /* The rate takes effect with the write of UBRRL, so it comes last, after the doubled rate.
     * UBRRH and UCSRC share their address (URSEL selects UCSRC): the format goes first, so that
     * a simulator that keeps one byte for both ends up with UBRRH there. */
    UCSRA = _BV(U2X);
    UCSRC = _BV(URSEL) | _BV(UCSZ1) | _BV(UCSZ0); /* 8N1 */
    UBRRH = (uint8_t)(UBRR_VALUE >> 8);
    UBRRL = (uint8_t)UBRR_VALUE;
    UCSRB = _BV(RXEN) | _BV(TXEN) | _BV(RXCIE);

    ADMUX = ADMUX_ADC0;
    ADCSRA = ADCSRA_ON;

    OCR1A = TICK_COUNTS - 1;
    TCCR1A = 0;
    TCCR1B = _BV(WGM12) | _BV(CS12); /* CTC on OCR1A, clock / 256 */
    TIMSK = _BV(OCIE1A);

    set_sleep_mode(SLEEP_MODE_IDLE);
    sei();
    for (;;) {
        handleReceived();
        if (sampleReady) handleSample();
        /* Sleep until the next interrupt, unless one already left work behind. */
        cli();
        if (rxTail == rxHead && !sampleReady) {
            sleep_enable();
            sei();
            sleep_cpu();
            sleep_disable();
        }
        sei();
    }
}
