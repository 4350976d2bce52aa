// Parallel-port access and driver services over a fake parallel port.
#include "board/SGiveio.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <vector>

#include "board/SServiceManager.h"
#include "platform/ParallelPort.h"
#include "platform/UsbSerialDriver.h"
#include "support/TestSupport.h"

namespace {

SString raw(const char* t) {
    return SString(std::string(t));
}

// Ports that exist (index 0..2) and the writes they got.
class FakePorts : public platform::ParallelPort {
public:
    // absentError: what opening a port that is not there (or not ours) reports.
    explicit FakePorts(std::set<int> present, int absentError = ENOENT)
        : present_(std::move(present)), absentError_(absentError) {
        platform::setParallelPort(this);
    }
    ~FakePorts() override { platform::setParallelPort(nullptr); }
    bool canOpen(int index, int* errorCode) override {
        if (present_.count(index)) return true;
        if (errorCode) *errorCode = absentError_;
        return false;
    }
    bool writeData(int index, uint8_t value, int* errorCode) override {
        if (!canOpen(index, errorCode)) return false;
        writes.emplace_back(index, value);
        return true;
    }
    bool readData(int index, uint8_t& value, int* errorCode) override {
        if (!canOpen(index, errorCode)) return false;
        value = 0x5A;
        return true;
    }
    std::vector<std::pair<int, int>> writes;

private:
    std::set<int> present_;
    int absentError_;
};

TEST(SGiveio, PortNamesSelectTheirDataRegister) {
    FakePorts ports({0, 1, 2});
    SGiveio giveio;
    ASSERT_TRUE(giveio.isReady());
    struct Case {
        const char* name;
        int index;
        int address;
    } cases[] = {{"LPT1", 0, 0x378}, {"lpt1", 0, 0x378}, {"lpt2", 1, 0x278}, {"Lpt3", 2, 0x3BC},
                 {"lpt4", -1, 0},    {"COM1", -1, 0},    {"lpt1 ", -1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ports.writes.clear();
        EXPECT_EQ(giveio.writePort(raw(c.name), 0x7F), c.index >= 0);
        EXPECT_EQ(SGiveio::portAddress(raw(c.name)), c.address);
        if (c.index >= 0)
            EXPECT_EQ(ports.writes, (std::vector<std::pair<int, int>>{{c.index, 0x7F}}));
        else
            EXPECT_TRUE(ports.writes.empty());
    }
    EXPECT_EQ(giveio.readPort(raw("lpt2")), 0x5A);
}

// A computer without a parallel port is the normal case: install fails without an entry in the
// error log shown at exit. A port the user may not open is a lasting problem and is logged.
TEST(SGiveio, WithoutAParallelPortNothingIsWrittenAndOnlyMissingRightsAreLogged) {
    {
        FakePorts denied({}, EACCES);
        globalError().clearLog();
        EXPECT_FALSE(SGiveio().install());
        EXPECT_NE(globalError().getLog().str().find("Der Treiber kann nicht angemeldet werden."), std::string::npos);
        globalError().clearLog();
    }
    FakePorts ports({});
    globalError().clearLog();
    SGiveio giveio;
    EXPECT_FALSE(giveio.isReady());
    EXPECT_FALSE(giveio.isInstalled());
    EXPECT_FALSE(giveio.writePort(raw("lpt1"), 0x7F));
    EXPECT_EQ(giveio.readPort(raw("lpt1")), 0);
    EXPECT_FALSE(giveio.install());
    EXPECT_EQ(globalError().getLog().str(), "");
    EXPECT_TRUE(ports.writes.empty());
    // Stopping a driver that does not run succeeds and leaves the object unready.
    EXPECT_TRUE(giveio.stop());
    EXPECT_FALSE(giveio.isReady());
}

TEST(SGiveio, StartStopAndRemoveOfAPresentPort) {
    FakePorts ports({1});
    SGiveio giveio;
    EXPECT_TRUE(giveio.isReady());
    EXPECT_TRUE(giveio.stop());
    EXPECT_FALSE(giveio.isReady());
    EXPECT_FALSE(giveio.writePort(raw("lpt2"), 0));
    EXPECT_TRUE(giveio.start());
    EXPECT_TRUE(giveio.writePort(raw("lpt2"), 0));
    // Only the port that exists is written.
    EXPECT_FALSE(giveio.writePort(raw("lpt1"), 0));
    EXPECT_TRUE(giveio.install());
    EXPECT_TRUE(giveio.remove());
    EXPECT_FALSE(giveio.isReady());
}

TEST(SServiceManager, Cp210xServicesFollowTheKernelDriver) {
    FakePorts ports({});
    struct Case {
        bool installed, active;
    } cases[] = {{false, false}, {true, false}, {true, true}};
    for (const Case& c : cases) {
        platform::setUsbSerialDriverProbe([c](const std::string&) {
            platform::UsbSerialDriverState s;
            s.installed = c.installed;
            s.active = c.active;
            return s;
        });
        SServiceManager services;
        for (const char* name : {"silabser", "silabenm", "slabbus", "slabser"}) {
            EXPECT_EQ(services.isInstalled(raw(name)), c.installed) << name;
            EXPECT_EQ(services.isRunning(raw(name)), c.active) << name;
        }
        EXPECT_FALSE(services.isInstalled(raw("spooler")));
    }
    platform::setUsbSerialDriverProbe(nullptr);
    testsupport::MessageCapture boxes;
    SServiceManager services;
    EXPECT_FALSE(services.createService(raw("silabser"), raw("x"), 0, 1, 2, 1, raw("/x")));
    EXPECT_NE(boxes.all().find("SServiceMansger::CreateService(...)"), std::string::npos);
}

}  // namespace
