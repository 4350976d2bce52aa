// The experiment's main window: the panes with the HTML pages and the diagram, and the
// dispatcher of the events that pages, buttons and jobs send.
#pragma once

#include <memory>

#include <array>

#include "app/HtmlWindowList.h"
#include "foundation/SEvent.h"
#include "multiwindow/SMultiWindow.h"
#include "stream/ExtDataSetup.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "stream/SComPortSplitter.h"
#include "view/KeloProject.h"

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
    // The data connection the channels are connected to.
    SComPortSplitter& getDataConnection() { return dataConnection_; }
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
    int onEvent(SEvent& event) override;

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
    SString version_;
    // Later the board's data connection: the measurement frames reach the channels through it.
    SComPortSplitter dataConnection_;
    // Data channels 1 to 6 of "extdata.ini".
    std::array<ExtData_ReceiverBuffered, ExtDataSetup::channelCount> channels_;
    SString projectName_;
    SString startPage_ = SString("Einleitung");
    HtmlWindowList htmlWindows_;
    // The window of the pane "Durchf\xFChrung"; owned by its diagram.
    SWindow* diagramPane_ = nullptr;
};
