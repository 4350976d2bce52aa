#include "board/SDuvaroBurner.h"

#include <cstdlib>

#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SLists.h"
#include "platform/Clock.h"

namespace {

bool isNumber(const SString& text) {
    if (text.isEmpty()) return false;
    for (char c : text.str())
        if (c < '0' || c > '9') return false;
    return true;
}

// A field of the reply without the line-end characters around it.
SString field(const SStringList& fields, int index) {
    SString f = fields.getSize() > index ? fields.getAt(index) : SString();
    return f.trim();
}

}  // namespace

SDuvaroBurner::SDuvaroBurner() : settings_(SString::raw("COM3,19200,N,8,1")) {}

SDuvaroBurner::~SDuvaroBurner() {
    port_.close();
}

void SDuvaroBurner::setPort(const SString& portName) {
    int comma = settings_.find(',');
    settings_ = comma < 0 ? portName : portName + settings_.mid(comma);
}

int SDuvaroBurner::modeForVersion(const SString& versionField) {
    SString v = versionField;
    v.trim();
    v.replaceAll(SString::raw("V"), SString());
    v.replaceAll(SString::raw("."), SString());
    return v.toInt() > 109 ? 2 : 1;
}

void SDuvaroBurner::abort() {
    {
        std::lock_guard lock(errorMutex_);
        error_ = "\xB3\xB3userAbort\xB3\xB3Nutzerabbruch";
    }
    abort_ = true;
}

SString SDuvaroBurner::getError() const {
    std::lock_guard lock(errorMutex_);
    return error_;
}

void SDuvaroBurner::setError(const SString& text) {
    std::lock_guard lock(errorMutex_);
    // A cancel has the last word: its text stays.
    if (!abort_.load()) error_ = text;
}

void SDuvaroBurner::status(const SString& text, int style) {
    if (display_) display_->showStatus(text, style);
}

void SDuvaroBurner::picture(const char* file) {
    if (display_) display_->showPicture(SString::raw(file));
}

void SDuvaroBurner::progress(int position, int maximum) {
    if (display_) display_->showProgress(position, maximum);
}

bool SDuvaroBurner::writeBytes(const SMem& bytes) {
    return port_.write(bytes.getData(), static_cast<uint32_t>(bytes.getSize()));
}

bool SDuvaroBurner::readLine(SString& line, int timeoutMs) {
    // Straight from the receive ring in steps of a millisecond: a block's acknowledgement comes
    // a few milliseconds after the block, and a cancel must not wait for the full time.
    line.clear();
    const int64_t deadline = platform::monotonicMs() + timeoutMs;
    for (;;) {
        uint8_t byte;
        while (port_.getRing().get(&byte, 1)) {
            line += static_cast<char>(byte == 0 ? 0xFF : byte);
            if (byte == '\n') return true;
        }
        if (isAborted() || !port_.isOpen() || (port_.isHungUp() && port_.getRing().count() == 0)) return false;
        if (platform::monotonicMs() >= deadline) return false;
        SApplicationBasic::wait(1);
    }
}

bool SDuvaroBurner::handshake(SString& answer) {
    SMem hello;
    hello.append("\xAB" "myBurn" "\xBB", 8);
    for (int attempt = 0; attempt < handshakeAttempts && !isAborted(); ++attempt) {
        if (!writeBytes(hello)) break;
        bool complete = readLine(answer, handshakeTimeoutMs);
        // Bytes from before the reset (the application's output) may precede the reply.
        int start = answer.find(SString::raw("myBurn"));
        if (start > 0) answer = answer.mid(start);
        globalDebug().print(SString::raw("### Antwort von Duvaro=") + answer);
        // A whole line without the identification is what the application said to the
        // handshake before the user pressed reset; the next attempt reaches the bootloader.
        if (complete && start >= 0) return true;
        SStringList fields = SStringList::split(answer, SString::raw("\r"));
        if (fields.getSize() > 8 && field(fields, 0) == "myBurn") return true;
    }
    return false;
}

bool SDuvaroBurner::checkAnswer(const SString& answer, const SMem& flash, const SMem& eeprom) {
    SStringList fields = SStringList::split(answer, SString::raw("\r"));
    if (fields.getSize() <= 8) {
        setError("\xB3\xB3" "errorBootloaderInfo\xB3\xB3" "FEHLER: Der BootLoader hat zu wenig Infos gemeldet");
        return false;
    }
    if (field(fields, 0) != "myBurn") {
        setError(SString("\xB3\xB3"
                         "errorBootloaderIdent\xB3\xB3"
                         "FEHLER: BootLoader hat falsche Kennung: ") +
                 field(fields, 0) + SString::raw("\nSoll: myBurn"));
        return false;
    }
    picture(field(fields, 1) == "PelmoStamp" ? "duvaro_transp.bmp" : "stamp_transp.bmp");
    mode_ = modeForVersion(field(fields, 3));
    // The numbers must be numbers, and a block size of 0 would send empty blocks for ever.
    for (int i : {6, 7, 8}) {
        if (!isNumber(field(fields, i))) {
            setError(SString("\xB3\xB3" "errorBootloaderReply\xB3\xB3" "FEHLER: Die Antwort des BootLoaders ist ung\xFC"
                             "ltig: ") +
                     answer.mid(0, answer.getLength()).trim());
            return false;
        }
    }
    blockSize_ = field(fields, 6).toInt();
    flashSpace_ = field(fields, 7).toInt();
    newBaud_ = field(fields, 8).toInt();
    if (blockSize_ <= 0) {
        setError(SString().format("\xB3\xB3" "errorBootloaderBlockSize\xB3\xB3"
                                  "FEHLER: Der BootLoader hat eine ung\xFC" "ltige Blockgr\xF6\xDF" "e gemeldet (%d).",
                                  blockSize_));
        return false;
    }
    // A mode 1 start command carries the flash size in 16 bits.
    int space = mode_ == 1 ? std::min(flashSpace_, 0xFFFF) : std::min(flashSpace_, 0xFFFFFF);
    if (static_cast<int64_t>(flash.getSize()) > space) {
        setError(SString().format("\xB3\xB3" "errorProgramSizeFlash\xB3\xB3"
                                  "FEHLER: Das Programm (%d) ist gr\xF6\xDF" "er als der zur Verf\xFC"
                                  "gung stehende Platz (%d).",
                                  static_cast<int>(flash.getSize()), space));
        return false;
    }
    if (eeprom.getSize() > static_cast<std::size_t>(maxEepromSize)) {
        setError(SString().format("\xB3\xB3" "errorProgramSizeEeprom\xB3\xB3"
                                  "FEHLER: Die EEPROM-Daten (%d) sind gr\xF6\xDF" "er als der zur Verf\xFC"
                                  "gung stehende Platz (%d).",
                                  static_cast<int>(eeprom.getSize()), maxEepromSize));
        return false;
    }
    return true;
}

bool SDuvaroBurner::sendMemory(const SMem& image, bool isEeprom, int offset, int total) {
    const int count = static_cast<int>(image.getSize());
    if (isEeprom)
        status(SString("\xB3\xB3"
                       "burnEeprom\xB3\xB3"
                       "brenne EEPROM ") +
               SString::printf("%d", count) +
               SString("\xB3\xB3"
                       "burnBytes\xB3\xB3"
                       " Bytes ..."));
    else
        status(SString("\xB3\xB3"
                       "burnFlash\xB3\xB3"
                       "brenne Flash ") +
               SString::printf("%d", count) +
               SString("\xB3\xB3"
                       "burnBytes\xB3\xB3"
                       " Bytes ..."));

    SMem start;
    const uint8_t c0 = count & 0xFF, c1 = (count >> 8) & 0xFF, c2 = (count >> 16) & 0xFF;
    if (!isEeprom && mode_ == 1) {
        const uint8_t cmd[] = {'B', 0, 0, c0, c1, '\n'};
        start.append(cmd, sizeof cmd);
    } else {
        const uint8_t cmd[] = {static_cast<uint8_t>(isEeprom ? 'M' : 'F'), 0, 0, 0, c0, c1, c2, '\n'};
        start.append(cmd, sizeof cmd);
    }
    globalDebug().print(SString::raw("Warte auf 'B/F/M'"));
    SString answer;
    if (!writeBytes(start) || !readLine(answer, 1000) ||
        (answer[0] != 'B' && answer[0] != 'F' && answer[0] != 'M')) {
        globalDebug().print(SString("\xB3\xB3"
                                    "errorCommunicationBFM\xB3\xB3"
                                    "Kommunikationsfehler (B/F/M) mit BootLoader.") +
                            SString::raw("# erhalten: ") + answer);
        return false;
    }

    // The one-byte length of a mode 1 block header limits its blocks to 255 bytes.
    const int maxBlock = !isEeprom && mode_ == 1 ? 255 : 0xFFFF;
    const int blockSize = std::min(blockSize_, maxBlock);
    int sent = 0;
    while (sent < count && !isAborted()) {
        const int n = std::min(blockSize, count - sent);
        progress(offset + sent, total);
        globalDebug().printf("SDuvaroBurner::burn(..) send block: %d, %d, %d", mode_, n, count - sent);
        SMem block;
        if (isEeprom) {
            const uint8_t header[] = {'m', static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8), '\n'};
            block.append(header, sizeof header);
        } else if (mode_ == 1) {
            const uint8_t header[] = {'b', static_cast<uint8_t>(n & 0xFF), '\n'};
            block.append(header, sizeof header);
        } else {
            const uint8_t header[] = {'f', static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8), '\n'};
            block.append(header, sizeof header);
        }
        block.append(image.getData() + sent, static_cast<std::size_t>(n));
        if (!writeBytes(block) || !readLine(answer, 10000) ||
            (answer[0] != 'b' && answer[0] != 'f' && answer[0] != 'm')) {
            globalDebug().print(SString("\xB3\xB3" "errorCoomunicationBFMSmall\xB3\xB3"
                                        "Kommunikationsfehler (b/f/m) mit BootLoader."));
            globalDebug().print(SString::raw("SDuvaroBurner::burn(..) erhalten: ") + answer);
            return false;
        }
        sent += n;
    }
    if (isAborted()) return false;

    globalDebug().print(SString::raw("Warte auf 'e'"));
    SMem end;
    end.append("e\n", 2);
    if (!writeBytes(end) || !readLine(answer, 10000) || !answer.startsWith(SString::raw("e0"))) {
        globalDebug().print(SString("\xB3\xB3"
                                    "errorCoomunicationE\xB3\xB3"
                                    "Kommunikationsfehler (e) mit BootLoader.") +
                            SString::raw("# erhalten: ") + answer);
        return false;
    }
    SString number = answer.mid(2).trim();
    bool hex = number.startsWith(SString::raw("0x")) || number.startsWith(SString::raw("0X"));
    uint32_t theirs = static_cast<uint32_t>(std::strtoul(number.c_str() + (hex ? 2 : 0), nullptr, hex ? 16 : 10));

    status("\xB3\xB3" "checkBurned\xB3\xB3" "pr\xFC" "fe gebranntes ...");
    uint32_t own = 0;
    for (std::size_t i = 0; i < image.getSize(); ++i) own += image.getByte(i);
    globalDebug().printf("Pr\xFC" "fsumme: soll=%u ist=%u", own, theirs);
    if (own != theirs) {
        setError("\xB3\xB3" "errorCheckSumBurnedData\xB3\xB3" "Fehler, falsche Pr\xFC" "fsumme der gebrannten Daten.");
        return false;
    }
    return true;
}

bool SDuvaroBurner::burn(const SMem* flashImage, const SMem* eepromImage) {
    static const SMem empty;
    const SMem& flash = flashImage ? *flashImage : empty;
    const SMem& eeprom = eepromImage ? *eepromImage : empty;
    bool ok = false;
    bool baudChanged = false;
    int64_t startTime = platform::monotonicMs();
    int64_t burnTime = startTime;

    status("\xB3\xB3openPort\xB3\xB3\xF6" "ffne Port...");
    port_.getSettings().fromString(settings_);
    SString portName = settings_.left(settings_.find(',') < 0 ? settings_.getLength() : settings_.find(','));
    if (!port_.open()) {
        SString text = SString("\xB3\xB3" "errorOpenCom\xB3\xB3" "Fehler beim \xD6" "ffnen des COM-Ports: ") + portName;
        setError(text);
        globalDebug().print(SString::raw("FEHLER: ") + text);
    } else {
        [&] {
            picture("reset_ausloesen.bmp");
            status("\xB3\xB3waitDuvaro\xB3\xB3warte auf Duvaro...");
            port_.purge();
            globalDebug().print(
                SString::raw("sende: \xAB"
                             "myBurn\xBB"));
            SString answer;
            if (!handshake(answer)) {
                if (!isAborted()) setError("\xB3\xB3" "errorBootloaderResp\xB3\xB3" "FEHLER: BootLoader hat nicht geantwortet");
                return;
            }
            if (isAborted()) return;
            startTime = platform::monotonicMs();
            status("\xB3\xB3" "checkAnswer\xB3\xB3" "pr\xFC" "fe Antwort...");
            if (!checkAnswer(answer, flash, eeprom)) return;
            if (newBaud_ != 0) {
                globalDebug().printf("\xE4" "ndere Baudrate %d", newBaud_);
                port_.getSettings().baud = newBaud_;
                if (!port_._setState()) return;
                baudChanged = true;
                SApplicationBasic::wait(10);
            }
            const int total = static_cast<int>(flash.getSize() + eeprom.getSize());
            progress(0, total);
            if (isAborted()) return;
            if (!sendMemory(flash, false, 0, total)) return;
            if (isAborted()) return;
            if (eeprom.getSize() > 0 && !sendMemory(eeprom, true, static_cast<int>(flash.getSize()), total))
                return;
            progress(total, total);
            ok = true;
        }();
        burnTime = platform::monotonicMs();
        timeAll_ = static_cast<int>(burnTime - startTime);
        timeBurn_ = timeAll_;
        globalDebug().printf("# timeAll : %d , timeBurn: %d", timeAll_, timeBurn_);
        if (baudChanged) {
            // The bootloader starts the application on "X".
            SMem reset;
            reset.append("X\n", 2);
            globalDebug().print(SString::raw("Warte auf 'X'"));
            SString answer;
            bool answered = writeBytes(reset) && readLine(answer, 1000);
            if (ok && (!answered || answer[0] != 'X')) {
                setError("\xB3\xB3" "errorByReset\xB3\xB3" "Fehler beim Reset des Controllers nach dem Brennen.");
                ok = false;
            }
        }
        port_.close();
        globalDebug().print(SString::raw("ende Bootloader-Brennen"));
    }

    if (!ok) {
        globalDebug().print(SString::raw("############# FEHLER beim Brennnen ##################"));
        {
            std::lock_guard lock(errorMutex_);
            if (abort_.load())
                error_ = "\xB3\xB3" "cancelled\xB3\xB3" "Abgebrochen.";
            else if (error_.isEmpty())
                error_ = "\xB3\xB3" "errorBurn\xB3\xB3" "Fehler beim Brennen.";
        }
        status(getError(), styleError);
    } else {
        status("\xB3\xB3successfulBurn\xB3\xB3OK, erfolgreich gebrannt.", styleSuccess);
    }
    if (display_) display_->finished(ok);
    return ok;
}
