#include "app/Fenster.h"

#include <algorithm>

#include "app/DiagramWindow.h"
#include "app/MainWindowLayout.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SFileIni.h"
#include "foundation/SFileSystem.h"
#include "foundation/SResources.h"
#include "multiwindow/SMultiClientWindowEntry.h"

const char* const Fenster::layoutXml = mainWindowLayout;

namespace {

const char* const diagramPane = "Durchf\xFChrung";

}  // namespace

Fenster::Fenster() : version_("1.3"), projectName_("NUK-optional-e01-Kondensator") {
    // The window opens where the user left it.
    rememberPlacement_ = true;
    board_.getPort().connect(&runEnd_, 0);
}

Fenster::~Fenster() {
    // The reader thread stops before the channels it feeds go.
    board_.disconnectAll();
    destroyWindow();
}

SString Fenster::getVersionString() {
    SString count;
    if (SFileIni* ini = globalResources().getResourceIni()) count = ini->getValue("Build", "Count");
    return version_ + "." + count;
}

int Fenster::showPage(const SString& name) {
    const bool shown = showSplitWindow(name);
    SEvent event;
    event.type = eventPageShown;
    event.code = 10000;
    event.text = name;
    getEventManager().send(event);
    return shown ? 1 : 0;
}

bool Fenster::onPreCreateWindow() {
    setSize(1000, 730);
    if (!SMultiWindow::onPreCreateWindow()) return false;
    setText("Experiment");
    // The programmer's progress reaches the main window through the project's event manager.
    board_.setEventReceiver(&getEventManager());
    return true;
}

void Fenster::onFirstShow() {
    // A program without archive also finds its files in the project folder beside it.
    globalResources().addSearchPath(
        SFileSystem::join(globalApplicationBasic().getProgramDirectory(), projectName_));
    getEventManager().addHandler(this);
    // The channels of "extdata.ini" first (onProjectOpen), then the repository.
    openProject(SString("ini:") + globalResources().getFile("physik.repo"));
    createLayout(layoutXml);
    showPage(startPage_);
    // The stop button stays grey until a measurement runs.
    sendToObject(2002, codeDisable);
    installShortcuts();
}

void Fenster::onGetSplitWindowData(SMultiClientWindowEntry* entry) {
    globalDebug().print(SString("onGetSplitWindowData: ") + entry->name);
    if (entry->name == diagramPane) {
        createDiagrammWindow(diagramNr, 0, 0, -1, -40, true);
        entry->window = diagramPane_;
        return;
    }
    htmlWindows_.appendNew()->create(this, &getEventManager(), entry);
}

int Fenster::onClose() {
    // The board is released: measurement connection closed, the adapter back in programmer
    // mode with the supply on, the port closed.
    if (board_.isConnectedData()) board_.disconnectData();
    if (board_.isConnectedProg()) {
        board_.modeProg();
        board_.powerOnOff(true);
    }
    board_.disconnectAll();
    setMeasuring(false);
    return 1;
}

bool Fenster::onExtDataInit() {
    SFileIni ini;
    const SString path = globalResources().getFile("extdata.ini");
    if (!ini.open(path, false, true)) globalDebug().print(SString("onExtDataInit: ") + path + " fehlt");
    ExtDataSetup::Channels channels{};
    for (std::size_t i = 0; i < channels_.size(); ++i) channels[i] = &channels_[i];
    return ExtDataSetup::setupChannels(ini, channels, board_.getPort(), getProjectData().getExtDataManager());
}

bool Fenster::onProjectClose() {
    getProjectData().getExtDataManager().clear();
    if (board_.isConnectedProg()) {
        board_.modeProg();
        board_.powerOnOff(false);
    }
    board_.disconnectAll();
    return true;
}

void Fenster::onCloseViewWindows() {
    if (diagramPane_) removeSplitWindow(diagramPane, false);
    diagramPane_ = nullptr;
}

std::unique_ptr<ViewHostWindow> Fenster::onCreateViewHost(UniedViewWindow& window, int x, int y, int width, int height,
                                                          bool visible) {
    auto host = std::make_unique<DiagramWindow>(window);
    // A pane's window gets its size from the layout; a size below 1 stands for "as the layout
    // says".
    if (!host->create(this, diagramPane, SRect(x, y, std::max(width, 1), std::max(height, 1)), visible,
                      SWindow::styleClipChildren | SWindow::styleClipSiblings))
        return nullptr;
    diagramPane_ = host.get();
    return host;
}
