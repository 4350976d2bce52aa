// The attributes of a repository element: an ordered map from key to typed value.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "repo/ElementAttribut.h"

// Keys compare exactly (case-sensitive) and keep the order of their first appearance. A lookup
// of a missing key returns a built-in empty attribute of type none, so callers never get null.
class ElementAttributeListe : public SObject {
public:
    S_CLASSNAME(ElementAttributeListe)

    ElementAttributeListe() = default;
    ElementAttributeListe(const ElementAttributeListe&) = delete;
    ElementAttributeListe& operator=(const ElementAttributeListe&) = delete;

    int getSize() const { return static_cast<int>(items_.size()); }
    bool has(const SString& key) const { return indexOf(key) >= 0; }
    // The attribute of a key, or the empty attribute (type none) when the key is missing.
    const ElementAttribut& get(const SString& key) const;
    // The attribute of a key for changes, created (type none) when missing.
    ElementAttribut& getOrAdd(const SString& key);
    // Key and attribute at a position in file order; a bad index shows the list error and
    // gives the nearest entry (the empty key and attribute when the list is empty).
    const SString& getKeyAt(int index) const;
    const ElementAttribut& getAt(int index) const;
    void removeAll() { items_.clear(); }

    // Reads an attribute section body: one "key=type=value" line per attribute (see
    // ElementData::loadAttributes). Adds to what is there; a repeated key replaces the value
    // and type of the earlier one.
    void load(const SString& sectionBody);

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    int indexOf(const SString& key) const;
    int clampIndex(const char* operation, int index) const;

    std::vector<std::pair<SString, std::unique_ptr<ElementAttribut>>> items_;
    inline static const ElementAttribut empty_{};
    inline static const SString emptyKey_{};
};
