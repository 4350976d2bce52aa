#include "app/StartupEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ProcessInfo.h"

namespace {

bool isSet(const StartupEnvironment::Lookup& lookup, const char* name) {
    const char* value = lookup(name);
    return value && *value;
}

}  // namespace

std::string StartupEnvironment::shellCommand(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty()) line += ' ';
        const bool plain = !word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                                   "0123456789-_=./:,+@%") == std::string::npos;
        if (plain) {
            line += word;
            continue;
        }
        line += '\'';
        for (char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

StartupEnvironment::Decision StartupEnvironment::decide(const Lookup& lookup, bool root,
                                                        const std::vector<std::string>& arguments) {
    Decision d;
    const bool platformChosen = isSet(lookup, "QT_QPA_PLATFORM");
    if (!platformChosen && !isSet(lookup, "DISPLAY") && !isSet(lookup, "WAYLAND_DISPLAY")) {
        d.haveDisplay = false;
        std::vector<std::string> words{isSet(lookup, "NUK_LAUNCHER") ? lookup("NUK_LAUNCHER")
                                       : arguments.empty()          ? "experiment"
                                                                    : arguments[0]};
        if (arguments.size() > 1) words.insert(words.end(), arguments.begin() + 1, arguments.end());
        const std::string command = shellCommand(words);
        d.message = "experiment: no display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                    "Start it on a virtual X server:   xvfb-run -a " +
                    command +
                    "\n"
                    "or without any window at all:     QT_QPA_PLATFORM=offscreen " +
                    command + "\n";
        return d;
    }
    if (root && !isSet(lookup, "QTWEBENGINE_DISABLE_SANDBOX"))
        d.settings.emplace_back("QTWEBENGINE_DISABLE_SANDBOX", "1");
    const std::string platform = platformChosen ? lookup("QT_QPA_PLATFORM") : "";
    const bool headless = platform.starts_with("offscreen") || platform.starts_with("minimal");
    const std::string given =
        isSet(lookup, "QTWEBENGINE_CHROMIUM_FLAGS") ? lookup("QTWEBENGINE_CHROMIUM_FLAGS") : "";
    std::string flags = given;
    auto add = [&flags](const char* flag) { flags += flags.empty() ? flag : std::string(" ") + flag; };
    if (headless && given.find("--disable-gpu") == std::string::npos) add("--disable-gpu");
    if (given.find("--renderer-process-limit") == std::string::npos &&
        given.find("--single-process") == std::string::npos)
        add("--renderer-process-limit=1");
    if (flags != given) d.settings.emplace_back("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    return d;
}

bool StartupEnvironment::apply(const std::vector<std::string>& arguments) {
    Decision d = decide([](const char* name) { return std::getenv(name); }, platform::runsAsRoot(), arguments);
    if (!d.haveDisplay) {
        std::fputs(d.message.c_str(), stderr);
        return false;
    }
    for (const auto& [name, value] : d.settings) setenv(name.c_str(), value.c_str(), 1);
    return true;
}
