// One measurement with the experiment board: the connection, the firmware dialogue and the
// run's states, apart from any window.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "analysis/TauEvaluation.h"
#include "board/SAvrBoard.h"
#include "foundation/SFileIni.h"
#include "foundation/STimer.h"
#include "stream/ExtDataManager.h"
#include "stream/ExtDataSetup.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "stream/RunEndReceiver.h"

// The run's way:
//
//   idle --Start--> connecting --"start" answered--> preRun --first curve frame--> running
//   idle --a USB bridge without driver, or a driver too old--> failed
//   connecting --no board, no firmware, no answer--> failed
//   preRun, running --Stop, or the firmware's "OK Ende"--> ended
//   preRun, running --board pulled out--> unplugged
//
// ended, failed and unplugged rest like idle: Start is possible again from each. While the
// board empties the capacitor before a run (preRun) it sends only U_C and I; the first frame of
// a curve makes the run "running".
//
// The session owns the board (with its port, the data connection) and the data channels of
// "extdata.ini" that the port feeds. It shows nothing: observers (the main window, the live
// view) hear of every state change with its message, of every watch tick while a measurement
// is on, and of each half cycle the diagram evaluates. Everything runs on the GUI thread.
class MeasurementSession : public STimerEvent {
public:
    S_CLASSNAME(MeasurementSession)

    enum class State { idle, connecting, preRun, running, ended, failed, unplugged };
    // "idle", "connecting", ... for traces and tests.
    static const char* stateName(State state);

    class Observer {
    public:
        virtual ~Observer() = default;
        // The state changed. message is the reason (a tagged German text) for failed and
        // unplugged, empty otherwise.
        virtual void onSessionState(State state, State previous, const SString& message) = 0;
        // Every watch period (100 ms) while a measurement is on.
        virtual void onSessionTick() {}
        // A half cycle was evaluated (the diagram's result, as its text box shows it).
        virtual void onSessionEvaluation(HalfCycle phase, const TauResult& result) {
            (void)phase;
            (void)result;
        }
    };

    // The oldest CP210x driver that runs the board reliably.
    static constexpr const char* minimumDriverVersion = "4.38";
    // How often a running measurement looks at the board.
    static constexpr int watchPeriodMs = 100;

    MeasurementSession();
    // The reader thread stops before the channels it feeds go.
    ~MeasurementSession() override;
    MeasurementSession(const MeasurementSession&) = delete;
    MeasurementSession& operator=(const MeasurementSession&) = delete;

    // Observers are told in the order they were added; they must outlive the session or be
    // removed first.
    void addObserver(Observer* observer);
    void removeObserver(Observer* observer);

    // Sets the data channels up from "extdata.ini", connects them to the board's port and
    // registers them in the manager under their names.
    bool setupChannels(const SFileIni& ini, ExtDataManager& manager);
    // Data channel 1 to 6.
    ExtData_ReceiverBuffered& getChannel(int number) { return channels_.at(static_cast<std::size_t>(number - 1)); }
    SAvrBoard& getBoard() { return board_; }
    // The data connection: the board's port, whose frames feed the channels.
    SComPortSplitter& getDataConnection() { return board_.getPort(); }

    State getState() const { return state_; }
    // connecting, preRun or running: Start is greyed, Stop is the way out.
    bool isMeasuring() const { return isMeasuring(state_); }
    static bool isMeasuring(State state);
    // The message of the last failure or unplugging (tagged German text).
    const SString& getMessage() const { return message_; }

    // Starts a measurement: the board directly, else behind the Ravlink adapter (pass-through,
    // supply on); "ver", then "start". Without any USB bridge the message asks for the board
    // to be plugged in; a bridge without driver gets the driver message. A board that answered behind the adapter on that port
    // last time is looked for there first. True when the run is on (preRun); false with the
    // state failed and its message. Ignored (false) while a measurement is on.
    bool start();
    // Ends the measurement: "stop", data connection closed, adapter back in programmer mode,
    // supply off, port closed; the state becomes ended. Without a measurement it only releases
    // the board.
    void stop();
    // The window closes: the board is released with the adapter's supply left on (the next
    // program finds the board powered); a measurement on ends.
    void release();
    // The project closes: the adapter back in programmer mode with the supply off.
    void releaseForClose();
    // What the watch does every period: a run the firmware ended ends as Stop ends it; a board
    // pulled out ends it as unplugged (port closed); the first curve frame makes it running.
    void poll();
    // The diagram evaluated a half cycle: the observers hear of it.
    void reportEvaluation(HalfCycle phase, const TauResult& result);

    // Whether the CP210x driver is there and new enough (versions compared as numbers); false
    // with the message for the user.
    bool checkDriver(SString& message);
    // Looks for the board's USB bridge (presence says what was found): false with the message
    // for the user when a bridge has no driver, or its driver is too old. Without any bridge it
    // is true; the search that follows decides.
    bool checkBridge(SAvrBoard::BoardPresence& presence, SString& message);
    // Whether U_C frames came since the start: the board is emptying the capacitor.
    bool hasPreRunReadings() const;

    // The firmware dialogue: command + "\n", the answer line within 200 ms. The splitter is
    // suspended meanwhile, so the answer never becomes frames, and the frames right behind the
    // answer reach the channels at the resume; with keepSuspended it stays suspended.
    bool sendCommand(const SString& command, SString& answer, bool keepSuspended = false);

    void onTimer(int id) override;

private:
    // The two ways to the firmware for start(), each ending with the answer to "ver": the data
    // connection on the port directly, or the Ravlink adapter found on the port and switched to
    // pass-through with the supply on. False with the message for the user.
    bool startDirect(const SString& port, SString& answer, SString& message);
    bool startBehindAdapter(const SString& port, SString& answer, SString& message);
    bool connectAndStart(SString& message);
    // Sends "stop" and lets go of the board.
    void releaseBoard(bool supplyOn);
    void setState(State state, const SString& message = SString());
    uint32_t curveFrames() const;

    // The board with its port. Declared before the channels, which go first.
    SAvrBoard board_;
    std::array<ExtData_ReceiverBuffered, ExtDataSetup::channelCount> channels_;
    // The firmware's "OK Ende" after the last sample of a run.
    RunEndReceiver runEnd_;
    // The channels by name (set up from "extdata.ini"): U_C for the pre-run, the curves for
    // the run's beginning.
    ExtData* voltage_ = nullptr;
    std::vector<ExtData*> curves_;
    State state_ = State::idle;
    SString message_;
    std::vector<Observer*> observers_;
    int watchTimer_ = 0;
    uint32_t voltageFramesAtStart_ = 0;
    uint32_t curveFramesAtStart_ = 0;
    // Per port: whether the board answered behind the adapter (true) or directly at the last
    // start that reached it.
    std::map<std::string, bool> boardBehindAdapter_;
};
