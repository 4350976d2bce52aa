// The file dialogs of the toolkit.
#pragma once

#include <functional>

#include "foundation/SString.h"

class QString;
class SWindow;

class SFileDialog {
public:
    // Stands in for the dialog (tests): gets title, filter and proposed name, returns the chosen
    // name or empty for "cancel".
    using Chooser = std::function<SString(const SString& title, const SString& filter, const SString& proposed)>;

    // Asks where to save: a modal dialog owned by the window, with the title, a filter in the
    // form "CSV-Dateien|*.csv|alle Dateien|*.*", the default extension (added to a name typed
    // without one, "csv") and the proposed path, whose folder the dialog opens. Returns the
    // chosen path, empty when the user cancels.
    // With filterIndex, the dialog starts with that entry of the filter (counted from 0) and
    // writes back the one the user chose.
    static SString getSaveFileName(SWindow* owner, const SString& title, const SString& filter,
                                   const SString& defaultExtension, const SString& proposed,
                                   int* filterIndex = nullptr);
    // "CSV-Dateien|*.csv|alle Dateien|*.*" in Qt's form: "CSV-Dateien (*.csv);;alle Dateien (*)".
    // Several patterns of one entry are separated by ";" ("*.htm;*.html").
    static QString toQtFilter(const SString& filter);
    // Replaces the dialog; an empty chooser brings it back. The stand-in "chooses" the filter
    // entry filterIndex.
    static void setChooser(Chooser chooser, int filterIndex = 0);
};
