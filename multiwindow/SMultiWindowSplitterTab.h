// A splitter that shows one pane per tab of a tab bar.
#pragma once

#include <vector>

#include "gui/STabControl.h"
#include "multiwindow/SMultiWindowSplitter.h"

// The tab bar lies along the top edge; the selected tab's pane fills the area below it (the
// display area), the other panes are hidden. Each tab may carry a 16 x 16 image.
class SMultiWindowSplitterTab : public SMultiWindowSplitter {
public:
    S_CLASSNAME(SMultiWindowSplitterTab)

    // Notification codes of the tab bar: the selection is about to change / has changed.
    static constexpr int notifySelectionChanging = -552;
    static constexpr int notifySelectionChanged = -551;
    static constexpr int maxTitleLength = 100;
    static constexpr int imageSize = 16;

    SMultiWindowSplitterTab();
    ~SMultiWindowSplitterTab() override;

    // Adds a tab at the end for a pane: an empty title takes the pane's text (at most 100
    // characters); an image file that exists gives the tab's image, its top-left pixel's
    // colour transparent. The first tab is selected and its pane shown; the panes of later
    // tabs stay hidden until selected. Returns the tab's index.
    int insertTab(SWindow* pane, const SString& title, const SString& imageName = SString());
    int getTabCount() const;
    int getSelectedTab() const { return selected_; }
    // Selects a tab as a click on it does.
    bool selectTab(int index);
    SString getTabTitle(int index) const;
    SWindow* getTabPane(int index) const;
    bool hasTabImage(int index) const;
    // The area below the tab bar, where the selected pane lies.
    SRect getDisplayArea() const;

    // After the control exists: sets up the images' size.
    void onPostCreateCtrl();
    // The tab bar's notifications: changing hides the current pane, changed shows the newly
    // selected one (creating its window when it does not exist yet) in the display area.
    void onNotifySelf(int code);

    // Creates the tab bar in the splitter's window.
    int onCreate() override;
    void resizeSplitting(int width, int height) override;

protected:
    void onEntryAdded(SMultiClientWindowEntry* entry, SXmlTag* element) override;
    void onEntryRemoved(SMultiClientWindowEntry* entry) override;
    const char* addWindowTrace() const override { return "SMultiWindowSplitterTab::addWindow(..) "; }

private:
    void onCurrentChanged(int index);
    void placeSelectedPane();

    STabControl tabBar_;
    std::vector<SWindow*> panes_;
    int selected_ = -1;
};
