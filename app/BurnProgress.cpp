#include "app/BurnProgress.h"

SString BurnProgress::outputHtml(const SString& text) {
    std::string escaped;
    escaped.reserve(text.size() + text.size() / 4);
    for (char c : text.str()) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    SString html(std::move(escaped));
    html.replaceAll(SString(std::string("\r\n")), SString(std::string("<br>")));
    html.replaceAll(SString(std::string(" ")), SString(std::string("&nbsp;")));
    return html;
}

bool BurnProgress::stateText(int code, const SString& text, SString& out) {
    switch (code) {
        case codeState: out = text; return true;
        case codeBurning: out = SString(std::string("brenne ")) + text; return true;
        case codeDone: out = SString(std::string("Fertig, ")) + text; return true;
        case codeError: out = SString(std::string("FEHLER: ")) + text; return true;
        default: return false;
    }
}
