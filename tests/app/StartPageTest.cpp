// "experiment --page NAME": the page the main window opens on.
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
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"experiment"}, "Einleitung"},
        {{"experiment", "--debug"}, "Einleitung"},
        {{"experiment", "--page", "Schaltung"}, "Schaltung"},
        {{"experiment", "--page=auswertung"}, "Auswertung"},
        {{"experiment", "--page", "Lehrkraft"}, "Lehrkraft"},
        {{"experiment", "--page", "Durchf\xC3\xBChrung"}, "Durchf\xFChrung"},
        {{"experiment", "--page", "DURCHF\xC3\x9CHRUNG"}, "Durchf\xFChrung"},
        {{"experiment", "--page", "Durchf\xFChrung"}, "Durchf\xFChrung"},
        {{"experiment", "--page", "durchfuehrung"}, "Durchf\xFChrung"},
        {{"experiment", "--page", "Aufgaben", "--page", "Bauformen"}, "Bauformen"},
    };
    for (const auto& [arguments, page] : cases) {
        SCOPED_TRACE(arguments.back());
        const StartPage::Choice choice = StartPage::choose(arguments);
        EXPECT_TRUE(choice.ok) << choice.message;
        EXPECT_EQ(choice.page, page);
    }
}

TEST(StartPageTest, UnknownNamesListThePages) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"experiment", "--page", "Diagramm"}, "experiment: there is no page \"Diagramm\"; the pages are: "},
        // The title and progress panes are always on screen; they are no pages to start on.
        {{"experiment", "--page", "Titel"}, "experiment: there is no page \"Titel\"; the pages are: "},
        {{"experiment", "--page="}, "experiment: there is no page \"\"; the pages are: "},
        {{"experiment", "--page"}, "experiment: --page needs the name of a page: "},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(arguments.back());
        const StartPage::Choice choice = StartPage::choose(arguments);
        EXPECT_FALSE(choice.ok);
        EXPECT_EQ(choice.message, message + pageList);
    }
}

// The program itself: an unknown page ends it with 2 before any window; a known one is the
// page it opens on (the start-up probe reports it and quits).
TEST(StartPageTest, ProgramOpensOnTheChosenPage) {
    const std::string program = testsupport::binaryDir() + "/experiment";
    testsupport::TempDir config;
    const std::string environment = "XDG_CONFIG_HOME='" + config.path() + "' NUK_STARTUP_PROBE=1 ";
    std::string out;
    EXPECT_EQ(testsupport::runCommand(environment + "'" + program + "' --page Messung", &out), 2) << out;
    EXPECT_EQ(out, "experiment: there is no page \"Messung\"; the pages are: " + pageList + "\n");

    EXPECT_EQ(testsupport::runCommand(environment + "timeout 60 '" + program + "' --page Durchf\xC3\xBChrung", &out),
              0)
        << out;
    EXPECT_NE(out.find("startup: durchfuehrung="), std::string::npos) << out;
    EXPECT_NE(out.find("startup: all="), std::string::npos) << out;
}

}  // namespace
