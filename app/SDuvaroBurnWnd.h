// The modal window that burns a firmware file through the Duvaro module's bootloader.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "board/SDuvaroBurner.h"
#include "foundation/SMem.h"
#include "foundation/SString.h"
#include "gui/SProgressDialog.h"

class QWidget;

// Shows a picture asking the user to reset the board, a status line, a progress bar and a
// cancel button, while a worker thread runs the "myBurn" protocol (SDuvaroBurner). The worker
// never touches a widget: what it shows reaches the window as queued calls. Cancel (the button
// or closing the window) asks the worker to stop; the window closes once it has.
class SDuvaroBurnWnd : public SObject {
public:
    S_CLASSNAME(SDuvaroBurnWnd)

    static constexpr int width = 360;
    static constexpr int height = 300;

    SDuvaroBurnWnd();
    ~SDuvaroBurnWnd() override;

    // Replaces the port name of the settings string ("COM3,19200,N,8,1").
    void setPort(const SString& portName) { burner_.setPort(portName); }
    // The window closes itself after a successful burn.
    void setCloseAfterBurn(bool close) { closeAfterBurn_ = close; }
    // The window's owner; without one the main window owns it (when there is one).
    void setParent(QWidget* parent) { parent_ = parent; }

    // Loads the HEX file and runs the window until it is closed. False (with getError) when the
    // file is missing or holds no data; otherwise true: the outcome of the burn is shown in the
    // window, and burnSucceeded tells it afterwards.
    bool burnHexFile(const SString& file);

    const SString getError() const { return error_.isEmpty() ? burner_.getError() : error_; }
    bool burnSucceeded() const { return succeeded_.load(); }
    // The worker thread runs.
    bool isBurning() const { return running_.load(); }
    SDuvaroBurner& getBurner() { return burner_; }
    // The window while it runs (tests).
    gui::SProgressDialog* getDialog() const { return dialog_; }
    // What the window showed last (kept after it closed).
    const SString& getStatusText() const { return statusText_; }
    int getStatusStyle() const { return statusStyle_; }
    int getProgress() const { return position_; }
    int getProgressMaximum() const { return maximum_; }

private:
    void startWorker();
    void endWorker();

    SDuvaroBurner burner_;
    SMem flash_;
    SString error_;
    bool closeAfterBurn_ = false;
    QWidget* parent_ = nullptr;
    gui::SProgressDialog* dialog_ = nullptr;
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<bool> succeeded_{false};
    SString statusText_;
    int statusStyle_ = 0;
    int position_ = 0;
    int maximum_ = 0;
};

// Runs the burn window for a file on a port; true when the file could be loaded and burnt.
bool runDuvaroBurnWindow(const SString& port, const SString& file, QWidget* parent = nullptr);
