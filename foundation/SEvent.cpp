#include "foundation/SEvent.h"

#include <algorithm>

void SEventManager::addHandler(SEventHandler* handler) {
    if (handler && std::find(handlers_.begin(), handlers_.end(), handler) == handlers_.end())
        handlers_.push_back(handler);
}

void SEventManager::removeHandler(SEventHandler* handler) { std::erase(handlers_, handler); }

int SEventManager::send(SEvent& event) {
    // A handler may register or remove handlers while it runs: walk a copy.
    const std::vector<SEventHandler*> handlers = handlers_;
    for (SEventHandler* h : handlers) {
        if (std::find(handlers_.begin(), handlers_.end(), h) == handlers_.end()) continue;
        if (int result = h->onEvent(event)) return result;
    }
    return 0;
}
