// The burn window over the virtual board's "myBurn" bootloader, headless.
#include "app/SDuvaroBurnWnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <chrono>

#include "app/Fenster.h"
#include "app/Globals.h"
#include "AppTest.h"
#include "board/SHexFile.h"
#include "sim/VirtualBoard.h"
#include "support/TestSupport.h"

namespace {

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
    // Without an owner of its own the burn window belongs to the main window, also while
    // another window is the active one.
    QWidget other;
    other.show();
    other.activateWindow();
    apptest::waitFor([&] { return QApplication::activeWindow() == &other; }, 2000);
    QWidget* owner = nullptr;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (window.getDialog() != nullptr) owner = window.getDialog()->parentWidget();
    });
    timer.start(10);
    ASSERT_TRUE(window.burnHexFile(SString(dir.file("fw.hex")))) << window.getError().str();
    ASSERT_NE(globalFenster().getWidget(), nullptr);
    EXPECT_EQ(owner, globalFenster().getWidget());
    EXPECT_TRUE(window.burnSucceeded()) << window.getError().str();
    EXPECT_EQ(window.getStatusText().str(), "OK, erfolgreich gebrannt.");
    EXPECT_EQ(window.getStatusStyle(), SDuvaroBurner::styleSuccess);
    EXPECT_EQ(window.getProgressMaximum(), 3000);
    EXPECT_EQ(window.getProgress(), 3000);
    std::vector<uint8_t> flash = board.getMemory().getFlash();
    for (std::size_t i = 0; i < image.getSize(); ++i) ASSERT_EQ(flash[i], image.getByte(i)) << i;
}

// Cancel keeps the window open until the worker has stopped; the next close request closes it.
TEST(SDuvaroBurnWnd, CancelStopsTheTransferAndTheWindowClosesAfterTheWorker) {
    VirtualBoard board;
    VirtualBoard::Options o;
    o.bootloader.kind = BootloaderOptions::myBurn;
    o.bootloader.newBaud = 0;
    o.bootloader.programNsPerByte = 2'000'000;  // the 6000 bytes would take 12 s
    o.realisticTiming = true;
    ASSERT_TRUE(board.start(o)) << board.getError().str();
    testsupport::TempDir dir;
    SMem image(6000);
    SHexFile hex;
    ASSERT_TRUE(hex.saveFile(SString(dir.file("fw.hex")), image));

    SDuvaroBurnWnd window;
    window.setPort(board.getDevicePath());
    int cancels = 0;
    bool openAfterFirstCancel = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        gui::SProgressDialog* d = window.getDialog();
        if (d == nullptr) return;
        if (cancels == 0 && d->getProgress() > 0) {
            d->reject();
            ++cancels;
            openAfterFirstCancel = d->isVisible();
        } else if (cancels == 1 && !window.isBurning()) {
            d->reject();
            ++cancels;
        }
    });
    timer.start(20);
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(window.burnHexFile(SString(dir.file("fw.hex"))));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(6));
    EXPECT_EQ(cancels, 2);
    EXPECT_TRUE(openAfterFirstCancel);
    EXPECT_FALSE(window.burnSucceeded());
    EXPECT_EQ(window.getStatusText().str(), "Abgebrochen.");
    EXPECT_EQ(window.getStatusStyle(), SDuvaroBurner::styleError);
    EXPECT_FALSE(window.getBurner().getPort().isOpen());
}

TEST(SDuvaroBurnWnd, MissingOrEmptyFilesAreRefusedWithoutAWindow) {
    testsupport::TempDir dir;
    dir.write("empty.hex", ":00000001FF\r\n");
    SDuvaroBurnWnd window;
    EXPECT_FALSE(window.burnHexFile(SString(dir.file("none.hex"))));
    EXPECT_EQ(window.getError().str(),
              "Fehler: Die Datei " + dir.file("none.hex") + " wurde nicht gefunden.\r\n");
    EXPECT_FALSE(window.burnHexFile(SString(dir.file("empty.hex"))));
    EXPECT_EQ(window.getError().str(),
              "Fehler: Die Daten der Datei " + dir.file("empty.hex") + " konnten nicht geladen werden.\r\n");
    EXPECT_EQ(window.getDialog(), nullptr);
}

}  // namespace
