// Maps that keep their keys in insertion order.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/SMem.h"
#include "foundation/SString.h"

// Set replaces the value of a present key in place; lookups of absent keys give an empty value.
template <typename K, typename V>
class SMap : public SObject {
public:
    void set(const K& key, const V& value) {
        auto it = index_.find(key);
        if (it != index_.end()) {
            entries_[it->second].second = value;
            return;
        }
        index_.emplace(key, entries_.size());
        entries_.emplace_back(key, value);
    }
    bool has(const K& key) const { return index_.count(key) != 0; }
    // The value, or an empty value when the key is absent.
    const V& get(const K& key) const {
        auto it = index_.find(key);
        return it == index_.end() ? empty_ : entries_[it->second].second;
    }
    // Pointer to the value for changes in place; nullptr when absent.
    V* lookup(const K& key) {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : &entries_[it->second].second;
    }
    bool remove(const K& key) {
        auto it = index_.find(key);
        if (it == index_.end()) return false;
        std::size_t pos = it->second;
        index_.erase(it);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
        for (auto& [k, i] : index_)
            if (i > pos) --i;
        return true;
    }
    void removeAll() {
        entries_.clear();
        index_.clear();
    }
    int getSize() const { return static_cast<int>(entries_.size()); }
    const K& getKeyAt(int i) const { return entries_.at(static_cast<std::size_t>(i)).first; }
    const V& getValueAt(int i) const { return entries_.at(static_cast<std::size_t>(i)).second; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    std::vector<std::pair<K, V>> entries_;
    std::unordered_map<K, std::size_t> index_;
    inline static const V empty_{};
};

class SMapStringToString : public SMap<SString, SString> {
public:
    S_CLASSNAME(SMapStringToString)
};

class SMapStringToNum : public SMap<SString, int32_t> {
public:
    S_CLASSNAME(SMapStringToNum)
};

class SMapNumToString : public SMap<int32_t, SString> {
public:
    S_CLASSNAME(SMapNumToString)
};

class SMapStringToMem : public SMap<SString, SMem> {
public:
    S_CLASSNAME(SMapStringToMem)
};
