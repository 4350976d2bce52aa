// The virtual board and the program's data path together: serial port, splitter and channels.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>

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

SString raw(const char* text) {
    return SString(std::string(text));
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        options_.seed = 5;
        options_.registerPort = true;
        options_.comName = "com7";
        options_.comPortsFile = SString(comPorts_);

        ASSERT_TRUE(testsupport::setupExperimentChannels(channels_, port_, manager_));
    }
    void TearDown() override {
        port_.close();
        board_.stop();
    }
    void openPort() {
        ASSERT_TRUE(board_.start(options_)) << board_.getError().str();
        port_.getSettings().fromString(board_.getComName() + raw(",115200,N,8,1"));
        ASSERT_TRUE(port_.open()) << port_.getError().str();
        EXPECT_EQ(port_.getDevicePath(), board_.getDevicePath().str());
        port_.purge();
    }
    // A firmware command as the experiment sends it: the splitter is suspended meanwhile. While
    // frames stream, a frame byte may be 0x0A, so the answer is waited for in full there.
    bool command(const char* text, SString& answer, int timeoutMs = 500, const char* until = "\n") {
        port_.setSuspended(1);
        bool ok = port_.writeText(raw(text) + raw("\n")) && port_.readUntil(answer, timeoutMs, raw(until));
        port_.setSuspended(0);
        return ok;
    }
    ExtData_ReceiverBuffered& channel(const char* name) {
        return *dynamic_cast<ExtData_ReceiverBuffered*>(manager_.get(raw(name)));
    }
    // The 16-bit values in a channel's ring, oldest first.
    static std::vector<int> values(ExtData_ReceiverBuffered& c) {
        std::vector<int> out;
        uint8_t pair[2];
        while (c.getRing().get(pair, 2)) out.push_back(pair[0] | pair[1] << 8);
        return out;
    }

    testsupport::TempDir dir_;
    // The port names resolve through a map of the test's own.
    std::string comPorts_ = dir_.file("comports.ini");
    testsupport::ScopedEnv comPortsEnv_{"NUK_COMPORTS", comPorts_.c_str()};
    VirtualBoard::Options options_;
    VirtualBoard board_;
    SComPortSplitter port_;
    testsupport::ExperimentChannels channels_;
    ExtDataManager manager_;
};

TEST_F(EndToEndTest, FromStartToTheModelsValuesInTheChannels) {
    options_.timeScale = 50.0;  // a 60 s cycle in 1.2 s
    openPort();
    SString answer;
    ASSERT_TRUE(command("ver", answer));
    EXPECT_EQ(answer.str(), BoardFirmware::versionAnswer);
    ASSERT_TRUE(command("start", answer));
    EXPECT_EQ(answer.str(), "OK start\n");
    for (int i = 0; i < 500 && channel("U_C").getUpdateCount() < 401; ++i) SApplicationBasic::wait(10);
    ASSERT_TRUE(command("stop", answer, 1000, "OK stop\n"));

    std::vector<int> uc = values(channel("U_C"));
    std::vector<int> charging = values(channel("Aufladen"));
    std::vector<int> discharging = values(channel("Entladen"));
    std::vector<int> current = values(channel("I"));
    // The displays' channels begin with the reading of the (empty) capacitor before the run.
    ASSERT_FALSE(uc.empty());
    ASSERT_FALSE(current.empty());
    EXPECT_LE(uc.front(), BoardFirmware::emptyCounts);
    const std::size_t updates = uc.size();
    uc.erase(uc.begin());
    current.erase(current.begin());
    // Every sample from the first on, in order: the splitter was switched on before the first
    // frame arrived and never lost its place. The suspension for "stop" may cut the last set.
    const std::size_t n = current.size();
    ASSERT_GE(n, 400u);
    ASSERT_LE(uc.size() - n, 1u);
    ASSERT_LE(charging.size() + discharging.size() - n, 1u);
    ASSERT_EQ(charging.size(), 300u);
    const RcCircuit& rc = board_.getCircuit();
    for (std::size_t k = 0; k < n; ++k) {
        RcCircuit::Sample s = rc.sample(static_cast<int64_t>(k));
        ASSERT_EQ(uc[k], s.capacitorCounts) << k;
        ASSERT_EQ(current[k], s.resistorCounts) << k;
        ASSERT_EQ(k < 300 ? charging[k] : discharging[k - 300], s.capacitorCounts) << k;
    }
    EXPECT_EQ(channel("U_C").getLatestValue(), static_cast<uint32_t>(uc.back()));
    EXPECT_EQ(channel("U_C").getUpdateCount(), updates);
    EXPECT_EQ(port_.getSplitterError().str(), "");
}

TEST_F(EndToEndTest, BehindTheAdapterTheFirmwareAnswersOnlyAfterPassThrough) {
    options_.adapter = true;
    options_.realisticTiming = true;  // the firmware hears only 115200 baud
    options_.timeScale = 50.0;
    openPort();
    SString answer;
    EXPECT_FALSE(command("ver", answer, 300));

    // The adapter commands with the splitter suspended: in raw mode its id stage would take the
    // first byte of an answer as the next frame's id.
    auto adapter = [this](const char* c, SString* reply = nullptr) {
        port_.setSuspended(1);
        bool ok = port_.sendSmartCmd(raw(c), reply);
        port_.setSuspended(0);
        return ok;
    };
    SString id;
    ASSERT_TRUE(adapter("v", &id));
    EXPECT_GE(id.find(raw("Ravlink")), 0);
    ASSERT_TRUE(adapter("d"));
    EXPECT_FALSE(command("ver", answer, 300)) << "no supply yet";
    ASSERT_TRUE(adapter("+"));
    // The adapter commands ran at 19200 baud; the port is back at 115200 for the firmware.
    LineSettings line;
    ASSERT_TRUE(board_.getLineSettings(line));
    EXPECT_EQ(line.baud, 115200);
    ASSERT_TRUE(command("ver", answer));
    EXPECT_EQ(answer.str(), BoardFirmware::versionAnswer);

    ASSERT_TRUE(command("start", answer));
    for (int i = 0; i < 300 && channel("I").getUpdateCount() < 20; ++i) SApplicationBasic::wait(10);
    ASSERT_TRUE(command("stop", answer, 1000, "OK stop\n"));
    std::vector<int> uc = values(channel("U_C"));
    ASSERT_GE(uc.size(), 20u);
    uc.erase(uc.begin());  // the reading of the empty capacitor before the run
    for (std::size_t k = 0; k < uc.size(); ++k)
        ASSERT_EQ(uc[k], board_.getCircuit().sample(static_cast<int64_t>(k)).capacitorCounts) << k;
    EXPECT_EQ(port_.getSplitterError().str(), "");
}

}  // namespace
