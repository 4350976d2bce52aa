#include "board/SAvrProg911.h"

#include "board/AvrMcuXml.h"
#include "board/SHexFile.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"
#include "platform/Clock.h"
#include "stream/SComPort.h"

// A tagged message: key and German default text.
#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

SString hexDump(const SMem& bytes, std::size_t count) {
    SString out;
    for (std::size_t i = 0; i < count && i < bytes.getSize(); ++i)
        out.appendFormat("%02X ", bytes.getByte(i));
    return out;
}

constexpr int timeoutDefault = 2000;
constexpr int timeoutBlockAck = 4000;
constexpr int timeoutBlockRead = 5000;
constexpr int timeoutBlockQuery = 200;

}  // namespace

SAvrProg911::SAvrProg911() {
    globalDebug().print("AvrProg911 erstellt");
}

SAvrProg911::SAvrProg911(SAvrBoardData* data) : SAvrProg(data) {
    globalDebug().print("AvrProg911 erstellt");
}

SAvrProg911::~SAvrProg911() {
    globalDebug().print(SString(std::string("AvrProg911 zerst\xF6rt")));
}

bool SAvrProg911::isProgrammerId(const SString& id) {
    return id == SString::raw("AVR ISP") || id == SString::raw("AVRBOOT");
}

bool SAvrProg911::hasChecksum() const {
    return blockMode_ && (swMajor_ >= 3 || (swMajor_ == 2 && swMinor_ >= 3));
}

uint32_t SAvrProg911::byteSum(const uint8_t* bytes, std::size_t count) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
    return sum;
}

bool SAvrProg911::send(const uint8_t* bytes, std::size_t count) {
    if (port_->write(bytes, static_cast<uint32_t>(count))) return true;
    addPortFailure();
    return false;
}

bool SAvrProg911::receive(SMem& answer, uint32_t count, int timeoutMs) {
    // Takes the bytes from the port's ring as soon as they are there: the programmer answers
    // every block with one byte, and a coarser poll would add its step to every block.
    answer.setSize(count);
    SRingBuffer& ring = port_->getRing();
    uint32_t got = 0;
    const int64_t deadline = platform::monotonicMs() + timeoutMs;
    for (;;) {
        const int available = ring.count();
        if (available > 0) {
            const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(available), count - got);
            if (ring.get(answer.getData() + got, n)) got += n;
        }
        if (got == count) return true;
        if (!port_->isOpen()) return false;
        if (port_->isHungUp() && ring.count() == 0) {
            addPortFailure();
            return false;
        }
        if (platform::monotonicMs() >= deadline) return false;
        SApplicationBasic::wait(1);
    }
}

bool SAvrProg911::expectAck(int timeoutMs) {
    SMem answer;
    return receive(answer, 1, timeoutMs) && answer.getByte(0) == 0x0D;
}

void SAvrProg911::addPortFailure() {
    // An unplugged board ends every wait at once; the message names the cause, once per run.
    if (portFailureAdded_ || port_ == nullptr) return;
    if (port_->isHungUp()) {
        portFailureAdded_ = true;
        error_ += SString(MSG("error", "Fehler: ")) + SString(MSG("port", "Der Port ")) +
                  port_->getPortName() + SString(MSG("hungUp", " wurde getrennt.")) + SString::raw("\r\n");
    } else if (!port_->getError().isEmpty()) {
        portFailureAdded_ = true;
        error_ += SString(MSG("error", "Fehler: ")) + port_->getError() + SString::raw("\r\n");
    }
}

bool SAvrProg911::execute(SMapStringToMem& jobs) {
    globalDebug().print("SAvrProg911::execute(..)");
    error_.clear();
    portFailureAdded_ = false;
    bool ok = true;
    bool settingsChanged = false;
    SString savedSettings;

    if (data_ == nullptr) {
        error_ = SString(MSG("errorBefore1stCall", "Fehler: Vor dem ersten Aufruf von ")) +
                 SString::raw("SAvrProg911::execute(..)") +
                 SString(MSG("initMustBeExec", " muss die Initialisierung durchgef\xFChrt werden.\r\n"));
        ok = false;
    }
    if (ok) {
        port_ = data_->comPort;
        if (port_ == nullptr) {
            error_ += MSG("errorComPortNotPassed",
                          "Fehler: Es wurde kein Comport \xFC"
                          "bergeben.\r\n");
            ok = false;
        } else if (!port_->isOpen()) {
            error_ += MSG("errorComPortNotOpen",
                          "Fehler: Der Comport ist nicht ge\xF6"
                          "ffnet.\r\n");
            ok = false;
        }
    }
    if (ok) {
        // The programmer talks at 19200,N,8,1 only.
        SString portName = data_->port;
        portName = portName.cutFront(SString::raw(","));
        SComPortSettings wanted;
        wanted.fromString(portName + SString::raw(",19200,N,8,1"));
        if (port_->getSettings().toString() != wanted.toString()) {
            savedSettings = port_->getSettings().toString();
            settingsChanged = true;
            if (!port_->setSettings(wanted.toString())) {
                error_ += SString(MSG("error", "Fehler: ")) + port_->getError() + SString::raw("\r\n");
                ok = false;
            }
        }
    }
    if (ok) ok = enterProgMode();
    if (ok) ok = identify();
    for (int i = 0; ok && i < jobs.getSize(); ++i) {
        const SString key = jobs.getKeyAt(i);
        SMem* block = jobs.lookup(key);
        ok = runJob(key, *block);
        if (ok)
            globalDebug().print(SString::raw("SAvrProg911::execute(..) Job '") + key +
                                SString::raw("'\t\tok.\r\n"));
        else
            globalDebug().print(SString::raw("SAvrProg911::execute(..) ABBRUCH bei ") + key +
                                SString::raw("\r\n") + error_);
    }
    if (ok) ok = leaveProgMode();
    if (settingsChanged && port_->isOpen() && !port_->isHungUp()) port_->setSettings(savedSettings);

    if (ok) {
        report(MSG("ready", "Fertig"), kindProgress);
        report(SString::raw("OK"), kindDone);
    } else {
        report(error_, kindFailed);
    }
    return ok;
}

bool SAvrProg911::enterProgMode() {
    port_->purge();
    SString answer;
    if (send('P') && port_->readUntil(answer, 500, SString::raw("\r"))) return true;
    globalDebug().print("2. Versuch");
    if (send('P') && port_->readUntil(answer, 5000, SString::raw("\r"))) return true;
    addPortFailure();
    error_ += MSG("errorStartProgMode", "Fehler: beim Starten des Programmierungs Modus.\r\n");
    return false;
}

bool SAvrProg911::leaveProgMode() {
    SMem answer;
    if (send('L') && receive(answer, 1, timeoutDefault) && answer.getByte(0) == 0x0D) return true;
    error_ += MSG("errorLeaveProgMode", "Fehler: beim Verlassen des Programmierungs Modus.\r\n");
    globalDebug().print(SString::raw("Fehler: beim Verlassen des Programmierungs Modus.\r\n") +
                        hexDump(answer, answer.getSize()));
    return false;
}

bool SAvrProg911::identify() {
    port_->purge();
    SMem answer;
    if (!send('S') || !receive(answer, 7, timeoutDefault) || !isProgrammerId(answer.toString())) {
        error_ += MSG("errorTimeOutNo9xx", "Fehler: Timeout oder kein avr9xx Programmer.\r\n");
        return false;
    }
    if (!send('V') || !receive(answer, 2, timeoutDefault)) {
        error_ += MSG("errorReadSwVer", "Fehler: Timeout beim Lesen der Software-Version.\r\n");
        return false;
    }
    swMajor_ = static_cast<uint8_t>(answer.getByte(0) - '0');
    swMinor_ = static_cast<uint8_t>(answer.getByte(1) - '0');
    if (!send('s') || !receive(answer, 3, timeoutDefault)) {
        error_ += MSG("errorReadSig", "Fehler: Timeout beim Lesen der Signatur.\r\n");
        return false;
    }
    for (int i = 0; i < 3; ++i) signature_[i] = answer.getByte(static_cast<std::size_t>(i));
    if (!send('a') || !receive(answer, 1, timeoutDefault)) {
        error_ += MSG("errorReadAutoInc", "Fehler: Timeout beim Auslesen von Auto-Increment.\r\n");
        return false;
    }
    autoIncrement_ = answer.getByte(0) == 'Y';
    blockMode_ = false;
    blockSize_ = 0;
    if (send('b') && receive(answer, 3, timeoutBlockQuery) && answer.getByte(0) == 'Y') {
        blockSize_ = static_cast<uint16_t>(answer.getByte(1) << 8 | answer.getByte(2));
        // A block size of 0 would make the block loops send empty blocks for ever.
        blockMode_ = blockSize_ != 0;
    }
    // The answer to 'b' may have been cut short: nothing of it may stay for the next command.
    if (!blockMode_) port_->purge();
    globalDebug().printf("SAvrProg911: Version %d.%d, Signatur %02X %02X %02X, AutoInc=%d, Block=%d (%d)",
                         swMajor_, swMinor_, signature_[0], signature_[1], signature_[2],
                         autoIncrement_ ? 1 : 0, blockMode_ ? 1 : 0, blockSize_);
    return true;
}

bool SAvrProg911::runJob(const SString& key, SMem& block) {
    SString action, target, source;
    splitJobKey(key, action, target, source);
    if (action == SString::raw("write")) {
        if (target == SString::raw("flash")) return writeMemory(flashMemory, block, source);
        if (target == SString::raw("eeprom")) return writeMemory(eepromMemory, block, source);
        if (target == SString::raw("fuse") || target == SString::raw("lfuse") ||
            target == SString::raw("hfuse") || target == SString::raw("efuse") ||
            target == SString::raw("lock"))
            return writeFuse(target, block.getByte(0));
    } else if (action == SString::raw("read")) {
        if (target == SString::raw("flash")) return readMemoryJob(flashMemory, block, source);
        if (target == SString::raw("eeprom")) return readMemoryJob(eepromMemory, block, source);
        if (target == SString::raw("fuse") || target == SString::raw("lfuse") ||
            target == SString::raw("hfuse") || target == SString::raw("efuse") ||
            target == SString::raw("lock"))
            return readFuse(target, block);
        if (target == SString::raw("signature")) {
            block.setSize(3);
            for (int i = 0; i < 3; ++i) block.setByte(static_cast<std::size_t>(i), signature_[i]);
            return true;
        }
        if (target == SString::raw("swVersion")) {
            block.fromString(SString::printf("%d.%d", swMajor_, swMinor_));
            return true;
        }
        if (target == SString::raw("calibration")) return readCalibration(block);
    } else {
        error_ += SString(MSG("error", "Fehler: ")) + SString::raw("SAvrProg911::execute(..)") +
                  SString(MSG("invalidCall", " ung\xFCltiger Aufruf ")) + SString::raw("'") + key +
                  SString::raw("'\r\n");
        return false;
    }
    // A job this programmer does not know fails the burn: reporting it and going on would let
    // the caller take an unwritten or unread memory for done.
    error_ += SString(MSG("errorUnknownCall", "Fehler: unbekannter Aufruf: ")) + key + SString::raw("\r\n");
    return false;
}

bool SAvrProg911::setAddress(bool flash, std::size_t byteCount, bool variantText) {
    if (!autoIncrement_) {
        error_ += flash && !variantText
                      ? MSG("errorAutoIncRequ",
                            "Fehler: AutoIncrement wird ben\xF6tigt aber nicht unterst\xFCtzt.\r\n")
                      : MSG("errorAutoIncReq",
                            "Fehler: AutoIncrement wird ben\xF6tigt aber nicht unterst\xFCtzt.\r\n");
        return false;
    }
    if (sendAddress(0, flash && byteCount > 0x1FFFF)) return true;
    error_ += MSG("errorWriteAdr", "Fehler: beim Schreiben der Adresse.\r\n");
    return false;
}

bool SAvrProg911::sendAddress(uint32_t address, bool extended) {
    if (extended) {
        const uint8_t command[] = {'H', static_cast<uint8_t>(address >> 16),
                                   static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
        return send(command, sizeof command) && expectAck(timeoutDefault);
    }
    const uint8_t command[] = {'A', static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    return send(command, sizeof command) && expectAck(timeoutDefault);
}

bool SAvrProg911::loadData(const SMem& block, const SString& source, SMem& image) {
    if (source != SString::raw("file")) {
        image.copy(block);
        return true;
    }
    const SString name = block.toString();
    if (name.isEmpty() || !SFileSystem::exists(name) || SFileSystem::isDirectory(name)) {
        error_ += SString(MSG("errorFile", "Fehler: Die Datei ")) + SString::raw("'") + name +
                  SString::raw("'") + SString(MSG("notFound", " wurde nicht gefunden.\r\n"));
        return false;
    }
    SString ext;
    SFileSystem::splitPath(name, nullptr, nullptr, nullptr, &ext);
    ext.toUpper();
    if (ext.startsWith(SString::raw("."))) ext = ext.mid(1);
    image.clear();
    if (ext == SString::raw("HEX") || ext == SString::raw("EEP") || ext == SString::raw("TMP")) {
        SHexFile hex;
        SString text = SFile::readFile(name);
        if (hex.getBinCodeFromString(text, image)) return true;
        if (ext == SString::raw("HEX")) {
            // A damaged HEX file must not be burnt in part.
            error_ +=
                SString(MSG("errorHexFile", "Fehler: Die Datei ")) + SString::raw("'") + name +
                SString::raw("'") +
                SString::printf(MSG("errorNoHexFile", " ist keine g\xFCltige HEX-Datei (Zeile %d).\r\n"),
                                hex.getErrorLine());
            return false;
        }
        image.clear();
    }
    if (!SFile::readFile(name, image)) {
        error_ += SString(MSG("errorFile", "Fehler: Die Datei ")) + SString::raw("'") + name +
                  SString::raw("'") + SString(MSG("notFound", " wurde nicht gefunden.\r\n"));
        return false;
    }
    return true;
}

bool SAvrProg911::saveData(const SMem& image, const SMem& block, const SString& source, SMem& target) {
    if (source != SString::raw("file")) {
        target.copy(image);
        return true;
    }
    SMem trimmed;
    trimmed.copy(image);
    std::size_t size = trimmed.getSize();
    while (size > 0 && trimmed.getByte(size - 1) == 0xFF) --size;
    trimmed.setSize(size);
    const SString name = block.toString();
    SHexFile hex;
    if (hex.saveFile(name, trimmed)) return true;
    error_ += SString(MSG("errorFileWrite", "Fehler: Die Datei ")) + SString::raw("'") + name +
              SString::raw("'") + SString(MSG("notWritten", " konnte nicht geschrieben werden.\r\n"));
    return false;
}

// The flash and the EEPROM differ only in what this table holds; one routine writes, verifies
// and reads either.
struct SAvrProg911::Memory {
    // The progress prefix ("flash|write|256|8192") and the memory letter of 'B' and 'g'.
    const char* name;
    uint8_t blockLetter;
    // Without block mode: the flash takes words ('c' low byte, 'C' high byte) and reads them
    // with 'R' (high byte first); the EEPROM takes bytes with 'D' and reads them with 'd'.
    bool words;
    uint8_t writeLow;
    uint8_t writeHigh;
    uint8_t read;
    // Time for the answer to a block read.
    int blockReadTimeoutMs;
    // The size from the catalogue.
    int (AvrMcuXml::*size)(const SString&);
    // The line that announces the write.
    const char* writing;
    // The flash is erased as a whole first (so an empty image is refused before), is verified
    // by the checksum extension where there is one, and spells its address failure its own way.
    bool erasedFirst;
    // The EEPROM's read-back after a write sends no read progress.
    bool quietReadBack;
};

const SAvrProg911::Memory SAvrProg911::flashMemory = {
    .name = "flash",
    .blockLetter = 'F',
    .words = true,
    .writeLow = 'c',
    .writeHigh = 'C',
    .read = 'R',
    .blockReadTimeoutMs = timeoutBlockRead,
    .size = &AvrMcuXml::getFlashSize,
    .writing = MSG("writeByteFlash", "schreibe %d Bytes in Flash-Memory ..."),
    .erasedFirst = true,
    .quietReadBack = false,
};
const SAvrProg911::Memory SAvrProg911::eepromMemory = {
    .name = "eeprom",
    .blockLetter = 'E',
    .words = false,
    .writeLow = 'D',
    .writeHigh = 0,
    .read = 'd',
    .blockReadTimeoutMs = timeoutDefault,
    .size = &AvrMcuXml::getEepromSize,
    .writing = MSG("writeByteEeprom", "schreibe %d Bytes in EEPROM-Memory ..."),
    .erasedFirst = false,
    .quietReadBack = true,
};

bool SAvrProg911::writeMemory(const Memory& memory, SMem& block, const SString& source) {
    SMem image;
    if (!loadData(block, source, image)) return false;
    const std::size_t total = image.getSize();
    if (total == 0 && memory.erasedFirst) {
        // Erasing the chip for nothing would only destroy what it holds.
        error_ += MSG("errorNoData", "Fehler: Es gibt keine Daten zum Schreiben.\r\n");
        return false;
    }
    const SString name = SString::raw(memory.name);
    report(SString::printf(memory.writing, static_cast<int>(total)), kindProgress);
    const int64_t started = platform::monotonicMs();
    const int t = static_cast<int>(total);

    bool ok = true;
    if (memory.erasedFirst) {
        ok = send('e') && expectAck(timeoutDefault);
        if (!ok)
            error_ += MSG("timeOutChipErase", "Fehler: Timeout oder Fehler beim L\xF6schen des Chips.\r\n");
    }
    if (ok) ok = setAddress(memory.erasedFirst, total, !memory.erasedFirst);
    if (ok && blockMode_) {
        const std::size_t s = blockSize_;
        globalDebug().printf("send in blockmode: %d bytes, blocksize=%d", t, static_cast<int>(s));
        for (std::size_t p = 0; ok && p < total; p += s) {
            const std::size_t n = std::min(s, total - p);
            notify(name + SString::printf("|write|%d|%d", static_cast<int>(p), t), kindProgress);
            // Command and data go out as one write, so no pause lies between them.
            SMem message;
            const uint8_t head[] = {'B', static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF),
                                    memory.blockLetter};
            message.append(head, sizeof head);
            message.append(image.getData() + p, n);
            ok = send(message.getData(), message.getSize()) && expectAck(timeoutBlockAck);
            if (!ok) error_ += MSG("errorWriteData", "Fehler: beim Schreiben der Daten.\r\n");
        }
        globalDebug().printf("Blockmode brennen: ok=%d, Zeit: %d ms f\xFCr %d Bytes", ok ? 1 : 0,
                             static_cast<int>(platform::monotonicMs() - started), t);
    } else if (ok) {
        globalDebug().printf("send ohne blockmode: %d bytes", t);
        // A part written page by page takes 'c' and 'C' into its page buffer only: each page is
        // written by 'm' at the page's address, and the words of the next page follow from its
        // start. A part without pages takes every word at once.
        const std::size_t page = memory.words ? flashPageBytes() : 0;
        const bool extended = memory.words && total > 0x1FFFF;
        const std::size_t step = memory.words ? 2 : 1;
        std::size_t i = 0;
        for (; ok && i < total; i += step) {
            const uint8_t first[] = {memory.writeLow, image.getByte(i)};
            ok = send(first, 2) && expectAck(timeoutDefault);
            if (ok && memory.words) {
                // The byte after an image of odd length stays erased.
                const uint8_t high[] = {memory.writeHigh,
                                        i + 1 < total ? image.getByte(i + 1) : uint8_t(0xFF)};
                ok = send(high, 2) && expectAck(timeoutDefault);
            }
            const std::size_t next = i + step;
            if (ok && page > 0 && (next % page == 0 || next >= total)) {
                ok = sendAddress(static_cast<uint32_t>(i / page * page / 2), extended) && send('m') &&
                     expectAck(timeoutDefault);
                if (ok && next < total) ok = sendAddress(static_cast<uint32_t>(next / 2), extended);
            }
            if (!ok) error_ += MSG("errorWriteData", "Fehler: beim Schreiben der Daten.\r\n");
        }
        globalDebug().printf("send ohne blockmode fertig (ok=%d; i=%d)", ok ? 1 : 0, static_cast<int>(i));
    }
    if (ok) notify(name + SString::printf("|write|%d|%d", t, t), kindProgress);

    if (ok) {
        notify(name + SString::printf("|verify|%d|%d", t, t), kindProgress);
        const int64_t verifyStart = platform::monotonicMs();
        if (memory.erasedFirst && hasChecksum()) {
            uint32_t sum = 0;
            const uint32_t own = byteSum(image.getData(), total);
            if (!readCheckSum(total, sum)) {
                error_ += MSG("errorBuildCheckSum",
                              "Fehler: beim Ermitteln der Pr\xFC"
                              "fsumme.\r\n");
                ok = false;
            } else if (sum != own) {
                error_ += MSG("errorCompCheckSum",
                              "Fehler: beim Vergleich der Pr\xFC"
                              "fsumme.\r\n");
                globalDebug().printf(
                    "Fehler: beim Vergleich der Pr\xFC"
                    "fsummen: soll=%d ist=%d",
                    static_cast<int>(own), static_cast<int>(sum));
                ok = false;
            }
            globalDebug().printf(
                "Ermitteln der Pr\xFC"
                "fsummen und Vergleich ok=%d, Zeit=%d ms f\xFCr %d Bytes",
                ok ? 1 : 0, static_cast<int>(platform::monotonicMs() - verifyStart), t);
        } else {
            SEventManager* receiver = data_->eventReceiver;
            if (memory.quietReadBack) data_->eventReceiver = nullptr;
            SMem readBack;
            const bool read = readMemory(memory, readBack);
            data_->eventReceiver = receiver;
            globalDebug().printf("Auslesen der Daten. ok=%d, Zeit=%d ms f\xFCr %d Bytes", read ? 1 : 0,
                                 static_cast<int>(platform::monotonicMs() - verifyStart), t);
            if (!read) {
                error_ += MSG("errorReadWrittenData", "Fehler: beim Lesen der geschriebenen Daten.\r\n");
                ok = false;
            } else {
                ok = compareImages(image, readBack);
            }
        }
    }
    notify(name + SString::printf(ok ? "|ok|%d|%d" : "|error|%d|%d", t, t), kindProgress);
    if (ok)
        report(SString::printf(MSG("success", " ... erfolgreich (%0.02f s)"),
                               static_cast<double>(platform::monotonicMs() - started) / 1000.0),
               kindProgress);
    return ok;
}

bool SAvrProg911::readMemory(const Memory& memory, SMem& image) {
    AvrMcuXml& catalogue = data_->mcuXml != nullptr ? *data_->mcuXml : globalAvrMcuXml();
    const int size = (catalogue.*memory.size)(SString());
    if (size < 0) {
        // An unknown part has no memory sizes; reading "-1 bytes" must not happen.
        error_ += MSG("errorUnknownSize",
                      "Fehler: Die Speichergr\xF6\xDF"
                      "e des Prozessors ist nicht bekannt.\r\n");
        return false;
    }
    const SString name = SString::raw(memory.name);
    const std::size_t total = static_cast<std::size_t>(size);
    const int t = size;
    image.setSize(total);
    if (total == 0) return true;
    // The ring must hold a whole block; a new capacity empties it, so this comes first.
    if (blockMode_ && port_->getRing().getCapacity() < blockSize_ + 16u)
        port_->getRing().setCapacity(blockSize_ + 16u);
    if (!setAddress(memory.words, total, true)) return false;
    bool ok = true;
    if (blockMode_) {
        const std::size_t s = blockSize_;
        for (std::size_t p = 0; ok && p < total; p += s) {
            const std::size_t n = std::min(s, total - p);
            globalDebug().printf("read block: Adr=%d von %d; Block=%d blockH=%d; blockL=%d",
                                 static_cast<int>(p), t, static_cast<int>(n), static_cast<int>(n >> 8),
                                 static_cast<int>(n & 0xFF));
            notify(name + SString::printf("|read|%d|%d", static_cast<int>(p), t), kindProgress);
            const uint8_t command[] = {'g', static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF),
                                       memory.blockLetter};
            SMem answer;
            ok = send(command, sizeof command) &&
                 receive(answer, static_cast<uint32_t>(n), memory.blockReadTimeoutMs);
            if (ok)
                for (std::size_t i = 0; i < n; ++i) image.setByte(p + i, answer.getByte(i));
        }
    } else {
        const std::size_t step = memory.words ? 2 : 1;
        for (std::size_t i = 0; ok && i < total; i += step) {
            SMem answer;
            ok = send(memory.read) && receive(answer, static_cast<uint32_t>(step), timeoutDefault);
            if (!ok) break;
            if (memory.words) {
                image.setByte(i + 1, answer.getByte(0));
                image.setByte(i, answer.getByte(1));
            } else {
                image.setByte(i, answer.getByte(0));
            }
        }
    }
    if (!ok) {
        error_ += MSG("errorReadData", "Fehler: beim Lesen der Daten.\r\n");
        return false;
    }
    notify(name + SString::printf("|read|%d|%d", t, t), kindProgress);
    return true;
}

bool SAvrProg911::readMemoryJob(const Memory& memory, SMem& block, const SString& source) {
    SMem image;
    if (!readMemory(memory, image)) return false;
    return saveData(image, block, source, block);
}

std::size_t SAvrProg911::flashPageBytes() const {
    AvrMcuXml& catalogue = data_->mcuXml != nullptr ? *data_->mcuXml : globalAvrMcuXml();
    const int page = catalogue.getFlashPageSize();
    return page > 0 ? static_cast<std::size_t>(page) : 0;
}

bool SAvrProg911::compareImages(const SMem& written, const SMem& read) {
    for (std::size_t i = 0; i < written.getSize(); ++i) {
        const uint8_t got = i < read.getSize() ? read.getByte(i) : uint8_t(0xFF);
        if (written.getByte(i) == got && i < read.getSize()) continue;
        error_ += MSG("errorCheckWrittenData",
                      "Fehler: beim \xDC"
                      "berpr\xFC"
                      "fen der geschriebenen Daten.\r\n");
        error_ +=
            SString::printf(MSG("firstDiff", "\tErste Abweichung bei Byte %d , '0x%02X' != '0x%02X'\r\n"),
                            static_cast<int>(i), written.getByte(i), got);
        return false;
    }
    return true;
}

bool SAvrProg911::readCheckSum(std::size_t byteCount, uint32_t& sum) {
    sum = 0;
    if (!setAddress(true, byteCount, true)) return false;
    if (!hasChecksum()) {
        error_ += MSG("errorAdvancedBlockMode", "Fehler: Erweiterter Blockmode wird ben\xF6tigt.\r\n");
        return false;
    }
    std::size_t rest = byteCount;
    while (rest > 0) {
        const std::size_t n = std::min<std::size_t>(rest, checksumPart);
        const uint8_t command[] = {'g', static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF), 'f'};
        SMem answer;
        if (!send(command, sizeof command) || !receive(answer, 4, timeoutBlockRead)) {
            error_ += MSG("errorReadData", "Fehler: beim Lesen der Daten.\r\n");
            return false;
        }
        const uint32_t part = static_cast<uint32_t>(answer.getByte(0)) << 24 |
                              static_cast<uint32_t>(answer.getByte(1)) << 16 |
                              static_cast<uint32_t>(answer.getByte(2)) << 8 | answer.getByte(3);
        sum += part;
        rest -= n;
        globalDebug().print(SString::raw("SAvrProg911::readCheckSum(..) gelesen: ") + hexDump(answer, 4));
        globalDebug().printf("SAvrProg911::readCheckSum(..) ok=%d, teilsum=%d, restsize=%d", 1,
                             static_cast<int>(part), static_cast<int>(rest));
    }
    return true;
}

bool SAvrProg911::writeFuse(const SString& target, uint8_t value) {
    struct Fuse {
        const char* target;
        uint8_t command;
        const char* line;
        const char* error;
        const char* written;
    };
    static const Fuse fuses[] = {
        {"fuse", 'f', "lfuse", MSG("errorWriteLowFuse", "Fehler: beim Schreiben von Low-Fuse.\r\n"),
         MSG("writtenFuse", "Fuse geschrieben")},
        {"lfuse", 'f', "lfuse", MSG("errorWriteLowFuse", "Fehler: beim Schreiben von Low-Fuse.\r\n"),
         MSG("writtenLFuse", "Low-Fuse geschrieben")},
        {"hfuse", 0xA2, "hfuse", MSG("errorWriteHighFuse", "Fehler: beim Schreiben von High-Fuse.\r\n"),
         MSG("writtenHFuse", "High-Fuse geschrieben")},
        {"efuse", 0xA3, "efuse",
         MSG("errorWriteExtendedFuse", "Fehler: beim Schreiben von Extended-Fuse.\r\n"),
         MSG("writtenEFuseWritten", "Extended-Fuse geschrieben")},
        {"lock", 'l', "lock", MSG("errorWriteLock", "Fehler: beim Schreiben der Lockbits.\r\n"),
         MSG("writtenLBits", "Lock-Bits geschrieben")},
    };
    for (const Fuse& f : fuses) {
        if (target != SString::raw(f.target)) continue;
        if (f.command == 'f') globalDebug().printf("write LowFuse: %d %X", value, value);
        const uint8_t command[] = {f.command, value};
        SMem answer;
        const bool sent = send(command, 2);
        const bool got = sent && receive(answer, 1, timeoutDefault);
        const bool ok = got && answer.getByte(0) == 0x0D;
        if (f.command == 'f')
            globalDebug().printf("write LowFuse return: %d %d ok=%d", got ? 1 : 0, answer.getByte(0),
                                 ok ? 1 : 0);
        notify(SString::raw(f.line) + SString::raw(ok ? "|ok" : "|error"), kindProgress);
        if (!ok) {
            error_ += f.error;
            return false;
        }
        report(f.written, kindProgress);
        return true;
    }
    return false;
}

bool SAvrProg911::readFuse(const SString& target, SMem& block) {
    struct Fuse {
        const char* target;
        uint8_t command;
        const char* error;
    };
    static const Fuse fuses[] = {
        {"fuse", 'F', MSG("errorReadLowFuse", "Fehler: beim Lesen von Low-Fuse.\r\n")},
        {"lfuse", 'F', MSG("errorReadLowFuse", "Fehler: beim Lesen von Low-Fuse.\r\n")},
        {"hfuse", 'N', MSG("errorReadHighFuse", "Fehler: beim Lesen von High-Fuse.\r\n")},
        {"efuse", 'Q', MSG("errorReadExtendedFuse", "Fehler: beim Lesen von Extended-Fuse.\r\n")},
        {"lock", 'r', MSG("errorReadLock", "Fehler: beim Lesen der Lockbits.\r\n")},
    };
    for (const Fuse& f : fuses) {
        if (target != SString::raw(f.target)) continue;
        SMem answer;
        if (!send(f.command) || !receive(answer, 1, timeoutDefault)) {
            error_ += f.error;
            return false;
        }
        block.setSize(1);
        block.setByte(0, answer.getByte(0));
        return true;
    }
    return false;
}

bool SAvrProg911::universalCommand(const uint8_t* bytes, int count, uint8_t& answer, bool fourBytes) {
    SMem message;
    message.appendByte(fourBytes ? '.' : ':');
    message.append(bytes, static_cast<std::size_t>(count));
    SMem reply;
    if (send(message.getData(), message.getSize()) && receive(reply, 2, timeoutDefault) &&
        reply.getByte(1) == 0x0D) {
        answer = reply.getByte(0);
        return true;
    }
    error_ += fourBytes ? MSG("errorNewUniCommand", "Fehler: bei 'New Universal Command'.\r\n")
                        : MSG("errorUniCommand", "Fehler: bei 'Universal Command'.\r\n");
    return false;
}

bool SAvrProg911::readCalibration(SMem& block) {
    const std::size_t n = block.getSize();
    globalDebug().printf("SAvrProg911::readCalibration(..) Anzahl: %d", static_cast<int>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const uint8_t command[] = {0x38, 0x00, static_cast<uint8_t>(i)};
        SMem dump;
        dump.append(command, 3);
        globalDebug().print(SString::raw("SAvrProg911::readCalibration(..) senden:") + hexDump(dump, 3));
        uint8_t value = 0;
        if (!universalCommand(command, 3, value, false)) {
            error_ += MSG("errorReadCalibration", "Fehler: beim Lesen des/der Calibration-Bytes.\r\n");
            return false;
        }
        globalDebug().printf("SAvrProg911::readCalibration(..) Ausgabe: %d '%c'", value, value);
        block.setByte(i, value);
    }
    return true;
}
