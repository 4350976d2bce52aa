#include "gui/STabControl.h"

#include <QBitmap>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QSignalBlocker>
#include <QTabBar>

#include "foundation/SFileSystem.h"
#include "gui/SQtString.h"
#include "gui/SWindow.h"

struct STabControl::Impl {
    // The parent's widget owns the bar; the pointer clears itself when the parent goes first.
    QPointer<QTabBar> bar;
};

STabControl::STabControl() : impl_(std::make_unique<Impl>()) {}

STabControl::~STabControl() {
    // The owner is going: no more selection reports to it.
    if (impl_->bar) impl_->bar->disconnect();
}

bool STabControl::create(SWindow& parent, std::function<void(int)> selectionChanged) {
    if (impl_->bar || !parent.getWidget()) return false;
    impl_->bar = new QTabBar(parent.getWidget());
    impl_->bar->setDrawBase(true);
    impl_->bar->setExpanding(false);
    QObject::connect(impl_->bar.data(), &QTabBar::currentChanged, impl_->bar.data(),
                     [report = std::move(selectionChanged)](int index) {
                         if (report) report(index);
                     });
    impl_->bar->show();
    return true;
}

bool STabControl::isCreated() const { return !impl_->bar.isNull(); }

void STabControl::setImageSize(int pixels) {
    if (impl_->bar) impl_->bar->setIconSize(QSize(pixels, pixels));
}

int STabControl::addTab(const SString& title, const SString& imagePath) {
    if (!impl_->bar) return -1;
    QIcon icon;
    if (!imagePath.isEmpty() && SFileSystem::exists(imagePath)) {
        QImage image(toQString(imagePath));
        if (!image.isNull()) {
            const QSize size = impl_->bar->iconSize();
            image = image.scaled(size).convertToFormat(QImage::Format_ARGB32);
            QPixmap pixmap = QPixmap::fromImage(image);
            pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, 0), Qt::MaskOutColor)));
            icon = QIcon(pixmap);
        }
    }
    return impl_->bar->addTab(icon, toQString(title));
}

void STabControl::removeTab(int index) {
    if (!impl_->bar) return;
    const QSignalBlocker block(impl_->bar.data());
    impl_->bar->removeTab(index);
}

int STabControl::getCount() const { return impl_->bar ? impl_->bar->count() : 0; }

SString STabControl::getTitle(int index) const {
    if (!impl_->bar || index < 0 || index >= impl_->bar->count()) return SString();
    return toSString(impl_->bar->tabText(index));
}

bool STabControl::hasImage(int index) const {
    return impl_->bar && index >= 0 && index < impl_->bar->count() && !impl_->bar->tabIcon(index).isNull();
}

int STabControl::getCurrent() const { return impl_->bar ? impl_->bar->currentIndex() : -1; }

void STabControl::setCurrent(int index) {
    if (impl_->bar) impl_->bar->setCurrentIndex(index);
}

int STabControl::getHeight() const { return impl_->bar ? impl_->bar->sizeHint().height() : 0; }

void STabControl::placeAtTop(int width) {
    if (!impl_->bar) return;
    impl_->bar->setGeometry(0, 0, width, impl_->bar->sizeHint().height());
    impl_->bar->raise();
}
