#include "foundation/STimer.h"

#include <algorithm>

#include "foundation/SEventLoop.h"

STimer& globalTimer() {
    static STimer timers;
    return timers;
}

STimerEvent::~STimerEvent() { stopAllTimers(); }

int STimerEvent::startTimer(int periodMs) {
    int id = eventLoop().startTimer(periodMs);
    globalTimer().add(id, this);
    return id;
}

void STimerEvent::stopTimer(int id) {
    eventLoop().stopTimer(id);
    globalTimer().remove(id);
}

void STimerEvent::stopAllTimers() {
    for (int id : globalTimer().timersOf(this)) stopTimer(id);
}

void STimer::dispatch(int id) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
    if (it != entries_.end()) it->receiver->onTimer(id);
}

void STimer::add(int id, STimerEvent* receiver) { entries_.push_back({id, receiver}); }

void STimer::remove(int id) {
    std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

void STimer::removeReceiver(STimerEvent* receiver) {
    std::erase_if(entries_, [receiver](const Entry& e) { return e.receiver == receiver; });
}

std::vector<int> STimer::timersOf(const STimerEvent* receiver) const {
    std::vector<int> ids;
    for (const Entry& e : entries_)
        if (e.receiver == receiver) ids.push_back(e.id);
    return ids;
}
