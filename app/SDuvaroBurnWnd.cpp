#include "app/SDuvaroBurnWnd.h"

#include "app/Fenster.h"
#include "app/Globals.h"
#include "board/SHexFile.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFileSystem.h"
#include "gui/GuiThread.h"
#include "gui/KeyboardReturn.h"

namespace {

gui::SProgressDialog::Look lookOf(int style) {
    return style == SDuvaroBurner::styleError     ? gui::SProgressDialog::Look::error
           : style == SDuvaroBurner::styleSuccess ? gui::SProgressDialog::Look::success
                                                  : gui::SProgressDialog::Look::info;
}

// Hands what the burn shows to the window's thread through a queue that lives no longer than
// the window: calls still waiting when it goes are dropped.
class QueuedDisplay : public SDuvaroBurner::Display {
public:
    QueuedDisplay(gui::GuiThreadQueue& queue, std::function<void(const SString&, int)> status,
                  gui::SProgressDialog& dialog, std::function<void(bool)> finished)
        : queue_(queue), status_(std::move(status)), dialog_(dialog), finished_(std::move(finished)) {}
    void showStatus(const SString& text, int style) override {
        auto status = status_;
        queue_.post([status, text, style] { status(text, style); });
    }
    void showPicture(const SString& file) override {
        gui::SProgressDialog* d = &dialog_;
        queue_.post([d, file] { d->setPicture(file); });
    }
    void showProgress(int position, int maximum) override {
        gui::SProgressDialog* d = &dialog_;
        queue_.post([d, position, maximum] { d->setProgress(position, maximum); });
    }
    void finished(bool success) override {
        auto done = finished_;
        queue_.post([done, success] { done(success); });
    }

private:
    gui::GuiThreadQueue& queue_;
    std::function<void(const SString&, int)> status_;
    gui::SProgressDialog& dialog_;
    std::function<void(bool)> finished_;
};

}  // namespace

SDuvaroBurnWnd::SDuvaroBurnWnd() = default;

SDuvaroBurnWnd::~SDuvaroBurnWnd() {
    if (running_.load()) {
        burner_.abort();
        int steps = 0;
        // The message loop keeps running while the worker ends.
        while (running_.load()) {
            SApplicationBasic::wait(100);
            ++steps;
        }
        globalDebug().printf("onClose %d", steps);
    }
    if (worker_.joinable()) worker_.join();
}

void SDuvaroBurnWnd::startWorker() {
    running_ = true;
    worker_ = std::thread([this] {
        succeeded_ = burner_.burn(&flash_, nullptr);
        globalDebug().print(SString::raw("thread fertig"));
        running_ = false;
    });
}

bool SDuvaroBurnWnd::burnHexFile(const SString& file) {
    globalDebug().print(SString::raw("SDuvaroBurnWnd::burnHexFile(..) file= ") + file);
    error_.clear();
    if (file.isEmpty() || !SFileSystem::exists(file)) {
        error_ = SString(
                     "\xB3\xB3"
                     "errorFile\xB3\xB3"
                     "Fehler: Die Datei ") +
                 file + SString("\xB3\xB3notFound\xB3\xB3 wurde nicht gefunden.\r\n");
        return false;
    }
    SHexFile hex;
    flash_.clear();
    if (!hex.loadFile(file, flash_) || flash_.getSize() == 0) {
        error_ = SString(
                     "\xB3\xB3"
                     "errorFileData\xB3\xB3"
                     "Fehler: Die Daten der Datei ") +
                 file + SString("\xB3\xB3notLoaded\xB3\xB3 konnten nicht geladen werden.\r\n");
        return false;
    }
    // The main window owns the burn window unless the caller names another owner, so it stays
    // in front of the program whichever window happens to be active.
    QWidget* parent = parent_ != nullptr ? parent_ : globalFenster().getWidget();
    const gui::SProgressDialog::Frame frame{"burn",
                                            SString("\xB3\xB3"
                                                    "burnDataToDuvaro\xB3\xB3"
                                                    "Daten auf Duvaro brennen"),
                                            width, height,
                                            SString("\xB3\xB3"
                                                    "cancel\xB3\xB3"
                                                    "Abbrechen")};
    gui::SProgressDialog dialog(parent, frame, [this] {
        if (!running_.load()) return true;
        // The worker ends at its next check; the window closes when the user asks again.
        burner_.abort();
        return false;
    });
    dialog_ = &dialog;
    statusStyle_ = SDuvaroBurner::styleInfo;
    // Declared after the window, so it goes first and drops what still waits for the window.
    gui::GuiThreadQueue queue;
    auto showStatus = [this, &dialog](const SString& text, int style) {
        statusStyle_ = style;
        dialog.setStatus(text, lookOf(style));
    };
    QueuedDisplay display(queue, showStatus, dialog, [this, &dialog](bool success) {
        statusText_ = dialog.getStatusText();
        dialog.setButtonText(
            "\xB3\xB3"
            "close\xB3\xB3schlie\xDF"
            "en");
        if (success && closeAfterBurn_) {
            globalDebug().print(SString::raw("SDuvaroBurnWnd::burn(..) closeAfter"));
            dialog.accept();
        }
    });
    burner_.setDisplay(&display);
    dialog.setPicture(SString::raw("reset_ausloesen.bmp"));
    startWorker();
    const gui::KeyboardReturn keyboard;
    int code = dialog.exec();
    globalDebug().printf("modalExitCode=%d", code);
    // A close while the worker ran has asked it to stop; the window is gone once it has.
    while (running_.load()) SApplicationBasic::wait(20);
    if (worker_.joinable()) worker_.join();
    // What the worker queued last still belongs to this window.
    queue.runWaiting();
    statusText_ = dialog.getStatusText();
    position_ = dialog.getProgress();
    maximum_ = dialog.getProgressMaximum();
    burner_.setDisplay(nullptr);
    dialog_ = nullptr;
    return true;
}

bool runDuvaroBurnWindow(const SString& port, const SString& file, QWidget* parent) {
    SDuvaroBurnWnd window;
    window.setPort(port);
    window.setParent(parent);
    if (!window.burnHexFile(file)) {
        globalError().showMessage(window.getError());
        return false;
    }
    return window.burnSucceeded();
}
