#include "gui/SMessageBox.h"

#include <cstdio>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include "foundation/SError.h"
#include "gui/KeyboardReturn.h"
#include "gui/SQtString.h"

int SMessageBox::show(const SString& text, const SString& title, unsigned flags) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
        return resultOk;
    }
    QString body = toQString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & 0xF0) {
        case SError::iconError:
            icon = QMessageBox::Critical;
            break;
        case SError::iconQuestion:
            icon = QMessageBox::Question;
            break;
        case SError::iconWarning:
            icon = QMessageBox::Warning;
            break;
        case SError::iconInformation:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (flags & 0x0F) {
        case buttonsOkCancel:
            buttons = QMessageBox::Ok | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case buttonsAbortRetryIgnore:
            buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
            escape = QMessageBox::Abort;
            break;
        case buttonsYesNoCancel:
            buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case buttonsYesNo:
            buttons = QMessageBox::Yes | QMessageBox::No;
            escape = QMessageBox::No;
            break;
        case buttonsRetryCancel:
            buttons = QMessageBox::Retry | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        default:
            break;
    }

    const gui::KeyboardReturn keyboard;
    // The box may outlive its owner when the owner closes meanwhile: a guarded pointer.
    QPointer<QMessageBox> box =
        new QMessageBox(icon, toQString(title), body, buttons, QApplication::activeWindow());
    box->setEscapeButton(escape);
    int chosen = box->exec();
    delete box;
    switch (chosen) {
        case QMessageBox::Cancel:
            return resultCancel;
        case QMessageBox::Abort:
            return resultAbort;
        case QMessageBox::Retry:
            return resultRetry;
        case QMessageBox::Ignore:
            return resultIgnore;
        case QMessageBox::Yes:
            return resultYes;
        case QMessageBox::No:
            return resultNo;
        default:
            return resultOk;
    }
}

void SMessageBox::install() {
    globalError().setMessageSink(&SMessageBox::show);
}

void SMessageBox::uninstall() {
    globalError().setMessageSink(nullptr);
}
