// The experiment's pages as nuktool packs them: Windows-1252 text, links that resolve inside
// resources/, and the teacher's page linked from none of the pupils' pages. Beside every German
// page, and every picture with words in it, lies its English version "<base>_en.<ext>", which the
// program loads in English; it keeps the German page's ids and commands and links the English
// versions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string resources() { return testsupport::sourceDir() + "/resources"; }

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::set<std::string> resourceNames() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(resources())) names.insert(lower(entry.path().filename().string()));
    return names;
}

// "wndeinleitung_en.htm" is the English version of "wndeinleitung.htm".
// An English page or picture; the language files ("*_en.lng") are no translation of a German file.
bool isEnglish(const fs::path& name) {
    return name.stem().string().ends_with("_en") && name.extension() != ".lng";
}

std::string englishOf(const fs::path& name) {
    return name.stem().string() + "_en" + name.extension().string();
}

std::string germanOf(const fs::path& name) {
    const std::string stem = name.stem().string();
    return stem.substr(0, stem.size() - 3) + name.extension().string();
}

bool isTeachersPage(const std::string& lowerName) {
    return lowerName == "wndlehrkraft.htm" || lowerName == "wndlehrkraft_en.htm";
}

std::vector<fs::path> pageFiles() {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(resources()))
        if (entry.path().extension() == ".htm") found.push_back(entry.path());
    return found;
}

// The targets of a page's href and src attributes, in order.
std::vector<std::string> links(const std::string& text) {
    static const std::regex link("(?:href|src)=\"([^\"]*)\"");
    std::vector<std::string> targets;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), link); it != std::sregex_iterator(); ++it)
        targets.push_back((*it)[1].str());
    return targets;
}

// A link to a file in resources/: not a window, a command, the web or an anchor.
bool isFileLink(const std::string& target) {
    return !target.starts_with("wnd:") && !target.starts_with("cmd:") && !target.starts_with("http") &&
           !target.starts_with("#");
}

// Every element that carries an id, as "tag#id.class", in document order: the program finds
// them by id (the progress pane's entries, the version, the burner's status and output) and
// the progress pane's entries also need their class.
std::vector<std::string> idElements(const std::string& text) {
    static const std::regex tag("<([A-Za-z][A-Za-z0-9]*)\\b([^>]*)>");
    static const std::regex id("\\bid=\"([^\"]*)\"");
    static const std::regex cls("\\bclass=\"([^\"]*)\"");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), tag); it != std::sregex_iterator(); ++it) {
        const std::string attributes = (*it)[2].str();
        std::smatch idMatch;
        if (!std::regex_search(attributes, idMatch, id)) continue;
        std::smatch classMatch;
        const std::string classes = std::regex_search(attributes, classMatch, cls) ? classMatch[1].str() : "";
        found.push_back(lower((*it)[1].str()) + "#" + idMatch[1].str() + "." + classes);
    }
    return found;
}

// True for text with bytes above 0x7F that is valid UTF-8 throughout. Windows-1252 text with
// umlauts, "\xB5", "\xB1" or non-breaking spaces never is; the same page saved by an editor as
// UTF-8 is, even when it has no umlaut (an English page with only "\xB5" and dashes).
bool isUtf8WithNonAscii(const std::string& text) {
    bool nonAscii = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (byte >= 0xC2 && byte <= 0xDF) length = 2;
        else if (byte >= 0xE0 && byte <= 0xEF) length = 3;
        else if (byte >= 0xF0 && byte <= 0xF4) length = 4;
        else if (byte >= 0x80) return false;
        if (length > 1) {
            if (i + length > text.size()) return false;
            for (std::size_t k = 1; k < length; ++k)
                if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
            nonAscii = true;
        }
        i += length;
    }
    return nonAscii;
}

// The value of an attribute in the first tag named so, or "" without one.
std::string attributeOf(const std::string& text, const std::string& tagName, const std::string& attribute) {
    const std::regex tag("<" + tagName + "\\b([^>]*)>");
    std::smatch tagMatch;
    if (!std::regex_search(text, tagMatch, tag)) return "";
    const std::string attributes = tagMatch[1].str();
    const std::regex value("\\b" + attribute + "=\"([^\"]*)\"");
    std::smatch valueMatch;
    return std::regex_search(attributes, valueMatch, value) ? valueMatch[1].str() : "";
}

TEST(ResourcePages, AreWindows1252WithLinksThatResolve) {
    const std::set<std::string> names = resourceNames();
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(resources())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".htm") continue;
        SCOPED_TRACE(name);
        ++pages;
        const std::string text = read(entry.path());
        EXPECT_NE(text.find("charset=windows-1252"), std::string::npos);
        // An editor that saved the page as UTF-8 leaves "Ã" (0xC3) before the umlauts' second bytes.
        EXPECT_EQ(text.find("\xC3\xA4"), std::string::npos);
        EXPECT_EQ(text.find("\xC3\xBC"), std::string::npos);
        EXPECT_EQ(text.find("\xC3\xB6"), std::string::npos);
        EXPECT_FALSE(isUtf8WithNonAscii(text));
        for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
            EXPECT_EQ(text.find(static_cast<char>(undefined)), std::string::npos);
        for (const std::string& target : links(text)) {
            if (target.starts_with("cmd:") || target.starts_with("http") || target.starts_with("#")) continue;
            if (target.starts_with("wnd:")) {
                const std::string page = lower(target.substr(4));
                // The diagram card has no page of its own.
                if (page == "durchf\xFChrung") continue;
                EXPECT_TRUE(names.count("wnd" + page + ".htm")) << target;
                continue;
            }
            EXPECT_TRUE(names.count(lower(target))) << target;
        }
    }
    EXPECT_GE(pages, 11);
}

TEST(ResourcePages, NoPupilsPageLinksToTheTeachersPage) {
    // The teacher opens the solutions with "experiment --page Lehrkraft"; a pupil's page, German or English,
    // offers no way there, neither as a plain link nor as a card.
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(resources())) {
        const std::string name = lower(entry.path().filename().string());
        if (entry.path().extension() != ".htm" || isTeachersPage(name)) continue;
        SCOPED_TRACE(name);
        ++pages;
        const std::string text = lower(read(entry.path()));
        EXPECT_EQ(text.find("wndlehrkraft"), std::string::npos);
        EXPECT_EQ(text.find("wnd:lehrkraft"), std::string::npos);
    }
    EXPECT_GE(pages, 10);
    for (const char* progressPane : {"wndprojektverlauf.htm", "wndprojektverlauf_en.htm"}) {
        SCOPED_TRACE(progressPane);
        EXPECT_EQ(lower(read(resources() + "/" + progressPane)).find("lehrkraft"), std::string::npos);
    }
    const std::string teacher = read(resources() + "/wndlehrkraft.htm");
    EXPECT_NE(teacher.find("href=\"wndvorbereitung.htm\""), std::string::npos);
    const std::string englishTeacher = read(resources() + "/wndlehrkraft_en.htm");
    EXPECT_NE(englishTeacher.find("href=\"wndvorbereitung_en.htm\""), std::string::npos);
}

TEST(ResourcePages, ThePreparationPageShowsTheBurnersProgress) {
    const std::string preparation = read(resources() + "/wndvorbereitung.htm");
    EXPECT_NE(preparation.find("id=\"burnOutput\""), std::string::npos);
    EXPECT_NE(preparation.find("id=\"burnState\""), std::string::npos);
}

TEST(ResourcePages, EveryGermanPageAndWordedPictureHasItsEnglishVersion) {
    // An English resource is loaded by its German name plus "_en"; one whose German original is
    // missing or misspelt is never shown.
    const std::set<std::string> names = resourceNames();
    // A picture needs an English version when a label has a word (four or more lower-case
    // letters, or an umlaut) or a decimal comma; symbols such as "U", "I in mA" or "ADC0" do not.
    const std::regex label("<text\\b[^>]*>(.*?)</text>");
    const std::regex worded("[a-z]{4,}|[0-9],[0-9]");
    const auto hasWord = [&worded](const std::string& text) {
        for (const char* umlaut : {"\xC3\xA4", "\xC3\xB6", "\xC3\xBC", "\xC3\x9F", "\xC3\x84", "\xC3\x96", "\xC3\x9C"})
            if (text.find(umlaut) != std::string::npos) return true;
        return std::regex_search(text, worded);
    };
    int pictures = 0;
    for (const auto& entry : fs::directory_iterator(resources())) {
        const fs::path name = entry.path().filename();
        const std::string extension = name.extension().string();
        SCOPED_TRACE(name.string());
        if (isEnglish(name)) {
            EXPECT_TRUE(names.count(lower(germanOf(name))));
            continue;
        }
        if (extension == ".htm") {
            EXPECT_TRUE(names.count(lower(englishOf(name))));
        } else if (extension == ".svg") {
            const std::string svg = read(entry.path());
            bool hasWords = false;
            for (auto it = std::sregex_iterator(svg.begin(), svg.end(), label); it != std::sregex_iterator() && !hasWords; ++it)
                hasWords = hasWord((*it)[1].str());
            if (!hasWords) continue;
            ++pictures;
            EXPECT_TRUE(names.count(lower(englishOf(name))));
        }
    }
    EXPECT_GE(pictures, 1);
}

TEST(ResourcePages, EachLanguageLinksItsOwnVersions) {
    // An English page shows the English version of a page or picture wherever there is one, a
    // German page never an English one. Window links ("wnd:Einleitung") name the window, whose
    // id stays German in both languages; the program picks the page for the language.
    const std::set<std::string> names = resourceNames();
    for (const fs::path& page : pageFiles()) {
        const std::string name = page.filename().string();
        SCOPED_TRACE(name);
        const bool english = isEnglish(page.filename());
        for (const std::string& target : links(read(page))) {
            if (target.starts_with("wnd:")) {
                EXPECT_FALSE(lower(target).ends_with("_en")) << target;
                continue;
            }
            if (!isFileLink(target)) continue;
            const fs::path file(target);
            if (english) {
                EXPECT_TRUE(isEnglish(file) || !names.count(lower(englishOf(file)))) << target;
            } else {
                EXPECT_FALSE(isEnglish(file)) << target;
            }
        }
    }
}

TEST(ResourcePages, EnglishPagesKeepTheGermanPagesIdsAndCommands) {
    // The program reaches into a page by its ids (the progress pane's entries, which it marks by
    // window name and class, the version, the burner's status and output) and acts on its
    // "cmd:" links; the English page has the same, in the same order, on the same elements.
    // Its language is "en", which also gives it the English placeholders of _physik.css.
    int pairs = 0;
    for (const fs::path& page : pageFiles()) {
        if (isEnglish(page.filename())) continue;
        const fs::path englishPage = page.parent_path() / englishOf(page.filename());
        if (!fs::exists(englishPage)) continue;  // reported by EveryGermanPageAndWordedPictureHasItsEnglishVersion
        SCOPED_TRACE(englishPage.filename().string());
        ++pairs;
        const std::string german = read(page);
        const std::string english = read(englishPage);
        EXPECT_EQ(idElements(english), idElements(german));
        std::vector<std::string> germanCommands, englishCommands;
        for (const std::string& target : links(german))
            if (target.starts_with("cmd:")) germanCommands.push_back(target);
        for (const std::string& target : links(english))
            if (target.starts_with("cmd:")) englishCommands.push_back(target);
        EXPECT_EQ(englishCommands, germanCommands);
        EXPECT_EQ(attributeOf(german, "html", "lang"), "de");
        EXPECT_EQ(attributeOf(english, "html", "lang"), "en");
        EXPECT_EQ(attributeOf(english, "html", "class"), attributeOf(german, "html", "class"));
        EXPECT_EQ(attributeOf(english, "body", "class"), attributeOf(german, "body", "class"));
    }
    EXPECT_GE(pairs, 11);
}

TEST(ResourcePages, EnglishPicturesKeepTheGermanPicturesEncodingAndSize) {
    // The pages give a picture's size in its img tag for both languages, and the SVG's own
    // declaration tells the renderer how to read its bytes.
    int pairs = 0;
    for (const auto& entry : fs::directory_iterator(resources())) {
        const fs::path name = entry.path().filename();
        if (name.extension() != ".svg" || !isEnglish(name)) continue;
        const fs::path germanPicture = entry.path().parent_path() / germanOf(name);
        if (!fs::exists(germanPicture)) continue;  // reported by EveryGermanPageAndWordedPictureHasItsEnglishVersion
        SCOPED_TRACE(name.string());
        ++pairs;
        const std::string german = read(germanPicture);
        const std::string english = read(entry.path());
        EXPECT_EQ(attributeOf(english, "\\?xml", "encoding"), attributeOf(german, "\\?xml", "encoding"));
        if (lower(attributeOf(english, "\\?xml", "encoding")) == "utf-8") {
            const bool ascii = std::none_of(english.begin(), english.end(), [](char c) { return (c & 0x80) != 0; });
            EXPECT_TRUE(ascii || isUtf8WithNonAscii(english));
        }
        for (const char* attribute : {"width", "height", "viewBox"})
            EXPECT_EQ(attributeOf(english, "svg", attribute), attributeOf(german, "svg", attribute)) << attribute;
    }
    EXPECT_GE(pairs, 1);
}

}  // namespace
