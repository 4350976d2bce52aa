#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Clock.h"
#include "support/TestSupport.h"

using platform::Process;

namespace {

Process::StartInfo shell(const std::string& script) {
    Process::StartInfo info;
    info.program = "/bin/sh";
    info.arguments = {"-c", script};
    return info;
}

bool waitEnded(Process& p, int ms = 5000) {
    const int64_t deadline = platform::monotonicMs() + ms;
    while (p.isRunning()) {
        if (platform::monotonicMs() > deadline) return false;
        platform::sleepMs(1);
    }
    return true;
}

// Reads a stream until its end (or the time is up).
std::string readToEnd(Process& p, Process::Stream stream, int ms = 5000) {
    std::string text;
    char buffer[4096];
    const int64_t deadline = platform::monotonicMs() + ms;
    while (!p.atEnd(stream) && platform::monotonicMs() < deadline) {
        long n = p.read(stream, buffer, sizeof buffer);
        if (n < 0) break;
        if (n == 0) platform::sleepMs(1);
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

bool processGone(int pid) {
    struct stat st;
    return ::stat(("/proc/" + std::to_string(pid)).c_str(), &st) != 0;
}

}  // namespace

TEST(ProcessTest, ChildGetsOnlyItsStandardHandles) {
    // A descriptor somebody opened without close-on-exec must not reach the child either.
    int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 0);
    Process p;
    Process::StartInfo info;
    info.program = testsupport::programsDir() + "/listfds";
    ASSERT_EQ(p.start(info), Process::StartResult::ok);
    std::string fds = readToEnd(p, Process::Stream::output);
    ::close(leaky);
    EXPECT_EQ(fds, "0\n1\n2\n");
    EXPECT_TRUE(waitEnded(p));
    EXPECT_EQ(p.exitCode(), 0);
}

TEST(ProcessTest, OutputErrorAndExitStatus) {
    Process p;
    ASSERT_EQ(p.start(shell("printf out; printf err >&2; exit 7")), Process::StartResult::ok);
    EXPECT_EQ(readToEnd(p, Process::Stream::output), "out");
    EXPECT_EQ(readToEnd(p, Process::Stream::error), "err");
    ASSERT_TRUE(waitEnded(p));
    EXPECT_EQ(p.exitCode(), 7);
    // Reaped: no zombie is left.
    EXPECT_TRUE(processGone(p.pid()));

    Process signalled;
    ASSERT_EQ(signalled.start(shell("kill -TERM $$")), Process::StartResult::ok);
    ASSERT_TRUE(waitEnded(signalled));
    EXPECT_EQ(signalled.exitCode(), 128 + SIGTERM);
}

TEST(ProcessTest, ClosedOutputIsNoticedWhileTheChildRuns) {
    Process p;
    ASSERT_EQ(p.start(shell("exec >&- 2>&-; read x")), Process::StartResult::ok);
    readToEnd(p, Process::Stream::output, 2000);
    readToEnd(p, Process::Stream::error, 2000);
    EXPECT_TRUE(p.atEnd(Process::Stream::output));
    EXPECT_TRUE(p.atEnd(Process::Stream::error));
    EXPECT_TRUE(p.isRunning());
    // Closed pipes are not polled again: reads answer at once with nothing.
    char c;
    EXPECT_EQ(p.read(Process::Stream::output, &c, 1), 0);
    EXPECT_EQ(p.bytesAvailable(Process::Stream::output), 0);
    EXPECT_EQ(p.write("\n", 1), 1);
    EXPECT_TRUE(waitEnded(p));
    EXPECT_EQ(p.exitCode(), 0);
}

TEST(ProcessTest, WritingToAChildThatClosedItsInputFailsWithoutSignal) {
    Process p;
    ASSERT_EQ(p.start(shell("exec <&-; sleep 0.05")), Process::StartResult::ok);
    ASSERT_TRUE(waitEnded(p));
    errno = 0;
    EXPECT_EQ(p.write("x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    // The signal the write caused is not left pending for somebody else.
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
}

TEST(ProcessTest, StartFailuresAreReportedAtOnce) {
    testsupport::TempDir dir;
    dir.write("plain.txt", "no program");
    struct Case {
        std::string program;
        std::string workingDirectory;
        int error;
    };
    const Case cases[] = {
        {"/nonexistent/program", "", ENOENT},
        {"nuk-no-such-program", "", ENOENT},
        {dir.file("plain.txt"), "", EACCES},
        {"/bin/true", "/nonexistent-directory", ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " in '" + c.workingDirectory + "'");
        Process p;
        Process::StartInfo info;
        info.program = c.program;
        info.workingDirectory = c.workingDirectory;
        int error = 0;
        EXPECT_EQ(p.start(info, &error), Process::StartResult::spawnFailed);
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(p.hasStarted());
        EXPECT_FALSE(p.isRunning());
        EXPECT_EQ(p.exitCode(), -1);
    }
}

TEST(ProcessTest, BareNamesAreSearchedInTheChildsPath) {
    testsupport::TempDir dir;
    dir.write("nuk-hello", "#!/bin/sh\necho from the path\n");
    ::chmod(dir.file("nuk-hello").c_str(), 0755);
    std::vector<std::string> environment = {"PATH=/nonexistent:" + dir.path()};
    Process p;
    Process::StartInfo info;
    info.program = "nuk-hello";
    info.environment = &environment;
    ASSERT_EQ(p.start(info), Process::StartResult::ok);
    EXPECT_EQ(readToEnd(p, Process::Stream::output), "from the path\n");
    EXPECT_TRUE(waitEnded(p));
}

TEST(ProcessTest, TerminateAndReleaseLeaveNoZombie) {
    Process killed;
    ASSERT_EQ(killed.start(shell("exec sleep 10")), Process::StartResult::ok);
    EXPECT_TRUE(killed.isRunning());
    EXPECT_TRUE(killed.terminate());
    EXPECT_FALSE(killed.isRunning());
    EXPECT_EQ(killed.exitCode(), 128 + SIGKILL);
    EXPECT_TRUE(processGone(killed.pid()));
    EXPECT_TRUE(killed.terminate());

    // A child still running when its object goes keeps running and is collected at its end.
    int pid;
    {
        Process released;
        ASSERT_EQ(released.start(shell("exec sleep 0.05")), Process::StartResult::ok);
        pid = released.pid();
    }
    const int64_t deadline = platform::monotonicMs() + 3000;
    while (!processGone(pid) && platform::monotonicMs() < deadline) platform::sleepMs(5);
    EXPECT_TRUE(processGone(pid));
}
