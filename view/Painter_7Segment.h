// A digital display: the latest value of one data channel, formatted, under a title.
#pragma once

#include "view/KeloPainter.h"

class Painter_7Segment : public KeloPainter {
public:
    S_CLASSNAME(Painter_7Segment)

    static constexpr const char* defaultFormat = "%0.02f";
    static constexpr uint32_t frameColor = 0x00A0A0A0;

    // Binds the channel whose name is the whole "extData" text; an unknown name leaves the
    // display empty and is no failure.
    bool onConnectExtData(const SString& names) override;
    // Reads the "7Segment..." attributes.
    void onInit() override;
    // True when the painter's own flag was set or the channel's latest value changed.
    bool update() override;
    void paint(SDrawDevice& device) override;

    // The display text of a raw value: offset + factor * raw in the value format (the default
    // format when the repository's format is unusable).
    SString formatValue(int32_t raw) const;

    ExtData* getExtData() const { return extData_; }
    int32_t getLastValue() const { return lastValue_; }
    const SString& getTitle() const { return title_; }
    const SString& getValueFormat() const { return valueFormat_; }

private:
    int32_t latestValue() const;

    uint32_t textColor_ = 0x0000FF00;
    uint32_t backColor_ = 0;
    int32_t lastValue_ = 0;
    SString fontName_ = SString(std::string("Arial"));
    int32_t fontSize_ = 20;
    ExtData* extData_ = nullptr;
    SString valueFormat_ = SString(std::string(defaultFormat));
    SString title_;
    double correctionFactor_ = 1.0;
    double correctionOffset_ = 0.0;
    SString titleFontName_ = SString(std::string("Arial"));
    int32_t titleFontSize_ = 10;
};
