#include "multiwindow/SMultiWindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <memory>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "app/MainWindowLayout.h"
#include "foundation/SError.h"
#include "gui/SApplication.h"
#include "multiwindow/SMultiWindowSplitterTab.h"

namespace {

// The layout of the experiment's main window.
const char* const mainLayout = mainWindowLayout;

const char* cardNames[] = {"Einleitung", "Bauformen",    "Anwendungen",     "Vorbetrachtungen", "Schaltung",
                           "Aufgaben",   "Vorbereitung", "Durchf\xFChrung", "Auswertung",       "Lehrkraft"};

SString bytes(const char* text) {
    return SString(std::string(text));
}

// A pane that says when it goes.
class StubPane : public SWindow {
public:
    explicit StubPane(int* deleted = nullptr) : deleted_(deleted) {}
    ~StubPane() override {
        if (deleted_) ++*deleted_;
    }

private:
    int* deleted_;
};

// The owner: makes a stub pane for every name except the refused ones.
class StubFrame : public SMultiWindow {
public:
    ~StubFrame() override { destroyWindow(); }
    void onGetSplitWindowData(SMultiClientWindowEntry* entry) override {
        requested.push_back(entry->name.str());
        if (refused.count(entry->name.str())) return;
        if (giveAway) {
            // The entry decides about these: they go only when it is told to destroy them.
            auto* pane = new StubPane(&deletedPanes);
            pane->create(this, entry->name, SRect(0, 0, 10, 10), true);
            entry->window = pane;
            return;
        }
        auto pane = std::make_unique<StubPane>();
        pane->setText(entry->name);
        pane->create(this, entry->name, SRect(0, 0, 10, 10), true);
        entry->window = pane.get();
        panes.push_back(std::move(pane));
    }
    std::vector<std::string> requested;
    std::set<std::string> refused;
    bool giveAway = false;
    int deletedPanes = 0;
    std::vector<std::unique_ptr<StubPane>> panes;
};

class SMultiWindowTest : public ::testing::Test {
protected:
    void SetUp() override { globalError().clearLog(); }
    void TearDown() override { globalError().clearLog(); }

    // A shown frame of that client size with a layout.
    bool build(const SString& layout, int width = 1000, int height = 730) {
        if (!frame.create(nullptr, "frame", SRect(0, 0, width, height), true)) return false;
        return frame.createLayout(layout);
    }
    SRect rectOf(const char* name) {
        SWindow* w = frame.getSplitWindow(bytes(name));
        return w ? w->getWindowRect() : SRect(-1, -1, -1, -1);
    }

    SApplication app;
    StubFrame frame;
};

void sendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// Presses the separator's left button, moves it to a point of its splitter and lets go,
// as a user's drag delivers the events (all to the pressed widget).
void dragSeparator(SMultiClientSeparator& s, QPoint from, QPoint to) {
    QWidget* w = s.getWidget();
    sendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    // The splitter point -> separator point, with the separator where it is now.
    auto local = [&](QPoint p) { return p - w->pos(); };
    sendMouse(w, QEvent::MouseMove, local((from + w->pos() + to) / 2), Qt::NoButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseMove, local(to), Qt::NoButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, local(to), Qt::LeftButton, Qt::NoButton);
}

}  // namespace

TEST(SMultiWindowSplitterSizes, SizeRulesGivePixels) {
    struct Case {
        std::vector<const char*> sizes;
        int extent;
        std::vector<int> pixels;
    };
    const Case cases[] = {
        {{"0", "100", "0", "*"}, 730, {0, 100, 0, 630}},
        {{"0", "25%", "0", "*"}, 1000, {0, 250, 0, 750}},
        {{"33.3333%"}, 1000, {333}},
        {{"12.5%"}, 100, {13}},
        {{"*", "*"}, 500, {0, 500}},
        {{"600", "*", "600"}, 1000, {600, 0, 600}},
        {{"*", "1000"}, 1000, {0, 1000}},
        {{"130", "abc", ""}, 400, {130, 0, 0}},
        {{"50%", "50%", "*"}, 0, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<SString> sizes;
        for (const char* s : c.sizes) sizes.push_back(SString(std::string(s)));
        EXPECT_EQ(c.pixels, SMultiWindowSplitter::sizesToPixels(sizes, c.extent))
            << c.sizes.front() << " of " << c.extent;
    }
}

TEST_F(SMultiWindowTest, MainWindowLayoutFillsTheFrame) {
    ASSERT_TRUE(build(bytes(mainLayout)));
    std::vector<std::string> expected = {"Titel", "Projektverlauf"};
    for (const char* n : cardNames) expected.push_back(n);
    EXPECT_EQ(expected, frame.requested);

    EXPECT_EQ(SRect(0, 0, 1000, 730), frame.getMainSplitter().getWindowRect());
    EXPECT_EQ(SRect(0, 0, 1000, 100), rectOf("Titel"));
    SMultiWindowSplitter* unten = frame.getSplitter("unten");
    SMultiWindowSplitter* inhalt = frame.getSplitter("inhalt");
    ASSERT_TRUE(unten && inhalt);
    EXPECT_EQ('h', unten->getDirection());
    EXPECT_EQ(1, unten->getLevel());
    EXPECT_EQ('c', inhalt->getDirection());
    EXPECT_EQ(2, inhalt->getLevel());
    EXPECT_EQ(SRect(0, 100, 1000, 630), unten->getWindowRect());
    EXPECT_EQ(SRect(0, 0, 130, 630), rectOf("Projektverlauf"));
    EXPECT_EQ(SRect(130, 0, 870, 630), inhalt->getWindowRect());
    ASSERT_EQ(10, inhalt->getEntryCount());
    for (const char* n : cardNames) {
        EXPECT_EQ(SRect(0, 0, 870, 630), rectOf(n)) << n;
        EXPECT_EQ(inhalt, frame.getSplitWindow(bytes(n))->getParentWindow())
            << "reparented into its splitter";
    }
    EXPECT_EQ(nullptr, frame.getSplitter(SString()));
    EXPECT_EQ(nullptr, frame.getSplitWindow("nirgends"));

    // The main splitter follows the frame; the panes follow their splitters.
    frame.move(0, 0, 1200, 800);
    EXPECT_EQ(SRect(0, 0, 1200, 800), frame.getMainSplitter().getWindowRect());
    EXPECT_EQ(SRect(0, 100, 1200, 700), unten->getWindowRect());
    EXPECT_EQ(SRect(0, 0, 1070, 700), rectOf("Einleitung"));
    EXPECT_TRUE(globalError().getLog().isEmpty()) << globalError().getLog().str();
}

TEST_F(SMultiWindowTest, CardsShowOneAtATime) {
    ASSERT_TRUE(build(bytes(mainLayout)));
    auto shownCards = [&] {
        std::vector<std::string> shown;
        for (const char* n : cardNames)
            if (frame.getSplitWindow(bytes(n))->isShown()) shown.push_back(n);
        return shown;
    };
    ASSERT_TRUE(frame.showSplitWindow("Einleitung"));
    EXPECT_EQ(std::vector<std::string>{"Einleitung"}, shownCards());
    ASSERT_TRUE(frame.showSplitWindow(bytes("Durchf\xFChrung")));
    EXPECT_EQ(std::vector<std::string>{"Durchf\xFChrung"}, shownCards());
    EXPECT_TRUE(frame.getSplitWindow(bytes("Durchf\xFChrung"))->isVisible());

    // Unknown names (also in another case or encoding) change nothing.
    EXPECT_FALSE(frame.showSplitWindow("Unbekannt"));
    EXPECT_FALSE(frame.showSplitWindow("einleitung"));
    EXPECT_FALSE(frame.showSplitWindow(bytes("Durchf\xC3\xBChrung")));
    EXPECT_EQ(std::vector<std::string>{"Durchf\xFChrung"}, shownCards());

    // Panes outside card splitters are found but stay as they are.
    EXPECT_TRUE(frame.showSplitWindow("Titel"));
    EXPECT_TRUE(frame.getSplitWindow("Titel")->isShown());
    EXPECT_EQ(std::vector<std::string>{"Durchf\xFChrung"}, shownCards());
}

TEST_F(SMultiWindowTest, InvalidDirectionsAreLogged) {
    const std::pair<const char*, const char*> cases[] = {
        {"<MultiWindow><Splitter direction='x'><Window name='a' size='*'/></Splitter></MultiWindow>", "'x'"},
        {"<MultiWindow><Splitter><Window name='a' size='*'/></Splitter></MultiWindow>", "''"},
        {"<MultiWindow><Splitter direction='vh'></Splitter></MultiWindow>", "'vh'"},
        {"<MultiWindow><Fenster/></MultiWindow>", "''"},
    };
    for (auto [layout, shown] : cases) {
        StubFrame f;
        globalError().clearLog();
        ASSERT_TRUE(f.create(nullptr, "f", SRect(0, 0, 300, 200), false));
        EXPECT_FALSE(f.createLayout(layout)) << layout;
        EXPECT_EQ(0, f.getMainSplitter().getEntryCount());
        EXPECT_EQ(std::string("\r\nSMultiWindowSplitter::split(..): ung\xFCltige direction ") + shown +
                      " in SplitRule",
                  globalError().getLog().str());
    }
    // A nested splitter's error leaves it without panes; the rest is built.
    globalError().clearLog();
    ASSERT_TRUE(build(
        "<MultiWindow><Splitter direction='v'><Splitter name='n' size='50' direction='q'><Window name='a'/>"
        "</Splitter><Window name='b' size='*'/></Splitter></MultiWindow>"));
    EXPECT_EQ(0, frame.getSplitter("n")->getEntryCount());
    EXPECT_EQ(SRect(0, 50, 1000, 680), rectOf("b"));
    EXPECT_NE(std::string::npos, globalError().getLog().str().find("direction 'q'"));
}

TEST_F(SMultiWindowTest, MissingPaneWindowIsLoggedAndTheRestBuilt) {
    frame.refused = {"Projektverlauf"};
    EXPECT_TRUE(build(bytes(mainLayout)));
    EXPECT_EQ(
        std::string(
            "\r\nSMultiWindowSplitter::addWindows(..): SMultiWindow::onGetSplitWindowData(..) brachte f\xFCr "
            "das Fenster 'Projektverlauf' kein g\xFCltigen Pointer."),
        globalError().getLog().str());
    // The entry stays without window; the content area was still built behind it.
    SMultiWindowSplitter* unten = frame.getSplitter("unten");
    ASSERT_EQ(2, unten->getEntryCount());
    EXPECT_EQ(nullptr, unten->getEntry(0)->window);
    EXPECT_EQ(SRect(130, 0, 870, 630), frame.getSplitter("inhalt")->getWindowRect());
    EXPECT_EQ(SRect(0, 0, 870, 630), rectOf("Auswertung"));

    // The last pane missing makes the whole result false.
    StubFrame f;
    f.refused = {"b"};
    ASSERT_TRUE(f.create(nullptr, "f", SRect(0, 0, 300, 200), false));
    EXPECT_FALSE(f.createLayout(
        "<Splitter direction='h'><Window name='a' size='*'/><Window name='b' size='9'/></Splitter>"));
}

TEST_F(SMultiWindowTest, OddStructuresDoNotRecurse) {
    // An empty splitter; a trailing separator; an unknown element (an empty entry); a comment.
    ASSERT_TRUE(build(
        "<Splitter direction='v'><Splitter name='leer' size='40' direction='h'></Splitter>"
        "<Splitter name='leer2' size='10' direction='c'/><Window name='a' size='*'/><Bild name='x' size='5'/>"
        "<!-- Kommentar --><Separator size='7' drag='yes'/></Splitter>"));
    SMultiWindowSplitter& main = frame.getMainSplitter();
    ASSERT_EQ(5, main.getEntryCount()) << "no pane for the trailing separator";
    EXPECT_EQ(0, frame.getSplitter("leer")->getEntryCount());
    EXPECT_EQ(0, frame.getSplitter("leer2")->getEntryCount());
    EXPECT_EQ(nullptr, main.getEntry(3)->getPane());
    EXPECT_EQ(0, main.getEntry(3)->separator.size);
    EXPECT_EQ(SRect(0, 0, 1000, 40), frame.getSplitter("leer")->getWindowRect());
    EXPECT_EQ(SRect(0, 50, 1000, 675), rectOf("a"));
    EXPECT_EQ(std::vector<std::string>{"a"}, frame.requested);
}

TEST_F(SMultiWindowTest, LayoutIsReadOnceAndAMissingEndTagKeepsWhatWasRead) {
    // The pane "b" lacks its end tag: the panes read up to there are built.
    ASSERT_TRUE(
        build("<MultiWindow><Splitter direction='h'><Window name='a' size='100'/><Window name='b' size='*'>"
              "</Splitter></MultiWindow>"));
    EXPECT_EQ(SRect(0, 0, 100, 730), rectOf("a"));
    EXPECT_EQ(SRect(100, 0, 900, 730), rectOf("b"));
    EXPECT_FALSE(frame.createLayout("<Splitter direction='v'><Window name='c'/></Splitter>"))
        << "parsed before";
    EXPECT_EQ(2, frame.getMainSplitter().getEntryCount());

    StubFrame noWidget;
    EXPECT_FALSE(noWidget.createLayout("<Splitter direction='v'/>"));

    // Without the root's end tag nothing inside it was read.
    StubFrame f;
    ASSERT_TRUE(f.create(nullptr, "f", SRect(0, 0, 300, 200), false));
    EXPECT_FALSE(
        f.createLayout("<MultiWindow><Splitter direction='h'><Window name='a' size='100'/></Splitter>"));
    EXPECT_EQ(0, f.getMainSplitter().getEntryCount());
}

TEST_F(SMultiWindowTest, SeparatorsTakeTheirStripBeforeTheirPane) {
    ASSERT_TRUE(
        build("<Splitter direction='h'><Separator size='3'/><Window name='a' size='25%'/><Separator size='5' "
              "drag='yes'/>"
              "<Window name='b' size='*'/><Separator size='4'/><Window name='c' size='100'/></Splitter>",
              1000, 300));
    SMultiWindowSplitter& s = frame.getMainSplitter();
    EXPECT_EQ(SRect(0, 0, 3, 300), s.getEntry(0)->separator.getWindowRect());
    EXPECT_EQ(SRect(3, 0, 250, 300), rectOf("a"));
    EXPECT_EQ(SRect(253, 0, 5, 300), s.getEntry(1)->separator.getWindowRect());
    EXPECT_EQ(SRect(258, 0, 638, 300), rectOf("b"));
    EXPECT_EQ(SRect(896, 0, 4, 300), s.getEntry(2)->separator.getWindowRect());
    EXPECT_EQ(SRect(900, 0, 100, 300), rectOf("c"));
    EXPECT_EQ(bytes("Separator - b"), s.getEntry(1)->separator.getName());
    EXPECT_TRUE(s.getEntry(1)->separator.drag);
    EXPECT_FALSE(s.getEntry(2)->separator.drag);
    EXPECT_EQ(Qt::SplitHCursor, s.getEntry(1)->separator.getWidget()->cursor().shape());
    EXPECT_EQ(0x00E6E6E6u, s.getEntry(1)->separator.getBackgroundColor());
}

TEST_F(SMultiWindowTest, FixedSizesBeyondTheExtentLeaveTheRestEmpty) {
    ASSERT_TRUE(
        build("<Splitter direction='v'><Window name='a' size='500'/><Window name='b' size='*'/>"
              "<Window name='c' size='400'/></Splitter>",
              300, 730));
    EXPECT_EQ(SRect(0, 0, 300, 500), rectOf("a"));
    EXPECT_EQ(SRect(0, 500, 300, 0), rectOf("b"));
    EXPECT_EQ(SRect(0, 500, 300, 400), rectOf("c")) << "placed where it falls, partly outside";
}

TEST_F(SMultiWindowTest, DraggingBetweenRestAndFixedChangesOnlyTheFixedSize) {
    ASSERT_TRUE(
        build("<Splitter direction='h'><Window name='links' size='130'/><Separator size='6' drag='yes'/>"
              "<Window name='rechts' size='*'/></Splitter>",
              1000, 400));
    SMultiWindowSplitter& s = frame.getMainSplitter();
    SMultiClientSeparator& sep = s.getEntry(1)->separator;
    ASSERT_EQ(SRect(130, 0, 6, 400), sep.getWindowRect());

    dragSeparator(sep, QPoint(2, 100), QPoint(200, 100));
    EXPECT_FALSE(s.isDragging());
    EXPECT_EQ(bytes("200"), s.getEntry(0)->size);
    EXPECT_EQ(bytes("*"), s.getEntry(1)->size);
    EXPECT_EQ(SRect(0, 0, 200, 400), rectOf("links"));
    EXPECT_EQ(SRect(200, 0, 6, 400), sep.getWindowRect());
    EXPECT_EQ(SRect(206, 0, 794, 400), rectOf("rechts"));

    // The drag stays within the two panes.
    dragSeparator(sep, QPoint(2, 100), QPoint(5000, 100));
    EXPECT_EQ(bytes("994"), s.getEntry(0)->size);
    dragSeparator(sep, QPoint(2, 100), QPoint(-300, 100));
    EXPECT_EQ(bytes("0"), s.getEntry(0)->size);

    // A click without moving is no drag.
    sendMouse(sep.getWidget(), QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(sep.getWidget(), QEvent::MouseButtonRelease, {2, 2}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(bytes("0"), s.getEntry(0)->size);
}

TEST_F(SMultiWindowTest, DraggingInAStackWritesTheNextPane) {
    ASSERT_TRUE(
        build("<Splitter direction='v'><Separator size='4' drag='yes'/><Window name='oben' size='*'/>"
              "<Separator size='6' drag='yes'/><Window name='unten' size='130'/></Splitter>",
              500, 400));
    SMultiWindowSplitter& s = frame.getMainSplitter();
    // The first pane's separator never drags.
    EXPECT_FALSE(s.startDrag(&s.getEntry(0)->separator));
    dragSeparator(s.getEntry(0)->separator, QPoint(10, 1), QPoint(10, 100));
    EXPECT_EQ(SRect(0, 0, 500, 4), s.getEntry(0)->separator.getWindowRect());

    SMultiClientSeparator& sep = s.getEntry(1)->separator;
    ASSERT_EQ(SRect(0, 264, 500, 6), sep.getWindowRect());
    EXPECT_EQ(Qt::SplitVCursor, sep.getWidget()->cursor().shape());
    ASSERT_TRUE(s.startDrag(&sep));
    EXPECT_EQ(SRect(0, 4, 500, 396), s.getDragArea());
    s.endDrag();

    dragSeparator(sep, QPoint(10, 2), QPoint(10, 200));
    EXPECT_EQ(bytes("*"), s.getEntry(0)->size);
    EXPECT_EQ(bytes("194"), s.getEntry(1)->size);
    EXPECT_EQ(SRect(0, 206, 500, 194), rectOf("unten"));
}

TEST_F(SMultiWindowTest, PercentagesKeepTheirPairSum) {
    struct Case {
        const char* first;
        const char* second;
        int dropAt;
        const char* expectFirst;
        const char* expectSecond;
    };
    const Case cases[] = {
        {"30%", "70%", 400, "40.0000%", "60.0000%"},
        {"20%", "30%", 100, "10.0000%", "40.0000%"},
        {"30%", "500", 400, "40.0000%", "400"},
        {"100", "60%", 150, "150", "55.0000%"},
        {"33.3333%", "66.6667%", 250, "25.0000%", "75.0000%"},
    };
    for (const Case& c : cases) {
        StubFrame f;
        ASSERT_TRUE(f.create(nullptr, "f", SRect(0, 0, 1000, 200), true));
        ASSERT_TRUE(f.createLayout(
            SString::printf("<Splitter direction='h'><Window name='a' size='%s'/><Separator size='4' "
                            "drag='yes'/><Window name='b' size='%s'/></Splitter>",
                            c.first, c.second)));
        SMultiWindowSplitter& s = f.getMainSplitter();
        dragSeparator(s.getEntry(1)->separator, QPoint(1, 50), QPoint(c.dropAt, 50));
        EXPECT_EQ(bytes(c.expectFirst), s.getEntry(0)->size) << c.first << " " << c.second;
        EXPECT_EQ(bytes(c.expectSecond), s.getEntry(1)->size) << c.first << " " << c.second;
    }
}

TEST_F(SMultiWindowTest, TabsShowTheSelectedPane) {
    ASSERT_TRUE(
        build("<Splitter direction='v'><Splitter name='reiter' size='*' direction='t'>"
              "<Window name='a' tabTitle='Erste'/><Window name='b'/>"
              "<Splitter name='n' direction='v'><Window name='c' size='*'/></Splitter>"
              "</Splitter></Splitter>",
              600, 400));
    StubFrame& f = frame;
    auto* tabs = dynamic_cast<SMultiWindowSplitterTab*>(f.getSplitter("reiter"));
    ASSERT_NE(nullptr, tabs);
    ASSERT_EQ(3, tabs->getTabCount());
    EXPECT_EQ(bytes("Erste"), tabs->getTabTitle(0));
    EXPECT_EQ(bytes("b"), tabs->getTabTitle(1)) << "an empty title takes the pane's text";
    EXPECT_EQ(SString(), tabs->getTabTitle(2));
    EXPECT_EQ(0, tabs->getSelectedTab());

    SWindow* a = f.getSplitWindow("a");
    SWindow* b = f.getSplitWindow("b");
    const SRect area = tabs->getDisplayArea();
    EXPECT_GT(area.y, 0) << "below the tab bar";
    EXPECT_EQ(SRect(0, area.y, 600, 400 - area.y), area);
    EXPECT_TRUE(a->isShown());
    EXPECT_FALSE(b->isShown());
    EXPECT_EQ(area, a->getWindowRect());

    ASSERT_TRUE(tabs->selectTab(1));
    EXPECT_FALSE(a->isShown());
    EXPECT_TRUE(b->isShown());
    EXPECT_EQ(area, b->getWindowRect());
    ASSERT_TRUE(tabs->selectTab(2));
    EXPECT_TRUE(f.getSplitter("n")->isShown());
    EXPECT_EQ(SRect(0, 0, 600, 400 - area.y), f.getSplitWindow("c")->getWindowRect());

    // Removing the shown pane's entry removes its tab and shows the next selection.
    f.removeSplitWindow("n", false);
    ASSERT_EQ(2, tabs->getTabCount());
    EXPECT_TRUE(tabs->getTabPane(tabs->getSelectedTab())->isShown());
}

TEST_F(SMultiWindowTest, RemovingEntriesDestroysOnlyWhenAsked) {
    frame.giveAway = true;
    ASSERT_TRUE(build(bytes(mainLayout)));
    frame.removeSplitWindow("Titel", true);
    EXPECT_EQ(1, frame.deletedPanes);
    EXPECT_EQ(nullptr, frame.getSplitWindow("Titel"));
    EXPECT_EQ(SRect(0, 0, 1000, 730), frame.getSplitter("unten")->getWindowRect())
        << "the rest closes the gap";

    SWindow* kept = frame.getSplitWindow("Bauformen");
    frame.removeSplitWindow("Bauformen", false);
    EXPECT_EQ(1, frame.deletedPanes);
    EXPECT_EQ(9, frame.getSplitter("inhalt")->getEntryCount());
    delete kept;
    EXPECT_EQ(2, frame.deletedPanes);

    frame.removeSplitWindow("*", true);
    EXPECT_EQ(12, frame.deletedPanes);
    EXPECT_EQ(0, frame.getMainSplitter().getEntryCount());
}
