#include "platform/SerialDevice.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sys/ioctl.h>
#include <thread>

#include "support/PseudoTerminal.h"

using platform::SerialDevice;
using platform::SerialSettings;
using testsupport::PseudoTerminal;

namespace {

using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(SerialDeviceTest, ConfigurationRecords) {
    struct Case {
        SerialSettings s;
        speed_t speed;
        tcflag_t size, parity;
        bool twoStops;
    };
    const Case cases[] = {
        {{115200, 0, 8, 0}, B115200, CS8, 0, false},
        {{19200, 2, 7, 0}, B19200, CS7, PARENB, false},
        {{9600, 1, 6, 2}, B9600, CS6, PARENB | PARODD, true},
        {{50, 3, 5, 1}, B50, CS5, PARENB | PARODD | CMSPAR, true},
        {{4000000, 4, 8, 0}, B4000000, CS8, PARENB | CMSPAR, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.s.baud);
        // Start from a cooked terminal with flow control, as a fresh device may be.
        termios t{};
        t.c_iflag = ICRNL | IXON | IXOFF | INPCK;
        t.c_oflag = OPOST | ONLCR;
        t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
        t.c_cflag = CS7 | PARENB | CRTSCTS | CSTOPB | HUPCL;
        ASSERT_TRUE(SerialDevice::configure(c.s, t));
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(cfgetispeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, c.size);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parity);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStops);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD | CRTSCTS), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_NE(t.c_cflag & HUPCL, 0u);  // left as found
        EXPECT_EQ(t.c_iflag, 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    }
    const SerialSettings bad[] = {{0, 0, 8, 0},    {12345, 0, 8, 0}, {9600, 0, 4, 0}, {9600, 0, 9, 0},
                                  {9600, 5, 8, 0}, {9600, 0, 8, 3},  {-9600, 0, 8, 0}};
    for (const SerialSettings& s : bad) {
        termios t{};
        EXPECT_FALSE(SerialDevice::configure(s, t)) << s.baud << " " << s.dataBits << " " << s.parity;
    }
}

// The virtual board reads the program's rate back from the speed code: both directions agree.
TEST(SerialDeviceTest, SpeedCodesAndBaudRatesAgree) {
    for (int baud : {50, 1200, 9600, 19200, 38400, 57600, 115200, 230400, 1000000, 4000000}) {
        unsigned code = 0;
        ASSERT_TRUE(SerialDevice::speedCode(baud, code)) << baud;
        EXPECT_EQ(SerialDevice::baudOfCode(code), baud);
    }
    EXPECT_EQ(SerialDevice::baudOfCode(0xFFFFu), 0);
}

TEST(SerialDeviceTest, OpensExclusivelyAndRestoresAtClose) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    const termios before = pty.settings();
    SerialDevice device;
    ASSERT_TRUE(device.open(pty.path())) << device.lastErrorText();
    EXPECT_EQ(device.path(), pty.path());

    // A pseudo-terminal has no modem lines: raising DTR and RTS is no failure there.
    EXPECT_TRUE(device.raiseDtrRts());
    EXPECT_FALSE(device.hasModemLines());

    int exclusive = 0;
    ASSERT_EQ(ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    SerialDevice other;
    EXPECT_FALSE(other.open(pty.path()));
    EXPECT_EQ(other.lastError(), EBUSY);

    ASSERT_TRUE(device.apply({57600, 4, 7, 2}));
    termios t = pty.settings();
    EXPECT_EQ(cfgetospeed(&t), B57600);
    EXPECT_EQ(t.c_cflag & (CMSPAR | PARODD | CSTOPB), static_cast<tcflag_t>(CMSPAR | CSTOPB));
    EXPECT_EQ(t.c_lflag & ICANON, 0u);

    ASSERT_TRUE(device.restoreSaved());
    device.close();
    t = pty.settings();
    EXPECT_EQ(t.c_lflag, before.c_lflag);
    EXPECT_EQ(t.c_cflag, before.c_cflag);
    EXPECT_EQ(cfgetospeed(&t), cfgetospeed(&before));
    // TIOCEXCL is the terminal's, not the descriptor's: close must clear it, or the next open
    // of a device the board side keeps open would fail for ordinary users.
    ASSERT_EQ(ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    SerialDevice again;
    EXPECT_TRUE(again.open(pty.path()));
}

TEST(SerialDeviceTest, ReadsTimeOutGetDataAndSeeTheHangUp) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    SerialDevice device;
    ASSERT_TRUE(device.open(pty.path()));
    ASSERT_TRUE(device.apply({115200, 0, 8, 0}));
    uint8_t buf[64];
    std::size_t got = 99;

    auto start = Clock::now();
    EXPECT_EQ(device.read(buf, sizeof buf, 50, &got), SerialDevice::ReadStatus::timeout);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(msSince(start), 45);

    ASSERT_TRUE(pty.send("abc"));
    ASSERT_EQ(device.read(buf, sizeof buf, 1000, &got), SerialDevice::ReadStatus::data);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), got), "abc");

    // Purge drops what is queued.
    ASSERT_TRUE(pty.send("old"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(device.purge());
    EXPECT_EQ(device.read(buf, sizeof buf, 30, &got), SerialDevice::ReadStatus::timeout);

    // Another thread wakes a waiting read at once.
    start = Clock::now();
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        device.cancelRead();
    });
    EXPECT_EQ(device.read(buf, sizeof buf, 5000, &got), SerialDevice::ReadStatus::interrupted);
    waker.join();
    EXPECT_LT(msSince(start), 1000);

    // The far side closes: a hang-up, reported at once and again on every later read.
    pty.closeMaster();
    start = Clock::now();
    EXPECT_EQ(device.read(buf, sizeof buf, 5000, &got), SerialDevice::ReadStatus::hangUp);
    EXPECT_EQ(device.read(buf, sizeof buf, 5000, &got), SerialDevice::ReadStatus::hangUp);
    EXPECT_LT(msSince(start), 1000);
    EXPECT_FALSE(device.writeAll(buf, 1, 100));
}

TEST(SerialDeviceTest, WritesEverythingOrTimesOut) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    SerialDevice device;
    ASSERT_TRUE(device.open(pty.path()));
    ASSERT_TRUE(device.apply({115200, 0, 8, 0}));

    std::string data(20000, 'x');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    std::string received;
    std::thread board([&] { received = pty.receive(data.size(), 3000); });
    EXPECT_TRUE(device.writeAll(reinterpret_cast<const uint8_t*>(data.data()), data.size(), 3000));
    board.join();
    EXPECT_EQ(received, data);

    // Nobody reads: the queue fills and the write gives up after its time.
    std::string big(1 << 20, 'y');
    auto start = Clock::now();
    EXPECT_FALSE(device.writeAll(reinterpret_cast<const uint8_t*>(big.data()), big.size(), 100));
    EXPECT_EQ(device.lastError(), ETIMEDOUT);
    EXPECT_GE(msSince(start), 90);
    EXPECT_LT(msSince(start), 1000);
    EXPECT_FALSE(device.lastErrorText().empty());
}

TEST(SerialDeviceTest, FailuresCarryTheSystemsReason) {
    SerialDevice device;
    EXPECT_FALSE(device.open("/nonexistent/tty"));
    EXPECT_EQ(device.lastError(), ENOENT);
    EXPECT_FALSE(device.isOpen());
    // A file that is not a terminal is no serial device.
    EXPECT_FALSE(device.open("/dev/null"));
    EXPECT_EQ(device.lastError(), ENOTTY);
    EXPECT_FALSE(device.apply({9600, 0, 8, 0}));
    EXPECT_EQ(device.lastError(), EBADF);
    uint8_t b = 0;
    std::size_t got = 0;
    EXPECT_EQ(device.read(&b, 1, 10, &got), SerialDevice::ReadStatus::error);
}

// Only a refusal counts against a device: a missing or busy one is for open() to report.
TEST(SerialDeviceTest, MayOpenIsFalseOnlyForARefusal) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    EXPECT_TRUE(SerialDevice::mayOpen(pty.path()));
    EXPECT_TRUE(SerialDevice::mayOpen("/nonexistent/tty"));
    SerialDevice holder;
    ASSERT_TRUE(holder.open(pty.path()));
    EXPECT_TRUE(SerialDevice::mayOpen(pty.path()));

    // An installed open function answers in the system's place.
    struct Case {
        int error;
        bool mayOpen;
    } cases[] = {{EACCES, false}, {EPERM, false}, {EBUSY, true}, {ENOENT, true}};
    static int refusal = 0;
    for (const Case& c : cases) {
        refusal = c.error;
        SerialDevice::setOpenFunction(+[](const char*, int) -> int {
            errno = refusal;
            return -1;
        });
        EXPECT_EQ(SerialDevice::mayOpen(pty.path()), c.mayOpen) << c.error;
    }
    SerialDevice::setOpenFunction(nullptr);
}

}  // namespace
