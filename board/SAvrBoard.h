// The connection to the experiment board: finding it, the programmer and data connections on its
// one serial port, the Ravlink adapter's commands, and burning firmware through a back-end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/SAvrBoardData.h"
#include "board/SAvrProg.h"
#include "foundation/SLists.h"
#include "foundation/SMaps.h"
#include "stream/SComPortSplitter.h"

class Receiver;
class SEventManager;

// Connections are kept on a stack of entries, newest last: "prog,COM3,19200" (or "prog,unknown")
// for a programmer connection, "data,COM3,115200,N,8,1" for a data connection. Several entries
// may share the port; it always carries the settings of the newest entry for it.
//
// Operations report failure by false and leave German messages in getError(); findings that are
// no error (processor found, USB port chosen) go to getInfo(). Calls in a wrong state show a
// message box at once.
//
// While the adapter or the programmer talks, the splitter is suspended, so no frame byte is
// taken from their answers; after the firmware's "stop" the caller keeps it suspended until the
// port is closed (disconnectAll and the closing operations switch it on again).
class SAvrBoard : public SObject {
public:
    S_CLASSNAME(SAvrBoard)

    // Programmer kinds.
    enum ProgKind { progUnknown = 0, progDude = 1, progAvr910 = 2, progAvr911 = 3, progControl = 4 };
    // Adapters in front of the board.
    enum AdapterKind { adapterNone = 0, adapterRavlink = 1, adapterModule = 2 };

    SAvrBoard();
    ~SAvrBoard() override;
    SAvrBoard(const SAvrBoard&) = delete;
    SAvrBoard& operator=(const SAvrBoard&) = delete;

    // Connection set-up.
    // Stores the programmer settings: port ("com4" becomes "COM4,19200"), MCU, programmer type
    // (which sets the programmer kind) and avrdude directory (empty: where the resources have
    // avrdude). Refused while a programmer connection is open.
    bool initProg(const SString& port, const SString& mcu, const SString& programmerType,
                  const SString& avrdudeDirectory);
    // Opens the programmer connection the board data describes.
    bool connectProg();
    // Finds a programmer and opens its connection; onlyPort and onlyProgrammer narrow the search
    // ("ravlink": the USB adapter only; another name: avrdude, parallel and serial ports).
    bool searchAndConnect(const SString& onlyPort = SString(), const SString& onlyProgrammer = SString());
    // Opens the data connection on the board's port ("COM3,115200,N,8,1"); without skipCheck a
    // programmer connection must be open first.
    bool connectData(const SString& settings, bool skipCheck);
    // Clears the messages; true when any connection is open.
    bool isConnectedProg();
    // A data connection on top of another connection is the newest entry.
    bool isConnectedData() const;
    bool disconnectData();
    bool disconnectProg();
    // The general reset: closes the port and forgets the stack, programmer kind, adapter and
    // back-end.
    void disconnectAll();

    // Board and adapter.
    // How far the board (its CP210x bridge) has come on this machine.
    enum class BoardPresence {
        noDevice,             // no CP210x device is plugged in and no virtual board runs
        deviceWithoutDriver,  // a CP210x device is plugged in, but no driver has taken it
        ready,                // the driver has taken it (or a virtual board runs); the driver's
                              // version is then getCpDriverVersion()
    };
    // Looks at the USB devices of the machine and at the virtual boards of the COM port map.
    BoardPresence findBoardPresence();
    // What to tell the pupil for noDevice: plug the board in, check the cable (tag
    // "boardNotPlugged").
    static SString boardNotPluggedMessage();
    // What to tell for deviceWithoutDriver: the driver is missing, where to get it (tags
    // "driverMissing", "driverInstall", then driverAddress and a full stop).
    static SString driverMissingMessage();
    // Where the CP210x driver comes from: on Linux it is part of the kernel.
    static constexpr const char* driverAddress = "https://www.kernel.org";

    // The CP210x bridge's port name ("COM3"), empty when there is none or its driver is not
    // active. Of several, the first this user may open; when the user may open none, the
    // first, so that opening it says why.
    SString getUsbPort();
    bool isCpDriverInstalled();
    bool isCpDriverActive();
    // The version text of the installed CP210x driver; empty when it is not installed. On Linux
    // the driver is part of the kernel: the module's own version when it declares one, else the
    // kernel release's numbers ("6.1.0" for "6.1.0-18-amd64"). Compare with compareVersions().
    SString getCpDriverVersion();
    // The serial ports of the machine ("COM1", "COM3", ...); returns the count.
    int listSerialPorts(SStringList& ports);
    // Adapter commands; without a programmer connection they do nothing and give true, and only
    // the Ravlink adapter gets them.
    bool powerOnOff(bool on);
    bool modeRS232();
    bool modeProg();

    // Programming.
    // Reads the signature of the connected MCU and names it from the catalogue.
    bool getMcuName(SString& name);
    // Writes the file into the flash through the back-end (job "write-flash-file").
    bool burnHex(const SString& file);
    // Runs a job list through the back-end: programmer mode, supply on, execute. The back-end's
    // messages are added to the error text on failure.
    bool runJobs(SMapStringToMem& jobs);
    void setEventReceiver(SEventManager* receiver) { data_.eventReceiver = receiver; }
    // Connects a data channel to the port's splitter; always true.
    bool connectReceiver(Receiver* receiver, uint32_t userValue);

    const SString& getError() const { return error_; }
    const SString& getInfo() const { return info_; }
    void clearMessages() {
        error_.clear();
        info_.clear();
    }
    // The port's message when the last search or connection met a port the user may not open
    // (not in the group "dialout") and found no board; empty otherwise. The search goes on past
    // such a port, and a search that finds a board on a later port leaves this empty. A search
    // that finds nothing reports it in getError() too, since "no board" would send the user
    // looking for a cable.
    const SString& getPermissionError() const { return permissionError_; }
    SAvrBoardData& getBoardData() { return data_; }
    SComPortSplitter& getPort() { return port_; }
    SAvrProg* getProg() const { return prog_.get(); }
    int getProgKind() const { return progKind_; }
    int getAdapter() const { return adapter_; }
    const SStringList& getConnectStack() const { return connectStack_; }
    // The board's line hung up (it was unplugged) while a connection was open.
    bool isBoardGone() const { return port_.isOpen() && port_.isHungUp(); }

    // The programmer kind a programmer type names ("avr911" -> 3, anything unknown -> 1).
    static int kindForType(const SString& programmerType);

private:
    // A CP210x port of the COM port map: its name ("COM3") and device.
    struct CpPort {
        SString name;
        std::string device;
    };
    // The CP210x ports present now, in the order of their numbers (the order of the
    // "Silabser" values of the serial-port listing).
    static std::vector<CpPort> cpPorts();
    bool connectProgCom();
    bool connectProgLpt();
    bool connectProgUsb();
    // The back-end for a programmer kind; every choice of back-end is made here.
    std::unique_ptr<SAvrProg> createProg(int kind);
    // Sends an adapter command (prefix + command) and reads the answer line; with quietMs the
    // read ends early when bytes came and the line then stayed quiet (see SComPort::readUntil).
    bool adapterCommand(char command, const char* terminator, int timeoutMs, SString& answer,
                        int quietMs = 0);
    bool readSignature(SString& signature);
    bool signatureToName(const SString& signature, SString& name);
    // Looks for avrdude as the search does; the directory found (or the setting) goes to dir.
    bool findAvrdude(SString& dir);
    bool searchUsb(const SString& onlyPort, const SString& avrdudeDir);
    // The programmer behind the adapter (or a bare AVR911 programmer) on one CP210x port.
    bool connectUsbPort(const SString& port, const SString& avrdudeDir);
    bool searchLpt(const SString& onlyPort, const SString& avrdudeDir);
    bool searchCom(const SString& onlyPort, const SString& avrdudeDir);
    // Pops the newest entry and gives the port the settings of the newest remaining entry that
    // uses the same port; false (port closed) when there is none.
    bool restoreSettingsAfterPop(const SString& popped);
    void addPortError(const char* prefix);
    // Remembers the port's message when opening it failed for want of permission.
    void notePortOpenFailure();
    void closePort();

    SComPortSplitter port_;
    SString error_;
    SString info_;
    SString permissionError_;
    SAvrBoardData data_;
    std::unique_ptr<SAvrProg> prog_;
    int progKind_ = progUnknown;
    int adapter_ = adapterNone;
    SStringList connectStack_;
    bool driverStarted_ = false;
};
