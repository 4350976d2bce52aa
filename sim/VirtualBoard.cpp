#include "sim/VirtualBoard.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <random>
#include <sys/eventfd.h>
#include <unistd.h>

#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "platform/ComPortMap.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

SimTime clockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The longest the board sleeps without a reason to wake: it also rereads the program's line
// settings then.
constexpr SimTime maxSleepNs = 50'000'000;

}  // namespace

// The firmware's output: it reaches the line only while the adapter connects the firmware.
class VirtualBoard::FirmwareSink : public SimSink {
public:
    explicit FirmwareSink(VirtualBoard& board) : board_(board) {}
    void send(const uint8_t* bytes, std::size_t count, int frames) override {
        if (!board_.adapter_->isFirmwareConnected()) return;
        board_.line_->fromDevice(bytes, count, board_.now_);
        board_.framesSent_ += frames;
    }

private:
    VirtualBoard& board_;
};

// The adapter's answers: they come from the bridge side of the line.
class VirtualBoard::AdapterSink : public SimSink {
public:
    explicit AdapterSink(VirtualBoard& board) : board_(board) {}
    void send(const uint8_t* bytes, std::size_t count, int) override {
        board_.line_->fromBridge(bytes, count, board_.now_);
    }

private:
    VirtualBoard& board_;
};

VirtualBoard::VirtualBoard() = default;
VirtualBoard::~VirtualBoard() {
    stop();
}

const RcCircuit& VirtualBoard::getCircuit() const {
    static const RcCircuit none;
    return circuit_ ? *circuit_ : none;
}

bool VirtualBoard::validate(const Options& o) {
    const RcParameters& c = o.circuit;
    struct Check {
        bool wrong;
        const char* text;
    };
    const Check checks[] = {
        {!(c.resistance > 0.0), MSG("simCheckR",
                                    "R muss gr\xF6\xDF"
                                    "er als 0 sein.")},
        {!(c.capacitance > 0.0), MSG("simCheckC",
                                     "C muss gr\xF6\xDF"
                                     "er als 0 sein.")},
        {!(c.supply > 0.0), MSG("simCheckU0",
                                "U0 muss gr\xF6\xDF"
                                "er als 0 sein.")},
        {!(c.reference >= 0.0), MSG("simCheckAref", "Die ADC-Referenz darf nicht negativ sein.")},
        {!(c.sampleRate > 0.0 && c.sampleRate <= 10000.0),
         MSG("simCheckRate", "Die Abtastrate muss zwischen 0 und 10000 pro Sekunde liegen.")},
        {!(c.halfCycle > 0.0), MSG("simCheckHalfCycle",
                                   "Die halbe Zykluszeit muss gr\xF6\xDF"
                                   "er als 0 sein.")},
        {c.noise < 0 || c.noise > RcCircuit::adcMax,
         MSG("simCheckNoise", "Das Rauschen muss zwischen 0 und 1023 liegen.")},
        {!(o.timeScale > 0.0 && c.sampleRate * o.timeScale <= 100000.0), MSG("simCheckTimeScale",
                                                                             "Der Zeitfaktor muss gr\xF6\xDF"
                                                                             "er als 0 sein und darf h\xF6"
                                                                             "chstens 100000 Messungen pro "
                                                                             "Sekunde ergeben.")},
        {o.programmer.pageBufferSize % 2 != 0 || o.programmer.pageBufferSize > 65536,
         MSG("simCheckPage",
             "Die Seite des Programmers muss eine gerade Zahl von h\xF6"
             "chstens 65536 Bytes sein.")},
    };
    for (const Check& check : checks) {
        if (!check.wrong) continue;
        error_ =
            SString(MSG("simInvalidSetting", "Fehler: Ung\xFCltige Einstellung des virtuellen Boards: ")) +
            SString(check.text);
        return false;
    }
    return true;
}

bool VirtualBoard::start(const Options& options) {
    stop();
    error_.clear();
    if (!validate(options)) return false;
    options_ = options;
    seed_ = options.seed ? *options.seed
                         : (static_cast<uint64_t>(std::random_device()()) << 32) ^ std::random_device()();

    if (!pty_.open()) {
        error_ = pty_.getError();
        return false;
    }
    devicePath_ = pty_.getSlavePath();
    comName_ = options.comName;
    if (options.registerPort) {
        platform::ComPortMap map(options.comPortsFile.isEmpty() ? platform::ComPortMap::defaultFile()
                                                                : options.comPortsFile.str());
        std::string name = map.registerDevice(devicePath_.str(), true, options.comName.str());
        if (name.empty()) {
            error_ =
                SString(MSG("simNotRegistered",
                            "Fehler: Das virtuelle Board konnte nicht als COM-Port eingetragen werden (")) +
                SString(map.file()) + ").";
            pty_.close();
            return false;
        }
        comName_ = SString(name);
        registered_ = true;
    }

    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    circuit_ = std::make_unique<RcCircuit>(options.circuit, seed_);
    if (options.core) {
        auto core = std::make_unique<SimAvrCore>(*circuit_, memory_, options.timeScale);
        protocolFirmware_ = nullptr;
        core_ = core.get();
        firmware_ = std::move(core);
    } else {
        auto firmware = std::make_unique<BoardFirmware>(*circuit_, options.timeScale);
        protocolFirmware_ = firmware.get();
        core_ = nullptr;
        firmware_ = std::move(firmware);
    }
    adapter_ = std::make_unique<RavlinkAdapter>(options.adapter, options.supplyOn);
    line_ = std::make_unique<SerialLine>();
    line_->setRealistic(options.realisticTiming);
    line_->setDeviceSettings(firmwareSettings());
    firmwareSink_ = std::make_unique<FirmwareSink>(*this);
    adapterSink_ = std::make_unique<AdapterSink>(*this);
    firmware_->setSink(firmwareSink_.get());
    adapter_->setSink(adapterSink_.get());
    firmware_->setLog(options.log);
    adapter_->setLog(options.log);
    adapter_->setForward([this](uint8_t byte, SimTime now) { toDevice(byte, now); });
    programmer_ = std::make_unique<Avr911Programmer>(memory_, options.programmer);
    programmer_->setRealistic(options.realisticTiming);
    programmer_->setSink(adapterSink_.get());
    programmer_->setLog(options.log);
    bootloader_ = SimBootloader::create(options.bootloader, memory_);
    bootloaderRan_ = false;
    lastHostBaud_ = 0;
    resetRequested_ = false;
    if (bootloader_) {
        bootloader_->setSink(firmwareSink_.get());
        bootloader_->setLog(options.log);
        bootloader_->setSettingsHook([this](const LineSettings& s) { line_->setDeviceSettings(s); });
        // Power-on: the controller starts in its bootloader.
        resetIntoBootloader(clockNs());
    }
    framesSent_ = bytesSent_ = bytesReceived_ = bytesDropped_ = 0;

    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    globalDebug().print(SString("VirtualBoard::start(..) ") + devicePath_ + " " + comName_);
    return true;
}

void VirtualBoard::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        wake();
        thread_.join();
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
    wakeFd_ = -1;
    pty_.close();
    if (registered_) {
        platform::ComPortMap map(options_.comPortsFile.isEmpty() ? platform::ComPortMap::defaultFile()
                                                                 : options_.comPortsFile.str());
        map.unregister(comName_.str());
        registered_ = false;
    }
}

void VirtualBoard::wake() {
    if (wakeFd_ < 0) return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof(one));
}

int64_t VirtualBoard::getSampleCount() const {
    if (core_ != nullptr) return core_->getSampleCount();
    return protocolFirmware_ != nullptr ? protocolFirmware_->getSampleCount() : 0;
}
bool VirtualBoard::isMeasuring() const {
    if (core_ != nullptr) return core_->isMeasuring();
    return protocolFirmware_ != nullptr && protocolFirmware_->isMeasuring();
}
bool VirtualBoard::isSupplyOn() const {
    return adapter_ && adapter_->isSupplyOn();
}
bool VirtualBoard::isPassThrough() const {
    return adapter_ && adapter_->isPassThrough();
}

bool VirtualBoard::getLineSettings(LineSettings& settings) const {
    return isRunning() && pty_.getSettings(settings);
}

void VirtualBoard::fromProgram(uint8_t byte, SimTime now) {
    bool supply = adapter_->isSupplyOn();
    adapter_->onByte(byte, now);
    if (supply && !adapter_->isSupplyOn()) {
        // Without supply the controller stops; it starts afresh when the supply returns.
        firmware_->reset();
        line_->clearForDevice();
    }
}

void VirtualBoard::pressReset() {
    if (!bootloader_) return;
    resetRequested_ = true;
    wake();
}

void VirtualBoard::resetIntoBootloader(SimTime now) {
    firmware_->reset();
    line_->clearForDevice();
    bootloader_->enter(now);
    bootloaderRan_ = true;
}

// The controller runs either its bootloader or the application.
void VirtualBoard::toController(uint8_t byte, SimTime now) {
    if (bootloader_ && bootloader_->isActive())
        bootloader_->onByte(byte, now);
    else
        firmware_->onByte(byte, now);
}

void VirtualBoard::toDevice(uint8_t byte, SimTime now) {
    // The stand-in user presses reset when the burn program asks for it.
    if (bootloader_ && !bootloader_->isActive() && bootloader_->wantsReset(byte)) {
        resetIntoBootloader(now);
        return;
    }
    // In programmer mode the adapter keeps the line for its programmer.
    if (adapter_->isPresent() && !adapter_->isPassThrough()) {
        programmer_->onByte(byte, now);
        return;
    }
    if (adapter_->isFirmwareConnected()) line_->fromHost(byte, now);
}

void VirtualBoard::flush(SimTime now) {
    out_.clear();
    line_->takeForHost(now, out_);
    if (out_.empty()) return;
    SimTime when = clockNs();
    int written = pty_.write(out_.data(), static_cast<int>(out_.size()));
    if (written < 0) written = 0;
    if (written > 0 && options_.onWrite) options_.onWrite(when, out_.data(), written);
    bytesSent_ += written;
    bytesDropped_ += static_cast<int64_t>(out_.size()) - written;
}

void VirtualBoard::run() {
    std::vector<uint8_t> in(4096);
    while (!stopping_) {
        SimTime now = clockNs();
        now_ = now;
        LineSettings settings;
        if (pty_.getSettings(settings)) {
            line_->setHostSettings(settings);
            programmer_->setHostSettings(settings);
            // A program switching to the bootloader's rate is about to burn: the stand-in user
            // presses reset.
            if (bootloader_ && bootloader_->getOptions().autoReset && !bootloader_->isActive() &&
                settings.baud != lastHostBaud_ && settings.baud == bootloader_->getOptions().baud)
                resetIntoBootloader(now);
            lastHostBaud_ = settings.baud;
        }
        if (resetRequested_.exchange(false)) resetIntoBootloader(now);

        int n;
        while ((n = pty_.read(in.data(), static_cast<int>(in.size()))) > 0) {
            bytesReceived_ += n;
            for (int i = 0; i < n; ++i) fromProgram(in[static_cast<std::size_t>(i)], now);
        }
        adapter_->poll(now);
        programmer_->poll(now);
        uint8_t byte;
        while (line_->takeForDevice(now, byte)) toController(byte, now);
        if (bootloader_ && bootloader_->isActive()) {
            bootloader_->poll(now);
        } else {
            if (bootloaderRan_) {
                // The bootloader has started the application, which speaks at its own rate.
                bootloaderRan_ = false;
                line_->setDeviceSettings(firmwareSettings());
                firmware_->reset();
            }
            firmware_->poll(now);
        }
        flush(now);

        SimTime next = std::min({firmware_->nextDue(), adapter_->nextDue(), line_->nextDue(), programmer_->nextDue(),
                                 bootloader_ ? bootloader_->nextDue() : simNever});
        SimTime wait = next == simNever ? maxSleepNs : std::clamp(next - clockNs(), SimTime(0), maxSleepNs);
        pollfd fds[2] = {{pty_.getMasterFd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        timespec ts{static_cast<time_t>(wait / 1'000'000'000), static_cast<long>(wait % 1'000'000'000)};
        int r = ppoll(fds, 2, &ts, nullptr);
        if (r < 0 && errno != EINTR) {
            globalError().add(
                SString(
                    MSG("simCannotWait", "Fehler: Das virtuelle Board kann nicht auf seinen Port warten: ")) +
                SError::systemErrorText(errno));
            break;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t ignored = ::read(wakeFd_, &count, sizeof(count));
        }
        if (n < 0 && !(fds[0].revents & POLLIN)) {
            // A read error without data to read: avoid spinning on it.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}
