// The main window's part of the evaluation in the diagram: its buttons and Ctrl+P (freeze,
// evaluate now, forget the kept runs, the diagram as a picture).
#include <ctime>

#include "app/DiagramWindow.h"
#include "app/Fenster.h"
#include "app/MeasurementCsv.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFileSystem.h"
#include "gui/SFileDialog.h"
#include "platform/Paths.h"
#include "view/Painter_Oszi.h"
#include "view/UniedViewWindow.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

// The picture has twice the screen's resolution, sharp enough for a printed worksheet.
constexpr double pictureFactor = 2.0;

}  // namespace

bool Fenster::onEvaluationCommand(const SString& text) {
    UniedViewWindow* window = getFirstViewWindow();
    if (text == "oszi-pause") {
        if (window) window->setFrozen(!window->isFrozen());
        return true;
    }
    if (text == "oszi-evaluate") {
        if (window) window->sendToAll(Painter_Oszi::codeEvaluate);
        return true;
    }
    if (text == "oszi-clear-runs") {
        if (window) window->sendToAll(Painter_Oszi::codeClearRuns);
        return true;
    }
    if (text == "save-png") {
        savePng(SString());
        return true;
    }
    return false;
}

bool Fenster::savePng(const SString& fileName) {
    UniedViewWindow* window = getFirstViewWindow();
    auto* host = window ? dynamic_cast<DiagramWindow*>(window->getHost()) : nullptr;
    const std::string png = host ? host->renderPng(pictureFactor) : std::string();
    if (png.empty()) {
        globalDebug().print("FEHLER: save-png: kein Diagramm zu zeichnen");
        return false;
    }
    SString target = fileName;
    if (target.isEmpty()) {
        const SString proposed = MeasurementCsv::proposedFileName(
            SString(platform::documentsDirectory()), std::time(nullptr), SString(MSG("pngFileName", "Diagramm")), "png");
        target = SFileDialog::getSaveFileName(this, MSG("savePngTitle", "Diagramm als Bild speichern"),
                                              MSG("pngFilter", "PNG-Bilder|*.png|alle Dateien|*.*"),
                                              SString::raw("png"), proposed);
        if (target.isEmpty()) return false;
    }
    int code = 0;
    SString error;
    if (MeasurementCsv::write(target, SString(png), &code, &error)) return true;
    globalDebug().print(error);
    globalError().showMessage(error);
    return false;
}

void Fenster::onPngKey() {
    SEvent event;
    event.text = "save-png";
    getEventManager().send(event);
}
