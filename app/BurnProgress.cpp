#include "app/BurnProgress.h"

#include <vector>

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

bool digitsOnly(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// The names are tagged texts: the caller passes them through the language table.
const char* memoryName(const std::string& m) {
    if (m == "flash") return MSG("burnMemoryFlash", "Flash");
    if (m == "eeprom") return MSG("burnMemoryEeprom", "EEPROM");
    if (m == "lock") return MSG("burnMemoryLock", "Lock-Bits");
    if (m == "lfuse") return MSG("burnMemoryLowFuse", "Low-Fuse");
    if (m == "hfuse") return MSG("burnMemoryHighFuse", "High-Fuse");
    if (m == "efuse") return MSG("burnMemoryExtendedFuse", "Extended-Fuse");
    return nullptr;
}

const char* actionName(const std::string& a) {
    if (a == "write") return MSG("burnActionWrite", "schreiben");
    if (a == "verify")
        return MSG("burnActionVerify",
                   "pr\xFC"
                   "fen");
    if (a == "read") return MSG("burnActionRead", "lesen");
    if (a == "ok") return MSG("burnActionDone", "fertig");
    if (a == "error") return MSG("burnActionError", "Fehler");
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
        case codeBurning:
            out = SString(MSG("burnStateBurning", "brenne ")) + text;
            return true;
        case codeDone:
            out = SString(MSG("burnStateDone", "Fertig, ")) + text;
            return true;
        case codeError:
            out = SString(MSG("burnStateError", "FEHLER: ")) + text;
            return true;
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
    std::string out = SString(memory).str() + " " + SString(action).str();
    if (parts.size() == 4) {
        if (!digitsOnly(parts[2]) || !digitsOnly(parts[3])) return text;
        const long done = std::stol(parts[2]);
        const long total = std::stol(parts[3]);
        if (total > 0)
            out += SString::printf(MSG("burnProgressOf", ": %ld von %ld Bytes (%ld %%)"), done, total,
                                   done >= total ? 100L : done * 100 / total)
                       .str();
        else
            out += SString::printf(MSG("burnProgressBytes", ": %ld Bytes"), done).str();
    }
    return SString(std::move(out));
}
