#include "board/SAvrProgDude.h"

#include <memory>

#include "board/SGiveio.h"
#include "foundation/SConsolenAgent.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"
#include "platform/ComPortMap.h"
#include "platform/FileOps.h"
#include "platform/ParallelPort.h"
#include "platform/Paths.h"
#include "stream/SComPort.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

bool readWholeFile(const SString& name, SMem& block) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f == nullptr) return false;
    block.clear();
    uint8_t buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) block.append(buffer, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool writeWholeFile(const SString& name, const SMem& block) {
    return platform::replaceFileContent(
        name.str(), std::string(reinterpret_cast<const char*>(block.getData()), block.getSize()));
}

}  // namespace

SAvrProgDude::SAvrProgDude() {
    globalDebug().print(SString::raw("AvrProgDude erstellt"));
}

SAvrProgDude::SAvrProgDude(SAvrBoardData* data) : SAvrProg(data) {
    globalDebug().print(SString::raw("SAvrProgDude::SAvrProgDude(..)"));
}

SAvrProgDude::~SAvrProgDude() {
    deinit();
}

void SAvrProgDude::clearOutput() {
    globalDebug().print(SString::raw("SAvrProgDude::clearOutput(..)"));
    error_.clear();
    deinit();
}

void SAvrProgDude::deinit() {
    globalDebug().print(SString::raw("SAvrProgDude::deinit(..)"));
    for (int i = 0; i < tempFiles_.getSize(); ++i)
        if (!tempFiles_.getAt(i).isEmpty()) platform::removeFile(tempFiles_.getAt(i).str());
    tempFiles_.removeAll();
}

SString SAvrProgDude::devicePort(const SString& portName) {
    SString name = portName.lowered();
    if (name.startsWith(SString::raw("com"))) {
        std::string device = platform::ComPortMap().deviceFor(name.str());
        if (!device.empty()) return SString(device);
    }
    int lpt = SGiveio::portIndex(name);
    if (lpt >= 0) return SString(platform::ParallelPort::devicePath(lpt));
    // Device paths keep their letter case.
    return portName.startsWith(SString::raw("/")) ? portName : name;
}

bool SAvrProgDude::isSerialPort(const SString& portName) {
    return portName.lowered().startsWith(SString::raw("com")) || SComPortSettings::isDevicePath(portName);
}

SString SAvrProgDude::prepareJob(const SString& key, SMem& block) {
    globalDebug().print(SString::raw("SAvrProgDude::prepareJob(..)"));
    SString action, target, source;
    splitJobKey(key, action, target, source);
    SString file;
    const bool fromFile = source == "file";
    if (fromFile) {
        file = block.toString();
        if (action == "write" && (file.isEmpty() || !SFileSystem::exists(file))) {
            error_ += SString(MSG("errorFile", "Fehler: Die Datei ")) + SString::raw("'") + file +
                      SString::raw("'") + SString(MSG("forJob", " f\xFCr den job '")) + key +
                      SString::raw("'") + SString(MSG("notfound", "wurde nicht gefunden.\r\n"));
            return {};
        }
        tempFiles_.add(SString());
    } else {
        std::string made = platform::createTempFile(platform::tempDirectory(), "dude");
        if (made.empty()) {
            error_ +=
                SString(MSG("errorTempFile", "Fehler: Es konnte keine Tempor\xE4re Datei f\xFCr den job ")) +
                key + SString(MSG("notCreated", " angelegt werden.\r\n"));
            return {};
        }
        file = SString(made);
        tempFiles_.add(file);
    }
    SString argument = SString::raw("-U ") + target + SString::raw(":");
    if (action == "read") {
        argument += SString::raw("r:\"") + file + SString::raw("\"");
    } else if (action == "write") {
        if (!fromFile && !writeWholeFile(file, block)) {
            error_ += MSG("errorDataNotSaved", "Fehler: Daten konnten nicht gespeichert werden.\r\n");
            error_ += MSG("newLine", "\r\n");
            return {};
        }
        argument += SString::raw("w:\"") + file + SString::raw("\"");
    } else {
        error_ += SString(MSG("errorInvalidCall", "Fehler: ung\xFCltiger Aufruf: ")) + key +
                  SString(MSG("newLine", "\r\n"));
        return {};
    }
    // Files of flash and EEPROM are Intel HEX; the blocks' own bytes travel raw.
    argument +=
        fromFile && (target == "flash" || target == "eeprom") ? SString::raw(":i") : SString::raw(":r");
    globalDebug().print(key + SString::raw(": ") + argument);
    return argument;
}

bool SAvrProgDude::analyseJob(const SString& key, SMem& block, int index) {
    globalDebug().print(SString::raw("SAvrProgDude::analyseJob(..)"));
    SString action, target, source;
    splitJobKey(key, action, target, source);
    if (action != "read" || source == "file") return true;
    SString file = index < tempFiles_.getSize() ? tempFiles_.getAt(index) : SString();
    if (file.isEmpty()) {
        globalError().showMessage(MSG("errorFetchData", "Fehler: beim Abholen der Daten.\r\n"));
        globalError().showMessage(MSG("mappingTempFiles", "Zuordnung der Temp-Files fehlerhaft.\r\n"));
        return false;
    }
    if (!readWholeFile(file, block)) {
        error_ += MSG("errorFetchData", "Fehler: beim Abholen der Daten.\r\n");
        return false;
    }
    return true;
}

bool SAvrProgDude::execute(SMapStringToMem& jobs) {
    globalDebug().print(SString::raw("SAvrProgDude::execute(..)"));
    clearOutput();
    exitCode_ = -1;
    if (data_ == nullptr) {
        error_ = SString(MSG("errorInitBef1stCall", "Fehler: Vor dem ersten Aufruf von ")) +
                 SString::raw("SAvrProgDude::execute(..)") +
                 SString(MSG("initMustExec", " muss die Initialisierung durchgef\xFChrt werden.\r\n"));
        return false;
    }
    std::unique_ptr<SConsolenAgent> own;
    SConsolenAgent* console = data_->outputConsole != nullptr ? data_->outputConsole : data_->console;
    if (console == nullptr) {
        own = std::make_unique<SConsolenAgent>();
        console = own.get();
    }

    SString portText = data_->port;
    int comma = portText.find(',');
    SString portName = comma < 0 ? portText : portText.left(comma);
    program_ = SFileSystem::join(data_->avrdudeDirectory, SString::raw(programName));
    arguments_ = SString::raw(" -p ") + data_->mcu + SString::raw(" -c ") + data_->programmerType +
                 SString::raw(" -P ") + devicePort(portName);

    bool ok = true;
    for (int i = 0; ok && i < jobs.getSize(); ++i) {
        SMem* block = jobs.lookup(jobs.getKeyAt(i));
        SString argument = prepareJob(jobs.getKeyAt(i), *block);
        if (argument.isEmpty()) {
            globalDebug().print(error_);
            ok = false;
        } else {
            arguments_ += SString::raw(" ") + argument;
        }
    }
    if (ok) {
        arguments_ += SString::raw(" -u");
        if (portText.lowered().find(SString::raw("usb")) >= 0) arguments_ += SString::raw(" -v");

        // avrdude opens the serial port itself: the board's port lets go of the device for the
        // run, whether it was named by a COM name or by its device path, and avrdude starts once
        // the device has settled.
        SComPort* port = data_->comPort;
        bool reopen = false;
        if (port != nullptr && port->isOpen() && isSerialPort(portName)) {
            const std::string device = port->getDevicePath();
            port->close();
            SComPort::awaitSettled(device);
            reopen = true;
        }
        globalDebug().print(SString::raw("SAvrProgDude::execute(..) ") + program_ + SString::raw(" ") +
                            arguments_);
        bool started = console->runAndWait(program_, arguments_, data_->avrdudeDirectory);
        exitCode_ = started ? console->getExitCode() : -1;
        if (!started) error_ += console->getErrorText() + SString::raw("\r\n");
        if (reopen) port->open();

        if (exitCode_ == 0) {
            for (int i = 0; ok && i < jobs.getSize(); ++i) {
                SMem* block = jobs.lookup(jobs.getKeyAt(i));
                if (!analyseJob(jobs.getKeyAt(i), *block, i)) {
                    globalDebug().print(error_);
                    ok = false;
                }
            }
        } else {
            error_ += MSG("errorExecComList", "Fehler: Abarbeitung der Befehlsliste fehlgeschlagen\r\n");
            if (own) {
                SString line;
                while (own->getLine(line)) globalDebug().print(line + SString::raw("\r\n"));
            }
            ok = false;
        }
    }
    own.reset();
    deinit();
    if (ok)
        notify(SString::raw("OK"), kindDone);
    else
        report(error_, kindFailed);
    return ok;
}
