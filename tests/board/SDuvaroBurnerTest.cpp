// The "myBurn" protocol against the virtual board's bootloader.
#include "board/SDuvaroBurner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "sim/MyBurnBootloader.h"
#include "sim/VirtualBoard.h"

namespace {

SMem image(std::size_t size, unsigned seed = 7) {
    SMem m(size);
    for (std::size_t i = 0; i < size; ++i) m.setByte(i, static_cast<uint8_t>((i * 31 + seed) ^ (i >> 5)));
    return m;
}

struct Recorder : SDuvaroBurner::Display {
    std::vector<std::pair<std::string, int>> statuses;
    std::vector<std::string> pictures;
    int position = -1, maximum = -1;
    int finishedCalls = 0;
    void showStatus(const SString& text, int style) override { statuses.emplace_back(text.str(), style); }
    void showPicture(const SString& file) override { pictures.push_back(file.str()); }
    void showProgress(int p, int m) override {
        position = p;
        maximum = m;
    }
    void finished(bool) override { ++finishedCalls; }
};

class DuvaroBurnerTest : public ::testing::Test {
protected:
    void startBoard(const BootloaderOptions& bl, bool realistic = false) {
        VirtualBoard::Options o;
        o.bootloader = bl;
        o.bootloader.kind = BootloaderOptions::myBurn;
        o.realisticTiming = realistic;
        ASSERT_TRUE(board.start(o)) << board.getError().str();
        burner.setPort(board.getDevicePath());
        burner.setDisplay(&display);
    }
    std::vector<uint8_t> flashStart(std::size_t n) const {
        std::vector<uint8_t> f = board.getMemory().getFlash();
        f.resize(n);
        return f;
    }
    static std::vector<uint8_t> bytes(const SMem& m) { return {m.getData(), m.getData() + m.getSize()}; }

    VirtualBoard board;
    SDuvaroBurner burner;
    Recorder display;
};

TEST_F(DuvaroBurnerTest, BurnsFlashAndEepromInEitherModeWithOrWithoutBaudChange) {
    struct Case {
        const char* version;
        int blockSize;
        int newBaud;
        std::size_t eepromSize;
        int mode;
    } cases[] = {
        {"V1.09", 128, 0, 0, 1},       // start command 'B', one-byte block length
        {"V1.10", 128, 57600, 0, 2},   // 'F' with three length bytes, then "X"
        {"V1.9", 255, 0, 100, 1},      // 19 <= 109: mode 1 too
        {"V1.20", 300, 57600, 300, 2}, // blocks longer than 255 bytes
        {"V1.05", 1000, 0, 0, 1},      // mode 1 blocks stop at 255 bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        BootloaderOptions bl;
        bl.version = SString(std::string(c.version));
        bl.blockSize = c.blockSize;
        bl.newBaud = c.newBaud;
        startBoard(bl);
        SMem flash = image(3000), eeprom = image(c.eepromSize, 99);
        EXPECT_TRUE(burner.burn(&flash, &eeprom)) << burner.getError().str();
        EXPECT_EQ(burner.getMode(), c.mode);
        EXPECT_EQ(flashStart(flash.getSize()), bytes(flash));
        for (std::size_t i = 0; i < eeprom.getSize(); ++i)
            ASSERT_EQ(board.getMemory().readEeprom(static_cast<uint32_t>(i)), eeprom.getByte(i));
        // "X" only after a baud change; it starts the application.
        EXPECT_EQ(board.getBootloader()->isActive(), c.newBaud == 0);
        EXPECT_FALSE(burner.getPort().isOpen());
        ASSERT_FALSE(display.statuses.empty());
        EXPECT_EQ(display.statuses.back().first, "OK, erfolgreich gebrannt.");
        EXPECT_EQ(display.statuses.back().second, SDuvaroBurner::styleSuccess);
        EXPECT_EQ(display.position, static_cast<int>(flash.getSize() + eeprom.getSize()));
        EXPECT_EQ(display.maximum, display.position);
        EXPECT_EQ(display.pictures.front(), "reset_ausloesen.bmp");
        EXPECT_EQ(display.pictures.back(), "duvaro_transp.bmp");
        board.stop();
        board.getMemory().erase();
        display = Recorder();
    }
}

TEST_F(DuvaroBurnerTest, BootloaderAnsweringOnlyTheTwentiethHandshakeIsAccepted) {
    BootloaderOptions bl;
    bl.answerOnHandshake = 20;
    bl.moduleType = SString(std::string("Stamp2"));
    startBoard(bl);
    SMem flash = image(500);
    EXPECT_TRUE(burner.burn(&flash, nullptr)) << burner.getError().str();
    EXPECT_EQ(board.getBootloader()->getHandshakes(), 20);
    EXPECT_EQ(display.pictures.back(), "stamp_transp.bmp");
}

TEST_F(DuvaroBurnerTest, SilentBootloaderFailsAfterTwentyAttempts) {
    BootloaderOptions bl;
    bl.answerOnHandshake = 0;
    startBoard(bl);
    SMem flash = image(500);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(burner.burn(&flash, nullptr));
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GT(s, 3.5);
    EXPECT_LT(s, 6.0);
    EXPECT_EQ(burner.getError().str(), "FEHLER: BootLoader hat nicht geantwortet");
    EXPECT_EQ(display.statuses.back().second, SDuvaroBurner::styleError);
    EXPECT_EQ(display.finishedCalls, 1);
}

// Replies that cannot be used are refused before anything is written.
TEST_F(DuvaroBurnerTest, UnusableRepliesAreRefusedWithoutWriting) {
    struct Case {
        const char* name;
        int fields;
        int blockSize;
        int flashSpace;
        const char* raw;
        std::size_t eeprom;
        const char* error;
    } cases[] = {
        {"8 fields", 8, 128, 7168, "", 0, "FEHLER: Der BootLoader hat zu wenig Infos gemeldet"},
        {"block size 0", 9, 0, 7168, "", 0, "FEHLER: Der BootLoader hat eine ung\xFCltige Blockgr\xF6\xDF" "e gemeldet (0)."},
        {"flash too small", 9, 128, 2000, "", 0,
         "FEHLER: Das Programm (3000) ist gr\xF6\xDF" "er als der zur Verf\xFCgung stehende Platz (2000)."},
        {"EEPROM 4097", 9, 128, 7168, "", 4097,
         "FEHLER: Die EEPROM-Daten (4097) sind gr\xF6\xDF" "er als der zur Verf\xFCgung stehende Platz (4096)."},
        {"not a number", 9, 128, 7168, "myBurn\rPelmoStamp\rATmega8\rV1.10\r64\r512\rviel\r7168\r0\n", 0,
         "FEHLER: Die Antwort des BootLoaders ist ung\xFCltig: "
         "myBurn\rPelmoStamp\rATmega8\rV1.10\r64\r512\rviel\r7168\r0"},
        {"wrong name", 9, 128, 7168, "myBurnX\rPelmoStamp\rATmega8\rV1.10\r64\r512\r128\r7168\r0\n", 0,
         "FEHLER: BootLoader hat falsche Kennung: myBurnX\nSoll: myBurn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BootloaderOptions bl;
        bl.replyFields = c.fields;
        bl.blockSize = c.blockSize;
        bl.flashSpace = c.flashSpace;
        bl.rawReply = SString(std::string(c.raw));
        startBoard(bl);
        SMem flash = image(3000), eeprom = image(c.eeprom);
        EXPECT_FALSE(burner.burn(&flash, &eeprom));
        EXPECT_EQ(burner.getError().str(), c.error);
        EXPECT_TRUE(board.getMemory().isFlashErased());
        EXPECT_EQ(display.statuses.back().first, c.error);
        board.stop();
    }
}

TEST_F(DuvaroBurnerTest, CancelDuringTransferEndsWithinASecondAndClosesThePort) {
    BootloaderOptions bl;
    bl.newBaud = 0;
    bl.programNsPerByte = 2'000'000;  // 2 ms a byte: 7000 bytes would take 14 s
    startBoard(bl, true);
    SMem flash = image(7000);
    bool result = true;
    std::thread worker([&] { result = burner.burn(&flash, nullptr); });
    // Wait until the transfer runs.
    for (int i = 0; i < 300 && display.position <= 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GT(display.position, 0);
    auto t0 = std::chrono::steady_clock::now();
    burner.abort();
    worker.join();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(s, 1.0);
    EXPECT_FALSE(result);
    EXPECT_EQ(burner.getError().str(), "Abgebrochen.");
    EXPECT_FALSE(burner.getPort().isOpen());
}

TEST(DuvaroBurnerSettings, SetPortReplacesOnlyThePortName) {
    SDuvaroBurner b;
    EXPECT_EQ(b.getSettings().str(), "COM3,19200,N,8,1");
    b.setPort(SString(std::string("COM7")));
    EXPECT_EQ(b.getSettings().str(), "COM7,19200,N,8,1");
    EXPECT_EQ(SDuvaroBurner::modeForVersion(SString(std::string("V1.09"))), 1);
    EXPECT_EQ(SDuvaroBurner::modeForVersion(SString(std::string("V1.10"))), 2);
}

TEST(DuvaroBurnerSettings, PortThatDoesNotOpenIsReported) {
    SDuvaroBurner b;
    Recorder display;
    b.setDisplay(&display);
    b.setPort(SString(std::string("/dev/nonexistent-port")));
    SMem flash(10);
    EXPECT_FALSE(b.burn(&flash, nullptr));
    EXPECT_EQ(b.getError().str(), "Fehler beim \xD6" "ffnen des COM-Ports: /dev/nonexistent-port");
    EXPECT_EQ(display.statuses.back().second, SDuvaroBurner::styleError);
    EXPECT_EQ(display.finishedCalls, 1);
}

}  // namespace
