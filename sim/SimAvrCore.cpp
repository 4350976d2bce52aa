#include "sim/SimAvrCore.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>

extern "C" {
#include <avr_adc.h>
#include <avr_ioport.h>
#include <avr_uart.h>
#include <sim_avr.h>

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text
}

namespace {

SimTime clockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// simavr reports through one logger for the whole process; its messages (UART set-up, ADC
// traces, a crash) would only clutter the board's terminal, and a crash shows in the core's
// state anyway.
void quietLogger(avr_t*, const int, const char*, va_list) {}

// Does nothing: its only purpose is to stand in the core's timer list, so that a sleeping
// controller wakes at the end of the slice it was given instead of skipping further ahead.
avr_cycle_count_t paceTimer(avr_t*, avr_cycle_count_t, void*) {
    return 0;
}

void sleepNot(avr_t*, avr_cycle_count_t) {}

constexpr uint8_t chargePin = 1 << 1;  // PB1

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// simavr keeps the names of a controller's interrupt lines for good (a few dozen bytes per
// power-on); the sanitizer build is not to count that as our leak.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libsimavr\n";
}
#endif

// What the program sees on the line, read back from the firmware's output: answer lines, and
// frames of an id byte (1..4) and two value bytes. A text line never starts with 1..4, and the
// firmware never splits a frame, so the two can be told apart at every byte.
class SimAvrCore::WireWatch {
public:
    explicit WireWatch(SimAvrCore& core) : core_(core) {}
    // True when the byte completed a frame.
    bool onByte(uint8_t b) {
        if (frameLeft_ > 0) {
            if (--frameLeft_ > 0) return false;
            // A sample of the run carries a curve frame (1 or 2); the readings while the
            // capacitor is emptied before it do not.
            if (id_ == 1 || id_ == 2) ++core_.samples_;
            ++core_.frames_;
            return true;
        }
        if (!inText_ && b >= 1 && b <= 4) {
            id_ = b;
            frameLeft_ = 2;
            return false;
        }
        inText_ = true;
        if (text_.size() < 40) text_ += static_cast<char>(b);
        if (b == '\n') {
            if (text_ == "OK start\n") {
                core_.samples_ = 0;
                core_.measuring_ = true;
            } else if (text_ == "OK stop\n" || text_ == "OK Ende\n") {
                core_.measuring_ = false;
            }
            text_.clear();
            inText_ = false;
        }
        return false;
    }

private:
    SimAvrCore& core_;
    int frameLeft_ = 0;
    uint8_t id_ = 0;
    bool inText_ = false;
    std::string text_;
};

// One power-on of the controller: the simavr instance and its connections.
struct SimAvrCore::Core {
    SimAvrCore& owner;
    avr_t* avr = nullptr;
    avr_uart_t* uart = nullptr;
    avr_irq_t* uartInput = nullptr;
    avr_irq_t* adc0 = nullptr;
    avr_irq_t* adc1 = nullptr;
    uint8_t ddrB = 0;
    uint8_t portB = 0;
    uint64_t circuitCycle = 0;  // the cycle the circuit's state belongs to
    int64_t conversions = 0;

    explicit Core(SimAvrCore& o) : owner(o) {}
    ~Core() {
        if (avr != nullptr) {
            avr_terminate(avr);
            std::free(avr);
        }
    }

    bool create(const std::vector<uint8_t>& flash) {
        static std::once_flag once;
        std::call_once(once, [] { avr_global_logger_set(quietLogger); });
        avr = avr_make_mcu_by_name("atmega8");
        if (avr == nullptr) return false;
        avr_init(avr);
        avr->frequency = clockHz;
        const RcCircuit& c = owner.circuit_;
        avr->vcc = static_cast<uint32_t>(std::lround(c.getParameters().supply * 1000.0));
        avr->avcc = static_cast<uint32_t>(std::lround(c.getReference() * 1000.0));
        avr->aref = avr->avcc;
        avr->sleep = sleepNot;
        avr->log = LOG_NONE;
        std::vector<uint8_t> image(flash);
        image.resize(std::min<std::size_t>(image.size(), avr->flashend + 1));
        avr_loadcode(avr, image.data(), static_cast<uint32_t>(image.size()), 0);

        // No console echo and no polling delays: the board reads the UART itself.
        uint32_t flags = 0;
        avr_ioctl(avr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
        for (avr_io_t* io = avr->io_port; io != nullptr; io = io->next)
            if (std::strcmp(io->kind, "uart") == 0) uart = reinterpret_cast<avr_uart_t*>(io);
        uartInput = avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
        avr_irq_t* uartOutput = avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT);
        adc0 = avr_io_getirq(avr, AVR_IOCTL_ADC_GETIRQ, ADC_IRQ_ADC0);
        adc1 = avr_io_getirq(avr, AVR_IOCTL_ADC_GETIRQ, ADC_IRQ_ADC1);
        avr_irq_t* trigger = avr_io_getirq(avr, AVR_IOCTL_ADC_GETIRQ, ADC_IRQ_OUT_TRIGGER);
        avr_irq_t* port = avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('B'), IOPORT_IRQ_REG_PORT);
        avr_irq_t* ddr = avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('B'), IOPORT_IRQ_DIRECTION_ALL);
        if (uart == nullptr || uartInput == nullptr || uartOutput == nullptr || adc0 == nullptr ||
            adc1 == nullptr || trigger == nullptr || port == nullptr || ddr == nullptr)
            return false;
        avr_irq_register_notify(uartOutput, onOutput, this);
        avr_irq_register_notify(trigger, onConversion, this);
        avr_irq_register_notify(port, onPort, this);
        avr_irq_register_notify(ddr, onDirection, this);
        circuitCycle = avr->cycle;
        return true;
    }

    double seconds(uint64_t cycles) const { return static_cast<double>(cycles) / clockHz; }
    bool driven() const { return (ddrB & chargePin) != 0; }
    bool high() const { return (portB & chargePin) != 0; }

    // Brings the capacitor to the present cycle: it charges or discharges through R towards the
    // pin's voltage, exactly (the pin is constant in between), or holds while the pin floats.
    void settle() {
        uint64_t now = avr->cycle;
        if (now <= circuitCycle) return;
        double dt = seconds(now - circuitCycle);
        circuitCycle = now;
        if (!driven()) return;
        double pin = high() ? owner.circuit_.getParameters().supply : 0.0;
        double uc = owner.capacitor_.load();
        owner.capacitor_ = pin + (uc - pin) * std::exp(-dt / owner.circuit_.getTau());
    }

    // The voltage fed to the ADC as simavr wants it: millivolts that its truncating conversion
    // turns into exactly the counts of the circuit (rounded, with the circuit's noise).
    uint32_t millivolts(double volts, int input) {
        const RcCircuit& c = owner.circuit_;
        int counts = std::clamp(c.toCounts(volts) + c.noiseAt(conversions, input), 0, RcCircuit::adcMax);
        uint64_t ref = avr->avcc;
        return static_cast<uint32_t>((static_cast<uint64_t>(counts) * ref + RcCircuit::adcMax - 1) / RcCircuit::adcMax);
    }

    static void onOutput(avr_irq_t*, uint32_t value, void* param) {
        auto* self = static_cast<Core*>(param);
        self->owner.output_.push_back(static_cast<uint8_t>(value));
        if (self->owner.outputTap_)
            self->owner.outputTap_(self->avr->cycle - self->owner.originCycle_, static_cast<uint8_t>(value));
    }
    // A conversion starts: both inputs get the circuit's voltages of this moment.
    static void onConversion(avr_irq_t*, uint32_t, void* param) {
        auto* self = static_cast<Core*>(param);
        self->settle();
        double uc = self->owner.capacitor_.load();
        double pinSide = self->driven() ? (self->high() ? self->owner.circuit_.getParameters().supply : 0.0) : uc;
        avr_raise_irq(self->adc0, self->millivolts(uc, 0));
        avr_raise_irq(self->adc1, self->millivolts(pinSide, 1));
        ++self->conversions;
    }
    static void onPort(avr_irq_t*, uint32_t value, void* param) {
        auto* self = static_cast<Core*>(param);
        self->settle();
        self->portB = static_cast<uint8_t>(value);
        self->owner.pinHigh_ = self->driven() && self->high();
    }
    static void onDirection(avr_irq_t*, uint32_t value, void* param) {
        auto* self = static_cast<Core*>(param);
        self->settle();
        self->ddrB = static_cast<uint8_t>(value);
        self->owner.pinHigh_ = self->driven() && self->high();
    }
};

SimAvrCore::SimAvrCore(const RcCircuit& circuit, const AvrMemory& memory, double timeScale)
    : circuit_(circuit),
      memory_(memory),
      timeScale_(timeScale > 0.0 ? timeScale : 1.0),
      watch_(std::make_unique<WireWatch>(*this)),
      seenGeneration_(memory.getGeneration()) {}

SimAvrCore::~SimAvrCore() = default;

uint64_t SimAvrCore::targetCycle(SimTime now) const {
    double elapsed = static_cast<double>(std::max<SimTime>(0, now - origin_)) * 1e-9 * timeScale_;
    return originCycle_ + static_cast<uint64_t>(elapsed * clockHz);
}

double SimAvrCore::getCoreSeconds() const {
    return static_cast<double>(cycles_.load()) / clockHz;
}
double SimAvrCore::getCapacitorVoltage() const {
    return capacitor_.load();
}
bool SimAvrCore::isChargePinHigh() const {
    return pinHigh_.load();
}

void SimAvrCore::powerOn(SimTime now) {
    core_.reset();
    running_ = false;
    measuring_ = false;
    pinHigh_ = false;
    watch_ = std::make_unique<WireWatch>(*this);
    origin_ = now;
    if (memory_.isFlashErased()) {
        log(SString(
            MSG("simCoreFlashEmpty", "Kern: der Flash ist leer, der Controller f\xFChrt nichts aus")));
        return;
    }
    auto core = std::make_unique<Core>(*this);
    if (!core->create(memory_.getFlash())) {
        log(SString(MSG("simCoreNotCreated", "Kern: der simulierte ATmega8 konnte nicht angelegt werden")));
        return;
    }
    core_ = std::move(core);
    originCycle_ = core_->avr->cycle;
    cycles_ = 0;
    running_ = true;
    ++starts_;
    log(SString(MSG("simCoreStarts", "Kern: ATmega8 startet das Programm im Flash")));
}

void SimAvrCore::powerOff() {
    core_.reset();
    running_ = false;
    measuring_ = false;
    pinHigh_ = false;
    input_.clear();
}

void SimAvrCore::reset() {
    powerOff();
    output_.clear();
    powered_ = false;
}

// Follows the supply and the flash: powers the controller on with the first call after
// construction or reset, and holds it in reset while the flash is being written.
void SimAvrCore::checkFlash(SimTime now) {
    lastNow_ = now;
    uint64_t generation = memory_.getGeneration();
    if (generation != seenGeneration_) {
        seenGeneration_ = generation;
        flashChangedAt_ = now;
        flashHeld_ = true;
        powerOff();
    }
    if (flashHeld_ && now - flashChangedAt_ >= flashSettle) {
        flashHeld_ = false;
        powered_ = false;
    }
    if (!powered_ && !flashHeld_) {
        powered_ = true;
        powerOn(now);
    }
}

void SimAvrCore::feedInput() {
    if (!core_) {
        input_.clear();
        return;
    }
    // The UART's receive queue stands for the bytes on their way: it takes them at the line
    // rate; the rest waits here.
    const uart_fifo_t& fifo = core_->uart->input;
    auto full = [&fifo] { return fifo.read == ((fifo.write + 1) & (uart_fifo_fifo_size - 1)); };
    while (!input_.empty() && !full()) {
        uint8_t b = input_.front();
        input_.pop_front();
        avr_raise_irq(core_->uartInput, b);
    }
}

void SimAvrCore::advance(SimTime now, bool bounded) {
    if (!core_) return;
    avr_t* avr = core_->avr;
    uint64_t target = targetCycle(now);
    if (avr->cycle < target) avr_cycle_timer_register(avr, target - avr->cycle, paceTimer, this);
    SimTime started = bounded ? clockNs() : 0;
    unsigned n = 0;
    while (avr->cycle < target) {
        if (avr->state != cpu_Running && avr->state != cpu_Sleeping) {
            // Crashed (an invalid instruction, a stack out of memory) or ended: silent until reset.
            if (running_)
                log(SString(MSG("simCoreStopped", "Kern: der simulierte ATmega8 ist stehen geblieben")));
            running_ = false;
            break;
        }
        avr->run(avr);
        if (!input_.empty()) feedInput();
        if (bounded && (++n & 0x3FF) == 0 && clockNs() - started > pollBudget) break;
    }
    cycles_ = avr->cycle - originCycle_;
    if (bounded && avr->cycle < target) {
        // The machine did not keep up: give up what exceeds the allowed backlog.
        SimTime behind = static_cast<SimTime>(static_cast<double>(target - avr->cycle) / clockHz / timeScale_ * 1e9);
        if (behind > maxLag) {
            origin_ += behind - maxLag;
            lostNs_ += behind - maxLag;
        }
    }
}

void SimAvrCore::flushOutput() {
    if (output_.empty()) return;
    int frames = 0;
    for (uint8_t b : output_)
        if (watch_->onByte(b)) ++frames;
    send(output_.data(), output_.size(), frames);
    output_.clear();
}

void SimAvrCore::onByte(uint8_t byte, SimTime now) {
    checkFlash(now);
    if (!core_ || !running_) return;  // nothing runs that could hear it
    advance(now, true);
    input_.push_back(byte);
    feedInput();
    flushOutput();
}

void SimAvrCore::poll(SimTime now) {
    checkFlash(now);
    advance(now, true);
    flushOutput();
}

void SimAvrCore::runUntil(SimTime now) {
    checkFlash(now);
    advance(now, false);
    flushOutput();
}

SimTime SimAvrCore::nextDue() const {
    if (flashHeld_) return flashChangedAt_ + flashSettle;
    if (!core_ || !running_) return simNever;
    const avr_t* avr = core_->avr;
    if (avr->cycle < targetCycle(lastNow_) || !input_.empty()) return lastNow_;
    if (avr->state != cpu_Sleeping) return lastNow_ + 1'000'000;  // busy: run on in slices
    // Asleep: the next thing that can wake it is the earliest of its timers.
    uint64_t next = UINT64_MAX;
    for (const avr_cycle_timer_slot_t* t = avr->cycle_timers.timer; t != nullptr; t = t->next)
        if (t->timer != paceTimer) next = std::min<uint64_t>(next, t->when);
    if (next == UINT64_MAX) return simNever;
    double ns = static_cast<double>(next - originCycle_) / clockHz / timeScale_ * 1e9;
    return origin_ + static_cast<SimTime>(std::ceil(ns));
}
