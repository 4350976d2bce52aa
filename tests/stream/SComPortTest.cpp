#include "stream/SComPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/SApplicationBasic.h"
#include "foundation/SFileIni.h"
#include "platform/ComPortMap.h"
#include "platform/Paths.h"
#include "platform/SysError.h"
#include "stream/Cp210x.h"
#include "support/PseudoTerminal.h"
#include "support/TestSupport.h"

using testsupport::PseudoTerminal;

namespace {

SString raw(const std::string& s) {
    return SString(s);
}

// Points the port map at a private file for the test's lifetime.
class PortMapFile {
public:
    std::string path() const { return dir_.file("comports.ini"); }

private:
    testsupport::TempDir dir_;
    testsupport::ScopedEnv env_{"NUK_COMPORTS", path().c_str()};
};

// A port whose onByte keeps every byte it saw.
class RecordingPort : public SComPort {
public:
    ~RecordingPort() override { close(); }
    void onByte(uint8_t byte) override {
        std::lock_guard lock(mutex_);
        seen_.push_back(static_cast<char>(byte));
    }
    std::string seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    mutable std::mutex mutex_;
    std::string seen_;
};

// Waits (dispatching) until the condition holds or the time is up.
template <typename Condition>
bool waitFor(Condition condition, int timeoutMs = 2000) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (condition()) return true;
        SApplicationBasic::wait(5);
    }
    return condition();
}

class SComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        name = platform::ComPortMap().registerDevice(pty.path(), true);
        ASSERT_FALSE(name.empty());
    }
    // Opens the port with a settings string for the registered name.
    void openWith(SComPort& port, const std::string& line = "115200,N,8,1") {
        port.getSettings().fromString(raw(name + "," + line));
        ASSERT_TRUE(port.open(raw(name))) << port.getError().str();
    }

    PortMapFile mapFile;
    PseudoTerminal pty;
    std::string name;
};

// ---- settings strings ----

struct SettingsCase {
    const char* text;
    const char* written;
    const char* port;
    int baud, parity, dataBits, stopBits;
};

TEST(SComPortSettingsTest, ParsesAndWritesSettingsStrings) {
    const SettingsCase cases[] = {
        {"COM3,19200,N,8,1", "COM3,19200,N,8,1", "com3", 19200, 0, 8, 0},
        {"", "COM1,9600,N,8,1", "com1", 9600, 0, 8, 0},
        {"lpt1,9600", "COM1,9600,N,8,1", "com1", 9600, 0, 8, 0},
        {"com2,4800,e,7,1.5", "COM2,4800,E,7,1.5", "com2", 4800, 2, 7, 1},
        {"com4,115200,O,8,2", "COM4,115200,O,8,2", "com4", 115200, 1, 8, 2},
        {"com5,300,m,5,3", "COM5,300,M,5,1", "com5", 300, 3, 5, 0},
        {"com6,,s", "COM6,9600,S,8,1", "com6", 9600, 4, 8, 0},
        {"com7,1200,x,6", "COM7,1200,N,6,1", "com7", 1200, 0, 6, 0},
        {",57600", "COM1,57600,N,8,1", "com1", 57600, 0, 8, 0},
        // Device paths keep their case.
        {"/dev/ttyUSB0,115200,N,8,1", "/dev/ttyUSB0,115200,N,8,1", "/dev/ttyUSB0", 115200, 0, 8, 0},
    };
    for (const SettingsCase& c : cases) {
        SCOPED_TRACE(c.text);
        SComPortSettings s;
        s.fromString(raw(c.text));
        EXPECT_EQ(s.port.str(), c.port);
        EXPECT_EQ(s.baud, c.baud);
        EXPECT_EQ(s.parity, c.parity);
        EXPECT_EQ(s.dataBits, c.dataBits);
        EXPECT_EQ(s.stopBits, c.stopBits);
        EXPECT_FALSE(s.isDefault);
        EXPECT_EQ(s.toString().str(), c.written);
    }
    SComPortSettings odd;
    odd.parity = 7;
    odd.stopBits = 5;
    EXPECT_EQ(odd.toString().str(), "COM1,9600,,8,");
    EXPECT_TRUE(odd.isDefault);
}

TEST(SComPortSettingsTest, LoadsAndSavesTheConfigurationSection) {
    testsupport::TempDir dir;
    SFileIni ini;
    ASSERT_TRUE(ini.open(raw(dir.file("app.cfg")), true));
    SComPortSettings s;
    s.fromString(raw("COM4,115200,E,7,2"));
    s.sendSmartCmd = true;
    ASSERT_TRUE(s.save(raw("Prog"), ini));
    const std::string text = dir.read("app.cfg");
    EXPECT_NE(text.find("[ComPortProg]"), std::string::npos) << text;
    EXPECT_NE(text.find("Port=com4"), std::string::npos) << text;
    EXPECT_NE(text.find("SendSmartCmd=1"), std::string::npos) << text;

    SComPortSettings back;
    back.load(raw("Prog"), ini);
    EXPECT_EQ(back.toString().str(), "COM4,115200,E,7,2");
    EXPECT_TRUE(back.sendSmartCmd);
    EXPECT_FALSE(back.isDefault);

    // Dots in the baud rate are thousands separators; an empty port means defaults.
    ini.setValue(raw("ComPortX"), raw("Port"), raw("COM9"));
    ini.setValue(raw("ComPortX"), raw("Baud"), raw("115.200"));
    back.load(raw("X"), ini);
    EXPECT_EQ(back.toString().str(), "COM9,115200,N,8,1");
    ini.setValue(raw("ComPortY"), raw("Baud"), raw("300"));
    back.load(raw("Y"), ini);
    EXPECT_EQ(back.toString().str(), "COM1,9600,N,8,1");
    EXPECT_TRUE(back.isDefault);
}

// ---- ring buffer ----

TEST(SRingBufferTest, KeepsTheNewestBytesAndCountsTheLostOnes) {
    SRingBuffer ring(400);
    for (int i = 0; i < 401; ++i) EXPECT_EQ(ring.put(static_cast<uint8_t>(i)), i == 400);
    EXPECT_EQ(ring.count(), 400);
    EXPECT_EQ(ring.getOverflowCount(), 1);
    uint8_t first = 0;
    ASSERT_TRUE(ring.peek(0, first));
    EXPECT_EQ(first, 1);
    uint8_t out[400];
    EXPECT_FALSE(ring.get(out, 401));
    ASSERT_TRUE(ring.get(out, 400));
    EXPECT_EQ(out[399], static_cast<uint8_t>(400));
    EXPECT_EQ(ring.count(), 0);
    EXPECT_FALSE(ring.peek(0, first));
}

// ---- the port on a pseudo-terminal ----

TEST_F(SComPortTest, BytesTravelBothWaysAndReachTheHookFirst) {
    RecordingPort port;
    openWith(port);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.getDevicePath(), pty.path());

    ASSERT_TRUE(port.writeText(raw("ver\r")));
    EXPECT_EQ(pty.receive(4), "ver\r");
    SMem block;
    block.fromString(raw(std::string("\x00\x01\xFF", 3)));
    ASSERT_TRUE(port.writeBlock(block));
    EXPECT_EQ(pty.receive(3), std::string("\x00\x01\xFF", 3));

    ASSERT_TRUE(pty.send(std::string("V1.0\n\x00z", 7)));
    SString text;
    ASSERT_TRUE(port.readText(text, 1000, 7));
    EXPECT_EQ(text.str(), std::string("V1.0\n\xFFz", 7));
    EXPECT_EQ(port.seen(), std::string("V1.0\n\x00z", 7));
}

TEST_F(SComPortTest, SettingsReachTheDevice) {
    // A pseudo-terminal forces CS8 and clears PARENB whatever the program sets; the speed,
    // PARODD, CMSPAR and CSTOPB stay as set (the full records are checked in SerialDeviceTest).
    struct Case {
        const char* line;
        speed_t speed;
        tcflag_t parity;  // PARODD | CMSPAR bits
        bool twoStops;
    };
    const Case cases[] = {
        {"115200,N,8,1", B115200, 0, false},       {"19200,E,7,1", B19200, 0, false},
        {"9600,O,8,2", B9600, PARODD, true},       {"4800,M,6,1", B4800, PARODD | CMSPAR, false},
        {"230400,S,5,1.5", B230400, CMSPAR, true},
    };
    SComPort port;
    openWith(port);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_TRUE(port.setSettings(raw(name + "," + c.line))) << port.getError().str();
        termios t = pty.settings();
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(cfgetispeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), c.parity);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStops);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
    }
    // A rate the system has no code for fails with the system's reason.
    EXPECT_FALSE(port.setSettings(raw(name + ",12345,N,8,1")));
    EXPECT_EQ(port.getError().str(),
              "Der Port " + name + " konnte nicht konfiguriert werden.(" + platform::errorText(EINVAL) + ")");
    EXPECT_FALSE(port.setSettings(raw(name + ",9600,N,9,1")));
}

TEST_F(SComPortTest, CloseGivesTheDeviceItsOldConfigurationBack) {
    termios before = pty.settings();
    ASSERT_NE(before.c_lflag & ICANON, 0u);
    {
        SComPort port;
        openWith(port, "19200,E,7,2");
        EXPECT_EQ(pty.settings().c_lflag & ICANON, 0u);
        port.close();
        EXPECT_FALSE(port.isOpen());
    }
    termios after = pty.settings();
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
}

TEST_F(SComPortTest, PortIsNotShared) {
    SComPort first, second;
    openWith(first);
    EXPECT_FALSE(second.open(raw(name)));
    EXPECT_EQ(second.getError().str(), "Der Port " + name +
                                           " konnte nicht ge\xF6"
                                           "ffnet werden.");
    first.close();
    EXPECT_TRUE(second.open(raw(name))) << second.getError().str();
}

TEST_F(SComPortTest, UnknownNamesAndDevicePaths) {
    SComPort port;
    EXPECT_FALSE(port.open(raw("com999")));
    EXPECT_EQ(port.getError().str(),
              "Der Port com999 konnte nicht ge\xF6"
              "ffnet werden.");
    EXPECT_FALSE(port.isOpen());
    // A device path works without a map entry.
    ASSERT_TRUE(port.open(raw(pty.path()))) << port.getError().str();
    EXPECT_EQ(port.getPortName().str(), pty.path());
    port.close();
}

// A port the user may not open (not in the group "dialout") says what to do about it: the
// command with the user's name, and that a new login is needed.
TEST_F(SComPortTest, APortThatMayNotBeOpenedSaysHowToGetPermission) {
    testsupport::DeniedSerialOpen denied;
    SComPort port;
    EXPECT_FALSE(port.open(raw(name)));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.getErrorCode(), EACCES);
    const std::string text = port.getError().str();
    const std::string user = platform::userName().empty() ? "BENUTZER" : platform::userName();
    for (const std::string& part :
         {"Der Port " + name + " (" + pty.path() +
              ") darf nicht ge\xF6"
              "ffnet werden",
          std::string("keine Berechtigung"), std::string("Gruppe \"dialout\""),
          "sudo usermod -aG dialout " + user + "\r\n", std::string("ab- und wieder anmelden")})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in: " << text;
}

TEST_F(SComPortTest, RingKeepsTheNewest400BytesWhenNobodyReads) {
    SComPort port;
    openWith(port);
    std::string data;
    for (int i = 0; i < 401; ++i) data += static_cast<char>(i % 256);
    ASSERT_TRUE(pty.send(data));
    ASSERT_TRUE(waitFor([&] { return port.getRing().getOverflowCount() == 1; }));
    EXPECT_EQ(port.getRing().count(), 400);
    SMem block;
    ASSERT_TRUE(port.readBytes(block, 100, 400));
    EXPECT_EQ(block.toString().str(), data.substr(1));
}

TEST_F(SComPortTest, ReadUntilMatchesTheTerminator) {
    struct Case {
        std::string input;
        std::string terminator;
        bool found;
        std::string text;
    };
    const Case cases[] = {
        {"OK\r\n", "\r\n", true, "OK\r\n"},         {"\r\r\n", "\r\n", false, "\r\r\n"},
        {"a\rb\r\nrest", "\r\n", true, "a\rb\r\n"}, {std::string("x\0y\n", 4), "\n", true, "x\xFFy\n"},
        {"no end", "\n", false, "no end"},
    };
    SComPort port;
    openWith(port);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        port.purge();
        ASSERT_TRUE(pty.send(c.input));
        SString text;
        EXPECT_EQ(port.readUntil(text, c.found ? 1000 : 150, raw(c.terminator)), c.found);
        EXPECT_EQ(text.str(), c.text);
    }
    // What follows the terminator stays for the next read.
    SMem block;
    EXPECT_FALSE(port.readBytes(block, 20, 4));
    port.purge();
    ASSERT_TRUE(pty.send("ab\ncd"));
    SString text;
    ASSERT_TRUE(port.readUntil(text, 1000, raw("\n")));
    ASSERT_TRUE(port.readBytes(block, 500, 2));
    EXPECT_EQ(block.toString().str(), "cd");
}

// With a quiet time the read gives up on an answer that stopped short of the terminator, and
// what comes later stays for the next read; a line that arrives in pieces is still one line.
TEST_F(SComPortTest, ReadUntilWithAQuietTimeEndsAtAnAnswerWithoutTerminator) {
    SComPort port;
    openWith(port);
    std::thread board([&] {
        pty.send("???10");
        std::this_thread::sleep_for(std::chrono::milliseconds(900));
        pty.send("\r\n");
    });
    SString text;
    EXPECT_FALSE(port.readUntil(text, 5000, raw("\r\n"), 200));
    EXPECT_EQ(text.str(), "???10");
    board.join();
    ASSERT_TRUE(port.readUntil(text, 1000, raw("\r\n")));
    EXPECT_EQ(text.str(), "\r\n");

    board = std::thread([&] {
        pty.send("Rav");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pty.send("link 1.0\r\n");
    });
    EXPECT_TRUE(port.readUntil(text, 5000, raw("\r\n"), 200));
    board.join();
    EXPECT_EQ(text.str(), "Ravlink 1.0\r\n");
    // Nothing at all: the quiet time does not start, the time-out ends the read.
    EXPECT_FALSE(port.readUntil(text, 100, raw("\r\n"), 20));
    EXPECT_EQ(text.str(), "");
}

TEST_F(SComPortTest, ReadAllTakesWhateverArrives) {
    SComPort port;
    openWith(port);
    SMem block;
    uint32_t received = 99;
    EXPECT_FALSE(port.readBytes(block, 30, SComPort::readAll, &received));
    EXPECT_EQ(received, 0u);

    ASSERT_TRUE(pty.send("hello"));
    ASSERT_TRUE(port.readBytes(block, 100, SComPort::readAll, &received));
    EXPECT_EQ(received, 5u);
    EXPECT_EQ(block.getSize(), 1000u);
    EXPECT_EQ(block.toString().str().substr(0, 5), "hello");

    // The text of an "all" read is the whole block: unfilled bytes read as 0xFF.
    ASSERT_TRUE(pty.send("hi"));
    SString text;
    ASSERT_TRUE(port.readText(text, 100, SComPort::readAll));
    EXPECT_EQ(text.str(), "hi" + std::string(998, '\xFF'));

    // More than 1000 bytes grow the block in steps of 1000. The ring holds 400, so the board
    // sends in portions that the read drains as they come.
    std::string data;
    for (int i = 0; i < 1200; ++i) data += static_cast<char>('a' + i % 26);
    std::thread board([&] {
        for (int i = 0; i < 4; ++i) {
            pty.send(data.substr(static_cast<std::size_t>(i) * 300, 300));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    ASSERT_TRUE(port.readBytes(block, 400, SComPort::readAll, &received));
    board.join();
    EXPECT_EQ(received, 1200u);
    EXPECT_EQ(block.getSize(), 2000u);
    EXPECT_EQ(block.toString().str().substr(0, 1200), data);
}

TEST_F(SComPortTest, ClosedPortReportsMisuse) {
    testsupport::MessageCapture boxes;
    SComPort port;
    EXPECT_EQ(port.readByte(10), 0);
    EXPECT_EQ(port.getError().str(),
              "Fehler beim Lesen vom COM-Port: Zugriff auf nicht ge\xF6"
              "ffneten Port.\r\n"
              "Bitte verwenden Sie zuerst SComPort::open(..)");
    EXPECT_FALSE(port.writeByte('x'));
    EXPECT_EQ(port.getError().str(),
              "Fehler beim Schreiben auf den COM-Port: Zugriff auf nicht ge\xF6"
              "ffneten "
              "Port.\r\nBitte verwenden Sie zuerst SComPort::open(..)");
    SMem block;
    EXPECT_FALSE(port.readBytes(block, 10, 1));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_FALSE(port._setState());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              "SComPort::_setState(..) Zugriff auf nicht ge\xF6"
              "ffneten Port.");
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler !");
    EXPECT_EQ(boxes.boxes()[0].flags, SError::iconError);
    EXPECT_FALSE(port.sendSmartCmd(raw("v")));

    // readByte clears an old error first.
    openWith(port);
    ASSERT_TRUE(pty.send("A"));
    EXPECT_EQ(port.readByte(500), 'A');
    EXPECT_TRUE(port.getError().isEmpty());
    EXPECT_EQ(port.readByte(20), 0);
}

TEST_F(SComPortTest, StateStack) {
    SComPort port;
    EXPECT_FALSE(port.restore());
    EXPECT_FALSE(port.isOpen());

    // A closed port stays closed.
    port.getSettings().fromString(raw("COM7,4800,E,7,2"));
    EXPECT_TRUE(port.speichere());
    port.getSettings().fromString(raw("COM2"));
    EXPECT_TRUE(port.restore());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.getSettings().toString().str(), "COM7,4800,E,7,2");
    EXPECT_EQ(port.getStateCount(), 0);

    // An open port comes back open with its settings and window.
    port.getSettings().fromString(raw(name + ",115200,N,8,1"));
    ASSERT_TRUE(port.open(raw(name), 42));
    port.speichere();
    ASSERT_TRUE(port.setSettings(raw(name + ",19200,E,8,1")));
    port.close();
    ASSERT_TRUE(port.restore()) << port.getError().str();
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.getWindow(), 42);
    termios t = pty.settings();
    EXPECT_EQ(cfgetospeed(&t), B115200);
    EXPECT_EQ(port.getSettings().toString().str(), SString(name).uppered().str() + ",115200,N,8,1");
}

TEST_F(SComPortTest, SmartCommandGoesOutAt19200AndComesBackRestored) {
    SComPort port;
    openWith(port, "115200,N,8,1");
    std::atomic<speed_t> speedSeen{0};
    std::string wire;
    std::thread adapter([&] {
        wire = pty.receive(8, 3000);
        termios t = pty.settings();
        speedSeen = cfgetospeed(&t);
        pty.send("Ravlink V2.1\r\n");
    });
    SString answer;
    EXPECT_TRUE(port.sendSmartCmd(raw("v"), &answer));
    adapter.join();
    EXPECT_EQ(wire, "\xD1\x9C\xA4\xC7\x8E\xF3\xB8v");
    EXPECT_EQ(speedSeen.load(), B19200);
    EXPECT_EQ(answer.str(), "Ravlink V2.1\r\n");
    EXPECT_TRUE(port.isOpen());
    termios t = pty.settings();
    EXPECT_EQ(cfgetospeed(&t), B115200);
    EXPECT_EQ(port.getStateCount(), 0);

    // No answer: false, and the port is still restored.
    EXPECT_FALSE(port.sendSmartCmd(raw("p")));
    EXPECT_TRUE(port.isOpen());
}

TEST_F(SComPortTest, HangUpEndsTheReaderWithoutSpinning) {
    RecordingPort port;
    std::atomic<int> hangUps{0};
    port.setHangUpHandler([&] { ++hangUps; });
    openWith(port);
    ASSERT_TRUE(pty.send("last"));
    ASSERT_TRUE(waitFor([&] { return port.seen() == "last"; }));
    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return port.isHungUp(); }));
    EXPECT_EQ(hangUps.load(), 1);

    // The bytes that came before are still there; then the read fails at once.
    SMem block;
    ASSERT_TRUE(port.readBytes(block, 500, 4));
    EXPECT_EQ(block.toString().str(), "last");
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.readBytes(block, 2000, 1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(port.getError().str(), "Der Port " + name + " wurde getrennt.");
    EXPECT_FALSE(port.writeByte('x'));

    // Nothing runs any more: the process stays idle while the port is left open.
    timespec a{}, b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    double cpuMs = (b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6;
    EXPECT_LT(cpuMs, 20.0);
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SComPortTest, HangUpHandlerMayCloseThePort) {
    SComPort port;
    port.setHangUpHandler([&] { port.close(); });
    openWith(port);
    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return port.isHungUp(); }));
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SComPortTest, CloseEndsTheReaderPromptly) {
    SComPort port;
    openWith(port);
    auto start = std::chrono::steady_clock::now();
    port.close();
    // The reader is woken and does not hold the close up (the device's settling time is
    // waited before it is opened again).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    // The device is free again for others (the board side can open it).
    platform::SerialDevice device;
    EXPECT_TRUE(device.open(pty.path()));
}

TEST_F(SComPortTest, NotifierGetsEveryByteWhileAWindowIsSet) {
    SComPort port;
    std::mutex m;
    std::vector<std::pair<intptr_t, uint8_t>> got;
    port.setByteNotifier([&](intptr_t w, uint8_t b) {
        std::lock_guard lock(m);
        got.emplace_back(w, b);
    });
    port.getSettings().fromString(raw(name + ",115200"));
    ASSERT_TRUE(port.open(raw(name), 7));
    ASSERT_TRUE(pty.send("ab"));
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(m);
        return got.size() == 2;
    }));
    EXPECT_EQ(got[0], (std::pair<intptr_t, uint8_t>(7, 'a')));
    EXPECT_EQ(got[1], (std::pair<intptr_t, uint8_t>(7, 'b')));
}

TEST_F(SComPortTest, PortListMarksTheBridge) {
    platform::ComPortMap map;
    map.setEnumerator([] { return std::vector<platform::SerialDeviceInfo>(); });
    ASSERT_EQ(map.registerDevice("/dev/nuk-test-gone", true, "com12"), "com12");
    SMapStringToString ports;
    // The real enumeration may add this machine's own ports; only ours are checked.
    EXPECT_TRUE(Cp210x::getPortList(ports, false));
    const SString upperName = SString(name).uppered();
    EXPECT_EQ(ports.get(upperName).str(), pty.path());
    EXPECT_EQ(ports.get(raw("COM12")).str(), "offline - /dev/nuk-test-gone");
    EXPECT_TRUE(Cp210x::getPortList(ports, true));
    EXPECT_EQ(ports.get(upperName).str(), pty.path());
    EXPECT_FALSE(ports.has(raw("COM12")));
}

}  // namespace
