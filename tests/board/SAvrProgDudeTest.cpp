// The avrdude back-end: the real avrdude against the virtual board's AVR911 programmer.
#include "board/SAvrProgDude.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "foundation/SConsolenAgent.h"
#include "platform/FileOps.h"
#include "sim/VirtualBoard.h"
#include "stream/SComPort.h"
#include "support/TestSupport.h"

namespace {

SString raw(const char* t) {
    return SString(std::string(t));
}

bool haveAvrdude() {
    return access("/usr/bin/avrdude", X_OK) == 0;
}

std::vector<uint8_t> bytesOf(const SMem& m) {
    return {m.getData(), m.getData() + m.getSize()};
}

SMem text(const std::string& s) {
    SMem m;
    m.fromString(SString(s));
    return m;
}

class AvrProgDudeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveAvrdude()) GTEST_SKIP() << "avrdude is not installed";
        VirtualBoard::Options o;
        o.adapter = true;
        o.supplyOn = true;
        o.registerPort = true;
        o.comPortsFile = SString(dir.file("comports.ini"));
        ASSERT_TRUE(board.start(o)) << board.getError().str();
        data.programmerType = raw("avr911");
        data.mcu = raw("ATmega8");
        data.avrdudeDirectory = raw("/usr/bin");
        data.port = board.getComName().uppered() + raw(",19200");
        data.console = &console;
        prog.init(&data);
    }
    std::string output() {
        SString all;
        SString line;
        while (console.getLine(line)) all += line + raw("\n");
        return all.str();
    }

    testsupport::TempDir dir;
    testsupport::ScopedEnv comports{"NUK_COMPORTS", dir.file("comports.ini").c_str()};
    VirtualBoard board;
    SAvrBoardData data;
    SConsolenAgent console;
    SAvrProgDude prog;
};

TEST_F(AvrProgDudeTest, WritesVerifiesAndReadsBackTheFlashAndReadsTheSignatureInOneRun) {
    // 16 bytes at address 0.
    dir.write("fw.hex", ":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n");
    // The board's serial port is open on the same device: it is closed for the run.
    SComPort port;
    port.getSettings().fromString(data.port);
    ASSERT_TRUE(port.open());
    data.comPort = &port;

    SMapStringToMem jobs;
    jobs.set(raw("write-flash-file"), text(dir.file("fw.hex")));
    jobs.set(raw("read-signature"), SMem());
    jobs.set(raw("read-flash"), SMem());
    ASSERT_TRUE(prog.execute(jobs)) << prog.getError().str() << output();

    EXPECT_EQ(prog.getProgram().str(), "/usr/bin/avrdude");
    const std::string args = prog.getArguments().str();
    EXPECT_TRUE(args.starts_with(" -p ATmega8 -c avr911 -P " + board.getDevicePath().str() +
                                 " -U flash:w:\"" + dir.file("fw.hex") + "\":i -U signature:r:\""))
        << args;
    EXPECT_TRUE(args.ends_with(":r -u")) << args;
    EXPECT_EQ(bytesOf(jobs.get(raw("read-signature"))), (std::vector<uint8_t>{0x1E, 0x93, 0x07}));
    const SMem& flash = jobs.get(raw("read-flash"));
    ASSERT_GE(flash.getSize(), 16u);
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(flash.getByte(i), i);
        EXPECT_EQ(board.getMemory().readFlash(i), i);
    }
    EXPECT_NE(output().find("16 bytes of flash verified"), std::string::npos);
    EXPECT_TRUE(prog.getTempFiles().isEmpty());
    EXPECT_TRUE(port.isOpen());
    port.close();
}

// Had the board's port stayed open, its reader would have taken avrdude's answers. It lets go
// of the device for the run however the port is named, and is open again afterwards.
TEST_F(AvrProgDudeTest, TheBoardsPortIsClosedForTheRunWhateverItsName) {
    for (const SString& name : {board.getComName().uppered(), board.getComName(), board.getDevicePath()}) {
        SCOPED_TRACE(name.str());
        data.port = name + raw(",19200");
        SComPort port;
        port.getSettings().fromString(data.port);
        ASSERT_TRUE(port.open()) << port.getError().str();
        data.comPort = &port;
        SMapStringToMem jobs;
        jobs.set(raw("read-signature"), SMem());
        ASSERT_TRUE(prog.execute(jobs)) << prog.getError().str() << output();
        EXPECT_EQ(bytesOf(jobs.get(raw("read-signature"))), (std::vector<uint8_t>{0x1E, 0x93, 0x07}));
        EXPECT_NE(prog.getArguments().str().find(" -P " + board.getDevicePath().str() + " "),
                  std::string::npos);
        EXPECT_TRUE(port.isOpen());
        port.close();
        data.comPort = nullptr;
    }
    EXPECT_TRUE(SAvrProgDude::isSerialPort(raw("COM10")));
    EXPECT_FALSE(SAvrProgDude::isSerialPort(raw("LPT1")));
    EXPECT_FALSE(SAvrProgDude::isSerialPort(raw("USB")));
}

TEST_F(AvrProgDudeTest, NonZeroExitFailsWithoutReadingTheTemporaryFiles) {
    data.mcu = raw("ATtiny13");  // the board answers with the ATmega8's signature
    SMapStringToMem jobs;
    jobs.set(raw("read-signature"), text("untouched"));
    EXPECT_FALSE(prog.execute(jobs));
    EXPECT_NE(prog.getExitCode(), 0);
    EXPECT_EQ(prog.getError().str(), "Fehler: Abarbeitung der Befehlsliste fehlgeschlagen\r\n");
    EXPECT_EQ(jobs.get(raw("read-signature")).toString().str(), "untouched");
    EXPECT_NE(output().find("signature"), std::string::npos);
}

TEST_F(AvrProgDudeTest, MissingInputFileStopsBeforeAvrdudeStarts) {
    SMapStringToMem jobs;
    jobs.set(raw("write-flash-file"), text(dir.file("missing.hex")));
    EXPECT_FALSE(prog.execute(jobs));
    EXPECT_EQ(prog.getExitCode(), -1);
    EXPECT_EQ(prog.getError().str(), "Fehler: Die Datei '" + dir.file("missing.hex") +
                                         "' f\xFCr den job 'write-flash-file'wurde nicht gefunden.\r\n");
    // The console shows the message, and nothing of avrdude.
    EXPECT_EQ(output().find("avrdude"), std::string::npos);
}

TEST_F(AvrProgDudeTest, UsbPortGetsVerboseOutputAndLptNamesTheParallelDevice) {
    data.port = raw("USB");
    SMapStringToMem jobs;
    jobs.set(raw("read-signature"), SMem());
    EXPECT_FALSE(prog.execute(jobs));  // no such programmer on USB here
    EXPECT_TRUE(prog.getArguments().str().ends_with(":r -u -v")) << prog.getArguments().str();
    EXPECT_NE(prog.getArguments().str().find(" -P usb "), std::string::npos);
    EXPECT_EQ(SAvrProgDude::devicePort(raw("LPT2")).str(), "/dev/parport1");
    EXPECT_EQ(SAvrProgDude::devicePort(board.getComName().uppered()).str(), board.getDevicePath().str());
}

}  // namespace
