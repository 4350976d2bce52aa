// The main window as the program starts it: panes and their sizes, the first page, switching
// pages through the links of the progress pane, the version and the page commands.
#include <cstdlib>

#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "app/Fenster.h"
#include "app/Globals.h"
#include "browser/SHtmlScript.h"
#include "browser/SIEPage.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SFileIni.h"
#include "foundation/SResources.h"
#include "gui/SQtString.h"
#include "support/TestSupport.h"

using apptest::waitFor;

namespace {

const char* const contentPages[] = {"Einleitung",       "Bauformen",       "Anwendungen",
                                    "Vorbetrachtungen", "Schaltung",       "Aufgaben",
                                    "Vorbereitung",     "Durchf\xFChrung", "Auswertung", "Lehrkraft"};

// Remembers the events that no earlier handler claimed.
class Recorder : public SEventHandler {
public:
    int onEvent(SEvent& event) override {
        events.push_back(event);
        return 0;
    }
    std::vector<SEvent> events;
};

class FensterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fenster.isCreated());
        // Every page loaded and the version shown: the start-up is over.
        ASSERT_TRUE(waitFor([&] { return fenster.getHtmlWindows().allLoaded(); }));
    }
    void TearDown() override {
        fenster.getEventManager().removeHandler(&recorder);
        fenster.showPage("Einleitung");
    }

    HtmlWindow* page(const char* name) { return fenster.getHtmlWindows().getById(name); }
    // Clicks the link of the progress pane that leads to a page.
    void clickProgressLink(const SString& target) {
        const QString href = SHtmlScript::literal(toQString(SString("wnd:") + target));
        page("Projektverlauf")
            ->getPage()
            ->runJavaScript(
                QStringLiteral(
                    "for (const a of document.links) if (a.getAttribute('href') === %1) a.click();")
                    .arg(href));
    }
    SString classOf(const SString& id) {
        return page("Projektverlauf")->getDocument().getElementById(id).getClass();
    }
    // The navigation entries of the progress page that are marked as the current page.
    std::vector<std::string> markedEntries() {
        std::vector<std::string> marked;
        SHtmlElementCollection divs = page("Projektverlauf")->getDocument().getElementsByTagName("DIV");
        for (int i = 0; i < divs.getCount(); ++i) {
            SHtmlElement div = divs.getAt(i);
            const SString cls = div.getClass();
            if (cls == "aktNavEntry")
                marked.push_back(div.getId().str());
            else
                EXPECT_EQ(cls.str(), "navEntry") << div.getId().str();
        }
        return marked;
    }
    bool shown(const char* name) {
        SWindow* pane = fenster.getSplitWindow(name);
        return pane && pane->isVisible();
    }

    Fenster& fenster = globalFenster();
    Recorder recorder;
};

}  // namespace

TEST_F(FensterTest, PanesFillTheWindow) {
    EXPECT_EQ(toSString(fenster.getWidget()->windowTitle()).str(), "Experiment");
    const SRect client = fenster.getClientRect();
    EXPECT_EQ(client.width, 1000);
    EXPECT_EQ(client.height, 730);

    // Where a pane lies in the main window's client area (panes may sit in splitter windows).
    auto rectOf = [&](const char* name) {
        SWindow* pane = fenster.getSplitWindow(name);
        if (!pane || !pane->getWidget()) return SRect();
        const QPoint at = pane->getWidget()->mapTo(fenster.getWidget(), QPoint(0, 0));
        return SRect(at.x(), at.y(), pane->getWidget()->width(), pane->getWidget()->height());
    };
    const SRect title = rectOf("Titel");
    EXPECT_EQ(title.x, 0);
    EXPECT_EQ(title.y, 0);
    EXPECT_EQ(title.width, 1000);
    EXPECT_EQ(title.height, 100);
    const SRect progress = rectOf("Projektverlauf");
    EXPECT_EQ(progress.x, 0);
    EXPECT_EQ(progress.y, 100);
    EXPECT_EQ(progress.width, 130);
    EXPECT_EQ(progress.height, 630);
    for (const char* name : contentPages) {
        const SRect content = rectOf(name);
        EXPECT_EQ(content.x, 130) << name;
        EXPECT_EQ(content.y, 100) << name;
        EXPECT_EQ(content.width, 870) << name;
        EXPECT_EQ(content.height, 630) << name;
    }
    // Every pane but the diagram's shows its page.
    EXPECT_EQ(fenster.getHtmlWindows().getSize(), 11);
    EXPECT_EQ(fenster.getHtmlWindows().findById("Durchf\xFChrung"), nullptr);
}

TEST_F(FensterTest, StartsWithTheIntroduction) {
    EXPECT_TRUE(shown("Titel"));
    EXPECT_TRUE(shown("Projektverlauf"));
    for (const char* name : contentPages) EXPECT_EQ(shown(name), SString(name) == "Einleitung") << name;
    EXPECT_EQ(page("Einleitung")->getPage()->url().fileName().toStdString(), "wndeinleitung.htm");
    EXPECT_EQ(page("Titel")->getPage()->url().fileName().toStdString(), "wndtitel.htm");
    EXPECT_EQ(markedEntries(), std::vector<std::string>{"Einleitung"});
    // A program without archive also looks into the project folder beside it.
    const SStringList& paths = globalResources().getSearchPaths();
    ASSERT_FALSE(paths.isEmpty());
    EXPECT_EQ(paths.getAt(paths.getSize() - 1).str(),
              apptest::programDir() + "/NUK-optional-e01-Kondensator");
}

TEST_F(FensterTest, ProgressPageShowsTheVersionWithTheBuildNumber) {
    const std::string expected = std::string("1.3.") + apptest::buildCount;
    EXPECT_EQ(fenster.getVersionString().str(), expected);
    ASSERT_TRUE(waitFor([&] {
        return page("Projektverlauf")->getDocument().getElementById("versionsstring").getInnerHtml().str() ==
               expected;
    }));
}

TEST_F(FensterTest, ProgressLinksSwitchTheCardAndMarkTheEntry) {
    fenster.getEventManager().addHandler(&recorder);
    for (const char* target : {"Schaltung", "Durchf\xFChrung", "Auswertung", "Einleitung"}) {
        clickProgressLink(target);
        ASSERT_TRUE(waitFor([&] { return shown(target) && classOf(target) == "aktNavEntry"; })) << target;
        for (const char* name : contentPages) EXPECT_EQ(shown(name), SString(name) == target) << name;
        EXPECT_EQ(markedEntries(), std::vector<std::string>{target});
        // The links are commands: the progress page stays.
        EXPECT_EQ(page("Projektverlauf")->getPage()->url().fileName().toStdString(), "wndprojektverlauf.htm");
    }
    // Each switch was announced as a page-shown event.
    std::vector<std::string> announced;
    for (const SEvent& e : recorder.events) {
        EXPECT_EQ(e.type, eventPageShown);
        EXPECT_EQ(e.code, 10000);
        announced.push_back(e.text.str());
    }
    EXPECT_EQ(announced,
              (std::vector<std::string>{"Schaltung", "Durchf\xFChrung", "Auswertung", "Einleitung"}));
}

TEST_F(FensterTest, PageCommandsAreClaimed) {
    struct Case {
        int type;
        const char* text;
        int handled;
    } cases[] = {
        {eventPageCommand, "cmd:burnHex:Duvaro:firmware.hex", 1},
        {eventPageCommand, "cmd:open-excel", 1},
        {eventPageCommand, "cmd:", 1},
        {eventPageCommand, "cmd:unbekannt", 1},
        {eventPageShown, "Einleitung", 0},
        {0, "unbekannt", 0},
    };
    for (const Case& c : cases) {
        SEvent event;
        event.type = c.type;
        event.text = c.text;
        EXPECT_EQ(fenster.onEvent(event), c.handled) << c.text;
        EXPECT_TRUE(event.result.isEmpty()) << c.text;
    }
    SEvent version;
    version.type = eventPageCommand;
    version.text = "getVersionString";
    EXPECT_EQ(fenster.onEvent(version), 1);
    EXPECT_EQ(version.result.str(), std::string("1.3.") + apptest::buildCount);

    // Without a build number the version ends with the dot.
    SFileIni* ini = globalResources().getResourceIni();
    ASSERT_NE(ini, nullptr);
    ini->setValue("Build", "Count", "");
    EXPECT_EQ(fenster.getVersionString().str(), "1.3.");
    ini->setValue("Build", "Count", apptest::buildCount);
}

TEST_F(FensterTest, CommandLinkOfAPageIsNotNavigated) {
    HtmlWindow* evaluation = page("Auswertung");
    fenster.showPage("Auswertung");
    evaluation->getPage()->runJavaScript(QStringLiteral(
        "for (const a of document.links) if (a.getAttribute('href') === 'cmd:open-excel') a.click();"));
    // The command is handled inside the browser's navigation; the page stays.
    SApplicationBasic::wait(300);
    EXPECT_EQ(evaluation->getPage()->url().fileName().toStdString(), "wndauswertung.htm");
    EXPECT_EQ(evaluation->getPage()->getPendingCount(), 0);
}

TEST_F(FensterTest, ScreenshotShowsTheTitleAndThePages) {
    // The browser paints asynchronously; give the pages a moment after loading.
    SApplicationBasic::wait(300);
    const QImage shot = fenster.getWidget()->grab().toImage();
    testsupport::TempDir dir;
    const QString file = QString::fromStdString(dir.file("experiment.png"));
    ASSERT_TRUE(shot.save(file));
    // A copy for people who want to look at it.
    if (const char* keep = std::getenv("NUK_TEST_SCREENSHOT")) shot.save(QString::fromLocal8Bit(keep));
    ASSERT_EQ(shot.width(), 1000);
    ASSERT_EQ(shot.height(), 730);

    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20) << "whole window";

    QSet<QRgb> titleColours;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 1000; x += 2) titleColours.insert(shot.pixel(x, y));
    EXPECT_GT(titleColours.size(), 3) << "title pane";
}
