// The live view for the class on the program's side: turning it on and off, the window with
// the address, its QR code and the PIN, and the measurement's way into it.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/SString.h"
#include "live/ShareAddress.h"
#include "session/MeasurementSession.h"

class LiveHub;
class LiveReceiver;
class LiveServer;
class PinGuard;
class QDialog;
namespace gui {
class ShareWindow;
}

// Sharing is off until the user turns it on: with "--share[=[ADDRESS:]PORT]" or the link
// "cmd:live-share" on the teacher's page "Lehrkraft" (or the key Ctrl+Shift+L). Then a server
// (live/LiveServer) answers browsers in the network; the measurement's frames reach it from the
// board's data connection, decoded by the main window's channel model; the run's states and the
// diagram's evaluations come from the measurement session it observes. The CSV it serves is the save dialog's, made on the GUI
// thread. Start and stop from the network run here on the GUI thread, as the keys F5 and F6 do;
// the server's threads never touch a window.
class LiveShare : public MeasurementSession::Observer {
public:
    static LiveShare& instance();

    // Starts sharing (GUI thread, the main window created). False with the reason in the
    // program's language (UTF-8).
    bool start(const ShareAddress& address, std::string& error);
    // Ends sharing: every connection is closed, the window goes.
    void stop();
    bool isSharing() const;
    // "http://<address of this computer>:<port>/" while sharing.
    const std::string& getUrl() const { return url_; }
    const std::string& getPin() const;
    int getPort() const;

    // The window with the address, the QR code and the PIN, and the button that ends sharing.
    void showWindow();
    QDialog* getWindow() const;

    // The session's news: the run's start and end, the diagram's time constants.
    void onSessionState(MeasurementSession::State state, MeasurementSession::State previous,
                        const SString& message) override;
    void onSessionTick() override;
    void onSessionEvaluation(HalfCycle phase, const TauResult& result) override;
    // A page command: "cmd:live-share" turns sharing on (on the default address) and shows the
    // window. True when the command was this one.
    bool onPageCommand(const SString& text);

private:
    LiveShare();
    ~LiveShare() override;
    // Makes the served CSV again from the oscilloscopes (GUI thread).
    void refreshCsv();
    // The current run as the save dialog's CSV in one of its two dialects; empty without
    // samples. Any thread.
    std::string csv(bool english) const;

    std::shared_ptr<LiveHub> hub_;
    // Connected to the board's data connection once and kept for the program's life: the
    // splitter has no way to disconnect a receiver.
    LiveReceiver* receiver_ = nullptr;
    std::unique_ptr<PinGuard> guard_;
    std::unique_ptr<LiveServer> server_;
    std::string url_;
    // The CSV in both dialects, made on the GUI thread and read by the server's.
    mutable std::mutex csvMutex_;
    std::string csvGerman_;
    std::string csvEnglish_;
    // Watch ticks since the CSV was made: while a run goes on it is made once a second.
    int ticksSinceCsv_ = 0;
    // Its dialog goes with the main window's widget when that closes first.
    std::unique_ptr<gui::ShareWindow> window_;
};

// The main window's way to the page command.
bool liveShareCommand(const SString& text);
