// Work handed to the GUI thread, and the end of its event loop, without Qt in the caller.
#pragma once

#include <functional>
#include <memory>

class QObject;

namespace gui {

// Queues a call to the GUI thread: it runs from the event loop after what is queued already,
// also when posted from the GUI thread itself. Callable from any thread. False (the call is
// dropped) when there is no QApplication.
bool postToGuiThread(std::function<void()> call);

// Calls queued for one receiver on the GUI thread: those still waiting when the queue goes are
// dropped, so a call may refer to objects that live as long as the queue. Make and destroy it
// on the GUI thread; post from any thread, but never while the queue is being destroyed.
class GuiThreadQueue {
public:
    GuiThreadQueue();
    ~GuiThreadQueue();
    GuiThreadQueue(const GuiThreadQueue&) = delete;
    GuiThreadQueue& operator=(const GuiThreadQueue&) = delete;

    void post(std::function<void()> call);
    // Runs the calls waiting now, at once (on the GUI thread): what a worker queued last before
    // it ended.
    void runWaiting();

private:
    std::unique_ptr<QObject> receiver_;
};

// Ends the running event loop: runEventLoop (QApplication::exec) returns code.
void quitEventLoop(int code = 0);

}  // namespace gui
