// Message boxes as dialogs: the display behind SError::showMessage in the GUI.
#pragma once

#include "foundation/SString.h"

class SMessageBox {
public:
    // Button sets in the low four bits of the flags (the icon bits are SError's).
    enum Buttons : unsigned {
        buttonsOk = 0x0,
        buttonsOkCancel = 0x1,
        buttonsAbortRetryIgnore = 0x2,
        buttonsYesNoCancel = 0x3,
        buttonsYesNo = 0x4,
        buttonsRetryCancel = 0x5,
    };
    // Results: the button the user chose.
    enum Result : int {
        resultOk = 1,
        resultCancel = 2,
        resultAbort = 3,
        resultRetry = 4,
        resultIgnore = 5,
        resultYes = 6,
        resultNo = 7
    };

    // Shows a modal box owned by the active window; "\r\n" in the text becomes a line break.
    // Icon: error/stop as critical, information, question, warning. Returns the button chosen.
    static int show(const SString& text, const SString& title, unsigned flags);
    // Makes these boxes the display of the global error log's messages.
    static void install();
    // Gives the messages back to the headless default.
    static void uninstall();
};
