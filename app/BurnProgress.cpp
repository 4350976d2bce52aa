#include "app/BurnProgress.h"

#include <cstdio>
#include <vector>

namespace {

bool digitsOnly(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

const char* memoryName(const std::string& m) {
    if (m == "flash") return "Flash";
    if (m == "eeprom") return "EEPROM";
    if (m == "lock") return "Lock-Bits";
    if (m == "lfuse") return "Low-Fuse";
    if (m == "hfuse") return "High-Fuse";
    if (m == "efuse") return "Extended-Fuse";
    return nullptr;
}

const char* actionName(const std::string& a) {
    if (a == "write") return "schreiben";
    if (a == "verify") return "pr\xFC" "fen";
    if (a == "read") return "lesen";
    if (a == "ok") return "fertig";
    if (a == "error") return "Fehler";
    return nullptr;
}

}  // namespace

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
        case codeState: out = readableProgress(text); return true;
        case codeBurning: out = SString(std::string("brenne ")) + text; return true;
        case codeDone: out = SString(std::string("Fertig, ")) + text; return true;
        case codeError: out = SString(std::string("FEHLER: ")) + text; return true;
        default: return false;
    }
}

SString BurnProgress::readableProgress(const SString& text) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text.str()) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    if (parts.size() != 2 && parts.size() != 4) return text;
    const char* memory = memoryName(parts[0]);
    const char* action = actionName(parts[1]);
    if (memory == nullptr || action == nullptr) return text;
    std::string out = std::string(memory) + " " + action;
    if (parts.size() == 4) {
        if (!digitsOnly(parts[2]) || !digitsOnly(parts[3])) return text;
        const long done = std::stol(parts[2]);
        const long total = std::stol(parts[3]);
        char numbers[80];
        if (total > 0)
            std::snprintf(numbers, sizeof numbers, ": %ld von %ld Bytes (%ld %%)", done, total,
                          done >= total ? 100L : done * 100 / total);
        else
            std::snprintf(numbers, sizeof numbers, ": %ld Bytes", done);
        out += numbers;
    }
    return SString(std::move(out));
}
