// Gives the keyboard back to the window that had it when a modal dialog or message box opened.
#pragma once

#include <QPointer>
#include <QWidget>

namespace gui {

// Notes the active window and its focus widget when made; when it goes (the dialog has
// closed), activates that window again and gives the focus back. A desktop's window manager
// usually does this, a plain X server does not: the keyboard then belongs to no window and the
// main window's keys (F5, F6, Ctrl+S) would do nothing until the user clicked into it.
class KeyboardReturn {
public:
    KeyboardReturn();
    ~KeyboardReturn();
    KeyboardReturn(const KeyboardReturn&) = delete;
    KeyboardReturn& operator=(const KeyboardReturn&) = delete;

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> focus_;
};

}  // namespace gui
