// The page the main window opens on: "Einleitung", or the one "--page NAME" asks for.
#pragma once

#include <string>
#include <vector>

#include "foundation/SLists.h"

class StartPage {
public:
    struct Choice {
        // false: the command line names no page that exists (exit code 2); message says why
        // and lists the pages.
        bool ok = true;
        // The pane's name as the layout spells it (Windows-1252).
        SString page;
        std::string message;
    };

    // Lower case with the umlauts and "\xDF" written out: "Durchf\xFChrung" becomes
    // "durchfuehrung". Names are compared in this form.
    static SString asciiName(const SString& name);

    // The content pages of the main window's layout, in layout order.
    static SStringList pageNames();

    // Reads "--page NAME" or "--page=NAME" from the arguments (the first is the program). A name
    // matches without regard to case, in UTF-8 or Windows-1252, and with "ae", "oe", "ue", "ss"
    // for the umlauts and "\xDF" ("--page durchfuehrung"). Without the option the page is
    // "Einleitung"; the last "--page" counts.
    static Choice choose(const std::vector<std::string>& arguments);
};
