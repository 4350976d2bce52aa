#include "multiwindow/SMultiWindowSplitter.h"

#include <cmath>
#include <cstdint>

#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SXmlTag.h"
#include "multiwindow/SMultiWindow.h"
#include "multiwindow/SMultiWindowSplitterTab.h"

namespace {

bool isPercent(const SString& size) {
    return size.find('%') >= 0;
}

SString rectText(const SRect& r) {
    return SString::printf("%d,%d,%d,%d", r.x, r.y, r.width, r.height);
}

// Pixel values stay far from the limits of int, whatever the size texts say.
int clampPixels(double v) {
    if (!std::isfinite(v)) return 0;
    if (v > 1e8) return 100000000;
    if (v < -1e8) return -100000000;
    return static_cast<int>(v);
}

}  // namespace

SMultiWindowSplitter::SMultiWindowSplitter() = default;

SMultiWindowSplitter::~SMultiWindowSplitter() {
    dragSeparator_ = nullptr;
    entries_.removeAll();
    destroyWindow();
}

bool SMultiWindowSplitter::createSplitter(SWindow* parent, const SString& name, const SRect& rect) {
    return create(parent, name, rect, true, splitterStyle);
}

int SMultiWindowSplitter::indexOf(const SMultiClientWindowEntry* entry) const {
    for (int i = 0; i < entries_.getSize(); ++i)
        if (entries_.getAt(i) == entry) return i;
    return -1;
}

int SMultiWindowSplitter::indexOfSeparator(const SMultiClientSeparator* separator) const {
    for (int i = 0; i < entries_.getSize(); ++i)
        if (&entries_.getAt(i)->separator == separator) return i;
    return -1;
}

void SMultiWindowSplitter::requestWindowData(SMultiClientWindowEntry* entry) {
    if (level_ > 0 && parentSplitter_)
        parentSplitter_->requestWindowData(entry);
    else if (owner_)
        owner_->onGetSplitWindowData(entry);
}

bool SMultiWindowSplitter::split(SXmlTag* element) {
    globalDebug().print(SString("SMultiWindowSplitter::split(..) 1: ") + element->getName());
    const SString direction = element->getAttribute("direction", SString());
    if (direction != "h" && direction != "v" && direction != "c" && direction != "t") {
        globalError().add(SString("SMultiWindowSplitter::split(..): ung\xFCltige direction '") + direction +
                          "' in SplitRule");
        return false;
    }
    direction_ = direction[0];

    // Each child is visited once: a "Separator" is kept for the pane after it, so a trailing
    // one adds nothing, and an element without children gives an empty splitter.
    bool result = true;
    SXmlTag* separator = nullptr;
    for (SXmlTag* child = element->firstChild(); child->isValid(); child = child->next()) {
        if (child->getName() == "Separator") {
            separator = child;
            continue;
        }
        result = addWindow(child, separator);
        separator = nullptr;
    }
    return result;
}

bool SMultiWindowSplitter::addWindow(SXmlTag* element, SXmlTag* separatorElement) {
    const SString name = element->getAttribute("name", SString());
    globalDebug().print(SString(addWindowTrace()) + element->getName() + ", name=" + name);

    auto* entry = new SMultiClientWindowEntry();
    entries_.add(entry);
    entry->name = name;
    entry->size = element->getAttribute("size", SString());

    SMultiClientSeparator& separator = entry->separator;
    separator.direction = direction_;
    separator.setSplitter(this);
    if (separatorElement) {
        separator.size = separatorElement->getAttribute("size", SString()).toInt();
        separator.drag = separatorElement->getAttribute("drag", SString()) == "yes";
    }
    separator.create(this, SString("Separator - ") + name, SRect(0, 0, 0, 0), true,
                     styleChild | styleVisible);

    if (element->getName() == "Window") {
        requestWindowData(entry);
        if (!entry->window) {
            globalError().add(
                SString("SMultiWindowSplitter::addWindows(..): SMultiWindow::onGetSplitWindowData(..) "
                        "brachte f\xFCr das Fenster '") +
                name + "' kein g\xFCltigen Pointer.");
            return false;
        }
        // A window the owner did not create yet is made here, as a child of this splitter.
        if (entry->window->isCreated())
            entry->window->setParent(this);
        else
            entry->window->create(this, name, SRect(0, 0, 0, 0), true, styleChild | styleVisible);
        onEntryAdded(entry, element);
    } else if (element->getName() == "Splitter") {
        SMultiWindowSplitter* nested = makeSplitter(element->getAttribute("direction", SString()));
        nested->setLevel(level_ + 1);
        nested->setParentSplitter(this);
        nested->createSplitter(this, name, getClientRect());
        entry->splitter = nested;
        nested->split(element);
        onEntryAdded(entry, element);
    }

    const SRect client = getClientRect();
    resizeSplitting(client.width, client.height);
    return true;
}

void SMultiWindowSplitter::onEntryAdded(SMultiClientWindowEntry*, SXmlTag*) {}

SMultiWindowSplitter* SMultiWindowSplitter::makeSplitter(const SString& direction) {
    if (direction == "t") return new SMultiWindowSplitterTab();
    return new SMultiWindowSplitter();
}

std::vector<int> SMultiWindowSplitter::sizesToPixels(const std::vector<SString>& sizes, int extent) {
    std::vector<int> pixels(sizes.size(), 0);
    int rest = -1;
    int64_t sum = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const SString& s = sizes[i];
        if (s == "*") {
            rest = static_cast<int>(i);
            continue;
        }
        if (isPercent(s))
            pixels[i] = clampPixels(std::floor(s.toDouble() * extent / 100.0 + 0.5));
        else
            pixels[i] = s.toInt();
        sum += pixels[i];
    }
    if (rest >= 0 && extent - sum > 0)
        pixels[static_cast<std::size_t>(rest)] = static_cast<int>(extent - sum);
    return pixels;
}

void SMultiWindowSplitter::placeSeparatorsOnTop(int width) {
    for (SMultiClientWindowEntry* entry : entries_) entry->separator.move(0, 0, width, entry->separator.size);
}

void SMultiWindowSplitter::resizeSplitting(int width, int height) {
    if (direction_ == 'v' || direction_ == 'h') {
        // Separator and pane of each entry, in order.
        std::vector<SString> sizes;
        for (SMultiClientWindowEntry* entry : entries_) {
            sizes.push_back(SString::printf("%d", entry->separator.size));
            sizes.push_back(entry->size);
        }
        const bool vertical = direction_ == 'v';
        const std::vector<int> pixels = sizesToPixels(sizes, vertical ? height : width);
        int position = 0;
        std::size_t i = 0;
        for (SMultiClientWindowEntry* entry : entries_) {
            const int separatorSize = pixels[i++];
            const int paneSize = pixels[i++];
            const SRect separatorRect = vertical ? SRect(0, position, width, separatorSize)
                                                 : SRect(position, 0, separatorSize, height);
            if (!vertical)
                globalDebug().print(
                    SString("SMultiWindowSplitter::resizeSplitting(..) separatorBefore.move rect=") +
                    rectText(separatorRect));
            entry->separator.move(separatorRect);
            position += separatorSize;
            entry->move(vertical ? SRect(0, position, width, paneSize)
                                 : SRect(position, 0, paneSize, height));
            position += paneSize;
        }
    } else if (direction_ == 'c') {
        for (SMultiClientWindowEntry* entry : entries_) {
            const int separatorSize = entry->separator.size;
            entry->separator.move(0, 0, width, separatorSize);
            entry->move(SRect(0, separatorSize, width, height - separatorSize));
        }
    } else if (direction_ == 't') {
        placeSeparatorsOnTop(width);
    }
}

void SMultiWindowSplitter::onSize(int width, int height) {
    resizeSplitting(width, height);
}

bool SMultiWindowSplitter::showSplitWindow(const SString& name) {
    for (int i = 0; i < entries_.getSize(); ++i) {
        SMultiClientWindowEntry* entry = entries_.getAt(i);
        globalDebug().print(SString("SMultiWindowSplitter::showSplitWindow(..) winId=") + name +
                            "  entry->winId=" + entry->name);
        const bool match = entry->name == name || (entry->splitter && entry->splitter->showSplitWindow(name));
        if (!match) continue;
        if (direction_ == 'c') {
            for (SMultiClientWindowEntry* other : entries_)
                if (other != entry && other->getPane()) other->getPane()->hide();
            if (SWindow* pane = entry->getPane()) {
                pane->show(showRestore);
                pane->setFocus();
            }
        }
        return true;
    }
    return false;
}

SWindow* SMultiWindowSplitter::getSplitWindow(const SString& name) {
    for (SMultiClientWindowEntry* entry : entries_) {
        if (entry->name == name && entry->window) return entry->window;
        if (entry->splitter)
            if (SWindow* found = entry->splitter->getSplitWindow(name)) return found;
    }
    return nullptr;
}

SMultiWindowSplitter* SMultiWindowSplitter::getSplitter(const SString& name) {
    if (name.isEmpty()) return nullptr;
    for (SMultiClientWindowEntry* entry : entries_) {
        if (!entry->splitter) continue;
        if (entry->name == name) return entry->splitter;
        if (SMultiWindowSplitter* found = entry->splitter->getSplitter(name)) return found;
    }
    return nullptr;
}

void SMultiWindowSplitter::removeSplitWindow(const SString& name, bool destroy) {
    bool removed = false;
    for (int i = entries_.getSize() - 1; i >= 0; --i) {
        SMultiClientWindowEntry* entry = entries_.getAt(i);
        if (entry->splitter) entry->splitter->removeSplitWindow(name, destroy);
        if (name != "*" && entry->name != name) continue;
        if (destroy) entry->ownsWindow = true;
        if (dragSeparator_ == &entry->separator) dragSeparator_ = nullptr;
        onEntryRemoved(entry);
        entries_.removeAt(i);
        removed = true;
    }
    // The panes left close the gap.
    if (removed && isCreated()) {
        const SRect client = getClientRect();
        resizeSplitting(client.width, client.height);
    }
}

bool SMultiWindowSplitter::startDrag(SMultiClientSeparator* separator) {
    const int index = indexOfSeparator(separator);
    if (index <= 0 || !separator->drag || (direction_ != 'h' && direction_ != 'v')) return false;
    SWindow* previous = entries_.getAt(index - 1)->getPane();
    SWindow* next = entries_.getAt(index)->getPane();
    if (!previous || !next) return false;
    const SRect a = previous->getWindowRect();
    const SRect b = next->getWindowRect();
    dragArea_ = SRect(a.x, a.y, b.x + b.width - a.x, b.y + b.height - a.y);
    separator->bringToTop();
    dragSeparator_ = separator;
    return true;
}

void SMultiWindowSplitter::dragTo(SPoint point) {
    if (!dragSeparator_) return;
    SRect r = dragSeparator_->getWindowRect();
    // Along the splitter's axis only, and never out of the two panes' area.
    if (direction_ == 'v') {
        r.y = point.y;
        if (r.y + r.height > dragArea_.y + dragArea_.height) r.y = dragArea_.y + dragArea_.height - r.height;
        if (r.y < dragArea_.y) r.y = dragArea_.y;
    } else {
        r.x = point.x;
        if (r.x + r.width > dragArea_.x + dragArea_.width) r.x = dragArea_.x + dragArea_.width - r.width;
        if (r.x < dragArea_.x) r.x = dragArea_.x;
    }
    dragSeparator_->move(r);
}

void SMultiWindowSplitter::endDrag() {
    SMultiClientSeparator* separator = dragSeparator_;
    dragSeparator_ = nullptr;
    const int index = indexOfSeparator(separator);
    if (index <= 0) return;
    SMultiClientWindowEntry* previous = entries_.getAt(index - 1);
    SMultiClientWindowEntry* next = entries_.getAt(index);
    if (!previous->getPane() || !next->getPane()) return;

    const bool vertical = direction_ == 'v';
    const SRect s = separator->getWindowRect();
    const SRect a = previous->getPane()->getWindowRect();
    const SRect b = next->getPane()->getWindowRect();
    const SRect client = getClientRect();
    const int extent = vertical ? client.height : client.width;
    const int previousPixels = vertical ? s.y - a.y : s.x - a.x;
    const int nextPixels = vertical ? (b.y + b.height) - (s.y + s.height) : (b.x + b.width) - (s.x + s.width);

    // Percentages need an extent; without one they stay as they are.
    bool previousPercent = false;
    double oldPrevious = 0.0, newPrevious = 0.0;
    if (previous->size == "*") {
    } else if (isPercent(previous->size)) {
        if (extent > 0) {
            previousPercent = true;
            oldPrevious = previous->size.toDouble();
            newPrevious = previousPixels * 100.0 / extent;
            previous->size = SString::printf("%.04f%%", newPrevious);
        }
    } else {
        previous->size = SString::printf("%d", previousPixels);
    }

    if (next->size == "*") {
    } else if (isPercent(next->size)) {
        if (extent > 0) {
            // A pair of percentages keeps its sum.
            const double value = previousPercent ? oldPrevious + next->size.toDouble() - newPrevious
                                                 : nextPixels * 100.0 / extent;
            next->size = SString::printf("%.04f%%", value);
        }
    } else {
        next->size = SString::printf("%d", nextPixels);
    }

    resizeSplitting(client.width, client.height);
    invalidate();
}

int SMultiWindowSplitter::onMouseEvent(SGuiEvent& event) {
    if (!dragSeparator_) return 0;
    if (event.code == SGuiEvent::mouseMove) {
        dragTo(event.point);
        return 1;
    }
    if (event.code == SGuiEvent::leftButtonUp) {
        endDrag();
        return 1;
    }
    return 0;
}
