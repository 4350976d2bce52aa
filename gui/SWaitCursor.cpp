#include "gui/SWaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

SWaitCursor::SWaitCursor() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    active_ = true;
}

SWaitCursor::~SWaitCursor() {
    if (active_ && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
}
