// Base of the window objects: a C++ object that owns a QWidget from its creation on.
#pragma once

#include <cstdint>
#include <memory>

#include <QPointer>
#include <QWidget>

#include "foundation/SGeometry.h"
#include "foundation/SString.h"
#include "gui/SGuiEvent.h"

class QPainter;
class SApplication;
class SWindowBridge;

// A window object exists before its widget: the global main window is constructed before the
// QApplication, and Qt allows no widget then. The widget is made by create and goes with
// destroyWindow (or with the object). Until creation, name, text, rectangle and style are kept
// in the object; onPreCreateWindow may still change them.
//
// Geometry is in pixels. The rectangle of a child window is relative to its parent's client
// area; that of a top-level window is the screen position of its client area (the frame the
// window manager draws around it is not counted).
//
// Every window object registers with the application object on construction; the first one
// registered becomes the main window. Destroying the main window's widget shows the error log
// and ends the application's event loop.
class SWindow : public SObject {
public:
    S_CLASSNAME(SWindow)

    // Style bits (the values of the Win32 window styles the window code names).
    enum Style : uint32_t {
        stylePopup = 0x80000000,  // a top-level window even when a parent is given
        styleChild = 0x40000000,
        styleMinimize = 0x20000000,
        styleVisible = 0x10000000,
        styleDisabled = 0x08000000,
        styleClipSiblings = 0x04000000,
        styleClipChildren = 0x02000000,
        styleMaximize = 0x01000000,
        styleCaption = 0x00C00000,
        styleSysMenu = 0x00080000,
        styleThickFrame = 0x00040000,
        styleMinimizeBox = 0x00020000,
        styleMaximizeBox = 0x00010000,
        styleOverlappedWindow = 0x00CF0000,
    };
    // Show modes.
    enum ShowMode : int {
        showHide = 0,
        showNormal = 1,
        showMinimized = 2,
        showMaximized = 3,
        showRestore = 9,
    };
    // No colour (0x00BBGGRR values otherwise).
    static constexpr uint32_t noColor = 0xFFFFFFFF;

    SWindow();
    // Destroys the widget. A derived class whose onDestroy must run calls destroyWindow in its
    // own destructor, since the base destructor can only reach the base hooks.
    ~SWindow() override;
    SWindow(const SWindow&) = delete;
    SWindow& operator=(const SWindow&) = delete;

    // Makes the widget: a child of parent's widget when a parent is given (unless the style has
    // the popup bit), else a top-level window. Calls onPreCreateWindow before the widget
    // exists, onCreate after (a negative result destroys it again and fails), onPostCreate at
    // the end. Fails without a QApplication, with a parent that has no widget, or when the
    // window exists already.
    bool create(SWindow* parent, const SString& name, const SRect& rect, bool visible = true,
                uint32_t style = 0);
    // The same with the name, rectangle and style set before.
    bool createWindow(SWindow* parent = nullptr);
    // Runs onDestroy, destroys the child windows, deletes the widget.
    void destroyWindow();
    bool isCreated() const { return !widget_.isNull(); }

    QWidget* getWidget() const { return widget_.data(); }
    // The window object a widget belongs to, or nullptr.
    static SWindow* fromWidget(const QWidget* widget);
    SWindow* getParentWindow() const { return parent_; }
    // Moves the widget into another window (its visibility and position stay).
    bool setParent(SWindow* parent);

    const SString& getName() const { return name_; }
    void setName(const SString& name);
    // The title of a top-level window; the text of any window.
    void setText(const SString& text);
    const SString& getText() const { return text_; }

    uint32_t getStyle() const { return style_; }
    void setStyle(uint32_t style) { style_ = style; }
    void addStyle(uint32_t bits) { style_ |= bits; }
    void removeStyle(uint32_t bits) { style_ &= ~bits; }

    void move(int x, int y, int width, int height, bool repaint = true);
    void move(const SRect& rect, bool repaint = true) {
        move(rect.x, rect.y, rect.width, rect.height, repaint);
    }
    void setSize(int width, int height);
    void setPosition(int x, int y);
    // Position and size (relative to the parent, or on the screen for a top-level window).
    SRect getWindowRect() const;
    // 0, 0, width, height.
    SRect getClientRect() const;

    // Shows in a mode; showNormal and showRestore restore a minimised or maximised top-level
    // window and simply show a child.
    void show(int mode = showNormal);
    void hide() { show(showHide); }
    // Visible on the screen: shown itself and all its parents.
    bool isVisible() const;
    // Shown itself, whatever its parents are.
    bool isShown() const;
    bool isMaximized() const;
    bool isMinimized() const;
    void setFocus();
    // Makes a top-level window the active one (brought to the front).
    void activate();
    // Puts the window above its siblings.
    void bringToTop();
    // Asks the window to close, as the user's close button does: onClose decides. Returns
    // whether it closes.
    bool close();
    // Repaints the window.
    void invalidate();

    // Mouse cursor over this window by its SCursor id.
    void setCursor(int cursorId);
    int getCursor() const { return cursorId_; }
    // Background of the window's own painting (0x00BBGGRR; noColor paints none). Windows start
    // with the application's background colour.
    void setBackgroundColor(uint32_t color);
    uint32_t getBackgroundColor() const { return background_; }

    // Hooks.
    // Before the widget exists; may change name, text, rectangle and style. false cancels.
    virtual bool onPreCreateWindow() { return true; }
    // Makes the widget this window owns. The default is a plain widget that paints through
    // onPaint; controls return their own widget (the events reach the hooks all the same).
    virtual QWidget* onCreateWidget(QWidget* parent);
    // The widget exists; a negative result fails the creation.
    virtual int onCreate() { return 0; }
    virtual void onPostCreate() {}
    // Once: at the first show or resize event the widget receives.
    virtual void onFirstShow() {}
    // The client area changed its size (also while the window is hidden).
    virtual void onSize(int width, int height) {
        (void)width;
        (void)height;
    }
    // The window moved (top-level: on the screen).
    virtual void onMove(int x, int y) {
        (void)x;
        (void)y;
    }
    // Maximised, minimised or restored.
    virtual void onWindowStateChange() {}
    // The user (or close) asks to close the window; nonzero lets it close and be destroyed.
    virtual int onClose() { return 1; }
    // The widget is about to go (it still exists).
    virtual void onDestroy() {}
    // Mouse move and left button events; nonzero means handled (no default processing).
    virtual int onMouseEvent(SGuiEvent& event) {
        (void)event;
        return 0;
    }
    // A key went down: its Win32 virtual-key code and the key-state flags; nonzero: handled.
    virtual int onKeyDown(int virtualKey, uint32_t keyState) {
        (void)virtualKey;
        (void)keyState;
        return 0;
    }
    // Paints the area (client pixels) after the background was filled.
    virtual void onPaint(QPainter& painter, const SRect& area) {
        (void)painter;
        (void)area;
    }
    // The application tick: every 10 ms, with the tick's timer id, to every created window that
    // asked for it with setApplicationTick(true).
    virtual void onApplicationTick(int timerId) { (void)timerId; }
    // Whether this window gets the application tick. Off by default: the tick wakes the program
    // a hundred times a second, so it runs only while a created window wants it.
    void setApplicationTick(bool wanted);
    bool wantsApplicationTick() const { return wantsTick_; }

    // The Win32 virtual-key code of a Qt key (0 when there is none).
    static int virtualKey(int qtKey, bool keypad);
    // How far (in pixels, x plus y) the mouse must move with the button held before a press
    // becomes a drag, as the platform tells a click from a drag.
    static int dragDistance();

private:
    friend class SApplication;
    friend class SWindowBridge;

    // Sizes reported through onSize; hidden widgets get no resize events from Qt until they
    // are shown, so moves of hidden windows report their size themselves.
    void reportSize(int width, int height);
    void reportFirstShow();
    void widgetGone();
    // Forgets the widget without deleting it (when Qt is already shutting down).
    void abandonWidget();
    void detachWidget();

    QPointer<QWidget> widget_;
    std::unique_ptr<SWindowBridge> bridge_;
    SApplication* app_ = nullptr;
    bool wantsTick_ = false;
    SWindow* parent_ = nullptr;
    SString name_;
    SString text_;
    SRect rect_;
    uint32_t style_ = 0;
    uint32_t background_;
    int cursorId_ = 0;
    SSize lastSize_;
    bool firstShown_ = false;
    bool destroying_ = false;
};
