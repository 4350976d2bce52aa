#include "gui/ReadableWatch.h"

#include <QSocketNotifier>

namespace gui {

ReadableWatch::ReadableWatch(int fd, std::function<void()> onReadable) {
    if (fd < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [onReadable = std::move(onReadable)] {
                         if (onReadable) onReadable();
                     });
}

ReadableWatch::~ReadableWatch() = default;

}  // namespace gui
