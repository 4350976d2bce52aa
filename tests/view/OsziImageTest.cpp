// The oscilloscope painted into a QImage through the GUI layer's drawing device.
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>

#include "gui/SQtDrawDevice.h"
#include "repo/ViewElementData.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "support/TestSupport.h"
#include "view/KeloProjectData.h"
#include "view/Painter_Oszi.h"

namespace {

// At 254 dpi one pixel is ten diagram units; the oscilloscope's corner (1000, -2000) lies at
// pixel (100, 200). Its data area starts 1150 units right of that corner, 300 units per x unit
// and 40 units per y unit above the zero line at -4150.
TEST(OsziImageTest, CurveAxesAndLabelsLandInsideThePaintersRectangle) {
    testsupport::TempDir dir;
    dir.write("oszi.repo",
              "[BaseElement_100]\r\n[Attribute_100]\r\nextData=s=Aufladen\r\n"
              "[ViewElement_203]\r\npainterType=3\r\nbaseObjNr=100\r\nclientRect=1000,-2000,10250,-4540\r\n"
              "[Attribute_203]\r\nOsziMaxValueX=f=30\r\nOsziRasterValueX=f=5\r\nOsziValueStepX=f=10\r\n"
              "OsziTextValueY=s=U\r\n");
    KeloProjectData project;
    ExtData_ReceiverBuffered channel;
    channel.setType(ExtData::typeUInt8);
    channel.getRing().setCapacity(100);
    project.getExtDataManager().add("Aufladen", &channel);
    ASSERT_TRUE(project.getRepo().openProject(SString("ini:" + dir.file("oszi.repo"))));
    Painter_Oszi oszi;
    ASSERT_TRUE(oszi.init(project.getRepo().getViewList().find(203), &project, 3));
    const uint8_t samples[] = {10, 50, 90};
    channel.getRing().put(samples, 3);
    ASSERT_TRUE(oszi.update());

    QImage image(1200, 700, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        SQtDrawDevice device(painter, 254.0);
        device.setDiagramMapping();
        oszi.paint(device);
        EXPECT_EQ(device.getWorldTransform(), SXForm());
    }
    const auto rgb = [&image](int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };
    const QRgb curve = 0xC8C8FF;  // red 200, green 200, blue 255
    const QRgb axis = 0x00FF00;

    // Samples at x 0, 10, 20 and y 10, 50, 90: the middle of the first segment.
    EXPECT_EQ(rgb(365, 495), curve);
    EXPECT_EQ(rgb(215, 575), curve);
    // Zero line and y axis in green, the data area black.
    EXPECT_EQ(rgb(900, 615), axis);
    EXPECT_EQ(rgb(215, 400), axis);
    EXPECT_EQ(rgb(600, 300), 0x000000u);
    // Labels in the left margin.
    int labelPixels = 0;
    for (int y = 200; y < 654; ++y)
        for (int x = 100; x < 205; ++x)
            if (rgb(x, y) == axis) ++labelPixels;
    EXPECT_GT(labelPixels, 50);
    // Nothing outside the painter's rectangle.
    EXPECT_EQ(rgb(50, 50), 0xFFFFFFu);
    EXPECT_EQ(rgb(1150, 400), 0xFFFFFFu);
    EXPECT_EQ(rgb(600, 680), 0xFFFFFFu);
}

}  // namespace
