#include "foundation/SConsolenAgent.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "foundation/SApplicationBasic.h"
#include "foundation/SError.h"
#include "platform/Clock.h"
#include "support/TestSupport.h"

namespace {

// Counts the hooks; in drain mode it takes every line as it comes, as an output window does.
class RecordingAgent : public SConsolenAgent {
public:
    void onOutput() override {
        ++outputs;
        if (!drain) return;
        SString line;
        while (getLine(line)) lines.push_back(line.str());
    }
    void onFinished() override { ++finished; }

    bool drain = false;
    int outputs = 0;
    int finished = 0;
    std::vector<std::string> lines;
};

class Ticker : public STimerEvent {
public:
    void onTimer(int) override { ++ticks; }
    int ticks = 0;
};

// Waits for the child's end without dispatching events, so no timer tick comes in between.
bool waitEnded(SConsolenAgent& agent, int ms = 5000) {
    const int64_t deadline = platform::monotonicMs() + ms;
    while (agent.getState() != SConsolenAgent::stateEnded) {
        if (platform::monotonicMs() > deadline) return false;
        platform::sleepMs(1);
    }
    return true;
}

std::vector<std::string> takeLines(SConsolenAgent& agent) {
    std::vector<std::string> lines;
    SString line;
    while (agent.getLine(line)) lines.push_back(line.str());
    return lines;
}

SString raw(const std::string& bytes) {
    return SString(bytes);
}

}  // namespace

TEST(SConsolenAgentTest, SplitsArgumentsAsAShellSplitsWords) {
    struct Case {
        std::string text;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {"", {}},
        {"  -p  m8\t-c avr910 ", {"-p", "m8", "-c", "avr910"}},
        {"\"a b\" c", {"a b", "c"}},
        {"\"\" x \"\"", {"", "x", ""}},
        {"-U flash:w:\"/tmp/my file.hex\":i -u", {"-U", "flash:w:/tmp/my file.hex:i", "-u"}},
        {"say \\\"hi\\\" a\\\\b c\\d", {"say", "\"hi\"", "a\\b", "c\\d"}},
        {"\"open end", {"open end"}},
        {"'single quotes' stay", {"'single", "quotes'", "stay"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> words;
        for (const SString& w : SConsolenAgent::splitArguments(raw(c.text))) words.push_back(w.str());
        EXPECT_EQ(words, c.words);
    }
}

TEST(SConsolenAgentTest, ArgumentsReachTheProgramAsTheyAre) {
    // No shell runs in between: blanks, empty words and shell characters arrive unchanged.
    SConsolenAgent agent;
    ASSERT_TRUE(agent.runAndWait("printf", raw("\"[%s]\\n\" \"a  b\" \"\" x\\\"y '$HOME;*'"), ""));
    EXPECT_EQ(agent.getExitCode(), 0);
    EXPECT_EQ(takeLines(agent), (std::vector<std::string>{"[a  b]", "[]", "[x\"y]", "['$HOME;*']"}));
}

TEST(SConsolenAgentTest, DeliversLinesAndExitCodes) {
    struct Case {
        std::string script;
        std::vector<std::string> lines;
        int exitCode;
    };
    const Case cases[] = {
        {"printf 'a\\r\\nb\\r\\n'", {"a", "b"}, 0},
        {"echo out; echo err >&2; exit 3", {"out", "err"}, 3},
        // An unfinished last line is delivered when the output ends.
        {"printf 'no line end'", {"no line end"}, 0},
        // The streams never mix within a line.
        {"printf ab; printf 'err\\n' >&2; printf 'cd\\n'", {"abcd", "err"}, 0},
        {"exit 255", {}, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        RecordingAgent agent;
        ASSERT_TRUE(agent.start("/bin/sh", raw("-c \"" + c.script + "\""), ""));
        ASSERT_TRUE(waitEnded(agent));
        agent.onTimer(0);
        EXPECT_EQ(agent.outputs, c.lines.empty() ? 0 : 1);
        EXPECT_EQ(agent.finished, 1);
        EXPECT_EQ(takeLines(agent), c.lines);
        EXPECT_EQ(agent.getExitCode(), c.exitCode);
        EXPECT_EQ(agent.getState(), SConsolenAgent::stateEnded);
        EXPECT_TRUE(globalTimer().timersOf(&agent).empty());
    }
}

TEST(SConsolenAgentTest, EverythingWrittenBetweenTwoTicksComesInOneTick) {
    RecordingAgent agent;
    // 100 lines of 50 bytes: five times the read piece.
    ASSERT_TRUE(agent.start(
        "/bin/sh", raw("-c \"i=0; while [ $i -lt 100 ]; do printf '%049d\\n' $i; i=$((i+1)); done\""), ""));
    ASSERT_TRUE(waitEnded(agent));
    agent.onTimer(0);
    ASSERT_EQ(agent.getOutputLines().getSize(), 100);
    EXPECT_EQ(agent.getOutputLines().getAt(99).str(), std::string(47, '0') + "99");
    EXPECT_EQ(agent.outputs, 1);
}

TEST(SConsolenAgentTest, LineSplitAcrossReadsIsDeliveredOnceComplete) {
    RecordingAgent agent;
    ASSERT_TRUE(agent.start("/bin/sh", raw("-c \"printf hel; read x; printf 'lo\\r\\n'\""), ""));
    const int64_t deadline = platform::monotonicMs() + 3000;
    while (agent.getOutputText().str() != "hel" && platform::monotonicMs() < deadline) {
        agent.onTimer(0);
        platform::sleepMs(2);
    }
    ASSERT_EQ(agent.getOutputText().str(), "hel");
    EXPECT_EQ(agent.outputs, 0);
    EXPECT_TRUE(agent.getOutputLines().isEmpty());

    ASSERT_TRUE(agent.write("\n"));
    ASSERT_TRUE(waitEnded(agent));
    agent.onTimer(0);
    EXPECT_EQ(agent.outputs, 1);
    EXPECT_EQ(takeLines(agent), std::vector<std::string>{"hello"});
}

TEST(SConsolenAgentTest, ProgramThatCannotStartKeepsStateZero) {
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
        SCOPED_TRACE(c.program);
        testsupport::MessageCapture boxes;
        SConsolenAgent agent;
        EXPECT_FALSE(agent.start(raw(c.program), "", raw(c.workingDirectory)));
        EXPECT_EQ(agent.getState(), SConsolenAgent::stateNotStarted);
        EXPECT_FALSE(agent.isFinished());
        EXPECT_EQ(agent.getExitCode(), -1);
        EXPECT_EQ(agent.getErrorText(), SError::systemErrorText(c.error));
        EXPECT_TRUE(globalTimer().timersOf(&agent).empty());
        EXPECT_FALSE(agent.runAndWait(raw(c.program), "", raw(c.workingDirectory)));
        EXPECT_TRUE(boxes.boxes().empty());
    }
}

TEST(SConsolenAgentTest, RunningChildReportsStillActive) {
    testsupport::MessageCapture boxes;
    SConsolenAgent agent;
    ASSERT_TRUE(agent.start("/bin/cat", "", ""));
    EXPECT_EQ(agent.getExitCode(), SConsolenAgent::stillActive);
    EXPECT_EQ(agent.getState(), SConsolenAgent::stateRunning);
    EXPECT_FALSE(agent.isFinished());
    EXPECT_EQ(globalTimer().timersOf(&agent).size(), 1u);

    // A second start while the child runs is refused.
    EXPECT_FALSE(agent.start("/bin/true", "", ""));
    EXPECT_EQ(boxes.boxes().size(), 1u);

    agent.closeInput();
    ASSERT_TRUE(waitEnded(agent));
    EXPECT_EQ(agent.getExitCode(), 0);
    EXPECT_TRUE(agent.isFinished());
}

TEST(SConsolenAgentTest, InputRoundTripLargerThanThePipe) {
    // cat answers while we still write: write must take cat's output meanwhile, or both would
    // wait for each other once the pipes are full.
    SConsolenAgent agent;
    ASSERT_TRUE(agent.start("/bin/cat", "", ""));
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "Zeile " + std::to_string(i) + std::string(60, 'x') + "\n";
    ASSERT_TRUE(agent.write(raw(text)));
    agent.closeInput();
    std::string echoed;
    const int64_t deadline = platform::monotonicMs() + 5000;
    for (bool ended = false; !ended && platform::monotonicMs() < deadline;) {
        ended = agent.isFinished();
        for (const std::string& line : takeLines(agent)) echoed += line + "\n";
        platform::sleepMs(1);
    }
    EXPECT_EQ(echoed, text);
    EXPECT_FALSE(agent.write("too late"));
}

TEST(SConsolenAgentTest, BuildsTheChildsEnvironment) {
    const std::vector<std::string> base = {"PATH=/bin", "HOME=/home/a"};
    struct Case {
        std::string settings;
        std::vector<std::string> environment;
    };
    const Case cases[] = {
        {"  \r\n ", base},
        {"PATH=+:/opt/avr\r\nHOME=/neu", {"PATH=/bin:/opt/avr", "HOME=/neu"}},
        // "+" on a variable that is not set, and on one set a line before.
        {"NEU=+a\r\nNEU=+b\r\nLEER=", {"PATH=/bin", "HOME=/home/a", "NEU=ab", "LEER="}},
        // Lines without a name are skipped; a bare "\n" also ends a line.
        {"kein Gleich\r\n=x\nA=1=2", {"PATH=/bin", "HOME=/home/a", "A=1=2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        EXPECT_EQ(SConsolenAgent::buildEnvironment(raw(c.settings), base), c.environment);
    }
}

TEST(SConsolenAgentTest, ChildRunsWithTheSettingsOurEnvironmentStays) {
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ASSERT_EQ(std::getenv("NUK_CONSOLE_TEST"), nullptr);
    SConsolenAgent agent;
    agent.setEnvironment("NUK_CONSOLE_TEST=eins\r\nNUK_CONSOLE_TEST=+zwei\r\nPATH=+:/nuk-extra\r\n");
    // Twice: a second start must not append again.
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(agent.runAndWait("/usr/bin/env", "", ""));
        std::vector<std::string> lines = takeLines(agent);
        EXPECT_NE(std::find(lines.begin(), lines.end(), "NUK_CONSOLE_TEST=einszwei"), lines.end());
        EXPECT_NE(std::find(lines.begin(), lines.end(), "PATH=" + path + ":/nuk-extra"), lines.end());
    }
    EXPECT_EQ(std::getenv("NUK_CONSOLE_TEST"), nullptr);
    EXPECT_EQ(std::string(std::getenv("PATH")), path);
}

TEST(SConsolenAgentTest, WorkingDirectoryDefaultsToTheProgramDirectory) {
    namespace fs = std::filesystem;
    testsupport::TempDir dir;
    SConsolenAgent agent;
    ASSERT_TRUE(agent.runAndWait("/bin/pwd", "", raw(dir.path())));
    std::vector<std::string> lines = takeLines(agent);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(fs::canonical(lines[0]), fs::canonical(dir.path()));

    ASSERT_TRUE(agent.runAndWait("/bin/pwd", "", ""));
    lines = takeLines(agent);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(fs::canonical(lines[0]), fs::canonical(globalApplicationBasic().getProgramDirectory().str()));
}

TEST(SConsolenAgentTest, RunAndWaitKeepsTheEventLoopRunning) {
    Ticker ticker;
    ticker.startTimer(20);
    RecordingAgent agent;
    agent.drain = true;
    ASSERT_TRUE(agent.runAndWait("/bin/sh", "-c \"echo first; sleep 0.3; echo last\"", ""));
    EXPECT_GE(ticker.ticks, 8);
    EXPECT_TRUE(agent.isFinished());
    // All output is there when runAndWait returns, and the end was reported once.
    EXPECT_EQ(agent.lines, (std::vector<std::string>{"first", "last"}));
    EXPECT_EQ(agent.finished, 1);
    EXPECT_TRUE(globalTimer().timersOf(&agent).empty());
    SApplicationBasic::wait(SConsolenAgent::timerPeriodMs + 10);
    EXPECT_EQ(agent.finished, 1);
}

TEST(SConsolenAgentTest, BusyTickIsNotEnteredAgain) {
    // A hook that waits lets further expiries come in; they must not run the tick again.
    class WaitingAgent : public SConsolenAgent {
    public:
        void onOutput() override {
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            busySeen = isBusy();
            if (depth == 1) SApplicationBasic::wait(timerPeriodMs + 50);
            --depth;
        }
        int depth = 0;
        int maxDepth = 0;
        bool busySeen = false;
    };
    WaitingAgent agent;
    ASSERT_TRUE(agent.start("/bin/sh", "-c \"echo x; read y\"", ""));
    const int64_t deadline = platform::monotonicMs() + 3000;
    while (agent.maxDepth == 0 && platform::monotonicMs() < deadline) SApplicationBasic::wait(10);
    EXPECT_EQ(agent.maxDepth, 1);
    EXPECT_TRUE(agent.busySeen);
    EXPECT_FALSE(agent.isBusy());
    EXPECT_TRUE(agent.terminate());
}

TEST(SConsolenAgentTest, TerminateEndsTheChild) {
    SConsolenAgent idle;
    EXPECT_TRUE(idle.terminate());

    RecordingAgent agent;
    ASSERT_TRUE(agent.start("/bin/sleep", "10", ""));
    const int64_t before = platform::monotonicMs();
    EXPECT_TRUE(agent.terminate());
    EXPECT_EQ(agent.getState(), SConsolenAgent::stateEnded);
    EXPECT_LT(platform::monotonicMs() - before, 1000);
    // Killed, not successful: the exit code says which signal ended it.
    EXPECT_EQ(agent.getExitCode(), 128 + 9);
    EXPECT_TRUE(agent.terminate());
    agent.onTimer(0);
    EXPECT_EQ(agent.finished, 1);
}

TEST(SConsolenAgentTest, OwnerLinesAndTextMode) {
    RecordingAgent console;
    console.addOutput("eins\r\nzwei\r\n");
    console.addOutput("drei");
    EXPECT_EQ(console.outputs, 2);
    EXPECT_EQ(takeLines(console), (std::vector<std::string>{"eins", "zwei", "drei"}));

    // Without line mode the collected text is handed out as a whole.
    SConsolenAgent text;
    text.setLineMode(false);
    ASSERT_TRUE(text.runAndWait("/bin/sh", "-c \"printf 'a\\nb'; printf c >&2\"", ""));
    SString all;
    ASSERT_TRUE(text.getLine(all));
    EXPECT_EQ(all.str(), "a\nbc");
    EXPECT_FALSE(text.getLine(all));

    // readAll discards what was collected.
    SConsolenAgent discard;
    ASSERT_TRUE(discard.runAndWait("/bin/sh", "-c \"echo a; echo b\"", ""));
    discard.readAll();
    EXPECT_FALSE(discard.getLine(all));
}

TEST(SConsolenAgentTest, WithoutRedirectionTheChildSharesOurHandles) {
    SConsolenAgent agent;
    agent.setNoRedirect(true);
    ASSERT_TRUE(agent.runAndWait("/bin/sh", "-c \"exit 4\"", ""));
    EXPECT_EQ(agent.getExitCode(), 4);
    SString line;
    EXPECT_FALSE(agent.getLine(line));
    EXPECT_FALSE(agent.write("x"));
}
