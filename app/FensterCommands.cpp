// The main window's commands: start and stop of the measurement on the board, the firmware
// dialogue, saving the measurement, burning the firmware with its progress in the page
// "Vorbereitung", the spreadsheet, the version query and the reload of the repository.
#include <sys/stat.h>
#include <unistd.h>

#include <QKeySequence>
#include <QShortcut>

#include "app/BurnProgress.h"
#include "app/Fenster.h"
#include "app/LiveShare.h"
#include "app/MeasurementCsv.h"
#include "app/SDuvaroBurnWnd.h"
#include "board/DriverVersion.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFileIni.h"
#include "foundation/SFileSystem.h"
#include "foundation/SLanguage.h"
#include "foundation/SResources.h"
#include "gui/SFileDialog.h"
#include "gui/SWaitCursor.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "view/Painter_7Segment.h"
#include "view/Painter_Button.h"
#include "view/Painter_Oszi.h"
#include "view/UniedViewWindow.h"
#include "view/ViewDiagrammObject.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

const char* const dataSettings = ",115200,N,8,1";
// The oldest CP210x driver that runs the board reliably.
const char* const minimumDriverVersion = "4.38";
// Where the driver comes from: on Linux the cp210x module is part of the kernel.
const char* const driverAddress = "https://www.kernel.org";
const char* const preparationPage = "Vorbereitung";
const int painterTypeOszi = 3;

}  // namespace

void Fenster::BoardWatch::onTimer(int id) {
    if (id == owner_.firstSampleTimer_)
        owner_.pollForFirstSample();
    else
        owner_.checkBoard();
}

int Fenster::onEvent(SEvent& event) {
    globalDebug().printf("Fenster::onEvent(..) %d,%d,%s", event.type, event.code, event.text.c_str());
    if (event.type == eventApplication && event.code == codeReload) {
        reloadProject(SString("ini:") + globalResources().getFile("physik.repo"));
        // The reloaded buttons show the state of the measurement again.
        showButtonStates();
        return 1;
    }
    if (event.text == "board-start") {
        if (!checkDriver(true)) {
            // Stop stays the way back, as after a start that failed.
            setMeasuring(true);
            return 1;
        }
        onEvent_start();
        return 1;
    }
    if (event.text == "board-stop") {
        stopMeasurement();
        return 1;
    }
    if (event.text == "save-csv") {
        saveCsv(SString());
        return 1;
    }
    if (onEvaluationCommand(event.text)) return 1;
    if (event.type == eventPageCommand) {
        if (event.text.startsWith("cmd:burnHex:")) {
            // Three fields are cut off at ":" ("cmd", "burnHex", board type); the rest is the file,
            // so a drive letter's colon survives. Without a rest the third field is the file.
            SString rest = event.text;
            rest.cutFront(":");
            rest.cutFront(":");
            SString boardType = rest.cutFront(":");
            if (rest.isEmpty()) std::swap(rest, boardType);
            onEvent_burnHex(boardType, rest);
        } else if (event.text == "cmd:open-excel") {
            openSpreadsheet();
        } else if (event.text == "getVersionString") {
            event.result = getVersionString();
        } else {
            liveShareCommand(event.text);
        }
        // Every page command counts as handled, known or not.
        return 1;
    }
    if (event.type == eventProgrammer) {
        burnProgress(event.code, event.text);
        return 1;
    }
    return 0;
}

bool Fenster::sendCommand(const SString& command, SString& answer, bool keepSuspended) {
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

bool Fenster::startDirect(const SString& port, SString& answer, SString& message) {
    bool ok = board_.connectData(port + dataSettings, true);
    if (!ok)
        message = SString(MSG("comNotOpened",
                              "Comport konnte nicht ge\xF6"
                              "ffnet werden: ")) +
                  port +
                  SString(MSG("comInUse",
                              "\nStellen Sie sicher, dass keine andere Anwendung das Ger\xE4t verwendet."));
    globalDebug().print(SString("Fenster::onEvent_start(..) board.connectData(") + port +
                        SString::printf(")= %d", ok ? 1 : 0));
    if (ok) {
        board_.getPort().purge();
        ok = sendCommand("ver", answer);
        globalDebug().print(SString("Fenster::onEvent_start(..) read firmwareVer 1 =") + answer +
                            SString::printf(", ok=%d", ok ? 1 : 0));
    }
    return ok;
}

bool Fenster::startBehindAdapter(const SString& port, SString& answer, SString& message) {
    // The board may sit behind the programmer adapter: switch it to pass-through and power it.
    globalDebug().print("Fenster::onEvent_start(..) Test auf Ravlink");
    bool ok = true;
    board_.disconnectAll();
    const bool found = board_.isConnectedProg() || board_.searchAndConnect(port, SString());
    if (found) {
        globalDebug().print(SString("Fenster::onEvent_start(..) Ravlink an ") + port + " gefunden");
        ok = board_.modeRS232();
        if (ok) board_.powerOnOff(true);
        // The data connection goes on top of the programmer connection: the open port only
        // changes its settings, and the stop still knows the adapter, so it switches it back
        // to programmer mode and the supply off.
        if (ok) ok = board_.connectData(port + dataSettings, false);
        if (!ok) board_.disconnectAll();
        if (ok)
            globalDebug().print(SString("Fenster::onEvent_start(..) Ravlink an ") + port + " initialisiert");
        else
            globalDebug().print(SString("Fenster::onEvent_start(..) FEHLER: Ravlink an ") + port +
                                " konnte nicht initialisiert werden.");
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
        globalDebug().print(SString("Fenster::onEvent_start(..) board.connectData(") + port +
                            SString::printf(")= %d", ok ? 1 : 0));
    }
    if (ok) {
        ok = sendCommand("ver", answer);
        if (!ok)
            message = MSG("noFirmware",
                          "Die Firmware ist nicht \xFC"
                          "bertragen oder reagiert nicht.");
        globalDebug().print(SString("Fenster::onEvent_start(..) read firmwareVer 2 =") + answer +
                            SString::printf(", ok=%d", ok ? 1 : 0));
    }
    return ok;
}

void Fenster::onEvent_start() {
    SWaitCursor wait;
    bool ok = true;
    SString message;
    SString answer;
    const SString port = board_.getUsbPort();
    globalDebug().print(SString("Fenster::onEvent_start(..) board.getUsbPort() Port=: ") + port);
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
    if (ok) boardBehindAdapter_[port.str()] = behindAdapter;
    if (ok) {
        runEnd_.clear();
        voltageFramesAtStart_ = getChannel(3).getUpdateCount();
        ok = sendCommand("start", answer);
        if (!ok) message = MSG("noStart", "Die Firmware reagiert nicht auf das Start-Kommando.");
        globalDebug().print(SString("Fenster::onEvent_start(..) send start=") + answer +
                            SString::printf(", ok=%d", ok ? 1 : 0));
    }
    if (ok) {
        // The first samples follow the start answer after the board's pause: the diagram looks
        // for them every 20 ms until they are there, instead of at its next 200 ms poll.
        firstSampleUntil_ = platform::monotonicMs() + 1000;
        if (firstSampleTimer_ == 0) firstSampleTimer_ = boardWatch_.startTimer(20);
    }
    if (!ok) {
        globalError().showMessage(message, 0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
    }
    // Running, also after a failure: stop is the way back.
    setMeasuring(true);
    sendToObject(203, codeClear);
    sendToObject(204, codeClear);
}

void Fenster::stopMeasurement() {
    SString answer;
    // The splitter stays suspended until the port is closed: the answer to "stop" may end
    // among the last frames.
    if (board_.getPort().isOpen()) sendCommand("stop", answer, true);
    if (board_.isConnectedData()) board_.disconnectData();
    board_.modeProg();
    board_.powerOnOff(false);
    board_.disconnectAll();
    setMeasuring(false);
}

void Fenster::setMeasuring(bool running) {
    const bool ended = measuring_ && !running;
    measuring_ = running;
    liveShareMeasuring(running);
    showButtonStates();
    if (ended) {
        // The half cycle that was running is complete as far as it goes: it is evaluated now.
        if (UniedViewWindow* window = getFirstViewWindow()) window->sendToAll(Painter_Oszi::codeRunEnded);
        showPreRun();
    }
    if (running && board_.getPort().isOpen()) {
        if (boardWatchTimer_ == 0) boardWatchTimer_ = boardWatch_.startTimer(100);
    } else if (boardWatchTimer_ != 0) {
        boardWatch_.stopTimer(boardWatchTimer_);
        boardWatchTimer_ = 0;
    }
    if (!running && firstSampleTimer_ != 0) {
        boardWatch_.stopTimer(firstSampleTimer_);
        firstSampleTimer_ = 0;
    }
}

void Fenster::pollForFirstSample() {
    bool arrived = false;
    if (UniedViewWindow* window = getFirstViewWindow()) {
        window->poll();
        arrived = runHasSamples();
    }
    if (arrived || !measuring_ || platform::monotonicMs() > firstSampleUntil_) {
        boardWatch_.stopTimer(firstSampleTimer_);
        firstSampleTimer_ = 0;
    }
}

void Fenster::showButtonStates() {
    sendToObject(2001, measuring_ ? codeDisable : codeEnable);
    sendToObject(2002, measuring_ ? codeEnable : codeDisable);
}

bool Fenster::runHasSamples() const {
    for (int32_t nr : {203, 204}) {
        auto* oszi = dynamic_cast<Painter_Oszi*>(findPainter(nr));
        if (oszi && oszi->getChannels().getSize() > 0 && oszi->getChannels().getAt(0)->values.getSize() > 0)
            return true;
    }
    return false;
}

void Fenster::showPreRun() {
    auto* charging = dynamic_cast<Painter_Oszi*>(findPainter(203));
    if (!charging) return;
    const bool runBegan = runHasSamples();
    auto* display = dynamic_cast<Painter_7Segment*>(findPainter(205));
    const ExtData_ReceiverBuffered& voltage = getChannel(3);
    std::string notice;
    if (measuring_ && !runBegan && display && voltage.getUpdateCount() != voltageFramesAtStart_)
        notice = OsziEvaluation::dischargingNotice(
            display->formatValue(static_cast<int32_t>(voltage.getLatestValue())).toUtf8());
    charging->setNotice(std::move(notice));
}

void Fenster::checkBoard() {
    if (!measuring_) return;
    showPreRun();
    if (runEnd_.takeEnded()) {
        // One Start is one run: the firmware has sent the last sample and said so. The program
        // goes back to idle as after Stop (the board released, the buttons at Start).
        globalDebug().print("Fenster::checkBoard(..) Lauf beendet");
        stopMeasurement();
        return;
    }
    if (!board_.isBoardGone()) return;
    // The board was pulled out: the measurement ends, the port is closed, the buttons go back
    // to idle, and a new start finds the board once it is back.
    const SString portName = board_.getPort().getPortName();
    globalDebug().print(SString("Fenster::checkBoard(..) ") + portName + " getrennt");
    board_.disconnectAll();
    setMeasuring(false);
    globalError().showMessage(SString(MSG("port", "Der Port ")) + portName + SString(MSG("hungUp", " wurde getrennt.")) +
                                  SString(MSG("measurementEnded", "\r\nDie Messung wurde beendet.")),
                              0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
}

bool Fenster::checkDriver(bool showMessages) {
    if (!board_.isCpDriverInstalled()) {
        if (showMessages)
            globalError().showMessage(
                SString(MSG("driverMissing",
                            "Der Treiber des USB-Boards ist nicht oder nicht richtig installiert.\r\n")) +
                    SString(MSG("driverInstall",
                                "Bitte f\xFChren Sie eine Treiber-Installation oder ein Treiber-Update "
                                "durch, diese bekommen Sie unter ")) +
                    SString::raw(driverAddress) + SString::raw("."),
                0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
        return false;
    }
    const SString version = board_.getCpDriverVersion();
    globalDebug().print(SString("Fenster::checkDriver(..) Version=") + version + " Minimum=" + minimumDriverVersion);
    // Compared as numbers part by part: "10.1" is newer than "4.38".
    if (compareVersions(version, SString::raw(minimumDriverVersion)) >= 0) return true;
    if (showMessages)
        globalError().showMessage(
            SString(MSG("driverOld", "Der auf dem System vorhandene Ravlink-Treiber (Version ")) + version +
                SString(MSG("driverOld2", ") ist nicht aktuell.\r\n")) +
                SString(MSG("driverFreeze",
                            "Dies kann zu Problemen, bis zum kompletten \"einfrieren\" des Rechners "
                            "f\xFChren.\r\n")) +
                SString(MSG("driverUpdate",
                            "F\xFChren Sie deshalb bitte zuerst eine Aktualisierung des Treibers durch, "
                            "diese bekommen Sie unter ")) +
                SString::raw(driverAddress) + SString::raw("."),
            0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
    return false;
}

void Fenster::onEvent_burnHex(const SString& boardType, const SString& file) {
    globalDebug().print(SString("Fenster::onEvent_burnHex(..) boardTyp=") + boardType + ", hexFile=" + file);
    for (const char* id : {"burnOutput", "burnState"}) setPageElement(SString::raw(id), SString(), false);
    if (!checkDriver(true)) return;
    // A measurement uses the same port: it ends before the programmer takes the board.
    if (measuring_) stopMeasurement();
    if (boardType == "Duvaro") {
        const SString port = board_.getUsbPort();
        if (port.isEmpty()) {
            globalError().showMessage(MSG("noPort", "Es wurde kein Port mit angeschlossenen Board gefunden."), 0,
                                      MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
            return;
        }
        // The burn window talks to the module's bootloader on its own worker thread.
        if (duvaroBurner_)
            duvaroBurner_(port, globalResources().getFile(file));
        else
            runDuvaroBurnWindow(port, globalResources().getFile(file), getWidget());
        return;
    }
    if (!board_.isConnectedProg()) board_.searchAndConnect(SString(), SString());
    if (!board_.isConnectedProg()) {
        // A port the user may not open says what to do about it instead.
        const SString message = board_.getPermissionError().isEmpty()
                                    ? SString(MSG("noPelmo", "Es konnte keine Verbindung zum Pelmo Board ermittelt werden."))
                                    : board_.getPermissionError();
        globalError().showMessage(message, 0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
        return;
    }
    board_.burnHex(globalResources().getFile(file));
    board_.disconnectAll();
}

void Fenster::burnProgress(int code, const SString& text) {
    if (code == BurnProgress::codeOutput) {
        // The debug channel gets the text as it is; the page gets it as text, never as markup.
        globalDebug().print(text);
        setPageElement(SString::raw("burnOutput"), BurnProgress::outputHtml(text), true);
        return;
    }
    SString state;
    if (BurnProgress::stateText(code, text, state)) setPageElement(SString::raw("burnState"), state, false);
}

void Fenster::setPageElement(const SString& id, const SString& html, bool append) {
    HtmlWindow* page = htmlWindows_.findById(preparationPage);
    if (!page) return;
    SHtmlElement element = page->getDocument().getElementById(id);
    if (!element.isValid()) return;
    element.setInnerHtml(append ? element.getInnerHtml() + html : html);
}

std::vector<Painter_Oszi*> Fenster::findOscilloscopes() {
    std::vector<Painter_Oszi*> found;
    for (UniedViewWindow* window : getViewWindows()) {
        const ViewDiagrammObjectList& objects = window->getDiagramm().getObjects();
        for (int i = objects.getSize() - 1; i >= 0; --i) {
            KeloPainter* painter = objects.getAt(i)->getPainter();
            ViewElementData* element = painter ? painter->getElement() : nullptr;
            if (!element || (element->getShortName() != "oszi" && element->getName() != "oszi")) continue;
            if (painter->getPainterType() != painterTypeOszi || !dynamic_cast<Painter_Oszi*>(painter)) {
                globalDebug().printf("FEHLER: onEvent(save-csv): Nicht-Oszi-Objekt gefunden (painterType=%d) %s",
                                     painter->getPainterType(), element->getName().c_str());
                return {};
            }
            found.push_back(static_cast<Painter_Oszi*>(painter));
        }
    }
    if (found.empty()) globalDebug().print("FEHLER: onEvent(save-csv): Kein Oszi gefunden");
    return found;
}

SString Fenster::buildCsv(const std::vector<Painter_Oszi*>& oscilloscopes, int formatIndex) {
    std::vector<MeasurementCsv::Curve> curves;
    for (Painter_Oszi* oszi : oscilloscopes) {
        MeasurementCsv::Curve curve{oszi->getXText(), oszi->getYText(), {}};
        // An oscilloscope without channel has no samples.
        if (oszi->getChannels().getSize() > 0) {
            const SOsziValues& values = oszi->getChannels().getAt(0)->values;
            curve.values.reserve(static_cast<std::size_t>(values.getSize()));
            for (int i = 0; i < values.getSize(); ++i) curve.values.emplace_back(values[i].xValue, values[i].yValue);
        }
        curves.push_back(std::move(curve));
    }
    return MeasurementCsv::build(curves, formatIndex == 1 ? MeasurementCsv::Format::commaPoint
                                                          : MeasurementCsv::Format::semicolonComma);
}

bool Fenster::saveCsv(const SString& fileName) {
    const std::vector<Painter_Oszi*> oscilloscopes = findOscilloscopes();
    if (oscilloscopes.empty()) return false;
    int code = 0;
    SString error;
    // The variant of the program's language: ";" and decimal commas in German, "," and decimal
    // points in English.
    const bool pointFirst = globalLanguage().getDecimalSeparator() == '.';
    const int languageFormat = pointFirst ? 1 : 0;
    if (!fileName.isEmpty()) {
        if (MeasurementCsv::write(fileName, buildCsv(oscilloscopes, languageFormat), &code, &error)) return true;
        globalDebug().print(error);
        globalError().showMessage(MSG("errorWriteCsv", "Fehler beim Schreiben der CSV-Datei."), code);
        return false;
    }
    const SString proposed =
        MeasurementCsv::proposedFileName(SString(platform::documentsDirectory()), std::time(nullptr));
    // The language's variant first, the other one second; "all files" writes the first.
    int formatIndex = 0;
    const SString chosen = SFileDialog::getSaveFileName(
        this, MSG("saveTitle", "Datei speichern"),
        pointFirst ? SString(MSG("csvFilterPointFirst",
                                 "CSV (Komma, Dezimalpunkt)|*.csv|CSV (Semikolon, Dezimalkomma)|*.csv|alle Dateien|*.*"))
                   : SString(MSG("csvFilter",
                                 "CSV (Semikolon, Dezimalkomma)|*.csv|CSV (Komma, Dezimalpunkt)|*.csv|alle Dateien|*.*")),
        SString::raw("csv"), proposed, &formatIndex);
    if (chosen.isEmpty()) return false;
    const int format = formatIndex == 1 ? 1 - languageFormat : languageFormat;
    if (MeasurementCsv::write(chosen, buildCsv(oscilloscopes, format), &code, &error)) return true;
    globalError().showMessage(error);
    return false;
}

SString Fenster::getSpreadsheetFile() {
    // A folder of this user's own in the temporary directory: a fixed name directly in a
    // shared /tmp could be prepared by somebody else (a link to another file, say).
    const SString folder = SFileSystem::getTempPath() + SString::printf("nuk-%u", static_cast<unsigned>(getuid()));
    struct stat st {};
    int errorCode = 0;
    if (::lstat(folder.c_str(), &st) != 0 && !platform::createPrivateDirectory(folder.str(), &errorCode)) return {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077) != 0)
        return {};
    return SFileSystem::join(folder, SString::raw("messung.csv"));
}

void Fenster::openSpreadsheet() {
    const SString csv = getSpreadsheetFile();
    if (csv.isEmpty()) {
        globalError().showMessage(SString(MSG("errorTempFolder", "Fehler: Der tempor\xE4re Ordner f\xFCr die CSV-Datei ist "
                                                                 "nicht sicher nutzbar: ")) +
                                  SFileSystem::getTempPath());
        return;
    }
    if (!saveCsv(csv)) return;
    const SString script = globalResources().getFile("openexcel.sh");
    globalDebug().print(SString("Fenster::onEvent(..) ") + script + " \"" + csv + "\"");
    SFileSystem::run(script, SString::raw("\"") + csv + SString::raw("\""), SString(), 5);
}

void Fenster::installShortcuts() {
    if (!getWidget() || !shortcuts_.empty()) return;
    // The keys work anywhere in the main window, a browser pane with the focus included.
    auto add = [this](const QKeySequence& keys, void (Fenster::*action)()) {
        auto* shortcut = new QShortcut(keys, getWidget());
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, shortcut, [this, action] { (this->*action)(); });
        shortcuts_.push_back(shortcut);
    };
    add(QKeySequence(Qt::Key_F5), &Fenster::onStartKey);
    add(QKeySequence(Qt::Key_F6), &Fenster::onStopKey);
    add(QKeySequence(Qt::CTRL | Qt::Key_S), &Fenster::onSaveKey);
    add(QKeySequence(Qt::CTRL | Qt::Key_P), &Fenster::onPngKey);
}

void Fenster::pressButton(int32_t objNr, const char* command) {
    // The key acts as the button: a greyed button ignores it too.
    if (auto* button = dynamic_cast<Painter_Button*>(findPainter(objNr))) {
        if (!button->getButton().isDisabled()) button->onButtonClick();
        return;
    }
    SEvent event;
    event.text = command;
    getEventManager().send(event);
}

void Fenster::onStartKey() {
    pressButton(2001, "board-start");
}

void Fenster::onStopKey() {
    pressButton(2002, "board-stop");
}

void Fenster::onSaveKey() {
    SEvent event;
    event.text = "save-csv";
    getEventManager().send(event);
}
