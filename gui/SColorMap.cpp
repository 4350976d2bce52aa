#include "gui/SColorMap.h"

#include <algorithm>
#include <vector>

#include <QColor>

namespace {
// The maps alive, in order of construction.
std::vector<SColorMap*>& liveMaps() {
    static std::vector<SColorMap*> maps;
    return maps;
}

std::string key(const SString& name) {
    return name.lowered().str();
}
}  // namespace

SColorMap& globalColorMap() {
    if (!liveMaps().empty()) return *liveMaps().back();
    static SColorMap onDemand;
    return onDemand;
}

QColor SColorMap::toQColor(uint32_t color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

uint32_t SColorMap::fromQColor(const QColor& color) {
    return rgb(color.red(), color.green(), color.blue());
}

SColorMap::SColorMap() {
    liveMaps().push_back(this);
    setColor("windowBackground", rgb(140, 140, 160));
    setColor("separator", rgb(230, 230, 230));
    setColor("black", rgb(0, 0, 0));
    setColor("white", rgb(255, 255, 255));
    setColor("gray", rgb(128, 128, 128));
    setColor("red", rgb(255, 0, 0));
    setColor("green", rgb(0, 255, 0));
    setColor("blue", rgb(0, 0, 255));
}

SColorMap::~SColorMap() {
    std::erase(liveMaps(), this);
}

uint32_t SColorMap::getColor(const SString& name, uint32_t def) const {
    auto it = colors_.find(key(name));
    return it == colors_.end() ? def : it->second;
}

void SColorMap::setColor(const SString& name, uint32_t color) {
    colors_[key(name)] = color;
}

bool SColorMap::hasColor(const SString& name) const {
    return colors_.count(key(name)) != 0;
}

bool SColorMap::removeColor(const SString& name) {
    return colors_.erase(key(name)) != 0;
}
