// "nuktool monitor" against the virtual board.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "sim/VirtualBoard.h"
#include "support/PseudoTerminal.h"
#include "support/TestSupport.h"

namespace {

std::string monitor(const std::string& args, int* rc,
                    const std::string& comPorts = "/nonexistent/comports.ini") {
    std::string out;
    *rc = testsupport::runCommand(
        "NUK_COMPORTS=" + comPorts + " " + testsupport::toolPath() + " monitor " + args, &out);
    return out;
}

// The frame count of a channel's line in the table; -1 when the line is missing.
int frames(const std::string& out, const std::string& channel) {
    std::smatch m;
    if (!std::regex_search(out, m, std::regex("\n" + channel + " +[0-9]+ +([0-9]+) "))) return -1;
    return std::stoi(m[1]);
}

TEST(MonitorTest, FindsTheRegisteredBoardAndShowsEveryChannel) {
    testsupport::TempDir dir;
    VirtualBoard board;
    VirtualBoard::Options o;
    o.timeScale = 40.0;  // 1.2 s reach the discharging half
    o.registerPort = true;
    o.comPortsFile = SString(dir.file("comports.ini"));
    ASSERT_TRUE(board.start(o)) << board.getError().str();
    int rc = -1;
    std::string out = monitor("--seconds 1.2", &rc, dir.file("comports.ini"));
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(
        out.find("port " + board.getComName().uppered().str() + " (" + board.getDevicePath().str() + ")"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("firmware: NUK Kondensator-Firmware 1.0\n"), std::string::npos) << out;
    int uc = frames(out, "U_C");
    EXPECT_GT(uc, 300) << out;
    EXPECT_EQ(frames(out, "I"), uc);
    EXPECT_EQ(frames(out, "Aufladen"), 300) << out;
    // The displays' channels also got the reading of the empty capacitor before the run.
    EXPECT_EQ(frames(out, "Aufladen") + frames(out, "Entladen") + 1, uc) << out;
    EXPECT_EQ(out.find("splitter:"), std::string::npos) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("\nU_C +3 +[0-9]+ +[0-9]+  [0-9]\\.[0-9]{2} V\n"))) << out;
}

TEST(MonitorTest, GoesThroughTheAdapterWhenTheFirmwareIsSilent) {
    VirtualBoard board;
    VirtualBoard::Options o;
    o.adapter = true;
    o.timeScale = 20.0;
    ASSERT_TRUE(board.start(o)) << board.getError().str();
    int rc = -1;
    std::string out = monitor("--seconds 0.6 --port " + board.getDevicePath().str(), &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("adapter:  Ravlink"), std::string::npos) << out;
    EXPECT_GT(frames(out, "U_C"), 20) << out;
    EXPECT_EQ(out.find("splitter:"), std::string::npos) << out;
    // The monitor leaves the adapter as it found it: programmer mode, supply off.
    EXPECT_FALSE(board.isPassThrough());
    EXPECT_FALSE(board.isSupplyOn());
}

TEST(MonitorTest, AnUnpluggedBoardEndsTheRunWithAMessage) {
    VirtualBoard board;
    VirtualBoard::Options o;
    o.timeScale = 20.0;
    ASSERT_TRUE(board.start(o)) << board.getError().str();
    int rc = -1;
    std::string out;
    std::thread run([&] { out = monitor("--seconds 30 --port " + board.getDevicePath().str(), &rc); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    board.stop();
    run.join();
    EXPECT_EQ(rc, 1) << out;
    EXPECT_NE(out.find("wurde getrennt"), std::string::npos) << out;
}

TEST(MonitorTest, FailuresAndUsage) {
    int rc = -1;
    testsupport::PseudoTerminal silent;  // a port where nothing answers
    ASSERT_TRUE(silent.ok());
    std::string out = monitor("--seconds 1 --port " + silent.path(), &rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("does not answer"), std::string::npos) << out;
    out = monitor("--seconds 1", &rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("no CP210x port"), std::string::npos) << out;
    out = monitor("--seconds 1 --port /dev/pts/999999", &rc);
    EXPECT_EQ(rc, 1);
    // The port's German message reaches the terminal once converted to UTF-8.
    EXPECT_NE(out.find("konnte nicht ge\xC3\xB6""ffnet werden"), std::string::npos) << out;
    monitor("--seconds 0", &rc);
    EXPECT_EQ(rc, 2);
    monitor("--port", &rc);
    EXPECT_EQ(rc, 2);
    out = monitor("--extdata /nonexistent.ini --port /dev/null", &rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("extdata.ini not found"), std::string::npos) << out;
}

}  // namespace
