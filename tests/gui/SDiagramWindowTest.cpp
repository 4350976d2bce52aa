// The diagram window: mouse points and repaint areas use the same mapping as its painting.
#include "gui/SDiagramWindow.h"

#include <cmath>
#include <limits>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <gtest/gtest.h>

#include "gui/SQtDrawDevice.h"

namespace {

// Paints a red square at a place in diagram units and remembers the mouse points it gets.
class Square : public SDiagramWindow {
public:
    SRect square{1000, -1000, 500, -500, true};
    std::vector<SPoint> points;

protected:
    void onDiagramPaint(SDrawDevice& device) override { device.fillRect(square, 0x0000FF); }
    int onDiagramMouse(SGuiEvent& event) override {
        points.push_back(event.point);
        return 1;
    }
};

TEST(SDiagramWindow, MousePointsAndRepaintAreasMatchThePaintedPlace) {
    struct Mapping {
        double zoom, originX, originY;
    };
    for (const Mapping& m : {Mapping{1.0, 0.0, 0.0}, Mapping{1.331, 100.0, -200.0}, Mapping{0.5, -300.0, 400.0}}) {
        Square window;
        ASSERT_TRUE(window.create(nullptr, "diagramm", SRect(0, 0, 400, 300), false));
        window.setMapping(m.zoom, m.originX, m.originY);
        const QImage image = window.getWidget()->grab().toImage();
        // Where the square was painted ...
        QRect painted;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF0000) painted |= QRect(x, y, 1, 1);
        ASSERT_FALSE(painted.isEmpty()) << m.zoom;
        // ... lies inside the area its repaint would cover ...
        EXPECT_TRUE(window.toPixels(window.square).contains(painted)) << m.zoom;
        // ... and a click into it arrives at a point inside the square.
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(painted.center()), QPointF(painted.center()),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.getWidget(), &press);
        ASSERT_EQ(window.points.size(), 1u);
        const SPoint p = window.points[0];
        EXPECT_GE(p.x, 1000) << m.zoom;
        EXPECT_LE(p.x, 1500) << m.zoom;
        EXPECT_LE(p.y, -1000) << m.zoom;
        EXPECT_GE(p.y, -1500) << m.zoom;
    }
}

TEST(SDiagramWindow, ABrokenMappingFallsBackToTheFullView) {
    Square window;
    window.setMapping(0.0, std::nan(""), std::numeric_limits<double>::infinity());
    EXPECT_EQ(window.getZoom(), 1.0);
    EXPECT_EQ(window.getOriginX(), 0.0);
    EXPECT_EQ(window.getOriginY(), 0.0);
}

}  // namespace
