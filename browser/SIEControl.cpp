#include "browser/SIEControl.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include "browser/SHtmlScript.h"
#include "browser/SIEPage.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "gui/SQtString.h"

namespace {

const char* const schemes[] = {"cmd", "wnd"};

bool enginePrepared = false;

// Addresses of the application's schemes are commands, never documents: a request that gets
// through anyway (from a sub-frame) is refused.
class CommandSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

// The handlers live as long as the profile.
void installSchemeHandlers(QWebEngineProfile* profile) {
    for (const char* name : schemes) {
        const QByteArray scheme(name);
        if (!profile->urlSchemeHandler(scheme))
            profile->installUrlSchemeHandler(scheme, new CommandSchemeHandler(profile));
    }
}

// The pane's frame hands the keyboard focus on to the widget inside the view that takes the
// keys (the view's own focus proxy, which the view replaces when its page gets a new render
// widget), so the frame's focus proxy is that widget, as a view's is for a view that is the
// pane itself.
class FocusFollower : public QObject {
public:
    FocusFollower(QWidget* frame, QWidget* view) : QObject(frame), frame_(frame), view_(view) {
        view->installEventFilter(this);
        follow();
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == view_ && (event->type() == QEvent::ChildPolished || event->type() == QEvent::ChildRemoved))
            follow();
        return false;
    }

private:
    void follow() {
        if (!frame_ || !view_) return;
        QWidget* inner = view_->focusProxy() ? view_->focusProxy() : view_.data();
        if (frame_->focusProxy() != inner) frame_->setFocusProxy(inner);
    }
    QPointer<QWidget> frame_;
    QPointer<QWidget> view_;
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void SIEControl::prepareEngine() {
    if (QCoreApplication::instance()) {
        globalDebug().print("SIEControl::prepareEngine() zu sp\xE4t: die QApplication existiert schon");
        return;
    }
    for (const char* name : schemes) {
        QWebEngineUrlScheme scheme(name);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        // Local pages (files) may link to them.
        scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    enginePrepared = true;
}

bool SIEControl::isEnginePrepared() {
    return enginePrepared;
}

bool SIEControl::isCommandScheme(const QString& scheme) {
    for (const char* name : schemes)
        if (scheme.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return true;
    return false;
}

SIEControl::SIEControl() = default;

SIEControl::~SIEControl() {
    destroyWindow();
}

QWidget* SIEControl::onCreateWidget(QWidget* parent) {
    // The engine replaces the browser version check: without the schemes the pages' links
    // would silently do nothing.
    if (!enginePrepared) {
        globalError().showMessage(
            "Der Browser kann die Befehle der Seiten nicht empfangen: SIEControl::prepareEngine() wurde "
            "nicht "
            "vor dem Start der Anwendung aufgerufen.");
    }
    // The browser fills this frame once it is made; until then the pane shows the frame's
    // background.
    auto* frame = new QWidget(parent);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The timer goes with the frame: a control destroyed before it fires makes no browser.
    QTimer::singleShot(0, frame, [this] { createBrowser(); });
    return frame;
}

void SIEControl::createBrowser() {
    QWidget* frame = getWidget();
    if (view_ || !frame) return;
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    installSchemeHandlers(profile);
    view_ = new QWebEngineView(frame);
    page_ = new SIEPage(this, view_);
    view_->setPage(page_);
    frame->layout()->addWidget(view_);
    // Keys and focus given to the pane reach the page.
    const bool focused = frame->hasFocus();
    new FocusFollower(frame, view_);
    if (focused) view_->setFocus();
    if (!pendingUrl_.isEmpty()) {
        const QUrl url = pendingUrl_;
        pendingUrl_.clear();
        page_->loadApproved(url);
    }
}

void SIEControl::onDestroy() {
    if (page_) page_->detach();
    page_ = nullptr;
    view_ = nullptr;
    pendingUrl_.clear();
}

QWebEngineView* SIEControl::getView() const {
    const_cast<SIEControl*>(this)->createBrowser();
    return view_;
}

SIEPage* SIEControl::getPage() const {
    const_cast<SIEControl*>(this)->createBrowser();
    return page_;
}

QUrl SIEControl::toUrl(const SString& path) {
    const QString text = toQString(path);
    if (text.isEmpty()) return QUrl(QStringLiteral("about:blank"));
    QFileInfo file(text);
    const int colon = text.indexOf(QLatin1Char(':'));
    // "c:..." counts as a scheme, but a path with a slash before any colon is a file.
    const int slash = text.indexOf(QLatin1Char('/'));
    const bool hasScheme = colon > 1 && (slash < 0 || colon < slash);
    if (file.exists() || (!hasScheme && slash >= 0)) return QUrl::fromLocalFile(file.absoluteFilePath());
    return QUrl(text);
}

void SIEControl::navigate(const SString& path) {
    if (!getWidget()) return;
    const QUrl url = toUrl(path);
    // Navigate asks the hook as every navigation does; here no browser callback is running, so
    // the hook can run at once.
    if (beforeNavigate(url, QWebEnginePage::NavigationTypeTyped)) return;
    if (page_)
        page_->loadApproved(url);
    else if (getWidget())
        pendingUrl_ = url;
}

bool SIEControl::beforeNavigate(const QUrl& url, int flags) {
    return onBeforeNavigate2(flags, decodeAddress(url.toEncoded()));
}

bool SIEControl::onBeforeNavigate2(int flags, const SString& address) {
    (void)flags;
    (void)address;
    return false;
}

void SIEControl::documentComplete() {
    onDocumentComplete();
}

SHtmlDocument2 SIEControl::getDocument() {
    createBrowser();
    QVariant token;
    if (!SHtmlScript::call(page_, "doc", {}, &token) || token.toString().isEmpty()) {
        globalError().showMessage("Das Dokument-Objekt konnte nicht ermittelt werden", 0, "Fehler !",
                                  SError::iconError);
        return {};
    }
    return SHtmlDocument2(page_, token.toString());
}

SString SIEControl::decodeAddress(const QByteArray& encoded) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(encoded.size()));
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded.at(i);
        if (c == '%' && i + 2 < encoded.size() && hexValue(encoded.at(i + 1)) >= 0 &&
            hexValue(encoded.at(i + 2)) >= 0) {
            bytes += static_cast<char>(hexValue(encoded.at(i + 1)) * 16 + hexValue(encoded.at(i + 2)));
            i += 2;
        } else {
            bytes += c;
        }
    }
    // Browsers encode addresses as UTF-8; a byte sequence that is not UTF-8 came from a page
    // in its own code page.
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(raw);
    if (utf8.hasError()) return SString(std::move(bytes));
    return toSString(text);
}
