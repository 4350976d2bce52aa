#include "gui/SQtDrawDevice.h"

#include <QImage>
#include <QPainter>
#include <functional>

#include <gtest/gtest.h>

#include "gui/SColorMap.h"

namespace {

constexpr uint32_t black = SColorMap::rgb(0, 0, 0);
constexpr uint32_t red = SColorMap::rgb(255, 0, 0);
constexpr uint32_t yellow = SColorMap::rgb(255, 255, 0);

// A white image of 254 dpi: one millimetre is ten pixels, one diagram unit a tenth of a pixel.
QImage paper(int width = 400, int height = 300) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(10000);
    image.setDotsPerMeterY(10000);
    return image;
}

void draw(QImage& image, const std::function<void(SQtDrawDevice&)>& body, bool diagram = true) {
    QPainter painter(&image);
    SQtDrawDevice device(painter);
    if (diagram) device.setDiagramMapping();
    body(device);
}

bool isColor(const QImage& image, int x, int y, uint32_t color) {
    return SColorMap::fromQColor(image.pixelColor(x, y)) == color;
}

int countInRow(const QImage& image, int y, uint32_t color) {
    int n = 0;
    for (int x = 0; x < image.width(); ++x) n += isColor(image, x, y, color);
    return n;
}

// The bounding box of everything that is not white.
QRect inked(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

TEST(SQtDrawDevice, DiagramUnitsAreHundredthsOfAMillimetreUpward) {
    QImage image = paper();
    draw(image, [](SQtDrawDevice& d) {
        EXPECT_DOUBLE_EQ(254.0, d.getDpi());
        d.setPen(black);
        // 10 mm long, 10 mm below the top edge.
        d.drawLine(1000, -1000, 2000, -1000);
        // From 20 mm below the top edge 10 mm further down: the height is negative.
        d.fillRect(SRect(0, -2000, 1000, -1000), red);
    });
    const int length = countInRow(image, 100, black);
    EXPECT_GE(length, 100) << "254 dpi / 2.54 = 100 pixels per 10 mm";
    EXPECT_LE(length, 101);
    EXPECT_TRUE(isColor(image, 150, 100, black));
    EXPECT_TRUE(isColor(image, 50, 250, red));
    EXPECT_FALSE(isColor(image, 50, 150, red)) << "higher y is higher on the screen";
    EXPECT_EQ(100, countInRow(image, 250, red));
    int redRows = 0;
    for (int y = 0; y < image.height(); ++y) redRows += isColor(image, 50, y, red);
    EXPECT_EQ(100, redRows);
    EXPECT_TRUE(isColor(image, 50, 200, red));
}

TEST(SQtDrawDevice, ZoomOriginAndWorldTransformMove) {
    QImage image = paper();
    QPainter painter(&image);
    SQtDrawDevice d(painter);
    d.setDiagramMapping(2.0, 100.0, 0.0);
    EXPECT_EQ(QPointF(20.0, 0.0), d.toDevice(0, 0));
    EXPECT_EQ((SPoint{0, -200}), d.toLogical(QPointF(20.0, 40.0)));
    EXPECT_DOUBLE_EQ(5.0, d.unitsPerPixel());

    SXForm shift;
    shift.dx = 500;
    d.setWorldTransform(shift);
    EXPECT_EQ(shift, d.getWorldTransform());
    EXPECT_EQ(QPointF(120.0, 0.0), d.toDevice(0, 0));
    d.setWorldTransform(SXForm());

    // The area to paint: the whole image, from its top edge downward.
    d.setDiagramMapping();
    EXPECT_EQ(SRect(0, 0, 4000, -3000, true), d.getPaintArea());
    d.setPixelMapping();
    EXPECT_EQ(SRect(0, 0, 400, 300), d.getPaintArea());
}

TEST(SQtDrawDevice, TextLiesInItsRectangleByAlignment) {
    const SRect box(500, -500, 3000, -1000);  // pixels 50..350 x 50..150
    struct Case {
        const char* align;
        bool left;
        bool right;
    };
    const Case cases[] = {{"l", true, false}, {"r", false, true}, {"hv", true, true}, {"", true, false}};
    for (const Case& c : cases) {
        QImage image = paper();
        draw(image, [&](SQtDrawDevice& d) {
            d.setFont("Arial", 6, 0, 0, 700);
            d.setTextColor(black);
            d.drawText("Messung", box, c.align);
        });
        const QRect ink = inked(image);
        ASSERT_FALSE(ink.isEmpty()) << c.align;
        EXPECT_TRUE(QRect(50, 50, 300, 100).contains(ink)) << c.align;
        EXPECT_EQ(c.left, ink.left() < 200) << c.align;
        EXPECT_EQ(c.right, ink.right() >= 200) << c.align;
    }
    // An opaque background is filled behind the text; an outline leaves the inside.
    QImage image = paper();
    draw(image, [&](SQtDrawDevice& d) {
        d.setTextBackground(yellow);
        d.drawText("Messung", box, "hv");
        d.setPen(red, 0);
        d.drawRect(SRect(0, 0, 1000, -1000));
    });
    int yellowPixels = 0;
    for (int y = 50; y < 150; ++y) yellowPixels += countInRow(image, y, yellow);
    EXPECT_GT(yellowPixels, 50);
    EXPECT_TRUE(isColor(image, 0, 50, red));
    EXPECT_TRUE(isColor(image, 50, 20, SColorMap::rgb(255, 255, 255)));
}
