// The page the main window opens on: "Einleitung", or the one "--page NAME" asks for.
#pragma once

#include <optional>
#include <string>

#include "foundation/SLists.h"

class StartPage {
public:
    // The page without "--page".
    static constexpr const char* defaultPage = "Einleitung";

    // Lower case with the umlauts and "\xDF" written out: "Durchf\xFChrung" becomes
    // "durchfuehrung". Names are compared in this form.
    static SString asciiName(const SString& name);

    // The content pages of the main window's layout, in layout order.
    static SStringList pageNames();
    // The same for the terminal: UTF-8, separated by ", ".
    static std::string pageList();

    // The page a name given with "--page" means: without regard to case, in UTF-8 or
    // Windows-1252, and with "ae", "oe", "ue", "ss" for the umlauts and "\xDF"
    // ("durchfuehrung"). The pane's name as the layout spells it (Windows-1252); nothing when no
    // page has that name.
    static std::optional<SString> find(const std::string& typed);
};
