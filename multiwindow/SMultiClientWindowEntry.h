// One pane of a split window: a window or a nested splitter, its size rule and its separator.
#pragma once

#include "foundation/SGeometry.h"
#include "multiwindow/SMultiClientSeparator.h"

class SMultiWindowSplitter;

class SMultiClientWindowEntry : public SObject {
public:
    S_CLASSNAME(SMultiClientWindowEntry)

    SMultiClientWindowEntry() = default;
    // Runs deinit.
    ~SMultiClientWindowEntry() override;
    SMultiClientWindowEntry(const SMultiClientWindowEntry&) = delete;
    SMultiClientWindowEntry& operator=(const SMultiClientWindowEntry&) = delete;

    // Destroys the nested splitter, and the window when the entry owns it.
    void deinit();
    // The window or, for a nested splitter, the splitter; nullptr when the entry has neither.
    SWindow* getPane() const;
    // Moves the pane (with a debug line).
    void move(const SRect& rect);

    // The pane's window; not owned unless ownsWindow.
    SWindow* window = nullptr;
    // Size rule: "*" (the rest), "N%" (of the splitter's extent) or pixels.
    SString size = SString(std::string("*"));
    SString name = SString(std::string("empty"));
    // The nested splitter (owned), or nullptr. An entry has a window or a splitter.
    SMultiWindowSplitter* splitter = nullptr;
    bool ownsWindow = false;
    SMultiClientSeparator separator;

private:
    bool deinitDone_ = false;
};
