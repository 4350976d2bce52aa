#include "board/SAvrBoard.h"

#include <cerrno>
#include <cstdlib>

#include "board/AvrMcuXml.h"
#include "board/SAvrProg911.h"
#include "board/SAvrProgControl.h"
#include "board/SAvrProgDude.h"
#include "board/SGiveio.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFileIni.h"
#include "foundation/SFileSystem.h"
#include "foundation/SResources.h"
#include "platform/ComPortMap.h"
#include "platform/DriverServices.h"
#include "platform/SerialDevice.h"
#include "platform/UsbSerialDriver.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

// The name of the avrdude program on this platform.
const char* const avrdudeProgram = "avrdude";

// A quiet line for this long after some answer bytes ends the look for the adapter: the adapter
// sends its line in one piece, 50 ms are about a hundred characters at 19200 baud.
constexpr int adapterQuietMs = 50;

// Keeps the splitter away from adapter and programmer answers while it lives: raw mode (so no
// frames are assembled) and suspended (so no answer byte becomes the id of a frame).
class QuietSplitter {
public:
    explicit QuietSplitter(SStreamSplitter& splitter)
        : splitter_(splitter), raw_(splitter.setRawMode(1)), suspended_(splitter.getSuspended()) {
        splitter_.setSuspended(1);
    }
    ~QuietSplitter() {
        splitter_.setSuspended(suspended_);
        splitter_.setRawMode(raw_);
    }
    QuietSplitter(const QuietSplitter&) = delete;
    QuietSplitter& operator=(const QuietSplitter&) = delete;

private:
    SStreamSplitter& splitter_;
    int32_t raw_;
    int32_t suspended_;
};

// Upper-cases a settings string; a device path keeps its letter case.
SString upperSettings(const SString& settings) {
    if (!SComPortSettings::isDevicePath(settings)) return settings.uppered();
    const int comma = settings.find(',');
    if (comma < 0) return settings;
    return settings.left(comma) + settings.mid(comma).uppered();
}

// The port name of a settings string: the text up to the first comma.
SString portOf(const SString& settings) {
    const int comma = settings.find(',');
    return comma < 0 ? settings : settings.left(comma);
}

// A connection-stack entry without its kind ("prog," or "data,").
SString settingsOf(const SString& entry) {
    const int comma = entry.find(',');
    return comma < 0 ? SString() : entry.mid(comma + 1);
}

// True when the settings use that port: the port name and then a comma or the end, so that
// COM1 is not taken for COM10.
bool usesPort(const SString& settings, const SString& port) {
    if (port.isEmpty() || !settings.startsWith(port)) return false;
    return settings.size() == port.size() || settings[port.getLength()] == ',';
}

bool startsWithNoCase(const SString& text, const char* prefix) {
    return text.left(static_cast<int>(std::string_view(prefix).size())).compareNoCase(SString::raw(prefix)) ==
           0;
}

// The directory of avrdude on PATH; empty when it is not there.
SString avrdudeOnPath() {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    for (const SString& d : SStringList::split(SString(std::string(path)), SString::raw(":")))
        if (!d.isEmpty() && SFileSystem::exists(SFileSystem::join(d, SString::raw(avrdudeProgram)))) return d;
    return {};
}

}  // namespace

std::vector<SAvrBoard::CpPort> SAvrBoard::cpPorts() {
    std::vector<CpPort> ports;
    for (const platform::ComPortEntry& e : platform::ComPortMap().list())
        if (e.present && e.cp210x) ports.push_back({SString(e.name).uppered(), e.device});
    return ports;
}

SAvrBoard::SAvrBoard() {
    data_.comPort = &port_;
}

SAvrBoard::~SAvrBoard() {
    // The parallel-port driver service is stopped here once this object started it.
    if (driverStarted_) SGiveio().stop();
    driverStarted_ = false;
    disconnectAll();
}

int SAvrBoard::kindForType(const SString& programmerType) {
    const SString t = programmerType.lowered();
    if (t.isEmpty() || t == SString::raw("unknown")) return progUnknown;
    if (t == SString::raw("avr910")) return progAvr910;
    if (t == SString::raw("avr911")) return progAvr911;
    if (t == SString::raw("duvaro")) return progControl;
    return progDude;
}

std::unique_ptr<SAvrProg> SAvrBoard::createProg(int kind) {
    switch (kind) {
        case progAvr910:
        case progAvr911:
            return std::make_unique<SAvrProg911>(&data_);
        case progControl:
            return std::make_unique<SAvrProgControl>(&data_);
        default:
            return std::make_unique<SAvrProgDude>(&data_);
    }
}

void SAvrBoard::closePort() {
    port_.close();
    // A closed port starts afresh: a splitter kept suspended after "stop" works again.
    port_.setSuspended(0);
}

void SAvrBoard::addPortError(const char* prefix) {
    notePortOpenFailure();
    error_ += SString(prefix) + port_.getError() + SString::raw("\r\n");
}

void SAvrBoard::notePortOpenFailure() {
    const int code = port_.getErrorCode();
    if ((code == EACCES || code == EPERM) && permissionError_.isEmpty()) permissionError_ = port_.getError();
}

bool SAvrBoard::initProg(const SString& port, const SString& mcu, const SString& programmerType,
                         const SString& avrdudeDirectory) {
    data_.comPort = &port_;
    data_.mcuXml = &globalAvrMcuXml();
    clearMessages();
    if (isConnectedProg()) {
        globalError().showMessage(
            MSG("errorProgrammerSettings",
                "Fehler: \xC4nderungen an den Programmer-Einstellungen sind nicht m\xF6glich "
                "solange der Programmer verbunden ist.\r\n"),
            0, MSG("errorTitle", "Fehler !"), SError::iconError);
        return false;
    }
    bool ok = true;
    if (!port.isEmpty()) {
        SString p = port;
        if ((p.find(SString::raw("com"), 0, true) >= 0 || SComPortSettings::isDevicePath(p)) &&
            p.find(',') < 0)
            p += SString::raw(",19200");
        data_.port = upperSettings(p);
    } else {
        error_ += MSG("errorPassPort",
                      "Fehler: Sie m\xFCssen einen Port \xFC"
                      "bergeben.\r\n");
    }
    if (!mcu.isEmpty()) {
        data_.mcu = mcu;
        ok = data_.mcuXml->select(mcu);
    } else {
        error_ += MSG("errorPassMcu",
                      "Fehler: Sie m\xFCssen einen Prozessor \xFC"
                      "bergeben.\r\n");
    }
    if (!programmerType.isEmpty()) {
        data_.programmerType = programmerType.lowered();
        progKind_ = kindForType(data_.programmerType);
    } else {
        progKind_ = progUnknown;
        error_ += MSG("errorPassProgrammer",
                      "Fehler: Sie m\xFCssen einen Programmer \xFC"
                      "bergeben.\r\n");
    }
    if (!avrdudeDirectory.isEmpty()) {
        data_.avrdudeDirectory = avrdudeDirectory;
    } else {
        // Where the resources have avrdude; without resources (tools) where PATH has it.
        SString dir;
        if (globalResources().isInitialised())
            SFileSystem::splitPath(globalResources().getFile(SString::raw(avrdudeProgram)), nullptr, &dir,
                                   nullptr, nullptr);
        if (dir.isEmpty()) dir = avrdudeOnPath();
        data_.avrdudeDirectory = dir;
    }
    if (!ok) globalDebug().print(SString::raw("######## FEHLER SAvrBoard::initProg(..) ") + error_);
    return ok;
}

bool SAvrBoard::connectProg() {
    clearMessages();
    bool ok;
    if (progKind_ == progUnknown) {
        prog_ = std::make_unique<SAvrProg>(&data_);
        ok = true;
    } else if (startsWithNoCase(data_.port, "COM") || SComPortSettings::isDevicePath(data_.port)) {
        ok = connectProgCom();
    } else if (startsWithNoCase(data_.port, "LPT")) {
        ok = connectProgLpt();
    } else if (startsWithNoCase(data_.port, "usb")) {
        ok = connectProgUsb();
    } else {
        error_ += SString(MSG("errorUnknownProgPort", "Fehler: Unbekannter Programmer-Port: ")) + data_.port +
                  SString::raw("\r\n");
        ok = false;
    }
    if (ok) {
        connectStack_.add(progKind_ == progUnknown ? SString::raw("prog,unknown")
                                                   : SString::raw("prog,") + data_.port);
    } else {
        error_ +=
            MSG("errorNoConnec",
                "Fehler: Es konnte keine Verbindung mit den aktuellen Einstellungen hergestellt werden.\r\n");
        error_ += SString::raw("\tProcessor: ") + data_.mcu + SString::raw("; Port: ") + data_.port +
                  SString::raw("; Programmer: ") + data_.programmerType + SString::raw("\r\n");
        globalDebug().print(error_);
    }
    return ok;
}

bool SAvrBoard::connectProgCom() {
    if (!connectStack_.isEmpty()) {
        globalDebug().print(SString::raw("SAvrBoard::connectProgCom(..) Verbindung \xE4ndern"));
        port_.purge();
        return port_.setSettings(data_.port);
    }
    globalDebug().print("SAvrBoard::connectProgCom(..) neu Verbinden");
    progKind_ = progUnknown;
    adapter_ = adapterNone;
    port_.getSettings().fromString(data_.port);
    bool ok = port_.open();
    if (!ok) {
        addPortError(MSG("error", "Fehler: "));
        port_.close();
    }
    if (ok) {
        QuietSplitter quiet(port_);
        const SString& type = data_.programmerType;
        if (type == SString::raw("avr910") || type == SString::raw("avr911")) {
            port_.purge();
            SString answer;
            // The adapter answers with a line at once. A programmer without adapter answers the
            // prefix bytes and the 'v' with a few bytes and no line end: once those are in and
            // the line has gone quiet, no adapter is there to wait for.
            if (adapterCommand('v', "\r\n", 500, answer, adapterQuietMs) &&
                answer.find(SString::raw("Ravlink")) >= 0) {
                adapter_ = adapterRavlink;
                progKind_ = progAvr911;
                globalDebug().print("Ravlink gefunden");
            } else {
                error_.clear();
                port_.purge();
                if (!port_.writeByte('S')) {
                    addPortError(MSG("error", "Fehler: "));
                    closePort();
                    ok = false;
                } else {
                    SMem id;
                    if (port_.readBytes(id, 500, 7) && SAvrProg911::isProgrammerId(id.toString())) {
                        progKind_ = progAvr910;
                        port_.purge();
                        SMem block;
                        if (port_.writeByte('b') && port_.readBytes(block, 500, 1) &&
                            block.getByte(0) == 'Y') {
                            port_.readBytes(block, 200, 2);
                            progKind_ = progAvr911;
                        }
                    }
                }
            }
        } else if (type == SString::raw("duvaro")) {
            progKind_ = progControl;
            adapter_ = adapterModule;
        }
    }
    prog_.reset();
    if (!ok) {
        closePort();
        return false;
    }
    prog_ = createProg(progKind_);
    return true;
}

bool SAvrBoard::connectProgLpt() {
    adapter_ = adapterNone;
    if (!connectStack_.isEmpty()) return false;
    if (!prog_) prog_ = createProg(progDude);

    // The parallel-port driver: installed and started when needed.
    globalDebug().printf(
        "pr\xFC"
        "fe giveio");
    SGiveio giveio;
    int code = 0;
    // Tools run without resources: there is no driver file to install then.
    const SString driverFile =
        globalResources().isInitialised() ? globalResources().getFile(SString::raw("giveio.sys")) : SString();
    if (!giveio.isInstalled() && !giveio.install(driverFile)) {
        platform::driverServices().isInstalled(SGiveio::serviceName, &code);
        error_ += MSG("errorGiveIoNotInstalled",
                      "FEHLER: Der ben\xF6tigte Treiber giveio.sys konnte nicht installiert werden.\r\n");
        error_ += SString::raw("\t") + SError::systemErrorText(code) + SString::raw("\r\n");
        error_ += MSG("giveIoAdmin",
                      "\tStellen Sie sicher, dass Sie Administratorrechte besitzen, um den  Treiber "
                      "einmal zu installieren.\r\n");
        return false;
    }
    if (!giveio.isRunning()) {
        driverStarted_ = true;
        if (!giveio.start()) {
            platform::driverServices().isRunning(SGiveio::serviceName, &code);
            error_ += MSG("errorGiveIoNotStarted",
                          "FEHLER: Der ben\xF6tigte Treiber giveio.sys konnte nicht gestartet werden.\r\n");
            error_ += SString::raw("\t") + SError::systemErrorText(code) + SString::raw("\r\n");
            return false;
        }
    } else {
        globalDebug().print(SString::raw("giveio ok"));
    }

    SString signature, name;
    if (readSignature(signature)) {
        globalDebug().print(SString::raw("Signatur: ") + signature + SString::raw("'"));
        signatureToName(signature, name);
        globalDebug().print(SString::raw("MCU: '") + name + SString::raw("'"));
    }
    info_ += SString(MSG("foundProcessor", "Es wurde ein angeschlossener Prozessor mit der Signatur 0x")) +
             signature + SString(MSG("foundProcessorEnd", "gefunden.\r\n"));
    if (!name.isEmpty() && name != data_.mcu)
        info_ += SString(MSG("setProcessor", "Der angegebene Prozessor ")) + SString::raw("'") + data_.mcu +
                 SString::raw("'") + SString(MSG("doesNotMatch", "stimmt nicht mit dem gefundenen ")) + name +
                 SString(MSG("doesNotMatchEnd",
                             "\xFC"
                             "berein.\r\n"));
    globalDebug().print(info_);
    return true;
}

bool SAvrBoard::connectProgUsb() {
    adapter_ = adapterNone;
    if (!connectStack_.isEmpty()) return false;
    if (!prog_) prog_ = createProg(progDude);
    info_ += MSG("usbPortChosen", "USB-Port wurde ausgew\xE4hlt.\r\n");
    return true;
}

bool SAvrBoard::findAvrdude(SString& dir) {
    SString setting;
    if (SFileIni* ini = globalApplicationBasic().getUserConfigFile())
        setting = ini->getValue(SString::raw("setup"), SString::raw("winavrPath"));
    const SString third = avrdudeOnPath();
    const SString appDir = globalApplicationBasic().getProgramDirectory();
    const SString dirs[] = {
        setting.isEmpty() ? SString() : SFileSystem::join(setting, SString::raw("bin")),
        SFileSystem::join(SFileSystem::join(appDir, SString::raw("winavr")), SString::raw("bin")),
        third,
    };
    for (int i = 0; i < 3; ++i) {
        const SString file =
            dirs[i].isEmpty() ? SString() : SFileSystem::join(dirs[i], SString::raw(avrdudeProgram));
        globalDebug().print(SString::printf("dude search %d: ", i + 1) + file);
        if (!file.isEmpty() && SFileSystem::exists(file)) {
            dir = dirs[i];
            globalDebug().print(SString::raw("dudePath=") + dir);
            return true;
        }
    }
    error_ += MSG("errorAvrDudeNotFound", "Fehler: avrdude nicht gefunden.\r\n");
    dir = setting;
    globalDebug().print(SString::raw("dudePath=") + dir);
    return false;
}

bool SAvrBoard::searchAndConnect(const SString& onlyPort, const SString& onlyProgrammer) {
    clearMessages();
    const SString mode = onlyProgrammer.isEmpty() ? SString::raw("auto")
                         : onlyProgrammer.compareNoCase(SString::raw("ravlink")) == 0
                             ? SString::raw("ravlink")
                             : SString::raw("dude");
    globalDebug().print(
        SString::raw("###################################### SAvrBoard::searchAndConnect(..) onlyPort=") +
        onlyPort + SString::raw(" onlyProgrammer=") + onlyProgrammer + SString::raw(" progTyp=") + mode);
    if (isConnectedProg()) return true;
    QuietSplitter quiet(port_);
    bool found = false;
    permissionError_.clear();
    SString dudeDir;
    if (mode != SString::raw("ravlink")) findAvrdude(dudeDir);
    if (mode != SString::raw("dude")) found = searchUsb(onlyPort, dudeDir);
    if (!found && mode != SString::raw("ravlink") && !dudeDir.isEmpty()) found = searchLpt(onlyPort, dudeDir);
    if (!found && mode != SString::raw("ravlink")) found = searchCom(onlyPort, dudeDir);
    // A port met before the board's that the user may not open is no news once the board is found.
    if (found) permissionError_.clear();
    if (!found) {
        globalDebug().print("SAvrBoard::searchAndConnect(..) nichts gefunden");
        if (!permissionError_.isEmpty()) error_ = permissionError_ + SString::raw("\r\n") + error_;
        progKind_ = progUnknown;
        adapter_ = adapterNone;
        closePort();
    }
    return found;
}

bool SAvrBoard::searchUsb(const SString& onlyPort, const SString& avrdudeDir) {
    if (!isCpDriverActive()) return false;
    globalDebug().print("SAvrBoard::searchAndConnect(..) USB");
    // Every CP210x port in turn: one the user may not open (or another device's bridge) does
    // not hide the board on the next.
    std::vector<SString> ports;
    if (!onlyPort.isEmpty())
        ports.push_back(onlyPort);
    else
        for (const CpPort& p : cpPorts()) ports.push_back(p.name);
    for (const SString& port : ports)
        if (connectUsbPort(port, avrdudeDir)) return true;
    return false;
}

bool SAvrBoard::connectUsbPort(const SString& port, const SString& avrdudeDir) {
    globalDebug().print(SString::raw("SAvrBoard::searchAndConnect(..) Port: ") + port);
    bool ok = initProg(port + SString::raw(",19200"), SString::raw("ATmega8"), SString::raw("avr911"),
                       avrdudeDir) &&
              connectProg();
    if (ok) {
        SString name;
        ok = getMcuName(name);
        globalDebug().print(SString::printf("SAvrBoard::searchAndConnect(..) ok=%d, MCU-Name=", ok ? 1 : 0) +
                            name);
        if (ok && name.compareNoCase(SString::raw("ATmega8")) != 0) {
            disconnectAll();
            ok = initProg(port + SString::raw(",19200"), name, SString::raw("avr911"), avrdudeDir) &&
                 connectProg();
        }
    }
    if (!ok) {
        // What went wrong stays readable after the reset.
        const SString error = error_;
        disconnectAll();
        error_ = error;
    }
    globalDebug().print(SString::printf("USB fertig %d ", ok ? 1 : 0) + port + SString::raw(" ") + data_.mcu +
                        SString::raw(" ") + data_.programmerType + SString::printf(" hw=%d", adapter_));
    return ok;
}

bool SAvrBoard::searchLpt(const SString& onlyPort, const SString& avrdudeDir) {
    SStringList ports;
    if (!onlyPort.isEmpty())
        ports.add(onlyPort.lowered());
    else
        for (const char* p : {"lpt1", "lpt2", "lpt3"}) ports.add(SString::raw(p));
    bool ok = false;
    for (const SString& port : ports) {
        ok = initProg(port, SString::raw("ATmega8"), SString::raw("sp12"), avrdudeDir) && connectProg();
        globalDebug().print(SString::printf("LPT fertig %d ", ok ? 1 : 0) + port +
                            SString::raw(" ATmega8 sp12"));
        if (ok) break;
    }
    return ok;
}

bool SAvrBoard::searchCom(const SString& onlyPort, const SString& avrdudeDir) {
    SStringList ports;
    if (!onlyPort.isEmpty())
        ports.add(onlyPort);
    else
        listSerialPorts(ports);
    const SString mcu = SString::raw("ATmega8");
    for (const SString& port : ports) {
        const SString settings = port + SString::raw(",19200");
        port_.close();
        port_.getSettings().fromString(settings);
        bool ok = false;
        if (!port_.open()) notePortOpenFailure();
        if (port_.isOpen()) {
            port_.purge();
            SMem id;
            ok = port_.writeByte('S') && port_.readBytes(id, 500, 7) &&
                 SAvrProg911::isProgrammerId(id.toString());
        }
        port_.close();
        if (ok) ok = initProg(settings, mcu, SString::raw("avr910"), avrdudeDir) && connectProg();
        if (ok) {
            SString name;
            ok = getMcuName(name);
            if (ok && name.compareNoCase(mcu) != 0) {
                disconnectAll();
                ok = initProg(settings, name, SString::raw("avr910"), avrdudeDir) && connectProg();
            }
        }
        if (!ok) {
            const SString error = error_;
            disconnectAll();
            error_ = error;
        }
        globalDebug().print(SString::printf("COM fertig %d ", ok ? 1 : 0) + port + SString::raw(" ") + mcu +
                            SString::raw(" avr910"));
        if (ok) return true;
    }
    return false;
}

SString SAvrBoard::getUsbPort() {
    if (!isCpDriverActive()) return {};
    const std::vector<CpPort> ports = cpPorts();
    for (const CpPort& p : ports)
        if (platform::SerialDevice::mayOpen(p.device)) return p.name;
    return ports.empty() ? SString() : ports.front().name;
}

SAvrBoard::BoardPresence SAvrBoard::findBoardPresence() {
    const platform::UsbBridgePresence presence = platform::usbSerialBridgePresence(
        platform::ComPortMap::cp210xVendor, platform::ComPortMap::cp210xProduct, "cp210x");
    globalDebug().print(SString::printf("SAvrBoard::findBoardPresence(..) = %d", static_cast<int>(presence)));
    switch (presence) {
        case platform::UsbBridgePresence::ready:
            return BoardPresence::ready;
        case platform::UsbBridgePresence::deviceWithoutDriver:
            return BoardPresence::deviceWithoutDriver;
        case platform::UsbBridgePresence::noDevice:
            break;
    }
    return BoardPresence::noDevice;
}

SString SAvrBoard::boardNotPluggedMessage() {
    return SString(MSG("boardNotPlugged",
                       "Es wurde kein Board gefunden. Bitte schlie\xDF"
                       "en Sie das Board an den USB-Anschluss an und pr\xFC"
                       "fen Sie das USB-Kabel."));
}

SString SAvrBoard::driverMissingMessage() {
    return SString(MSG("driverMissing",
                       "Der Treiber des USB-Boards ist nicht oder nicht richtig installiert.\r\n")) +
           SString(MSG("driverInstall",
                       "Bitte f\xFChren Sie eine Treiber-Installation oder ein Treiber-Update "
                       "durch, diese bekommen Sie unter ")) +
           SString::raw(driverAddress) + SString::raw(".");
}

int SAvrBoard::listSerialPorts(SStringList& ports) {
    ports.removeAll();
    for (const auto& [value, name] : platform::ComPortMap().serialCommListing()) ports.add(SString(name));
    return ports.getSize();
}

bool SAvrBoard::isCpDriverInstalled() {
    const platform::UsbSerialDriverState state = platform::usbSerialDriver("cp210x");
    if (state.installed) return true;
    globalDebug().print(SString(MSG("CpNotInstalled", "CP210x-Treiber ist nicht Installiert. ")) +
                        SString(state.error));
    return false;
}

bool SAvrBoard::isCpDriverActive() {
    if (!isCpDriverInstalled()) return false;
    const platform::UsbSerialDriverState state = platform::usbSerialDriver("cp210x");
    if (state.active) return true;
    globalDebug().print(SString(MSG("CpNotActive", "CP210x-Treiber ist nicht aktiv. ")) +
                        SString(state.error));
    return false;
}

SString SAvrBoard::getCpDriverVersion() {
    const platform::UsbSerialDriverState state = platform::usbSerialDriver("cp210x");
    return state.installed ? SString(state.version) : SString();
}

bool SAvrBoard::connectData(const SString& settings, bool skipCheck) {
    const SString s = upperSettings(settings);
    globalDebug().print(SString::raw("SAvrBoard::connectData(..)  ") + s + SString::raw("\r\n Zu: ") +
                        connectStack_.join(SString::raw("\r\n")));
    clearMessages();
    permissionError_.clear();
    if (!skipCheck && !isConnectedProg()) {
        error_ = SString(MSG("errorDataConnection",
                             "Fehler: Vor dem Herstellen einer Datenverbindung muss die "
                             "Verbindung zum Programmer aufgebaut werden.\r\n")) +
                 SString(MSG("useBefore1stCall",
                             "\tVerwenden Sie SAvrBoard::connectProg(..) vor dem ersten Aufruf "
                             "von SAvrBoard::connectData(..).\r\n"));
        globalError().showMessage(error_, 0, MSG("errorTitle", "Fehler !"), SError::iconError);
        return false;
    }
    const SString portName = portOf(s);
    bool inUse = false;
    for (int i = connectStack_.getSize() - 1; i >= 0 && !inUse; --i) {
        const SString rest = settingsOf(connectStack_.getAt(i));
        globalDebug().print(SString::raw("suche ") + portName + SString::raw(" in ") + rest);
        inUse = usesPort(rest, portName);
    }
    bool ok;
    if (inUse && port_.isOpen()) {
        port_.purge();
        ok = port_.setSettings(s);
    } else {
        port_.getSettings().fromString(s);
        ok = port_.open();
    }
    if (ok)
        connectStack_.add(SString::raw("data,") + s);
    else
        addPortError(MSG("error", "Fehler: "));
    return ok;
}

bool SAvrBoard::isConnectedProg() {
    clearMessages();
    const bool connected = !connectStack_.isEmpty();
    globalDebug().print(SString::printf("SAvrBoard::isConnectedProg(..) = %d", connected ? 1 : 0));
    return connected;
}

bool SAvrBoard::isConnectedData() const {
    return connectStack_.getSize() > 1 &&
           connectStack_.getAt(connectStack_.getSize() - 1).startsWith(SString::raw("data,"));
}

bool SAvrBoard::restoreSettingsAfterPop(const SString& popped) {
    const SString portName = portOf(settingsOf(popped));
    for (int i = connectStack_.getSize() - 1; i >= 0; --i) {
        const SString rest = settingsOf(connectStack_.getAt(i));
        if (!usesPort(rest, portName)) continue;
        if (!port_.isOpen()) return false;
        port_.purge();
        if (port_.setSettings(rest)) return true;
        error_ += SString(MSG("errorSetComState", "Fehler: beim Setzen des COM-States ")) + rest +
                  SString::raw("\r\n") + port_.getError() + SString::raw("\r\n");
        return false;
    }
    closePort();
    return false;
}

bool SAvrBoard::disconnectData() {
    clearMessages();
    if (connectStack_.isEmpty()) return false;
    const SString newest = connectStack_.getAt(connectStack_.getSize() - 1);
    if (!newest.startsWith(SString::raw("data"))) {
        globalError().showMessage(
            SString(MSG("errorDisconnectData",
                        "Fehler: SAvrBoard::disconnectData(..) disconnectData(..) aufgerufen "
                        "ohne zugeh\xF6riges connectData(..).\r\nconnectStack:\r\n")) +
                connectStack_.join(SString::raw("\r\n    ")),
            0, MSG("errorTitle", "Fehler !"), SError::iconError);
        return false;
    }
    connectStack_.removeAt(connectStack_.getSize() - 1);
    return restoreSettingsAfterPop(newest);
}

bool SAvrBoard::disconnectProg() {
    clearMessages();
    if (connectStack_.isEmpty()) {
        error_ += MSG("errorDisconnectBoard",
                      "Fehler: Verbindung zum Board konnte nicht getrennt werden, da sie nicht besteht.\r\n");
        return false;
    }
    const SString newest = connectStack_.getAt(connectStack_.getSize() - 1);
    if (!newest.startsWith(SString::raw("prog"))) {
        error_ += SString(MSG("errorDisconnectProg",
                              "Fehler: SAvrBoard::disconnectProg(..) disconnectProg(..) "
                              "aufgerufen ohne zugeh\xF6riges connectProg(..).\r\nconnectStack:\r\n")) +
                  connectStack_.join(SString::raw("\r\n    "));
        return false;
    }
    connectStack_.removeAt(connectStack_.getSize() - 1);
    if (connectStack_.isEmpty()) {
        closePort();
        prog_.reset();
        return true;
    }
    if (progKind_ != progUnknown && newest.find(SString::raw("COM"), 0, true) >= 0) {
        const bool ok = restoreSettingsAfterPop(newest);
        if (!port_.isOpen()) prog_.reset();
        return ok;
    }
    return true;
}

void SAvrBoard::disconnectAll() {
    clearMessages();
    closePort();
    port_.purge();
    connectStack_.removeAll();
    progKind_ = progUnknown;
    adapter_ = adapterNone;
    prog_.reset();
}

bool SAvrBoard::adapterCommand(char command, const char* terminator, int timeoutMs, SString& answer,
                               int quietMs) {
    SMem message;
    message.append(SComPort::smartCmdPrefix, sizeof SComPort::smartCmdPrefix);
    message.appendByte(static_cast<uint8_t>(command));
    answer.clear();
    bool ok =
        port_.writeBlock(message) && port_.readUntil(answer, timeoutMs, SString::raw(terminator), quietMs);
    if (!ok && port_.isHungUp()) addPortError(MSG("error", "Fehler: "));
    return ok;
}

bool SAvrBoard::powerOnOff(bool on) {
    if (!isConnectedProg()) return true;
    QuietSplitter quiet(port_);
    if (adapter_ == adapterRavlink) {
        port_.purge();
        SString answer;
        const bool ok = adapterCommand(on ? '+' : '-', "\n", 1000, answer);
        globalDebug().print(SString::raw("SAvrBoard::powerOnOff(..) out:") + answer);
        return ok;
    }
    if (startsWithNoCase(data_.port, "LPT") && data_.programmerType == SString::raw("sp12")) {
        // The board's supply hangs on the data lines of the parallel port.
        SGiveio giveio;
        if (giveio.writePort(data_.port, on ? 0x7F : 0x00)) return true;
        error_ += SString(MSG("errorSupplyParallelPort",
                              "Fehler: Die Versorgung \xFC"
                              "ber den Parallelport ")) +
                  data_.port + SString(MSG("errorSupplyNotSwitched", " konnte nicht geschaltet werden.\r\n"));
        return false;
    }
    return true;
}

bool SAvrBoard::modeRS232() {
    if (!isConnectedProg()) return true;
    QuietSplitter quiet(port_);
    if (adapter_ != adapterRavlink) return true;
    SString answer;
    const bool ok = adapterCommand('d', "\n", 200, answer);
    globalDebug().print(SString::raw("SAvrBoard::modeRS232(..) out:") + answer);
    return ok;
}

bool SAvrBoard::modeProg() {
    if (!isConnectedProg()) return true;
    QuietSplitter quiet(port_);
    if (adapter_ != adapterRavlink) return true;
    SString answer;
    return adapterCommand('p', "\n", 200, answer);
}

bool SAvrBoard::runJobs(SMapStringToMem& jobs) {
    QuietSplitter quiet(port_);
    bool ok = modeProg();
    ok = powerOnOff(true) && ok;
    if (!prog_) {
        error_ +=
            MSG("errorNoBackend", "Fehler: F\xFCr diesen Programmer gibt es kein Programmiermodul.\r\n");
        return false;
    }
    if (!ok && isBoardGone()) return false;
    if (prog_->execute(jobs)) return true;
    error_ += prog_->getError();
    return false;
}

bool SAvrBoard::readSignature(SString& signature) {
    QuietSplitter quiet(port_);
    signature.clear();
    SMapStringToMem jobs;
    jobs.set(SString::raw("read-signature"), SMem());
    if (!runJobs(jobs)) return false;
    const SMem& block = jobs.get(SString::raw("read-signature"));
    signature = SString::printf("%02X%02X%02X", block.getByte(0), block.getByte(1), block.getByte(2));
    if (signature == SString::raw("000000") || signature == SString::raw("FFFFFF")) signature.clear();
    return true;
}

bool SAvrBoard::signatureToName(const SString& signature, SString& name) {
    AvrMcuXml& catalogue = data_.mcuXml != nullptr ? *data_.mcuXml : globalAvrMcuXml();
    name = signature.isEmpty() ? SString() : catalogue.getPartName(signature);
    name.trim();
    if (!name.isEmpty()) return true;
    error_ += SString(MSG("errorSignatureUnknown", "Der Signatur '0x")) + signature +
              SString(MSG("errorSignatureNoMcu", "' konnte kein Prozessor zugeordnet werden.\r\n"));
    globalDebug().print(error_);
    return false;
}

bool SAvrBoard::getMcuName(SString& name) {
    clearMessages();
    name.clear();
    if (!isConnectedProg()) {
        globalError().showMessage(
            MSG("errorProgrammerNotConnect",
                "Fehler: SAvrBoard::getMcuName(..) Programmer ist nicht verbunden, verwenden "
                "Sie SAvrBoard::connectProg().\r\n"),
            0, MSG("errorTitle", "Fehler !"), SError::iconError);
        return false;
    }
    SString signature;
    if (!readSignature(signature)) return false;
    globalDebug().print(SString::raw("Signatur: ") + signature);
    return signatureToName(signature, name);
}

bool SAvrBoard::burnHex(const SString& file) {
    clearMessages();
    if (!isConnectedProg()) {
        globalError().showMessage(
            MSG("errorProgrammerNotConnectBurn",
                "Fehler: SAvrBoard::burnHex(..) Programmer ist nicht verbunden, verwenden Sie "
                "SAvrBoard::connectProg().\r\n"),
            0, MSG("errorTitle", "Fehler !"), SError::iconError);
        return false;
    }
    QuietSplitter quiet(port_);
    SMapStringToMem jobs;
    SMem block;
    block.fromString(file);
    jobs.set(SString::raw("write-flash-file"), block);
    return runJobs(jobs);
}

bool SAvrBoard::connectReceiver(Receiver* receiver, uint32_t userValue) {
    port_.connect(receiver, userValue);
    return true;
}
