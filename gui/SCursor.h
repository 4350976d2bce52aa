// Mouse cursors by the numeric ids the window code uses (the standard cursor ids of Win32).
#pragma once

#include <Qt>

class SCursor {
public:
    enum Id : int {
        arrow = 32512,
        textBeam = 32513,
        wait = 32514,
        cross = 32515,
        sizeNWSE = 32642,
        sizeNESW = 32643,
        sizeHorizontal = 32644,  // resize arrows left-right: separators of side-by-side panes
        sizeVertical = 32645,    // resize arrows up-down: separators of stacked panes
        sizeAll = 32646,
        forbidden = 32648,  // slashed circle: a disabled button
        hand = 32649,       // pointing hand: something to click
    };
    // The Qt shape of an id; unknown ids give the arrow.
    static Qt::CursorShape shape(int id);
};
