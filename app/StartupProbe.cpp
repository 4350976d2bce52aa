#include "app/StartupProbe.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Fenster.h"
#include "app/StartPage.h"
#include "gui/GuiThread.h"
#include "platform/ProcessInfo.h"

bool StartupProbe::isRequested() {
    const char* value = std::getenv("NUK_STARTUP_PROBE");
    return value && *value && std::string(value) != "0";
}

StartupProbe::StartupProbe(Fenster& window) : window_(window) {
    std::printf("startup: window=%.3f s\n", platform::secondsSinceProcessStart());
    std::fflush(stdout);
    startTimer(2);
}

void StartupProbe::onTimer(int) {
    HtmlWindowList& pages = window_.getHtmlWindows();
    // The page the window opens on: an HTML page counts once it has loaded, the diagram once
    // its pane is visible.
    const SString& start = window_.getStartPage();
    HtmlWindow* first = pages.findById(start);
    SWindow* pane = window_.getSplitWindow(start);
    const bool firstShown = first ? first->isLoaded() && first->isVisible() : pane && pane->isVisible();
    if (!firstReported_ && firstShown) {
        firstReported_ = true;
        std::printf("startup: %s=%.3f s\n", StartPage::asciiName(start).c_str(), platform::secondsSinceProcessStart());
        std::fflush(stdout);
    }
    if (!firstReported_ || pages.getSize() == 0) return;
    for (HtmlWindow* page : pages)
        if (!page->isLoaded()) return;
    stopAllTimers();
    const int self = platform::currentProcessId();
    std::printf("startup: all=%.3f s rss=%lld kB browser_rss=%lld kB\n", platform::secondsSinceProcessStart(),
                static_cast<long long>(platform::residentKb(self)),
                static_cast<long long>(platform::descendantsResidentKb(self)));
    std::fflush(stdout);
    gui::quitEventLoop(0);
}
