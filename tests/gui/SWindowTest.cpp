#include "gui/SWindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <vector>

#include <gtest/gtest.h>

#include "gui/SApplication.h"
#include "gui/SCursor.h"
#include "gui/SQtString.h"
#include "support/TestSupport.h"

namespace {

// Records the hooks in the order they ran.
class HookWindow : public SWindow {
public:
    ~HookWindow() override { destroyWindow(); }
    bool onPreCreateWindow() override {
        log.push_back(isCreated() ? "pre-after" : "pre");
        if (preSize) setSize(preSize->cx, preSize->cy);
        if (!preTitle.isEmpty()) setText(preTitle);
        return true;
    }
    int onCreate() override {
        log.push_back("create");
        return failCreate ? -1 : 0;
    }
    void onPostCreate() override { log.push_back("post"); }
    void onFirstShow() override { log.push_back("first"); }
    void onSize(int w, int h) override {
        log.push_back("size " + std::to_string(w) + "x" + std::to_string(h));
    }
    int onClose() override {
        log.push_back("close");
        return allowClose;
    }
    void onDestroy() override { log.push_back("destroy"); }
    int onMouseEvent(SGuiEvent& e) override {
        mouse.push_back(e);
        e.cursorId = SCursor::hand;
        return 1;
    }
    std::vector<std::string> log;
    std::vector<SGuiEvent> mouse;
    const SSize* preSize = nullptr;
    SString preTitle;
    bool failCreate = false;
    int allowClose = 1;
};

void sendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, modifiers);
    QCoreApplication::sendEvent(w, &e);
}

}  // namespace

TEST(SWindow, WidgetExistsOnlyFromCreateOnAndHooksRunInOrder) {
    SApplication app;
    HookWindow w;
    SSize size{300, 200};
    w.preSize = &size;
    w.preTitle =
        SString(std::string("Gr\xFC\xDF"
                            "e"));
    EXPECT_FALSE(w.isCreated());
    EXPECT_EQ(app.getMainWindow(), &w);

    ASSERT_TRUE(w.create(nullptr, "top", SRect(10, 20, 50, 50), false));
    EXPECT_TRUE(app.isCreated(&w));
    EXPECT_EQ(w.getClientRect(), SRect(0, 0, 300, 200));
    EXPECT_EQ(w.getWidget()->windowTitle(), QString::fromUtf8("Grüße"));
    EXPECT_EQ(SWindow::fromWidget(w.getWidget()), &w);
    EXPECT_EQ((std::vector<std::string>{"pre", "create", "post"}), w.log);
    EXPECT_FALSE(w.create(nullptr, "again", SRect(0, 0, 10, 10))) << "a window is created once";

    // Hidden windows report size changes at once; the first show comes with the first event.
    w.log.clear();
    w.move(10, 20, 320, 210);
    EXPECT_EQ((std::vector<std::string>{"size 320x210"}), w.log);
    w.log.clear();
    w.show();
    ASSERT_FALSE(w.log.empty());
    EXPECT_EQ("first", w.log.front());
    EXPECT_EQ(1, std::count(w.log.begin(), w.log.end(), "first"));
    w.hide();
    w.show();
    EXPECT_EQ(1, std::count(w.log.begin(), w.log.end(), "first")) << "the first show happens once";

    w.log.clear();
    w.destroyWindow();
    EXPECT_FALSE(w.isCreated());
    EXPECT_FALSE(app.isCreated(&w));
    EXPECT_EQ((std::vector<std::string>{"destroy"}), w.log);
}

TEST(SWindow, FailedOnCreateLeavesNoWidget) {
    SApplication app;
    HookWindow w;
    w.failCreate = true;
    EXPECT_FALSE(w.create(nullptr, "x", SRect(0, 0, 100, 100), true));
    EXPECT_FALSE(w.isCreated());
    EXPECT_FALSE(app.isCreated(&w));
}

TEST(SWindow, FirstWindowIsMainAndRegistryFollowsObjects) {
    SApplication app;
    {
        HookWindow a;
        HookWindow b;
        EXPECT_EQ(app.getMainWindow(), &a);
        EXPECT_EQ(2u, app.getWindows().size());
    }
    EXPECT_TRUE(app.getWindows().empty());
    EXPECT_EQ(nullptr, app.getMainWindow()) << "no dangling main window";
    EXPECT_EQ(3000, app.getNextControlId());
    EXPECT_EQ(3001, app.getNextControlId());
    EXPECT_EQ(0x00A08C8Cu, app.getBackgroundColor());
}

TEST(SWindow, ChildWindowsAreDestroyedWithTheirParent) {
    SApplication app;
    HookWindow parent, child, grandChild;
    ASSERT_TRUE(parent.create(nullptr, "p", SRect(0, 0, 200, 200), true));
    ASSERT_TRUE(child.create(&parent, "c", SRect(5, 5, 100, 100)));
    ASSERT_TRUE(grandChild.create(&child, "g", SRect(1, 1, 10, 10)));
    EXPECT_EQ(child.getWidget()->parentWidget(), parent.getWidget());
    EXPECT_EQ(child.getWindowRect(), SRect(5, 5, 100, 100));
    child.log.clear();
    grandChild.log.clear();
    parent.destroyWindow();
    EXPECT_FALSE(child.isCreated());
    EXPECT_FALSE(grandChild.isCreated());
    EXPECT_EQ((std::vector<std::string>{"destroy"}), child.log);
    EXPECT_EQ((std::vector<std::string>{"destroy"}), grandChild.log);
    EXPECT_TRUE(app.getCreatedWindows().empty());
}

TEST(SWindow, ReparentingKeepsVisibilityAndPosition) {
    SApplication app;
    HookWindow a, b, pane;
    ASSERT_TRUE(a.create(nullptr, "a", SRect(0, 0, 200, 200), true));
    ASSERT_TRUE(b.create(&a, "b", SRect(0, 0, 100, 100), true));
    ASSERT_TRUE(pane.create(&a, "pane", SRect(7, 8, 20, 30), true));
    ASSERT_TRUE(pane.setParent(&b));
    EXPECT_EQ(pane.getWidget()->parentWidget(), b.getWidget());
    EXPECT_EQ(pane.getParentWindow(), &b);
    EXPECT_TRUE(pane.isVisible());
    EXPECT_EQ(pane.getWindowRect(), SRect(7, 8, 20, 30));
}

TEST(SWindow, CloseAsksOnCloseAndDestroysAfterwards) {
    SApplication app;
    HookWindow w;
    ASSERT_TRUE(w.create(nullptr, "w", SRect(0, 0, 100, 100), true));
    w.allowClose = 0;
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isCreated());
    w.allowClose = 1;
    EXPECT_TRUE(w.close());
    // The widget goes once the close event has been delivered.
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isCreated());
    EXPECT_EQ("destroy", w.log.back());
}

TEST(SWindow, MouseEventsBecomeGuiEvents) {
    SApplication app;
    HookWindow w;
    ASSERT_TRUE(w.create(nullptr, "w", SRect(0, 0, 100, 100), true));
    QWidget* widget = w.getWidget();
    sendMouse(widget, QEvent::MouseMove, {3, 4}, Qt::NoButton, Qt::NoButton);
    sendMouse(widget, QEvent::MouseButtonPress, {5, 6}, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    sendMouse(widget, QEvent::MouseButtonRelease, {7, 8}, Qt::LeftButton, Qt::NoButton);
    sendMouse(widget, QEvent::MouseButtonPress, {1, 1}, Qt::RightButton, Qt::RightButton);
    ASSERT_EQ(3u, w.mouse.size()) << "the right button has no message here";
    EXPECT_EQ(eventGui, w.mouse[0].type);
    EXPECT_EQ(0x200, w.mouse[0].code);
    EXPECT_EQ((SPoint{3, 4}), w.mouse[0].point);
    EXPECT_EQ(0x201, w.mouse[1].code);
    EXPECT_EQ(SGuiEvent::keyLeftButton | SGuiEvent::keyControl, w.mouse[1].keyState);
    EXPECT_EQ(0x202, w.mouse[2].code);
    EXPECT_EQ(0u, w.mouse[2].keyState & SGuiEvent::keyControl);
    // The cursor a handler names is set.
    EXPECT_EQ(SCursor::hand, w.getCursor());
    EXPECT_EQ(Qt::PointingHandCursor, widget->cursor().shape());
}

TEST(SWindow, CursorIdsMapToQtShapes) {
    const std::pair<int, Qt::CursorShape> cases[] = {
        {32512, Qt::ArrowCursor},  {32649, Qt::PointingHandCursor}, {32648, Qt::ForbiddenCursor},
        {32644, Qt::SplitHCursor}, {32645, Qt::SplitVCursor},       {12345, Qt::ArrowCursor},
    };
    for (auto [id, shape] : cases) EXPECT_EQ(shape, SCursor::shape(id)) << id;
}

TEST(SQtString, Windows1252RoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    QString q = toQString(SString(all));
    ASSERT_EQ(255, q.size());
    EXPECT_EQ(QChar(0x20AC), q[0x80 - 1]) << "euro sign";
    EXPECT_EQ(QChar(0x0178), q[0x9F - 1]);
    EXPECT_EQ(QChar(0x00FC), q[0xFC - 1]);
    EXPECT_EQ(all, toSString(q).str());
    EXPECT_EQ("Durchf\xFChrung", toSString(QString::fromUtf8("Durchführung")).str());
    EXPECT_EQ("a?b", toSString(QString::fromUtf8("a\u4E2Db")).str()) << "outside the code page";
    EXPECT_EQ("?", toSString(QString::fromUtf8("\U0001F600")).str()) << "one character, one byte";
}
