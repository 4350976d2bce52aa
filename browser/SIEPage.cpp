#include "browser/SIEPage.h"

#include <memory>

#include <QTimer>
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
    // A cancelled navigation ends in loadFinished(false) as well; only a finished document counts.
    QObject::connect(this, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok) schedule(Pending{true, QUrl(), 0});
    });
}

SIEPage::~SIEPage() = default;

void SIEPage::detach() {
    control_ = nullptr;
    pending_.clear();
    timer_->stop();
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
    schedule(Pending{false, url, static_cast<int>(type)});
    return false;
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
        // Let through: the browser is sent there again (a reload or a step back in the
        // history becomes a plain load of the address).
        if (!control->beforeNavigate(item.url, item.type) && self && control_) loadApproved(item.url);
    }
    if (self) running_ = false;
}

bool SIEPage::runScript(const QString& script, QVariant* result, int timeoutMs) {
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
