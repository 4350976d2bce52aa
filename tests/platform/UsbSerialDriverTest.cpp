// The USB serial bridge as the kernel shows it in sysfs: whether a CP210x device is plugged in,
// whether its driver took it, and the driver's state, read from fake sysfs trees (NUK_SYSFS).
#include "platform/UsbSerialDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ComPortMap.h"
#include "support/FakeSysfs.h"
#include "support/PseudoTerminal.h"
#include "support/TestSupport.h"

using platform::UsbBridgePresence;

namespace {

namespace fs = std::filesystem;

constexpr int cpVendor = platform::ComPortMap::cp210xVendor;
constexpr int cpProduct = platform::ComPortMap::cp210xProduct;

// A USB device of the fake tree and what the kernel made of its first interface.
struct FakeUsbDevice {
    const char* name;    // "1-2"
    const char* vendor;  // the idVendor file's text
    const char* product;
    const char* driver;  // the interface's driver, "" for none
    bool tty;            // the interface holds ttyUSB0
};

// A fake sysfs tree and a private COM port map that knows no device of this machine.
class UsbSerialDriverTest : public ::testing::Test {
protected:
    UsbSerialDriverTest() {
        platform::ComPortMap::setProcessEnumerator([] { return std::vector<platform::SerialDeviceInfo>(); });
    }
    ~UsbSerialDriverTest() override { platform::ComPortMap::setProcessEnumerator(nullptr); }

    std::string root() const { return sysfs_.root(); }

    static UsbBridgePresence presence() {
        return platform::usbSerialBridgePresence(cpVendor, cpProduct, "cp210x");
    }

    testsupport::TempDir dir_;
    testsupport::FakeSysfs sysfs_{dir_.file("sys")};
    testsupport::ScopedEnv map_{"NUK_COMPORTS", dir_.file("comports.ini").c_str()};
};

TEST_F(UsbSerialDriverTest, TellsANoDeviceFromADeviceWithoutDriverFromAReadyOne) {
    const FakeUsbDevice hub{"usb1", "1d6b", "0002", "hub", false};
    const FakeUsbDevice mouse{"1-1", "046d", "c077", "usbhid", false};
    const FakeUsbDevice ftdi{"1-3", "0403", "6001", "ftdi_sio", true};
    const FakeUsbDevice bare{"1-2", "10c4", "ea60", "", false};
    const FakeUsbDevice otherDriver{"1-2", "10c4", "ea60", "usbfs", false};
    const FakeUsbDevice bound{"1-2", "10C4", "EA60", "cp210x", true};
    const FakeUsbDevice boundNoTtyYet{"1-2", "10c4", "ea60", "cp210x", false};
    const FakeUsbDevice ttyOnly{"1-2", "10c4", "ea60", "", true};
    const FakeUsbDevice secondBare{"1-4.1", "10c4", "ea60", "", false};
    struct Case {
        const char* what;
        std::vector<FakeUsbDevice> devices;
        UsbBridgePresence expected;
    } cases[] = {
        {"nothing on the bus", {}, UsbBridgePresence::noDevice},
        {"other devices, another bridge with its driver", {hub, mouse, ftdi}, UsbBridgePresence::noDevice},
        {"a CP210x no driver took", {hub, bare}, UsbBridgePresence::deviceWithoutDriver},
        {"a CP210x held by another driver", {otherDriver}, UsbBridgePresence::deviceWithoutDriver},
        {"a CP210x with driver and port", {hub, mouse, bound}, UsbBridgePresence::ready},
        {"a CP210x bound, its port still coming", {boundNoTtyYet}, UsbBridgePresence::ready},
        {"a CP210x port without driver link", {ttyOnly}, UsbBridgePresence::ready},
        {"two CP210x, one ready", {secondBare, bound}, UsbBridgePresence::ready},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sysfs_.clear();
        for (const FakeUsbDevice& d : c.devices) sysfs_.plug(d.name, d.vendor, d.product, d.driver, d.tty);
        EXPECT_EQ(presence(), c.expected);
    }
    // Without sysfs at all (a container) nothing is plugged in.
    fs::remove_all(root());
    EXPECT_EQ(presence(), UsbBridgePresence::noDevice);
}

// The virtual board's pseudo-terminal, registered as a CP210x port, is a ready bridge without
// any USB device; a plain pseudo-terminal in the map is none.
TEST_F(UsbSerialDriverTest, AVirtualBoardIsAReadyBridge) {
    testsupport::PseudoTerminal board, other;
    ASSERT_TRUE(board.ok() && other.ok());
    platform::ComPortMap map;
    ASSERT_FALSE(map.registerDevice(other.path(), false).empty());
    EXPECT_EQ(presence(), UsbBridgePresence::noDevice);
    const std::string name = map.registerDevice(board.path(), true);
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(presence(), UsbBridgePresence::ready);
    // Only the CP210x driver stands in for the virtual board.
    EXPECT_EQ(platform::usbSerialDriver("cp210x").active, true);
    EXPECT_EQ(platform::usbSerialBridgePresence(0x0403, 0x6001, "ftdi_sio"), UsbBridgePresence::noDevice);
    ASSERT_TRUE(map.unregister(name));
    EXPECT_EQ(presence(), UsbBridgePresence::noDevice);
}

// The driver's state is read from the same tree: loaded when the USB serial core lists it, its
// version the module's own or else the kernel's numbers.
TEST_F(UsbSerialDriverTest, TheDriverStateComesFromTheSameTree) {
    fs::create_directories(root() + "/bus/usb-serial/drivers/cp210x");
    fs::create_directories(root() + "/module/cp210x");
    platform::UsbSerialDriverState state = platform::usbSerialDriver("cp210x");
    EXPECT_TRUE(state.installed);
    EXPECT_TRUE(state.active);
    EXPECT_TRUE(state.error.empty()) << state.error;
    ASSERT_FALSE(state.version.empty());
    EXPECT_EQ(state.version.find_first_not_of("0123456789."), std::string::npos) << state.version;

    std::ofstream(root() + "/module/cp210x/version") << "4.40\n";
    EXPECT_EQ(platform::usbSerialDriver("cp210x").version, "4.40");
}

}  // namespace
