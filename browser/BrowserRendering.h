// How the browser panes reach the screen: through OpenGL (Qt Quick's default) or drawn in
// software like every other widget.
//
// A QWebEngineView shows its page through a Qt Quick scene. With the OpenGL scene graph the
// view is a texture, and a window holding such a view is composed through OpenGL as a whole:
// every repaint anywhere in it, however small (the live diagram's ten a second), draws the
// whole window again. On a graphics chip that is the chip's work; with OpenGL emulated on
// the processor (Mesa's llvmpipe, as on a school computer without a graphics driver or under
// Xvfb) it costs several percent of a core for nothing but the diagram's few changed pixels.
// With the software scene graph the views are painted into the window's ordinary backing
// store, and a repaint sends only its own rectangle to the screen.
#pragma once

#include <functional>
#include <string>

class BrowserRendering {
public:
    // Reads a variable of the environment (nullptr when unset).
    using Lookup = std::function<const char*(const char*)>;

    enum class Choice {
        // Qt's default: the OpenGL scene graph.
        opengl,
        // Qt Quick's software scene graph.
        software,
        // The scene graph the user chose in the environment; the program leaves it alone.
        user,
    };

    struct Decision {
        Choice choice = Choice::opengl;
        // For the debug log: why.
        std::string reason;
    };

    // Whether an OpenGL renderer's name (GL_RENDERER) is a rasteriser running on the processor:
    // Mesa's llvmpipe, softpipe and swrast, OpenSWR, Windows' "GDI Generic" and "Microsoft
    // Basic Render Driver". Case does not matter.
    static bool isSoftwareRenderer(const std::string& renderer);

    // The scene graph the user chose in the environment (QT_QUICK_BACKEND, QMLSCENE_DEVICE,
    // QSG_RHI_BACKEND) as "NAME=value"; empty when none.
    static std::string userChoice(const Lookup& lookup);

    // Decides from the environment and the platform's OpenGL renderer (empty: the platform
    // could give no OpenGL context at all):
    // - a scene graph the user chose is kept (renderer is not looked at then);
    // - without OpenGL, or with OpenGL emulated on the processor, the software scene graph;
    // - with a graphics chip's OpenGL, Qt's default.
    static Decision decide(const Lookup& lookup, const std::string& renderer);

    // The name of the platform's OpenGL renderer, from a context made current on an offscreen
    // surface; empty when there is no OpenGL. Needs the QGuiApplication.
    static std::string probeRenderer();

    // Decides for this process and applies the choice. Must run after the QApplication is made
    // and before the first browser (or any other Qt Quick scene) exists. Returns the decision.
    static Decision apply();
    // One line for the debug log: the choice and why.
    static std::string describe(const Decision& decision);
};
