// The application object: window registry, main window, application tick and start-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/SLists.h"
#include "foundation/SString.h"

class QObject;
class QTimer;
class SQtEventLoop;
class SWindow;

// One instance lives among the program's global objects. It can be constructed before the
// QApplication exists; init needs the QApplication.
//
// globalApplication() answers the most recently constructed instance that still lives (one
// made on demand when there is none), so a test can make its own.
class SApplication : public SObject {
public:
    S_CLASSNAME(SApplication)

    static constexpr int firstControlId = 3000;
    static constexpr int tickPeriodMs = 10;

    SApplication();
    // Stops the tick and gives the event loop and message boxes back.
    ~SApplication() override;
    SApplication(const SApplication&) = delete;
    SApplication& operator=(const SApplication&) = delete;

    // Start-up, with the QApplication made: takes the command-line arguments, sets the program
    // and resource directories, initialises the resources, installs the Qt event loop and the
    // message boxes, starts the tick, creates and shows the main window. false when there is
    // no main window (after a message box) or it cannot be created.
    bool init(int argc, char** argv);
    bool init(const SStringList& arguments);
    // Stops the tick, uninstalls the event loop and the message boxes and destroys the windows
    // that still exist. A program calls it once its event loop has returned; it also runs by
    // itself when Qt shuts down.
    void shutdown();

    // The main window: the first window object registered (or the one set).
    // The language init loads the texts of ("de" unless the start-up chose another).
    void setLanguage(std::string language) { language_ = std::move(language); }
    const std::string& getLanguage() const { return language_; }
    SWindow* getMainWindow() const { return mainWindow_; }
    void setMainWindow(SWindow* window) { mainWindow_ = window; }
    // Every window object, in order of construction.
    const std::vector<SWindow*>& getWindows() const { return windows_; }
    // The window objects whose widget exists, in order of creation.
    const std::vector<SWindow*>& getCreatedWindows() const { return created_; }
    bool isCreated(const SWindow* window) const;

    // Returns the next free control id (3000, 3001, ...).
    int getNextControlId() { return nextControlId_++; }

    // The 10 ms tick: every created window that wants it (SWindow::setApplicationTick) gets
    // onApplicationTick(tick id). startTick allows it; its timer runs only while such a window
    // exists, so a program without one is not woken for nothing.
    void startTick();
    void stopTick();
    int getTickTimerId() const { return tickTimerId_; }
    bool isTickRunning() const;
    // Starts or stops the tick's timer after a window's wish or its widget changed.
    void updateTick();

    // Background colour of the windows (0x00BBGGRR): red 140, green 140, blue 160.
    uint32_t getBackgroundColor() const { return backgroundColor_; }

    // The command-line arguments init takes: the first one is replaced by the running
    // executable's full path when it names no file (a program started through the search path
    // sees only its bare name there).
    static SStringList programArguments(const SStringList& arguments);

    // True once Qt has begun to shut down: widgets are then left alone.
    static bool qtClosing();

    // Called by the windows.
    void registerWindow(SWindow* window);
    void unregisterWindow(SWindow* window);
    void addCreatedWindow(SWindow* window);
    void removeCreatedWindow(SWindow* window);

private:
    void tick();
    void installQt();
    static void qtShutdown();

    SWindow* mainWindow_ = nullptr;
    std::string language_ = "de";
    std::vector<SWindow*> windows_;
    std::vector<SWindow*> created_;
    int nextControlId_ = firstControlId;
    int tickTimerId_ = 0;
    QTimer* tickTimer_ = nullptr;
    bool tickAllowed_ = false;
    uint32_t backgroundColor_;
    std::unique_ptr<SQtEventLoop> eventLoop_;
    bool messageBoxes_ = false;
};

SApplication& globalApplication();
