// The decisions the entry function takes before the QApplication exists.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Fenster.h"
#include "app/Globals.h"
#include "app/StartupEnvironment.h"
#include "gui/SApplication.h"

namespace {

using Settings = std::map<std::string, std::string>;

Settings settingsOf(const StartupEnvironment::Decision& d) {
    return Settings(d.settings.begin(), d.settings.end());
}

}  // namespace

TEST(StartupEnvironmentTest, DisplayAndEngineSwitches) {
    struct Case {
        const char* what;
        Settings environment;
        bool root;
        bool display;
        Settings settings;
    } cases[] = {
        {"X server, user",
         {{"DISPLAY", ":0"}},
         false,
         true,
         {{"QTWEBENGINE_CHROMIUM_FLAGS", "--renderer-process-limit=1"}}},
        {"Wayland, root",
         {{"WAYLAND_DISPLAY", "wayland-0"}},
         true,
         true,
         {{"QTWEBENGINE_DISABLE_SANDBOX", "1"},
          {"QTWEBENGINE_CHROMIUM_FLAGS", "--renderer-process-limit=1"}}},
        {"offscreen, root",
         {{"QT_QPA_PLATFORM", "offscreen"}},
         true,
         true,
         {{"QTWEBENGINE_DISABLE_SANDBOX", "1"},
          {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --renderer-process-limit=1"}}},
        {"user's switches kept",
         {{"QT_QPA_PLATFORM", "offscreen"},
          {"QTWEBENGINE_DISABLE_SANDBOX", "0"},
          {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --renderer-process-limit=3"}},
         true,
         true,
         {}},
        {"flags appended",
         {{"DISPLAY", ":1"}, {"QTWEBENGINE_CHROMIUM_FLAGS", "--foo"}},
         false,
         true,
         {{"QTWEBENGINE_CHROMIUM_FLAGS", "--foo --renderer-process-limit=1"}}},
        {"no display", {}, false, false, {}},
        {"empty variables are no display", {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, true, false, {}},
    };
    for (const Case& c : cases) {
        const auto lookup = [&c](const char* name) -> const char* {
            auto it = c.environment.find(name);
            return it == c.environment.end() ? nullptr : it->second.c_str();
        };
        const StartupEnvironment::Decision d = StartupEnvironment::decide(lookup, c.root, {"/usr/bin/experiment"});
        EXPECT_EQ(d.haveDisplay, c.display) << c.what;
        EXPECT_EQ(settingsOf(d), c.settings) << c.what;
        if (!c.display) {
            EXPECT_NE(d.message.find("xvfb-run -a /usr/bin/experiment\n"), std::string::npos) << c.what;
        }
    }
}

// Without a display the message gives the command to type on a virtual X server, with the
// arguments the user gave, quoted for the shell where they need it.
TEST(StartupEnvironmentTest, NoDisplayRepeatsTheCommandLine) {
    struct Case {
        const char* launcher;
        std::vector<std::string> arguments;
        const char* command;
    } cases[] = {
        {"scripts/run", {"build/experiment", "--virtual-board"}, "xvfb-run -a scripts/run --virtual-board\n"},
        {nullptr, {"experiment", "--page", "Durchf\xC3\xBChrung"}, "xvfb-run -a experiment --page 'Durchf\xC3\xBChrung'\n"},
        {nullptr, {"experiment", "--page=Schaltung", "--debug=stderr"},
         "xvfb-run -a experiment --page=Schaltung --debug=stderr\n"},
        {nullptr, {"experiment", "it's", ""}, "xvfb-run -a experiment 'it'\\''s' ''\n"},
    };
    for (const Case& c : cases) {
        const auto lookup = [&c](const char* name) -> const char* {
            return std::string(name) == "NUK_LAUNCHER" ? c.launcher : nullptr;
        };
        const StartupEnvironment::Decision d = StartupEnvironment::decide(lookup, false, c.arguments);
        EXPECT_FALSE(d.haveDisplay);
        EXPECT_NE(d.message.find(c.command), std::string::npos) << d.message;
    }
}

// Fenster is constructed with the global objects, before any other window: it is the
// application's main window.
TEST(GlobalObjectsTest, FensterIsTheMainWindow) {
    EXPECT_EQ(globalApplication().getMainWindow(), static_cast<SWindow*>(&globalFenster()));
    EXPECT_EQ(globalFenster().getVersion().str(), "1.3");
    EXPECT_EQ(globalFenster().getProjectName().str(), "NUK-optional-e01-Kondensator");
    EXPECT_TRUE(globalFenster().getRememberPlacement());
}
