#include "gui/TerminalText.h"

#include <QByteArray>
#include <QString>

#include "gui/SQtString.h"

namespace gui {

SString fromTerminal(const std::string& text) {
    const QByteArray bytes = QByteArray::fromStdString(text);
    const QString decoded = QString::fromUtf8(bytes);
    return decoded.toUtf8() == bytes ? toSString(decoded) : SString(text);
}

std::string toTerminal(const SString& text) {
    return toQString(text).toUtf8().toStdString();
}

}  // namespace gui
