// Fuzzes the INI editor: arbitrary bytes as the file text, then lookups and edits derived from
// the input. Checked on every run:
// - applying the mask twice gives the text back; a masked text is unmasked on load;
// - getValue agrees with the first entry of that key that getSectionEntries lists;
// - getSections names each section once, and each matches one of the patterns;
// - after setValue(s, k, v) with a section and key free of "[", "]", line breaks (and "=" in
//   the key) and a value without line breaks, getValue(s, k) is v (the default when v is
//   empty), and every other section and key keeps its value (see headerGoesOnWithBracket for
//   the one kind of header line where that cannot hold).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/SFileIni.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_ini: invariant broken: %s\n", what);
    std::abort();
}

const SString absent(std::string("\x01<absent>\x01"));

std::vector<std::string> sectionNames(const SFileIni& ini) {
    SStringList names;
    ini.getSections(SString(std::string("*")), names);
    std::vector<std::string> out;
    for (const SString& n : names) out.push_back(n.str());
    return out;
}

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

// Every key of every section (and a few probes) with its value.
Snapshot snapshot(const SFileIni& ini, const std::vector<std::string>& probes) {
    Snapshot values;
    for (const std::string& s : sectionNames(ini)) {
        SStringList keys, vals;
        ini.getSectionEntries(SString(s), keys, vals);
        for (const SString& k : keys) values[{s, k.str()}] = ini.getValue(SString(s), k, absent).str();
        for (const std::string& k : probes) values[{s, k}] = ini.getValue(SString(s), SString(k), absent).str();
    }
    return values;
}

// The first header of the section is followed, on its own line (or behind a bare "\n" that
// starts no line in a "\r\n" text), by text that starts with "[": "[a][b]x". Such a section
// has an empty body, and the first key added to it needs a line break behind "[a]", which lets
// "[b]x" start a line and become a header that may hide a later "[b]". Real files do not have
// such header lines.
bool headerGoesOnWithBracket(const std::string& text, const std::string& section) {
    const std::size_t nl = text.find('\n');
    const bool bareLf = nl != std::string::npos && (nl == 0 || text[nl - 1] != '\r');
    auto lineStart = [&](std::size_t p) {
        return p == 0 || (text[p - 1] == '\n' && (bareLf || (p >= 2 && text[p - 2] == '\r')));
    };
    const std::string header = "[" + section + "]";
    for (std::size_t p = text.find(header); p != std::string::npos; p = text.find(header, p + 1)) {
        if (!lineStart(p)) continue;
        std::size_t b = p + header.size();
        while (b < text.size() && text[b] == ' ') ++b;
        const bool cr = b < text.size() && text[b] == '\r';
        if (cr) ++b;
        const bool lf = b < text.size() && text[b] == '\n';
        if (lf) ++b;
        // Behind a lone "\r" the new line goes in front of it, and the "\r" keeps the text
        // behind it off a line start.
        if (cr && !lf) return false;
        return b < text.size() && text[b] == '[' && !lineStart(b);
    }
    return false;
}

bool sane(const std::string& s, const char* forbidden) { return s.find_first_of(forbidden) == std::string::npos; }

// getValue finds the first entry of a key as getSectionEntries lists it.
void checkEntries(const SFileIni& ini, const std::string& section) {
    SStringList keys, vals;
    int n = ini.getSectionEntries(SString(section), keys, vals);
    check(n == keys.getSize() && n == vals.getSize(), "entry count");
    std::map<std::string, std::string> first;
    for (int i = 0; i < n; ++i) {
        check(!keys.getAt(i).isEmpty() && keys.getAt(i).find('=') < 0, "entry key");
        first.emplace(keys.getAt(i).str(), vals.getAt(i).str());
    }
    for (const auto& [k, v] : first)
        check(ini.getValue(SString(section), SString(k), absent).str() == v, "getValue agrees with the entries");
}

std::string pick(FuzzedDataProvider& in, const std::vector<std::string>& known) {
    if (!known.empty() && in.ConsumeBool()) return known[in.ConsumeIntegralInRange<std::size_t>(0, known.size() - 1)];
    return in.ConsumeRandomLengthString(12);
}

void checkMask(const std::string& text, int number) {
    char header[32];
    std::snprintf(header, sizeof header, "[nukContentMask+%03d]\r\n", number);
    std::string stored = header + text;
    SFileIni::applyMask(stored);
    std::string twice = stored;
    SFileIni::applyMask(twice);
    SFileIni::applyMask(twice);
    check(twice == stored, "masking twice is the identity");
    SFileIni ini;
    ini.setContent(SString(stored));
    std::string plain = header + text;
    plain[15] = '-';
    check(ini.getContent().str() == plain, "a masked text is unmasked on load");
    check(ini.isMasked(), "the unmasked text is known as masked");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int operations = in.ConsumeIntegralInRange(0, 6);
    const int maskNumber = in.ConsumeIntegralInRange(0, 999);
    const std::string text = in.ConsumeRandomLengthString(4096);
    checkMask(text, maskNumber);

    SFileIni ini;
    ini.setContent(SString(text));
    for (int op = 0; op < operations && in.remaining_bytes() > 0; ++op) {
        const std::vector<std::string> sections = sectionNames(ini);
        const std::string section = pick(in, sections);
        SStringList keyList, valueList;
        ini.getSectionEntries(SString(section), keyList, valueList);
        std::vector<std::string> keys;
        for (const SString& k : keyList) keys.push_back(k.str());
        const std::string key = pick(in, keys);

        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0: {
                ini.getValue(SString(section), SString(key), absent);
                checkEntries(ini, section);
                break;
            }
            case 1: {
                std::string patterns = in.ConsumeRandomLengthString(24);
                if (in.ConsumeBool()) patterns += "|" + section + (in.ConsumeBool() ? "*" : "");
                SStringList names, bodies;
                int n = ini.getSections(SString(patterns), names, &bodies);
                check(n == names.getSize() && n == bodies.getSize(), "section count");
                for (int i = 0; i < n; ++i) {
                    check(names.find(names.getAt(i)) == i, "each section once");
                    check(ini.hasSection(names.getAt(i)), "a listed section exists");
                }
                break;
            }
            case 2: {
                std::string value = in.ConsumeRandomLengthString(12);
                const bool saneEdit = sane(section, "[]\r\n") && !key.empty() && sane(key, "[]=\r\n") &&
                                      sane(value, "\r\n");
                if (!saneEdit) {
                    ini.setValue(SString(section), SString(key), SString(value));
                    break;
                }
                const Snapshot before = snapshot(ini, {key});
                SStringList allNames;
                ini.getSections(SString(std::string("*")), allNames);
                const bool existed = allNames.find(SString(section)) >= 0;
                const bool bracketAfterHeader = existed && headerGoesOnWithBracket(ini.getContent().str(), section);
                check(existed == ini.hasSection(SString(section)), "hasSection agrees with getSections");
                const bool hadKey = ini.getValue(SString(section), SString(key), absent) != absent;

                ini.setValue(SString(section), SString(key), SString(value));

                const std::string got = ini.getValue(SString(section), SString(key), absent).str();
                check(got == (value.empty() ? absent.str() : value), "getValue returns the value just set");
                std::vector<std::string> expectedSections = sections;
                if (!existed && !value.empty()) expectedSections.push_back(section);
                const bool sectionsKept = sectionNames(ini) == expectedSections;
                if (bracketAfterHeader && !hadKey && !value.empty()) break;
                check(sectionsKept, "the other sections stay");
                const Snapshot after = snapshot(ini, {key});
                for (const auto& [where, v] : before) {
                    if (where.first == section && where.second == key) continue;
                    auto it = after.find(where);
                    check(it != after.end() && it->second == v, "every other key keeps its value");
                }
                break;
            }
            default: {
                checkEntries(ini, section);
                break;
            }
        }
    }
    return 0;
}
