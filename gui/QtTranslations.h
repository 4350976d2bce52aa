// Qt's own texts (standard dialogs and buttons: "Speichern", "Abbrechen", "Suchen in") in the
// program's language, from the translations Debian ships with Qt.
#pragma once

#include <string>

namespace gui {

// Installs Qt's translations for a language ("de"); needs the QApplication. False when the
// translation files are not there (package qt6-translations-l10n): Qt then speaks English.
bool installQtTranslations(const std::string& language);

}  // namespace gui
