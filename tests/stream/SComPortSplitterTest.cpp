#include "stream/SComPortSplitter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "foundation/SApplicationBasic.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "support/PseudoTerminal.h"
#include "support/TestSupport.h"

namespace {

SString raw(const std::string& s) {
    return SString(s);
}

// Waits, dispatching, until the condition holds or two seconds are up.
template <typename Condition>
bool waitFor(Condition condition) {
    for (int waited = 0; waited < 2000 && !condition(); waited += 5) SApplicationBasic::wait(5);
    return condition();
}

// Opens the port on the pseudo-terminal at the board's line settings.
bool openOn(SComPortSplitter& port, const testsupport::PseudoTerminal& pty) {
    port.getSettings().fromString(raw(pty.path() + ",115200,N,8,1"));
    return port.open(raw(pty.path()));
}

TEST(SComPortSplitterTest, BytesFromTheLineReachTheChannels) {
    testsupport::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());

    ExtData_ReceiverBuffered uc, current;
    uc.setup(3, 2);
    uc.setBufferSize(1000);
    current.setup(4, 2);
    current.setBufferSize(1000);

    SComPortSplitter port;
    EXPECT_STREQ(port.getClassName(), "SComPortSplitter");
    EXPECT_TRUE(port.connect(&uc, 0));
    EXPECT_TRUE(port.connect(&current, 0));
    ASSERT_TRUE(openOn(port, pty)) << port.getError().str();

    // Samples of U_C and I, as the firmware sends them during a run.
    std::string frames;
    for (int k = 0; k < 50; ++k) {
        const int u = 20 * k, i = 1023 - 20 * k;
        frames += std::string{'\x03', static_cast<char>(u & 0xFF), static_cast<char>(u >> 8),
                              '\x04', static_cast<char>(i & 0xFF), static_cast<char>(i >> 8)};
    }
    ASSERT_TRUE(pty.send(frames));
    EXPECT_TRUE(waitFor([&] { return current.getUpdateCount() == 50; }));
    EXPECT_EQ(uc.getUpdateCount(), 50u);
    EXPECT_EQ(uc.getLatestValue(), 980u);
    EXPECT_EQ(current.getLatestValue(), 43u);
    EXPECT_EQ(uc.getRing().count(), 100);
    EXPECT_EQ(port.getSplitterError().str(), "");

    // Suspended, an answer line reaches only the port's own ring.
    port.purge();
    port.setSuspended(1);
    ASSERT_TRUE(pty.send("v1.3\n"));
    SString answer;
    EXPECT_TRUE(port.readUntil(answer, 1000, raw("\n")));
    EXPECT_EQ(answer.str(), "v1.3\n");
    port.setSuspended(0);
    ASSERT_TRUE(pty.send(std::string("\x03\x01\x02", 3)));
    EXPECT_TRUE(waitFor([&] { return uc.getUpdateCount() == 51; }));
    EXPECT_EQ(uc.getLatestValue(), 0x201u);
    EXPECT_EQ(port.getSplitterError().str(), "");
    port.close();
}

// A board pulled out in the middle of a frame: the half frame is not finished by the next
// connection's bytes, whose first value arrives whole and unmixed.
TEST(SComPortSplitterTest, AReopenedPortStartsAtAFramesBeginning) {
    testsupport::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    ExtData_ReceiverBuffered uc;
    uc.setup(3, 2);
    uc.setBufferSize(100);
    SComPortSplitter port;
    ASSERT_TRUE(port.connect(&uc, 0));
    ASSERT_TRUE(openOn(port, pty)) << port.getError().str();
    ASSERT_TRUE(pty.send(std::string("\x03\x10\x00\x03\x99", 5)));
    ASSERT_TRUE(waitFor([&] { return uc.getUpdateCount() == 1; }));
    SApplicationBasic::wait(50);
    port.close();

    ASSERT_TRUE(openOn(port, pty)) << port.getError().str();
    ASSERT_TRUE(pty.send(std::string("\x03\x20\x01", 3)));
    ASSERT_TRUE(waitFor([&] { return uc.getUpdateCount() == 2; }));
    SApplicationBasic::wait(50);
    EXPECT_EQ(uc.getUpdateCount(), 2u);
    EXPECT_EQ(uc.getLatestValue(), 0x120u);
    port.close();
}

// The firmware answers "start" and sends its first reading right behind the answer, in the same
// write: the answer reaches the read, the frames reach the channels once the command is over,
// none lost and none twice, and frames that came before the command are not delivered again.
TEST(SComPortSplitterTest, FramesRightBehindACommandsAnswerAreNotLost) {
    testsupport::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    ExtData_ReceiverBuffered uc;
    uc.setup(3, 2);
    uc.setBufferSize(1000);
    SComPortSplitter port;
    ASSERT_TRUE(port.connect(&uc, 0));
    ASSERT_TRUE(openOn(port, pty)) << port.getError().str();

    ASSERT_TRUE(pty.send(std::string("\x03\x10\x00", 3)));
    ASSERT_TRUE(waitFor([&] { return uc.getUpdateCount() == 1; }));
    for (int round = 0; round < 20; ++round) {
        port.suspendForCommand();
        std::string reply = "OK\n";
        for (int k = 1; k <= 3; ++k) reply += std::string{'\x03', static_cast<char>(k), static_cast<char>(round)};
        ASSERT_TRUE(pty.send(reply));
        SString answer;
        ASSERT_TRUE(port.readUntil(answer, 1000, raw("\n")));
        EXPECT_EQ(answer.str(), "OK\n");
        // Some of the frames may still be on the way; they come after the resume.
        if (round % 2 == 0) SApplicationBasic::wait(5);
        port.resumeAfterCommand();
        const uint32_t expected = 1 + 3 * static_cast<uint32_t>(round + 1);
        ASSERT_TRUE(waitFor([&] { return uc.getUpdateCount() >= expected; })) << round;
        SApplicationBasic::wait(10);
        EXPECT_EQ(uc.getUpdateCount(), expected) << round;
        EXPECT_EQ(uc.getLatestValue(), 3u | (static_cast<uint32_t>(round) << 8)) << round;
    }
    EXPECT_EQ(port.getSplitterError().str(), "");

    // A reading in flight when "stop" is answered arrives ahead of the answer line: it reaches
    // the channel, and the answer keeps its line.
    port.suspendForCommand();
    ASSERT_TRUE(pty.send(std::string("\x03\x0B\x03OK stop\n", 11)));
    SString answer;
    ASSERT_TRUE(port.readUntil(answer, 1000, raw("\n")));
    const std::string ahead = SComPortSplitter::takeFramesAhead(answer);
    EXPECT_EQ(answer.str(), "OK stop\n");
    EXPECT_EQ(ahead, std::string("\x03\x0B\x03", 3));
    port.resumeAfterCommand(ahead);
    EXPECT_EQ(uc.getLatestValue(), 0x30Bu);
    EXPECT_EQ(uc.getUpdateCount(), 1u + 3u * 20u + 1u);
    SString plain(std::string("OK start\n"));
    EXPECT_EQ(SComPortSplitter::takeFramesAhead(plain), "");
    EXPECT_EQ(plain.str(), "OK start\n");
    port.close();
}

}  // namespace
