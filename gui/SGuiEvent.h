// A mouse event as the windows hand it on: the event record of type 3 with its point.
#pragma once

#include <cstdint>

#include "foundation/SEvent.h"
#include "foundation/SGeometry.h"

// type = eventGui; code = the window message of the action; point in the receiver's
// coordinates (window pixels, or whatever units the receiver converted them to).
//
// Header only and without Qt: view/ works with these events below gui's Qt side, so nothing
// declared here may need an implementation there (the platform's drag distance is SWindow's).
struct SGuiEvent : public SEvent {
    enum Message : int32_t {
        mouseMove = 0x200,
        leftButtonDown = 0x201,
        leftButtonUp = 0x202,
    };
    // Key-state flags of the action (the mouse buttons held and the modifier keys).
    enum KeyState : uint32_t {
        keyLeftButton = 0x01,
        keyRightButton = 0x02,
        keyShift = 0x04,
        keyControl = 0x08,
        keyMiddleButton = 0x10,
    };

    SGuiEvent() { type = eventGui; }
    SGuiEvent(int32_t message, SPoint at, uint32_t keys) : point(at), keyState(keys) {
        type = eventGui;
        code = message;
    }

    SPoint point;
    uint32_t keyState = 0;
    // A handler may name the cursor to show at this point (an SCursor id; 0: none) ...
    int cursorId = 0;
    // ... and record the object that took the event.
    void* target = nullptr;
};
