// The wait cursor for the lifetime of an object.
#pragma once

// Shows the busy cursor over every window of the application until the object goes; nested
// objects stack. Without a GUI application it does nothing.
class SWaitCursor {
public:
    SWaitCursor();
    ~SWaitCursor();
    SWaitCursor(const SWaitCursor&) = delete;
    SWaitCursor& operator=(const SWaitCursor&) = delete;

private:
    bool active_ = false;
};
