// The AVR910/AVR911 back-end against the virtual board's programmer (the adapter in programmer
// mode) over a real pseudo-terminal.
#include "board/SAvrProg911.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "board/AvrMcuXml.h"
#include "board/SHexFile.h"
#include "foundation/SEvent.h"
#include "sim/VirtualBoard.h"
#include "stream/SComPort.h"
#include "support/TestSupport.h"

namespace {

SString raw(const char* t) {
    return SString(std::string(t));
}

// Every programmer event: kind and text.
class EventLog : public SEventHandler {
public:
    int onEvent(SEvent& e) override {
        events.push_back({e.code, e.text.str()});
        return 1;
    }
    std::vector<std::string> texts(int kind, const std::string& prefix = "") const {
        std::vector<std::string> out;
        for (const auto& [k, t] : events)
            if (k == kind && t.starts_with(prefix)) out.push_back(t);
        return out;
    }
    std::vector<std::pair<int, std::string>> events;
};

SMem pattern(std::size_t size, int seed = 3) {
    SMem image(size);
    for (std::size_t i = 0; i < size; ++i) image.setByte(i, static_cast<uint8_t>(i * 13 + seed + i / 256));
    return image;
}

class AvrProg911Test : public ::testing::Test {
protected:
    void SetUp() override {
        AvrMcuXml& mcu = globalAvrMcuXml();
        mcu.setCatalogueFile(SString(testsupport::binaryDir() + "/resources/avr.cxf"));
        ASSERT_TRUE(mcu.select(raw("ATmega8")));
        options.adapter = true;
    }
    void TearDown() override {
        port.close();
        board.stop();
    }
    // Starts the board and opens the port at another rate than the programmer's, so every run
    // has to switch to 19200 baud and back.
    void start() {
        options.log = [this](const SString& line) {
            std::lock_guard lock(mutex);
            log.push_back(line.str());
        };
        ASSERT_TRUE(board.start(options)) << board.getError().str();
        port.getSettings().fromString(board.getDevicePath() + raw(",115200,N,8,1"));
        ASSERT_TRUE(port.open()) << port.getError().str();
        data.comPort = &port;
        data.port = board.getDevicePath() + raw(",19200");
        data.mcuXml = &globalAvrMcuXml();
        data.eventReceiver = &events;
        events.addHandler(&eventLog);
        prog.init(&data);
    }
    bool run(SMapStringToMem& jobs) {
        const bool ok = prog.execute(jobs);
        EXPECT_EQ(port.getSettings().baud, 115200) << "the port's own settings come back";
        return ok;
    }
    bool logged(const std::string& text) {
        std::lock_guard lock(mutex);
        for (const std::string& l : log)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }

    VirtualBoard::Options options;
    VirtualBoard board;
    SComPort port;
    SAvrBoardData data;
    SEventManager events;
    EventLog eventLog;
    SAvrProg911 prog;
    std::mutex mutex;
    std::vector<std::string> log;
};

// Block mode, word mode and the two ways to verify: the image lands in the flash in each, and
// only a software version above 2.2 with block mode verifies by checksum (a few bytes back
// instead of the whole flash).
TEST_F(AvrProg911Test, WritesAndVerifiesInEveryMode) {
    struct Case {
        const char* version;
        bool blockMode;
        bool checksum;
    } cases[] = {
        {"23", true, true},
        {"30", true, true},
        {"22", true, false},
        {"23", false, false},
    };
    // A part with 1 KiB of flash keeps the read-back short.
    ASSERT_TRUE(globalAvrMcuXml().select(raw("ATtiny13")));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + (c.blockMode ? " block" : " word"));
        options.programmer.softwareVersion = c.version;
        options.programmer.blockMode = c.blockMode;
        start();
        const SMem image = pattern(1000);
        SMapStringToMem jobs;
        jobs.set(raw("write-flash"), image);
        const int64_t sentBefore = board.getBytesSent();
        ASSERT_TRUE(run(jobs)) << prog.getError().str();
        const int64_t answered = board.getBytesSent() - sentBefore;
        EXPECT_EQ(prog.hasChecksum(), c.checksum);
        if (c.checksum)
            EXPECT_LT(answered, 200);
        else
            EXPECT_GT(answered, 1024);
        std::vector<uint8_t> flash = board.getMemory().getFlash();
        for (std::size_t i = 0; i < image.getSize(); ++i) ASSERT_EQ(flash[i], image.getByte(i)) << i;
        EXPECT_EQ(flash[1000], 0xFF);
        EXPECT_EQ(eventLog.texts(SAvrProg::kindProgress, "flash|ok").size(), 1u);
        EXPECT_EQ(eventLog.texts(SAvrProg::kindDone), std::vector<std::string>{"OK"});
        EXPECT_FALSE(board.getProgrammer()->isProgMode()) << "programming mode left";
        TearDown();
        eventLog.events.clear();
        events.removeHandler(&eventLog);
    }
}

// Word mode without block mode. On a part written page by page the programmer only fills its
// page buffer with 'c' and 'C'; each page reaches the flash by 'm' at the page's address. A
// part without pages gets no 'm'. The byte after an image of odd length stays erased. The
// EEPROM goes byte by byte.
TEST_F(AvrProg911Test, WordModeWritesEveryPageOfAPagedPart) {
    struct Case {
        const char* mcu;
        uint32_t pageBufferSize;
        int64_t pageWrites;
    } cases[] = {
        {"ATtiny13", 32, 10},  // 301 bytes: nine full pages of 32 and a part of the tenth
        {"AT90S2313", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mcu);
        ASSERT_TRUE(globalAvrMcuXml().select(raw(c.mcu)));
        options.programmer.blockMode = false;
        options.programmer.pageBufferSize = c.pageBufferSize;
        start();
        const SMem image = pattern(301);
        const SMem eeprom = pattern(40, 9);
        SMapStringToMem jobs;
        jobs.set(raw("write-flash"), image);
        jobs.set(raw("write-eeprom"), eeprom);
        ASSERT_TRUE(run(jobs)) << prog.getError().str();
        EXPECT_FALSE(prog.isBlockMode());
        for (std::size_t i = 0; i < eeprom.getSize(); ++i)
            ASSERT_EQ(board.getMemory().readEeprom(static_cast<uint32_t>(i)), eeprom.getByte(i)) << i;
        EXPECT_EQ(board.getProgrammer()->getCommandCount('m'), c.pageWrites);
        std::vector<uint8_t> flash = board.getMemory().getFlash();
        for (std::size_t i = 0; i < image.getSize(); ++i) ASSERT_EQ(flash[i], image.getByte(i)) << i;
        EXPECT_EQ(flash[301], 0xFF);
        EXPECT_EQ(eventLog.texts(SAvrProg::kindProgress, "flash|ok").size(), 1u);
        TearDown();
        eventLog.events.clear();
        events.removeHandler(&eventLog);
    }
}

TEST_F(AvrProg911Test, SendsBlocksOfTheProgrammersSizeWithProgressBeforeEach) {
    options.programmer.blockSize = 128;
    start();
    SMapStringToMem jobs;
    jobs.set(raw("write-flash"), pattern(300));
    ASSERT_TRUE(run(jobs)) << prog.getError().str();
    EXPECT_EQ(eventLog.texts(SAvrProg::kindProgress, "flash|write"),
              (std::vector<std::string>{"flash|write|0|300", "flash|write|128|300", "flash|write|256|300",
                                        "flash|write|300|300"}));
    EXPECT_EQ(eventLog.texts(SAvrProg::kindProgress, "flash|verify"),
              std::vector<std::string>{"flash|verify|300|300"});
    EXPECT_EQ(prog.getBlockSize(), 128);
}

// A flash cell that does not take its byte fails the verify, by checksum and by read-back.
TEST_F(AvrProg911Test, AFlashThatDoesNotTakeTheImageFailsTheVerify) {
    struct Case {
        const char* version;
        const char* message;
    } cases[] = {
        {"23",
         "Vergleich der Pr\xFC"
         "fsumme"},
        {"22", "Erste Abweichung bei Byte 77 , '0x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        options.programmer.softwareVersion = c.version;
        options.programmer.brokenFlashAddress = 77;
        start();
        SMapStringToMem jobs;
        jobs.set(raw("write-flash"), pattern(300));
        EXPECT_FALSE(run(jobs));
        EXPECT_NE(prog.getError().str().find(c.message), std::string::npos) << prog.getError().str();
        EXPECT_EQ(eventLog.texts(SAvrProg::kindProgress, "flash|error"),
                  std::vector<std::string>{"flash|error|300|300"});
        TearDown();
        eventLog.events.clear();
        events.removeHandler(&eventLog);
    }
}

// An image without data fails before the chip erase, whether it comes as bytes or as a HEX
// file with nothing but its end record: what the flash holds stays.
TEST_F(AvrProg911Test, AnEmptyImageNeverErasesTheChip) {
    start();
    testsupport::TempDir dir;
    dir.write("empty.hex", ":00000001FF\r\n");
    SMem name;
    name.fromString(SString(dir.file("empty.hex")));
    const std::pair<const char*, SMem> jobsToRun[] = {{"write-flash", SMem()}, {"write-flash-file", name}};
    board.getMemory().setFlash({1, 2, 3});
    for (const auto& [key, block] : jobsToRun) {
        SCOPED_TRACE(key);
        SMapStringToMem jobs;
        jobs.set(raw(key), block);
        EXPECT_FALSE(run(jobs));
        EXPECT_NE(prog.getError().str().find("keine Daten zum Schreiben"), std::string::npos)
            << prog.getError().str();
    }
    EXPECT_EQ(board.getProgrammer()->getCommandCount('e'), 0);
    EXPECT_EQ(board.getMemory().readFlash(2), 3);
}

// Images of 128 KiB (0x20000 bytes) and more are addressed with the extended address 'H', a
// smaller one with the plain 'A'. The virtual programmer's flash ends at 8 KiB and reads 0xFF
// above, so an image that is erased above its first bytes verifies.
TEST_F(AvrProg911Test, ImagesFrom128KiBUseTheExtendedAddress) {
    ASSERT_TRUE(globalAvrMcuXml().select(raw("ATmega2560")));
    struct Case {
        std::size_t size;
        bool extended;
    } cases[] = {{0x1FFFF, false}, {0x20000, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        start();
        SMem image(c.size);
        for (std::size_t i = 0; i < c.size; ++i)
            image.setByte(i, i < 300 ? static_cast<uint8_t>(i * 7) : 0xFF);
        SMapStringToMem jobs;
        jobs.set(raw("write-flash"), image);
        ASSERT_TRUE(run(jobs)) << prog.getError().str();
        // One address for the write, one for the checksum.
        EXPECT_EQ(board.getProgrammer()->getCommandCount('H'), c.extended ? 2 : 0);
        EXPECT_EQ(board.getProgrammer()->getCommandCount('A'), c.extended ? 0 : 2);
        EXPECT_EQ(board.getMemory().readFlash(299), static_cast<uint8_t>(299 * 7));
        TearDown();
    }
}

TEST_F(AvrProg911Test, EnterProgrammingModeOnTheSecondTry) {
    options.programmer.ignoredEnterCount = 1;
    start();
    SMapStringToMem jobs;
    jobs.set(raw("read-signature"), SMem());
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(run(jobs)) << prog.getError().str();
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(500));
    const SMem& sig = jobs.get(raw("read-signature"));
    // The programmer sends the signature's last byte first, as AVR109 does.
    EXPECT_EQ(sig.getSize(), 3u);
    EXPECT_EQ(sig.getByte(0), 0x07);
    EXPECT_EQ(sig.getByte(2), 0x1E);
    EXPECT_EQ(globalAvrMcuXml().getPartName(
                  SString::printf("%02X%02X%02X", sig.getByte(0), sig.getByte(1), sig.getByte(2))),
              raw("ATmega8"));
}

TEST_F(AvrProg911Test, AFailingJobEndsTheListWithoutLeavingProgrammingMode) {
    options.programmer.silentCommands = "N";  // reading the high fuse gets no answer
    start();
    SMapStringToMem jobs;
    jobs.set(raw("read-lfuse"), SMem());
    jobs.set(raw("read-hfuse"), SMem());
    jobs.set(raw("read-lock"), SMem());
    EXPECT_FALSE(run(jobs));
    EXPECT_EQ(jobs.get(raw("read-lfuse")).getByte(0), AvrMemory::defaultLowFuse);
    EXPECT_EQ(jobs.get(raw("read-lock")).getSize(), 0u) << "the third job did not run";
    EXPECT_NE(prog.getError().str().find("High-Fuse"), std::string::npos) << prog.getError().str();
    EXPECT_TRUE(board.getProgrammer()->isProgMode()) << "no 'L' after a failure";
    ASSERT_EQ(eventLog.texts(SAvrProg::kindFailed).size(), 1u);
    EXPECT_EQ(eventLog.texts(SAvrProg::kindFailed)[0], prog.getError().str());
}

TEST_F(AvrProg911Test, FusesLockEepromAndCalibration) {
    start();
    SMapStringToMem jobs;
    SMem value(1);
    value.setByte(0, 0xE4);
    jobs.set(raw("write-lfuse"), value);
    value.setByte(0, 0xC9);
    jobs.set(raw("write-hfuse"), value);
    value.setByte(0, 0xFC);
    jobs.set(raw("write-lock"), value);
    const SMem eeprom = pattern(40);
    jobs.set(raw("write-eeprom"), eeprom);
    jobs.set(raw("read-lfuse"), SMem());
    jobs.set(raw("read-calibration"), SMem(4));
    jobs.set(raw("read-swVersion"), SMem());
    ASSERT_TRUE(run(jobs)) << prog.getError().str();
    EXPECT_EQ(board.getMemory().getLowFuse(), 0xE4);
    EXPECT_EQ(board.getMemory().getHighFuse(), 0xC9);
    EXPECT_EQ(board.getMemory().getLock(), 0xFC);
    EXPECT_EQ(jobs.get(raw("read-lfuse")).getByte(0), 0xE4);
    for (std::size_t i = 0; i < 40; ++i)
        ASSERT_EQ(board.getMemory().readEeprom(static_cast<uint32_t>(i)), eeprom.getByte(i));
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(jobs.get(raw("read-calibration")).getByte(i), Avr911Programmer::calibration[i]);
    EXPECT_EQ(jobs.get(raw("read-swVersion")).toString(), raw("2.3"));
    EXPECT_EQ(eventLog.texts(SAvrProg::kindProgress, "lfuse|"), std::vector<std::string>{"lfuse|ok"});
    EXPECT_EQ(eventLog.texts(SAvrProg::kindProgress, "lock|"), std::vector<std::string>{"lock|ok"});
    // The EEPROM's read-back sends no read lines.
    EXPECT_TRUE(eventLog.texts(SAvrProg::kindProgress, "eeprom|read").empty());
    EXPECT_EQ(eventLog.texts(SAvrProg::kindProgress, "eeprom|ok"),
              std::vector<std::string>{"eeprom|ok|40|40"});
}

TEST_F(AvrProg911Test, FilesInAndOut) {
    start();
    testsupport::TempDir dir;
    const SMem image = pattern(600);
    SHexFile hex;
    ASSERT_TRUE(hex.saveFile(SString(dir.file("in.hex")), image));
    SMapStringToMem jobs;
    SMem name;
    name.fromString(SString(dir.file("in.hex")));
    jobs.set(raw("write-flash-file"), name);
    name.fromString(SString(dir.file("out.hex")));
    jobs.set(raw("read-flash-file"), name);
    ASSERT_TRUE(run(jobs)) << prog.getError().str();
    // The read image loses its erased tail: the file holds the 600 bytes written.
    SMem back;
    ASSERT_TRUE(hex.loadFile(SString(dir.file("out.hex")), back));
    EXPECT_TRUE(back == image);

    SMapStringToMem missing;
    name.fromString(SString(dir.file("none.hex")));
    missing.set(raw("write-flash-file"), name);
    EXPECT_FALSE(run(missing));
    EXPECT_NE(prog.getError().str().find("none.hex' wurde nicht gefunden"), std::string::npos)
        << prog.getError().str();
    EXPECT_EQ(board.getMemory().readFlash(0), image.getByte(0)) << "nothing erased for a missing file";
}

// A job the programmer does not know is a failure with its name, not a box and success.
TEST_F(AvrProg911Test, AnUnknownJobFails) {
    start();
    testsupport::MessageCapture boxes;
    for (const char* key : {"read-nothing", "write-nowhere"}) {
        SCOPED_TRACE(key);
        SMapStringToMem jobs;
        jobs.set(raw(key), SMem());
        EXPECT_FALSE(run(jobs));
        EXPECT_NE(prog.getError().str().find(std::string("unbekannter Aufruf: ") + key), std::string::npos)
            << prog.getError().str();
    }
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.all();
}

TEST_F(AvrProg911Test, WithoutBoardDataOrPort) {
    SAvrProg911 bare;
    SMapStringToMem jobs;
    EXPECT_FALSE(bare.execute(jobs));
    EXPECT_NE(bare.getError().str().find("Initialisierung"), std::string::npos);
    SAvrBoardData noPort;
    SAvrProg911 unopened(&noPort);
    EXPECT_FALSE(unopened.execute(jobs));
    EXPECT_NE(unopened.getError().str().find("kein Comport"), std::string::npos);
    SAvrProg base;
    EXPECT_FALSE(base.init(nullptr));
    EXPECT_NE(base.getError().str().find("SAvrBoardData"), std::string::npos);
}

// A board pulled out during a burn: the job fails at once with the port's message.
TEST_F(AvrProg911Test, TheBoardPulledOutMidBurn) {
    options.realisticTiming = true;
    start();
    SMapStringToMem jobs;
    jobs.set(raw("write-flash"), pattern(8192));
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        board.stop();
    });
    const auto begin = std::chrono::steady_clock::now();
    const bool ok = prog.execute(jobs);
    const auto took = std::chrono::steady_clock::now() - begin;
    unplug.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(took, std::chrono::milliseconds(2500));
    EXPECT_NE(prog.getError().str().find("wurde getrennt"), std::string::npos) << prog.getError().str();
    EXPECT_EQ(eventLog.texts(SAvrProg::kindProgress, "flash|error").size(), 1u);
}

}  // namespace
