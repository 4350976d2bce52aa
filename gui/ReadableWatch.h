// A descriptor watched by the GUI event loop: a function runs whenever it has data.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace gui {

// Runs onReadable on the GUI thread each time fd becomes readable; onReadable must read what
// is there, or it is called again at once. Needs the QApplication. A negative fd watches
// nothing.
class ReadableWatch {
public:
    ReadableWatch(int fd, std::function<void()> onReadable);
    ~ReadableWatch();
    ReadableWatch(const ReadableWatch&) = delete;
    ReadableWatch& operator=(const ReadableWatch&) = delete;

    bool isWatching() const { return notifier_ != nullptr; }

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace gui
