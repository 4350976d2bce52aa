#include "stream/SComPort.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <cstdlib>
#include <system_error>

#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "platform/Clock.h"
#include "platform/ComPortMap.h"
#include "platform/Paths.h"
#include "platform/Threads.h"

namespace {

// Pause after a configuration change and after closing, so the driver and the board settle.
constexpr int settleConfigMs = 60;
constexpr int settleCloseMs = 100;

// When each device was last closed here (monotonic ms): the pause after a close is waited
// before the device is opened again, not at the close, so a program that ends or turns to
// other work does not wait for nothing.
std::mutex closedMutex;
std::map<std::string, int64_t> closedAt;
// How long the reader waits in poll before it looks at the stop flag again; close wakes it at
// once, so this only bounds a lost wake-up.
constexpr int readerPollMs = 500;
// A line that streams (a read brought several bytes, or bytes follow each other closer than a
// wake-up costs) is read in larger pieces: after such a read the reader lets the bytes gather
// for a moment instead of waking for every USB packet or byte. An answer of a byte or two to a
// command, the usual exchange with a programmer, is passed on at once.
constexpr std::size_t streamingBytes = 8;
constexpr int64_t denseGapUs = 150;
constexpr int gatherMs = 4;
// Write time-out: 1000 ms plus 1 ms per byte.
constexpr int writeTimeoutBaseMs = 1000;

// The port whose reader runs on this thread, if any.
thread_local const SComPort* readerOfThisThread = nullptr;

// Received bytes as text: a zero byte reads as 0xFF.
SString bytesAsText(const SMem& block, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(block.getData()), size);
    for (char& c : text)
        if (c == 0) c = '\xFF';
    return SString(std::move(text));
}

}  // namespace

SString SComPort::permissionMessage(const SString& port, const std::string& device) {
    std::string user = platform::userName();
    if (user.empty()) user = "BENUTZER";
    SString where = port;
    if (device != port.str()) where += SString(" (" + device + ")");
    return SString(
               "\xB3\xB3port\xB3\xB3"
               "Der Port ") +
           where +
           SString(
               "\xB3\xB3noPermission\xB3\xB3 darf nicht ge\xF6"
               "ffnet werden: keine Berechtigung. Serielle Ports d\xFC"
               "rfen nur Mitglieder der Gruppe \"dialout\" \xF6"
               "ffnen.") +
           SString("\r\n") +
           SString("\xB3\xB3noPermissionFix\xB3\xB3So geht es: einmal als Administrator eingeben") +
           SString("\r\n    sudo usermod -aG dialout " + user + "\r\n") +
           SString("\xB3\xB3noPermissionLogin\xB3\xB3und danach ab- und wieder anmelden.");
}

SComPort::SComPort() = default;

SComPort::~SComPort() {
    shutdown(false);
}

void SComPort::onByte(uint8_t) {}

std::string SComPort::devicePathFor(const SString& name) const {
    if (SComPortSettings::isDevicePath(name)) return name.str();
    return platform::ComPortMap().deviceFor(name.str());
}

bool SComPort::open(const SString& portName, intptr_t window) {
    if (active_.load() || device_.isOpen()) close();

    window_ = window;
    if (!portName.isEmpty() && portName != settings_.port)
        settings_.port = SComPortSettings::isDevicePath(portName) ? portName : portName.lowered();
    globalDebug().printf(
        " ### \xF6"
        "ffne Serial Port %s",
        settings_.port.c_str());

    hungUp_ = false;
    hangUpReported_ = false;
    const std::string path = devicePathFor(settings_.port);
    if (!path.empty()) awaitSettled(path);
    if (path.empty() || !device_.open(path)) {
        errorCode_ = path.empty() ? ENOENT : device_.lastError();
        if (errorCode_ == EACCES || errorCode_ == EPERM) {
            error_ = permissionMessage(settings_.port, path);
            return false;
        }
        error_ = SString(
                     "\xB3\xB3port\xB3\xB3"
                     "Der Port ") +
                 settings_.port +
                 SString(
                     "\xB3\xB3notOpen\xB3\xB3 konnte nicht ge\xF6"
                     "ffnet werden.");
        return false;
    }
    active_ = true;

    // The configuration found at open is kept by the device and written back at close. The
    // device is non-blocking and the reader waits in poll, so there are no driver time-outs
    // to configure.
    bool ok = _setState();
    if (ok) device_.raiseDtrRts();
    if (ok) {
        onOpening();
        readerRunning_ = true;
        try {
            reader_ = std::thread(&SComPort::readerLoop, this);
        } catch (const std::system_error& e) {
            readerRunning_ = false;
            errorCode_ = e.code().value();
            error_ = SString(
                         "\xB3\xB3"
                         "forPort\xB3\xB3"
                         "F\xFCr den Port ") +
                     settings_.port +
                     SString("\xB3\xB3noReadThread\xB3\xB3 konnte kein Lese-Thread erstellt werden.");
            ok = false;
        }
    }
    open_ = ok;
    return open_;
}

void SComPort::readerLoop() {
    platform::setCurrentThreadName("comreader");
    readerOfThisThread = this;
    uint8_t buffer[1024];
    int64_t lastDataUs = 0;
    while (active_.load(std::memory_order_acquire)) {
        std::size_t got = 0;
        platform::SerialDevice::ReadStatus status = device_.read(buffer, sizeof buffer, readerPollMs, &got);
        if (status == platform::SerialDevice::ReadStatus::data) {
            {
                std::lock_guard<std::mutex> lock(delivery_);
                for (std::size_t i = 0; i < got; ++i) {
                    const uint8_t byte = buffer[i];
                    if (window_ != 0 && notifier_) notifier_(window_, byte);
                    onByte(byte);
                    ring_.put(byte);
                }
            }
            const int64_t nowUs = platform::monotonicUs();
            const bool streaming = got >= streamingBytes || nowUs - lastDataUs < denseGapUs;
            lastDataUs = nowUs;
            if (streaming) device_.pauseReading(gatherMs);
            continue;
        }
        if (status == platform::SerialDevice::ReadStatus::timeout ||
            status == platform::SerialDevice::ReadStatus::interrupted)
            continue;
        // The line hung up (or the device failed): poll would report it again at once, so the
        // reader ends here instead of spinning. The port stays open until its owner closes it.
        hungUp_ = true;
        if (hangUpHandler_) hangUpHandler_();
        break;
    }
    readerRunning_.store(false, std::memory_order_release);
}

void SComPort::shutdown(bool settle) {
    if (!active_.load() && !device_.isOpen()) return;
    // A hook on the reader thread cannot wait for its own thread: it only stops the reader,
    // and the owner's close finishes the job.
    if (readerOfThisThread == this) {
        active_ = false;
        return;
    }
    if (settle) {
        globalDebug().printf(" ### close Serial Port %s", settings_.port.c_str());
        purge();
    }
    active_ = false;
    device_.cancelRead();
    // The reader may be inside a notification the window thread has to handle: keep
    // dispatching while it ends.
    while (readerRunning_.load(std::memory_order_acquire)) SApplicationBasic::wait(1);
    if (reader_.joinable()) reader_.join();
    device_.restoreSaved();
    const std::string path = device_.path();
    device_.close();
    open_ = false;
    if (settle && !path.empty()) {
        std::lock_guard lock(closedMutex);
        closedAt[path] = platform::monotonicMs();
    }
}

void SComPort::awaitSettled(const std::string& devicePath) {
    int64_t until = 0;
    {
        std::lock_guard lock(closedMutex);
        auto it = closedAt.find(devicePath);
        if (it == closedAt.end()) return;
        until = it->second + settleConfigMs + settleCloseMs;
        if (platform::monotonicMs() >= until) {
            closedAt.erase(it);
            return;
        }
    }
    const int64_t left = until - platform::monotonicMs();
    if (left > 0) SApplicationBasic::wait(static_cast<int>(left));
}

void SComPort::close() {
    shutdown(true);
}

bool SComPort::write(const void* bytes, uint32_t count) {
    if (!active_.load()) {
        error_ =
            "\xB3\xB3"
            "errorWritingComPort\xB3\xB3"
            "Fehler beim Schreiben auf den COM-Port: Zugriff auf nicht "
            "ge\xF6"
            "ffneten Port.\r\nBitte verwenden Sie zuerst SComPort::open(..)";
        return false;
    }
    if (!device_.writeAll(static_cast<const uint8_t*>(bytes), count,
                          writeTimeoutBaseMs + static_cast<int>(std::min<uint32_t>(count, 1u << 24)))) {
        errorCode_ = device_.lastError();
        error_ = SString(device_.lastErrorText());
        return false;
    }
    return true;
}

bool SComPort::lineUsable() {
    if (!active_.load()) return false;
    if (hungUp_.load() && ring_.count() == 0) {
        if (!hangUpReported_) {
            hangUpReported_ = true;
            globalDebug().printf("SComPort: %s getrennt", settings_.port.c_str());
        }
        error_ = SString(
                     "\xB3\xB3port\xB3\xB3"
                     "Der Port ") +
                 settings_.port + SString("\xB3\xB3hungUp\xB3\xB3 wurde getrennt.");
        return false;
    }
    return true;
}

bool SComPort::readBytes(SMem& out, int timeoutMs, uint32_t count, uint32_t* received) {
    const bool all = count == readAll;
    out.setSize(all ? 1000 : count);
    uint32_t got = 0;
    bool done = false;
    // The ring is looked at every millisecond, so a read ends as soon as its bytes are there;
    // the programmers answer every command with a few bytes, and a coarser step would add
    // itself to every command.
    const int64_t deadline = platform::monotonicMs() + timeoutMs;
    if (timeoutMs >= 1 && count != 0) {
        for (;;) {
            if (!active_.load()) {
                if (received) *received = got;
                return false;
            }
            uint8_t byte;
            while (ring_.get(&byte, 1)) {
                if (all && got == out.getSize()) out.setSize(out.getSize() + 1000);
                out.setByte(got++, byte);
                if (got == count) {
                    done = true;
                    break;
                }
            }
            if (done || !lineUsable() || platform::monotonicMs() >= deadline) break;
            SApplicationBasic::wait(1);
        }
    }
    if (received) *received = got;
    return got == count || (all && got >= 1);
}

bool SComPort::readText(SString& out, int timeoutMs, uint32_t count) {
    SMem block;
    bool ok = readBytes(block, timeoutMs, count);
    out = bytesAsText(block, block.getSize());
    return ok;
}

bool SComPort::readUntil(SString& out, int timeoutMs, const SString& terminator, int quietMs) {
    if (terminator.isEmpty()) return readText(out, timeoutMs, readAll);
    SMem block(500);
    std::size_t got = 0;
    std::size_t matched = 0;
    const std::size_t length = terminator.size();
    bool done = false;
    const int64_t deadline = platform::monotonicMs() + timeoutMs;
    int64_t lastByte = 0;
    if (timeoutMs >= 1) {
        for (;;) {
            if (!active_.load()) {
                out = bytesAsText(block, got);
                return false;
            }
            uint8_t byte;
            const std::size_t before = got;
            while (ring_.get(&byte, 1)) {
                if (got == block.getSize()) block.setSize(block.getSize() + 500);
                block.setByte(got++, byte);
                // A mismatch starts over without comparing this byte with the first character.
                if (byte == static_cast<uint8_t>(terminator.getAt(static_cast<int>(matched)))) {
                    if (++matched == length) {
                        done = true;
                        break;
                    }
                } else {
                    matched = 0;
                }
            }
            if (done || !lineUsable()) break;
            const int64_t now = platform::monotonicMs();
            if (got > before) lastByte = now;
            if (now >= deadline || (quietMs > 0 && got > 0 && now - lastByte >= quietMs)) break;
            SApplicationBasic::wait(1);
        }
    }
    out = bytesAsText(block, got);
    return done;
}

uint8_t SComPort::readByte(int timeoutMs) {
    error_.clear();
    if (!active_.load()) {
        error_ =
            "\xB3\xB3"
            "errorReadingComPort\xB3\xB3"
            "Fehler beim Lesen vom COM-Port: Zugriff auf nicht "
            "ge\xF6"
            "ffneten Port.\r\nBitte verwenden Sie zuerst SComPort::open(..)";
        return 0;
    }
    SMem block;
    if (readBytes(block, timeoutMs, 1)) return block.getByte(0);
    return 0;
}

void SComPort::purge() {
    if (device_.isOpen()) device_.purge();
    ring_.clear();
}

bool SComPort::setSettings(const SString& settings) {
    settings_.fromString(settings);
    return _setState();
}

bool SComPort::_setState() {
    if (!active_.load()) {
        globalError().showMessage(
            "\xB3\xB3noAccess\xB3\xB3SComPort::_setState(..) Zugriff auf nicht ge\xF6"
            "ffneten Port.",
            0,
            "\xB3\xB3"
            "errorTitle\xB3\xB3"
            "Fehler !",
            SError::iconError);
        return false;
    }
    platform::SerialSettings line;
    line.baud = settings_.baud;
    line.parity = settings_.parity;
    line.dataBits = settings_.dataBits;
    line.stopBits = settings_.stopBits;
    if (!device_.apply(line)) {
        errorCode_ = device_.lastError();
        error_ = SString(
                     "\xB3\xB3port\xB3\xB3"
                     "Der Port ") +
                 settings_.port + SString::raw(" ") +
                 SString("\xB3\xB3notConfig\xB3\xB3konnte nicht konfiguriert werden.") + SString::raw("(") +
                 SString(device_.lastErrorText()) + SString::raw(")");
        return false;
    }
    SApplicationBasic::wait(settleConfigMs);
    return true;
}

bool SComPort::speichere() {
    SString state = SString::raw(open_ ? "1," : "0,");
    state.appendFormat("%016lld,", static_cast<long long>(window_));
    state += settings_.toString();
    states_.add(state);
    globalDebug().print(SString::raw("speichere ") + state);
    return true;
}

bool SComPort::restore() {
    if (states_.isEmpty()) {
        globalDebug().print(
            SString::raw("Fehler: SComPort::restore() Aufruf ohne dass States vorhanden sind."));
        return false;
    }
    close();
    const SString state = states_.getAt(states_.getSize() - 1);
    states_.removeAt(states_.getSize() - 1);
    bool ok = false;
    if (!state.isEmpty()) {
        const intptr_t window = static_cast<intptr_t>(std::strtoll(state.mid(2, 16).c_str(), nullptr, 10));
        settings_.fromString(state.mid(19));
        ok = state.getAt(0) != '1' ? true : open(settings_.port, window);
        if (state.getAt(0) != '1') window_ = window;
    }
    globalDebug().print(SString::raw("restore ") + state);
    return ok;
}

bool SComPort::sendSmartCmd(const SString& command, SString* answer) {
    if (!open_) return false;
    speichere();
    setSettings(settings_.port + SString::raw(",19200,N,8,1"));
    SMem message;
    message.append(smartCmdPrefix, sizeof smartCmdPrefix);
    message.append(command.data(), command.size());
    purge();
    SString scratch;
    SString& reply = answer ? *answer : scratch;
    bool ok = writeBlock(message);
    if (ok) ok = readUntil(reply, 500, SString::raw("\n"));
    globalDebug().print(SString::raw("SComPort::sendSmartCmd(..) answer=") + reply);
    restore();
    return ok;
}
