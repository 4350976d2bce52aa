// The burn window over the virtual board's "myBurn" bootloader, headless.
#include "app/SDuvaroBurnWnd.h"

#include <gtest/gtest.h>

#include "board/SHexFile.h"
#include "sim/VirtualBoard.h"
#include "support/TestSupport.h"

namespace {

SString raw(const char* t) {
    return SString(std::string(t));
}

TEST(SDuvaroBurnWnd, BurnsTheFileWithTheProgressReachingTheEnd) {
    VirtualBoard board;
    VirtualBoard::Options o;
    o.bootloader.kind = BootloaderOptions::myBurn;
    ASSERT_TRUE(board.start(o)) << board.getError().str();
    testsupport::TempDir dir;
    SMem image(3000);
    for (std::size_t i = 0; i < image.getSize(); ++i) image.setByte(i, static_cast<uint8_t>(i * 13));
    SHexFile hex;
    ASSERT_TRUE(hex.saveFile(SString(dir.file("fw.hex")), image));

    SDuvaroBurnWnd window;
    window.setPort(board.getDevicePath());
    window.setCloseAfterBurn(true);
    ASSERT_TRUE(window.burnHexFile(SString(dir.file("fw.hex")))) << window.getError().str();
    EXPECT_TRUE(window.burnSucceeded()) << window.getError().str();
    EXPECT_EQ(window.getStatusText().str(), "OK, erfolgreich gebrannt.");
    EXPECT_EQ(window.getStatusStyle(), SDuvaroBurner::styleSuccess);
    EXPECT_EQ(window.getProgressMaximum(), 3000);
    EXPECT_EQ(window.getProgress(), 3000);
    std::vector<uint8_t> flash = board.getMemory().getFlash();
    for (std::size_t i = 0; i < image.getSize(); ++i) ASSERT_EQ(flash[i], image.getByte(i)) << i;
}

TEST(SDuvaroBurnWnd, MissingOrEmptyFilesAreRefusedWithoutAWindow) {
    testsupport::TempDir dir;
    dir.write("empty.hex", ":00000001FF\r\n");
    SDuvaroBurnWnd window;
    EXPECT_FALSE(window.burnHexFile(SString(dir.file("none.hex"))));
    EXPECT_EQ(window.getError().str(), "Fehler: Die Datei " + dir.file("none.hex") + " wurde nicht gefunden.\r\n");
    EXPECT_FALSE(window.burnHexFile(SString(dir.file("empty.hex"))));
    EXPECT_EQ(window.getError().str(),
              "Fehler: Die Daten der Datei " + dir.file("empty.hex") + " konnten nicht geladen werden.\r\n");
    EXPECT_EQ(window.getDialog(), nullptr);
}

}  // namespace
