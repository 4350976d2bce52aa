#include "multiwindow/SMultiWindowSplitterTab.h"

#include <QBitmap>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSignalBlocker>
#include <QTabBar>

#include "foundation/SDebug.h"
#include "foundation/SFileSystem.h"
#include "foundation/SXmlTag.h"
#include "gui/SQtString.h"

SMultiWindowSplitterTab::SMultiWindowSplitterTab() = default;

SMultiWindowSplitterTab::~SMultiWindowSplitterTab() {
    panes_.clear();
    selected_ = -1;
    if (tabBar_) tabBar_->disconnect();
}

QWidget* SMultiWindowSplitterTab::onCreateWidget(QWidget* parent) {
    QWidget* widget = SMultiWindowSplitter::onCreateWidget(parent);
    tabBar_ = new QTabBar(widget);
    tabBar_->setDrawBase(true);
    tabBar_->setExpanding(false);
    QObject::connect(tabBar_.data(), &QTabBar::currentChanged, tabBar_.data(),
                     [this](int index) { onCurrentChanged(index); });
    return widget;
}

int SMultiWindowSplitterTab::onCreate() {
    onPostCreateCtrl();
    return SMultiWindowSplitter::onCreate();
}

void SMultiWindowSplitterTab::onPostCreateCtrl() {
    globalDebug().print("SMultiWindowSplitterTab::onPostCreateCtrl(..)");
    if (tabBar_) tabBar_->setIconSize(QSize(imageSize, imageSize));
}

int SMultiWindowSplitterTab::getTabCount() const {
    return static_cast<int>(panes_.size());
}

SString SMultiWindowSplitterTab::getTabTitle(int index) const {
    if (!tabBar_ || index < 0 || index >= tabBar_->count()) return SString();
    return toSString(tabBar_->tabText(index));
}

SWindow* SMultiWindowSplitterTab::getTabPane(int index) const {
    if (index < 0 || index >= getTabCount()) return nullptr;
    return panes_[static_cast<std::size_t>(index)];
}

bool SMultiWindowSplitterTab::hasTabImage(int index) const {
    return tabBar_ && index >= 0 && index < tabBar_->count() && !tabBar_->tabIcon(index).isNull();
}

SRect SMultiWindowSplitterTab::getDisplayArea() const {
    const SRect client = getClientRect();
    const int bar = tabBar_ ? tabBar_->sizeHint().height() : 0;
    return SRect(0, bar, client.width, client.height - bar < 0 ? 0 : client.height - bar);
}

int SMultiWindowSplitterTab::insertTab(SWindow* pane, const SString& title, const SString& imageName) {
    if (!tabBar_ || !pane) return -1;
    SString text = title;
    if (text.isEmpty()) text = pane->getText().left(maxTitleLength);

    QIcon icon;
    if (!imageName.isEmpty() && SFileSystem::exists(imageName)) {
        QImage image(toQString(imageName));
        if (!image.isNull()) {
            image = image.scaled(imageSize, imageSize).convertToFormat(QImage::Format_ARGB32);
            QPixmap pixmap = QPixmap::fromImage(image);
            pixmap.setMask(
                QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, 0), Qt::MaskOutColor)));
            icon = QIcon(pixmap);
        }
    }

    const bool first = panes_.empty();
    panes_.push_back(pane);
    if (!first && pane->isCreated()) pane->hide();
    // Adding the first tab selects it, which shows its pane.
    const int index = tabBar_->addTab(icon, toQString(text));
    if (first && selected_ != index) onCurrentChanged(index);
    return index;
}

bool SMultiWindowSplitterTab::selectTab(int index) {
    if (!tabBar_ || index < 0 || index >= tabBar_->count()) return false;
    tabBar_->setCurrentIndex(index);
    return true;
}

void SMultiWindowSplitterTab::onCurrentChanged(int index) {
    onNotifySelf(notifySelectionChanging);
    selected_ = index;
    onNotifySelf(notifySelectionChanged);
}

void SMultiWindowSplitterTab::onNotifySelf(int code) {
    globalDebug().print("SMultiWindowSplitterTab::onNotifySelf(..)");
    SWindow* pane = getTabPane(selected_);
    if (!pane) return;
    if (code == notifySelectionChanging) {
        pane->hide();
    } else if (code == notifySelectionChanged) {
        if (!pane->isCreated())
            pane->create(this, pane->getName(), getDisplayArea(), true, styleChild | styleVisible);
        pane->move(getDisplayArea());
        pane->show(showRestore);
    }
}

void SMultiWindowSplitterTab::placeSelectedPane() {
    if (SWindow* pane = getTabPane(selected_)) pane->move(getDisplayArea());
}

void SMultiWindowSplitterTab::resizeSplitting(int width, int height) {
    SMultiWindowSplitter::resizeSplitting(width, height);
    if (tabBar_) {
        tabBar_->setGeometry(0, 0, width, tabBar_->sizeHint().height());
        tabBar_->raise();
    }
    placeSelectedPane();
}

void SMultiWindowSplitterTab::onEntryAdded(SMultiClientWindowEntry* entry, SXmlTag* element) {
    if (entry->window)
        insertTab(entry->window, element->getAttribute("tabTitle", SString()));
    else if (entry->splitter)
        insertTab(entry->splitter, SString());
}

void SMultiWindowSplitterTab::onEntryRemoved(SMultiClientWindowEntry* entry) {
    SWindow* pane = entry->getPane();
    for (int i = 0; i < getTabCount(); ++i) {
        if (panes_[static_cast<std::size_t>(i)] != pane) continue;
        if (selected_ == i && pane->isCreated()) pane->hide();
        panes_.erase(panes_.begin() + i);
        if (tabBar_) {
            const QSignalBlocker block(tabBar_.data());
            tabBar_->removeTab(i);
        }
        if (selected_ == i) {
            // The removed pane was shown: the tab bar's new selection takes its place.
            selected_ = tabBar_ ? tabBar_->currentIndex() : -1;
            onNotifySelf(notifySelectionChanged);
        } else if (selected_ > i) {
            --selected_;
        }
        return;
    }
}
