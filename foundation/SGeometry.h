// Geometry records: signed 32-bit points, sizes, ranges and rectangles.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "foundation/SString.h"

struct SPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const SPoint&, const SPoint&) = default;
};

struct SSize {
    int32_t cx = 0;
    int32_t cy = 0;
    friend bool operator==(const SSize&, const SSize&) = default;
};

struct SRange {
    int32_t from = 0;
    int32_t to = 0;
    friend bool operator==(const SRange&, const SRange&) = default;
};

// A rectangle; with yUp set y grows upward (diagram coordinates), so the bottom lies below y.
struct SRect {
    int32_t height = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    bool yUp = false;

    SRect() = default;
    SRect(int32_t x_, int32_t y_, int32_t width_, int32_t height_, bool yUp_ = false)
        : height(height_), x(x_), y(y_), width(width_), yUp(yUp_) {}

    int32_t getLeft() const { return x; }
    int32_t getRight() const { return x + width; }
    int32_t getTop() const { return y; }
    int32_t getBottom() const { return yUp ? y - std::abs(height) : y + std::abs(height); }
    // "x, y, width, height"
    SString toString() const { return SString::printf("%d, %d, %d, %d", x, y, width, height); }
    friend bool operator==(const SRect&, const SRect&) = default;
};
