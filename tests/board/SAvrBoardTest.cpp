// The board connection against the virtual board over real pseudo-terminals: searches, the
// connection stack, the adapter, burning, and a board that is unplugged.
#include "board/SAvrBoard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <thread>

#include "board/AvrMcuXml.h"
#include "board/DriverVersion.h"
#include "board/SHexFile.h"
#include "platform/ComPortMap.h"
#include "platform/SerialDevice.h"
#include "platform/UsbSerialDriver.h"
#include "sim/VirtualBoard.h"
#include "stream/Receiver.h"
#include "support/FakeSysfs.h"
#include "support/PseudoTerminal.h"
#include "support/TestSupport.h"

namespace {

SString raw(const char* t) {
    return SString(std::string(t));
}

TEST(DriverVersionTest, ComparesNumbersPartByPart) {
    struct Case {
        const char* a;
        const char* b;
        int result;
    } cases[] = {
        {"10.1", "4.38", 1},   {"4.38", "4.38", 0},           {"4.40", "4.38", 1}, {"4.4", "4.38", -1},
        {"4.38.0", "4.38", 0}, {"6.1.0-18-amd64", "4.38", 1}, {"", "4.38", -1},    {"4", "4.0.1", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compareVersions(raw(c.a), raw(c.b)), c.result) << c.a << " vs " << c.b;
        EXPECT_EQ(compareVersions(raw(c.b), raw(c.a)), -c.result) << c.b << " vs " << c.a;
    }
}

class AvrBoardTest : public ::testing::Test {
protected:
    AvrBoardTest() : env_("NUK_COMPORTS", dir_.file("comports.ini").c_str()) {}
    void SetUp() override {
        globalAvrMcuXml().setCatalogueFile(SString(testsupport::binaryDir() + "/resources/avr.cxf"));
        options.registerPort = true;
        options.comPortsFile = SString(dir_.file("comports.ini"));
        options.comName = raw("com2");
    }
    void TearDown() override {
        avr.disconnectAll();
        board.stop();
        platform::setUsbSerialDriverProbe({});
    }
    void start() { ASSERT_TRUE(board.start(options)) << board.getError().str(); }
    SString port() const { return board.getComName().uppered(); }
    // A firmware command on the data connection, the splitter suspended as the program does.
    SString ask(const char* command) {
        SComPortSplitter& p = avr.getPort();
        p.setSuspended(1);
        SString answer;
        p.writeText(raw(command) + raw("\n"));
        p.readUntil(answer, 300, raw("\n"));
        p.setSuspended(0);
        return answer;
    }

    testsupport::TempDir dir_;
    testsupport::ScopedEnv env_;
    testsupport::MessageCapture boxes;
    VirtualBoard::Options options;
    VirtualBoard board;
    SAvrBoard avr;
};

TEST_F(AvrBoardTest, InitProgStoresTheSettings) {
    struct Case {
        const char* port;
        const char* type;
        const char* storedPort;
        const char* storedType;
        int kind;
    } cases[] = {
        {"com4", "AVR911", "COM4,19200", "avr911", SAvrBoard::progAvr911},
        {"com4,38400", "avr910", "COM4,38400", "avr910", SAvrBoard::progAvr910},
        {"lpt1", "sp12", "LPT1", "sp12", SAvrBoard::progDude},
        {"usb", "stk500", "USB", "stk500", SAvrBoard::progDude},
        {"com3", "Duvaro", "COM3,19200", "duvaro", SAvrBoard::progControl},
        {"com3", "unknown", "COM3,19200", "unknown", SAvrBoard::progUnknown},
        // A device path keeps its letter case.
        {"/dev/pts/Ab", "avr911", "/dev/pts/Ab,19200", "avr911", SAvrBoard::progAvr911},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(avr.initProg(raw(c.port), raw("ATmega8"), raw(c.type), raw("/opt/avr")));
        EXPECT_EQ(avr.getBoardData().port, raw(c.storedPort));
        EXPECT_EQ(avr.getBoardData().programmerType, raw(c.storedType));
        EXPECT_EQ(avr.getProgKind(), c.kind) << c.port << " " << c.type;
    }
    // Missing values are reported; only an unknown MCU fails.
    EXPECT_TRUE(avr.initProg(SString(), SString(), SString(), raw("/opt/avr")));
    EXPECT_NE(avr.getError().str().find("Port \xFC"
                                        "bergeben"),
              std::string::npos);
    EXPECT_NE(avr.getError().str().find("Prozessor \xFC"
                                        "bergeben"),
              std::string::npos);
    EXPECT_NE(avr.getError().str().find("Programmer \xFC"
                                        "bergeben"),
              std::string::npos);
    EXPECT_FALSE(avr.initProg(raw("com4"), raw("ATnothing"), raw("avr911"), raw("/opt/avr")));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(AvrBoardTest, SearchBehindTheAdapterBurnsAndPassesThrough) {
    options.adapter = true;
    start();
    ASSERT_TRUE(avr.searchAndConnect()) << avr.getError().str();
    EXPECT_EQ(avr.getAdapter(), SAvrBoard::adapterRavlink);
    EXPECT_EQ(avr.getProgKind(), SAvrBoard::progAvr911);
    EXPECT_EQ(avr.getBoardData().mcu, raw("ATmega8"));
    EXPECT_EQ(avr.getConnectStack().items(), std::vector<SString>{raw("prog,") + port() + raw(",19200")});
    SString name;
    ASSERT_TRUE(avr.getMcuName(name)) << avr.getError().str();
    EXPECT_EQ(name, raw("ATmega8"));
    // Changing the settings while connected is refused with a message box.
    EXPECT_FALSE(avr.initProg(raw("com7"), raw("ATmega8"), raw("avr911"), SString()));
    EXPECT_EQ(boxes.boxes().size(), 1u);

    SMem image(3000);
    for (std::size_t i = 0; i < image.getSize(); ++i) image.setByte(i, static_cast<uint8_t>(i ^ (i >> 8)));
    SHexFile hex;
    ASSERT_TRUE(hex.saveFile(SString(dir_.file("fw.hex")), image));
    ASSERT_TRUE(avr.burnHex(SString(dir_.file("fw.hex")))) << avr.getError().str();
    std::vector<uint8_t> flash = board.getMemory().getFlash();
    EXPECT_TRUE(std::equal(image.getData(), image.getData() + image.getSize(), flash.begin()));
    EXPECT_TRUE(board.isSupplyOn()) << "the job run powers the board";

    // Pass-through: the firmware answers on the data connection at its own rate, and the
    // programmer's settings come back when the data connection ends.
    ASSERT_TRUE(avr.modeRS232());
    EXPECT_TRUE(board.isPassThrough());
    ASSERT_TRUE(avr.connectData(port() + raw(",115200,N,8,1"), false)) << avr.getError().str();
    EXPECT_TRUE(avr.isConnectedData());
    EXPECT_EQ(ask("ver"), raw(BoardFirmware::versionAnswer));
    EXPECT_TRUE(avr.disconnectData());
    EXPECT_EQ(avr.getPort().getSettings().baud, 19200);
    EXPECT_TRUE(avr.modeProg());
    EXPECT_TRUE(avr.powerOnOff(false));
    EXPECT_FALSE(board.isPassThrough());
    EXPECT_FALSE(board.isSupplyOn());
    EXPECT_TRUE(avr.disconnectProg());
    EXPECT_FALSE(avr.getPort().isOpen());
    EXPECT_EQ(avr.getProg(), nullptr);
}

// A board plugged in directly: the data connection alone, as the experiment opens it.
TEST_F(AvrBoardTest, TheConnectionStackOfADirectBoard) {
    start();
    EXPECT_EQ(avr.getUsbPort(), port());
    ASSERT_TRUE(avr.connectData(avr.getUsbPort() + raw(",115200,n,8,1"), true));
    EXPECT_TRUE(avr.isConnectedProg()) << "any entry counts";
    EXPECT_FALSE(avr.isConnectedData()) << "a data entry alone is no data connection on top";
    EXPECT_EQ(ask("ver"), raw(BoardFirmware::versionAnswer));
    // The adapter operations send nothing when there is no Ravlink adapter.
    const int64_t before = board.getBytesReceived();
    EXPECT_TRUE(avr.modeRS232());
    EXPECT_TRUE(avr.powerOnOff(true));
    EXPECT_EQ(board.getBytesReceived(), before);
    avr.disconnectAll();
    EXPECT_TRUE(avr.getConnectStack().isEmpty());
    EXPECT_FALSE(avr.getPort().isOpen());

    // A data connection on the programmer's port changes its settings instead of reopening;
    // removing it gives the programmer's settings back.
    ASSERT_TRUE(avr.initProg(port(), raw("ATmega8"), raw("unknown"), SString()));
    ASSERT_TRUE(avr.connectProg());
    EXPECT_EQ(avr.getConnectStack().items(), std::vector<SString>{raw("prog,unknown")});
    avr.disconnectAll();
    ASSERT_TRUE(avr.initProg(port(), raw("ATmega8"), raw("avr911"), SString()));
    ASSERT_TRUE(avr.connectProg()) << avr.getError().str();
    ASSERT_TRUE(avr.connectData(port() + raw(",115200,N,8,1"), false));
    EXPECT_EQ(avr.getPort().getSettings().baud, 115200);
    ASSERT_TRUE(avr.disconnectData());
    EXPECT_EQ(avr.getPort().getSettings().baud, 19200);
    EXPECT_TRUE(avr.getPort().isOpen());
    // Disconnecting data above a programmer entry is refused and shows the stack.
    EXPECT_FALSE(avr.disconnectData());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find("connectStack:\r\nprog," + port().str()), std::string::npos);
    EXPECT_EQ(avr.getConnectStack().getSize(), 1);
}

// The stack entry of the programmer on COM10 is no entry of COM1: a data connection on COM1
// opens COM1 instead of changing the settings of the open COM10, and when it ends no entry is
// left for COM1, so the port closes.
TEST_F(AvrBoardTest, AnEntryOfCom10DoesNotCountAsCom1) {
    options.adapter = true;
    options.comName = raw("com10");
    start();
    testsupport::PseudoTerminal com1;
    ASSERT_TRUE(com1.ok());
    ASSERT_EQ(platform::ComPortMap(dir_.file("comports.ini")).registerDevice(com1.path(), false, "com1"),
              "com1");
    ASSERT_TRUE(avr.initProg(raw("com10"), raw("ATmega8"), raw("avr911"), SString()));
    ASSERT_TRUE(avr.connectProg()) << avr.getError().str();
    ASSERT_TRUE(avr.connectData(raw("COM1,115200,N,8,1"), false)) << avr.getError().str();
    EXPECT_EQ(avr.getPort().getDevicePath(), com1.path());
    EXPECT_FALSE(avr.disconnectData());
    EXPECT_FALSE(avr.getPort().isOpen());
}

// A programmer without a part (or with a dead one) reads 00 00 00 or FF FF FF: that is no
// signature, and the message says so instead of naming a number.
TEST_F(AvrBoardTest, SignaturesOfZerosOrOnesAreNoSignature) {
    options.adapter = true;
    for (uint8_t fill : {uint8_t(0x00), uint8_t(0xFF)}) {
        SCOPED_TRACE(static_cast<int>(fill));
        options.programmer.signature = {fill, fill, fill};
        start();
        ASSERT_TRUE(avr.initProg(port(), raw("ATmega8"), raw("avr911"), SString()));
        ASSERT_TRUE(avr.connectProg()) << avr.getError().str();
        SString name = raw("old");
        EXPECT_FALSE(avr.getMcuName(name));
        EXPECT_EQ(name, SString());
        EXPECT_EQ(avr.getError().str(), "Der Signatur '0x' konnte kein Prozessor zugeordnet werden.\r\n");
        avr.disconnectAll();
        board.stop();
    }
}

// Counts the frames of one id.
class FrameCounter : public Receiver {
public:
    FrameCounter(uint32_t id, int32_t length) { setup(id, length); }
    bool receive(const SMem&, int32_t, uint32_t, uint32_t) override {
        ++frames;
        return true;
    }
    std::atomic<int> frames{0};
};

// Had the splitter seen the adapter's answers, even in raw mode, its id stage would have taken the
// first answer's first byte ('R' of "Ravlink") as the id of a frame, and the first measurement
// frame would have become that frame's payload.
TEST_F(AvrBoardTest, AdapterAnswersNeverReachTheChannels) {
    options.adapter = true;
    options.timeScale = 10.0;
    start();
    // Every channel of the firmware, so that the splitter keeps in step with its frames.
    FrameCounter stray('R', 2), charging(1, 2), discharging(2, 2), uc(3, 2), current(4, 2);
    for (FrameCounter* c : {&stray, &charging, &discharging, &uc, &current}) avr.connectReceiver(c, 0);
    ASSERT_TRUE(avr.searchAndConnect()) << avr.getError().str();
    ASSERT_TRUE(avr.modeRS232());
    ASSERT_TRUE(avr.powerOnOff(true));
    ASSERT_TRUE(avr.connectData(port() + raw(",115200,N,8,1"), true));
    EXPECT_EQ(ask("start"), raw("OK start\n"));
    for (int i = 0; i < 100 && uc.frames < 5; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(uc.frames, 5);
    EXPECT_EQ(stray.frames, 0);
    avr.getPort().setSuspended(1);
    avr.getPort().writeText(raw("stop\n"));
    avr.disconnectAll();
    EXPECT_EQ(avr.getPort().getSuspended(), 0) << "a closed port starts afresh";
}

TEST_F(AvrBoardTest, WithoutAnyBoard) {
    // No board, no programmer connection: the adapter operations do nothing and succeed.
    EXPECT_TRUE(avr.powerOnOff(true));
    EXPECT_TRUE(avr.modeRS232());
    EXPECT_EQ(avr.getUsbPort(), SString());
    EXPECT_FALSE(avr.searchAndConnect(SString(), raw("ravlink")));
    EXPECT_TRUE(avr.getConnectStack().isEmpty());
    EXPECT_FALSE(avr.getPort().isOpen());
    SString name;
    EXPECT_FALSE(avr.getMcuName(name));
    EXPECT_FALSE(avr.burnHex(raw("x.hex")));
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_NE(boxes.boxes()[1].text.find("SAvrBoard::burnHex(..) Programmer ist nicht verbunden"),
              std::string::npos);
    EXPECT_FALSE(avr.connectData(raw("COM9,115200,N,8,1"), false));
    EXPECT_NE(avr.getError().str().find("Vor dem Herstellen einer Datenverbindung"), std::string::npos);
}

// The board's CP210x port exists but the user may not open it: the search, the data
// connection and the given port all say how to get the permission instead of "no board".
TEST_F(AvrBoardTest, APortThatMayNotBeOpenedIsReportedAsSuch) {
    options.adapter = true;
    start();
    testsupport::DeniedSerialOpen denied;
    EXPECT_FALSE(avr.searchAndConnect());
    EXPECT_NE(avr.getError().str().find("sudo usermod -aG dialout"), std::string::npos)
        << avr.getError().str();
    EXPECT_NE(avr.getPermissionError().str().find(board.getComName().str()), std::string::npos);

    EXPECT_FALSE(avr.connectData(port() + raw(",115200,N,8,1"), true));
    EXPECT_NE(avr.getPermissionError().str().find("dialout"), std::string::npos);

    ASSERT_TRUE(avr.initProg(port() + raw(",19200"), raw("ATmega8"), raw("avr911"), SString()));
    EXPECT_FALSE(avr.connectProg());
    EXPECT_NE(avr.getError().str().find("sudo usermod -aG dialout"), std::string::npos)
        << avr.getError().str();
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.all();
}

// The serial-port search tries the ports in order and stops at the first programmer.
TEST_F(AvrBoardTest, SerialSearchStopsAtTheSecondPort) {
    platform::setUsbSerialDriverProbe([](const std::string&) { return platform::UsbSerialDriverState{}; });
    testsupport::PseudoTerminal first, third;
    ASSERT_TRUE(first.ok() && third.ok());
    platform::ComPortMap map(dir_.file("comports.ini"));
    ASSERT_EQ(map.registerDevice(first.path(), false, "com1"), "com1");
    options.adapter = true;
    start();
    ASSERT_EQ(map.registerDevice(third.path(), false, "com3"), "com3");

    ASSERT_TRUE(avr.searchAndConnect(SString(), raw("avr910"))) << avr.getError().str();
    EXPECT_EQ(avr.getBoardData().port, port() + raw(",19200"));
    EXPECT_EQ(first.receive(1, 50), "S");
    EXPECT_EQ(third.receive(1, 50), "") << "the third port is not tried";
}

// The machine as the start sees it before it looks for the board: nothing plugged in, the
// bridge without its driver, the bridge ready, or only the virtual board.
TEST_F(AvrBoardTest, FindsWhetherTheBoardIsPluggedInAndHasItsDriver) {
    testsupport::FakeSysfs sysfs(dir_.file("sys"));
    platform::ComPortMap::setProcessEnumerator([] { return std::vector<platform::SerialDeviceInfo>(); });
    using Presence = SAvrBoard::BoardPresence;
    struct Case {
        const char* what;
        bool usbBridge;
        bool withDriver;
        bool virtualBoard;
        Presence expected;
    } cases[] = {
        {"nothing plugged in", false, false, false, Presence::noDevice},
        {"the bridge, no driver took it", true, false, false, Presence::deviceWithoutDriver},
        {"the bridge with its driver", true, true, false, Presence::ready},
        {"only the virtual board", false, false, true, Presence::ready},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sysfs.clear();
        sysfs.plug("1-1", "1d6b", "0002", "hub", false);
        if (c.usbBridge) sysfs.plugCp210x("1-2", c.withDriver);
        if (c.virtualBoard) start();
        EXPECT_EQ(avr.findBoardPresence(), c.expected);
        board.stop();
    }
    platform::ComPortMap::setProcessEnumerator(nullptr);

    // Plugging in is asked for without a word about drivers; the driver's address only where
    // the driver is missing.
    const std::string notPlugged = SAvrBoard::boardNotPluggedMessage().str();
    EXPECT_EQ(notPlugged.rfind("Es wurde kein Board gefunden.", 0), 0u) << notPlugged;
    EXPECT_NE(notPlugged.find("USB-Kabel"), std::string::npos);
    EXPECT_EQ(notPlugged.find("Treiber"), std::string::npos);
    EXPECT_EQ(notPlugged.find(SAvrBoard::driverAddress), std::string::npos);
    const std::string missing = SAvrBoard::driverMissingMessage().str();
    EXPECT_EQ(missing.rfind("Der Treiber des USB-Boards ist nicht", 0), 0u) << missing;
    EXPECT_NE(missing.find(std::string(SAvrBoard::driverAddress) + "."), std::string::npos) << missing;
}

// The device a user outside the group "dialout" may not open (a serial port of the machine, or
// another CP210x bridge): open() refuses it as it refuses such a user, whoever runs the test.
const char* const deniedDevice = "/dev/nuk-test-denied";

class DeniedDevice {
public:
    explicit DeniedDevice(bool cp210x) {
        platform::ComPortMap::setProcessEnumerator([cp210x] {
            return std::vector<platform::SerialDeviceInfo>{
                {deniedDevice, cp210x ? platform::ComPortMap::cp210xVendor : -1,
                 cp210x ? platform::ComPortMap::cp210xProduct : -1, cp210x ? "CP2102" : "ttyS0"}};
        });
        platform::SerialDevice::setOpenFunction(+[](const char* path, int flags) -> int {
            if (std::string(path) == deniedDevice) {
                errno = EACCES;
                return -1;
            }
            return ::open(path, flags);
        });
    }
    ~DeniedDevice() {
        platform::SerialDevice::setOpenFunction(nullptr);
        platform::ComPortMap::setProcessEnumerator(nullptr);
    }
    DeniedDevice(const DeniedDevice&) = delete;
    DeniedDevice& operator=(const DeniedDevice&) = delete;
};

// A port the user may not open comes first (com1), the virtual board second: the search goes
// on to the board and, having found it, reports no permission problem. Without the board the
// permission problem is what the search reports.
TEST_F(AvrBoardTest, TheSearchGoesOnPastAPortItMayNotOpen) {
    platform::setUsbSerialDriverProbe([](const std::string&) {
        platform::UsbSerialDriverState state;
        state.installed = state.active = true;
        state.version = "6.1.0";
        return state;
    });
    options.adapter = true;
    struct Case {
        const char* what;
        bool cp210x;
        const char* programmer;  // narrows the search as nuktool's --programmer does
    } cases[] = {
        {"a serial port of the machine, the serial-port search", false, "avr910"},
        {"a serial port of the machine, the whole search", false, ""},
        {"another CP210x bridge, the whole search", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir_.file("comports.ini"));
        DeniedDevice denied(c.cp210x);
        start();
        ASSERT_EQ(platform::ComPortMap().deviceFor("com1"), deniedDevice);
        EXPECT_EQ(avr.getUsbPort(), port());
        ASSERT_TRUE(avr.searchAndConnect(SString(), raw(c.programmer))) << avr.getError().str();
        EXPECT_EQ(avr.getBoardData().port, port() + raw(",19200"));
        EXPECT_EQ(avr.getAdapter(), SAvrBoard::adapterRavlink);
        EXPECT_EQ(avr.getPermissionError(), SString());
        avr.disconnectAll();

        board.stop();
        EXPECT_EQ(avr.getUsbPort(), c.cp210x ? raw("COM1") : SString()) << "the port whose opening says why";
        EXPECT_FALSE(avr.searchAndConnect(SString(), raw(c.programmer)));
        EXPECT_NE(avr.getPermissionError().str().find(deniedDevice), std::string::npos)
            << avr.getPermissionError().str();
        EXPECT_NE(avr.getError().str().find("sudo usermod -aG dialout"), std::string::npos)
            << avr.getError().str();
        avr.disconnectAll();
    }
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.all();
}

// A board pulled out: the burn fails at once with the port's message, the adapter operations
// do not hang, and once it is back the next search and burn work.
TEST_F(AvrBoardTest, TheBoardPulledOutAndPluggedInAgain) {
    options.adapter = true;
    options.realisticTiming = true;
    start();
    ASSERT_TRUE(avr.searchAndConnect()) << avr.getError().str();
    SMem image(8192);
    for (std::size_t i = 0; i < image.getSize(); ++i) image.setByte(i, static_cast<uint8_t>(i * 5));
    SHexFile hex;
    ASSERT_TRUE(hex.saveFile(SString(dir_.file("fw.hex")), image));
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        board.stop();
    });
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(avr.burnHex(SString(dir_.file("fw.hex"))));
    unplug.join();
    EXPECT_NE(avr.getError().str().find("wurde getrennt"), std::string::npos) << avr.getError().str();
    EXPECT_TRUE(avr.isBoardGone());
    EXPECT_FALSE(avr.modeProg());
    EXPECT_FALSE(avr.powerOnOff(false));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(2500));
    avr.disconnectAll();

    options.realisticTiming = false;
    start();
    ASSERT_TRUE(avr.searchAndConnect()) << avr.getError().str();
    ASSERT_TRUE(avr.burnHex(SString(dir_.file("fw.hex")))) << avr.getError().str();
    EXPECT_EQ(board.getMemory().getFlash(), std::vector<uint8_t>(image.getData(), image.getData() + 8192));
}

}  // namespace
