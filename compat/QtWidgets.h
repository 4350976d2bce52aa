// Qt Widgets as the program and its tests use it, on every Debian release it is built on (Qt 6.4
// on Debian 12, 6.8 on Debian 13). What differs between the versions is settled here.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

namespace qtcompat {

// Makes the window the application's active one, as a click on it would. Qt 6.5 deprecated
// QApplication::setActiveWindow; the window system's activation works on both versions, but
// arrives as an event, so this waits for it (at most a few seconds).
inline bool activateWindow(QWidget* window) {
    window->activateWindow();
    QElapsedTimer clock;
    clock.start();
    while (QApplication::activeWindow() != window->window() && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return QApplication::activeWindow() == window->window();
}

}  // namespace qtcompat
