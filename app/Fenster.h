// The experiment's main window: the panes with the HTML pages and the diagram, and the
// dispatcher of the events that pages, buttons and jobs send.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <array>

#include "app/HtmlWindowList.h"
#include "board/SAvrBoard.h"
#include "foundation/SEvent.h"
#include "foundation/STimer.h"
#include "multiwindow/SMultiWindow.h"
#include "stream/ExtDataSetup.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "stream/RunEndReceiver.h"
#include "stream/SComPortSplitter.h"
#include "view/KeloProject.h"

class Painter_Oszi;
class QShortcut;

// The project part (repository, painters, data channels, event manager, diagram windows) is the
// KeloProject base.
class Fenster : public SEventHandler, public SMultiWindow, public KeloProject {
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
    ExtData_ReceiverBuffered& getChannel(int number) { return channels_.at(static_cast<std::size_t>(number - 1)); }
    // The data connection the channels are connected to: the board's port.
    SComPortSplitter& getDataConnection() { return board_.getPort(); }
    // The connection to the experiment board.
    SAvrBoard& getBoard() { return board_; }
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

    // The measurement start: the board directly, else behind the Ravlink adapter (pass-through,
    // supply on); "ver", then "start". A board that answered behind the adapter on that port
    // last time is looked for there first. A failure shows its message; the buttons show
    // "running" in any case, so that stop is the way back.
    void onEvent_start();
    // Ends the measurement: "stop", data connection closed, adapter back in programmer mode,
    // supply off, port closed; the buttons show "idle".
    void stopMeasurement();
    // Burns the file (from the resources) through the bootloader module ("Duvaro") or the
    // programmer; progress arrives as type-10000 events.
    void onEvent_burnHex(const SString& boardType, const SString& file);
    // Writes a progress report into the page "Vorbereitung" (elements "burnOutput", "burnState").
    void burnProgress(int code, const SString& text);
    // The two ways to the firmware for onEvent_start, each ending with the answer to "ver":
    // the data connection on the port directly, or the Ravlink adapter found on the port and
    // switched to pass-through with the supply on. False with the message for the user.
    bool startDirect(const SString& port, SString& answer, SString& message);
    bool startBehindAdapter(const SString& port, SString& answer, SString& message);
    // The firmware dialogue: command + "\n", the answer line within 200 ms. The splitter is
    // suspended meanwhile, so the answer never becomes frames, and the frames right behind the
    // answer reach the channels at the resume; with keepSuspended it stays suspended.
    bool sendCommand(const SString& command, SString& answer, bool keepSuspended = false);
    // Whether the CP210x driver is there and new enough (versions compared as numbers).
    bool checkDriver(bool showMessages);
    // Saves the oscilloscopes' samples as CSV; an empty name asks the user. False when nothing
    // was written.
    bool saveCsv(const SString& fileName);
    // The CSV content of the oscilloscopes' samples (formatIndex 1: "," and decimal point,
    // otherwise ";" and decimal comma).
    static SString buildCsv(const std::vector<Painter_Oszi*>& oscilloscopes, int formatIndex = 0);
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
    bool isMeasuring() const { return measuring_; }
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

private:
    // The live view starts and stops the measurement as the keys F5 and F6 do.
    friend class LiveShare;
    // Checks every 100 ms during a measurement whether the board is still there.
    class BoardWatch : public STimerEvent {
    public:
        explicit BoardWatch(Fenster& owner) : owner_(owner) {}
        void onTimer(int id) override;

    private:
        Fenster& owner_;
    };

    void setMeasuring(bool running);
    // The start and stop buttons as the measurement state says.
    void showButtonStates();
    // Every 100 ms of a measurement: a run the firmware ended ends the measurement as Stop
    // does; a board pulled out ends it with a message, port closed, buttons idle.
    void checkBoard();
    // Polls the diagram until the first samples of a new measurement are shown.
    void pollForFirstSample();
    // Sets (or appends to) the inner HTML of an element of the page "Vorbereitung".
    void setPageElement(const SString& id, const SString& html, bool append);
    // F5, F6, Ctrl+S and Ctrl+P anywhere in the window.
    void installShortcuts();
    void pressButton(int32_t objNr, const char* command);
    void onStartKey();
    void onStopKey();
    void onSaveKey();
    // The evaluation's diagram commands ("oszi-pause", "oszi-evaluate", "oszi-clear-runs",
    // "save-png"); true when the text was one of them.
    bool onEvaluationCommand(const SString& text);
    // Ctrl+P: the diagram as a picture.
    void onPngKey();

    SString version_;
    // The board with its port, which is the data connection: the measurement frames reach the
    // channels through it. Declared before the channels, which go first.
    SAvrBoard board_;
    // Data channels 1 to 6 of "extdata.ini".
    std::array<ExtData_ReceiverBuffered, ExtDataSetup::channelCount> channels_;
    // The firmware's "OK Ende" after the last sample of a run.
    RunEndReceiver runEnd_;
    SString projectName_;
    SString startPage_ = SString("Einleitung");
    HtmlWindowList htmlWindows_;
    // The window of the pane "Durchf\xFChrung"; owned by its diagram.
    SWindow* diagramPane_ = nullptr;
    bool measuring_ = false;
    BoardWatch boardWatch_{*this};
    int boardWatchTimer_ = 0;
    int firstSampleTimer_ = 0;
    int64_t firstSampleUntil_ = 0;
    // The U_C channel's frame count when the run was started: frames beyond it came since.
    uint32_t voltageFramesAtStart_ = 0;
    // Per port: whether the board answered behind the adapter (true) or directly at the last
    // start that reached it.
    std::map<std::string, bool> boardBehindAdapter_;
    DuvaroBurner duvaroBurner_;
    // Owned by the window's widget.
    std::vector<QShortcut*> shortcuts_;
};
