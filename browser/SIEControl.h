// The browser host window: an embedded browser (Qt WebEngine) as a child window, with the
// before-navigate and document-complete hooks and synchronous access to the shown document.
#pragma once

#include <QByteArray>
#include <QUrl>

#include "browser/SHtmlDocument2.h"
#include "gui/SWindow.h"

class QWebEngineView;
class SIEPage;

// Every navigation of the main frame (a link, a script, navigate) is offered to
// onBeforeNavigate2 first; a true result cancels it.
// - Addresses of the application's schemes "cmd:" and "wnd:" are commands, never documents:
//   the browser is told "no" at once, and the hook runs on the GUI thread from a timer as soon
//   as the browser has ended that navigation. There it may run document operations and wait
//   (a command may take long). Should the hook let such a navigation go on, the browser is
//   sent there again.
// - Any other address is a document: the hook runs inside the browser's callback and decides
//   there. It must not wait; document operations are refused there (the browser cannot run
//   scripts from inside that callback).
// - navigate asks the hook itself before it starts the browser.
// Navigations of sub-frames are not offered (the pages have none).
//
// Document complete: once per successful load of the main frame, from a timer.
//
// The browser itself (view and page) is made just after the control's window, once the event
// loop runs again (a zero timer), or at once when something asks for it (getView, getPage,
// getDocument). The first browser of the process starts the engine, which takes long; made
// this way, a window full of browser panes is on the screen before the engine starts, and the
// panes fill in as their pages arrive. A navigate before then is remembered and loaded as the
// browser is made.
class SIEControl : public SWindow {
public:
    S_CLASSNAME(SIEControl)

    // Longest wait for the browser to answer one document operation.
    static constexpr int scriptTimeoutMs = 2000;

    // Prepares the browser engine: registers the address schemes "cmd" and "wnd" (links to
    // them reach onBeforeNavigate2 only when the engine knows them) and lets the browser share
    // the GUI's graphics context. Must run before the QApplication is made.
    static void prepareEngine();
    // Whether prepareEngine ran before the QApplication was made.
    static bool isEnginePrepared();

    SIEControl();
    // Deletes the browser.
    ~SIEControl() override;

    // Loads a file (a path) or an address ("file:", "http:", "about:blank" ...). The hook
    // onBeforeNavigate2 is asked first, as for every other navigation.
    void navigate(const SString& path);
    // The document shown; an invalid one (after a message box) when there is none.
    SHtmlDocument2 getDocument();

    // Called before the browser navigates: flags is the kind of navigation (QWebEnginePage's
    // NavigationType: 0 link, 1 typed or navigate, 2 form, 3 back/forward, 4 reload, 5 other,
    // 6 redirect), address the decoded address. true cancels the navigation.
    virtual bool onBeforeNavigate2(int flags, const SString& address);
    // A document finished loading successfully.
    virtual void onDocumentComplete() {}

    // The browser's view and page; made here if they are not yet.
    QWebEngineView* getView() const;
    SIEPage* getPage() const;
    // Whether the browser has been made.
    bool hasBrowser() const { return view_ != nullptr; }

    // An address as the browser hands it over (percent-encoded: UTF-8, a backslash as %5C)
    // as a Windows-1252 string: percent escapes decoded, then UTF-8 converted. Bytes that are
    // not UTF-8 are taken as Windows-1252 already.
    static SString decodeAddress(const QByteArray& encoded);
    // Whether the scheme is one of the application's command schemes ("cmd", "wnd").
    static bool isCommandScheme(const QString& scheme);
    // The address of a path for navigate: an existing file (or any path with a slash and no
    // scheme) becomes a file address; anything else is taken as an address.
    static QUrl toUrl(const SString& path);

protected:
    QWidget* onCreateWidget(QWidget* parent) override;
    void onDestroy() override;

private:
    friend class SIEPage;
    // Called by the page: the deferred hooks.
    bool beforeNavigate(const QUrl& url, int flags);
    void documentComplete();
    // Makes view and page in the control's widget and loads the remembered address.
    void createBrowser();

    QWebEngineView* view_ = nullptr;
    SIEPage* page_ = nullptr;
    // The address navigate approved before the browser was there.
    QUrl pendingUrl_;
};
