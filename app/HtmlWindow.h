// A pane of the main window that shows one HTML page of the experiment.
#pragma once

#include "browser/SIEControl.h"
#include "foundation/SEvent.h"

class SMultiClientWindowEntry;
class SMultiWindow;

// Links to "wnd:<page>" switch the visible content page, links to "cmd:<command>" become
// events of type 20000 for the main window; both are never navigated. The pane
// "Projektverlauf" marks the page shown and displays the program's version.
class HtmlWindow : public SIEControl, public SEventHandler {
public:
    S_CLASSNAME(HtmlWindow)

    HtmlWindow();
    // Leaves the event manager.
    ~HtmlWindow() override;

    // Takes the pane: stores owner and event manager (may be nullptr), registers with the
    // manager, becomes the entry's window and takes its name, creates the browser in the owner
    // and loads the page of the resources (pageFile).
    bool create(SMultiWindow* owner, SEventManager* eventManager, SMultiClientWindowEntry* entry);
    // The page of a window in the program's language: "wnd<name>_<language>.htm" when the
    // language is not German and the resources have it, else "wnd<name>.htm"; empty when
    // neither exists.
    static SString pageFile(const SString& window);

    const SString& getWinId() const { return winId_; }
    SMultiWindow* getOwner() const { return owner_; }
    SEventManager* getEventManager() const { return eventManager_; }
    // Whether a document of this pane finished loading at least once, and how often.
    bool isLoaded() const { return loads_ > 0; }
    int getLoadCount() const { return loads_; }

    // "wnd:" shows the page, "cmd:" sends the command; both cancel. Anything else navigates.
    bool onBeforeNavigate2(int flags, const SString& address) override;
    // In "Projektverlauf": marks the navigation entry of the event's page (once the pane has
    // loaded, if it is still loading). Always 0, so the other handlers see the event too.
    int onEvent(SEvent& event) override;
    // In "Projektverlauf": marks the entry of the page shown, asks for the version text and
    // shows it in "versionsstring".
    void onDocumentComplete() override;

private:
    // Gives the entry of shownPage_ the class "aktNavEntry", every other entry "navEntry".
    void markShownPage();

    SMultiWindow* owner_ = nullptr;
    SEventManager* eventManager_ = nullptr;
    SString winId_;
    SString shownPage_;
    int loads_ = 0;
};
