#include "browser/SIEPage.h"

#include <memory>

#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>

#include "browser/SIEControl.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "gui/SQtString.h"

SIEPage::SIEPage(SIEControl* control, QObject* parent) : QWebEnginePage(parent), control_(control) {
    // A real timer, not a queued call: the browser's own work keeps running during the hooks'
    // waits only when they are not started from a posted event.
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(0);
    QObject::connect(timer_, &QTimer::timeout, this, [this] { runPending(); });
    settleTimer_ = new QTimer(this);
    settleTimer_->setSingleShot(true);
    settleTimer_->setInterval(settleTimeoutMs);
    QObject::connect(settleTimer_, &QTimer::timeout, this, [this] { settleAll(); });
    // A cancelled navigation ends as "stopped"; that is when its hook may run.
    QObject::connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus) settle(info.url());
    });
    // A cancelled navigation ends in loadFinished(false) as well; only a finished document counts.
    QObject::connect(this, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok) schedule(Pending{true, QUrl(), 0});
    });
}

SIEPage::~SIEPage() = default;

void SIEPage::detach() {
    control_ = nullptr;
    pending_.clear();
    unsettled_.clear();
    timer_->stop();
    settleTimer_->stop();
}

void SIEPage::loadApproved(const QUrl& url) {
    ++approvedLoads_;
    load(url);
}

bool SIEPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (!isMainFrame || !control_) return true;
    if (type == NavigationTypeTyped && approvedLoads_ > 0) {
        --approvedLoads_;
        return true;
    }
    if (!SIEControl::isCommandScheme(url.scheme())) {
        // A document: the hook decides here. Sending the browser on again later would race
        // with the cancellation, which now and then takes the new navigation along.
        inNavigationCallback_ = true;
        QPointer<SIEPage> self(this);
        const bool cancel = control_->beforeNavigate(url, static_cast<int>(type));
        if (self) inNavigationCallback_ = false;
        return !cancel;
    }
    // A command: never a document, so the browser is told "no" at once, and the hook runs as
    // soon as the browser has ended the navigation.
    unsettled_.push_back(Pending{false, url, static_cast<int>(type)});
    settleTimer_->start();
    return false;
}

void SIEPage::settle(const QUrl& url) {
    // The ended navigation and every one told "no" before it.
    for (std::size_t i = 0; i < unsettled_.size(); ++i) {
        if (unsettled_[i].url != url) continue;
        for (std::size_t n = 0; n <= i; ++n) {
            schedule(std::move(unsettled_.front()));
            unsettled_.pop_front();
        }
        if (unsettled_.empty()) settleTimer_->stop();
        return;
    }
}

void SIEPage::settleAll() {
    while (!unsettled_.empty()) {
        schedule(std::move(unsettled_.front()));
        unsettled_.pop_front();
    }
}

void SIEPage::schedule(Pending item) {
    if (!control_) return;
    pending_.push_back(std::move(item));
    if (!running_) timer_->start();
}

void SIEPage::runPending() {
    // A hook that waits lets the timer fire again; the loop below takes what arrives meanwhile.
    if (running_) return;
    running_ = true;
    QPointer<SIEPage> self(this);
    while (self && control_ && !pending_.empty()) {
        Pending item = std::move(pending_.front());
        pending_.pop_front();
        SIEControl* control = control_;
        if (item.documentComplete) {
            control->documentComplete();
            continue;
        }
        // Let through: the browser is sent there again.
        if (!control->beforeNavigate(item.url, item.type) && self && control_) loadApproved(item.url);
    }
    if (self) running_ = false;
}

bool SIEPage::runScript(const QString& script, QVariant* result, int timeoutMs) {
    if (inNavigationCallback_) {
        // The browser cannot run scripts from inside its navigation callback.
        globalDebug().print(
            "SIEPage::runScript(..) nicht m\xF6glich, solange der Browser nach einer Navigation fragt");
        return false;
    }
    // The answer may come after a time-out, when this frame is gone: the state is shared.
    struct State {
        volatile int waiting = 1;
        QVariant value;
    };
    auto state = std::make_shared<State>();
    runJavaScript(script, QWebEngineScript::ApplicationWorld, [state](const QVariant& value) {
        state->value = value;
        state->waiting = 0;
    });
    if (state->waiting) SApplicationBasic::wait(timeoutMs, &state->waiting);
    if (state->waiting) return false;
    if (result) *result = state->value;
    return true;
}

void SIEPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                       const QString& source) {
    globalDebug().print(SString::printf("SIEPage: Skript-Meldung %d: ", static_cast<int>(level)) +
                        toSString(message) + SString::printf(" (%s:%d)", toSString(source).c_str(), line));
}
