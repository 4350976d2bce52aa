// The HTML page windows on their own: a split window of the test with its own event manager,
// the experiment's progress page and test pages of the resource folders.
#include <QWebEngineView>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "app/HtmlWindowList.h"
#include "browser/SHtmlScript.h"
#include "browser/SIEPage.h"
#include "gui/SQtString.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SLanguage.h"
#include "multiwindow/SMultiClientWindowEntry.h"
#include "multiwindow/SMultiWindow.h"
#include "support/TestSupport.h"

using apptest::waitFor;

namespace {

// Test pages; the file names are lower case, the panes ask for "wndSeite.htm" and so on.
const char* const testPage =
    "<!DOCTYPE html><html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
    "charset=windows-1252\">"
    "<title>Seite</title></head><body>\n"
    "<div id=\"Schaltung\" class=\"navEntry\">bleibt, wie es ist</div>\n"
    "<a href=\"cmd:open-excel\">Excel</a>\n"
    "<a href=\"cmd:\">leer</a>\n"
    "<a href=\"cmd:burnHex:Duvaro:C:\\Programme\\firmware.hex\">brennen</a>\n"
    "<a href=\"cmd:Gr\xF6\xDF"
    "e 5\">Umlaut</a>\n"
    "<a href=\"wnd:Andere\">andere Seite</a>\n"
    "<a href=\"weiter.htm\">weiter</a>\n"
    "</body></html>\n";
const char* const otherPage = "<html><body><p id=\"andere\">Andere</p></body></html>\n";

// Remembers every event; claims the version query when told to.
class Recorder : public SEventHandler {
public:
    int onEvent(SEvent& event) override {
        events.push_back(event);
        if (event.type == eventPageCommand && event.text == "getVersionString" && answerVersion) {
            event.result = "9.8.7";
            return 1;
        }
        return 0;
    }
    std::vector<SEvent> events;
    bool answerVersion = true;
};

// A frame with cards, each an HTML page window of its own event manager.
class PageHost : public SMultiWindow {
public:
    void onGetSplitWindowData(SMultiClientWindowEntry* entry) override {
        pages.appendNew()->create(this, &manager, entry);
    }
    SEventManager manager;
    HtmlWindowList pages;
};

class HtmlWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        writePage("wndseite.htm", testPage);
        writePage("wndandere.htm", otherPage);
        writePage("weiter.htm", otherPage);
    }
    static void writePage(const std::string& name, const char* content) {
        FILE* f = std::fopen((apptest::pagesDir() + "/" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(content, f);
        std::fclose(f);
    }

    void SetUp() override {
        host.manager.addHandler(&recorder);
        ASSERT_TRUE(host.create(nullptr, "Testfenster", SRect(0, 0, 600, 400), true));
        ASSERT_TRUE(
            host.createLayout("<MultiWindow><Splitter direction='c'><Window name='Seite' size='*' /><Window "
                              "name='Andere' size='*' />"
                              "<Window name='Projektverlauf' size='*' /></Splitter></MultiWindow>"));
        ASSERT_TRUE(waitFor([&] { return host.pages.allLoaded(); }));
        recorder.events.clear();
    }
    void TearDown() override {
        host.destroyWindow();
        host.pages.removeAll();
    }

    void click(HtmlWindow* window, const char* href) {
        window->getPage()->runJavaScript(
            QStringLiteral("for (const a of document.links) if (a.getAttribute('href') === %1) a.click();")
                .arg(SHtmlScript::literal(toQString(SString(href)))));
    }
    std::string fileOf(HtmlWindow* window) { return window->getPage()->url().fileName().toStdString(); }
    std::string classIn(HtmlWindow* window, const SString& id) {
        return window->getDocument().getElementById(id).getClass().str();
    }

    Recorder recorder;
    PageHost host;
};

// The same panes with the program speaking English.
class HtmlWindowInEnglish : public HtmlWindowTest {
protected:
    void SetUp() override {
        globalLanguage().setLanguage("en");
        HtmlWindowTest::SetUp();
    }
    void TearDown() override {
        HtmlWindowTest::TearDown();
        globalLanguage().setLanguage("de");
    }
};

}  // namespace

// Each pane loads its English page where the resources have one, else the German page; the
// links between the panes work the same.
TEST_F(HtmlWindowInEnglish, PanesLoadTheirEnglishPagesAndSwitchAlike) {
    HtmlWindow* progress = host.pages.getById("Projektverlauf");
    EXPECT_EQ(fileOf(progress), "wndprojektverlauf_en.htm");
    EXPECT_NE(progress->getDocument().getElementById("Auswertung").getInnerHtml().str().find("Analysis"),
              std::string::npos);
    EXPECT_EQ(fileOf(host.pages.getById("Seite")), "wndseite.htm");
    ASSERT_TRUE(host.showSplitWindow("Seite"));
    click(host.pages.getById("Seite"), "wnd:Andere");
    EXPECT_TRUE(waitFor([&] { return host.getSplitWindow("Andere")->isVisible(); }));
}

TEST_F(HtmlWindowTest, CreateTakesThePaneAndLoadsItsPage) {
    ASSERT_EQ(host.pages.getSize(), 3);
    HtmlWindow* page = host.pages.getById("Seite");
    EXPECT_EQ(page->getWinId().str(), "Seite");
    EXPECT_EQ(page->getOwner(), &host);
    EXPECT_EQ(host.getSplitWindow("Seite"), page);
    // The recorder first, then the three pages.
    EXPECT_EQ(host.manager.getHandlerCount(), 4);
    // "wndSeite.htm" is found as wndseite.htm.
    EXPECT_EQ(fileOf(page), "wndseite.htm");
    EXPECT_EQ(fileOf(host.pages.getById("Projektverlauf")), "wndprojektverlauf.htm");
}

TEST_F(HtmlWindowTest, CommandLinksBecomeEventsAndAreNotNavigated) {
    HtmlWindow* page = host.pages.getById("Seite");
    const char* links[] = {"cmd:open-excel", "cmd:", "cmd:burnHex:Duvaro:C:\\Programme\\firmware.hex",
                           "cmd:Gr\xF6\xDF"
                           "e 5"};
    std::vector<std::string> texts;
    for (const char* link : links) {
        const std::size_t before = recorder.events.size();
        click(page, link);
        ASSERT_TRUE(waitFor([&] { return recorder.events.size() > before; })) << link;
        const SEvent& e = recorder.events.back();
        EXPECT_EQ(e.type, eventPageCommand);
        EXPECT_EQ(e.code, 0);
        texts.push_back(e.text.str());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{links, links + 4}));
    SApplicationBasic::wait(200);
    EXPECT_EQ(fileOf(page), "wndseite.htm");
    EXPECT_EQ(page->getLoadCount(), 1);
}

TEST_F(HtmlWindowTest, WndLinkShowsTheCardAndOrdinaryLinkNavigates) {
    HtmlWindow* page = host.pages.getById("Seite");
    ASSERT_TRUE(host.showSplitWindow("Seite"));
    click(page, "wnd:Andere");
    ASSERT_TRUE(waitFor([&] { return host.getSplitWindow("Andere")->isVisible(); }));
    EXPECT_FALSE(page->isVisible());
    EXPECT_EQ(fileOf(page), "wndseite.htm");

    const int loads = page->getLoadCount();
    click(page, "weiter.htm");
    ASSERT_TRUE(waitFor([&] { return page->getLoadCount() > loads; })) << fileOf(page) << " " << loads;
    EXPECT_EQ(fileOf(page), "weiter.htm");
    EXPECT_TRUE(page->getDocument().getElementById("andere").isValid());
}

TEST_F(HtmlWindowTest, ProgressPaneMarksTheAnnouncedPage) {
    HtmlWindow* progress = host.pages.getById("Projektverlauf");
    HtmlWindow* page = host.pages.getById("Seite");
    const char* entries[] = {"Einleitung", "Bauformen",    "Anwendungen",     "Vorbetrachtungen", "Schaltung",
                             "Aufgaben",   "Vorbereitung", "Durchf\xFChrung", "Auswertung"};
    for (const char* shown : {"Schaltung", "Durchf\xFChrung", "Einleitung"}) {
        SEvent event;
        event.type = eventPageShown;
        event.code = 10000;
        event.text = shown;
        // Nobody claims it: every page window sees it.
        EXPECT_EQ(host.manager.send(event), 0);
        for (const char* entry : entries)
            EXPECT_EQ(classIn(progress, entry), SString(entry) == shown ? "aktNavEntry" : "navEntry")
                << shown << entry;
    }
    // Only the progress pane marks entries: the test page's DIV keeps its class.
    EXPECT_EQ(classIn(page, "Schaltung"), "navEntry");
    // An event that names the progress pane itself changes nothing.
    SEvent own;
    own.text = "Projektverlauf";
    EXPECT_EQ(progress->onEvent(own), 0);
    EXPECT_EQ(classIn(progress, "Einleitung"), "aktNavEntry");
    // Any other text unmarks every entry (no page has that name).
    SEvent other;
    other.text = "unbekannt";
    EXPECT_EQ(progress->onEvent(other), 0);
    for (const char* entry : entries) EXPECT_EQ(classIn(progress, entry), "navEntry") << entry;
}

// The start page is announced before the progress pane has loaded ("--page Durchf\xFChrung"):
// the pane marks it once it is there, and again after every load, not its own static mark.
TEST_F(HtmlWindowTest, ProgressPaneMarksThePageShownWhileItWasLoading) {
    HtmlWindow* progress = host.pages.getById("Projektverlauf");
    SEvent event;
    event.type = eventPageShown;
    event.text = "Durchf\xFChrung";
    host.manager.send(event);
    const int loads = progress->getLoadCount();
    progress->navigate(SString(progress->getPage()->url().toLocalFile().toStdString()));
    ASSERT_TRUE(waitFor([&] { return progress->getLoadCount() > loads; }));
    EXPECT_EQ(classIn(progress, "Durchf\xFChrung"), "aktNavEntry");
    EXPECT_EQ(classIn(progress, "Einleitung"), "navEntry");
}

TEST_F(HtmlWindowTest, ProgressPaneShowsTheVersionAfterEveryLoad) {
    HtmlWindow* progress = host.pages.getById("Projektverlauf");
    auto version = [&] {
        return progress->getDocument().getElementById("versionsstring").getInnerHtml().str();
    };
    ASSERT_TRUE(waitFor([&] { return version() == "9.8.7"; }));

    // Loaded again, and nobody answers the query: the element stays empty.
    recorder.answerVersion = false;
    const std::size_t before = recorder.events.size();
    progress->navigate(SString(progress->getPage()->url().toLocalFile().toStdString()));
    ASSERT_TRUE(waitFor([&] {
        for (std::size_t i = before; i < recorder.events.size(); ++i)
            if (recorder.events[i].text == "getVersionString") return true;
        return false;
    }));
    EXPECT_EQ(version(), "");
    // Only the progress pane asks, once per load.
    int asked = 0;
    for (std::size_t i = before; i < recorder.events.size(); ++i)
        asked += recorder.events[i].text == "getVersionString";
    EXPECT_EQ(asked, 1);
}

TEST(HtmlWindowListTest, GetByIdFindsTheFirstOfThatName) {
    HtmlWindowList list;
    EXPECT_EQ(list.findById("Titel"), nullptr);
    HtmlWindow* first = list.appendNew();
    EXPECT_EQ(list.getSize(), 1);
    EXPECT_EQ(list.findById(""), first);  // a window that has not taken a pane yet
}

TEST(HtmlWindowListDeathTest, GetByIdOfAnUnknownNameEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HtmlWindowList list;
    EXPECT_EXIT(list.getById("Nirgends"), ::testing::ExitedWithCode(1),
                "ERROR: HtmlWindowList::getById\\('Nirgends'\\): ung");
}
