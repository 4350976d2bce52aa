// nuktool burn through the bootloader module's two protocols, against the virtual board.
#include <gtest/gtest.h>

#include "board/SHexFile.h"
#include "sim/VirtualBoard.h"
#include "support/TestSupport.h"

namespace {

TEST(NuktoolBurnBootloader, BurnsThroughMyBurnAndMyBoot) {
    struct Case {
        const char* programmer;
        BootloaderOptions::Kind kind;
    } cases[] = {{"duvaro", BootloaderOptions::myBurn}, {"myboot", BootloaderOptions::myBoot}};
    testsupport::TempDir dir;
    SMem image(2500);
    for (std::size_t i = 0; i < image.getSize(); ++i) image.setByte(i, static_cast<uint8_t>(i * 5 + 1));
    SHexFile hex;
    ASSERT_TRUE(hex.saveFile(SString(dir.file("fw.hex")), image));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.programmer);
        VirtualBoard board;
        VirtualBoard::Options o;
        o.bootloader.kind = c.kind;
        o.registerPort = true;
        // Each case its own map: the previous board's entry cannot be taken for this one's.
        const std::string comPorts = dir.file(std::string(c.programmer) + "-comports.ini");
        o.comPortsFile = SString(comPorts);
        ASSERT_TRUE(board.start(o)) << board.getError().str();
        std::string out;
        // Without --port the tool takes the CP210x port of the map, where the board is.
        int rc = testsupport::runCommand("NUK_COMPORTS=" + comPorts + " " + testsupport::toolPath() +
                                             " burn --programmer " + c.programmer + " " + dir.file("fw.hex") + " 2>&1",
                                         &out);
        EXPECT_EQ(rc, 0) << out;
        std::vector<uint8_t> flash = board.getMemory().getFlash();
        for (std::size_t i = 0; i < image.getSize(); ++i) ASSERT_EQ(flash[i], image.getByte(i)) << i << out;
        EXPECT_NE(out.find("2500/2500"), std::string::npos) << out;
    }
}

TEST(NuktoolBurnBootloader, SilentPortFailsWithTheMessage) {
    testsupport::TempDir dir;
    dir.write("fw.hex", ":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n");
    VirtualBoard board;
    VirtualBoard::Options o;
    o.bootloader.kind = BootloaderOptions::myBurn;
    o.bootloader.answerOnHandshake = 0;
    ASSERT_TRUE(board.start(o));
    std::string out;
    int rc = testsupport::runCommand(testsupport::toolPath() + " burn --programmer duvaro --port " +
                                         board.getDevicePath().str() + " " + dir.file("fw.hex") + " 2>&1",
                                     &out);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("FEHLER: BootLoader hat nicht geantwortet"), std::string::npos) << out;
}

}  // namespace
