// The browser page of an SIEControl: decides navigations through the control's hook and runs
// document scripts synchronously.
#pragma once

#include <deque>

#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>

class QTimer;
class SIEControl;

class SIEPage : public QWebEnginePage {
public:
    SIEPage(SIEControl* control, QObject* parent);
    ~SIEPage() override;

    // The control goes: no more hooks are called.
    void detach();
    SIEControl* getControl() const { return control_; }

    // Loads an address the control's hook has let through already.
    void loadApproved(const QUrl& url);

    // Runs a script in the application's own script world (the page's scripts cannot see or
    // change its variables; the document is shared) and waits for its value with the
    // message-pumping wait. false when the browser did not answer within timeoutMs, and at
    // once inside the browser's navigation callback (a document's before-navigate hook).
    bool runScript(const QString& script, QVariant* result, int timeoutMs);

    // Hooks waiting to run (navigations to decide, completed loads).
    int getPendingCount() const { return static_cast<int>(pending_.size() + unsettled_.size()); }

    // How long a cancelled navigation may take to end before its hook runs anyway.
    static constexpr int settleTimeoutMs = 250;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    // Messages of page scripts go to the debug channel.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override;

private:
    struct Pending {
        bool documentComplete;
        QUrl url;
        int type;
    };
    void schedule(Pending item);
    void runPending();
    // A cancelled navigation has ended (or is taken as ended): its hook may run.
    void settle(const QUrl& url);
    void settleAll();

    SIEControl* control_;
    QTimer* timer_;
    std::deque<Pending> pending_;
    // Navigations told "no" whose end the browser has not reported yet. Their hooks wait for
    // it: a navigation started again before the cancelled one has ended is cancelled with it.
    std::deque<Pending> unsettled_;
    // In case the end is never reported.
    QTimer* settleTimer_;
    bool inNavigationCallback_ = false;
    // Navigations started by loadApproved that the browser has not asked about yet.
    int approvedLoads_ = 0;
    bool running_ = false;
};
