// Event records and their distribution: an event is offered to the registered handlers in
// registration order until one handles it.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/SString.h"

// Event types in use.
enum SEventType : int32_t {
    eventPageShown = 1,         // text = page name
    eventApplication = 2,       // codes below
    eventGui = 3,               // code = window message (0x200 move, 0x201 button down, 0x202 up)
    eventProgrammer = 10000,    // programmer progress
    eventPageCommand = 20000,   // "cmd:" link or "getVersionString"
};

// Codes of application events (type 2).
enum SEventCode : int32_t {
    codeClick = 10000,
    codeReload = 10002,
    codeDisable = 10003,
    codeEnable = 10004,
    codeClear = 10005,
};

struct SEvent {
    int32_t type = 0;
    int32_t code = 0;
    SString text;
    SString result;  // written by the handler
};

class SEventHandler : public SObject {
public:
    S_CLASSNAME(SEventHandler)
    // Nonzero means handled: the event goes no further.
    virtual int onEvent(SEvent& event) {
        (void)event;
        return 0;
    }
};

class SEventManager : public SObject {
public:
    S_CLASSNAME(SEventManager)
    // Handlers are not owned; each is registered once.
    void addHandler(SEventHandler* handler);
    void removeHandler(SEventHandler* handler);
    // Offers the event to each handler in registration order; returns the first nonzero result.
    int send(SEvent& event);
    int getHandlerCount() const { return static_cast<int>(handlers_.size()); }

private:
    std::vector<SEventHandler*> handlers_;
};
