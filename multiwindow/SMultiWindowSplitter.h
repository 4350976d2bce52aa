// A window that divides its area among panes: stacked, side by side, as cards or as tabs.
#pragma once

#include <vector>

#include "foundation/SLists.h"
#include "gui/SWindow.h"
#include "multiwindow/SMultiClientWindowEntry.h"

class SMultiWindow;
class SXmlTag;

// The owning list of a splitter's panes.
class SMultiClientWindowEntryList : public SOwningList<SMultiClientWindowEntry> {
public:
    S_CLASSNAME(SMultiClientWindowEntryList)
};

// Directions: 'h' panes side by side (sizes along the width), 'v' stacked (sizes along the
// height), 'c' cards (every pane fills the area, one is shown at a time), 't' tabs (the
// tab splitter places the selected pane).
//
// The panes' windows come from the owner: a nested splitter hands the request to its parent
// splitter, the main splitter (level 0) to its SMultiWindow.
class SMultiWindowSplitter : public SWindow {
public:
    S_CLASSNAME(SMultiWindowSplitter)

    // Child, visible, clip children.
    static constexpr uint32_t splitterStyle = 0x52000000;

    SMultiWindowSplitter();
    // Deletes the entries (their nested splitters, the windows they own, the separators).
    ~SMultiWindowSplitter() override;

    // Creates the splitter's widget as a child of parent.
    bool createSplitter(SWindow* parent, const SString& name, const SRect& rect);

    // Takes direction and panes from a "Splitter" element. An invalid or missing direction
    // logs an error and gives false. A splitter element without children gives an empty
    // splitter (true); a "Separator" that is the last child is ignored.
    virtual bool split(SXmlTag* element);
    // Adds one pane ("Window" or nested "Splitter"; other elements give an empty entry),
    // optionally with the "Separator" element in front of it, and lays the panes out again.
    // false when the owner supplied no window for a "Window".
    virtual bool addWindow(SXmlTag* element, SXmlTag* separatorElement);
    // Places separators and panes in an area of that size.
    virtual void resizeSplitting(int width, int height);
    // Finds the pane of that name, depth-first; in a card splitter the matching card is shown
    // and focused and the others hidden. Returns whether it was found.
    bool showSplitWindow(const SString& name);
    // The window of the pane of that name, depth-first; nullptr when there is none.
    SWindow* getSplitWindow(const SString& name);
    // The nested splitter of the entry of that name, depth-first; nullptr for an empty name.
    SMultiWindowSplitter* getSplitter(const SString& name);
    // Removes every entry of that name ("*": every entry), depth-first from the last to the
    // first; with destroy the entries destroy their windows.
    void removeSplitWindow(const SString& name, bool destroy);

    char getDirection() const { return direction_; }
    int getLevel() const { return level_; }
    void setLevel(int level) { level_ = level; }
    void setOwner(SMultiWindow* owner) { owner_ = owner; }
    void setParentSplitter(SMultiWindowSplitter* parent) { parentSplitter_ = parent; }
    SMultiWindowSplitter* getParentSplitter() const { return parentSplitter_; }
    int getEntryCount() const { return entries_.getSize(); }
    SMultiClientWindowEntry* getEntry(int index) const { return entries_.getAt(index); }
    int indexOf(const SMultiClientWindowEntry* entry) const;
    int indexOfSeparator(const SMultiClientSeparator* separator) const;

    // Asks the owner for an entry's window.
    void requestWindowData(SMultiClientWindowEntry* entry);

    // Pixel sizes of a size list against an extent: "*" gets the rest (only the last "*";
    // never below 0), "N%" floor(N * extent / 100 + 0.5), anything else its integer value.
    static std::vector<int> sizesToPixels(const std::vector<SString>& sizes, int extent);

    // Separator drag, in the splitter's client coordinates. Starting fails for the first
    // pane's separator and for separators without drag.
    bool startDrag(SMultiClientSeparator* separator);
    void dragTo(SPoint point);
    void endDrag();
    bool isDragging() const { return dragSeparator_ != nullptr; }
    SMultiClientSeparator* getDragSeparator() const { return dragSeparator_; }
    // From the previous pane's top-left to the next pane's bottom-right corner.
    SRect getDragArea() const { return dragArea_; }

    void onSize(int width, int height) override;
    int onMouseEvent(SGuiEvent& event) override;

protected:
    // A pane was added (its window reparented, or its nested splitter built); the tab splitter
    // adds a tab for it.
    virtual void onEntryAdded(SMultiClientWindowEntry* entry, SXmlTag* element);
    // An entry is about to be removed.
    virtual void onEntryRemoved(SMultiClientWindowEntry* entry) { (void)entry; }
    // Makes a nested splitter for a "Splitter" element of that direction.
    virtual SMultiWindowSplitter* makeSplitter(const SString& direction);
    // The class part of the addWindow debug line.
    virtual const char* addWindowTrace() const { return "SMultiWindowSplitter::addWindow(..) "; }
    // Places the separators on top of the area (cards and tabs).
    void placeSeparatorsOnTop(int width);

    SMultiClientWindowEntryList entries_;
    char direction_ = 'h';
    int level_ = 0;

private:
    SMultiWindow* owner_ = nullptr;
    SMultiWindowSplitter* parentSplitter_ = nullptr;
    SMultiClientSeparator* dragSeparator_ = nullptr;
    SRect dragArea_;
};
