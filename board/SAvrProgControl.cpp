#include "board/SAvrProgControl.h"

#include <cstdio>
#include <cstdlib>

#include "board/SHexFile.h"
#include "foundation/SDebug.h"
#include "foundation/SFileSystem.h"
#include "stream/SComPort.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

SAvrProgControl::SAvrProgControl() {
    globalDebug().print(SString::raw("SAvrProgControl::SAvrProgControl(..)"));
}

SAvrProgControl::SAvrProgControl(SAvrBoardData* data) : SAvrProg(data) {
    globalDebug().print(SString::raw("SAvrProgControl::SAvrProgControl(..)"));
}

uint8_t SAvrProgControl::checksum(const SMem& maskedImage) {
    uint8_t sum = checksumStart;
    for (std::size_t i = 0; i < maskedImage.getSize(); ++i) sum ^= maskedImage.getByte(i);
    return sum;
}

bool SAvrProgControl::execute(SMapStringToMem& jobs) {
    globalDebug().print(SString::raw("SAvrProgControl::execute(..)"));
    error_.clear();
    bool ok = true;
    for (int i = 0; ok && i < jobs.getSize(); ++i) {
        const SString key = jobs.getKeyAt(i);
        SString action, target, source;
        splitJobKey(key, action, target, source);
        if (action == "write" && target == "flash") {
            SMem image;
            const SMem& block = jobs.getValueAt(i);
            if (source == "file")
                ok = readHexFileToMem(block, image);
            else
                image.copy(block);
            if (ok) ok = writeData(image);
        } else {
            error_ +=
                SString(MSG("errorOpNotSupported", "Fehler: Diese Operation wird nicht unterst\xFCtzt")) +
                SString::raw("(") + key + SString::raw(")") + SString::raw(".\r\n");
        }
    }
    return ok;
}

bool SAvrProgControl::readHexFileToMem(const SMem& fileName, SMem& image) {
    globalDebug().print(SString::raw("SAvrProgControl::readHexFileToMem(..)"));
    SString name = fileName.toString();
    if (name.isEmpty() || !SFileSystem::exists(name)) {
        error_ += SString(MSG("errorFile", "Fehler: Die Datei ")) + SString::raw("'") + name +
                  SString::raw("'") + SString(MSG("notfound", "wurde nicht gefunden.\r\n"));
        return false;
    }
    SHexFile hex;
    if (!hex.loadFile(name, image)) {
        error_ += hex.getError();
        return false;
    }
    return true;
}

bool SAvrProgControl::writeData(const SMem& original) {
    globalDebug().print(SString::raw("SAvrProgControl::writeData(..)"));
    SComPort* port = data_ != nullptr ? data_->comPort : nullptr;
    if (port == nullptr) {
        error_ += MSG("errorComPortNotPassed",
                      "Fehler: Es wurde kein Comport \xFC"
                      "bergeben.\r\n");
        return false;
    }
    // Addresses and sizes travel in 16 bits.
    if (original.getSize() > 0xFFFF) {
        error_ += SString().format(MSG("errorImageTooLarge",
                                       "Fehler: Das Programm (%d Bytes) ist f\xFC"
                                       "r den Bootloader zu gro\xDF.\r\n"),
                                   static_cast<int>(original.getSize()));
        return false;
    }
    SString settings = port->getSettings().toString();
    int comma = settings.find(',');
    SString portName = comma < 0 ? settings : settings.left(comma);
    port->purge();
    port->getSettings().fromString(portName + SString::raw(",19200"));
    if (!port->open()) {
        globalDebug().print(port->getError());
        error_ += SString(MSG("error", "Fehler: ")) + port->getError() + SString::raw("\r\n");
        return false;
    }
    globalDebug().print(
        SString("reset dr\xFC"
                "cken"));

    // The bootloader takes the image masked; the caller's image stays as it is.
    SMem image;
    image.copy(original);
    for (std::size_t i = 0; i < image.getSize(); ++i) image.setByte(i, image.getByte(i) ^ imageMask);

    SString text;
    if (!port->readUntil(text, 5000, SString::raw("\r")) || text.find(SString::raw("Duvaro")) < 0) {
        error_ += MSG("errorNoReactDuvaro", "Fehler: Duvaro reagiert nicht.\r\n");
        return false;
    }
    port->writeText(SString::raw("myBurn"));
    bool read = port->readText(text, 5000, 10);
    if (text.find(SString::raw("myBoot")) < 0) {
        error_ += SString(MSG("errorNoRespBoard", "Fehler: keine Antwort von Board auf Brennmodus.")) +
                  SString::raw("(") + SString::raw(read ? "1" : "0") + SString::raw(",") + text +
                  SString::raw(").\r\n");
        return false;
    }

    const int total = static_cast<int>(image.getSize());
    for (int address = 0; address < total; address += blockSize) {
        const int n = std::min(blockSize, total - address);
        const uint8_t ah = (address >> 8) & 0xFF, al = address & 0xFF, nh = (n >> 8) & 0xFF, nl = n & 0xFF;
        globalDebug().printf("schreibe %d Byte (%d,%d,%d,%d): ", n, ah, al, nh, nl);
        if (progress_) progress_(progressContext_, address, total);
        notify(SString::printf("flash|write|%d|%d", address, total), kindProgress);
        const uint8_t cmd[] = {'W', ah, al, nh, nl};
        char expected[16];
        std::snprintf(expected, sizeof expected, " A%02X%02XS%02X%02X", ah, al, nh, nl);
        port->write(cmd, sizeof cmd);
        port->readText(text, 5000, 11);
        if (text != expected) {
            error_ += SString(MSG("errorSetAdr", "Fehler: setzen der Adresse fehlgeschlagen ")) +
                      SString::raw("(") + SString::raw(expected) + SString::raw(" != ") + text +
                      SString::raw(").\r\n");
            return false;
        }
        port->purge();
        SMem block(static_cast<std::size_t>(n));
        for (int j = 0; j < n; ++j)
            block.setByte(static_cast<std::size_t>(j), image.getByte(static_cast<std::size_t>(address + j)) ^
                                                           static_cast<uint8_t>((n - j) & 0xFF));
        port->writeBlock(block);
        bool confirmed = port->readText(text, 10000, 2) && text == "E1";
        globalDebug().print(SString::raw("Best\xE4tigung: ") + text + SString::raw(" ok=") +
                            SString::raw(confirmed ? "1" : "0"));
        if (!confirmed) {
            error_ +=
                SString(MSG("errorWriteBlockOnAdr", "Fehler: beim Schreiben des Blockes auf Adresse ")) +
                SString::printf("%d", address) + SString::raw("(") + text + SString::raw(") \r\n");
            return false;
        }
    }
    if (progress_) progress_(progressContext_, total, total);
    notify(SString::printf("flash|write|%d|%d", total, total), kindProgress);

    const uint8_t own = checksum(image);
    const uint8_t cmd[] = {'C', 0, 0, static_cast<uint8_t>((total >> 8) & 0xFF),
                           static_cast<uint8_t>(total & 0xFF)};
    port->write(cmd, sizeof cmd);
    bool answered = port->readText(text, 5000, 2);
    globalDebug().print(SString::printf("Vergleich checksum intern=0x%02X", own) + SString::raw(" extern=") +
                        text);
    char* end = nullptr;
    long theirs = std::strtol(text.c_str(), &end, 16);
    if (!answered || end != text.c_str() + 2 || theirs != own) {
        error_ += MSG("errorCheckFirmWare",
                      "Fehler: beim \xDC"
                      "berpr\xFC"
                      "fen der Firmware.\r\n");
        return false;
    }
    port->writeByte('X');
    port->readText(text, 5000, 1);
    globalDebug().print(SString::raw("SAvrProgControl::writeData(..) fertig OK"));
    return true;
}
