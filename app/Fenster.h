// The experiment's main window: the panes with the HTML pages and the diagram, and the
// dispatcher of the events that pages, buttons and jobs send.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <array>

#include "app/HtmlWindowList.h"
#include "board/SAvrBoard.h"
#include "foundation/SEvent.h"
#include "foundation/STimer.h"
#include "multiwindow/SMultiWindow.h"
#include "session/ChannelModel.h"
#include "session/MeasurementSession.h"
#include "stream/SComPortSplitter.h"
#include "view/KeloProject.h"

class Painter_Oszi;
namespace gui {
class SShortcut;
}

// The project part (repository, painters, data channels, event manager, diagram windows) is the
// KeloProject base.
class Fenster : public SEventHandler, public SMultiWindow, public KeloProject, public MeasurementSession::Observer {
public:
    S_CLASSNAME(Fenster)

    // The panes: the title over the rest, which is the progress pane beside the content cards.
    // Tabs separate the elements; "Durchf\xFChrung" is Windows-1252.
    static const char* const layoutXml;

    Fenster();
    // Destroys the windows while the page windows still exist.
    ~Fenster() override;

    const SString& getVersion() const { return version_; }
    const SString& getProjectName() const { return projectName_; }
    // The project's event manager: every handler of the experiment is registered there, the
    // main window first.
    SEventManager& getEventManager() { return getProjectData().getEventManager(); }
    // The diagram of the pane "Durchf\xFChrung" (diagram 300), or nullptr before the layout.
    UniedViewWindow* getDiagram() const { return getFirstViewWindow(); }
    // Data channel 1 to 6.
    ExtData_ReceiverBuffered& getChannel(int number) { return session_.getChannel(number); }
    // The data connection the channels are connected to: the board's port.
    SComPortSplitter& getDataConnection() { return session_.getDataConnection(); }
    // The connection to the experiment board.
    SAvrBoard& getBoard() { return session_.getBoard(); }
    // The measurement: the board, the run's state and its observers.
    MeasurementSession& getSession() { return session_; }
    // What the data stream means (frames, scales, sample step, captions), read when the project
    // opens or reloads.
    const ChannelModel& getChannelModel() const { return model_; }
    HtmlWindowList& getHtmlWindows() { return htmlWindows_; }
    // The version the pages show: version, "." and the build number of "resource.ini".
    SString getVersionString();

    // Selects the pane of that name and announces it (event type 1, code 10000, the name)
    // through the event manager. Returns whether the pane was found.
    int showPage(const SString& name);
    // The page onFirstShow shows ("Einleitung" unless the command line chose another).
    void setStartPage(const SString& name) { startPage_ = name; }
    const SString& getStartPage() const { return startPage_; }

    // 1000 x 730, restored to the saved placement, title "Experiment".
    bool onPreCreateWindow() override;
    // Builds the panes and shows the start page.
    void onFirstShow() override;
    // An HTML page window for every pane but "Durchf\xFChrung".
    void onGetSplitWindowData(SMultiClientWindowEntry* entry) override;
    // The user closes the window.
    int onClose() override;
    // The commands of the buttons ("board-start", "board-stop", "save-csv"), of the pages
    // (type 20000: "cmd:burnHex:[type:]file", "cmd:open-excel", "getVersionString"), the
    // programmer's progress (type 10000) and the reload of the repository (type 2, 10002).
    int onEvent(SEvent& event) override;

    // Start and Stop, as the keys F5 and F6 and the buttons do: a greyed button ignores them.
    void pressStart();
    void pressStop();
    // Ends the measurement (see MeasurementSession::stop).
    void stopMeasurement() { session_.stop(); }
    // Burns the file (from the resources) through the bootloader module ("Duvaro") or the
    // programmer; progress arrives as type-10000 events.
    void onEvent_burnHex(const SString& boardType, const SString& file);
    // Writes a progress report into the page "Vorbereitung" (elements "burnOutput", "burnState").
    void burnProgress(int code, const SString& text);
    // Whether the CP210x driver is there and new enough; the reason in a message box when
    // showMessages is set.
    bool checkDriver(bool showMessages);
    // Saves the oscilloscopes' samples as CSV; an empty name asks the user. False when nothing
    // was written.
    bool saveCsv(const SString& fileName);
    // The CSV content of the oscilloscopes' samples (formatIndex 1: "," and decimal point,
    // otherwise ";" and decimal comma). The time column counts from each curve's first sample
    // in the model's sample steps, as the diagram's relative x axis shows it.
    SString buildCsv(const std::vector<Painter_Oszi*>& oscilloscopes, int formatIndex = 0) const;
    // The CSV the save dialog writes of what the oscilloscopes show, in the English dialect
    // ("," and decimal points) or the German one; empty without samples.
    SString currentCsv(bool english);
    // Writes the diagram as a PNG picture at twice the screen resolution; an empty name asks
    // the user. False when nothing was written.
    bool savePng(const SString& fileName);
    // The oscilloscopes the CSV export takes, in column order; empty when there is none, or
    // when an element named "oszi" is no oscilloscope.
    std::vector<Painter_Oszi*> findOscilloscopes();
    // Writes the CSV to "messung.csv" in the user's temporary folder and opens it with
    // "openexcel.sh".
    void openSpreadsheet();
    // That file; empty when the user's temporary folder cannot be used safely.
    static SString getSpreadsheetFile();
    // The measurement runs (start greyed, stop active).
    bool isMeasuring() const { return session_.isMeasuring(); }
    // While the board empties the capacitor before a run it sends only U_C and I: the charging
    // oscilloscope says so with the voltage as its display shows it, until the run's first
    // sample (or the end of the measurement) takes the line away.
    void showPreRun();
    // Whether an oscilloscope holds samples of the current run.
    bool runHasSamples() const;

    // Burns a file through the bootloader module: gets the port and the file's path. Without
    // one the burn window does it (tests put a stand-in here).
    using DuvaroBurner = std::function<void(const SString& port, const SString& file)>;
    void setDuvaroBurner(DuvaroBurner burner) { duvaroBurner_ = std::move(burner); }

    // The number of the diagram the pane "Durchf\xFChrung" shows.
    static constexpr int32_t diagramNr = 300;

protected:
    // Sets up the data channels of "extdata.ini" before the repository is read.
    bool onProjectOpen() override { return onExtDataInit(); }
    // Forgets the channels.
    bool onProjectClose() override;
    // The diagram pane leaves the layout before its window goes.
    void onCloseViewWindows() override;
    // The diagram's window, a child of the main window.
    std::unique_ptr<ViewHostWindow> onCreateViewHost(UniedViewWindow& window, int x, int y, int width, int height,
                                                     bool visible) override;
    bool onExtDataInit();
    // The reloaded painters get the model and the evaluation's way to the session again; the
    // buttons show the measurement's state.
    void onProjectReloaded() override;

private:
    // Polls the diagram every 20 ms after a start until the first samples are shown.
    class FirstSampleWatch : public STimerEvent {
    public:
        explicit FirstSampleWatch(Fenster& owner) : owner_(owner) {}
        void onTimer(int id) override;

    private:
        Fenster& owner_;
    };

    // The session's news: buttons, the oscilloscopes, the pre-run notice and the messages.
    void onSessionState(MeasurementSession::State state, MeasurementSession::State previous,
                        const SString& message) override;
    void onSessionTick() override;
    // Reads the channel model and connects the oscilloscopes' evaluations to the session.
    void onProjectLoaded();
    // The start and stop buttons as the measurement state says.
    void showButtonStates();
    // Polls the diagram until the first samples of a new measurement are shown.
    void pollForFirstSample();
    // Sets (or appends to) the inner HTML of an element of the page "Vorbereitung".
    void setPageElement(const SString& id, const SString& html, bool append);
    // F5, F6, Ctrl+S, Ctrl+P and Ctrl+Shift+L anywhere in the window.
    void installShortcuts();
    void pressButton(int32_t objNr, const char* command);
    void onSaveKey();
    // The evaluation's diagram commands ("oszi-pause", "oszi-evaluate", "oszi-clear-runs",
    // "save-png"); true when the text was one of them.
    bool onEvaluationCommand(const SString& text);
    // Ctrl+P: the diagram as a picture.
    void onPngKey();
    // Ctrl+Shift+L: the live view for the class (the teacher's page links it too).
    void onShareKey();

    SString version_;
    // The board, its channels and the run. Declared before everything that observes it.
    MeasurementSession session_;
    ChannelModel model_;
    SString projectName_;
    SString startPage_ = SString("Einleitung");
    HtmlWindowList htmlWindows_;
    // The window of the pane "Durchf\xFChrung"; owned by its diagram.
    SWindow* diagramPane_ = nullptr;
    FirstSampleWatch firstSampleWatch_{*this};
    int firstSampleTimer_ = 0;
    int64_t firstSampleUntil_ = 0;
    DuvaroBurner duvaroBurner_;
    // F5, F6, Ctrl+S, Ctrl+P and Ctrl+Shift+L.
    std::vector<std::unique_ptr<gui::SShortcut>> shortcuts_;
};
