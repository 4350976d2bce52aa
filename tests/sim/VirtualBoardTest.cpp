// The virtual board over its pseudo-terminal, seen from the program's side with plain termios.
#include "sim/BoardFirmware.h"
#include "sim/VirtualBoard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/ComPortMap.h"
#include "support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

int msSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The program's end of the line, as a serial port program would use it.
class ProgramPort {
public:
    ~ProgramPort() { close(); }

    bool open(const SString& path, speed_t speed = B115200) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) return false;
        setLine(speed, CS8);
        tcflush(fd_, TCIOFLUSH);
        return true;
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Raw 8-bit line at a speed; cflag adds data bits, parity and stop bits.
    void setLine(speed_t speed, tcflag_t cflag) {
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
        t.c_cflag |= cflag | CLOCAL | CREAD;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
    }
    void write(const std::string& bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until the text holds `until` (empty: until the time is up) or the time is up.
    std::string read(int ms, const std::string& until = "", std::size_t atLeast = 0) {
        std::string got;
        auto start = Clock::now();
        for (;;) {
            if (!until.empty() && got.find(until) != std::string::npos) break;
            if (atLeast > 0 && got.size() >= atLeast) break;
            int left = ms - msSince(start);
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) continue;
            if (p.revents & POLLHUP) {
                hangup_ = true;
                break;
            }
            char buffer[4096];
            ssize_t n = ::read(fd_, buffer, sizeof(buffer));
            if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    int fd() const { return fd_; }
    bool sawHangup() const { return hangup_; }

private:
    int fd_ = -1;
    bool hangup_ = false;
};

std::string adapter(char command) {
    return std::string(reinterpret_cast<const char*>(RavlinkAdapter::prefix), 7) + command;
}

struct Frame {
    int id;
    int value;
};

// Cuts frames off the front of a stream; stops at the first byte that is no frame id.
std::vector<Frame> takeFrames(std::string& stream) {
    std::vector<Frame> out;
    std::size_t i = 0;
    while (i + 2 < stream.size() && stream[i] >= 1 && stream[i] <= 4) {
        out.push_back(
            {stream[i], static_cast<uint8_t>(stream[i + 1]) | static_cast<uint8_t>(stream[i + 2]) << 8});
        i += 3;
    }
    stream.erase(0, i);
    return out;
}

class VirtualBoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        options_.seed = 11;
        options_.timeScale = 100.0;
    }
    void startBoard() {
        ASSERT_TRUE(board_.start(options_)) << board_.getError().str();
        ASSERT_TRUE(port_.open(board_.getDevicePath()));
    }
    // Sends a command and reads until its answer line has arrived.
    std::string ask(const std::string& command, const std::string& answerEnd, int ms = 2000) {
        port_.write(command);
        return port_.read(ms, answerEnd);
    }

    VirtualBoard::Options options_;
    VirtualBoard board_;
    ProgramPort port_;
};

TEST_F(VirtualBoardTest, AnswersVersionAndUnknownCommandsAtOnce) {
    options_.timeScale = 1.0;
    startBoard();
    auto start = Clock::now();
    EXPECT_EQ(ask("ver\n", "\n", 200), BoardFirmware::versionAnswer);
    EXPECT_LT(msSince(start), 200);
    EXPECT_EQ(ask("kaputt\n", "\n"), BoardFirmware::errorAnswer);
    std::string id = ask(adapter('v'), "\r\n");
    EXPECT_NE(id.find("Ravlink"), std::string::npos) << id;
    EXPECT_TRUE(id.ends_with("\r\n"));
    EXPECT_EQ(port_.read(100), "") << "nothing unasked";
}

TEST_F(VirtualBoardTest, StartStreamsOneRunOfTheModelThenEnds) {
    startBoard();
    port_.write("start\n");
    // One reading of the empty capacitor, then one run: 300 charging samples and 300
    // discharging ones (0.6 s at scale 100), then the end line.
    std::string stream = port_.read(10000, BoardFirmware::endAnswer);
    ASSERT_EQ(stream.substr(0, 9), "OK start\n");
    stream.erase(0, 9);
    std::vector<Frame> f = takeFrames(stream);
    ASSERT_EQ(f.size(), 2u + 600 * 3);
    EXPECT_EQ(f[0].id, 3);
    EXPECT_EQ(f[1].id, 4);
    EXPECT_LE(f[0].value, BoardFirmware::emptyCounts);
    f.erase(f.begin(), f.begin() + 2);
    EXPECT_EQ(stream, BoardFirmware::endAnswer) << "the end line follows the last set";

    const RcCircuit& rc = board_.getCircuit();
    const double tau = rc.getTau();
    for (int k = 0; k < 600; ++k) {
        RcCircuit::Sample s = rc.sample(k);
        const Frame* set = &f[static_cast<std::size_t>(k) * 3];
        bool charging = k < 300;
        ASSERT_EQ(set[0].id, charging ? 1 : 2) << k;
        ASSERT_EQ(set[1].id, 3) << k;
        ASSERT_EQ(set[2].id, 4) << k;
        ASSERT_EQ(set[0].value, s.capacitorCounts) << k;
        ASSERT_EQ(set[1].value, s.capacitorCounts) << k;
        ASSERT_EQ(set[2].value, s.resistorCounts) << k;
        // Against the textbook curve, within the noise of one count.
        double t = k * 0.1;
        double ideal = charging ? 1023 * (1 - std::exp(-t / tau))
                                : 1023 * (1 - std::exp(-30 / tau)) * std::exp(-(t - 30) / tau);
        ASSERT_LE(std::fabs(set[0].value - ideal), 1.5) << k;
        double current = charging ? 1023 - ideal : ideal;
        ASSERT_LE(std::fabs(set[2].value - current), 1.5) << k;
    }
    // 63 % after tau (sample 47), 37 % of the top after tau of discharging (sample 347).
    EXPECT_NEAR(f[47 * 3].value, 0.632 * 1023, 2.0);
    EXPECT_NEAR(f[347 * 3].value, 0.367 * 1022, 2.0);

    EXPECT_EQ(port_.read(150), "") << "nothing after the run";
    EXPECT_FALSE(board_.isMeasuring());
    EXPECT_EQ(board_.getFramesSent(), static_cast<int64_t>(2 + f.size()));

    // Stop ends a run at once: frames stay whole and the answer comes after them.
    port_.write("start\n");
    std::string next = port_.read(2000, "", 9 + 6 + 30 * 9);
    ASSERT_EQ(next.substr(0, 9), "OK start\n");
    port_.write("stop\n");
    std::string rest = next.substr(9) + port_.read(2000, "OK stop\n");
    takeFrames(rest);
    EXPECT_EQ(rest, "OK stop\n");
    EXPECT_EQ(port_.read(150), "");
    EXPECT_FALSE(board_.isMeasuring());
}

TEST_F(VirtualBoardTest, BehindTheAdapterTheFirmwareNeedsPassThroughAndSupply) {
    options_.adapter = true;
    startBoard();
    // In programmer mode the adapter's programmer takes the bytes; the firmware hears nothing.
    EXPECT_EQ(ask("ver\n", "\n", 300).find(BoardFirmware::versionAnswer), std::string::npos) << "programmer mode";
    EXPECT_EQ(ask(adapter('d'), "\n"), "RS232 durchgeschaltet\r\n");
    EXPECT_EQ(ask("ver\n", "\n", 300), "") << "no supply";
    EXPECT_EQ(ask(adapter('+'), "\n"), "Versorgung ein\r\n");
    EXPECT_EQ(ask("ver\n", "\n"), BoardFirmware::versionAnswer);

    std::string stream = ask("start\n", "", 9 + 30 * 9);
    ASSERT_TRUE(stream.starts_with("OK start\n"));
    // Supply off: the answer, then silence, also after the supply returns (the controller
    // restarted and waits for a new "start").
    std::string off = ask(adapter('-'), "Versorgung aus\r\n");
    ASSERT_TRUE(off.ends_with("Versorgung aus\r\n"));
    EXPECT_FALSE(board_.isMeasuring());
    EXPECT_EQ(port_.read(200), "");
    EXPECT_EQ(ask(adapter('+'), "\n"), "Versorgung ein\r\n");
    EXPECT_EQ(port_.read(200), "");
    EXPECT_EQ(ask("ver\n", "\n"), BoardFirmware::versionAnswer);

    // Frames do not pass in programmer mode, although the firmware goes on measuring.
    ask("start\n", "OK start\n");
    EXPECT_EQ(ask(adapter('p'), "Programmiermodus\r\n").find("Programmiermodus\r\n") != std::string::npos,
              true);
    EXPECT_EQ(port_.read(200), "");
    EXPECT_TRUE(board_.isMeasuring());
    EXPECT_EQ(ask("ver\n", "\n", 300).find(BoardFirmware::versionAnswer), std::string::npos);
}

TEST_F(VirtualBoardTest, SeesTheProgramsSettingsAndSurvivesItsClose) {
    startBoard();
    struct Case {
        speed_t speed;
        tcflag_t cflag;
        const char* text;
    } cases[] = {
        {B115200, CS8, "115200,N,8,1"},
        // The pseudo-terminal driver drops PARENB and the character size: even parity reads
        // as none and 7 data bits as 8.
        {B19200, CS8 | PARENB, "19200,N,8,1"},
        {B9600, CS7 | PARENB | PARODD | CSTOPB, "9600,O,8,2"},
        {B57600, CS8 | PARENB | CMSPAR | PARODD, "57600,M,8,1"},
        {B1200, CS8 | PARENB | CMSPAR, "1200,S,8,1"},
    };
    for (const Case& c : cases) {
        port_.setLine(c.speed, c.cflag);
        LineSettings s;
        ASSERT_TRUE(board_.getLineSettings(s));
        EXPECT_EQ(s.toText().str(), c.text);
    }
    // The program closes its port and opens it again: the board is still there.
    port_.close();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_TRUE(port_.open(board_.getDevicePath()));
    EXPECT_EQ(ask("ver\n", "\n"), BoardFirmware::versionAnswer);
    EXPECT_TRUE(board_.isRunning());
}

TEST_F(VirtualBoardTest, RealisticTimingNeedsTheFirmwaresBaudRateAndTakesLineTime) {
    options_.realisticTiming = true;
    // A run long enough to be still streaming when the line is changed below.
    options_.circuit.halfCycle = 300.0;
    startBoard();
    EXPECT_EQ(ask("ver\n", "\n", 500), BoardFirmware::versionAnswer);
    port_.setLine(B19200, CS8);
    EXPECT_EQ(ask("ver\n", "\n", 300), "") << "the firmware hears only framing errors";
    // The adapter answers at any rate, but its 25 characters take 10 bits each at 1200 baud.
    port_.setLine(B1200, CS8);
    auto start = Clock::now();
    std::string id = ask(adapter('v'), "\r\n", 2000);
    int ms = msSince(start);
    EXPECT_EQ(id, "Ravlink USB-Adapter 2.1\r\n");
    EXPECT_GE(ms, 25 * 10 * 1000 / 1200 - 20);
    EXPECT_LT(ms, 800);
    port_.setLine(B115200, CS8);
    EXPECT_EQ(ask("ver\n", "\n", 500), BoardFirmware::versionAnswer);

    // Measuring at 100 times the speed: 9000 bytes a second fit the line's 11520.
    std::string stream = ask("start\n", "", 9 + 900);
    port_.setLine(B9600, CS8);
    port_.read(50);
    tcflush(port_.fd(), TCIFLUSH);
    std::string garbage = port_.read(300);
    // At 9600 baud the program catches one character in twelve, none of them a clean frame set.
    EXPECT_GT(garbage.size(), 50u);
    EXPECT_LT(garbage.size(), 600u);
    EXPECT_TRUE(board_.isMeasuring());
}

TEST_F(VirtualBoardTest, StopUnplugsTheBoard) {
    startBoard();
    board_.stop();
    pollfd p{port_.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    char c;
    EXPECT_LE(::read(port_.fd(), &c, 1), 0);
    EXPECT_FALSE(board_.isRunning());
}

TEST_F(VirtualBoardTest, RegistersInTheComPortMapAsCp210xWhileRunning) {
    testsupport::TempDir dir;
    options_.registerPort = true;
    options_.comName = "com9";
    options_.comPortsFile = SString(dir.file("comports.ini"));
    startBoard();
    EXPECT_EQ(board_.getComName().str(), "com9");
    platform::ComPortMap map(dir.file("comports.ini"));
    EXPECT_EQ(map.deviceFor("COM9"), board_.getDevicePath().str());
    bool listed = false;
    for (const auto& [value, name] : map.serialCommListing())
        if (name == "COM9") listed = value.find("Silabser") != std::string::npos;
    EXPECT_TRUE(listed);
    board_.stop();
    EXPECT_EQ(map.deviceFor("com9"), "");
}

TEST_F(VirtualBoardTest, RefusesImpossibleSettings) {
    struct Case {
        void (*change)(VirtualBoard::Options&);
    } cases[] = {
        {[](VirtualBoard::Options& o) { o.circuit.resistance = 0; }},
        {[](VirtualBoard::Options& o) { o.circuit.capacitance = -1e-6; }},
        {[](VirtualBoard::Options& o) { o.circuit.sampleRate = 0; }},
        {[](VirtualBoard::Options& o) { o.circuit.halfCycle = std::nan(""); }},
        {[](VirtualBoard::Options& o) { o.timeScale = 1e9; }},
    };
    for (const Case& c : cases) {
        VirtualBoard::Options o;
        c.change(o);
        VirtualBoard board;
        EXPECT_FALSE(board.start(o));
        EXPECT_TRUE(board.getError().startsWith("Fehler: Ung\xFCltige Einstellung"))
            << board.getError().str();
        EXPECT_FALSE(board.isRunning());
    }
}

}  // namespace
