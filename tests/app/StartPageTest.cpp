// "experiment --page NAME": the page the main window opens on.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/StartPage.h"
#include "support/TestSupport.h"

namespace {

const std::string pageList =
    "Einleitung, Bauformen, Anwendungen, Vorbetrachtungen, Schaltung, Aufgaben, Vorbereitung, "
    "Durchf\xC3\xBChrung, Auswertung, Lehrkraft";

TEST(StartPageTest, NamesMatchWithoutCaseInUtf8OrWindows1252OrSpelledOut) {
    const std::pair<const char*, const char*> cases[] = {
        {"Schaltung", "Schaltung"},
        {"auswertung", "Auswertung"},
        {"Lehrkraft", "Lehrkraft"},
        {"Durchf\xC3\xBChrung", "Durchf\xFChrung"},
        {"DURCHF\xC3\x9CHRUNG", "Durchf\xFChrung"},
        {"Durchf\xFChrung", "Durchf\xFChrung"},
        {"durchfuehrung", "Durchf\xFChrung"},
    };
    for (const auto& [typed, page] : cases) {
        SCOPED_TRACE(typed);
        const std::optional<SString> found = StartPage::find(typed);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(*found, page);
    }
}

TEST(StartPageTest, OnlyTheContentPagesAreFound) {
    // The title and progress panes are always on screen; they are no pages to start on.
    for (const char* typed : {"Diagramm", "Titel", "Projektverlauf", ""})
        EXPECT_FALSE(StartPage::find(typed).has_value()) << typed;
    EXPECT_EQ(StartPage::pageList(), pageList);
}

// The program itself: an unknown page ends it with 2 before any window; a known one is the
// page it opens on (the start-up probe reports it and quits). Qt's own options on the same
// line go to Qt.
TEST(StartPageTest, ProgramOpensOnTheChosenPage) {
    const std::string program = testsupport::binaryDir() + "/experiment";
    testsupport::TempDir config;
    const std::string environment = "XDG_CONFIG_HOME='" + config.path() + "' NUK_STARTUP_PROBE=1 ";
    std::string out;
    EXPECT_EQ(testsupport::runCommand(environment + "'" + program + "' --page Messung", &out), 2) << out;
    EXPECT_EQ(out, "experiment: keine Seite 'Messung' f\xC3\xBCr --page; die Seiten: " + pageList +
                       " (experiment --help zeigt den Aufruf)\n");

    EXPECT_EQ(testsupport::runCommand(environment + "timeout 60 '" + program +
                                          "' --page Durchf\xC3\xBChrung -platform offscreen -style Fusion",
                                      &out),
              0)
        << out;
    EXPECT_NE(out.find("startup: durchfuehrung="), std::string::npos) << out;
    EXPECT_NE(out.find("startup: all="), std::string::npos) << out;
}

}  // namespace
