// The pane "Durchführung": diagram 300 of physik.repo in its window, the stop button grey from
// the start, cursors over the buttons, the zoom keys and the poll.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "app/DiagramWindow.h"
#include "app/Fenster.h"
#include "app/Globals.h"
#include "repo/ViewElementData.h"
#include "view/Painter_Button.h"
#include "view/Painter_7Segment.h"
#include "view/Painter_Oszi.h"

using apptest::waitFor;

namespace {

class DiagramPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fenster.isCreated());
        diagram = fenster.getDiagram();
        ASSERT_NE(diagram, nullptr);
        window = dynamic_cast<DiagramWindow*>(diagram->getHost());
        ASSERT_NE(window, nullptr);
        fenster.showPage("Durchf\xFChrung");
    }
    void TearDown() override {
        key(Qt::Key_Asterisk, Qt::ControlModifier | Qt::KeypadModifier);
        fenster.showPage("Einleitung");
    }
    // The centre of an element in window pixels.
    QPoint centreOf(int32_t objNr) {
        ViewDiagrammObject* object = diagram->getDiagramm().findObject(objNr);
        EXPECT_NE(object, nullptr) << objNr;
        return object ? window->toPixels(object->getElement()->getClientRect()).center() : QPoint();
    }
    Qt::CursorShape moveTo(QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(window->getWidget()->mapToGlobal(at)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window->getWidget(), &move);
        return window->getWidget()->cursor().shape();
    }
    void key(int code, Qt::KeyboardModifiers modifiers) {
        QKeyEvent press(QEvent::KeyPress, code, modifiers);
        QApplication::sendEvent(window->getWidget(), &press);
    }

    Fenster& fenster = globalFenster();
    UniedViewWindow* diagram = nullptr;
    DiagramWindow* window = nullptr;
};

}  // namespace

TEST_F(DiagramPaneTest, ThePaneShowsDiagram300WithTheStopButtonGrey) {
    EXPECT_EQ(fenster.getSplitWindow("Durchf\xFChrung"), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->getWidget()->width(), 870);
    EXPECT_EQ(window->getWidget()->height(), 630);
    for (int32_t objNr : {2001, 2002, 203, 204}) EXPECT_NE(fenster.findPainter(objNr), nullptr) << objNr;
    auto* start = dynamic_cast<Painter_Button*>(fenster.findPainter(2001));
    auto* stop = dynamic_cast<Painter_Button*>(fenster.findPainter(2002));
    ASSERT_TRUE(start && stop);
    EXPECT_FALSE(start->getButton().isDisabled());
    EXPECT_TRUE(stop->getButton().isDisabled());
    EXPECT_EQ(start->getButton().clickEvent.text.str(), "board-start");
    // The oscilloscopes are bound to the channels the main window set up.
    auto* charging = dynamic_cast<Painter_Oszi*>(fenster.findPainter(203));
    ASSERT_NE(charging, nullptr);
    ASSERT_EQ(charging->getExtDataList().getSize(), 1);
    EXPECT_EQ(charging->getExtDataList().getAt(0), &fenster.getChannel(1));
}

TEST_F(DiagramPaneTest, TheCursorShowsWhatAClickWouldDo) {
    EXPECT_EQ(moveTo(centreOf(2001)), Qt::PointingHandCursor);
    EXPECT_EQ(moveTo(centreOf(2002)), Qt::ForbiddenCursor) << "the stop button is disabled";
    EXPECT_EQ(moveTo(centreOf(203)), Qt::ArrowCursor);
}

TEST_F(DiagramPaneTest, CtrlWithTheNumericPadZoomsAndResets) {
    key(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    key(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_NEAR(diagram->getZoom(), 1.21, 1e-9);
    EXPECT_NEAR(window->getZoom(), 1.21, 1e-9);
    key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(window->getOriginY(), -100.0);
    // A point of the diagram moves with the zoom: the start button's centre is further out.
    const QPoint zoomed = centreOf(2001);
    key(Qt::Key_Asterisk, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(diagram->getZoom(), 1.0);
    EXPECT_EQ(window->getOriginY(), 0.0);
    EXPECT_GT(zoomed.x(), centreOf(2001).x());
    // Without Ctrl, or with Shift too, nothing.
    key(Qt::Key_Plus, Qt::KeypadModifier);
    key(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_EQ(diagram->getZoom(), 1.0);
}

// Maximized at a projector, the diagram fills its pane: scaled with its aspect ratio, centred,
// and clicks still find the buttons.
TEST_F(DiagramPaneTest, ALargerPaneIsFilledByTheDiagram) {
    QWidget* top = window->getWidget()->window();
    const QSize before = top->size();
    top->resize(1280, 1024);
    QWidget* pane = window->getWidget();
    ASSERT_TRUE(waitFor([&] { return pane->width() > 1000; }, 3000));
    QRect all;
    for (ViewDiagrammObject* object : diagram->getDiagramm().getObjects())
        if (object->getElement()) all |= window->toPixels(object->getElement()->getClientRect());
    const SSize extent = diagram->getDiagramm().getExtent();
    EXPECT_GT(window->getFitFactor(), 1.2);
    // One side fills the pane, the other keeps the shape; the spare room is shared equally.
    const double fit = window->getFitFactor() * window->getDpi() / 2540.0;
    EXPECT_TRUE(std::abs(extent.cx * fit - pane->width()) < 2.0 || std::abs(extent.cy * fit - pane->height()) < 2.0)
        << extent.cx * fit << " x " << extent.cy * fit << " in " << pane->width() << " x " << pane->height();
    EXPECT_LE(extent.cx * fit, pane->width() + 2.0);
    EXPECT_LE(extent.cy * fit, pane->height() + 2.0);
    EXPECT_NEAR(all.left(), pane->width() - 1 - all.right(), 30) << "centred across";
    EXPECT_EQ(moveTo(centreOf(2001)), Qt::PointingHandCursor);
    // The zoom keys scale from the filled pane.
    auto startWidth = [&] {
        return window->toPixels(diagram->getDiagramm().findObject(2001)->getElement()->getClientRect()).width();
    };
    const int filled = startWidth();
    key(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_NEAR(startWidth(), 1.1 * filled, 3.0);
    key(Qt::Key_Asterisk, Qt::ControlModifier | Qt::KeypadModifier);
    // The picture has the pane's size, the diagram in it.
    const QImage image = pane->grab().toImage();
    EXPECT_EQ(image.size(), pane->size());
    top->resize(before);
    ASSERT_TRUE(waitFor([&] { return pane->width() == 870; }, 3000));
}

TEST_F(DiagramPaneTest, ThePollRepaintsWhatTheChannelsBring) {
    // The main window's channel "U_C" gets a frame as from the board; the next polls show it.
    auto* display = dynamic_cast<Painter_7Segment*>(fenster.findPainter(205));
    ASSERT_NE(display, nullptr);
    SMem frame(2);
    frame.setByte(0, 0x34);
    frame.setByte(1, 0x02);
    fenster.getChannel(3).receive(frame, 2, 3, 0);
    EXPECT_TRUE(waitFor([&] { return display->getLastValue() == 0x234; }, 3000));
}

TEST_F(DiagramPaneTest, TheWindowPaintsTheDiagramInItsPane) {
    const QImage image = window->getWidget()->grab().toImage();
    if (const char* dir = std::getenv("NUK_SCREENSHOT_DIR")) image.save(QString::fromLocal8Bit(dir) + "/pane.png");
    ASSERT_EQ(image.size(), QSize(870, 630));
    // Beside the captions: the faces of Start (light blue) and of the grey Stop.
    auto face = [&](int32_t objNr) {
        const QRect r = window->toPixels(diagram->getDiagramm().findObject(objNr)->getElement()->getClientRect());
        return image.pixel(r.left() + 15, r.center().y()) & 0xFFFFFF;
    };
    EXPECT_EQ(face(2001), 0xBBBBFFu);
    EXPECT_EQ(face(2002), 0x999999u);
    EXPECT_EQ(image.pixel(2, 2) & 0xFFFFFF, 0xFFFFFFu) << "the white background";
    EXPECT_EQ(image.pixel(100, 100) & 0xFFFFFF, 0x000000u) << "inside the first oscilloscope";
}
