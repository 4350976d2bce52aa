#include "app/LiveShare.h"

#include <qrencode.h>

#include <cstdio>

#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Fenster.h"
#include "app/Globals.h"
#include "app/MeasurementCsv.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFile.h"
#include "foundation/SLanguage.h"
#include "foundation/SResources.h"
#include "gui/SQtString.h"
#include "live/LiveHub.h"
#include "live/LiveReceiver.h"
#include "live/LiveServer.h"
#include "live/PinGuard.h"
#include "platform/NetworkAddress.h"
#include "view/Painter_Oszi.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

const std::string option = "--share";
const char* const pageCommand = "cmd:live-share";

// The served files: URL path, resource name, content type. Nothing else is served.
struct ServedFile {
    const char* path;
    const char* resource;
    const char* type;
};
const ServedFile servedFiles[] = {
    {"/", "live_index.html", "text/html; charset=utf-8"},
    {"/live.js", "live.js", "application/javascript; charset=utf-8"},
    {"/live.css", "live.css", "text/css; charset=utf-8"},
};

}  // namespace

LiveShare::Choice LiveShare::choose(const std::vector<std::string>& arguments) {
    Choice choice;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a != option && a.rfind(option + "=", 0) != 0) continue;
        const std::string value = a == option ? std::string() : a.substr(option.size() + 1);
        const std::optional<ShareAddress> address = ShareAddress::parse(value);
        if (!address) {
            choice.ok = false;
            choice.message = "experiment: '" + value +
                             "' ist keine Adresse f\xC3\xBCr --share; m\xC3\xB6gliche Angaben: --share, --share=PORT "
                             "oder --share=ADRESSE:PORT (zum Beispiel --share=127.0.0.1:8080)";
            return choice;
        }
        choice.enabled = true;
        choice.address = *address;
    }
    return choice;
}

LiveShare& LiveShare::instance() {
    // Made on first use and never destroyed: the board's data connection may still hold its
    // receiver while the program's global objects go.
    static LiveShare* share = new LiveShare;
    return *share;
}

LiveShare::LiveShare() = default;
LiveShare::~LiveShare() = default;

bool LiveShare::isSharing() const {
    return server_ && server_->isRunning();
}

const std::string& LiveShare::getPin() const {
    static const std::string none;
    return guard_ ? guard_->getPin() : none;
}

int LiveShare::getPort() const {
    return server_ ? server_->getPort() : 0;
}

bool LiveShare::start(const ShareAddress& address, std::string& error) {
    if (isSharing()) return true;
    Fenster& fenster = globalFenster();
    std::map<std::string, LiveServer::Page> pages;
    for (const ServedFile& file : servedFiles) {
        const SString path = globalResources().getFile(file.resource);
        SString readError;
        const SString content = path.isEmpty() ? SString() : SFile::readFile(path, &readError);
        if (path.isEmpty() || !readError.isEmpty()) {
            error = std::string("Die Datei ") + file.resource + " der Live-Ansicht fehlt.";
            return false;
        }
        pages[file.path] = {content.str(), file.type};
    }
    if (!hub_) {
        hub_ = std::make_shared<LiveHub>();
        receiver_ = new LiveReceiver;
        fenster.getDataConnection().connect(receiver_, 0);
    }
    hub_->setLanguage(globalLanguage().getLanguage().empty() ? "de" : globalLanguage().getLanguage());
    readColumns();
    if (fenster.isMeasuring()) hub_->startRun();
    guard_ = std::make_unique<PinGuard>(PinGuard::makePin());
    LiveServer::Hooks hooks;
    // Start and stop go to the GUI thread's queue and act there as F5 and F6 do.
    hooks.start = [] {
        QMetaObject::invokeMethod(qApp, [] { globalFenster().onStartKey(); }, Qt::QueuedConnection);
    };
    hooks.stop = [] {
        QMetaObject::invokeMethod(qApp, [] { globalFenster().onStopKey(); }, Qt::QueuedConnection);
    };
    hooks.csv = [this](bool english) -> std::optional<std::string> {
        std::string text = csv(english);
        if (text.empty()) return std::nullopt;
        return text;
    };
    server_ = std::make_unique<LiveServer>(*hub_, *guard_, std::move(pages), std::move(hooks));
    if (!server_->start(address.host, address.port, error)) {
        error = "Die Live-Ansicht kann nicht an " + address.host + ":" + std::to_string(address.port) +
                " starten (" + error + ").";
        server_.reset();
        guard_.reset();
        return false;
    }
    receiver_->setHub(hub_);
    url_ = address.url(server_->getPort(), platform::localNetworkAddress());
    globalDebug().print(SString("LiveShare::start ") + SString(url_));
    return true;
}

void LiveShare::stop() {
    if (receiver_) receiver_->setHub(nullptr);
    if (server_) server_->stop();
    server_.reset();
    guard_.reset();
    url_.clear();
    if (window_) {
        window_->deleteLater();
        window_ = nullptr;
    }
}

void LiveShare::readColumns() {
    // The columns of the save dialog's CSV: each oscilloscope's captions and which half cycle
    // its channel carries. Read on the GUI thread, used by the server's.
    Fenster& fenster = globalFenster();
    std::vector<Column> columns;
    for (Painter_Oszi* oszi : fenster.findOscilloscopes()) {
        const ExtDataPointerList& list = oszi->getExtDataList();
        const bool charging = list.getSize() == 0 || list.getAt(0) != &fenster.getChannel(2);
        columns.push_back({charging, oszi->getXText(), oszi->getYText()});
    }
    std::lock_guard lock(columnsMutex_);
    columns_ = std::move(columns);
}

void LiveShare::onMeasuring(bool running) {
    if (!hub_) return;
    if (running) readColumns();
    if (running)
        hub_->startRun();
    else
        hub_->stopRun();
}

bool LiveShare::onPageCommand(const SString& text) {
    if (text != pageCommand) return false;
    if (!isSharing()) {
        std::string error;
        if (!start(ShareAddress{}, error)) {
            // The reason in a message box, as the program's other failures.
            globalError().showMessage(SString(error), 0, "Fehler", SError::iconInformation);
            return true;
        }
    }
    showWindow();
    return true;
}

std::string LiveShare::csv(bool english) const {
    if (!hub_) return {};
    const std::vector<LiveSample> samples = hub_->currentRunSamples();
    if (samples.empty()) return {};
    std::vector<MeasurementCsv::Curve> curves;
    {
        std::lock_guard lock(columnsMutex_);
        for (const Column& column : columns_) {
            MeasurementCsv::Curve curve{column.xText, column.yText, {}};
            // Each oscilloscope counts its own samples from the run's start, 0.1 s apart.
            std::size_t index = 0;
            for (const LiveSample& s : samples) {
                if ((s.phase == HalfCycle::charging) != column.charging) continue;
                curve.values.emplace_back(static_cast<float>(static_cast<double>(index++) * 0.1),
                                          static_cast<float>(s.u));
            }
            curves.push_back(std::move(curve));
        }
    }
    if (curves.empty()) return {};
    return MeasurementCsv::build(curves, english ? MeasurementCsv::Format::commaPoint
                                                 : MeasurementCsv::Format::semicolonComma)
        .str();
}

QImage LiveShare::qrImage(const std::string& text, int scale) {
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

QDialog* LiveShare::getWindow() const {
    return window_;
}

void LiveShare::showWindow() {
    if (!isSharing()) return;
    if (!window_) {
        auto* window = new QDialog(globalFenster().getWidget());
        window->setWindowTitle(toQString(SString(MSG("liveTitle", "Live-Ansicht f\xFCr die Klasse"))));
        window->setObjectName("liveShareWindow");
        auto* layout = new QVBoxLayout(window);
        auto* intro = new QLabel(toQString(SString(
            MSG("liveIntro", "Alle im Schulnetz k\xF6nnen die Messung im Browser verfolgen. Adresse:"))));
        intro->setWordWrap(true);
        layout->addWidget(intro);
        const QString url = QString::fromStdString(url_);
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
        qr->setPixmap(QPixmap::fromImage(qrImage(url_, 6)));
        qr->setAlignment(Qt::AlignCenter);
        layout->addWidget(qr);
        auto* pinText = new QLabel(toQString(SString(
            MSG("livePinText", "Starten und Stoppen im Browser nur mit dieser PIN (nur an die Person am Beamer geben):"))));
        pinText->setWordWrap(true);
        layout->addWidget(pinText);
        auto* pin = new QLabel(QString::fromStdString(getPin()));
        pin->setObjectName("livePin");
        pin->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont pinFont = pin->font();
        pinFont.setPointSizeF(pinFont.pointSizeF() * 2.5);
        pinFont.setBold(true);
        pinFont.setLetterSpacing(QFont::PercentageSpacing, 130);
        pin->setFont(pinFont);
        pin->setAlignment(Qt::AlignCenter);
        layout->addWidget(pin);
        auto* buttons = new QHBoxLayout;
        auto* stopButton = new QPushButton(toQString(SString(MSG("liveStop", "Freigabe beenden"))));
        stopButton->setObjectName("liveStop");
        auto* closeButton = new QPushButton(toQString(SString(MSG("liveClose", "Schlie\xDF" "en"))));
        buttons->addWidget(stopButton);
        buttons->addStretch();
        buttons->addWidget(closeButton);
        layout->addLayout(buttons);
        QObject::connect(stopButton, &QPushButton::clicked, window, [this] { stop(); });
        // Closing the window keeps sharing on; the link on the page shows it again.
        QObject::connect(closeButton, &QPushButton::clicked, window, &QDialog::hide);
        window_ = window;
    }
    window_->show();
    window_->raise();
}

void liveShareMeasuring(bool running) {
    LiveShare::instance().onMeasuring(running);
}

bool liveShareCommand(const SString& text) {
    return LiveShare::instance().onPageCommand(text);
}
