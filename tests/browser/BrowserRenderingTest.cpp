// The choice between OpenGL and software drawing for the browser panes: which OpenGL renderers
// run on the processor, and that the user's own choice of scene graph always stands.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "browser/BrowserRendering.h"

namespace {

using Environment = std::map<std::string, std::string>;

BrowserRendering::Lookup lookupIn(const Environment& environment) {
    return [&environment](const char* name) -> const char* {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
}

}  // namespace

// GL_RENDERER strings as drivers report them. Hardware names may mention LLVM (AMD's shader
// compiler, VMware's host driver) without being a software rasteriser.
TEST(BrowserRenderingTest, SoftwareRenderersByName) {
    for (const char* software :
         {"llvmpipe (LLVM 15.0.6, 256 bits)", "LLVMPIPE (LLVM 11.0.1, 128 bits)", "softpipe",
          "Mesa X11 swrast", "Software Rasterizer", "SWR (LLVM 11.0.0, 256 bits)", "GDI Generic",
          "D3D12 (Microsoft Basic Render Driver)"})
        EXPECT_TRUE(BrowserRendering::isSoftwareRenderer(software)) << software;
    for (const char* hardware :
         {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)",
          "AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)",
          "NVIDIA GeForce GTX 1050/PCIe/SSE2", "SVGA3D; build: RELEASE;  LLVM;", "virgl",
          "D3D12 (NVIDIA GeForce RTX 3060)", "Mali-G52 (Panfrost)", "SWRender-free name", ""})
        EXPECT_FALSE(BrowserRendering::isSoftwareRenderer(hardware)) << hardware;
}

TEST(BrowserRenderingTest, SoftwareOnlyWithoutHardwareOpenGL) {
    const Environment none;
    using Choice = BrowserRendering::Choice;
    EXPECT_EQ(BrowserRendering::decide(lookupIn(none), "").choice, Choice::software);
    EXPECT_EQ(BrowserRendering::decide(lookupIn(none), "llvmpipe (LLVM 15.0.6, 256 bits)").choice,
              Choice::software);
    EXPECT_EQ(BrowserRendering::decide(lookupIn(none), "Mesa Intel(R) UHD Graphics 620 (KBL GT2)").choice,
              Choice::opengl);
    // The reason names the renderer, for the debug log.
    EXPECT_NE(
        BrowserRendering::decide(lookupIn(none), "llvmpipe (LLVM 15.0.6, 256 bits)").reason.find("llvmpipe"),
        std::string::npos);
}

TEST(BrowserRenderingTest, TheUsersSceneGraphStands) {
    using Choice = BrowserRendering::Choice;
    for (const char* name : {"QT_QUICK_BACKEND", "QMLSCENE_DEVICE", "QSG_RHI_BACKEND"}) {
        const Environment chosen{{name, "opengl"}};
        EXPECT_EQ(BrowserRendering::userChoice(lookupIn(chosen)), std::string(name) + "=opengl");
        // Not even the lack of OpenGL overrides it: the user asked for this one.
        EXPECT_EQ(BrowserRendering::decide(lookupIn(chosen), "").choice, Choice::user) << name;
        EXPECT_EQ(BrowserRendering::decide(lookupIn(chosen), "llvmpipe").choice, Choice::user) << name;
    }
    // Set but empty counts as not set.
    const Environment empty{{"QT_QUICK_BACKEND", ""}};
    EXPECT_EQ(BrowserRendering::userChoice(lookupIn(empty)), "");
    EXPECT_EQ(BrowserRendering::decide(lookupIn(empty), "llvmpipe").choice, Choice::software);
}
