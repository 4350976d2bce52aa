// A value that holds an integer, a floating-point number or a string.
#pragma once

#include <cstdint>
#include <variant>

#include "foundation/SString.h"

class SVariant : public SObject {
public:
    S_CLASSNAME(SVariant)

    SVariant() = default;
    SVariant(int64_t v) : value_(v) {}
    SVariant(int v) : value_(static_cast<int64_t>(v)) {}
    SVariant(double v) : value_(v) {}
    SVariant(const SString& v) : value_(v) {}

    bool isInt() const { return std::holds_alternative<int64_t>(value_); }
    bool isDouble() const { return std::holds_alternative<double>(value_); }
    bool isString() const { return std::holds_alternative<SString>(value_); }

    // Each form converts to the others: strings by the string conversions, numbers by printf.
    int64_t toInt() const {
        if (isInt()) return std::get<int64_t>(value_);
        if (isDouble()) return static_cast<int64_t>(std::get<double>(value_));
        return std::get<SString>(value_).toInt();
    }
    double toDouble() const {
        if (isDouble()) return std::get<double>(value_);
        if (isInt()) return static_cast<double>(std::get<int64_t>(value_));
        return std::get<SString>(value_).toDouble();
    }
    SString toString() const {
        if (isString()) return std::get<SString>(value_);
        if (isInt()) return SString::printf("%lld", static_cast<long long>(std::get<int64_t>(value_)));
        return SString::printf("%g", std::get<double>(value_));
    }

private:
    std::variant<int64_t, double, SString> value_{int64_t{0}};
};
