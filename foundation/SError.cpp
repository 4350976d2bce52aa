#include "foundation/SError.h"

#include <cstdio>

#include "platform/SysError.h"

SError& globalError() {
    static SError error;
    return error;
}

namespace {
int writeToStderr(const SString& text, const SString& title, unsigned) {
    std::string t = text.str();
    // Boxes use "\r\n"; a terminal wants "\n".
    for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;) t.erase(p, 1);
    std::fprintf(stderr, "%s: %s\n", title.c_str(), t.c_str());
    return 1;
}
}  // namespace

SString SError::systemErrorText(int code) { return SString(platform::errorText(code)); }

int SError::showMessage(const SString& text, int errorCode, const SString& title, unsigned flags) {
    SString full = text;
    if (errorCode != 0) full.appendFormat("\r\n Fehlernummer: %d\r\n%s", errorCode, systemErrorText(errorCode).c_str());
    return sink_ ? sink_(full, title, flags) : writeToStderr(full, title, flags);
}

void SError::add(const SString& text, int errorCode) {
    SString message = text;
    if (errorCode != 0) message.appendFormat("\r\nFehlernummer: %d\r\n%s", errorCode, systemErrorText(errorCode).c_str());
    message.replaceAll("\r\n", "\r\n\t");
    if (!entries_.insert(message.str()).second) return;
    SString entry = SString(std::string("\r\n")) + message;
    log_ += entry;
}

void SError::showLog() {
    if (log_.isEmpty()) return;
    showMessage(SString("Folgende Fehler sind w\xE4hrend der Abarbeitung des Programmes protokolliert worden:\r\n") + log_);
}

void SError::setMessageSink(MessageSink sink) { sink_ = std::move(sink); }
