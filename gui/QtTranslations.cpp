#include "gui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

namespace gui {

bool installQtTranslations(const std::string& language) {
    // One translator per language, kept for the program's life; "qtbase" carries the widgets'
    // texts (file dialog, message box buttons).
    static QTranslator* translator = nullptr;
    if (!QCoreApplication::instance()) return false;
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
        translator = nullptr;
    }
    auto* loaded = new QTranslator;
    const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!loaded->load(QLocale(QString::fromStdString(language)), QStringLiteral("qtbase"),
                      QStringLiteral("_"), directory)) {
        delete loaded;
        return false;
    }
    QCoreApplication::installTranslator(loaded);
    translator = loaded;
    return true;
}

}  // namespace gui
