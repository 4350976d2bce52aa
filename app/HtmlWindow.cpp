#include "app/HtmlWindow.h"

#include "app/Fenster.h"
#include "foundation/SDebug.h"
#include "foundation/SLanguage.h"
#include "foundation/SResources.h"
#include "multiwindow/SMultiClientWindowEntry.h"
#include "multiwindow/SMultiWindow.h"

namespace {

const char* const progressPane = "Projektverlauf";

}  // namespace

HtmlWindow::HtmlWindow() = default;

HtmlWindow::~HtmlWindow() {
    if (eventManager_) eventManager_->removeHandler(this);
    destroyWindow();
}

bool HtmlWindow::create(SMultiWindow* owner, SEventManager* eventManager, SMultiClientWindowEntry* entry) {
    owner_ = owner;
    eventManager_ = eventManager;
    if (eventManager_) eventManager_->addHandler(this);
    entry->window = this;
    winId_ = entry->name;
    if (!isCreated()) {
        // The layout moves the pane into place.
        if (!SIEControl::create(owner, winId_, SRect(0, 0, 100, 100), true)) return false;
    }
    navigate(pageFile(winId_));
    return true;
}

SString HtmlWindow::pageFile(const SString& window) {
    // "wnd<name>_en.htm" in English; the German page where a language has none of its own.
    const SString german = SString("wnd") + window + ".htm";
    const std::string& language = globalLanguage().getLanguage();
    if (!language.empty() && language != "de") {
        const SString own = globalResources().getFile(SString("wnd") + window + "_" + SString(language) + ".htm");
        if (!own.isEmpty()) return own;
    }
    return globalResources().getFile(german);
}

bool HtmlWindow::onBeforeNavigate2(int flags, const SString& address) {
    (void)flags;
    globalDebug().print(SString("HtmlWindow::onBeforeNavigate2(..) ") + address);
    if (address.startsWith("wnd:")) {
        SString page = address;
        page.cutFront(":");
        // The main window announces the page; a plain split window can only select it.
        if (auto* main = dynamic_cast<Fenster*>(owner_))
            main->showPage(page);
        else if (owner_)
            owner_->showSplitWindow(page);
        return true;
    }
    if (address.startsWith("cmd:")) {
        SEvent event;
        event.type = eventPageCommand;
        event.code = 0;
        event.text = address;
        if (eventManager_) eventManager_->send(event);
        return true;
    }
    return false;
}

int HtmlWindow::onEvent(SEvent& event) {
    if (winId_ != progressPane || event.text == winId_) return 0;
    // Remembered for a page that is still loading: it marks the entry once it is there
    // (onDocumentComplete). Before its first load there is no document to ask, and asking would
    // wait for the browser's renderer to start: at start-up that held the main window back.
    shownPage_ = event.text;
    if (isLoaded()) markShownPage();
    return 0;
}

void HtmlWindow::markShownPage() {
    if (shownPage_.isEmpty()) return;
    SHtmlDocument2 document = getDocument();
    if (!document.isValid()) return;
    // In one call into the page: the pane is marked while the other pages still load, and a
    // call per entry would wait behind their loading each time.
    document.setClassesByTagName("DIV", shownPage_, "aktNavEntry", "navEntry");
}

void HtmlWindow::onDocumentComplete() {
    ++loads_;
    if (winId_ != progressPane || !eventManager_) return;
    // The page shown before the progress pane had loaded (the start page) gets its mark now.
    markShownPage();
    SEvent event;
    event.type = eventPageCommand;
    event.code = 0;
    event.text = "getVersionString";
    if (eventManager_->send(event) == 0) return;
    SHtmlElement version = getDocument().getElementById("versionsstring");
    if (version.isValid()) version.setInnerHtml(event.result);
}
