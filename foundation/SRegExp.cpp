#include "foundation/SRegExp.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "foundation/SDebug.h"
#include "foundation/SError.h"

namespace {

uint32_t optionFor(char modifier) {
    switch (modifier) {
        case 'A': return PCRE2_ANCHORED;
        case 'D': return PCRE2_DOLLAR_ENDONLY;
        case 'U': return PCRE2_UNGREEDY;
        case 'X': return 0;  // PCRE2 always treats unknown escapes as errors, which is what X asked for.
        case 'u': return PCRE2_UTF;
        case 'i': return PCRE2_CASELESS;
        case 'm': return PCRE2_MULTILINE;
        case 's': return PCRE2_DOTALL;
        case 'x': return PCRE2_EXTENDED;
        default: return 0;
    }
}

// Owns PCRE2 match data for one call.
struct MatchData {
    explicit MatchData(pcre2_code* code) : md(pcre2_match_data_create_from_pattern(code, nullptr)) {}
    ~MatchData() { pcre2_match_data_free(md); }
    pcre2_match_data* md;
};

SString group(const SString& text, PCRE2_SIZE* ov, int i) {
    if (ov[2 * i] == PCRE2_UNSET) return {};
    return text.mid(static_cast<int>(ov[2 * i]), static_cast<int>(ov[2 * i + 1] - ov[2 * i]));
}

void showMissingExpression(const char* operation) {
    globalError().showMessage(SString::printf(
        "Fehler: SRegExp::%s() wurde ohne regul\xE4ren Ausdruck aufgerufen und es lag keiner vor.", operation));
}

}  // namespace

SRegExp::SRegExp(const SString& expression) { setExpression(expression); }

SRegExp::~SRegExp() { release(); }

void SRegExp::release() {
    if (code_) pcre2_code_free(code_);
    code_ = nullptr;
}

bool SRegExp::setExpression(const SString& expression) {
    release();
    expression_ = expression;
    pattern_.clear();
    modifiers_.clear();
    if (expression.isEmpty()) return false;
    const std::string& e = expression.str();
    std::size_t last = e.rfind(e[0]);
    if (last == 0) {
        pattern_ = SString(e.substr(1));
    } else {
        pattern_ = SString(e.substr(1, last - 1));
        modifiers_ = SString(e.substr(last + 1));
    }
    uint32_t options = 0;
    for (char m : modifiers_.str()) options |= optionFor(m);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()), pattern_.size(), options, &errorCode,
                          &errorOffset, nullptr);
    if (!code_) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(errorCode, message, sizeof message);
        SString text = "Fehlerhafte Syntax im regul\xE4ren Ausdruck:\r\n";
        text += expression;
        text.appendFormat("\r\nFehler: %s\r\n an Offset: %d\r\n Modifier: %s", reinterpret_cast<char*>(message),
                          static_cast<int>(errorOffset), modifiers_.c_str());
        globalError().showMessage(text);
        return false;
    }
    return true;
}

int SRegExp::findOne(const SString& text, SStringList& groups, int start) {
    groups.removeAll();
    if (!code_) {
        showMissingExpression("findOne");
        return -1;
    }
    if (start < 0 || static_cast<std::size_t>(start) > text.size()) return -1;
    MatchData m(code_);
    int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                         static_cast<PCRE2_SIZE>(start), 0, m.md, nullptr);
    if (rc < 0) return -1;
    PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m.md);
    int count = static_cast<int>(pcre2_get_ovector_count(m.md));
    uint32_t captureCount = 0;
    pcre2_pattern_info(code_, PCRE2_INFO_CAPTURECOUNT, &captureCount);
    int captured = static_cast<int>(captureCount) + 1;
    for (int i = 0; i < captured && i < count; ++i) groups.add(group(text, ov, i));
    return static_cast<int>(ov[0]);
}

int SRegExp::findAll(const SString& text, SStringList& matches) {
    matches.removeAll();
    if (!code_) {
        showMissingExpression("findAll");
        return 0;
    }
    MatchData m(code_);
    PCRE2_SIZE pos = 0;
    while (pos <= text.size()) {
        int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), pos, 0, m.md, nullptr);
        if (rc < 0) break;
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m.md);
        matches.add(group(text, ov, 0));
        // An empty match (or one that ends before the scan position, as \K can make it) must
        // not stall the scan.
        PCRE2_SIZE next = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
        pos = next > pos ? next : pos + 1;
    }
    return matches.getSize();
}

SString SRegExp::replace(const SString& text, const SString& replacement) {
    if (!code_) {
        showMissingExpression("replace");
        return text;
    }
    PCRE2_SIZE outLength = text.size() + replacement.size() + 64;
    std::string out;
    for (int attempt = 0; attempt < 2; ++attempt) {
        out.assign(outLength, '\0');
        int rc = pcre2_substitute(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                                  PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH, nullptr, nullptr,
                                  reinterpret_cast<PCRE2_SPTR>(replacement.data()), replacement.size(),
                                  reinterpret_cast<PCRE2_UCHAR*>(out.data()), &outLength);
        if (rc >= 0) {
            out.resize(outLength);
            return SString(std::move(out));
        }
        if (rc != PCRE2_ERROR_NOMEMORY) break;
    }
    return text;
}

int SRegExp::match(const SString& text, SStringList& results, int maxResults) {
    results.removeAll();
    if (!code_) return -1;
    MatchData m(code_);
    int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, m.md, nullptr);
    if (rc == PCRE2_ERROR_NOMATCH) return 0;
    if (rc < 0) {
        globalError().showMessage(SString::printf("Fehler (%d)bei SString::match()", rc));
        return -1;
    }
    if (rc > maxResults) {
        globalError().showMessage(
            SString::printf("Fehler: Zuviel Ergebnisse, es ist nur Platz f\xFCr %d Elemente", maxResults));
        rc = maxResults;
    }
    PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m.md);
    for (int i = 0; i < rc; ++i) results.add(group(text, ov, i));
    return rc;
}
