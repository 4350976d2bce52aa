// The "myBoot" bootloader back-end against the virtual board's bootloader.
#include "board/SAvrProgControl.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "sim/VirtualBoard.h"
#include "stream/SComPort.h"
#include "support/TestSupport.h"

namespace {

SString raw(const char* t) {
    return SString(std::string(t));
}

class AvrProgControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        VirtualBoard::Options o;
        o.bootloader.kind = BootloaderOptions::myBoot;
        o.log = [this](const SString& line) {
            std::lock_guard lock(mutex);
            log.push_back(line.str());
        };
        ASSERT_TRUE(board.start(o)) << board.getError().str();
        port.getSettings().fromString(board.getDevicePath() + raw(",115200,N,8,1"));
        data.comPort = &port;
        prog.init(&data);
    }
    std::vector<std::string> blocks() {
        std::lock_guard lock(mutex);
        std::vector<std::string> out;
        for (const std::string& l : log)
            if (l.starts_with("myBoot: Block")) out.push_back(l);
        return out;
    }

    std::mutex mutex;
    std::vector<std::string> log;
    VirtualBoard board;
    SComPort port;
    SAvrBoardData data;
    SAvrProgControl prog;
};

TEST_F(AvrProgControlTest, WritesAnImageInBlocksOf512AndLeavesTheCallersBytesAlone) {
    SMem image(1300);
    for (std::size_t i = 0; i < image.getSize(); ++i) image.setByte(i, static_cast<uint8_t>(i * 7 + 3));
    SMapStringToMem jobs;
    jobs.set(raw("write-flash"), image);
    ASSERT_TRUE(prog.execute(jobs)) << prog.getError().str();

    EXPECT_EQ(blocks(),
              (std::vector<std::string>{"myBoot: Block 512 Bytes an 0", "myBoot: Block 512 Bytes an 512",
                                        "myBoot: Block 276 Bytes an 1024"}));
    std::vector<uint8_t> flash = board.getMemory().getFlash();
    for (std::size_t i = 0; i < image.getSize(); ++i) ASSERT_EQ(flash[i], image.getByte(i)) << i;
    EXPECT_EQ(flash[1300], 0xFF);
    EXPECT_TRUE(jobs.get(raw("write-flash")) == image);
    // "X" started the application; the port stays at the bootloader's rate.
    EXPECT_FALSE(board.getBootloader()->isActive());
    EXPECT_EQ(port.getSettings().baud, 19200);
    port.close();
}

TEST_F(AvrProgControlTest, OtherJobsAreNotedAndAMissingFileStopsBeforeTheBoardIsAsked) {
    SMapStringToMem jobs;
    jobs.set(raw("read-signature"), SMem());
    SMem name;
    name.fromString(raw("/nonexistent/firmware.hex"));
    jobs.set(raw("write-flash-file"), name);
    EXPECT_FALSE(prog.execute(jobs));
    EXPECT_EQ(prog.getError().str(),
              "Fehler: Diese Operation wird nicht unterst\xFCtzt(read-signature).\r\n"
              "Fehler: Die Datei '/nonexistent/firmware.hex'wurde nicht gefunden.\r\n");
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(board.getMemory().isFlashErased());
}

// Addresses and sizes travel in 16 bits: a larger image, as bytes or from a HEX file with data
// at 0x10000, is refused before the port is opened or a byte is sent.
TEST_F(AvrProgControlTest, AnImageOver0xFFFFIsRefusedBeforeAnythingIsSent) {
    testsupport::TempDir dir;
    dir.write("high.hex", ":020000040001F9\r\n:0100000055AA\r\n:00000001FF\r\n");
    SMem name;
    name.fromString(SString(dir.file("high.hex")));
    const std::pair<const char*, SMem> jobsToRun[] = {{"write-flash", SMem(0x10000)},
                                                      {"write-flash-file", name}};
    for (const auto& [key, block] : jobsToRun) {
        SCOPED_TRACE(key);
        SMapStringToMem jobs;
        jobs.set(raw(key), block);
        EXPECT_FALSE(prog.execute(jobs));
        EXPECT_NE(prog.getError().str().find("r den Bootloader zu gro\xDF"), std::string::npos)
            << prog.getError().str();
        EXPECT_FALSE(port.isOpen());
    }
    EXPECT_EQ(board.getBytesReceived(), 0);
    EXPECT_TRUE(board.getMemory().isFlashErased());
}

TEST_F(AvrProgControlTest, WritesAHexFile) {
    testsupport::TempDir dir;
    // 16 bytes at address 0 and the end record.
    dir.write("fw.hex", ":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n");
    SMapStringToMem jobs;
    SMem name;
    name.fromString(SString(dir.file("fw.hex")));
    jobs.set(raw("write-flash-file"), name);
    ASSERT_TRUE(prog.execute(jobs)) << prog.getError().str();
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(board.getMemory().readFlash(i), i);
    port.close();
}

TEST(AvrProgControlNoBootloader, BoardWithoutBootloaderIsReportedAfterTheWait) {
    VirtualBoard board;
    ASSERT_TRUE(board.start(VirtualBoard::Options()));
    SComPort port;
    port.getSettings().fromString(board.getDevicePath() + raw(",115200"));
    SAvrBoardData data;
    data.comPort = &port;
    SAvrProgControl prog(&data);
    SMem image(10);
    EXPECT_FALSE(prog.writeData(image));
    EXPECT_EQ(prog.getError().str(), "Fehler: Duvaro reagiert nicht.\r\n");
    port.close();
}

}  // namespace
