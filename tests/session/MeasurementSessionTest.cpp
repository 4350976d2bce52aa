// The measurement session against the virtual board on a pseudo-terminal, without any window:
// every state a run goes through, and the ways a start fails or a run ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/AvrMcuXml.h"
#include "foundation/SEventLoop.h"
#include "foundation/SFileIni.h"
#include "platform/Clock.h"
#include "platform/UsbSerialDriver.h"
#include "session/MeasurementSession.h"
#include "sim/VirtualBoard.h"
#include "support/FakeSysfs.h"
#include "support/TestSupport.h"

namespace {

using State = MeasurementSession::State;

// The CP210x driver as the system would report it, for the test's lifetime.
class DriverStandIn {
public:
    explicit DriverStandIn(const std::string& version) {
        platform::setUsbSerialDriverProbe([version](const std::string&) {
            platform::UsbSerialDriverState state;
            state.installed = state.active = true;
            state.version = version;
            return state;
        });
    }
    ~DriverStandIn() { platform::setUsbSerialDriverProbe(nullptr); }
};

// Writes down what the session tells its observers.
class Recorder : public MeasurementSession::Observer {
public:
    void onSessionState(State state, State, const SString& message) override {
        states.push_back(MeasurementSession::stateName(state));
        if (!message.isEmpty()) messages.push_back(message.str());
    }
    void onSessionTick() override { ++ticks; }
    std::vector<std::string> states;
    std::vector<std::string> messages;
    int ticks = 0;
};

class MeasurementSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The programmer's search names the controller from the catalogue the build made.
        globalAvrMcuXml().setCatalogueFile(SString(testsupport::binaryDir() + "/resources/avr.cxf"));
        SFileIni ini;
        ASSERT_TRUE(ini.open(SString(testsupport::sourceDir() + "/resources/extdata.ini"), false, true));
        ASSERT_TRUE(session.setupChannels(ini, channels));
        session.addObserver(&recorder);
        options.seed = 3;
        options.registerPort = true;
        options.comName = "com7";
        // A 60 s cycle in 3 s.
        options.timeScale = 20.0;
    }
    void TearDown() override {
        session.stop();
        board.stop();
    }
    // Runs the session's watch (its timer on the plain event loop) until the condition holds.
    template <typename Condition>
    bool runUntil(Condition condition, int ms) {
        const int64_t until = platform::monotonicMs() + ms;
        while (!condition()) {
            if (platform::monotonicMs() > until) return false;
            eventLoop().waitForEvents(20);
        }
        return true;
    }
    std::vector<std::string> states(std::initializer_list<const char*> names) { return {names.begin(), names.end()}; }

    testsupport::TempDir dir;
    testsupport::ScopedEnv comPorts{"NUK_COMPORTS", dir.file("comports.ini").c_str()};
    DriverStandIn driver{"6.1.0"};
    ExtDataManager channels;
    MeasurementSession session;
    Recorder recorder;
    VirtualBoard::Options options;
    VirtualBoard board;
};

TEST_F(MeasurementSessionTest, AWholeRunGoesFromConnectingToItsEnd) {
    ASSERT_TRUE(board.start(options)) << board.getError().str();
    ASSERT_TRUE(session.start());
    EXPECT_EQ(recorder.states, states({"connecting", "preRun"}));
    EXPECT_TRUE(session.isMeasuring());
    EXPECT_FALSE(session.start()) << "a second Start while measuring is ignored";
    // The firmware ends the run by itself after one cycle: the board is released.
    ASSERT_TRUE(runUntil([&] { return !session.isMeasuring(); }, 10000));
    EXPECT_EQ(recorder.states, states({"connecting", "preRun", "running", "ended"}));
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_GT(recorder.ticks, 0);
    EXPECT_FALSE(session.getBoard().getPort().isOpen());
    EXPECT_GE(session.getChannel(1).getUpdateCount(), 300u);
    EXPECT_GE(session.getChannel(2).getUpdateCount(), 300u);
    EXPECT_FALSE(board.isMeasuring());

    // The next Start begins another run from the ended state.
    ASSERT_TRUE(session.start());
    EXPECT_EQ(session.getState(), State::preRun);
}

TEST_F(MeasurementSessionTest, StopEndsTheRunAndReleasesTheBoard) {
    options.adapter = true;
    ASSERT_TRUE(board.start(options)) << board.getError().str();
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(runUntil([&] { return session.getState() == State::running; }, 5000));
    session.stop();
    EXPECT_EQ(recorder.states, states({"connecting", "preRun", "running", "ended"}));
    EXPECT_FALSE(session.getBoard().getPort().isOpen());
    EXPECT_TRUE(runUntil([&] { return !board.isMeasuring(); }, 2000));
    // Stop without a measurement changes nothing the observers would hear of.
    session.stop();
    EXPECT_EQ(recorder.states.size(), 4u);
}

TEST_F(MeasurementSessionTest, ABoardPulledOutEndsTheRunAsUnplugged) {
    ASSERT_TRUE(board.start(options)) << board.getError().str();
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(runUntil([&] { return session.getState() == State::running; }, 5000));
    board.stop();
    ASSERT_TRUE(runUntil([&] { return !session.isMeasuring(); }, 3000));
    EXPECT_EQ(session.getState(), State::unplugged);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(SString(recorder.messages[0].c_str()).str().find("Der Port com7 wurde getrennt."), 0u) << recorder.messages[0];
    EXPECT_FALSE(session.getBoard().getPort().isOpen());
}

// A start that fails leaves nothing open and nothing running: the state is failed with the
// reason, and Start is possible again at once. Without any USB bridge the pupil is asked to plug
// the board in; the driver's address appears only when the driver is missing or too old.
TEST_F(MeasurementSessionTest, AFailedStartReturnsWithItsReason) {
    testsupport::FakeSysfs sysfs(dir.file("sys"));
    enum class Usb { none, withoutDriver };
    struct Case {
        const char* what;
        Usb usb;
        const char* driverVersion;
        bool boardAttached;
        bool silentController;
        std::vector<std::string> states;
        const char* message;
    } cases[] = {
        {"nothing plugged in", Usb::none, "6.1.0", false, false, {"connecting", "failed"},
         "Es wurde kein Board gefunden. Bitte schlie\xDF" "en Sie das Board an den USB-Anschluss an und pr\xFC"
         "fen Sie das USB-Kabel."},
        {"a bridge without driver", Usb::withoutDriver, "6.1.0", false, false, {"failed"},
         "Der Treiber des USB-Boards ist nicht oder nicht richtig installiert.\r\n"},
        {"a driver too old", Usb::none, "4.37", true, false, {"failed"},
         "Der auf dem System vorhandene Ravlink-Treiber (Version 4.37) ist nicht aktuell."},
        {"a controller without firmware", Usb::none, "6.1.0", true, true, {"connecting", "failed"},
         "Die Firmware ist nicht \xFC" "bertragen oder reagiert nicht."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sysfs.clear();
        if (c.usb == Usb::withoutDriver) sysfs.plugCp210x("1-2", false);
        DriverStandIn driver(c.driverVersion);
        VirtualBoard::Options o = options;
        o.adapter = true;
        o.core = c.silentController;
        if (c.boardAttached) {
            ASSERT_TRUE(board.start(o)) << board.getError().str();
        }
        recorder.states.clear();
        recorder.messages.clear();
        EXPECT_FALSE(session.start());
        EXPECT_EQ(recorder.states, c.states);
        EXPECT_FALSE(session.isMeasuring());
        EXPECT_FALSE(session.getBoard().getPort().isOpen());
        ASSERT_EQ(recorder.messages.size(), 1u);
        EXPECT_EQ(recorder.messages[0].rfind(c.message, 0), 0u) << recorder.messages[0];
        // The driver's address only where the driver is the trouble.
        const bool driverHint = recorder.messages[0].find("kernel.org") != std::string::npos;
        EXPECT_EQ(driverHint, c.usb == Usb::withoutDriver || std::string(c.driverVersion) == "4.37");
        board.stop();
    }
}

}  // namespace
