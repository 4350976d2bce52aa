#include "multiwindow/SMultiWindowSplitterTab.h"

#include "foundation/SDebug.h"
#include "foundation/SXmlTag.h"

SMultiWindowSplitterTab::SMultiWindowSplitterTab() = default;

SMultiWindowSplitterTab::~SMultiWindowSplitterTab() {
    panes_.clear();
    selected_ = -1;
}

int SMultiWindowSplitterTab::onCreate() {
    if (!tabBar_.create(*this, [this](int index) { onCurrentChanged(index); })) return -1;
    onPostCreateCtrl();
    return SMultiWindowSplitter::onCreate();
}

void SMultiWindowSplitterTab::onPostCreateCtrl() {
    globalDebug().print("SMultiWindowSplitterTab::onPostCreateCtrl(..)");
    tabBar_.setImageSize(imageSize);
}

int SMultiWindowSplitterTab::getTabCount() const {
    return static_cast<int>(panes_.size());
}

SString SMultiWindowSplitterTab::getTabTitle(int index) const {
    return tabBar_.getTitle(index);
}

SWindow* SMultiWindowSplitterTab::getTabPane(int index) const {
    if (index < 0 || index >= getTabCount()) return nullptr;
    return panes_[static_cast<std::size_t>(index)];
}

bool SMultiWindowSplitterTab::hasTabImage(int index) const {
    return tabBar_.hasImage(index);
}

SRect SMultiWindowSplitterTab::getDisplayArea() const {
    const SRect client = getClientRect();
    const int bar = tabBar_.getHeight();
    return SRect(0, bar, client.width, client.height - bar < 0 ? 0 : client.height - bar);
}

int SMultiWindowSplitterTab::insertTab(SWindow* pane, const SString& title, const SString& imageName) {
    if (!tabBar_.isCreated() || !pane) return -1;
    SString text = title;
    if (text.isEmpty()) text = pane->getText().left(maxTitleLength);

    const bool first = panes_.empty();
    panes_.push_back(pane);
    if (!first && pane->isCreated()) pane->hide();
    // Adding the first tab selects it, which shows its pane.
    const int index = tabBar_.addTab(text, imageName);
    if (first && selected_ != index) onCurrentChanged(index);
    return index;
}

bool SMultiWindowSplitterTab::selectTab(int index) {
    if (index < 0 || index >= tabBar_.getCount()) return false;
    tabBar_.setCurrent(index);
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
    tabBar_.placeAtTop(width);
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
        tabBar_.removeTab(i);
        if (selected_ == i) {
            // The removed pane was shown: the tab bar's new selection takes its place.
            selected_ = tabBar_.getCurrent();
            onNotifySelf(notifySelectionChanged);
        } else if (selected_ > i) {
            --selected_;
        }
        return;
    }
}
