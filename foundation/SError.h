// The process-wide error log and the message display.
#pragma once

#include <functional>
#include <string>
#include <unordered_set>

#include "foundation/SString.h"

class SError : public SObject {
public:
    S_CLASSNAME(SError)

    // Message box flags (the icon decides the look).
    enum Flags : unsigned {
        flagOk = 0x00,
        iconError = 0x10,  // also the "stop" icon
        iconQuestion = 0x20,
        iconWarning = 0x30,
        iconInformation = 0x40,
    };

    // Where message boxes go: the headless default writes to standard error; the GUI installs a
    // dialog; tests capture. Returns the box's result.
    using MessageSink = std::function<int(const SString& text, const SString& title, unsigned flags)>;

    SError() = default;

    // Shows a message box at once. A non-zero error code appends its number and system text.
    int showMessage(const SString& text, int errorCode = 0,
                    const SString& title =
                        "\xB3\xB3"
                        "errorTitle\xB3\xB3"
                        "Fehler !",
                    unsigned flags = iconError);
    // Appends an entry to the log unless the same entry is there already.
    void add(const SString& text, int errorCode = 0);
    // Shows the collected log in one message box when it is not empty.
    void showLog();
    const SString& getLog() const { return log_; }
    void clearLog() {
        log_.clear();
        entries_.clear();
    }

    // Replaces the message sink; an empty sink restores the standard-error default.
    void setMessageSink(MessageSink sink);

    // The system's text for an error code; "Unbekannter Fehler <code>" when there is none.
    static SString systemErrorText(int code);

private:
    SString log_;
    // The entries of the log, for finding duplicates: a text that is only the beginning of
    // another entry is no duplicate.
    std::unordered_set<std::string> entries_;
    MessageSink sink_;
};

SError& globalError();
