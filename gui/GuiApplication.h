// The program's QApplication, made and run without Qt in the caller.
#pragma once

#include <memory>
#include <string>

class QApplication;

namespace gui {

// Made after the global objects and the browser engine's preparation (see SApplication),
// before SApplication::init. argc must outlive the object (main's does).
class GuiApplication {
public:
    GuiApplication(int& argc, char** argv);
    ~GuiApplication();
    GuiApplication(const GuiApplication&) = delete;
    GuiApplication& operator=(const GuiApplication&) = delete;

    // The desktop finds the program's entry and icon by its id (Wayland matches windows by
    // it): names the desktop entry and takes the window icon from the icon theme.
    void setDesktopIdentity(const std::string& applicationId);
    // Runs the event loop until the last window closes or quitEventLoop; its exit code.
    int exec();

private:
    std::unique_ptr<QApplication> app_;
};

}  // namespace gui
