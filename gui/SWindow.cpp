#include "gui/SWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include "foundation/SError.h"
#include "gui/SApplication.h"
#include "gui/SColorMap.h"
#include "gui/SCursor.h"
#include "gui/SQtString.h"

namespace {

// The property that leads from a widget back to its window object.
constexpr const char* windowProperty = "nukSWindow";

bool haveWidgetApplication() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// The widget of plain windows: fills the background and paints through the window's onPaint.
class SWindowWidget : public QWidget {
public:
    explicit SWindowWidget(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }

protected:
    void paintEvent(QPaintEvent* event) override {
        SWindow* window = SWindow::fromWidget(this);
        if (!window) return;
        QPainter painter(this);
        const QRect r = event->rect();
        if (window->getBackgroundColor() != SWindow::noColor)
            painter.fillRect(r, SColorMap::toQColor(window->getBackgroundColor()));
        window->onPaint(painter, SRect(r.x(), r.y(), r.width(), r.height()));
    }
};

uint32_t keyStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    uint32_t state = 0;
    if (buttons & Qt::LeftButton) state |= SGuiEvent::keyLeftButton;
    if (buttons & Qt::RightButton) state |= SGuiEvent::keyRightButton;
    if (buttons & Qt::MiddleButton) state |= SGuiEvent::keyMiddleButton;
    if (modifiers & Qt::ShiftModifier) state |= SGuiEvent::keyShift;
    if (modifiers & Qt::ControlModifier) state |= SGuiEvent::keyControl;
    return state;
}

}  // namespace

// Hands the widget's events to the window's hooks. It is an event filter rather than a widget
// subclass, so controls with their own widget class get the same hooks.
class SWindowBridge : public QObject {
public:
    explicit SWindowBridge(SWindow* owner) : owner_(owner) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        QWidget* widget = owner_->widget_.data();
        if (watched != widget || !widget) return false;
        switch (event->type()) {
            case QEvent::Show:
                owner_->reportFirstShow();
                break;
            case QEvent::Resize: {
                owner_->reportFirstShow();
                const QSize s = static_cast<QResizeEvent*>(event)->size();
                owner_->reportSize(s.width(), s.height());
                break;
            }
            case QEvent::Move: {
                const QPoint p = widget->pos();
                owner_->onMove(p.x(), p.y());
                break;
            }
            case QEvent::WindowStateChange:
                owner_->onWindowStateChange();
                break;
            case QEvent::Close: {
                auto* close = static_cast<QCloseEvent*>(event);
                if (owner_->onClose() != 0) {
                    close->accept();
                    // Destroyed once the close event has been delivered: a widget must not be
                    // deleted inside its own event.
                    QPointer<QWidget> guard(widget);
                    SWindow* owner = owner_;
                    QMetaObject::invokeMethod(
                        QCoreApplication::instance(),
                        [guard, owner] {
                            if (guard && SWindow::fromWidget(guard) == owner) owner->destroyWindow();
                        },
                        Qt::QueuedConnection);
                } else {
                    close->ignore();
                }
                return true;
            }
            case QEvent::MouseMove:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
                return mouse(static_cast<QMouseEvent*>(event));
            case QEvent::KeyPress: {
                auto* key = static_cast<QKeyEvent*>(event);
                int vk = SWindow::virtualKey(key->key(), key->modifiers() & Qt::KeypadModifier);
                if (vk == 0) return false;
                return owner_->onKeyDown(vk, keyStateOf(QGuiApplication::mouseButtons(), key->modifiers())) !=
                       0;
            }
            default:
                break;
        }
        return false;
    }

private:
    bool mouse(QMouseEvent* event) {
        int32_t message = SGuiEvent::mouseMove;
        if (event->type() != QEvent::MouseMove) {
            // Only the left button has messages of its own here.
            if (event->button() != Qt::LeftButton) return false;
            message = event->type() == QEvent::MouseButtonPress ? SGuiEvent::leftButtonDown
                                                                : SGuiEvent::leftButtonUp;
        }
        const QPoint p = event->position().toPoint();
        SGuiEvent gui(message, SPoint{p.x(), p.y()}, keyStateOf(event->buttons(), event->modifiers()));
        // The handler may destroy the window and with it this bridge.
        SWindow* owner = owner_;
        int handled = owner->onMouseEvent(gui);
        if (gui.cursorId != 0 && owner->isCreated()) owner->setCursor(gui.cursorId);
        return handled != 0;
    }

    SWindow* owner_;
};

SWindow::SWindow() : background_(globalApplication().getBackgroundColor()) {
    app_ = &globalApplication();
    app_->registerWindow(this);
}

SWindow::~SWindow() {
    if (widget_) {
        if (haveWidgetApplication() && !SApplication::qtClosing())
            destroyWindow();
        else
            abandonWidget();
    }
    if (app_) app_->unregisterWindow(this);
}

SWindow* SWindow::fromWidget(const QWidget* widget) {
    if (!widget) return nullptr;
    QVariant v = widget->property(windowProperty);
    return v.isValid() ? static_cast<SWindow*>(v.value<void*>()) : nullptr;
}

QWidget* SWindow::onCreateWidget(QWidget* parent) {
    return new SWindowWidget(parent);
}

bool SWindow::create(SWindow* parent, const SString& name, const SRect& rect, bool visible, uint32_t style) {
    if (widget_) return false;
    name_ = name;
    rect_ = rect;
    style_ = visible ? (style | styleVisible) : (style & ~static_cast<uint32_t>(styleVisible));
    return createWindow(parent);
}

bool SWindow::createWindow(SWindow* parent) {
    if (widget_ || !haveWidgetApplication() || SApplication::qtClosing()) return false;
    if (parent && !parent->isCreated()) return false;
    parent_ = parent;
    if (!onPreCreateWindow()) return false;

    const bool child = parent && !(style_ & stylePopup);
    if (child) style_ |= styleChild;
    QWidget* widget = onCreateWidget(child ? parent->getWidget() : nullptr);
    if (!widget) return false;
    if (!child && parent) widget->setParent(parent->getWidget(), Qt::Window);
    if (child && widget->parentWidget() != parent->getWidget()) widget->setParent(parent->getWidget());

    widget_ = widget;
    widget->setProperty(windowProperty, QVariant::fromValue(static_cast<void*>(this)));
    widget->setObjectName(toQString(name_));
    widget->setWindowTitle(toQString(text_));
    if (cursorId_ != 0) widget->setCursor(SCursor::shape(cursorId_));
    bridge_ = std::make_unique<SWindowBridge>(this);
    widget->installEventFilter(bridge_.get());
    QObject::connect(widget, &QObject::destroyed, bridge_.get(), [this] { widgetGone(); });

    int width = rect_.width, height = rect_.height;
    if (!child && (width <= 0 || height <= 0)) {
        width = width > 0 ? width : 640;
        height = height > 0 ? height : 480;
    }
    widget->setGeometry(rect_.x, rect_.y, width < 0 ? 0 : width, height < 0 ? 0 : height);
    lastSize_ = SSize{widget->width(), widget->height()};
    firstShown_ = false;
    if (app_) app_->addCreatedWindow(this);

    if (onCreate() < 0) {
        destroyWindow();
        return false;
    }
    if (style_ & styleVisible) {
        if (child)
            widget->show();
        else
            show((style_ & styleMinimize)   ? showMinimized
                 : (style_ & styleMaximize) ? showMaximized
                                            : showNormal);
    }
    if (widget_) onPostCreate();
    return !widget_.isNull();
}

void SWindow::destroyWindow() {
    if (!widget_ || destroying_) return;
    if (!haveWidgetApplication() || SApplication::qtClosing()) {
        abandonWidget();
        return;
    }
    destroying_ = true;
    onDestroy();
    // The child windows go first, each with its own onDestroy while its widget exists.
    QList<QPointer<QWidget>> children;
    if (widget_)
        for (QWidget* w : widget_->findChildren<QWidget*>())
            if (fromWidget(w)) children.append(w);
    for (const QPointer<QWidget>& w : children)
        if (SWindow* c = fromWidget(w); w && c && c != this) c->destroyWindow();
    QWidget* widget = widget_.data();
    detachWidget();
    delete widget;
    destroying_ = false;

    if (app_ && app_->getMainWindow() == this) {
        globalError().showLog();
        QCoreApplication::quit();
    }
}

void SWindow::detachWidget() {
    if (QWidget* widget = widget_.data()) {
        if (bridge_) {
            widget->removeEventFilter(bridge_.get());
            QObject::disconnect(widget, nullptr, bridge_.get(), nullptr);
        }
        widget->setProperty(windowProperty, QVariant());
    }
    widget_.clear();
    bridge_.reset();
    if (app_) app_->removeCreatedWindow(this);
}

void SWindow::abandonWidget() {
    // Qt is going: the widget is left to the process's end.
    if (QWidget* widget = widget_.data()) widget->setProperty(windowProperty, QVariant());
    widget_.clear();
    bridge_.reset();
    if (app_) app_->removeCreatedWindow(this);
}

void SWindow::widgetGone() {
    // Deleted by somebody else (its Qt parent): the window object stays without widget.
    widget_.clear();
    bridge_.release()->deleteLater();
    if (app_) app_->removeCreatedWindow(this);
    onDestroy();
}

bool SWindow::setParent(SWindow* parent) {
    if (!widget_ || !parent || !parent->widget_ || parent == this) return false;
    const bool shown = !widget_->isHidden();
    const QRect geometry = widget_->geometry();
    widget_->setParent(parent->widget_);
    widget_->setGeometry(geometry);
    if (shown) widget_->show();
    parent_ = parent;
    style_ = (style_ | styleChild) & ~static_cast<uint32_t>(stylePopup);
    return true;
}

void SWindow::setName(const SString& name) {
    name_ = name;
    if (widget_) widget_->setObjectName(toQString(name));
}

void SWindow::setText(const SString& text) {
    text_ = text;
    if (widget_) widget_->setWindowTitle(toQString(text));
}

void SWindow::move(int x, int y, int width, int height, bool repaint) {
    rect_ = SRect(x, y, width, height);
    if (!widget_) return;
    widget_->setGeometry(x, y, width < 0 ? 0 : width, height < 0 ? 0 : height);
    if (!widget_->isVisible()) reportSize(widget_->width(), widget_->height());
    if (repaint) widget_->update();
}

void SWindow::setSize(int width, int height) {
    SRect r = getWindowRect();
    move(r.x, r.y, width, height);
}

void SWindow::setPosition(int x, int y) {
    SRect r = getWindowRect();
    move(x, y, r.width, r.height);
}

SRect SWindow::getWindowRect() const {
    if (!widget_) return rect_;
    const QRect g = widget_->geometry();
    return SRect(g.x(), g.y(), g.width(), g.height());
}

SRect SWindow::getClientRect() const {
    if (!widget_) return SRect(0, 0, rect_.width, rect_.height);
    return SRect(0, 0, widget_->width(), widget_->height());
}

void SWindow::show(int mode) {
    if (mode == showHide)
        style_ &= ~static_cast<uint32_t>(styleVisible);
    else
        style_ |= styleVisible;
    if (!widget_) return;
    const bool topLevel = widget_->isWindow();
    switch (mode) {
        case showHide:
            widget_->hide();
            break;
        case showMinimized:
            topLevel ? widget_->showMinimized() : widget_->show();
            break;
        case showMaximized:
            topLevel ? widget_->showMaximized() : widget_->show();
            break;
        default:
            topLevel ? widget_->showNormal() : widget_->show();
            break;
    }
}

bool SWindow::isVisible() const {
    return widget_ && widget_->isVisible();
}

bool SWindow::isShown() const {
    return widget_ && !widget_->isHidden();
}

bool SWindow::isMaximized() const {
    return widget_ && widget_->isMaximized();
}

bool SWindow::isMinimized() const {
    return widget_ && widget_->isMinimized();
}

void SWindow::setFocus() {
    if (widget_) widget_->setFocus(Qt::OtherFocusReason);
}

void SWindow::activate() {
    if (!widget_) return;
    QWidget* window = widget_->window();
    window->raise();
    window->activateWindow();
}

void SWindow::bringToTop() {
    if (widget_) widget_->raise();
}

bool SWindow::close() {
    if (!widget_) return false;
    return widget_->close();
}

void SWindow::setApplicationTick(bool wanted) {
    wantsTick_ = wanted;
    if (app_) app_->updateTick();
}

void SWindow::invalidate() {
    if (widget_) widget_->update();
}

void SWindow::setCursor(int cursorId) {
    cursorId_ = cursorId;
    if (widget_) widget_->setCursor(SCursor::shape(cursorId));
}

void SWindow::setBackgroundColor(uint32_t color) {
    background_ = color;
    if (widget_) widget_->update();
}

void SWindow::reportFirstShow() {
    if (firstShown_) return;
    firstShown_ = true;
    onFirstShow();
}

void SWindow::reportSize(int width, int height) {
    if (lastSize_.cx == width && lastSize_.cy == height) return;
    lastSize_ = SSize{width, height};
    onSize(width, height);
}

int SWindow::dragDistance() {
    return QApplication::startDragDistance();
}

int SWindow::virtualKey(int qtKey, bool keypad) {
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return 0x60 + (qtKey - Qt::Key_0);
        switch (qtKey) {
            case Qt::Key_Asterisk:
                return 0x6A;
            case Qt::Key_Plus:
                return 0x6B;
            case Qt::Key_Minus:
                return 0x6D;
            case Qt::Key_Period:
            case Qt::Key_Comma:
                return 0x6E;
            case Qt::Key_Slash:
                return 0x6F;
            default:
                break;
        }
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
            return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Shift:
            return 0x10;
        case Qt::Key_Control:
            return 0x11;
        case Qt::Key_Alt:
            return 0x12;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        case Qt::Key_Plus:
            return 0xBB;
        case Qt::Key_Minus:
            return 0xBD;
        default:
            return 0;
    }
}
