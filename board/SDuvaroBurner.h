// The "myBurn" bootloader protocol of the Duvaro module: what the burn window runs on its
// worker thread, without any window.
#pragma once

#include <atomic>
#include <mutex>

#include "foundation/SMem.h"
#include "foundation/SString.h"
#include "stream/SComPort.h"

// Opens the port, waits for the bootloader's reply to the handshake, checks it, sends the flash
// image (and an EEPROM image when there is one) in blocks, compares the checksums and shows
// the outcome. Everything the user sees goes through the Display, called on the burning thread;
// a window hands the calls over to its own thread.
//
// abort() may be called from any thread; the burn looks at it between the handshake attempts,
// between blocks and while it waits for an answer, so it ends within a fraction of a second
// and leaves the port closed.
class SDuvaroBurner : public SObject {
public:
    S_CLASSNAME(SDuvaroBurner)

    enum Style { styleInfo = 0, styleError = 1, styleSuccess = 2 };

    class Display {
    public:
        virtual ~Display() = default;
        // The status line: info in blue, an error in red and bold, success in green and bold.
        virtual void showStatus(const SString& text, int style) = 0;
        // The picture file to show ("reset_ausloesen.bmp", ...).
        virtual void showPicture(const SString& file) = 0;
        // The progress bar: shown with its range, then moved.
        virtual void showProgress(int position, int maximum) = 0;
        // The burn has ended (the button becomes "close").
        virtual void finished(bool /*success*/) {}
    };

    static constexpr int handshakeAttempts = 20;
    static constexpr int handshakeTimeoutMs = 200;
    static constexpr int maxEepromSize = 4096;

    SDuvaroBurner();
    ~SDuvaroBurner() override;

    void setDisplay(Display* display) { display_ = display; }
    // Replaces the port name in the settings string (the text before the first ",").
    void setPort(const SString& portName);
    void setSettings(const SString& settings) { settings_ = settings; }
    const SString& getSettings() const { return settings_; }

    // Runs the whole protocol; true when the image was burnt and its checksum matched. An
    // absent image counts as empty.
    bool burn(const SMem* flash, const SMem* eeprom);

    // The user cancels: sets the error text and the abort flag (any thread).
    void abort();
    bool isAborted() const { return abort_.load(); }
    // A copy of the error text (any thread).
    SString getError() const;
    // 1 for bootloaders up to version 1.09, 2 for newer ones (valid after the handshake).
    int getMode() const { return mode_; }
    // The bootloader's reply fields of the last handshake.
    int getBlockSize() const { return blockSize_; }
    int getFlashSpace() const { return flashSpace_; }
    int getNewBaud() const { return newBaud_; }
    // Milliseconds from the accepted handshake to the end, and of the transfer alone.
    int getTimeAll() const { return timeAll_; }
    int getTimeBurn() const { return timeBurn_; }
    SComPort& getPort() { return port_; }

    // The protocol mode a version field gives: every "V" and "." removed, above 109 mode 2.
    static int modeForVersion(const SString& versionField);

private:
    bool handshake(SString& answer);
    bool checkAnswer(const SString& answer, const SMem& flash, const SMem& eeprom);
    bool sendMemory(const SMem& image, bool isEeprom, int offset, int total);
    // Reads up to "\n" within the time; ends early on an abort or when the port goes.
    bool readLine(SString& line, int timeoutMs);
    bool writeBytes(const SMem& bytes);
    void setError(const SString& text);
    bool failed() const { return isAborted(); }

    void status(const SString& text, int style = styleInfo);
    void picture(const char* file);
    void progress(int position, int maximum);

    SComPort port_;
    SString settings_;
    Display* display_ = nullptr;
    mutable std::mutex errorMutex_;
    SString error_;
    std::atomic<bool> abort_{false};
    int mode_ = 1;
    int blockSize_ = 0;
    int flashSpace_ = 0;
    int newBaud_ = 0;
    int timeAll_ = 0;
    int timeBurn_ = 0;
};
