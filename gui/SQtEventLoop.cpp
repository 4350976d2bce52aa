#include "gui/SQtEventLoop.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include "foundation/STimer.h"

SQtEventLoop::SQtEventLoop() : host_(std::make_unique<QObject>()) {
    wake_ = new QTimer(host_.get());
    wake_->setSingleShot(true);
    wake_->setTimerType(Qt::PreciseTimer);
}

SQtEventLoop::~SQtEventLoop() {
    // Qt objects must not be deleted after the application object is gone; at that point the
    // process is ending and the timers die with it.
    if (!QCoreApplication::instance()) (void)host_.release();
}

bool SQtEventLoop::onGuiThread() const {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void SQtEventLoop::processEvents() {
    if (onGuiThread()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void SQtEventLoop::waitForEvents(int maxMs) {
    if (maxMs < 0) maxMs = 0;
    if (!onGuiThread()) {
        QThread::msleep(static_cast<unsigned long>(maxMs));
        return;
    }
    // The single-shot timer is the upper bound: the dispatcher sleeps until it or any other
    // event arrives.
    wake_->start(maxMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    wake_->stop();
}

int SQtEventLoop::startTimer(int periodMs) {
    int id = nextId_++;
    QTimer* timer;
    if (!spare_.empty()) {
        timer = spare_.back();
        spare_.pop_back();
    } else {
        timer = new QTimer(host_.get());
    }
    timer->setInterval(periodMs < 1 ? 1 : periodMs);
    QObject::connect(timer, &QTimer::timeout, timer, [id] { globalTimer().dispatch(id); });
    timer->start();
    timers_[id] = timer;
    return id;
}

void SQtEventLoop::stopTimer(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    QTimer* timer = it->second;
    timers_.erase(it);
    timer->stop();
    timer->disconnect();
    // The timer may be stopped from its own timeout, so it is not deleted but kept for reuse.
    spare_.push_back(timer);
}
