#include "gui/SFileDialog.h"

#include <algorithm>

#include <QFileDialog>
#include <QStringList>

#include "gui/KeyboardReturn.h"
#include "gui/SQtString.h"
#include "gui/SWindow.h"

namespace {

SFileDialog::Chooser& chooser() {
    static SFileDialog::Chooser instance;
    return instance;
}

int& chosenFilter() {
    static int index = 0;
    return index;
}

}  // namespace

QString SFileDialog::toQtFilter(const SString& filter) {
    const QStringList parts = toQString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" means every file; Qt's "*.*" would leave out names without a dot.
        for (QString& p : patterns)
            if (p.trimmed() == QLatin1String("*.*")) p = QStringLiteral("*");
        entries << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return entries.join(QStringLiteral(";;"));
}

SString SFileDialog::getSaveFileName(SWindow* owner, const SString& title, const SString& filter,
                                     const SString& defaultExtension, const SString& proposed, int* filterIndex) {
    if (chooser()) {
        if (filterIndex) *filterIndex = chosenFilter();
        return chooser()(title, filter, proposed);
    }
    const gui::KeyboardReturn keyboard;
    QFileDialog dialog(owner ? owner->getWidget() : nullptr, toQString(title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList entries = toQtFilter(filter).split(QStringLiteral(";;"));
    dialog.setNameFilters(entries);
    if (filterIndex && *filterIndex >= 0 && *filterIndex < entries.size()) dialog.selectNameFilter(entries[*filterIndex]);
    dialog.setDefaultSuffix(toQString(defaultExtension));
    dialog.selectFile(toQString(proposed));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return SString();
    if (filterIndex) *filterIndex = std::max(0, static_cast<int>(entries.indexOf(dialog.selectedNameFilter())));
    return toSString(dialog.selectedFiles().first());
}

void SFileDialog::setChooser(Chooser replacement, int filterIndex) {
    chooser() = std::move(replacement);
    chosenFilter() = filterIndex;
}
