// A growable byte block whose new bytes are zero.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/SString.h"

class SMem : public SObject {
public:
    S_CLASSNAME(SMem)

    SMem() = default;
    explicit SMem(std::size_t size) : bytes_(size, 0) {}

    // Grows with zero bytes or cuts.
    void setSize(std::size_t size) { bytes_.resize(size, 0); }
    std::size_t getSize() const { return bytes_.size(); }
    // A read outside the block gives 0; a write outside it is ignored.
    uint8_t getByte(std::size_t index) const { return index < bytes_.size() ? bytes_[index] : 0; }
    void setByte(std::size_t index, uint8_t value) {
        if (index < bytes_.size()) bytes_[index] = value;
    }
    void appendByte(uint8_t value) { bytes_.push_back(value); }
    void append(const void* data, std::size_t size) {
        auto p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void copy(const SMem& other) { bytes_ = other.bytes_; }
    void fromString(const SString& text) { bytes_.assign(text.data(), text.data() + text.size()); }
    SString toString() const { return SString(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()); }
    uint8_t* getData() { return bytes_.data(); }
    const uint8_t* getData() const { return bytes_.data(); }
    void clear() { bytes_.clear(); }

    friend bool operator==(const SMem& a, const SMem& b) { return a.bytes_ == b.bytes_; }

protected:
    std::vector<uint8_t> bytes_;
};
