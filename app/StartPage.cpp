#include "app/StartPage.h"

#include <vector>

#include "app/MainWindowLayout.h"
#include "foundation/SXmlData.h"
#include "foundation/SXmlTag.h"
#include "gui/TerminalText.h"

using gui::fromTerminal;
using gui::toTerminal;

std::string StartPage::pageList() {
    return toTerminal(pageNames().join(", "));
}

SString StartPage::asciiName(const SString& name) {
    SString s = name.lowered();
    s.replaceAll("\xE4", "ae");
    s.replaceAll("\xF6", "oe");
    s.replaceAll("\xFC", "ue");
    s.replaceAll("\xDF", "ss");
    return s;
}

SStringList StartPage::pageNames() {
    SStringList names;
    SXmlData layout;
    layout.parse(mainWindowLayout);
    // The content pages are the cards of the splitter "inhalt"; the title and progress panes
    // are always on screen.
    std::vector<SXmlTag*> pending{layout.getRoot()};
    while (!pending.empty()) {
        SXmlTag* tag = pending.back();
        pending.pop_back();
        if (tag->getName() == "Splitter" && tag->getAttribute("name") == "inhalt") {
            for (SXmlTag* child = tag->firstChild(); child->isValid(); child = child->next())
                if (child->getName() == "Window") names.add(child->getAttribute("name"));
            break;
        }
        for (SXmlTag* child = tag->firstChild(); child->isValid(); child = child->next()) pending.push_back(child);
    }
    return names;
}

std::optional<SString> StartPage::find(const std::string& typed) {
    const SString key = asciiName(fromTerminal(typed));
    for (const SString& name : pageNames())
        if (asciiName(name) == key) return name;
    return std::nullopt;
}
