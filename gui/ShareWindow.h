// The window that shows where the class can follow the measurement: the address as a link and
// as a QR code, the PIN, and the button that ends sharing.
#pragma once

#include <functional>
#include <string>

#include <QPointer>

class QDialog;
class QImage;
class QWidget;

namespace gui {

class ShareWindow {
public:
    // The window's words, in the program's language (UTF-8).
    struct Texts {
        std::string title;
        std::string intro;
        std::string url;
        std::string pinText;
        std::string pin;
        std::string showPin;
        std::string hidePin;
        std::string stop;
        std::string close;
    };

    // A dialog of parent (it goes with the parent when that closes first); "stop" calls
    // onStop, "close" only hides it. The PIN stays hidden until "show PIN" is pressed (the
    // window is often on the projected screen), and hides again after pinShownMs, on a click
    // on it, or on the button again.
    ShareWindow(QWidget* parent, const Texts& texts, std::function<void()> onStop);
    // The dialog goes with the next turn of the event loop (its button may be calling).
    ~ShareWindow();
    ShareWindow(const ShareWindow&) = delete;
    ShareWindow& operator=(const ShareWindow&) = delete;

    static constexpr int pinShownMs = 20000;

    // Shows it in front.
    void show();
    // The dialog, or nullptr once its parent took it along.
    QDialog* getDialog() const;

    // The QR code of a text, each module a square of scale pixels with a quiet zone of four
    // modules; a null image when the text does not fit.
    static QImage qrImage(const std::string& text, int scale);

private:
    QPointer<QDialog> dialog_;
};

}  // namespace gui
