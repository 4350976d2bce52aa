// The shipped firmware (resources/firmware.hex) on the simulated ATmega8 with the RC circuit,
// driven with explicit board times: its dialogue, its frames and the curves they carry. The
// dialogue and run tests also run the image this build made from the source, where avr-gcc is
// installed: another compiler's bytes must behave as the shipped ones do.
#include "sim/SimAvrCore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "board/SHexFile.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SFileIni.h"
#include "sim/BoardFirmware.h"
#include "sim/VirtualBoard.h"
#include "stream/ExtDataManager.h"
#include "stream/ExtDataSetup.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "stream/SComPortSplitter.h"
#include "support/ExperimentChannels.h"
#include "support/TestSupport.h"

namespace {

constexpr SimTime ms = 1'000'000;
constexpr SimTime second = 1'000 * ms;

std::vector<uint8_t> firmwareImage(const std::string& path) {
    SHexFile hex;
    SMem image;
    EXPECT_TRUE(hex.loadFile(SString(path), image)) << hex.getError().str();
    EXPECT_GT(image.getSize(), 0u) << path;
    return std::vector<uint8_t>(image.getData(), image.getData() + image.getSize());
}

std::string shippedFirmwarePath() {
    return testsupport::sourceDir() + "/resources/firmware.hex";
}

std::vector<uint8_t> shippedFirmware() {
    return firmwareImage(shippedFirmwarePath());
}

// The image the build made from firmware/kondensator.c; absent without avr-gcc.
std::string builtFirmwarePath() {
    return testsupport::binaryDir() + "/firmware/firmware.hex";
}

struct Frame {
    int id;
    int value;
};

// The line's bytes taken apart as the program's splitter and dialogue see them: answer lines
// and frames [id 1..4][value, 16-bit little-endian]. Lines never start with 1..4.
struct Wire {
    std::vector<std::string> lines;
    std::vector<Frame> frames;
    // The frame index at which each line arrived.
    std::vector<std::size_t> lineAt;

    void add(const std::string& bytes) {
        for (char ch : bytes) {
            auto b = static_cast<uint8_t>(ch);
            if (frameLeft_ > 0) {
                frameValue_ |= b << (8 * (2 - frameLeft_));
                if (--frameLeft_ == 0) frames.push_back({frameId_, frameValue_});
            } else if (text_.empty() && b >= 1 && b <= 4) {
                frameId_ = b;
                frameValue_ = 0;
                frameLeft_ = 2;
            } else {
                text_ += ch;
                if (ch == '\n') {
                    lines.push_back(text_);
                    lineAt.push_back(frames.size());
                    text_.clear();
                }
            }
        }
    }
    // U_C of each reading (the id-3 frames): while the capacitor is emptied before a run,
    // then of each sample of the run.
    std::vector<int> capacitor() const {
        std::vector<int> v;
        for (const Frame& f : frames)
            if (f.id == 3) v.push_back(f.value);
        return v;
    }
    // U_C of each sample of the runs (the curves' frames 1 and 2).
    std::vector<int> curve() const {
        std::vector<int> v;
        for (const Frame& f : frames)
            if (f.id == 1 || f.id == 2) v.push_back(f.value);
        return v;
    }
    // The readings before a run: frames 3 and 4 without a curve frame before them.
    std::size_t prerunReadings() const {
        std::size_t n = 0;
        for (std::size_t i = 0; i < frames.size(); ++i)
            if (frames[i].id == 3 && (i == 0 || (frames[i - 1].id != 1 && frames[i - 1].id != 2))) ++n;
        return n;
    }

private:
    int frameLeft_ = 0;
    int frameId_ = 0;
    int frameValue_ = 0;
    std::string text_;
};

class Collect : public SimSink {
public:
    void send(const uint8_t* bytes, std::size_t count, int) override {
        text.append(reinterpret_cast<const char*>(bytes), count);
    }
    std::string take() {
        std::string t;
        t.swap(text);
        return t;
    }
    std::string text;
};

// tau fitted to U(t) = U_end + (U_begin - U_end) e^(-t/tau) by a straight line through
// ln|U - U_end| over the samples between 5 % and 95 % of the step.
double fitTau(const std::vector<int>& counts, double end, double step) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (std::size_t k = 0; k < counts.size(); ++k) {
        double distance = std::fabs(counts[k] - end);
        if (distance > 0.95 * step || distance < 0.05 * step) continue;
        double x = 0.1 * static_cast<double>(k);
        double y = std::log(distance);
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
        ++n;
    }
    double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return -1.0 / slope;
}

// The parameter names the firmware image: "shipped" or "built".
class SimAvrCoreTest : public ::testing::TestWithParam<std::string> {
protected:
    SimAvrCoreTest() : circuit_(RcParameters(), 3) {}
    void SetUp() override {
        const bool built = GetParam() == "built";
        const std::string path = built ? builtFirmwarePath() : shippedFirmwarePath();
        if (built && !std::filesystem::exists(path)) GTEST_SKIP() << "no firmware built (avr-gcc not installed)";
        memory_.setFlash(firmwareImage(path));
        core_ = std::make_unique<SimAvrCore>(circuit_, memory_);
        core_->setSink(&out_);
        // Power on a moment before the tests' time 0: bytes that arrive before the firmware
        // has set its UART up are lost, as on the real controller.
        core_->poll(-10 * ms);
        core_->runUntil(0);
    }
    // Types bytes at the time now and lets the controller run for a moment.
    std::string say(const std::string& bytes, SimTime& now, SimTime pause = 20 * ms) {
        for (char c : bytes) core_->onByte(static_cast<uint8_t>(c), now);
        now += pause;
        core_->runUntil(now);
        return out_.take();
    }
    // Runs until the time now, taking the line's bytes apart into wire.
    void runTo(SimTime now) {
        core_->runUntil(now);
        wire_.add(out_.take());
    }

    AvrMemory memory_;
    RcCircuit circuit_;
    std::unique_ptr<SimAvrCore> core_;
    Collect out_;
    Wire wire_;
};

TEST_P(SimAvrCoreTest, AnswersTheDialogueAsTheProtocolFirmwareDoes) {
    ASSERT_TRUE(core_->isRunning());
    BoardFirmware reference(circuit_);
    Collect referenceOut;
    reference.setSink(&referenceOut);
    const std::string cases[] = {
        "ver\n",
        "ver\r\n",
        "  stop \n",
        "VER\n",
        "verx\n",
        "\n",
        "\r\n",
        std::string(40, 'v') + "\n",
        std::string(33, 'x') + "\nver\n",  // the line after an overlong one counts again
        "start\n",
        "stop\n",
        "ver\nver\nstop\nbla\n",  // several at once
    };
    SimTime now = 0;
    for (const std::string& c : cases) {
        for (char ch : c) reference.onByte(static_cast<uint8_t>(ch), now);
        EXPECT_EQ(say(c, now), referenceOut.take()) << c;
    }
    EXPECT_FALSE(core_->isMeasuring());
}

TEST_P(SimAvrCoreTest, AFloodOfCommandsLosesLinesButNeverMisreadsThem) {
    // 100 commands at once ask for ten times as many answer bytes as they bring: the firmware
    // falls behind, its receive queue overflows, and the lines with lost bytes are refused.
    std::string flood;
    for (int i = 0; i < 100; ++i) flood += "ver\n";
    SimTime now = 0;
    Wire wire;
    wire.add(say(flood, now, second));
    ASSERT_FALSE(wire.lines.empty());
    ASSERT_LE(wire.lines.size(), 100u);
    std::size_t refused = 0;
    for (const std::string& line : wire.lines) {
        if (line == BoardFirmware::errorAnswer)
            ++refused;
        else
            ASSERT_EQ(line, BoardFirmware::versionAnswer);
    }
    EXPECT_GT(refused + (100 - wire.lines.size()), 0u) << "the queue never overflowed";
    EXPECT_TRUE(wire.frames.empty());
    // Afterwards the dialogue works as before.
    EXPECT_EQ(say("ver\n", now), BoardFirmware::versionAnswer);
}

TEST_P(SimAvrCoreTest, OneRunChargesAndDischargesWithTheCircuitsTimeConstantAndEnds) {
    SimTime now = 0;
    EXPECT_EQ(say("start\n", now, 5 * ms), "OK start\n");
    runTo(65 * second + 100 * ms);

    // The capacitor is empty already: one reading 100 ms after the start (frames 3 and 4 only),
    // then one set per 100 ms from 200 ms on, 300 charging and 300 discharging, then the line
    // "OK Ende" after the last set, and nothing more.
    EXPECT_EQ(wire_.prerunReadings(), 1u);
    ASSERT_EQ(wire_.frames.size(), 2u + 3 * 600);
    EXPECT_EQ(wire_.frames[0].id, 3);
    EXPECT_EQ(wire_.frames[1].id, 4);
    std::vector<int> uc = wire_.curve();
    ASSERT_EQ(uc.size(), 600u);
    EXPECT_EQ(core_->getSampleCount(), 600);
    for (std::size_t k = 0; k < uc.size(); ++k) {
        const Frame* set = &wire_.frames[2 + 3 * k];
        bool charging = k < 300;
        ASSERT_EQ(set[0].id, charging ? 1 : 2) << k;
        ASSERT_EQ(set[0].value, set[1].value) << k;
        ASSERT_EQ(set[1].id, 3) << k;
        ASSERT_EQ(set[2].id, 4) << k;
        // U_R: U0 - U_C while charging, U_C while discharging (within the noise).
        int expected = charging ? 1023 - set[1].value : set[1].value;
        ASSERT_NEAR(set[2].value, expected, 2) << k;
    }
    ASSERT_EQ(wire_.lines, std::vector<std::string>{"OK Ende\n"});
    EXPECT_EQ(wire_.lineAt[0], wire_.frames.size());
    EXPECT_FALSE(core_->isMeasuring());
    EXPECT_FALSE(core_->isChargePinHigh()) << "after the run the capacitor discharges";

    // Every run starts from 0 V and follows U0 (1 - e^(-t/tau)).
    EXPECT_LE(uc[0], 1);
    const double tau = circuit_.getTau();
    for (int k : {10, 47, 100, 299})
        EXPECT_NEAR(uc[k], 1023.0 * (1.0 - std::exp(-0.1 * k / tau)), 2.0) << k;

    std::vector<int> charge(uc.begin(), uc.begin() + 300);
    std::vector<int> discharge(uc.begin() + 300, uc.begin() + 600);
    EXPECT_NEAR(fitTau(charge, 1023.0, 1023.0), tau, 0.03 * tau);
    EXPECT_NEAR(fitTau(discharge, 0.0, discharge.front()), tau, 0.03 * tau);

    // The next start works as the first.
    EXPECT_EQ(say("start\n", now = 66 * second, 5 * ms), "OK start\n");
    runTo(70 * second);
    EXPECT_TRUE(core_->isMeasuring());
    EXPECT_GT(wire_.curve().size(), 600u);
}

TEST_P(SimAvrCoreTest, AnswersWhileStreamingAndStopsAtOnce) {
    SimTime now = 0;
    say("start\n", now, 5 * ms);
    // The commands come between samples (those are due 0.2 s + k * 0.1 s after the start).
    runTo(3050 * ms);
    std::size_t before = wire_.frames.size();
    ASSERT_GT(before, 0u);
    for (char c : std::string("ver\n")) core_->onByte(static_cast<uint8_t>(c), 3050 * ms);
    runTo(6050 * ms);
    for (char c : std::string("bla\nstop\n")) core_->onByte(static_cast<uint8_t>(c), 6050 * ms);
    runTo(9 * second);

    ASSERT_EQ(wire_.lines.size(), 3u);
    EXPECT_EQ(wire_.lines[0], BoardFirmware::versionAnswer);
    EXPECT_EQ(wire_.lines[1], BoardFirmware::errorAnswer);
    EXPECT_EQ(wire_.lines[2], "OK stop\n");
    // The answers come between whole sets of frames (after the one reading of the empty
    // capacitor before the run), the sets go on without a gap, and none follows the stop answer.
    ASSERT_EQ(wire_.prerunReadings(), 1u);
    for (std::size_t at : wire_.lineAt) EXPECT_EQ((at - 2) % 3, 0u);
    EXPECT_EQ(wire_.lineAt[2], wire_.frames.size());
    EXPECT_EQ(wire_.curve().size(), 59u);  // samples 0..58: 0.2 s .. 6.0 s after start
    EXPECT_FALSE(core_->isMeasuring());
    EXPECT_FALSE(core_->isChargePinHigh()) << "stopped: the capacitor discharges";
}

TEST_P(SimAvrCoreTest, StartDuringARunDischargesFirstAndTheDisplaysFollow) {
    SimTime now = 0;
    say("start\n", now, 5 * ms);
    runTo(10 * second);
    std::size_t firstRun = wire_.curve().size();
    double charged = core_->getCapacitorVoltage();
    ASSERT_GT(charged, 4.0);
    const std::size_t framesBefore = wire_.frames.size();
    for (char c : std::string("start\n")) core_->onByte(static_cast<uint8_t>(c), 10 * second);
    runTo(50 * second);

    ASSERT_EQ(wire_.lines.size(), 1u);
    EXPECT_EQ(wire_.lines[0], "OK start\n");
    // While the capacitor is emptied, every 100 ms a reading of U_C and I (frames 3 and 4)
    // shows it falling; no curve frame comes.
    std::vector<int> emptying;
    std::size_t i = framesBefore;
    for (; i + 1 < wire_.frames.size() && wire_.frames[i].id == 3; i += 2) {
        ASSERT_EQ(wire_.frames[i + 1].id, 4) << i;
        EXPECT_NEAR(wire_.frames[i + 1].value, wire_.frames[i].value, 2) << "U_R is U_C while discharging";
        emptying.push_back(wire_.frames[i].value);
    }
    // Discharging from about 4.4 V to a count or two takes about 6 tau = 29 s.
    ASSERT_GT(emptying.size(), 250u);
    ASSERT_LT(emptying.size(), 330u);
    EXPECT_GT(emptying.front(), 850);
    EXPECT_LE(emptying.back(), 1);
    EXPECT_NEAR(emptying[47], emptying.front() * std::exp(-1.0), 0.03 * emptying.front()) << "one tau later";

    // The new run begins once the capacitor is empty again: from 0 V (within the noise),
    // charging; the 40 s window then holds only about 11 s of samples.
    std::vector<int> uc = wire_.curve();
    ASSERT_GT(uc.size(), firstRun);
    EXPECT_EQ(wire_.frames[i].id, 1);
    EXPECT_LE(uc[firstRun], 3);
    EXPECT_GT(uc[firstRun + 50], 600);
    std::size_t secondRun = uc.size() - firstRun;
    EXPECT_GT(secondRun, 90u);
    EXPECT_LT(secondRun, 130u);
    EXPECT_EQ(core_->getSampleCount(), static_cast<int64_t>(secondRun));
}

INSTANTIATE_TEST_SUITE_P(Firmware, SimAvrCoreTest, ::testing::Values("shipped", "built"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(SimAvrCoreStartTest, ACapacitorThatDoesNotDischargeDelaysTheRunOnlyBriefly) {
    // A huge capacitor holding 2.5 V: it cannot be emptied, so the firmware starts the run once
    // the voltage stops falling instead of waiting for 0 V for ever.
    RcParameters p;
    p.capacitance = 1000.0;
    RcCircuit circuit(p, 4);
    AvrMemory memory;
    memory.setFlash(shippedFirmware());
    SimAvrCore core(circuit, memory);
    core.setCapacitorVoltage(2.5);
    Collect out;
    core.setSink(&out);
    core.poll(0);  // power on
    core.runUntil(10 * ms);
    for (char c : std::string("start\n")) core.onByte(static_cast<uint8_t>(c), 10 * ms);
    Wire wire;
    core.runUntil(4 * second);
    wire.add(out.take());
    EXPECT_EQ(wire.lines, std::vector<std::string>{"OK start\n"});
    // Meanwhile the displays get the voltage that does not fall (readings only, no curve).
    EXPECT_TRUE(wire.curve().empty());
    EXPECT_GT(wire.prerunReadings(), 30u);
    core.runUntil(6 * second);
    wire.add(out.take());
    std::vector<int> uc = wire.curve();
    ASSERT_GE(uc.size(), 10u);
    ASSERT_LE(uc.size(), 20u);
    EXPECT_NEAR(uc.front(), 512, 2);
}

TEST(SimAvrCoreFlashTest, AnErasedFlashRunsNothingUntilAnImageArrives) {
    AvrMemory memory;
    RcCircuit circuit;
    SimAvrCore core(circuit, memory);
    Collect out;
    core.setSink(&out);
    for (char c : std::string("ver\nstart\n")) core.onByte(static_cast<uint8_t>(c), 0);
    core.runUntil(2 * second);
    EXPECT_EQ(out.take(), "");
    EXPECT_FALSE(core.isRunning());
    EXPECT_EQ(core.nextDue(), simNever);

    // A burn: the controller stays in reset until the flash has been quiet, then runs it.
    SimTime now = 3 * second;
    memory.setFlash(shippedFirmware());
    core.poll(now);
    EXPECT_FALSE(core.isRunning());
    EXPECT_EQ(core.nextDue(), now + SimAvrCore::flashSettle);
    now += SimAvrCore::flashSettle;
    core.poll(now);
    ASSERT_TRUE(core.isRunning());
    now += 10 * ms;
    core.runUntil(now);
    for (char c : std::string("ver\n")) core.onByte(static_cast<uint8_t>(c), now);
    core.runUntil(now + 20 * ms);
    EXPECT_EQ(out.take(), BoardFirmware::versionAnswer);
    EXPECT_EQ(core.getStartCount(), 1);

    // Chip erase while it runs: silent again. A supply cycle restarts from the flash.
    memory.erase();
    core.poll(now + second);
    core.poll(now + 2 * second);
    EXPECT_FALSE(core.isRunning());
    memory.setFlash(shippedFirmware());
    core.reset();
    core.poll(now + 3 * second);
    EXPECT_FALSE(core.isRunning()) << "the flash changed: held in reset for a moment";
    core.poll(now + 4 * second);
    EXPECT_TRUE(core.isRunning());
    EXPECT_EQ(core.getStartCount(), 2);
}

TEST(SimAvrCoreFlashTest, AnImageThatCrashesFallsSilent) {
    AvrMemory memory;
    // An endless loop of invalid instructions after a jump to address 0x40.
    std::vector<uint8_t> image(0x80, 0xFF);
    image[0] = 0x1F;  // rjmp .+62 -> 0x40
    image[1] = 0xC0;
    memory.setFlash(image);
    RcCircuit circuit;
    SimAvrCore core(circuit, memory);
    Collect out;
    core.setSink(&out);
    core.runUntil(second);
    for (char c : std::string("ver\n")) core.onByte(static_cast<uint8_t>(c), second);
    core.runUntil(2 * second);
    EXPECT_EQ(out.take(), "");
    EXPECT_FALSE(core.isRunning());
}

// The virtual board in core mode, seen from the program's side: serial port, splitter and the
// experiment's channels, with the controller 20 times faster than real time.
class CoreBoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        options_.core = true;
        options_.seed = 9;
        options_.timeScale = 20.0;
        ASSERT_TRUE(testsupport::setupExperimentChannels(channels_, port_, manager_));
    }
    void TearDown() override {
        port_.close();
        board_.stop();
    }
    void openPort() {
        ASSERT_TRUE(board_.start(options_)) << board_.getError().str();
        port_.getSettings().fromString(board_.getDevicePath() + SString(std::string(",115200,N,8,1")));
        ASSERT_TRUE(port_.open()) << port_.getError().str();
        port_.purge();
    }
    // A command as the experiment sends it, with the splitter suspended for the answer.
    bool command(const char* text, SString& answer, int timeoutMs = 500, const char* until = "\n") {
        port_.setSuspended(1);
        bool ok = port_.writeText(SString(std::string(text) + "\n")) &&
                  port_.readUntil(answer, timeoutMs, SString(std::string(until)));
        port_.setSuspended(0);
        return ok;
    }
    std::vector<int> values(const char* name) {
        auto* c = dynamic_cast<ExtData_ReceiverBuffered*>(manager_.get(SString(std::string(name))));
        std::vector<int> out;
        uint8_t pair[2];
        while (c != nullptr && c->getRing().get(pair, 2)) out.push_back(pair[0] | pair[1] << 8);
        return out;
    }

    VirtualBoard::Options options_;
    VirtualBoard board_;
    SComPortSplitter port_;
    testsupport::ExperimentChannels channels_;
    ExtDataManager manager_;
};

TEST_F(CoreBoardTest, TheShippedFirmwareFillsTheExperimentsChannels) {
    board_.getMemory().setFlash(shippedFirmware());
    openPort();
    SString answer;
    ASSERT_TRUE(command("ver", answer));
    EXPECT_EQ(answer.str(), BoardFirmware::versionAnswer);
    ASSERT_TRUE(command("start", answer));
    EXPECT_EQ(answer.str(), "OK start\n");
    auto* uc = dynamic_cast<ExtData_ReceiverBuffered*>(manager_.get(SString(std::string("U_C"))));
    ASSERT_NE(uc, nullptr);
    for (int i = 0; i < 1000 && uc->getUpdateCount() < 360; ++i) SApplicationBasic::wait(10);
    ASSERT_TRUE(command("stop", answer, 1000, "OK stop\n"));
    EXPECT_FALSE(board_.isMeasuring());

    std::vector<int> charging = values("Aufladen");
    std::vector<int> discharging = values("Entladen");
    std::vector<int> current = values("I");
    // The first samples may come while the splitter is still suspended for the start answer
    // (10 ms after it at this time scale); from then on every one arrives.
    ASSERT_LE(charging.size(), 300u);
    ASSERT_GE(charging.size(), 290u);
    ASSERT_GE(discharging.size(), 50u);
    const double tau = board_.getCircuit().getTau();
    double first = 0.1 * static_cast<double>(300 - charging.size());
    EXPECT_NEAR(charging.front(), 1023.0 * (1.0 - std::exp(-first / tau)), 2.0);
    EXPECT_NEAR(fitTau(charging, 1023.0, 1023.0), tau, 0.03 * tau);
    EXPECT_NEAR(fitTau(discharging, 0.0, discharging.front()), tau, 0.03 * tau);
    // The current's channel also got the readings before the run (the capacitor empty): its
    // samples are the last ones.
    ASSERT_GE(current.size(), charging.size() + discharging.size());
    const std::size_t prerun = current.size() - charging.size() - discharging.size();
    EXPECT_LE(prerun, 1u);
    for (std::size_t k = 0; k < charging.size(); ++k)
        ASSERT_NEAR(current[prerun + k], 1023 - charging[k], 2) << k;
    EXPECT_GE(board_.getFramesSent(), 3 * 350);
    EXPECT_EQ(port_.getSplitterError().str(), "");
}

TEST_F(CoreBoardTest, InRealTimeTheAnswersMeetTheProgramsTimeOut) {
    options_.timeScale = 1.0;
    options_.realisticTiming = true;
    board_.getMemory().setFlash(shippedFirmware());
    openPort();
    SString answer;
    for (const char* c : {"ver", "start", "ver", "stop"}) {
        ASSERT_TRUE(command(c, answer, 200, c == std::string("stop") ? "OK stop\n" : "\n")) << c;
        EXPECT_TRUE(answer.str().ends_with("\n")) << c;
    }
}

TEST_F(CoreBoardTest, AnErasedFlashLeavesTheDialogueUnanswered) {
    openPort();
    SString answer;
    EXPECT_FALSE(command("ver", answer, 300));
    EXPECT_FALSE(command("start", answer, 300));
    EXPECT_EQ(board_.getBytesSent(), 0);
}

}  // namespace
