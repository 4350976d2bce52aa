#include "app/Fenster.h"

#include <algorithm>

#include "app/DiagramWindow.h"
#include "app/MainWindowLayout.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SFileIni.h"
#include "foundation/SFileSystem.h"
#include "foundation/SResources.h"
#include "gui/SShortcut.h"
#include "multiwindow/SMultiClientWindowEntry.h"
#include "view/Painter_Oszi.h"

const char* const Fenster::layoutXml = mainWindowLayout;

namespace {

const char* const diagramPane = "Durchf\xFChrung";

}  // namespace

Fenster::Fenster() : version_("1.3"), projectName_("NUK-optional-e01-Kondensator") {
    // The window opens where the user left it.
    rememberPlacement_ = true;
    session_.addObserver(this);
}

Fenster::~Fenster() {
    // The diagram outlives the session (it goes with the base class): its evaluations no
    // longer reach the session.
    for (const ChannelModel::Curve& curve : model_.getCurves())
        if (auto* oszi = dynamic_cast<Painter_Oszi*>(findPainter(curve.objNr)))
            oszi->getEvaluation().setResultListener(nullptr);
    session_.removeObserver(this);
    // The reader thread stops before the channels it feeds go.
    session_.getBoard().disconnectAll();
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
    session_.getBoard().setEventReceiver(&getEventManager());
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
    onProjectLoaded();
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
    // The board is released: a run on is stopped, the measurement connection closed, the
    // adapter back in programmer mode with the supply on, the port closed.
    session_.release();
    return 1;
}

bool Fenster::onExtDataInit() {
    SFileIni ini;
    const SString path = globalResources().getFile("extdata.ini");
    if (!ini.open(path, false, true)) globalDebug().print(SString("onExtDataInit: ") + path + " fehlt");
    return session_.setupChannels(ini, getProjectData().getExtDataManager());
}

void Fenster::onProjectLoaded() {
    model_ = ChannelModel::build(getProjectData().getExtDataManager(), getProjectData().getRepo());
    if (!model_.isComplete()) globalDebug().print("FEHLER: Fenster: das Diagramm zeigt nicht beide Halbzyklen und beide Anzeigen");
    // The diagram's evaluation of each half cycle reaches the session's observers (the live
    // view shows the same time constants as the text boxes).
    for (const ChannelModel::Curve& curve : model_.getCurves()) {
        auto* oszi = dynamic_cast<Painter_Oszi*>(findPainter(curve.objNr));
        if (!oszi) continue;
        const HalfCycle phase = curve.phase;
        oszi->getEvaluation().setResultListener(
            [this, phase](const TauResult& result) { session_.reportEvaluation(phase, result); });
    }
}

void Fenster::onProjectReloaded() {
    onProjectLoaded();
    showButtonStates();
}

bool Fenster::onProjectClose() {
    getProjectData().getExtDataManager().clear();
    session_.releaseForClose();
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
