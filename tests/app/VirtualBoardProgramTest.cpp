// experiment --virtual-board: the board of each mode, and the program itself, whose
// board is in the COM port map while it runs and gone after a termination signal.
#include <csignal>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "app/VirtualBoardHost.h"
#include "platform/Process.h"
#include "support/TestSupport.h"

namespace {

TEST(VirtualBoardHostTest, BoardOptionsOfTheModes) {
    using Mode = VirtualBoardHost::Mode;
    // The pupils' set-up: behind the adapter, registered as a CP210x port, in real time.
    VirtualBoard::Options options;
    std::string error;
    ASSERT_TRUE(VirtualBoardHost::options(Mode::protocol, options, error));
    EXPECT_TRUE(options.adapter);
    EXPECT_TRUE(options.registerPort);
    EXPECT_TRUE(options.realisticTiming);
    EXPECT_FALSE(options.core);
    ASSERT_TRUE(VirtualBoardHost::options(Mode::core, options, error));
    EXPECT_TRUE(options.core);
}

TEST(VirtualBoardProgramTest, PortIsRegisteredWhileTheProgramRuns) {
    testsupport::TempDir dir;
    const std::string comPorts = dir.file("comports.ini");
    std::vector<std::string> environment = platform::currentEnvironment();
    environment.push_back("NUK_COMPORTS=" + comPorts);
    environment.push_back("XDG_CONFIG_HOME=" + dir.file("config"));
    environment.push_back("QT_QPA_PLATFORM=offscreen");

    platform::Process program;
    platform::Process::StartInfo info;
    info.program = testsupport::binaryDir() + "/experiment";
    info.arguments = {"--virtual-board"};
    info.environment = &environment;
    ASSERT_EQ(program.start(info), platform::Process::StartResult::ok);

    // "experiment: virtuelles Board an comN (/dev/pts/N)" once the board runs.
    std::string output;
    ASSERT_TRUE(apptest::waitFor(
        [&] {
            char buf[256];
            long n = program.read(platform::Process::Stream::output, buf, sizeof buf);
            if (n > 0) output.append(buf, static_cast<std::size_t>(n));
            return output.find(")\n") != std::string::npos || !program.isRunning();
        },
        20000))
        << output;
    ASSERT_EQ(output.rfind("experiment: virtuelles Board an com", 0), 0u) << output;
    const std::string device = output.substr(output.find('(') + 1, output.find(')') - output.find('(') - 1);
    const std::string map = dir.read("comports.ini");
    EXPECT_NE(map.find("=" + device + ";cp210x"), std::string::npos) << map;

    ::kill(program.pid(), SIGTERM);
    ASSERT_TRUE(apptest::waitFor([&] { return !program.isRunning(); }, 20000));
    EXPECT_EQ(program.exitCode(), 128 + SIGTERM);
    EXPECT_EQ(dir.read("comports.ini").find(device), std::string::npos) << dir.read("comports.ini");
}

}  // namespace
