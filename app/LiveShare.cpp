#include "app/LiveShare.h"

#include <cstdio>

#include "app/Fenster.h"
#include "app/Globals.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFile.h"
#include "foundation/SLanguage.h"
#include "foundation/SResources.h"
#include "gui/GuiThread.h"
#include "gui/ShareWindow.h"
#include "gui/TerminalText.h"
#include "live/LiveHub.h"
#include "live/LiveReceiver.h"
#include "live/LiveServer.h"
#include "live/PinGuard.h"
#include "platform/NetworkAddress.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

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
            error = (SString(MSG("liveFileMissing", "Die Datei ")) + SString::raw(file.resource) +
                     SString(MSG("liveFileMissing2", " der Live-Ansicht fehlt.")))
                        .toUtf8();
            return false;
        }
        pages[file.path] = {content.str(), file.type};
    }
    if (!hub_) {
        LiveHub::Options options;
        options.sampleStep = fenster.getChannelModel().sampleStep();
        hub_ = std::make_shared<LiveHub>(options);
        receiver_ = new LiveReceiver(fenster.getChannelModel());
        fenster.getDataConnection().connect(receiver_, 0);
        fenster.getSession().addObserver(this);
    }
    hub_->setLanguage(globalLanguage().getLanguage().empty() ? "de" : globalLanguage().getLanguage());
    refreshCsv();
    if (fenster.isMeasuring()) hub_->startRun();
    guard_ = std::make_unique<PinGuard>(PinGuard::makePin());
    LiveServer::Hooks hooks;
    // Start and stop go to the GUI thread's queue and act there as F5 and F6 do.
    hooks.start = [] { gui::postToGuiThread([] { globalFenster().pressStart(); }); };
    hooks.stop = [] { gui::postToGuiThread([] { globalFenster().pressStop(); }); };
    hooks.csv = [this](bool english) -> std::optional<std::string> {
        std::string text = csv(english);
        if (text.empty()) return std::nullopt;
        return text;
    };
    server_ = std::make_unique<LiveServer>(*hub_, *guard_, std::move(pages), std::move(hooks));
    if (!server_->start(address.host, address.port, error)) {
        error = (SString(MSG("liveCannotStart", "Die Live-Ansicht kann an ")) +
                 gui::fromTerminal(address.host + ":" + std::to_string(address.port)) +
                 SString(MSG("liveCannotStart2", " nicht starten: ")) + gui::fromTerminal(error) + SString::raw("."))
                    .toUtf8();
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
    window_.reset();
}

void LiveShare::refreshCsv() {
    ticksSinceCsv_ = 0;
    Fenster& fenster = globalFenster();
    std::string german = fenster.currentCsv(false).str();
    std::string english = fenster.currentCsv(true).str();
    std::lock_guard lock(csvMutex_);
    csvGerman_ = std::move(german);
    csvEnglish_ = std::move(english);
}

void LiveShare::onSessionState(MeasurementSession::State state, MeasurementSession::State previous, const SString&) {
    using State = MeasurementSession::State;
    if (!hub_) return;
    const bool wasRunning = previous == State::preRun || previous == State::running;
    if (state == State::preRun) hub_->startRun();
    if (wasRunning && !MeasurementSession::isMeasuring(state)) hub_->stopRun();
    // A new run has cleared the oscilloscopes; an ended one has all its samples shown.
    if (state == State::preRun || wasRunning) refreshCsv();
}

void LiveShare::onSessionTick() {
    if (hub_ && ++ticksSinceCsv_ * MeasurementSession::watchPeriodMs >= 1000) refreshCsv();
}

void LiveShare::onSessionEvaluation(HalfCycle, const TauResult& result) {
    if (hub_) hub_->addTau(result);
}

bool LiveShare::onPageCommand(const SString& text) {
    if (text != pageCommand) return false;
    if (!isSharing()) {
        std::string error;
        if (!start(ShareAddress{}, error)) {
            // The reason in a message box, as the program's other failures.
            globalError().showMessage(gui::fromTerminal(error), 0, MSG("errorTitleNotice", "Fehler"),
                                      SError::iconInformation);
            return true;
        }
    }
    showWindow();
    return true;
}

std::string LiveShare::csv(bool english) const {
    std::lock_guard lock(csvMutex_);
    return english ? csvEnglish_ : csvGerman_;
}

QDialog* LiveShare::getWindow() const {
    return window_ ? window_->getDialog() : nullptr;
}

void LiveShare::showWindow() {
    if (!isSharing()) return;
    if (!window_ || !window_->getDialog()) {
        gui::ShareWindow::Texts texts;
        texts.title = SString(MSG("liveTitle", "Live-Ansicht f\xFCr die Klasse")).toUtf8();
        texts.intro = SString(MSG("liveIntro", "Alle im Schulnetz k\xF6nnen die Messung im Browser verfolgen. Adresse:")).toUtf8();
        texts.url = url_;
        texts.pinText = SString(MSG("livePinText", "Die PIN startet und stoppt die Messung im Browser. Zeigen Sie sie nur auf "
                                                   "Ihrem eigenen Bildschirm, nie am Beamer:"))
                            .toUtf8();
        texts.pin = getPin();
        texts.showPin = SString(MSG("liveShowPin", "PIN zeigen")).toUtf8();
        texts.hidePin = SString(MSG("liveHidePin", "PIN verbergen")).toUtf8();
        texts.stop = SString(MSG("liveStop", "Freigabe beenden")).toUtf8();
        texts.close = SString(MSG("liveClose", "Schlie\xDF" "en")).toUtf8();
        window_ = std::make_unique<gui::ShareWindow>(globalFenster().getWidget(), texts, [this] { stop(); });
    }
    window_->show();
}

bool liveShareCommand(const SString& text) {
    return LiveShare::instance().onPageCommand(text);
}
