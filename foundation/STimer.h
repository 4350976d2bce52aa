// Periodic calls on the GUI thread: receivers derive from STimerEvent; the global timer list
// maps platform timer ids to their receivers.
#pragma once

#include <vector>

#include "foundation/SObject.h"

class STimerEvent : public SObject {
public:
    S_CLASSNAME(STimerEvent)
    STimerEvent() = default;
    STimerEvent(const STimerEvent&) = delete;
    STimerEvent& operator=(const STimerEvent&) = delete;
    // Stops every timer of this receiver.
    ~STimerEvent() override;

    // Starts a periodic timer; returns its id (> 0).
    int startTimer(int periodMs);
    void stopTimer(int id);
    void stopAllTimers();
    // Called at every expiry of one of this receiver's timers.
    virtual void onTimer(int id) { (void)id; }
};

class STimer : public SObject {
public:
    S_CLASSNAME(STimer)
    // Calls the receiver of a platform timer; unknown ids are ignored.
    void dispatch(int id);
    void add(int id, STimerEvent* receiver);
    void remove(int id);
    void removeReceiver(STimerEvent* receiver);
    std::vector<int> timersOf(const STimerEvent* receiver) const;
    int getSize() const { return static_cast<int>(entries_.size()); }

private:
    struct Entry {
        int id;
        STimerEvent* receiver;
    };
    std::vector<Entry> entries_;
};

STimer& globalTimer();
