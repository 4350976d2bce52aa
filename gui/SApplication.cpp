#include "gui/SApplication.h"

#include <algorithm>

#include <QApplication>
#include <QTimer>

#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SEventLoop.h"
#include "foundation/SFileSystem.h"
#include "foundation/SResources.h"
#include "gui/SColorMap.h"
#include "gui/SMessageBox.h"
#include "gui/SQtEventLoop.h"
#include "gui/SWindow.h"
#include "platform/Paths.h"

namespace {

// The application objects alive, in order of construction.
std::vector<SApplication*>& liveApplications() {
    static std::vector<SApplication*> applications;
    return applications;
}

bool qtGone = false;
bool postRoutineAdded = false;

bool haveWidgetApplication() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

SApplication& globalApplication() {
    if (!liveApplications().empty()) return *liveApplications().back();
    static SApplication onDemand;
    return onDemand;
}

SApplication::SApplication() : backgroundColor_(SColorMap::rgb(140, 140, 160)) {
    liveApplications().push_back(this);
}

SApplication::~SApplication() {
    stopTick();
    if (messageBoxes_) SMessageBox::uninstall();
    if (eventLoop_) {
        if (&eventLoop() == eventLoop_.get()) setEventLoop(nullptr);
        eventLoop_.reset();
    }
    for (SWindow* window : windows_) window->app_ = nullptr;
    std::erase(liveApplications(), this);
}

bool SApplication::qtClosing() {
    return qtGone || !QCoreApplication::instance();
}

void SApplication::qtShutdown() {
    // Runs inside the QApplication's destructor: timers still die cleanly, widgets are left.
    qtGone = true;
    for (SApplication* app : liveApplications()) app->shutdown();
}

void SApplication::installQt() {
    if (!postRoutineAdded) {
        qAddPostRoutine(&SApplication::qtShutdown);
        postRoutineAdded = true;
    }
    if (!eventLoop_) {
        eventLoop_ = std::make_unique<SQtEventLoop>();
        setEventLoop(eventLoop_.get());
    }
    SMessageBox::install();
    messageBoxes_ = true;
    // The main window's destruction ends the event loop; the last window's close must not.
    // The windows are destroyed by shutdown() once the event loop has returned, not when it is
    // asked to end: newer Qt (6.8) emits aboutToQuit from inside exit(), so a handler that
    // quits (or a wait nested in one) would find its windows and this loop gone beneath it.
    QApplication::setQuitOnLastWindowClosed(false);
}

SStringList SApplication::programArguments(const SStringList& arguments) {
    SStringList args = arguments;
    const SString exe(platform::executablePath());
    if (args.isEmpty())
        args.add(exe);
    else if (!SFileSystem::exists(args.getAt(0)) || SFileSystem::isDirectory(args.getAt(0)))
        args.setAt(0, exe);
    return args;
}

bool SApplication::init(int argc, char** argv) {
    SStringList args;
    for (int i = 0; i < argc; ++i)
        if (argv[i] && argv[i][0]) args.add(SString(std::string(argv[i])));
    return init(args);
}

bool SApplication::init(const SStringList& arguments) {
    if (!haveWidgetApplication()) {
        globalError().showMessage("SApplication::init(..): Es gibt noch keine QApplication.");
        return false;
    }
    installQt();

    SApplicationBasic& basic = globalApplicationBasic();
    basic.setArguments(programArguments(arguments));
    globalResources().setApplicationDirectory(basic.getProgramDirectory());
    globalResources().setExecutablePath(basic.getProgramPath());
    globalResources().init();
    // The texts of the program's language, before the first window is made.
    globalResources().loadLanguage(SString(language_));

    startTick();

    SWindow* main = mainWindow_;
    if (!main) {
        globalError().showMessage(
            "Die Anwendnung konnte nicht gestartet \r\nwerden, da kein Hauptfenster existiert.\r\n\r\n"
            "Verwenden Sie den Kelo-Main-Assistenten zur automatischen Erzeugung.",
            0, "FEHLER", SError::iconError);
        return false;
    }
    main->addStyle(SWindow::stylePopup);
    if (!main->createWindow(nullptr)) return false;

    // The window's own style decides how it shows; the desktop's show mode is not asked.
    const uint32_t style = main->getStyle();
    if (style & SWindow::styleMinimize) {
        main->show(SWindow::showMinimized);
    } else {
        main->activate();
        main->show((style & SWindow::styleMaximize) ? SWindow::showMaximized : SWindow::showNormal);
        main->invalidate();
    }
    main->activate();
    return main->isCreated();
}

void SApplication::shutdown() {
    // Top-level windows first; each takes its children along.
    std::vector<SWindow*> created = created_;
    for (auto it = created.rbegin(); it != created.rend(); ++it)
        if (isCreated(*it) && (*it)->getWidget() && (*it)->getWidget()->isWindow()) (*it)->destroyWindow();
    created = created_;
    for (auto it = created.rbegin(); it != created.rend(); ++it)
        if (isCreated(*it)) (*it)->destroyWindow();

    stopTick();
    if (messageBoxes_) {
        SMessageBox::uninstall();
        messageBoxes_ = false;
    }
    if (eventLoop_) {
        if (&eventLoop() == eventLoop_.get()) setEventLoop(nullptr);
        eventLoop_.reset();
    }
}

bool SApplication::isCreated(const SWindow* window) const {
    return std::find(created_.begin(), created_.end(), window) != created_.end();
}

void SApplication::startTick() {
    if (tickTimer_ || !QCoreApplication::instance() || qtGone) return;
    tickTimer_ = new QTimer();
    tickTimer_->setInterval(tickPeriodMs);
    QObject::connect(tickTimer_, &QTimer::timeout, tickTimer_, [this] { tick(); });
    tickAllowed_ = true;
    updateTick();
}

void SApplication::updateTick() {
    // After Qt has gone the timer is left alone, as stopTick does.
    if (!tickTimer_ || !tickAllowed_ || !QCoreApplication::instance()) return;
    const bool wanted = std::any_of(created_.begin(), created_.end(),
                                    [](const SWindow* window) { return window->wantsApplicationTick(); });
    if (wanted == tickTimer_->isActive()) return;
    if (wanted) {
        tickTimer_->start();
        tickTimerId_ = tickTimer_->timerId();
    } else {
        tickTimer_->stop();
        tickTimerId_ = 0;
    }
}

void SApplication::stopTick() {
    tickAllowed_ = false;
    if (!tickTimer_) return;
    // After Qt has gone the timer is left to the process's end.
    if (QCoreApplication::instance()) {
        tickTimer_->stop();
        delete tickTimer_;
    }
    tickTimer_ = nullptr;
    tickTimerId_ = 0;
}

bool SApplication::isTickRunning() const {
    return tickTimer_ && tickTimer_->isActive();
}

void SApplication::tick() {
    // A window may go during another one's tick.
    std::vector<SWindow*> created = created_;
    for (SWindow* window : created)
        if (isCreated(window) && window->wantsApplicationTick()) window->onApplicationTick(tickTimerId_);
}

void SApplication::registerWindow(SWindow* window) {
    windows_.push_back(window);
    if (!mainWindow_) mainWindow_ = window;
}

void SApplication::unregisterWindow(SWindow* window) {
    std::erase(windows_, window);
    removeCreatedWindow(window);
    if (mainWindow_ == window) mainWindow_ = nullptr;
}

void SApplication::addCreatedWindow(SWindow* window) {
    if (!isCreated(window)) created_.push_back(window);
    updateTick();
}

void SApplication::removeCreatedWindow(SWindow* window) {
    std::erase(created_, window);
    updateTick();
}
