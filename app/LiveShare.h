// The live view for the class on the program's side: turning it on and off, the window with
// the address, its QR code and the PIN, and the measurement's way into it.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QDialog>
#include <QPointer>

#include "foundation/SString.h"
#include "live/ShareAddress.h"

class LiveHub;
class LiveReceiver;
class LiveServer;
class PinGuard;
class QImage;

// Sharing is off until the user turns it on: with "--share[=[ADDRESS:]PORT]" or the link
// "cmd:live-share" on the page "Vorbereitung". Then a server (live/LiveServer) answers browsers
// in the network; the measurement's frames reach it from the board's data connection, the run's
// start and stop from the main window. Start and stop from the network run here on the GUI
// thread, as the keys F5 and F6 do; the server's threads never touch a window.
class LiveShare {
public:
    // "--share" on the command line.
    struct Choice {
        bool ok = true;
        bool enabled = false;
        ShareAddress address;
        // Why the value was refused.
        std::string message;
    };
    static Choice choose(const std::vector<std::string>& arguments);

    static LiveShare& instance();

    // Starts sharing (GUI thread, the main window created). False with a German reason.
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

    // The QR code of a text, each module a square of scale pixels with a quiet zone of four
    // modules; a null image when the text does not fit.
    static QImage qrImage(const std::string& text, int scale);

    // The main window's measurement state changed (Start, Stop, end of run).
    void onMeasuring(bool running);
    // A page command: "cmd:live-share" turns sharing on (on the default address) and shows the
    // window. True when the command was this one.
    bool onPageCommand(const SString& text);

private:
    LiveShare();
    ~LiveShare();
    void readColumns();
    // The current run as CSV in one of the two dialects of the save dialog.
    std::string csv(bool english) const;

    std::shared_ptr<LiveHub> hub_;
    // Connected to the board's data connection once and kept for the program's life: the
    // splitter has no way to disconnect a receiver.
    LiveReceiver* receiver_ = nullptr;
    std::unique_ptr<PinGuard> guard_;
    std::unique_ptr<LiveServer> server_;
    std::string url_;
    // The oscilloscopes' captions for the CSV, read on the GUI thread when sharing starts.
    struct Column {
        bool charging = true;
        SString xText;
        SString yText;
    };
    mutable std::mutex columnsMutex_;
    std::vector<Column> columns_;
    // Goes with the main window's widget when that closes first.
    QPointer<QDialog> window_;
};

// The hooks the main window calls.
void liveShareMeasuring(bool running);
bool liveShareCommand(const SString& text);
