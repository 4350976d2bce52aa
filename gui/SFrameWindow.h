// A top-level window with a title that can remember where the user left it.
#pragma once

#include "gui/SWindow.h"

class SFileIni;

// With the remember-placement flag set, the frame restores its saved placement before it is
// created and saves it whenever it changes, in the user configuration file of the program
// (SApplicationBasic::openUserConfigFile), section "Fenster_" + placement name:
//   winpos=x,y,width,height   the client area when not maximised (screen pixels)
//   winpostype=max|normal     whether the window was maximised
// The placement name is the window's name, or its class name when it has none.
class SFrameWindow : public SWindow {
public:
    S_CLASSNAME(SFrameWindow)

    SFrameWindow();
    // Saves the placement file when the window still exists.
    ~SFrameWindow() override;

    void setRememberPlacement(bool remember) { rememberPlacement_ = remember; }
    bool getRememberPlacement() const { return rememberPlacement_; }

    // The section of the user configuration file that holds the placement.
    SString getPlacementSection() const;
    // Reads the saved placement into the window's rectangle and style (before creation) or
    // applies it (after). false when nothing was saved.
    bool restorePlacement();
    // Writes the current placement into the user configuration (memory); with flush also to
    // the file.
    bool savePlacement(bool flush = false);

    // Restores the placement when the flag is set.
    bool onPreCreateWindow() override;
    // Placement changes are saved.
    void onSize(int width, int height) override;
    void onMove(int x, int y) override;
    void onWindowStateChange() override;
    // Writes the placement file.
    void onDestroy() override;

protected:
    bool rememberPlacement_ = false;

private:
    SFileIni* userConfig() const;
    void placementChanged();
};
