// The virtual board's bootloaders as a program sees them on the line: reset into the
// bootloader, the stand-in user's reset, the hand-over to the application.
#include <gtest/gtest.h>

#include "foundation/SApplicationBasic.h"
#include "sim/MyBootBootloader.h"
#include "sim/MyBurnBootloader.h"
#include "sim/VirtualBoard.h"
#include "stream/SComPort.h"

namespace {

SString raw(const char* t) {
    return SString(std::string(t));
}

const SString handshake(reinterpret_cast<const char*>(MyBurnBootloader::handshake), 8);

class BootloaderLine : public ::testing::Test {
protected:
    void start(BootloaderOptions::Kind kind, bool flashHoldsApplication) {
        if (flashHoldsApplication) board.getMemory().setFlash({0x12, 0x34});
        VirtualBoard::Options o;
        o.bootloader.kind = kind;
        o.bootloader.startApplicationMs = 600;
        o.bootloader.newBaud = 0;
        ASSERT_TRUE(board.start(o));
    }
    bool open(const char* rate) {
        port.getSettings().fromString(board.getDevicePath() + raw(rate));
        return port.open();
    }
    void TearDown() override { port.close(); }

    VirtualBoard board;
    SComPort port;
};

TEST_F(BootloaderLine, ApplicationStartsAfterTheWaitAndTheBurnProgramResetsIntoTheBootloader) {
    start(BootloaderOptions::myBurn, true);
    ASSERT_TRUE(open(",19200,N,8,1"));
    SApplicationBasic::wait(900);
    EXPECT_FALSE(board.getBootloader()->isActive());
    SString answer;
    ASSERT_TRUE(port.writeText(raw("ver\n")) && port.readUntil(answer, 500, raw("\n")));

    // The handshake while the application runs: the stand-in user presses reset, the next
    // handshake is answered.
    port.purge();
    port.writeText(handshake);
    EXPECT_FALSE(port.readUntil(answer, 200, raw("\n")));
    EXPECT_TRUE(board.getBootloader()->isActive());
    port.writeText(handshake);
    ASSERT_TRUE(port.readUntil(answer, 500, raw("\n")));
    EXPECT_TRUE(answer.startsWith(raw("myBurn\rPelmoStamp\r"))) << answer.str();

    // "X" hands over to the application.
    port.writeText(raw("X\n"));
    ASSERT_TRUE(port.readUntil(answer, 500, raw("\n")));
    EXPECT_EQ(answer.str(), "X\n");
    SApplicationBasic::wait(100);
    EXPECT_FALSE(board.getBootloader()->isActive());
    EXPECT_EQ(board.getBootloader()->getSessions(), 1);

    // A program switching to the bootloader's rate resets it as well.
    ASSERT_TRUE(port.setSettings(board.getDevicePath() + raw(",115200,N,8,1")));
    SApplicationBasic::wait(150);
    EXPECT_FALSE(board.getBootloader()->isActive());
    ASSERT_TRUE(port.setSettings(board.getDevicePath() + raw(",19200,N,8,1")));
    SApplicationBasic::wait(150);
    EXPECT_TRUE(board.getBootloader()->isActive());
}

TEST_F(BootloaderLine, ErasedFlashKeepsTheBootloaderWaitingAndMyBootRepeatsItsGreeting) {
    start(BootloaderOptions::myBoot, false);
    ASSERT_TRUE(open(",19200,N,8,1"));
    SApplicationBasic::wait(600);
    EXPECT_TRUE(board.getBootloader()->isActive());
    port.purge();
    SString greeting;
    ASSERT_TRUE(port.readUntil(greeting, 1000, raw("\r")));
    EXPECT_EQ(greeting.str(), MyBootBootloader::greeting);
    board.pressReset();
    port.writeText(raw("myBurn"));
    // The rest of a greeting that was on the line at the reset may come first.
    SString answer;
    EXPECT_TRUE(port.readUntil(answer, 1000, raw("myBoot"))) << answer.str();
}

}  // namespace
