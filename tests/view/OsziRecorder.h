// A drawing device that records what the oscilloscope draws, for checking geometry without Qt.
#pragma once

#include <string>
#include <vector>

#include "gui/SDrawDevice.h"

namespace oszitest {

struct Call {
    std::string op;  // "fill", "line", "polyline", "text", ...
    SRect rect;
    std::vector<SPoint> points;
    std::string text;
    std::string align;
    uint32_t color = 0;
    SXForm transform;  // the world transform when the call was made
};

class Recorder : public SDrawDevice {
public:
    void fillRect(const SRect& rect, uint32_t color) override { add("fill", rect, {}, "", "", color); }
    void drawRect(const SRect& rect) override { add("rect", rect, {}, "", "", pen_); }
    void setPen(uint32_t color, int width, int style) override {
        pen_ = color;
        penWidth = width;
        penStyle = style;
    }
    void drawLine(int x1, int y1, int x2, int y2) override { add("line", {}, {{x1, y1}, {x2, y2}}, "", "", pen_); }
    void moveTo(int x, int y) override { current_ = {x, y}; }
    void lineTo(int x, int y) override {
        add("line", {}, {current_, {x, y}}, "", "", pen_);
        current_ = {x, y};
    }
    void drawPolyline(const SPointList& points) override {
        add("polyline", {}, std::vector<SPoint>(points.begin(), points.end()), "", "", pen_);
    }
    void setFont(const SString& name, int size, int, int, int) override {
        fontName = name.str();
        fontSize = size;
    }
    void setTextColor(uint32_t color) override { textColor = color; }
    void setTextBackground(uint32_t color) override { textBackground = color; }
    void drawText(const SString& text, const SRect& rect, const SString& align) override {
        add("text", rect, {}, text.str(), align.str(), textColor);
    }
    // UTF-8 texts are recorded as "utf8text", so tests can tell the two paths apart.
    void drawTextUtf8(const std::string& text, const SRect& rect, const SString& align) override {
        add("utf8text", rect, {}, text, align.str(), textColor);
    }
    SXForm getWorldTransform() const override { return world; }
    void setWorldTransform(const SXForm& transform) override { world = transform; }
    SRect getPaintArea() const override { return SRect(0, 0, 100000, -100000, true); }

    std::vector<Call> of(const std::string& op) const {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (c.op == op) out.push_back(c);
        return out;
    }
    // Texts drawn with an alignment code, in drawing order.
    std::vector<std::string> texts(const std::string& align) const {
        std::vector<std::string> out;
        for (const Call& c : calls)
            if (c.op == "text" && c.align == align) out.push_back(c.text);
        return out;
    }

    std::vector<Call> calls;
    SXForm world;
    std::string fontName;
    int fontSize = 0;
    int penWidth = 0;
    int penStyle = 0;
    uint32_t textColor = 0;
    uint32_t textBackground = 0;

private:
    void add(const char* op, const SRect& rect, std::vector<SPoint> points, const std::string& text,
             const std::string& align, uint32_t color) {
        calls.push_back({op, rect, std::move(points), text, align, color, world});
    }
    uint32_t pen_ = 0;
    SPoint current_;
};

}  // namespace oszitest
