#include "gui/SFrameWindow.h"

#include <gtest/gtest.h>

#include "foundation/SApplicationBasic.h"
#include "foundation/SError.h"
#include "foundation/SFile.h"
#include "foundation/SFileIni.h"
#include "gui/SApplication.h"
#include "support/TestSupport.h"

namespace {

class PlacedFrame : public SFrameWindow {
public:
    explicit PlacedFrame(bool remember = true) { setRememberPlacement(remember); }
};

std::string fileText(const SString& path) {
    return SFile::readFile(path).str();
}

}  // namespace

TEST(SFrameWindow, PlacementIsSavedAndRestoredInTheUserConfiguration) {
    globalError().clearLog();
    SApplication app;
    {
        PlacedFrame first;
        ASSERT_TRUE(first.create(nullptr, "Platz", SRect(50, 60, 400, 300), true));
        first.move(70, 80, 420, 310);
        first.destroyWindow();
    }
    SFileIni* ini = globalApplicationBasic().getUserConfigFile();
    ASSERT_NE(nullptr, ini);
    // The tests keep their settings in a directory of their own.
    ASSERT_EQ(0u, ini->getPath().str().find(qgetenv("XDG_CONFIG_HOME").toStdString()))
        << ini->getPath().str();
    const std::string saved = fileText(ini->getPath());
    EXPECT_NE(std::string::npos, saved.find("[Fenster_Platz]")) << saved;
    EXPECT_NE(std::string::npos, saved.find("winpos=70,80,420,310")) << saved;
    EXPECT_NE(std::string::npos, saved.find("winpostype=normal")) << saved;

    {
        PlacedFrame second;
        ASSERT_TRUE(second.create(nullptr, "Platz", SRect(0, 0, 100, 100), true));
        EXPECT_EQ(SRect(70, 80, 420, 310), second.getWindowRect());
        // Maximised: the type changes, the place to return to stays.
        second.show(SWindow::showMaximized);
        ASSERT_TRUE(second.isMaximized());
        EXPECT_EQ(SString("max"), ini->getValue("Fenster_Platz", "winpostype"));
        EXPECT_EQ(SString("70,80,420,310"), ini->getValue("Fenster_Platz", "winpos"));
        second.destroyWindow();
    }
    EXPECT_NE(std::string::npos, fileText(ini->getPath()).find("winpostype=max"));
    {
        PlacedFrame third;
        ASSERT_TRUE(third.create(nullptr, "Platz", SRect(0, 0, 100, 100), false));
        EXPECT_TRUE(third.getStyle() & SWindow::styleMaximize);
        third.show(third.getStyle() & SWindow::styleMaximize ? SWindow::showMaximized : SWindow::showNormal);
        EXPECT_TRUE(third.isMaximized());
        third.show(SWindow::showNormal);
        EXPECT_EQ(SRect(70, 80, 420, 310), third.getWindowRect());
        third.destroyWindow();
    }
    {
        // Without the flag the frame neither reads nor writes.
        PlacedFrame plain(false);
        ASSERT_TRUE(plain.create(nullptr, "Platz", SRect(1, 2, 100, 90), true));
        EXPECT_EQ(SRect(1, 2, 100, 90), plain.getWindowRect());
        plain.move(5, 6, 200, 150);
        EXPECT_EQ(SString("normal"), ini->getValue("Fenster_Platz", "winpostype"));
        EXPECT_EQ(SString("70,80,420,310"), ini->getValue("Fenster_Platz", "winpos"));
    }
    // A damaged entry leaves the window where its creator put it.
    ini->setValue("Fenster_Kaputt", "winpos", "10,20,0,-5");
    PlacedFrame broken;
    ASSERT_TRUE(broken.create(nullptr, "Kaputt", SRect(3, 4, 150, 120), false));
    EXPECT_EQ(SRect(3, 4, 150, 120), broken.getWindowRect());
    EXPECT_EQ(SString("Fenster_SFrameWindow"), PlacedFrame().getPlacementSection()) << "without a name";
    EXPECT_TRUE(globalError().getLog().isEmpty()) << globalError().getLog().str();
}
