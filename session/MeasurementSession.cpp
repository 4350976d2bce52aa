#include "session/MeasurementSession.h"

#include <algorithm>

#include "board/DriverVersion.h"
#include "foundation/SDebug.h"
#include "session/ChannelModel.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

const char* const dataSettings = ",115200,N,8,1";

}  // namespace

const char* MeasurementSession::stateName(State state) {
    switch (state) {
        case State::idle:
            return "idle";
        case State::connecting:
            return "connecting";
        case State::preRun:
            return "preRun";
        case State::running:
            return "running";
        case State::ended:
            return "ended";
        case State::failed:
            return "failed";
        case State::unplugged:
            return "unplugged";
    }
    return "?";
}

bool MeasurementSession::isMeasuring(State state) {
    return state == State::connecting || state == State::preRun || state == State::running;
}

MeasurementSession::MeasurementSession() {
    board_.getPort().connect(&runEnd_, 0);
}

MeasurementSession::~MeasurementSession() {
    stopAllTimers();
    board_.disconnectAll();
}

void MeasurementSession::addObserver(Observer* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void MeasurementSession::removeObserver(Observer* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

bool MeasurementSession::setupChannels(const SFileIni& ini, ExtDataManager& manager) {
    ExtDataSetup::Channels channels{};
    for (std::size_t i = 0; i < channels_.size(); ++i) channels[i] = &channels_[i];
    const bool ok = ExtDataSetup::setupChannels(ini, channels, board_.getPort(), manager);
    voltage_ = manager.get(SString(ChannelModel::voltageName));
    curves_.clear();
    for (const char* name : {ChannelModel::chargingName, ChannelModel::dischargingName})
        if (ExtData* curve = manager.get(SString(name))) curves_.push_back(curve);
    return ok;
}

void MeasurementSession::setState(State state, const SString& message) {
    const State previous = state_;
    state_ = state;
    message_ = message;
    globalDebug().print(SString("MeasurementSession: ") + stateName(previous) + " -> " + stateName(state));
    if (isMeasuring(state) && board_.getPort().isOpen()) {
        if (watchTimer_ == 0) watchTimer_ = startTimer(watchPeriodMs);
    } else if (!isMeasuring(state) && watchTimer_ != 0) {
        stopTimer(watchTimer_);
        watchTimer_ = 0;
    }
    // A copy: an observer may remove itself.
    const std::vector<Observer*> observers = observers_;
    for (Observer* observer : observers) observer->onSessionState(state, previous, message);
}

uint32_t MeasurementSession::curveFrames() const {
    uint32_t frames = 0;
    for (const ExtData* curve : curves_) frames += curve->getUpdateCount();
    return frames;
}

bool MeasurementSession::hasPreRunReadings() const {
    return isMeasuring() && voltage_ && voltage_->getUpdateCount() != voltageFramesAtStart_;
}

bool MeasurementSession::sendCommand(const SString& command, SString& answer, bool keepSuspended) {
    SComPortSplitter& port = board_.getPort();
    // The answer must reach only the read buffer: no byte of it may become a frame. The frames
    // that follow it at once (the first reading after "start") go to the channels at the resume.
    port.suspendForCommand();
    port.writeText(command + SString::raw("\n"));
    bool ok = port.readUntil(answer, 200, SString::raw("\n"));
    // "start" and "stop" answer "OK ...". A frame ahead of the answer whose value holds a line
    // feed ends the read early: the answer's line is read on.
    const bool answersOk = command == "start" || command == "stop";
    for (int more = 0; ok && answersOk && more < 2 && answer.str().find("OK") == std::string::npos; ++more) {
        SString rest;
        ok = port.readUntil(rest, 200, SString::raw("\n"));
        answer += rest;
    }
    // A frame the board sent just before its answer (the last reading before "stop") goes to
    // the channels too.
    port.resumeAfterCommand(answersOk ? SComPortSplitter::takeFramesAhead(answer) : std::string());
    if (keepSuspended) port.setSuspended(1);
    return ok;
}

bool MeasurementSession::startDirect(const SString& port, SString& answer, SString& message) {
    bool ok = board_.connectData(port + dataSettings, true);
    if (!ok)
        message = SString(MSG("comNotOpened",
                              "Comport konnte nicht ge\xF6"
                              "ffnet werden: ")) +
                  port +
                  SString(MSG("comInUse",
                              "\nStellen Sie sicher, dass keine andere Anwendung das Ger\xE4t verwendet."));
    globalDebug().print(SString("MeasurementSession::start board.connectData(") + port +
                        SString::printf(")= %d", ok ? 1 : 0));
    if (ok) {
        board_.getPort().purge();
        ok = sendCommand("ver", answer);
        globalDebug().print(SString("MeasurementSession::start firmwareVer 1 =") + answer +
                            SString::printf(", ok=%d", ok ? 1 : 0));
    }
    return ok;
}

bool MeasurementSession::startBehindAdapter(const SString& port, SString& answer, SString& message) {
    // The board may sit behind the programmer adapter: switch it to pass-through and power it.
    globalDebug().print("MeasurementSession::start Test auf Ravlink");
    bool ok = true;
    board_.disconnectAll();
    const bool found = board_.isConnectedProg() || board_.searchAndConnect(port, SString());
    if (found) {
        globalDebug().print(SString("MeasurementSession::start Ravlink an ") + port + " gefunden");
        ok = board_.modeRS232();
        if (ok) board_.powerOnOff(true);
        // The data connection goes on top of the programmer connection: the open port only
        // changes its settings, and the stop still knows the adapter, so it switches it back
        // to programmer mode and the supply off.
        if (ok) ok = board_.connectData(port + dataSettings, false);
        if (!ok) board_.disconnectAll();
        globalDebug().print(SString("MeasurementSession::start Ravlink an ") + port +
                            (ok ? " initialisiert" : " konnte nicht initialisiert werden (FEHLER)"));
    } else {
        ok = false;
        // Without any board the request to attach one says more than a port without name;
        // a port the user may not open says what to do about it.
        if (!port.isEmpty())
            message = SString(MSG("comNotOpened",
                                  "Comport konnte nicht ge\xF6"
                                  "ffnet werden: ")) +
                      port;
        if (!board_.getPermissionError().isEmpty()) message = board_.getPermissionError();
    }
    if (ok) {
        ok = sendCommand("ver", answer);
        if (!ok)
            message = MSG("noFirmware",
                          "Die Firmware ist nicht \xFC"
                          "bertragen oder reagiert nicht.");
        globalDebug().print(SString("MeasurementSession::start firmwareVer 2 =") + answer +
                            SString::printf(", ok=%d", ok ? 1 : 0));
    }
    return ok;
}

bool MeasurementSession::connectAndStart(SString& message) {
    bool ok = true;
    SString answer;
    const SString port = board_.getUsbPort();
    globalDebug().print(SString("MeasurementSession::start getUsbPort()=") + port);
    if (port.isEmpty()) {
        ok = false;
        message = MSG("noBoard",
                      "Stellen Sie sicher, dass ein 'Pelmo Board USB' oder ein 'Duvaro' angeschlossen ist.");
    }
    // A board that answered behind the adapter last time on this port is looked for there
    // first, so its start does not wait for the direct "ver" to time out; if it is not there,
    // the direct way follows. Any other board is asked directly first, then behind the adapter.
    const auto last = boardBehindAdapter_.find(port.str());
    bool behindAdapter = ok && last != boardBehindAdapter_.end() && last->second;
    if (behindAdapter) {
        ok = startBehindAdapter(port, answer, message);
        if (!ok) {
            board_.disconnectAll();
            behindAdapter = false;
            SString directMessage;
            ok = startDirect(port, answer, directMessage);
        }
    } else {
        if (ok) ok = startDirect(port, answer, message);
        if (!ok) {
            behindAdapter = true;
            ok = startBehindAdapter(port, answer, message);
        }
    }
    if (!ok) return false;
    boardBehindAdapter_[port.str()] = behindAdapter;
    runEnd_.clear();
    voltageFramesAtStart_ = voltage_ ? voltage_->getUpdateCount() : 0;
    curveFramesAtStart_ = curveFrames();
    ok = sendCommand("start", answer);
    if (!ok) message = MSG("noStart", "Die Firmware reagiert nicht auf das Start-Kommando.");
    globalDebug().print(SString("MeasurementSession::start send start=") + answer + SString::printf(", ok=%d", ok ? 1 : 0));
    return ok;
}

bool MeasurementSession::start() {
    if (isMeasuring()) return false;
    SString message;
    SAvrBoard::BoardPresence presence = SAvrBoard::BoardPresence::noDevice;
    if (!checkBridge(presence, message)) {
        setState(State::failed, message);
        return false;
    }
    setState(State::connecting);
    if (!connectAndStart(message)) {
        // Without any USB bridge the board is simply not plugged in (a port the user may not
        // open says what to do about that instead).
        if (presence == SAvrBoard::BoardPresence::noDevice && board_.getPermissionError().isEmpty())
            message = SAvrBoard::boardNotPluggedMessage();
        // Nothing stays open: the next Start begins from scratch.
        releaseBoard(false);
        setState(State::failed, message);
        return false;
    }
    setState(State::preRun);
    return true;
}

void MeasurementSession::releaseBoard(bool supplyOn) {
    SString answer;
    // Only a firmware that took "start" gets "stop" (after a failed start the port may be an
    // adapter in programmer mode, which would read the letters as commands). The splitter stays
    // suspended until the port is closed: the answer to "stop" may end among the last frames.
    const bool runOn = state_ == State::preRun || state_ == State::running;
    if (runOn && board_.getPort().isOpen()) sendCommand("stop", answer, true);
    if (board_.isConnectedData()) board_.disconnectData();
    if (board_.isConnectedProg() || !supplyOn) {
        board_.modeProg();
        board_.powerOnOff(supplyOn);
    }
    board_.disconnectAll();
}

void MeasurementSession::stop() {
    const bool measuring = isMeasuring();
    releaseBoard(false);
    if (measuring) setState(State::ended);
}

void MeasurementSession::release() {
    const bool measuring = isMeasuring();
    releaseBoard(true);
    if (measuring) setState(State::ended);
}

void MeasurementSession::releaseForClose() {
    if (board_.isConnectedProg()) {
        board_.modeProg();
        board_.powerOnOff(false);
    }
    board_.disconnectAll();
}

void MeasurementSession::poll() {
    if (!isMeasuring()) return;
    // A run whose curve frames came has begun, also when it ended since the last look.
    if (state_ == State::preRun && curveFrames() != curveFramesAtStart_) setState(State::running);
    if (runEnd_.takeEnded()) {
        // One Start is one run: the firmware has sent the last sample and said so. The session
        // ends it as Stop does (the board released).
        globalDebug().print("MeasurementSession::poll Lauf beendet");
        stop();
        return;
    }
    if (board_.isBoardGone()) {
        // The board was pulled out: the measurement ends, the port is closed, and a new start
        // finds the board once it is back.
        const SString portName = board_.getPort().getPortName();
        globalDebug().print(SString("MeasurementSession::poll ") + portName + " getrennt");
        board_.disconnectAll();
        setState(State::unplugged, SString(MSG("port", "Der Port ")) + portName + SString(MSG("hungUp", " wurde getrennt.")) +
                                       SString(MSG("measurementEnded", "\r\nDie Messung wurde beendet.")));
        return;
    }
    const std::vector<Observer*> observers = observers_;
    for (Observer* observer : observers) observer->onSessionTick();
}

void MeasurementSession::onTimer(int) {
    poll();
}

void MeasurementSession::reportEvaluation(HalfCycle phase, const TauResult& result) {
    const std::vector<Observer*> observers = observers_;
    for (Observer* observer : observers) observer->onSessionEvaluation(phase, result);
}

bool MeasurementSession::checkBridge(SAvrBoard::BoardPresence& presence, SString& message) {
    // A board whose USB bridge has no driver cannot answer: that is what the pupil is told,
    // with where the driver comes from. A bridge with its driver must have a recent one.
    presence = board_.findBoardPresence();
    if (presence == SAvrBoard::BoardPresence::deviceWithoutDriver) {
        message = SAvrBoard::driverMissingMessage();
        return false;
    }
    return presence != SAvrBoard::BoardPresence::ready || checkDriver(message);
}

bool MeasurementSession::checkDriver(SString& message) {
    if (!board_.isCpDriverInstalled()) {
        message = SAvrBoard::driverMissingMessage();
        return false;
    }
    const SString version = board_.getCpDriverVersion();
    globalDebug().print(SString("MeasurementSession::checkDriver Version=") + version + " Minimum=" + minimumDriverVersion);
    // Compared as numbers part by part: "10.1" is newer than "4.38".
    if (compareVersions(version, SString::raw(minimumDriverVersion)) >= 0) return true;
    message = SString(MSG("driverOld", "Der auf dem System vorhandene Ravlink-Treiber (Version ")) + version +
              SString(MSG("driverOld2", ") ist nicht aktuell.\r\n")) +
              SString(MSG("driverFreeze",
                          "Dies kann zu Problemen, bis zum kompletten \"einfrieren\" des Rechners "
                          "f\xFChren.\r\n")) +
              SString(MSG("driverUpdate",
                          "F\xFChren Sie deshalb bitte zuerst eine Aktualisierung des Treibers durch, "
                          "diese bekommen Sie unter ")) +
              SString::raw(SAvrBoard::driverAddress) + SString::raw(".");
    return false;
}
