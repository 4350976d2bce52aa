// The experiment's pages as nuktool packs them: Windows-1252 text, links that resolve inside
// resources/, and the teacher's page linked from none of the pupils' pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

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

TEST(ResourcePages, AreWindows1252WithLinksThatResolve) {
    const std::set<std::string> names = resourceNames();
    const std::regex link("(?:href|src)=\"([^\"]*)\"");
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
        for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
            EXPECT_EQ(text.find(static_cast<char>(undefined)), std::string::npos);
        for (auto it = std::sregex_iterator(text.begin(), text.end(), link); it != std::sregex_iterator(); ++it) {
            const std::string target = (*it)[1].str();
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
    // The teacher opens the solutions with "experiment --page Lehrkraft"; a pupil's page offers no way there,
    // neither as a plain link nor as a card.
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(resources())) {
        const std::string name = lower(entry.path().filename().string());
        if (entry.path().extension() != ".htm" || name == "wndlehrkraft.htm") continue;
        SCOPED_TRACE(name);
        ++pages;
        const std::string text = lower(read(entry.path()));
        EXPECT_EQ(text.find("wndlehrkraft"), std::string::npos);
        EXPECT_EQ(text.find("wnd:lehrkraft"), std::string::npos);
    }
    EXPECT_GE(pages, 10);
    const std::string progress = read(resources() + "/wndprojektverlauf.htm");
    EXPECT_EQ(lower(progress).find("lehrkraft"), std::string::npos);
    const std::string teacher = read(resources() + "/wndlehrkraft.htm");
    EXPECT_NE(teacher.find("href=\"wndvorbereitung.htm\""), std::string::npos);
}

TEST(ResourcePages, ThePreparationPageShowsTheBurnersProgress) {
    const std::string preparation = read(resources() + "/wndvorbereitung.htm");
    EXPECT_NE(preparation.find("id=\"burnOutput\""), std::string::npos);
    EXPECT_NE(preparation.find("id=\"burnState\""), std::string::npos);
}

}  // namespace
