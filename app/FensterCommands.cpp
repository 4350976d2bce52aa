// The main window's commands: start and stop of the measurement on the board, the firmware
// dialogue, saving the measurement, burning the firmware with its progress in the page
// "Vorbereitung", the spreadsheet, the version query and the reload of the repository.
#include "app/BurnProgress.h"
#include "app/Fenster.h"
#include "app/LiveShare.h"
#include "app/MeasurementCsv.h"
#include "app/SDuvaroBurnWnd.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFileIni.h"
#include "foundation/SFileSystem.h"
#include "foundation/SLanguage.h"
#include "foundation/SResources.h"
#include "gui/SFileDialog.h"
#include "gui/SShortcut.h"
#include "gui/SWaitCursor.h"
#include "platform/Clock.h"
#include "platform/FileStatus.h"
#include "platform/Paths.h"
#include "view/Painter_7Segment.h"
#include "view/Painter_Button.h"
#include "view/Painter_Oszi.h"
#include "view/UniedViewWindow.h"
#include "view/ViewDiagrammObject.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

const char* const preparationPage = "Vorbereitung";
const int painterTypeOszi = 3;

}  // namespace

void Fenster::FirstSampleWatch::onTimer(int) {
    owner_.pollForFirstSample();
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
        SWaitCursor wait;
        // A failure comes back as the state "failed" with its message (onSessionState).
        session_.start();
        return 1;
    }
    if (event.text == "board-stop") {
        session_.stop();
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

void Fenster::onSessionState(MeasurementSession::State state, MeasurementSession::State previous,
                             const SString& message) {
    using State = MeasurementSession::State;
    showButtonStates();
    if (state == State::preRun) {
        // A new run: the oscilloscopes start over (the last run stays faint behind), and the
        // first samples, which follow the start answer after the board's pause, are looked for
        // every 20 ms until they are there, instead of at the diagram's next 200 ms poll.
        for (const ChannelModel::Curve& curve : model_.getCurves()) sendToObject(curve.objNr, codeClear);
        firstSampleUntil_ = platform::monotonicMs() + 1000;
        if (firstSampleTimer_ == 0) firstSampleTimer_ = firstSampleWatch_.startTimer(20);
    }
    const bool ended = MeasurementSession::isMeasuring(previous) && !MeasurementSession::isMeasuring(state);
    if (ended) {
        if (firstSampleTimer_ != 0) {
            firstSampleWatch_.stopTimer(firstSampleTimer_);
            firstSampleTimer_ = 0;
        }
        if (UniedViewWindow* window = getFirstViewWindow()) {
            // Every sample received is shown before the half cycle that was running is
            // evaluated as far as it goes.
            window->poll();
            window->sendToAll(Painter_Oszi::codeRunEnded);
        }
        showPreRun();
    }
    if ((state == State::failed || state == State::unplugged) && !message.isEmpty())
        globalError().showMessage(message, 0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
}

void Fenster::onSessionTick() {
    showPreRun();
}

void Fenster::pollForFirstSample() {
    bool arrived = false;
    if (UniedViewWindow* window = getFirstViewWindow()) {
        window->poll();
        arrived = runHasSamples();
    }
    if (arrived || !isMeasuring() || platform::monotonicMs() > firstSampleUntil_) {
        firstSampleWatch_.stopTimer(firstSampleTimer_);
        firstSampleTimer_ = 0;
    }
}

void Fenster::showButtonStates() {
    sendToObject(2001, isMeasuring() ? codeDisable : codeEnable);
    sendToObject(2002, isMeasuring() ? codeEnable : codeDisable);
}

bool Fenster::runHasSamples() const {
    for (const ChannelModel::Curve& curve : model_.getCurves()) {
        auto* oszi = dynamic_cast<Painter_Oszi*>(findPainter(curve.objNr));
        if (oszi && oszi->getChannels().getSize() > 0 && oszi->getChannels().getAt(0)->values.getSize() > 0)
            return true;
    }
    return false;
}

void Fenster::showPreRun() {
    const ChannelModel::Curve* chargingCurve = model_.curve(HalfCycle::charging);
    const ChannelModel::Display* voltageDisplay = model_.voltageDisplay();
    auto* charging = chargingCurve ? dynamic_cast<Painter_Oszi*>(findPainter(chargingCurve->objNr)) : nullptr;
    if (!charging) return;
    auto* display = voltageDisplay ? dynamic_cast<Painter_7Segment*>(findPainter(voltageDisplay->objNr)) : nullptr;
    std::string notice;
    if (display && session_.hasPreRunReadings() && !runHasSamples()) {
        const ExtData* voltage = getProjectData().getExtDataManager().get(SString(ChannelModel::voltageName));
        const auto* buffered = dynamic_cast<const ExtData_ReceiverBuffered*>(voltage);
        if (buffered)
            notice = OsziEvaluation::dischargingNotice(
                display->formatValue(static_cast<int32_t>(buffered->getLatestValue())).toUtf8());
    }
    charging->setNotice(std::move(notice));
}

bool Fenster::checkDriver(bool showMessages) {
    SString message;
    if (session_.checkDriver(message)) return true;
    if (showMessages) globalError().showMessage(message, 0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
    return false;
}

void Fenster::onEvent_burnHex(const SString& boardType, const SString& file) {
    globalDebug().print(SString("Fenster::onEvent_burnHex(..) boardTyp=") + boardType + ", hexFile=" + file);
    for (const char* id : {"burnOutput", "burnState"}) setPageElement(SString::raw(id), SString(), false);
    SAvrBoard::BoardPresence presence = SAvrBoard::BoardPresence::noDevice;
    SString bridgeMessage;
    if (!session_.checkBridge(presence, bridgeMessage)) {
        globalError().showMessage(bridgeMessage, 0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
        return;
    }
    // Without any USB bridge the board is not plugged in; a port the user may not open says
    // what to do about it instead.
    SAvrBoard& board = session_.getBoard();
    auto notFound = [&](const SString& otherwise) {
        if (!board.getPermissionError().isEmpty()) return board.getPermissionError();
        return presence == SAvrBoard::BoardPresence::noDevice ? SAvrBoard::boardNotPluggedMessage() : otherwise;
    };
    // A measurement uses the same port: it ends before the programmer takes the board.
    if (isMeasuring()) session_.stop();
    if (boardType == "Duvaro") {
        const SString port = board.getUsbPort();
        if (port.isEmpty()) {
            globalError().showMessage(notFound(SString(MSG("noPort", "Es wurde kein Port mit angeschlossenen Board gefunden."))),
                                      0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
            return;
        }
        // The burn window talks to the module's bootloader on its own worker thread.
        if (duvaroBurner_)
            duvaroBurner_(port, globalResources().getFile(file));
        else
            runDuvaroBurnWindow(port, globalResources().getFile(file), getWidget());
        return;
    }
    if (!board.isConnectedProg()) board.searchAndConnect(SString(), SString());
    if (!board.isConnectedProg()) {
        globalError().showMessage(notFound(SString(MSG("noPelmo", "Es konnte keine Verbindung zum Pelmo Board ermittelt werden."))),
                                  0, MSG("errorTitleNotice", "Fehler"), SError::iconInformation);
        return;
    }
    board.burnHex(globalResources().getFile(file));
    board.disconnectAll();
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
    // A page that has not loaded yet has no elements; asking it would wait for the browser's
    // renderer to start (a Start from the live view right after the program came up, say).
    if (!page || !page->isLoaded()) return;
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

SString Fenster::buildCsv(const std::vector<Painter_Oszi*>& oscilloscopes, int formatIndex) const {
    std::vector<MeasurementCsv::Curve> curves;
    for (Painter_Oszi* oszi : oscilloscopes) {
        MeasurementCsv::Curve curve{oszi->getXText(), oszi->getYText(), {}};
        // An oscilloscope without channel has no samples. The x of the n-th sample is n steps
        // from the curve's first, as the relative x axis shows it: the oscilloscope's own
        // counter runs on across runs and adds up its steps in single precision.
        if (oszi->getChannels().getSize() > 0) {
            const SOsziValues& values = oszi->getChannels().getAt(0)->values;
            double step = oszi->getXStep();
            for (const ChannelModel::Curve& c : model_.getCurves())
                if (oszi->getElement() && c.objNr == oszi->getElement()->getObjNr()) step = c.step;
            curve.values.reserve(static_cast<std::size_t>(values.getSize()));
            for (int i = 0; i < values.getSize(); ++i)
                curve.values.emplace_back(static_cast<double>(i) * step, values[i].yValue);
        }
        curves.push_back(std::move(curve));
    }
    return MeasurementCsv::build(curves,
                                 formatIndex == 1 ? MeasurementCsv::Format::commaPoint
                                                  : MeasurementCsv::Format::semicolonComma,
                                 model_.sampleStep());
}

SString Fenster::currentCsv(bool english) {
    if (!runHasSamples()) return {};
    const std::vector<Painter_Oszi*> oscilloscopes = findOscilloscopes();
    if (oscilloscopes.empty()) return {};
    return buildCsv(oscilloscopes, english ? 1 : 0);
}

bool Fenster::saveCsv(const SString& fileName) {
    // Samples the board sent since the diagram's last poll are saved too.
    if (UniedViewWindow* window = getFirstViewWindow()) window->poll();
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
    const std::string folder = platform::privateDirectoryIn(SFileSystem::getTempPath().str(), "nuk-");
    if (folder.empty()) return {};
    return SFileSystem::join(SString(folder), SString::raw("messung.csv"));
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
    auto add = [this](const char* keys, void (Fenster::*action)()) {
        shortcuts_.push_back(std::make_unique<gui::SShortcut>(getWidget(), keys, [this, action] { (this->*action)(); }));
    };
    add("F5", &Fenster::pressStart);
    add("F6", &Fenster::pressStop);
    add("Ctrl+S", &Fenster::onSaveKey);
    add("Ctrl+P", &Fenster::onPngKey);
    add("Ctrl+Shift+L", &Fenster::onShareKey);
}

void Fenster::onShareKey() {
    // The teacher's way to the live view from any pane: as the link on the teacher's page.
    SEvent event;
    event.type = eventPageCommand;
    event.text = "cmd:live-share";
    getEventManager().send(event);
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

void Fenster::pressStart() {
    pressButton(2001, "board-start");
}

void Fenster::pressStop() {
    pressButton(2002, "board-stop");
}

void Fenster::onSaveKey() {
    SEvent event;
    event.text = "save-csv";
    getEventManager().send(event);
}
