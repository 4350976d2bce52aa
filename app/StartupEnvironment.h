// What the program settles before the QApplication exists: whether there is a display, and the
// browser engine's switches for root and for headless runs.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

class StartupEnvironment {
public:
    // Reads a variable of the environment (nullptr when unset).
    using Lookup = std::function<const char*(const char*)>;

    struct Decision {
        // false: no display; message says how to get one.
        bool haveDisplay = true;
        std::string message;
        // Variables to set: name and value.
        std::vector<std::pair<std::string, std::string>> settings;
    };

    // Decides from the environment and whether the process runs as root:
    // - a display is an X server (DISPLAY), a Wayland compositor (WAYLAND_DISPLAY) or a Qt
    //   platform chosen explicitly (QT_QPA_PLATFORM, e.g. "offscreen");
    // - as root the browser engine runs only without its sandbox (QTWEBENGINE_DISABLE_SANDBOX=1);
    // - headless (the offscreen or minimal platform) it renders without GPU (--disable-gpu
    //   added to QTWEBENGINE_CHROMIUM_FLAGS);
    // - one renderer process serves all panes (--renderer-process-limit=1): the pages are the
    //   program's own local files, and a renderer per pane costs most of a second at start-up
    //   and several hundred megabytes.
    // Switches the user has set are kept; the program's are added behind them.
    // The message for a missing display repeats the command line (arguments, the first being
    // the program) as it is to be typed under xvfb-run; NUK_LAUNCHER names the command that
    // started the program when that was a script (scripts/run), else the program is named.
    static Decision decide(const Lookup& lookup, bool root, const std::vector<std::string>& arguments);
    // The arguments as one shell command line: a word with spaces or shell characters is quoted.
    static std::string shellCommand(const std::vector<std::string>& words);
    // Decides for this process and applies the settings; prints the message to standard error
    // and returns false when there is no display.
    static bool apply(const std::vector<std::string>& arguments);
};
