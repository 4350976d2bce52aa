#include "gui/SFrameWindow.h"

#include <QWidget>

#include "foundation/SApplicationBasic.h"
#include "foundation/SFileIni.h"

SFrameWindow::SFrameWindow() {
    setStyle(styleOverlappedWindow);
}

SFrameWindow::~SFrameWindow() {
    destroyWindow();
}

SString SFrameWindow::getPlacementSection() const {
    return SString("Fenster_") + (getName().isEmpty() ? SString(getClassName()) : getName());
}

SFileIni* SFrameWindow::userConfig() const {
    SApplicationBasic& basic = globalApplicationBasic();
    if (!basic.openUserConfigFile()) return nullptr;
    return basic.getUserConfigFile();
}

bool SFrameWindow::restorePlacement() {
    SFileIni* ini = userConfig();
    if (!ini) return false;
    const SString section = getPlacementSection();
    SStringList pos = SStringList::split(ini->getValue(section, "winpos"), ",");
    if (pos.getSize() != 4) return false;
    const int x = SString(pos.getAt(0)).trim().toInt(), y = SString(pos.getAt(1)).trim().toInt();
    const int width = SString(pos.getAt(2)).trim().toInt(), height = SString(pos.getAt(3)).trim().toInt();
    // A broken entry must not make the window vanish.
    if (width <= 0 || height <= 0) return false;
    const bool maximized = ini->getValue(section, "winpostype") == "max";
    if (maximized)
        addStyle(styleMaximize);
    else
        removeStyle(styleMaximize);
    if (!isCreated()) {
        move(x, y, width, height);
        return true;
    }
    getWidget()->setGeometry(x, y, width, height);
    if (maximized && !isMaximized() && isShown()) show(showMaximized);
    return true;
}

bool SFrameWindow::savePlacement(bool flush) {
    if (!isCreated()) return false;
    SFileIni* ini = userConfig();
    if (!ini) return false;
    QWidget* w = getWidget();
    // While maximised the placement to keep is the one the window returns to.
    const QRect r = (isMaximized() || isMinimized()) ? w->normalGeometry() : w->geometry();
    if (r.width() <= 0 || r.height() <= 0) return false;
    const SString section = getPlacementSection();
    ini->setValue(section, "winpos", SString::printf("%d,%d,%d,%d", r.x(), r.y(), r.width(), r.height()));
    ini->setValue(section, "winpostype", isMaximized() ? "max" : "normal");
    return flush ? ini->save() : true;
}

void SFrameWindow::placementChanged() {
    // A minimised window has no placement worth keeping; a hidden one has not been placed yet.
    if (!rememberPlacement_ || !isVisible() || isMinimized()) return;
    savePlacement();
}

bool SFrameWindow::onPreCreateWindow() {
    if (rememberPlacement_) restorePlacement();
    return true;
}

void SFrameWindow::onSize(int, int) {
    placementChanged();
}

void SFrameWindow::onMove(int, int) {
    placementChanged();
}

void SFrameWindow::onWindowStateChange() {
    placementChanged();
}

void SFrameWindow::onDestroy() {
    if (!rememberPlacement_) return;
    if (SFileIni* ini = userConfig(); ini && ini->isModified()) ini->save();
}
