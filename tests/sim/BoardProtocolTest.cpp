// The board's protocol parts without a pseudo-terminal: firmware, adapter and serial line,
// driven with explicit times.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "sim/BoardFirmware.h"
#include "sim/RavlinkAdapter.h"
#include "sim/SerialLine.h"

namespace {

class Collect : public SimSink {
public:
    void send(const uint8_t* bytes, std::size_t count, int frames) override {
        text.append(reinterpret_cast<const char*>(bytes), count);
        this->frames += frames;
    }
    std::string take() {
        std::string t;
        t.swap(text);
        return t;
    }
    std::string text;
    int frames = 0;
};

void type(SimPeer& peer, const std::string& bytes, SimTime now = 0) {
    for (char c : bytes) peer.onByte(static_cast<uint8_t>(c), now);
}

struct Frame {
    int id;
    int value;
};

std::vector<Frame> frames(const std::string& bytes) {
    std::vector<Frame> out;
    EXPECT_EQ(bytes.size() % 3, 0u);
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 3)
        out.push_back({static_cast<uint8_t>(bytes[i]),
                       static_cast<uint8_t>(bytes[i + 1]) | static_cast<uint8_t>(bytes[i + 2]) << 8});
    return out;
}

class FirmwareTest : public ::testing::Test {
protected:
    FirmwareTest() : circuit_(params(), 7), firmware_(circuit_) { firmware_.setSink(&out_); }
    static RcParameters params() {
        RcParameters p;
        p.halfCycle = 1.0;  // 10 samples per half cycle
        return p;
    }
    static constexpr SimTime period = 100'000'000;  // 10 samples per second
    RcCircuit circuit_;
    BoardFirmware firmware_;
    Collect out_;
};

TEST_F(FirmwareTest, AnswersEachCommandWithOneLine) {
    struct Case {
        std::string sent;
        std::string answer;
    } cases[] = {
        {"ver\n", BoardFirmware::versionAnswer},
        {"ver\r\n", BoardFirmware::versionAnswer},
        {"  stop \n", "OK stop\n"},
        {"VER\n", BoardFirmware::errorAnswer},
        {"verx\n", BoardFirmware::errorAnswer},
        {"\n", ""},
        {"\r\n", ""},
        {std::string(40, 'v') + "\n", BoardFirmware::errorAnswer},
        // The line after an overlong one is read normally again.
        {std::string(33, 'x') + "\nver\n",
         std::string(BoardFirmware::errorAnswer) + BoardFirmware::versionAnswer},
    };
    for (const Case& c : cases) {
        type(firmware_, c.sent);
        EXPECT_EQ(out_.take(), c.answer) << c.sent;
    }
    EXPECT_FALSE(firmware_.isMeasuring());
}

TEST_F(FirmwareTest, OneRunIsOneSetOfFramesPerSampleThenTheEndLine) {
    const SimTime t0 = 1'000'000'000;
    type(firmware_, "start\n", t0);
    EXPECT_EQ(out_.take(), "OK start\n");
    EXPECT_TRUE(firmware_.isMeasuring());
    // The first sample (t = 0) comes after the pause that lets the program switch its splitter
    // on; the capacitor is empty, so one reading half way (frames 3 and 4) is all before it.
    const SimTime first = t0 + BoardFirmware::startDelay;
    firmware_.poll(first - 1);
    std::vector<Frame> before = frames(out_.take());
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0].id, 3);
    EXPECT_EQ(before[1].id, 4);
    EXPECT_EQ(firmware_.nextDue(), first);

    // One run: 10 charging and 10 discharging samples, then "OK Ende" and nothing more.
    firmware_.poll(first + 25 * period);
    const std::string stream = out_.take();
    const std::string end = BoardFirmware::endAnswer;
    ASSERT_GE(stream.size(), end.size());
    EXPECT_EQ(stream.substr(stream.size() - end.size()), end);
    std::vector<Frame> f = frames(stream.substr(0, stream.size() - end.size()));
    ASSERT_EQ(f.size(), 20u * 3);
    for (int k = 0; k < 20; ++k) {
        RcCircuit::Sample s = circuit_.sample(k);
        const Frame* set = &f[static_cast<std::size_t>(k) * 3];
        EXPECT_EQ(s.phase, k < 10 ? RcCircuit::charging : RcCircuit::discharging);
        EXPECT_EQ(set[0].id, s.phase == RcCircuit::charging ? 1 : 2) << k;
        EXPECT_EQ(set[0].value, s.capacitorCounts) << k;
        EXPECT_EQ(set[1].id, 3) << k;
        EXPECT_EQ(set[1].value, s.capacitorCounts) << k;
        EXPECT_EQ(set[2].id, 4) << k;
        EXPECT_EQ(set[2].value, s.resistorCounts) << k;
    }
    EXPECT_EQ(out_.frames, 2 + 20 * 3);
    EXPECT_FALSE(firmware_.isMeasuring());
    EXPECT_EQ(firmware_.nextDue(), simNever);
    EXPECT_EQ(firmware_.getSampleCount(), firmware_.samplesPerRun());
}

TEST_F(FirmwareTest, StopEndsTheRunAndTheNextStartEmptiesTheCapacitorFirst) {
    type(firmware_, "start\n", 0);
    const SimTime first = BoardFirmware::startDelay;
    firmware_.poll(first + 8 * period);  // samples 0 .. 8, charging
    type(firmware_, "stop\n", first + 8 * period + 1);
    const std::string stopped = out_.take();
    EXPECT_EQ(stopped.substr(stopped.size() - 8), "OK stop\n");
    firmware_.poll(first + 100 * period);
    EXPECT_EQ(out_.take(), "");
    EXPECT_EQ(firmware_.nextDue(), simNever);

    // Started again at once, the charged capacitor is emptied: readings of U_C and I every
    // period (U_R is U_C while discharging), falling with tau, until it reads empty; then the
    // run begins from 0 V, charging.
    const SimTime again = first + 8 * period + 2;
    const double charged = firmware_.capacitorVoltageAt(again);
    EXPECT_GT(charged, 0.5);
    type(firmware_, "start\n", again);
    EXPECT_EQ(out_.take(), "OK start\n");
    firmware_.poll(again + 400 * period);
    std::string stream = out_.take();
    const std::string end = BoardFirmware::endAnswer;
    if (stream.ends_with(end)) stream.resize(stream.size() - end.size());
    std::vector<Frame> f = frames(stream);
    std::size_t readings = 0;
    while (2 * readings + 1 < f.size() && f[2 * readings].id == 3) {
        EXPECT_EQ(f[2 * readings + 1].id, 4);
        EXPECT_EQ(f[2 * readings + 1].value, f[2 * readings].value);
        ++readings;
    }
    const double tau = circuit_.getTau();
    const double expectedReadings = tau * 10.0 * std::log(circuit_.toCounts(charged) / 1.5);
    EXPECT_NEAR(static_cast<double>(readings), expectedReadings, 0.1 * expectedReadings);
    EXPECT_NEAR(f[0].value, circuit_.toCounts(charged * std::exp(-0.1 / tau)), 3);
    EXPECT_LE(f[2 * (readings - 1)].value, BoardFirmware::emptyCounts);
    ASSERT_GT(f.size(), 2 * readings);
    EXPECT_EQ(f[2 * readings].id, 1);
    EXPECT_LE(f[2 * readings].value, 2);
}

TEST_F(FirmwareTest, TimeScaleShortensThePeriodAndResetEndsTheRun) {
    BoardFirmware fast(circuit_, 100.0);
    fast.setSink(&out_);
    type(fast, "start\n", 0);
    out_.take();
    fast.poll(BoardFirmware::startDelay + period / 100 * 14);
    EXPECT_EQ(frames(out_.take()).size(), 2u + 15 * 3);
    // A half-typed command is lost with the supply, and so is the run.
    type(fast, "st", 0);
    fast.reset();
    EXPECT_FALSE(fast.isMeasuring());
    type(fast, "op\n", 0);
    EXPECT_EQ(out_.take(), BoardFirmware::errorAnswer);
    fast.poll(BoardFirmware::startDelay + period * 10);
    EXPECT_EQ(out_.take(), "");
}

class AdapterTest : public ::testing::Test {
protected:
    explicit AdapterTest(bool present = true) : adapter_(present, false) {
        adapter_.setSink(&answers_);
        adapter_.setForward([this](uint8_t b, SimTime) { forwarded_ += static_cast<char>(b); });
    }
    static std::string command(char c) {
        return std::string(reinterpret_cast<const char*>(RavlinkAdapter::prefix), 7) + c;
    }
    RavlinkAdapter adapter_;
    Collect answers_;
    std::string forwarded_;
};

TEST_F(AdapterTest, CommandsSwitchSupplyAndModeAndAnswerALine) {
    EXPECT_FALSE(adapter_.isSupplyOn());
    EXPECT_FALSE(adapter_.isPassThrough());
    type(adapter_, command('v'));
    std::string id = answers_.take();
    EXPECT_NE(id.find("Ravlink"), std::string::npos);
    EXPECT_TRUE(id.ends_with("\r\n"));
    type(adapter_, command('d'));
    EXPECT_TRUE(adapter_.isPassThrough());
    EXPECT_FALSE(adapter_.isFirmwareConnected()) << "no supply yet";
    type(adapter_, command('+'));
    EXPECT_TRUE(adapter_.isFirmwareConnected());
    type(adapter_, command('-'));
    EXPECT_FALSE(adapter_.isSupplyOn());
    type(adapter_, command('+') + command('p'));
    EXPECT_FALSE(adapter_.isPassThrough());
    type(adapter_, command('?'));
    // One line per command, each ending in "\n".
    std::string all = answers_.take();
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 6);
    EXPECT_TRUE(all.ends_with(RavlinkAdapter::errorAnswer));
    EXPECT_EQ(forwarded_, "") << "command bytes never reach the board";
    EXPECT_EQ(adapter_.getCommandCount(), 7);
}

TEST_F(AdapterTest, BytesOutsideCommandsPassInOrder) {
    const std::string p = command('v').substr(0, 7);
    // A broken prefix is passed on in full, and its breaking byte may start a new one.
    type(adapter_, "ab" + p.substr(0, 3) + "c" + p.substr(0, 2) + p + "v" + "z");
    EXPECT_EQ(forwarded_, "ab" + p.substr(0, 3) + "c" + p.substr(0, 2) + "z");
    EXPECT_NE(answers_.take().find("Ravlink"), std::string::npos);
    // A prefix start at the end of a block is released after a quiet pause.
    forwarded_.clear();
    type(adapter_, "x" + p.substr(0, 4), 1000);
    EXPECT_EQ(forwarded_, "x");
    EXPECT_EQ(adapter_.nextDue(), 1000 + RavlinkAdapter::holdTime);
    adapter_.poll(1000 + RavlinkAdapter::holdTime - 1);
    EXPECT_EQ(forwarded_, "x");
    adapter_.poll(1000 + RavlinkAdapter::holdTime);
    EXPECT_EQ(forwarded_, "x" + p.substr(0, 4));
    EXPECT_EQ(adapter_.nextDue(), simNever);
    EXPECT_EQ(answers_.take(), "");
}

class DirectAdapterTest : public AdapterTest {
protected:
    DirectAdapterTest() : AdapterTest(false) {}
};

TEST_F(DirectAdapterTest, WithoutAdapterTheFirmwareIsAlwaysConnected) {
    EXPECT_TRUE(adapter_.isFirmwareConnected());
    type(adapter_, command('-') + command('p'));
    EXPECT_TRUE(adapter_.isFirmwareConnected());
    EXPECT_EQ(answers_.take(), "Versorgung aus\r\nProgrammiermodus\r\n");
}

TEST(SerialLineTest, WithoutRealisticTimingBytesArriveAtOnce) {
    SerialLine line;
    line.setHostSettings({1200, 7, 'E', 2});  // ignored
    const uint8_t bytes[] = {1, 2, 3};
    line.fromDevice(bytes, 3, 500);
    line.fromHost('x', 500);
    std::vector<uint8_t> out;
    line.takeForHost(500, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3}));
    uint8_t b = 0;
    EXPECT_TRUE(line.takeForDevice(500, b));
    EXPECT_EQ(b, 'x');
    EXPECT_EQ(line.nextDue(), simNever);
}

TEST(SerialLineTest, RealisticTimingPacesBytesAtTheCharacterTime) {
    SerialLine line;
    line.setRealistic(true);
    line.setDeviceSettings({115200, 8, 'N', 1});
    line.setHostSettings({115200, 8, 'N', 1});
    const int64_t charTime = 86805;  // 10 bits at 115200 baud
    ASSERT_EQ(LineSettings({115200, 8, 'N', 1}).charTimeNs(), charTime);
    std::vector<uint8_t> data(100, 0x55);
    line.fromDevice(data.data(), data.size(), 0);
    std::vector<uint8_t> out;
    line.takeForHost(charTime - 1, out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(line.nextDue(), charTime);
    line.takeForHost(10 * charTime, out);
    EXPECT_EQ(out.size(), 10u);
    // A pause on the sender's side does not let later bytes catch up.
    line.takeForHost(100 * charTime, out);
    EXPECT_EQ(out.size(), 100u);
    line.fromDevice(data.data(), 2, 200 * charTime);
    line.takeForHost(201 * charTime, out);
    EXPECT_EQ(out.size(), 101u);

    // The program's direction at its own settings: 8E2 is 12 bits per character.
    line.setHostSettings({9600, 8, 'E', 2});
    line.setDeviceSettings({9600, 8, 'E', 1});
    ASSERT_TRUE(line.settingsMatch()) << "stop bits need not agree";
    line.fromHost('a', 0);
    line.fromHost('b', 0);
    uint8_t b;
    const int64_t hostChar = 12 * 1'000'000'000LL / 9600;
    EXPECT_FALSE(line.takeForDevice(hostChar - 1, b));
    EXPECT_TRUE(line.takeForDevice(hostChar, b));
    EXPECT_FALSE(line.takeForDevice(2 * hostChar - 1, b));
    EXPECT_TRUE(line.takeForDevice(2 * hostChar, b));
    EXPECT_EQ(b, 'b');
}

TEST(SerialLineTest, DifferentSettingsLoseTheProgramsBytesAndGarbleTheBoards) {
    struct Case {
        LineSettings host;
        int expectedBytes;  // of 100 sent by the board
    } cases[] = {
        {{19200, 8, 'N', 1}, 16},  // a slower receiver catches fewer characters
        {{230400, 8, 'N', 1}, 100}, {{115200, 7, 'N', 1}, 100},
        {{115200, 8, 'O', 1}, 100}, {{115200, 8, 'M', 1}, 100},
    };
    std::vector<uint8_t> data;
    for (int i = 0; i < 100; ++i) data.push_back(static_cast<uint8_t>(i));
    for (const Case& c : cases) {
        SerialLine line;
        line.setRealistic(true);
        line.setDeviceSettings({115200, 8, 'N', 1});
        line.setHostSettings(c.host);
        EXPECT_FALSE(line.settingsMatch());
        for (char ch : std::string("ver\n")) line.fromHost(static_cast<uint8_t>(ch), 0);
        uint8_t b;
        EXPECT_FALSE(line.takeForDevice(simNever - 1, b)) << c.host.toText().str();
        EXPECT_EQ(line.getDroppedCount(), 4);
        line.fromDevice(data.data(), data.size(), 0);
        std::vector<uint8_t> out;
        line.takeForHost(simNever - 1, out);
        EXPECT_NEAR(static_cast<double>(out.size()), c.expectedBytes, 1.0) << c.host.toText().str();
        EXPECT_NE(out, std::vector<uint8_t>(data.begin(), data.begin() + static_cast<long>(out.size())));
    }
}

}  // namespace
