// The experiment's main window: the panes with the HTML pages and the diagram, and the
// dispatcher of the events that pages, buttons and jobs send.
#pragma once

#include <memory>

#include "app/HtmlWindowList.h"
#include "foundation/SEvent.h"
#include "multiwindow/SMultiWindow.h"

class Fenster : public SEventHandler, public SMultiWindow {
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
    SEventManager& getEventManager() { return eventManager_; }
    HtmlWindowList& getHtmlWindows() { return htmlWindows_; }
    // The version the pages show: version, "." and the build number of "resource.ini".
    SString getVersionString();

    // Selects the pane of that name and announces it (event type 1, code 10000, the name)
    // through the event manager. Returns whether the pane was found.
    int showPage(const SString& name);

    // 1000 x 730, restored to the saved placement, title "Experiment".
    bool onPreCreateWindow() override;
    // Builds the panes and shows "Einleitung".
    void onFirstShow() override;
    // An HTML page window for every pane but "Durchf\xFChrung".
    void onGetSplitWindowData(SMultiClientWindowEntry* entry) override;
    // The user closes the window.
    int onClose() override;
    int onEvent(SEvent& event) override;

private:
    // The project's event manager (the project part with the repository, the data channels and
    // the diagrams builds on it later). Declared first: the page windows leave it when they go.
    SEventManager eventManager_;
    SString version_;
    SString projectName_;
    HtmlWindowList htmlWindows_;
    // Stands in the pane "Durchf\xFChrung" until the diagram window takes its place.
    std::unique_ptr<SWindow> diagramPlaceholder_;
};
