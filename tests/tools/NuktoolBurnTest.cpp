// nuktool burn and nuktool signature against the virtual board's programmer and against a
// separate AVR109 bootloader; avrdude against the virtual board's programmer.
#include <gtest/gtest.h>

#include <fstream>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "board/SHexFile.h"
#include "sim/VirtualBoard.h"
#include "support/TestSupport.h"

namespace {

std::string run(const std::string& command, int* rc) {
    std::string out;
    *rc = testsupport::runCommand(command, &out);
    return out;
}

std::vector<uint8_t> writeImage(const std::string& path, std::size_t size, int seed) {
    SMem image(size);
    for (std::size_t i = 0; i < size; ++i) image.setByte(i, static_cast<uint8_t>(i * 31 + seed + (i >> 7)));
    SHexFile hex;
    EXPECT_TRUE(hex.saveFile(SString(path), image));
    return std::vector<uint8_t>(image.getData(), image.getData() + size);
}

bool startsWith(const std::vector<uint8_t>& flash, const std::vector<uint8_t>& image) {
    return flash.size() >= image.size() && std::equal(image.begin(), image.end(), flash.begin());
}

class NuktoolBurn : public ::testing::Test {
protected:
    void SetUp() override {
        options.adapter = true;
        options.registerPort = true;
        options.comPortsFile = SString(dir.file("comports.ini"));
        ASSERT_TRUE(board.start(options)) << board.getError().str();
    }
    std::string nuktool(const std::string& args, int* rc) {
        return run("NUK_COMPORTS=" + dir.file("comports.ini") + " " + testsupport::toolPath() + " " + args,
                   rc);
    }

    testsupport::TempDir dir;
    VirtualBoard::Options options;
    VirtualBoard board;
};

TEST_F(NuktoolBurn, SearchesBurnsAndNamesTheProcessor) {
    const std::vector<uint8_t> image = writeImage(dir.file("fw.hex"), 2500, 1);
    int rc = -1;
    std::string out = nuktool("burn " + dir.file("fw.hex"), &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("flash write"), std::string::npos) << out;
    EXPECT_NE(out.find("erfolgreich"), std::string::npos) << out;
    EXPECT_TRUE(startsWith(board.getMemory().getFlash(), image));

    out = nuktool("signature", &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("signature 0x1E9307  ATmega8"), std::string::npos) << out;
    out = nuktool("signature --port " + board.getDevicePath().str() + " --programmer avr910", &rc);
    EXPECT_EQ(rc, 0) << out;
}

TEST_F(NuktoolBurn, FailuresAndUsage) {
    int rc = -1;
    writeImage(dir.file("fw.hex"), 100, 2);
    std::string out = nuktool("burn --port /dev/pts/999999 " + dir.file("fw.hex"), &rc);
    EXPECT_EQ(rc, 1) << out;
    EXPECT_NE(out.find("nicht ge\xC3\xB6"
                       "ffnet werden"),
              std::string::npos)
        << out;
    out = nuktool("burn " + dir.file("none.hex"), &rc);
    EXPECT_EQ(rc, 1) << out;
    // Without any board the search ends with its message and no message box.
    out = run("NUK_COMPORTS=" + dir.file("none.ini") + " " + testsupport::toolPath() + " signature", &rc);
    EXPECT_EQ(rc, 1) << out;
    EXPECT_NE(out.find("Es wurde kein Board mit Programmer gefunden."), std::string::npos) << out;
    EXPECT_EQ(out.find("Fehler !:"), std::string::npos) << out;
    // The desktop's language: English messages from the language file, German for "de" and "C".
    struct Case {
        const char* environment;
        const char* line;
    };
    for (const Case& c : {Case{"LANG=en_GB.UTF-8", "No board with a programmer was found."},
                          Case{"LC_ALL=en_US.UTF-8 LANG=de_DE.UTF-8", "No board with a programmer was found."},
                          Case{"LANG=de_DE.UTF-8", "Es wurde kein Board mit Programmer gefunden."},
                          Case{"LANG=C", "Es wurde kein Board mit Programmer gefunden."}}) {
        out = run(std::string(c.environment) + " NUK_COMPORTS=" + dir.file("none.ini") + " " +
                      testsupport::toolPath() + " signature",
                  &rc);
        EXPECT_EQ(rc, 1) << out;
        EXPECT_EQ(out.rfind(c.line, 0), 0u) << c.environment << ":\n" << out;
    }
    nuktool("burn --programmer stk500 " + dir.file("fw.hex"), &rc);
    EXPECT_EQ(rc, 2);
    nuktool("burn", &rc);
    EXPECT_EQ(rc, 2);
    // A HEX file with a broken line is refused before anything is erased.
    board.getMemory().setFlash({1, 2, 3});
    std::ofstream(dir.file("bad.hex")) << ":020000000102FB\nnot a record\n";
    out = nuktool("burn --port " + board.getDevicePath().str() + " " + dir.file("bad.hex"), &rc);
    EXPECT_EQ(rc, 1) << out;
    EXPECT_NE(out.find("keine g\xC3\xBCltige HEX-Datei"), std::string::npos) << out;
    EXPECT_EQ(board.getMemory().readFlash(2), 3);
}

// A second AVR109 implementation: a bootloader that identifies as "AVRBOOT", has no checksum
// extension (so the burn verifies by reading back) and uses the flash page as its block.
TEST(NuktoolBurnIndependent, BurnsAndReadsTheSignatureThroughAnAvr109Bootloader) {
    testsupport::TempDir dir;
    int toPeer[2], fromPeer[2];
    ASSERT_EQ(pipe(toPeer), 0);
    ASSERT_EQ(pipe(fromPeer), 0);
    const std::string program = testsupport::programsDir() + "/avr109peer";
    const std::string dump = dir.file("flash.bin");
    pid_t pid = fork();
    if (pid == 0) {
        dup2(toPeer[0], 0);
        dup2(fromPeer[1], 1);
        close(toPeer[1]);
        close(fromPeer[0]);
        execl(program.c_str(), program.c_str(), dump.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toPeer[0]);
    close(fromPeer[1]);
    std::string device;
    char c;
    while (read(fromPeer[0], &c, 1) == 1 && c != '\n') device += c;
    ASSERT_FALSE(device.empty());

    const std::vector<uint8_t> image = writeImage(dir.file("fw.hex"), 3000, 5);
    int rc = -1;
    const std::string tool = "NUK_COMPORTS=" + dir.file("comports.ini") + " " + testsupport::toolPath();
    std::string out =
        run(tool + " burn --port " + device + " --programmer avr910 " + dir.file("fw.hex"), &rc);
    EXPECT_EQ(rc, 0) << out;
    out = run(tool + " signature --port " + device, &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("signature 0x1E9307  ATmega8"), std::string::npos) << out;

    close(toPeer[1]);  // the peer ends and writes its flash
    int status = 0;
    waitpid(pid, &status, 0);
    close(fromPeer[0]);
    std::ifstream in(dump, std::ios::binary);
    std::vector<uint8_t> flash((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(startsWith(flash, image));
}

// nuktool's avrdude back-end with the port given as a COM name and as a device path: either way
// nuktool lets go of the line while avrdude burns and verifies.
TEST(NuktoolBurnAvrdude, BurnsWithThePortGivenByComNameOrDevicePath) {
    int rc = -1;
    run("avrdude -? ", &rc);
    if (rc == 127) GTEST_SKIP() << "avrdude is not installed";
    testsupport::TempDir dir;
    VirtualBoard::Options options;
    options.adapter = true;
    options.supplyOn = true;
    options.registerPort = true;
    options.comPortsFile = SString(dir.file("comports.ini"));
    VirtualBoard board;
    ASSERT_TRUE(board.start(options)) << board.getError().str();
    int seed = 20;
    for (const std::string& port : {board.getComName().str(), board.getDevicePath().str()}) {
        SCOPED_TRACE(port);
        const std::vector<uint8_t> image = writeImage(dir.file("fw.hex"), 700, ++seed);
        const std::string out =
            run("NUK_COMPORTS=" + dir.file("comports.ini") + " " + testsupport::toolPath() +
                    " burn --programmer avrdude --port " + port + " " + dir.file("fw.hex"),
                &rc);
        EXPECT_EQ(rc, 0) << out;
        EXPECT_NE(out.find("700 bytes of flash verified"), std::string::npos) << out;
        EXPECT_TRUE(startsWith(board.getMemory().getFlash(), image));
    }
}

// The real avrdude writes, reads and verifies through the virtual board's programmer.
TEST_F(NuktoolBurn, AvrdudeTalksToTheVirtualProgrammer) {
    int rc = -1;
    run("avrdude -? ", &rc);
    if (rc == 127) GTEST_SKIP() << "avrdude is not installed";
    const std::vector<uint8_t> image = writeImage(dir.file("fw.hex"), 4096, 9);
    const std::string device = board.getDevicePath().str();
    std::string out =
        run("avrdude -c avr911 -p m8 -P " + device + " -U flash:w:" + dir.file("fw.hex") +
                ":i -U flash:r:" + dir.file("back.bin") + ":r -U lfuse:r:" + dir.file("lfuse.txt") + ":h",
            &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("4096 bytes of flash verified"), std::string::npos) << out;
    EXPECT_TRUE(startsWith(board.getMemory().getFlash(), image));
    std::ifstream in(dir.file("back.bin"), std::ios::binary);
    std::vector<uint8_t> back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(startsWith(back, image));
    std::string fuse;
    std::getline(std::ifstream(dir.file("lfuse.txt")), fuse);
    EXPECT_EQ(fuse, "0xe1");
}

}  // namespace
