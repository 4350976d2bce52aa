#include "gui/GuiThread.h"

#include <QCoreApplication>
#include <QObject>

namespace gui {

bool postToGuiThread(std::function<void()> call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return false;
    QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
    return true;
}

GuiThreadQueue::GuiThreadQueue() : receiver_(std::make_unique<QObject>()) {}

GuiThreadQueue::~GuiThreadQueue() = default;

void GuiThreadQueue::post(std::function<void()> call) {
    // Bound to the receiver: Qt drops the queued call when the receiver is deleted first.
    QMetaObject::invokeMethod(receiver_.get(), std::move(call), Qt::QueuedConnection);
}

void GuiThreadQueue::runWaiting() {
    QCoreApplication::sendPostedEvents(receiver_.get());
}

void quitEventLoop(int code) {
    QCoreApplication::exit(code);
}

}  // namespace gui
