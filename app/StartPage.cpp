#include "app/StartPage.h"

#include <QString>

#include "app/Fenster.h"
#include "foundation/SXmlData.h"
#include "foundation/SXmlTag.h"
#include "gui/SQtString.h"

namespace {

const char* const defaultPage = "Einleitung";

// Terminals and shells speak UTF-8; the names are Windows-1252.
SString fromTerminal(const std::string& text) {
    const QByteArray bytes = QByteArray::fromStdString(text);
    const QString decoded = QString::fromUtf8(bytes);
    // Bytes that are no UTF-8 are taken as Windows-1252 as they stand.
    return decoded.toUtf8() == bytes ? toSString(decoded) : SString(text);
}

std::string toTerminal(const SString& text) { return toQString(text).toUtf8().toStdString(); }

std::string pageList() {
    return toTerminal(StartPage::pageNames().join(", "));
}

}  // namespace

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
    layout.parse(Fenster::layoutXml);
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

StartPage::Choice StartPage::choose(const std::vector<std::string>& arguments) {
    Choice choice;
    choice.page = defaultPage;
    bool given = false;
    std::string wanted;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--page") {
            if (i + 1 >= arguments.size()) {
                choice.ok = false;
                choice.message = "experiment: --page needs the name of a page: " + pageList();
                return choice;
            }
            wanted = arguments[++i];
            given = true;
        } else if (a.starts_with("--page=")) {
            wanted = a.substr(7);
            given = true;
        }
    }
    if (!given) return choice;
    const SString key = StartPage::asciiName(fromTerminal(wanted));
    for (const SString& name : pageNames()) {
        if (StartPage::asciiName(name) == key) {
            choice.page = name;
            return choice;
        }
    }
    choice.ok = false;
    choice.message = "experiment: there is no page \"" + wanted + "\"; the pages are: " + pageList();
    return choice;
}
