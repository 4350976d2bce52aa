// A serial port with its reader thread: the system's only access to serial devices.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "foundation/SLists.h"
#include "foundation/SMem.h"
#include "platform/SerialDevice.h"
#include "stream/SComPortSettings.h"
#include "stream/SRingBuffer.h"

// Opens a port by its Windows name ("com3"; the port map says which device that is) or by a
// device path ("/dev/pts/5"), configures it from a settings string ("COM3,19200,N,8,1") and
// starts a reader thread. The reader hands every received byte at once to onByte (on the
// reader thread) and puts it into the receive ring, from which the read operations take it.
// The reads wait with the message-pumping wait, so the window stays responsive.
//
// Failures give false (or 0) and leave a German message in getError(); only _setState on a
// closed port shows a message box.
class SComPort : public SObject {
public:
    S_CLASSNAME(SComPort)

    // Count for readBytes: whatever arrives until the timeout.
    static constexpr uint32_t readAll = 0xFFFFFFFFu;
    static constexpr std::size_t ringCapacity = 400;
    // The window message a notification window gets for every byte (first user message + 6600).
    static constexpr unsigned notifyMessage = 0x400 + 6600;
    // The prefix that makes the USB programmer adapter take the rest as a command.
    static constexpr uint8_t smartCmdPrefix[7] = {0xD1, 0x9C, 0xA4, 0xC7, 0x8E, 0xF3, 0xB8};

    // Called on the reader thread for every byte while a notification window is set: the
    // window handle and the byte. A window system delivers it to the window (the default is
    // none, and without one a window handle is only kept in the saved states).
    using ByteNotifier = std::function<void(intptr_t window, uint8_t byte)>;

    SComPort();
    // Owners close their ports first. A port still open is closed here so that no reader
    // thread outlives the object; a derived class that overrides onByte must close in its own
    // destructor, since the reader may call onByte until the port is closed.
    ~SComPort() override;
    SComPort(const SComPort&) = delete;
    SComPort& operator=(const SComPort&) = delete;

    // Opens the port (an empty name keeps the current one), applies the settings, raises DTR
    // and RTS and starts the reader. A port that is open already is closed first.
    bool open(const SString& portName = SString(), intptr_t window = 0);
    // Stops the reader, writes the configuration found at open back and closes the device. The
    // device gets 160 ms to settle before it is opened again: open() waits for what is left of
    // them, and so does awaitSettled() for a program that opens the device itself.
    void close();
    // Waits until the device closed last by a port of this process has settled.
    static void awaitSettled(const std::string& devicePath);
    bool isOpen() const { return open_; }

    bool write(const void* bytes, uint32_t count);
    bool writeByte(uint8_t byte) { return write(&byte, 1); }
    bool writeText(const SString& text) { return write(text.data(), static_cast<uint32_t>(text.size())); }
    bool writeBlock(const SMem& block) {
        return write(block.getData(), static_cast<uint32_t>(block.getSize()));
    }

    // Reads count bytes (readAll: whatever comes) within timeoutMs. The block is sized to
    // count (1000 in "all" mode, growing by 1000 as needed) and keeps that size; received
    // tells how many bytes came. True when all came, in "all" mode when at least one did.
    bool readBytes(SMem& out, int timeoutMs, uint32_t count, uint32_t* received = nullptr);
    // readBytes as text: the whole block, every zero byte (unfilled ones too) read as 0xFF.
    bool readText(SString& out, int timeoutMs, uint32_t count);
    // Reads until the terminator has arrived; the text keeps the terminator, zero bytes read
    // as 0xFF. After a partial match a mismatching byte starts matching afresh with the next
    // byte, so "\r\n" is not found in "\r\r\n". An empty terminator reads in "all" mode.
    // With quietMs, the read also ends (false) once bytes came and the line then stayed quiet
    // that long: an answer that is complete without the terminator is no reason to wait on.
    bool readUntil(SString& out, int timeoutMs, const SString& terminator, int quietMs = 0);
    // One byte, 0 when none came in time.
    uint8_t readByte(int timeoutMs);
    // Discards the driver's queues and empties the ring.
    void purge();

    // Parses a settings string and applies it to the open port.
    bool setSettings(const SString& settings);
    // Applies the settings to the open port and lets the line settle for 60 ms.
    bool _setState();

    // Pushes the state (open or closed, window, settings) on the state stack.
    bool speichere();
    // Closes the port, pops the last state and reopens the port when it was open then.
    bool restore();
    int getStateCount() const { return states_.getSize(); }

    // Sends a command to the USB programmer adapter (prefix bytes + command at
    // 19200,N,8,1) and reads its answer line within 500 ms; the port's state is restored.
    bool sendSmartCmd(const SString& command, SString* answer = nullptr);

    // Every received byte, on the reader thread. The base does nothing.
    virtual void onByte(uint8_t byte);
    // Runs in open() once the device is open, before the reader starts: nothing from an earlier
    // connection is read after it. The base does nothing.
    virtual void onOpening() {}

    const SString& getError() const { return error_; }
    int getErrorCode() const { return errorCode_; }
    // The message for a port the user may not open (EACCES: not in the group "dialout"): what
    // to type, with the user's login name, and that a new login is needed.
    static SString permissionMessage(const SString& port, const std::string& device);
    const SString& getPortName() const { return settings_.port; }
    SComPortSettings& getSettings() { return settings_; }
    const SComPortSettings& getSettings() const { return settings_; }
    SRingBuffer& getRing() { return ring_; }
    intptr_t getWindow() const { return window_; }
    // The device the port name stands for (empty while closed).
    const std::string& getDevicePath() const { return device_.path(); }
    // True once the reader saw the line hang up (the board was unplugged); the port stays open
    // until closed, reads give false once the ring is empty.
    bool isHungUp() const { return hungUp_.load(); }

    // Hooks run on the reader thread; set them while the port is closed. A close() from a hook
    // only stops the reader; the owner closes the port as usual.
    void setByteNotifier(ByteNotifier notifier) { notifier_ = std::move(notifier); }
    // Called once when the line hangs up.
    void setHangUpHandler(std::function<void()> handler) { hangUpHandler_ = std::move(handler); }

protected:
    // Runs the job while the reader thread hands no byte on (neither to onByte nor to the
    // ring): what the reader delivered so far and the job's changes are seen as one step.
    template <typename Job>
    void whileDeliveryHeld(Job&& job) {
        std::lock_guard<std::mutex> lock(delivery_);
        job();
    }

    SString error_;
    int errorCode_ = 0;

private:
    void readerLoop();
    // Stops the reader and closes the device; with settle the message-pumping pauses of an
    // orderly close run too.
    void shutdown(bool settle);
    // True while the reads may go on; sets the error text when the line hung up.
    bool lineUsable();
    // Resolves the port name to a device path; empty when unknown.
    std::string devicePathFor(const SString& name) const;

    platform::SerialDevice device_;
    // The "handle": true from a successful device open until close; the reader runs while set.
    std::atomic<bool> active_{false};
    std::atomic<bool> readerRunning_{false};
    std::atomic<bool> hungUp_{false};
    bool hangUpReported_ = false;
    intptr_t window_ = 0;
    SRingBuffer ring_{ringCapacity};
    // Held by the reader while it hands a piece of bytes on.
    std::mutex delivery_;
    SComPortSettings settings_;
    std::thread reader_;
    SStringList states_;
    bool open_ = false;
    ByteNotifier notifier_;
    std::function<void()> hangUpHandler_;
};
