#include "platform/ComPortMap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/FileOps.h"
#include "support/PseudoTerminal.h"
#include "support/TestSupport.h"

using platform::ComPortEntry;
using platform::ComPortMap;
using platform::SerialDeviceInfo;

namespace {

// A private map file and stand-in device nodes (plain files) in a temporary directory;
// enumeration reports whatever the test says is plugged in.
class ComPortMapTest : public ::testing::Test {
protected:
    std::string device(const std::string& name) {
        std::string path = dir.file(name);
        if (!platform::pathExists(path)) dir.write(name, "");
        return path;
    }
    ComPortMap map() {
        ComPortMap m;
        m.setEnumerator([this] { return plugged; });
        return m;
    }
    static const ComPortEntry* find(const std::vector<ComPortEntry>& list, const std::string& name) {
        for (const ComPortEntry& e : list)
            if (e.name == name) return &e;
        return nullptr;
    }

    testsupport::TempDir dir;
    std::vector<SerialDeviceInfo> plugged;

private:
    testsupport::ScopedEnv mapFile_{"NUK_COMPORTS", dir.file("comports.ini").c_str()};
};

TEST_F(ComPortMapTest, DefaultFileFollowsTheEnvironment) {
    EXPECT_EQ(ComPortMap::defaultFile(), dir.file("comports.ini"));
    EXPECT_EQ(ComPortMap().file(), dir.file("comports.ini"));
}

TEST_F(ComPortMapTest, NumbersStayWithTheirDevices) {
    const std::string a = device("ttyUSB0"), b = device("ttyACM0"), c = device("ttyUSB1");
    plugged = {{a, 0x10C4, 0xEA60, "CP2102 USB to UART Bridge Controller"}, {b, 0x2341, 0x0043, "Arduino"}};
    std::vector<ComPortEntry> list = map().list();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "com1");
    EXPECT_EQ(list[0].device, a);
    EXPECT_TRUE(list[0].cp210x);
    EXPECT_TRUE(list[0].present);
    EXPECT_EQ(list[0].description, "CP2102 USB to UART Bridge Controller");
    EXPECT_EQ(list[1].name, "com2");
    EXPECT_FALSE(list[1].cp210x);

    // The bridge is unplugged and another device comes: it gets a new number, and the bridge
    // keeps its own for when it returns.
    platform::removeFile(a);
    plugged = {{b, 0x2341, 0x0043, "Arduino"}, {c, -1, -1, "ttyUSB1"}};
    list = map().list();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_FALSE(find(list, "com1")->present);
    EXPECT_EQ(find(list, "com3")->device, c);
    device("ttyUSB0");
    plugged.push_back({a, 0x10C4, 0xEA60, "CP2102"});
    list = map().list();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_TRUE(find(list, "com1")->present);
    EXPECT_EQ(map().deviceFor("COM1"), a);
    EXPECT_EQ(map().deviceFor("com3"), c);
    EXPECT_EQ(map().deviceFor("com4"), "");
    EXPECT_EQ(map().deviceFor("lpt1"), "");
}

TEST_F(ComPortMapTest, FileEntriesAndOtherLinesAreKept) {
    const std::string board = device("virtual-board");
    const std::string text =
        "; written by hand\n"
        "[Other]\n"
        "com1=/not/ours\n"
        "\n"
        "[ComPorts]\n"
        "com9=" +
        board +
        ";cp210x\n"
        "note=keep me\n"
        "com4=/dev/nuk-test-missing\n"
        "\n"
        "[Tail]\n"
        "x=1\n";
    dir.write("comports.ini", text);
    const std::string usb = device("ttyUSB0");
    plugged = {{usb, -1, -1, "usb serial"}};
    std::vector<ComPortEntry> list = map().list();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "com1");
    EXPECT_EQ(list[0].device, usb);
    EXPECT_EQ(list[1].name, "com4");
    EXPECT_FALSE(list[1].present);
    EXPECT_EQ(list[2].name, "com9");
    EXPECT_TRUE(list[2].present);
    EXPECT_TRUE(list[2].cp210x);

    const std::string expected =
        "; written by hand\n"
        "[Other]\n"
        "com1=/not/ours\n"
        "\n"
        "[ComPorts]\n"
        "com9=" +
        board +
        ";cp210x\n"
        "note=keep me\n"
        "com4=/dev/nuk-test-missing\n"
        "com1=" +
        usb +
        "\n"
        "\n"
        "[Tail]\n"
        "x=1\n";
    EXPECT_EQ(dir.read("comports.ini"), expected);

    ASSERT_TRUE(map().unregister("COM4"));
    EXPECT_FALSE(map().unregister("com4"));
    EXPECT_EQ(dir.read("comports.ini").find("com4="), std::string::npos);
    EXPECT_NE(dir.read("comports.ini").find("note=keep me"), std::string::npos);
}

TEST_F(ComPortMapTest, RegisteringDevices) {
    const std::string a = device("a"), b = device("b");
    ComPortMap m = map();
    EXPECT_EQ(m.registerDevice(a, false), "com1");
    EXPECT_EQ(m.registerDevice(a, false), "com1");
    // A wanted number held by a present device is refused; one of a vanished device is taken.
    EXPECT_EQ(m.registerDevice(b, true, "com1"), "");
    EXPECT_EQ(m.registerDevice("/dev/nuk-test-gone", false, "com7"), "com7");
    EXPECT_EQ(m.registerDevice(b, true, "COM7"), "com7");
    EXPECT_EQ(m.deviceFor("com7"), b);
    EXPECT_TRUE(find(m.list(), "com7")->cp210x);
    // Marking an existing entry changes it in place.
    EXPECT_EQ(m.registerDevice(a, true), "com1");
    EXPECT_TRUE(find(m.list(), "com1")->cp210x);
    EXPECT_EQ(m.registerDevice(a, true, "lpt1"), "");
    EXPECT_EQ(m.registerDevice("", false), "");
    EXPECT_EQ(m.registerDevice(a + ";cp210x", false), "");
    // The same device under another name (a link) is the same entry.
    ASSERT_EQ(symlink(a.c_str(), dir.file("link").c_str()), 0);
    EXPECT_EQ(m.registerDevice(dir.file("link"), true), "com1");
}

TEST_F(ComPortMapTest, PseudoTerminalOfAnEndedProcessIsNotPresent) {
    testsupport::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    dir.write("comports.ini",
              "[ComPorts]\ncom5=" + pty.path() + ";cp210x;pid=" + std::to_string(child) + "\n");
    ComPortMap m = map();
    const std::vector<ComPortEntry> before = m.list();
    const ComPortEntry* e = find(before, "com5");
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(e->present);
    EXPECT_TRUE(m.serialCommListing().empty());

    // Registering it again from a live process takes the entry over.
    EXPECT_EQ(m.registerDevice(pty.path(), true), "com5");
    EXPECT_NE(dir.read("comports.ini").find(";pid=" + std::to_string(getpid())), std::string::npos);
    std::vector<ComPortEntry> list = m.list();
    ASSERT_NE(find(list, "com5"), nullptr);
    EXPECT_TRUE(find(list, "com5")->present);
    EXPECT_EQ(find(list, "com5")->description, "virtual");
}

TEST_F(ComPortMapTest, SerialCommListingNamesBridgesSilabser) {
    const std::string a = device("ttyS0"), b = device("ttyUSB0"), c = device("ttyUSB1"), d = device("ttyS1");
    plugged = {{a, -1, -1, ""}, {b, 0x10C4, 0xEA60, ""}, {c, 0x0403, 0x6001, ""}, {d, -1, -1, ""}};
    ComPortMap m = map();
    m.list();
    m.registerDevice(device("board"), true, "com9");
    m.registerDevice("/dev/nuk-test-gone", true, "com12");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"\\Device\\Serial0", "COM1"}, {"\\Device\\Silabser0", "COM2"}, {"\\Device\\Serial1", "COM3"},
        {"\\Device\\Serial2", "COM4"}, {"\\Device\\Silabser1", "COM9"},
    };
    EXPECT_EQ(m.serialCommListing(), expected);
}

// The process's enumeration reaches every map made anywhere (the board connection makes its own
// for each query); a map's own enumerator comes first.
TEST_F(ComPortMapTest, TheProcessEnumerationReachesEveryMap) {
    const std::string a = dir.file("ttyS0"), b = device("ttyUSB0");
    ComPortMap::setProcessEnumerator([a] { return std::vector<SerialDeviceInfo>{{a, -1, -1, "ttyS0"}}; });
    EXPECT_EQ(ComPortMap().deviceFor("com1"), a);
    plugged = {{b, 0x10C4, 0xEA60, "CP2102"}};
    const std::vector<ComPortEntry> own = map().list();
    ASSERT_EQ(own.size(), 2u);
    EXPECT_FALSE(own[0].present) << "the process's device is not plugged in for this map";
    EXPECT_EQ(own[1].device, b);
    ComPortMap::setProcessEnumerator(nullptr);
    EXPECT_EQ(ComPortMap().list().size(), 2u + ComPortMap::enumerateSystem().size());
}

TEST_F(ComPortMapTest, ConcurrentRegistrationsGetDistinctNumbers) {
    constexpr int perThread = 25;
    std::vector<std::string> names[2];
    std::vector<std::string> devices[2];
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < perThread; ++i)
            devices[t].push_back(device("dev" + std::to_string(t) + "_" + std::to_string(i)));
    auto worker = [&](int t) {
        ComPortMap m = map();  // each thread its own map object, as two programs would have
        for (const std::string& d : devices[t]) names[t].push_back(m.registerDevice(d, t == 1));
    };
    std::thread first(worker, 0), second(worker, 1);
    first.join();
    second.join();
    std::set<std::string> all;
    for (int t = 0; t < 2; ++t)
        for (const std::string& n : names[t]) {
            EXPECT_FALSE(n.empty());
            all.insert(n);
        }
    EXPECT_EQ(all.size(), 2u * perThread);
    std::vector<ComPortEntry> list = map().list();
    ASSERT_EQ(list.size(), 2u * perThread);
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < perThread; ++i) EXPECT_EQ(map().deviceFor(names[t][i]), devices[t][i]);
}

}  // namespace
