#include "gui/ShareWindow.h"

#include <qrencode.h>

#include <QDialog>
#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace gui {

namespace {

QString text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Calls a function when the watched widget is clicked.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> onClick) : QObject(parent), onClick_(std::move(onClick)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) onClick_();
        return false;
    }

private:
    std::function<void()> onClick_;
};

}  // namespace

ShareWindow::ShareWindow(QWidget* parent, const Texts& texts, std::function<void()> onStop) {
    auto* window = new QDialog(parent);
    window->setWindowTitle(text(texts.title));
    window->setObjectName("liveShareWindow");
    auto* layout = new QVBoxLayout(window);
    auto* intro = new QLabel(text(texts.intro));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    const QString url = text(texts.url);
    auto* link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(url.toHtmlEscaped()));
    link->setObjectName("liveUrl");
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setOpenExternalLinks(true);
    QFont big = link->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    link->setFont(big);
    layout->addWidget(link);
    auto* qr = new QLabel;
    qr->setObjectName("liveQr");
    qr->setPixmap(QPixmap::fromImage(qrImage(texts.url, 6)));
    qr->setAlignment(Qt::AlignCenter);
    layout->addWidget(qr);
    auto* pinText = new QLabel(text(texts.pinText));
    pinText->setWordWrap(true);
    layout->addWidget(pinText);
    // Six dots where the PIN goes: nothing a pupil at the projector could read.
    const QString hiddenPin = QString(static_cast<qsizetype>(texts.pin.size()), QChar(0x2022));
    auto* pin = new QLabel(hiddenPin);
    pin->setObjectName("livePin");
    QFont pinFont = pin->font();
    pinFont.setPointSizeF(pinFont.pointSizeF() * 2.5);
    pinFont.setBold(true);
    pinFont.setLetterSpacing(QFont::PercentageSpacing, 130);
    pin->setFont(pinFont);
    pin->setAlignment(Qt::AlignCenter);
    layout->addWidget(pin);
    auto* showPin = new QPushButton(text(texts.showPin));
    showPin->setObjectName("liveShowPin");
    layout->addWidget(showPin, 0, Qt::AlignCenter);
    auto* hideTimer = new QTimer(window);
    hideTimer->setSingleShot(true);
    hideTimer->setInterval(pinShownMs);
    const QString pinDigits = text(texts.pin);
    const QString showText = text(texts.showPin);
    const QString hideText = text(texts.hidePin);
    auto setShown = [pin, showPin, hideTimer, hiddenPin, pinDigits, showText, hideText](bool shown) {
        pin->setText(shown ? pinDigits : hiddenPin);
        showPin->setText(shown ? hideText : showText);
        if (shown)
            hideTimer->start();
        else
            hideTimer->stop();
    };
    QObject::connect(showPin, &QPushButton::clicked, window,
                     [pin, hiddenPin, setShown] { setShown(pin->text() == hiddenPin); });
    QObject::connect(hideTimer, &QTimer::timeout, window, [setShown] { setShown(false); });
    // A click on the shown PIN hides it at once.
    pin->installEventFilter(new ClickFilter(pin, [setShown] { setShown(false); }));
    auto* buttons = new QHBoxLayout;
    auto* stopButton = new QPushButton(text(texts.stop));
    stopButton->setObjectName("liveStop");
    auto* closeButton = new QPushButton(text(texts.close));
    buttons->addWidget(stopButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    QObject::connect(stopButton, &QPushButton::clicked, window, [onStop = std::move(onStop)] {
        if (onStop) onStop();
    });
    // Closing the window keeps sharing on; the link on the page shows it again.
    QObject::connect(closeButton, &QPushButton::clicked, window, &QDialog::hide);
    dialog_ = window;
}

ShareWindow::~ShareWindow() {
    if (dialog_) dialog_->deleteLater();
}

void ShareWindow::show() {
    if (!dialog_) return;
    dialog_->show();
    dialog_->raise();
}

QDialog* ShareWindow::getDialog() const {
    return dialog_;
}

QImage ShareWindow::qrImage(const std::string& text, int scale) {
    QRcode* code = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code) return {};
    const int quiet = 4;
    const int size = (code->width + 2 * quiet) * scale;
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                painter.fillRect((x + quiet) * scale, (y + quiet) * scale, scale, scale, Qt::black);
    painter.end();
    QRcode_free(code);
    return image;
}

}  // namespace gui
