// What the experiment's data stream means, read once when the project opens: which frames the
// board sends, how their ADC counts become volts and milliamperes, how far apart the samples
// are, what the curves are called, and which curve is the charging and which the discharging
// half cycle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/Curve.h"
#include "foundation/SString.h"

class ExtDataManager;
class RepoProject;

// Built from the data channels of "extdata.ini" (as the channel manager holds them after the
// set-up) and from the diagram's elements in "physik.repo": the oscilloscopes and the
// seven-segment displays, each with the channel it shows and its correction. Everything that
// turns the board's bytes into numbers for people (the CSV file, the live view, the session's
// run detection) reads it here, so the values agree to the last digit with what the diagram
// shows.
class ChannelModel {
public:
    // The names of the experiment's channels in "extdata.ini" and in the repository's "extData"
    // attributes: the two half cycles' curves and the two displays' values.
    static constexpr const char* chargingName = "Aufladen";
    static constexpr const char* dischargingName = "Entladen";
    static constexpr const char* voltageName = "U_C";
    static constexpr const char* currentName = "I";
    // Seconds between two samples of the board, when no oscilloscope says otherwise.
    static constexpr double defaultSampleStep = 0.1;

    // A data channel: the frames with that id carry recordLength bytes of the given type.
    struct Channel {
        SString name;
        uint32_t frameId = 0;
        int32_t recordLength = 0;
        int32_t type = 0;
    };
    // An oscilloscope's curve: its channel, the correction its samples get (in single
    // precision, exactly as the oscilloscope computes them), the x distance of two samples and
    // the axis captions (in the program's language).
    struct Curve {
        HalfCycle phase = HalfCycle::charging;
        int32_t objNr = 0;
        Channel channel;
        float factor = 1.0F;
        float offset = 0.0F;
        double step = defaultSampleStep;
        SString xCaption;
        SString yCaption;
    };
    // A seven-segment display's value: its channel and correction (double precision, as the
    // display computes it).
    struct Display {
        int32_t objNr = 0;
        Channel channel;
        double factor = 1.0;
        double offset = 0.0;
    };

    ChannelModel() = default;
    // Reads the channels from the manager (set up from "extdata.ini") and the oscilloscopes and
    // displays from the open repository. Elements whose channel is missing are left out.
    static ChannelModel build(const ExtDataManager& channels, const RepoProject& repo);
    // The same from the two files, for programs without a project of their own (tools,
    // benchmarks, tests). An unreadable file gives an incomplete model.
    static ChannelModel fromFiles(const SString& extDataIni, const SString& repository);

    // The channels by name; nullptr for an unknown one.
    const Channel* channel(const SString& name) const;
    const std::vector<Channel>& getChannels() const { return channels_; }
    // The oscilloscopes' curves in the repository's order of the elements.
    const std::vector<Curve>& getCurves() const { return curves_; }
    // The curve of a half cycle; nullptr when the diagram has none.
    const Curve* curve(HalfCycle phase) const;
    // The display of U_C in volts and of I in milliamperes; nullptr when there is none.
    const Display* voltageDisplay() const { return displayOf(voltageName); }
    const Display* currentDisplay() const { return displayOf(currentName); }
    // Seconds between two samples: the charging curve's step (its x axis is in seconds), or
    // defaultSampleStep when the axis counts samples (a whole-number step).
    double sampleStep() const;
    // The time of the n-th sample of a curve, counted from its run's first sample: n x step,
    // never a running sum, so the thousandth sample is as exact as the first.
    double sampleTime(std::size_t n) const { return static_cast<double>(n) * sampleStep(); }
    // Whether the model knows the experiment: both curves and both displays.
    bool isComplete() const;

    // A curve's value of an ADC reading, as the oscilloscope stores it.
    static float curveValue(const Curve& curve, int32_t counts) {
        return curve.offset + curve.factor * static_cast<float>(counts);
    }
    // A display's value of an ADC reading, as the display shows it.
    static double displayValue(const Display& display, int32_t counts) {
        return display.offset + display.factor * static_cast<double>(counts);
    }
    // The half cycle a channel name stands for; nothing for a channel that is no curve.
    static std::optional<HalfCycle> phaseOf(const SString& channelName);

private:
    const Display* displayOf(const char* name) const;

    std::vector<Channel> channels_;
    std::vector<Curve> curves_;
    std::vector<Display> displays_;
};
