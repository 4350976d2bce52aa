#include "browser/BrowserRendering.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace {

bool isSet(const BrowserRendering::Lookup& lookup, const char* name) {
    const char* value = lookup(name);
    return value && *value;
}

}  // namespace

bool BrowserRendering::isSoftwareRenderer(const std::string& renderer) {
    std::string name = renderer;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // OpenSWR names itself "SWR (LLVM ...)"; the word alone, not inside another name.
    if (name.rfind("swr ", 0) == 0 || name == "swr") return true;
    for (const char* software :
         {"llvmpipe", "softpipe", "swrast", "software rasterizer", "gdi generic", "microsoft basic render"})
        if (name.find(software) != std::string::npos) return true;
    return false;
}

std::string BrowserRendering::userChoice(const Lookup& lookup) {
    for (const char* name : {"QT_QUICK_BACKEND", "QMLSCENE_DEVICE", "QSG_RHI_BACKEND"})
        if (isSet(lookup, name)) return std::string(name) + "=" + lookup(name);
    return {};
}

BrowserRendering::Decision BrowserRendering::decide(const Lookup& lookup, const std::string& renderer) {
    Decision d;
    const std::string chosen = userChoice(lookup);
    if (!chosen.empty()) {
        d.choice = Choice::user;
        d.reason = chosen;
    } else if (renderer.empty()) {
        d.choice = Choice::software;
        d.reason = "no OpenGL";
    } else if (isSoftwareRenderer(renderer)) {
        d.choice = Choice::software;
        d.reason = "OpenGL in software: " + renderer;
    } else {
        d.reason = "OpenGL: " + renderer;
    }
    return d;
}

std::string BrowserRendering::probeRenderer() {
    if (!QGuiApplication::instance()) return {};
    QOpenGLContext context;
    if (!context.create()) return {};
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) return {};
    const GLubyte* name = context.functions()->glGetString(GL_RENDERER);
    std::string renderer = name ? reinterpret_cast<const char*>(name) : "";
    context.doneCurrent();
    return renderer;
}

BrowserRendering::Decision BrowserRendering::apply() {
    const Lookup lookup = [](const char* name) { return std::getenv(name); };
    // The probe costs an OpenGL context; a user's choice needs none.
    const Decision d = decide(lookup, userChoice(lookup).empty() ? probeRenderer() : std::string());
    // The browser engine follows the scene graph: with the software one its pages are drawn
    // without OpenGL too.
    if (d.choice == Choice::software) QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return d;
}

std::string BrowserRendering::describe(const Decision& decision) {
    const char* how = decision.choice == Choice::software ? "in software"
                      : decision.choice == Choice::opengl ? "through OpenGL"
                                                          : "as the environment says";
    return std::string("browser panes drawn ") + how + " (" + decision.reason + ")";
}
