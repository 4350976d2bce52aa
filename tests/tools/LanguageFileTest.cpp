// The English language file against the tagged texts of the sources: every key the program and
// its tools use has an English entry, and each entry keeps what the code fills in or relies on
// (places, printf conversions, blanks and line breaks at the ends, filter fields).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "analysis/TauEvaluation.h"
#include "analysis/TauFormat.h"
#include "board/SHexFile.h"
#include "foundation/SLanguage.h"
#include "foundation/SMem.h"
#include "foundation/SString.h"

namespace {

namespace fs = std::filesystem;

const std::string marker("\xB3\xB3");

// Where the program, its libraries and its tools live; tests/ holds made-up keys of its own.
const char* const sourceFolders[] = {"app",      "board", "foundation", "gui",     "repo",
                                     "stream",   "view",  "analysis",   "browser", "multiwindow",
                                     "platform", "sim",   "tools"};

struct Use {
    std::string text;   // the German default
    std::string where;  // file:line
};

// Tagged texts found in C++ source, by key; problems are malformed tags.
struct Tags {
    std::map<std::string, std::vector<Use>> uses;
    std::vector<std::string> problems;
};

bool isKey(const std::string& key) {
    if (key.empty()) return false;
    for (char c : key)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.' && c != '-') return false;
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct Token {
    enum Kind { literal, identifier, punctuation } kind;
    std::string text;  // a literal's bytes after its escapes
    int line;
};

// The tokens that matter for tags: string literals (adjacent ones joined, as the compiler joins
// them), identifiers and single punctuation characters. Comments and character literals are
// skipped; escapes are decoded as C++ does (\x takes every hex digit that follows).
std::vector<Token> tokenize(const std::string& src) {
    std::vector<Token> tokens;
    int line = 1;
    std::size_t i = 0;
    const std::size_t n = src.size();
    auto addLiteral = [&tokens](std::string bytes, int at) {
        if (!tokens.empty() && tokens.back().kind == Token::literal)
            tokens.back().text += bytes;
        else
            tokens.push_back({Token::literal, std::move(bytes), at});
    };
    while (i < n) {
        const char c = src[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (src.compare(i, 2, "//") == 0) {
            while (i < n && src[i] != '\n') ++i;
        } else if (src.compare(i, 2, "/*") == 0) {
            const std::size_t end = src.find("*/", i + 2);
            const std::size_t stop = end == std::string::npos ? n : end + 2;
            line += static_cast<int>(
                std::count(src.begin() + static_cast<long>(i), src.begin() + static_cast<long>(stop), '\n'));
            i = stop;
        } else if (c == 'R' && i + 1 < n && src[i + 1] == '"' &&
                   (i == 0 || !(std::isalnum(static_cast<unsigned char>(src[i - 1])) || src[i - 1] == '_'))) {
            const std::size_t open = src.find('(', i + 2);
            if (open == std::string::npos) break;
            const std::string close = ")" + src.substr(i + 2, open - i - 2) + "\"";
            const std::size_t end = src.find(close, open + 1);
            if (end == std::string::npos) break;
            const int at = line;
            std::string body = src.substr(open + 1, end - open - 1);
            line += static_cast<int>(std::count(body.begin(), body.end(), '\n'));
            addLiteral(std::move(body), at);
            i = end + close.size();
        } else if (c == '"') {
            std::string bytes;
            ++i;
            while (i < n && src[i] != '"' && src[i] != '\n') {
                if (src[i] != '\\' || i + 1 >= n) {
                    bytes += src[i++];
                    continue;
                }
                const char e = src[i + 1];
                if (e == 'x') {
                    int value = 0;
                    i += 2;
                    while (i < n && hexDigit(src[i]) >= 0) value = value * 16 + hexDigit(src[i++]);
                    bytes += static_cast<char>(value & 0xFF);
                } else if (e >= '0' && e <= '7') {
                    int value = 0;
                    ++i;
                    for (int k = 0; k < 3 && i < n && src[i] >= '0' && src[i] <= '7'; ++k)
                        value = value * 8 + (src[i++] - '0');
                    bytes += static_cast<char>(value & 0xFF);
                } else {
                    const std::string from = "nrtab\\\"'?";
                    const std::string to = "\n\r\t\a\b\\\"'?";
                    const std::size_t k = from.find(e);
                    bytes += k == std::string::npos ? e : to[k];
                    i += 2;
                }
            }
            ++i;
            addLiteral(std::move(bytes), line);
        } else if (c == '\'' && i > 0 && std::isalnum(static_cast<unsigned char>(src[i - 1]))) {
            ++i;  // a digit separator: 1'000'000
        } else if (c == '\'') {
            ++i;
            while (i < n && src[i] != '\'' && src[i] != '\n') i += src[i] == '\\' ? 2 : 1;
            ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const std::size_t start = i;
            while (i < n && (std::isalnum(static_cast<unsigned char>(src[i])) || src[i] == '_')) ++i;
            // A prefixed literal (u8"", L"") is a literal; the prefix is no identifier.
            if (i < n && src[i] == '"' &&
                (src.compare(start, i - start, "u8") == 0 || src.compare(start, i - start, "L") == 0 ||
                 src.compare(start, i - start, "u") == 0 || src.compare(start, i - start, "U") == 0))
                continue;
            tokens.push_back({Token::identifier, src.substr(start, i - start), line});
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else {
            tokens.push_back({Token::punctuation, std::string(1, c), line});
            ++i;
        }
    }
    return tokens;
}

// Collects the tags of one source text: literals beginning "\xB3\xB3" key "\xB3\xB3" and the
// local macro form MSG("key", "text").
void collectTags(const std::string& src, const std::string& file, Tags& tags) {
    const std::vector<Token> tokens = tokenize(src);
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        const std::string where = file + ":" + std::to_string(t.line);
        if (t.kind == Token::literal && t.text.compare(0, 2, marker) == 0) {
            // The bare marker is the macro's own definition or a constant of the table.
            if (t.text == marker) continue;
            const std::size_t end = t.text.find(marker, 2);
            const std::string key = end == std::string::npos ? std::string() : t.text.substr(2, end - 2);
            if (!isKey(key)) {
                tags.problems.push_back(where + ": a tagged text without a valid key: " + t.text);
                continue;
            }
            tags.uses[key].push_back({t.text.substr(end + 2), where});
        } else if (t.kind == Token::identifier && t.text == "MSG" && k + 4 < tokens.size() &&
                   tokens[k + 1].text == "(" && tokens[k + 2].kind == Token::literal &&
                   tokens[k + 3].text == "," && tokens[k + 4].kind == Token::literal) {
            const std::string& key = tokens[k + 2].text;
            if (!isKey(key)) {
                tags.problems.push_back(where + ": MSG with an invalid key: " + key);
                continue;
            }
            tags.uses[key].push_back({tokens[k + 4].text, where});
        }
    }
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

const Tags& sourceTags() {
    static const Tags tags = [] {
        Tags found;
        const fs::path root(testsupport::sourceDir());
        for (const char* folder : sourceFolders) {
            if (!fs::is_directory(root / folder)) continue;
            for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
                const std::string ext = entry.path().extension().string();
                if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
                collectTags(readBytes(entry.path()), fs::relative(entry.path(), root).string(), found);
            }
        }
        // The repository's texts a user reads are tagged values: "key=s=\xB3\xB3tag\xB3\xB3German".
        const std::string repo = readBytes(root / "resources" / "physik.repo");
        int line = 1;
        for (std::size_t at = 0; at < repo.size();) {
            const std::size_t end = std::min(repo.find('\n', at), repo.size());
            const std::string text = repo.substr(at, end - at);
            // Comment lines explain the tags; they hold none.
            const std::size_t open = text.rfind(';', 0) == 0 ? std::string::npos : text.find(marker);
            const std::size_t close = open == std::string::npos ? open : text.find(marker, open + 2);
            if (close != std::string::npos) {
                std::string german = text.substr(close + 2);
                if (!german.empty() && german.back() == '\r') german.pop_back();
                found.uses[text.substr(open + 2, close - open - 2)].push_back(
                    {german, "resources/physik.repo:" + std::to_string(line)});
            }
            at = end + 1;
            ++line;
        }
        return found;
    }();
    return tags;
}

struct Entry {
    std::string key;
    std::string text;
};

// The entries of a language file as SLanguage::load reads them, in file order and with
// repeated keys kept, so that duplicates can be found.
std::vector<Entry> parseEntries(std::string_view text) {
    std::vector<Entry> entries;
    while (!text.empty()) {
        std::size_t i = 0;
        while (i < text.size() && static_cast<unsigned char>(text[i]) < 33) ++i;
        text.remove_prefix(i);
        if (text.empty()) break;
        if (text[0] == ';' || text[0] == '#') {
            const std::size_t nl = text.find('\n');
            text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
            continue;
        }
        const std::size_t end = text.find(marker);
        const std::string_view entry = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
        const std::size_t eq = entry.find('=');
        entries.push_back({std::string(entry.substr(0, eq)),
                           eq == std::string_view::npos ? std::string() : std::string(entry.substr(eq + 1))});
    }
    return entries;
}

const std::string& englishFile() {
    static const std::string bytes =
        readBytes(fs::path(testsupport::sourceDir()) / "resources" / "kondensator_en.lng");
    return bytes;
}

// The places %1..%9 of a text, sorted: a translation may put them in another order.
std::string places(const std::string& text) {
    std::string found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') found += text.substr(i, 2) + " ";
    std::vector<std::string> list;
    std::istringstream words(found);
    for (std::string w; words >> w;) list.push_back(w);
    std::sort(list.begin(), list.end());
    std::string sorted;
    for (const std::string& w : list) sorted += w + " ";
    return sorted;
}

// The printf conversions of a text in order, each as its argument kind: length modifier and
// conversion letter, a '*' for every width or precision taken from the arguments, "%%" for the
// escaped percent. Flags, widths and precisions may differ between languages. A blank after '%'
// is not read as a flag, so "63 % point" holds no conversion.
std::string conversions(const std::string& text) {
    std::string kinds;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            kinds += "%% ";
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        std::string kind;
        while (j < text.size() && std::string("-+#0").find(text[j]) != std::string::npos) ++j;
        auto number = [&]() {
            if (j < text.size() && text[j] == '*') {
                kind += '*';
                ++j;
            } else {
                while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            }
        };
        number();
        if (j < text.size() && text[j] == '.') {
            ++j;
            number();
        }
        for (const char* length : {"hh", "ll", "h", "l", "j", "z", "t", "L"}) {
            if (text.compare(j, std::char_traits<char>::length(length), length) == 0) {
                kind += length;
                j += std::char_traits<char>::length(length);
                break;
            }
        }
        if (j < text.size() && std::string("diouxXfFeEgGaAcspn").find(text[j]) != std::string::npos) {
            kinds += kind + text[j] + " ";
            i = j;
        }
    }
    return kinds;
}

std::string edge(const std::string& text, bool front) {
    const std::string blanks = " \t\r\n";
    if (front) return text.substr(0, std::min(text.size(), text.find_first_not_of(blanks)));
    const std::size_t last = text.find_last_not_of(blanks);
    return last == std::string::npos ? text : text.substr(last + 1);
}

// What a translation must keep of its German default; empty when it keeps all of it.
std::string differences(const std::string& german, const std::string& english) {
    std::string out;
    if (english.empty()) out += " the text is empty;";
    if (places(german) != places(english))
        out += " places '" + places(german) + "' became '" + places(english) + "';";
    if (conversions(german) != conversions(english))
        out += " printf conversions '" + conversions(german) + "' became '" + conversions(english) + "';";
    if (edge(german, true) != edge(english, true)) out += " the blanks or line breaks at the start differ;";
    if (edge(german, false) != edge(english, false)) out += " the blanks or line breaks at the end differ;";
    if (std::count(german.begin(), german.end(), '\n') != std::count(english.begin(), english.end(), '\n'))
        out += " the number of line breaks differs;";
    // Filter lists of file dialogs: name|pattern|name|pattern; the dialog counts on the fields.
    if (std::count(german.begin(), german.end(), '|') != std::count(english.begin(), english.end(), '|'))
        out += " the number of '|' fields differs;";
    return out;
}

std::string shown(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

TEST(LanguageFileTest, TheScannerFindsBothTagFormsAcrossLinesAndSkipsComments) {
    const std::string src =
        "#define MSG(key, text) \"\\xB3\\xB3\" key \"\\xB3\\xB3\" text\n"
        "SString a(\"\\xB3\\xB3\"\n"
        "          \"first\\xB3\\xB3\"\n"
        "          \"Gr\\xF6\\xDF\" \"e %d\");\n"
        "error_ += MSG(\"second\", \"Zeile\\r\\n\");\n"
        "// SString(\"\\xB3\\xB3inComment\\xB3\\xB3x\");\n"
        "/* MSG(\"inBlock\", \"x\") */ char q = '\"'; SString b(\"\\xB3\\xB3third\\xB3\\xB3\" \"ab\");\n"
        "SString c(\"\\xB3\\xB3no end marker\");\n"
        "wait(1'000'000); SString d(\"\\xB3\\xB3\" \"fourth\\xB3\\xB3\" \"x\");\n";
    Tags tags;
    collectTags(src, "x.cpp", tags);
    const std::map<std::string, std::string> expected = {{"first",
                                                          "Gr\xF6\xDF"
                                                          "e %d"},
                                                         {"second", "Zeile\r\n"},
                                                         {"third", "ab"},
                                                         {"fourth", "x"}};
    EXPECT_EQ(tags.uses.size(), expected.size());
    for (const auto& [key, text] : expected) {
        auto it = tags.uses.find(key);
        if (it == tags.uses.end() || it->second.size() != 1 || it->second[0].text != text) {
            ADD_FAILURE() << "tag " << key << " not found with its text";
        }
    }
    if (tags.uses.count("first")) {
        EXPECT_EQ(tags.uses.at("first")[0].where, "x.cpp:2");
    }
    ASSERT_EQ(tags.problems.size(), 1u);
    EXPECT_NE(tags.problems[0].find("x.cpp:8"), std::string::npos);
}

TEST(LanguageFileTest, TheEntryCheckFindsWhatATranslationLost) {
    struct Case {
        const char* german;
        const char* english;
        bool kept;
    };
    const Case cases[] = {
        {"Cursor %1: t = %2 s", "Cursor %1: t = %2 s", true},
        {"%1 von %2", "%2 of %1", true},  // places may change their order
        {"%1 von %2", "%1 of", false},
        {"schreibe %d Bytes ...", "writing %d bytes ...", true},
        {"(%d) ist gr\xF6\xDF"
         "er als (%d).",
         "(%d) is larger.", false},
        {"Abweichung %d , '0x%02X'", "difference %d , '0x%X'", true},  // the width may change
        {"Abweichung %d , '0x%02X'", "difference %s , '0x%02X'", false},
        {": %ld von %ld Bytes (%ld %%)", ": %ld of %ld bytes (%ld %)", false},
        {"%s: %zu Zeilen", "%s: %d lines", false},
        {"63-%-Punkt nicht erreicht", "63 % point not reached", true},
        {" wurde getrennt.", "was disconnected.", false},
        {"Fehler: Die Datei ", "Error: the file", false},
        {"Zeile 1\r\nZeile 2\r\n", "Line 1 Line 2\r\n", false},
        {"\nStellen Sie sicher", "\nMake sure", true},
        {"Bilder|*.png|alle|*.*", "pictures|*.png|all files *.*", false},
        {"Text", "", false},
    };
    for (const Case& c : cases) {
        const bool kept = differences(c.german, c.english).empty();
        if (kept != c.kept) {
            ADD_FAILURE() << "'" << shown(c.german) << "' -> '" << shown(c.english) << "' judged "
                          << (kept ? "kept" : "changed:" + differences(c.german, c.english));
        }
    }
}

TEST(LanguageFileTest, TheFileLoadsWithoutErrorsDuplicatesOrOtherEncodings) {
    const std::string& file = englishFile();
    ASSERT_FALSE(file.empty()) << "resources/kondensator_en.lng is missing";
    SLanguage table;
    ASSERT_TRUE(table.load(file));
    EXPECT_EQ(table.getErrorText(), "");

    std::map<std::string, int> seen;
    for (const Entry& e : parseEntries(file)) ++seen[e.key];
    for (const auto& [key, count] : seen) {
        if (count > 1) {
            ADD_FAILURE() << "key " << key << " has " << count << " entries; the first one wins";
        }
        if (!isKey(key)) {
            ADD_FAILURE() << "entry key '" << key << "' is not a key (a broken marker before it?)";
        }
    }
    EXPECT_EQ(table.getEntryCount(), seen.size());

    // Windows-1252 as the program reads it: no UTF-8 sequences of an editor that converted it,
    // no bytes the code page leaves undefined.
    for (std::size_t i = 0; i < file.size(); ++i) {
        const auto b = static_cast<unsigned char>(file[i]);
        const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        const bool utf8 = (b == 0xC2 || b == 0xC3 || b == 0xE2) && i + 1 < file.size() &&
                          (static_cast<unsigned char>(file[i + 1]) & 0xC0) == 0x80;
        if (undefined || utf8) {
            ADD_FAILURE() << "byte " << i << " (0x" << std::hex << static_cast<int>(b) << std::dec
                          << ") is not Windows-1252 text: " << shown(file.substr(i > 20 ? i - 20 : 0, 40));
            break;
        }
    }
}

TEST(LanguageFileTest, EveryTaggedTextHasAnEnglishEntryThatKeepsItsPlacesAndEnds) {
    const Tags& tags = sourceTags();
    for (const std::string& problem : tags.problems) ADD_FAILURE() << problem;
    // The scan found the program's texts: a broken scanner would let every check below pass.
    for (const char* key : {"tauTooFew", "osziCursor", "csvFilter", "burnDataToDuvaro"}) {
        if (tags.uses.count(key) == 0) {
            ADD_FAILURE() << "the source scan missed the tag " << key;
        }
    }

    std::map<std::string, std::string> english;
    for (const Entry& e : parseEntries(englishFile())) english.emplace(e.key, e.text);

    std::string missing, changed, ambiguous;
    for (const auto& [key, uses] : tags.uses) {
        // One key, one text: the translation of a key stands for exactly one German message.
        for (const Use& use : uses) {
            if (use.text != uses.front().text)
                ambiguous += "\n  " + key + ": '" + shown(uses.front().text) + "' (" + uses.front().where +
                             ") and '" + shown(use.text) + "' (" + use.where + ")";
        }
        auto it = english.find(key);
        if (it == english.end()) {
            missing += "\n  " + key + "=" + shown(uses.front().text) + "   (" + uses.front().where + ")";
            continue;
        }
        for (const Use& use : uses) {
            const std::string lost = differences(use.text, it->second);
            if (!lost.empty()) {
                changed += "\n  " + key + " (" + use.where + "):" + lost + "\n    German:  '" +
                           shown(use.text) + "'\n    English: '" + shown(it->second) + "'";
                break;
            }
        }
    }
    if (!missing.empty()) {
        ADD_FAILURE() << "keys without an English entry in resources/kondensator_en.lng:" << missing;
    }
    if (!changed.empty()) {
        ADD_FAILURE() << "English entries that do not keep their German default's form:" << changed;
    }
    if (!ambiguous.empty()) {
        ADD_FAILURE() << "keys used with different German texts (give each text its own key):" << ambiguous;
    }

    // Entries of keys the sources do not use (yet, or any more) stay: other branches may bring
    // their texts. They are listed, not failed.
    std::string unused;
    for (const auto& [key, text] : english)
        if (tags.uses.count(key) == 0) unused += " " + key;
    if (!unused.empty())
        std::cout << "note: English entries without a tagged text in the sources:" << unused << "\n";
}

// The file in the program's table: texts the diagram and the tools build come out in English.
TEST(LanguageFileTest, LoadedTextsReachTheMessagesBuiltFromThem) {
    SLanguage& table = globalLanguage();
    table.clear();
    ASSERT_TRUE(table.load(englishFile()));

    const TauResult few = evaluateHalfCycle(Curve{{0.0, 5.0}, {0.1, 4.0}, {0.2, 3.0}});
    EXPECT_EQ(tauformat::summary(few), "no fit possible: too few samples");

    SHexFile hex;
    SMem image;
    EXPECT_FALSE(hex.getBinCodeFromString(SString::raw(":00000001FF\r\nx\r\n"), image));
    EXPECT_EQ(hex.getError().str(), "Line 2: the line does not start with ':'.");

    // The reason is translated where it is made: without the table it comes out German again.
    table.clear();
    EXPECT_EQ(tauformat::summary(evaluateHalfCycle(Curve{{0.0, 5.0}, {0.1, 4.0}, {0.2, 3.0}})),
              "kein Fit m\xC3\xB6glich: zu wenige Messwerte");
}

}  // namespace
