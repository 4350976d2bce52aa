// A key combination on a window that calls a function.
#pragma once

#include <functional>
#include <memory>
#include <string>

class QShortcut;
class QWidget;

namespace gui {

// Active anywhere in the window, also while a child (a browser pane, say) has the focus.
// The keys are written as Qt's portable text: "F5", "Ctrl+S", "Ctrl+Shift+P". The shortcut
// goes with this object, or with the window when that goes first.
class SShortcut {
public:
    SShortcut(QWidget* window, const std::string& keys, std::function<void()> action);
    ~SShortcut();
    SShortcut(const SShortcut&) = delete;
    SShortcut& operator=(const SShortcut&) = delete;

    // The keys as Qt understood them (empty when the text named no key).
    std::string getKeys() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace gui
