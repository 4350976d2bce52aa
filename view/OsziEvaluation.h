// What an oscilloscope shows around its live curves: the evaluation of each half cycle, the
// kept runs, the frozen picture and two cursors, and the lines of its text box.
#pragma once

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "analysis/TauEvaluation.h"
#include "foundation/SString.h"
#include "view/SOsziChannel.h"

// The state and the rules behind the oscilloscope's evaluation, apart from drawing: Painter_Oszi
// owns one, feeds it after every poll and on its events, and draws what it holds (the kept runs
// behind the curves, the fitted curve, the cursors and the text box over them). Nothing here
// draws or knows diagram units, so what is evaluated, kept and written can change without the
// painter, and tests can check it without a drawing device.
//
// The rules:
// - A half cycle is over when a channel's stream pauses (a poll without samples after one with
//   samples); the first channel's samples received so far are then evaluated (time constant three
//   ways, see analysis/TauEvaluation.h). Samples of an earlier half cycle may still be among
//   them: only the last half cycle counts.
// - A clear starts a new run: the current samples are kept as a run (the newest maxRuns are
//   drawn fainter behind the current one), the result and the cursors go.
// - Frozen, the display keeps showing a snapshot of the samples while new ones keep coming in.
// - Cursors are set by click only on a still picture (frozen, or no samples coming in); the
//   first and second cursor alternate, and the read-outs give both and their differences.
//
// Texts are UTF-8 (the Greek tau and the Delta have no Windows-1252 code) made from tagged
// messages, so a language file translates them.
class OsziEvaluation {
public:
    // Runs kept for the overlay.
    static constexpr int maxRuns = 3;

    // A cursor: a sample's time as the x axis shows it (relative to its run's first sample in
    // relative mode) and its voltage.
    struct Cursor {
        double t = 0.0;
        double u = 0.0;
    };
    // The samples of every channel at the end of a run.
    using Run = std::vector<SOsziValues>;
    // One line of the text box; the result line is drawn in the fitted curve's colour.
    struct BoxLine {
        std::string text;
        bool result = false;

        friend bool operator==(const BoxLine&, const BoxLine&) = default;
    };

    // After every poll of the channels: whether samples came in. When the stream has just paused,
    // the first channel's samples received so far (also while frozen) are evaluated. True when
    // the display changed (a result came).
    bool afterPoll(bool samplesArrived, const SOsziChannels& channels);
    // True while samples arrived at the last poll.
    bool isReceiving() const { return receiving_; }

    // Evaluates the last half cycle among the samples. False (and nothing changes) without
    // samples.
    bool evaluate(const SOsziValues& values);
    // The last evaluation, and its result line in UTF-8 (empty before the first one).
    const std::optional<TauResult>& getTauResult() const { return tau_; }
    const std::string& getTauText() const { return tauText_; }
    // True when the last evaluation has a fitted curve to draw.
    bool hasFit() const { return tau_ && tau_->fit.ok; }
    // The fitted curve at time t over the evaluated stretch (from its first usable sample to the
    // last evaluated one); nothing outside it or without a fit. May be NaN or infinite.
    std::optional<double> fittedVoltage(double t) const;

    // A new run begins (the clear): the channels' samples become the newest kept run when there
    // are any, the oldest beyond maxRuns is dropped; the result, the cursors and the receiving
    // state are forgotten. The frozen state stays.
    void startRun(const SOsziChannels& channels);
    // Newest first. The painter writes the samples' positions into them when it draws them.
    const std::deque<Run>& getRuns() const { return runs_; }
    std::deque<Run>& getRuns() { return runs_; }
    // Forgets the kept runs, and the cursors that may sit on them.
    void clearRuns();

    // Freezes on a snapshot of the channels' samples, or resumes (and removes the cursors, which
    // belong to the still picture). False when it was so already.
    bool setFrozen(bool frozen, const SOsziChannels& channels);
    bool isFrozen() const { return frozen_; }
    // The frozen picture of channel c; nullptr while the display is live.
    SOsziValues* frozenValues(int c);

    // Whether a click may set a cursor: on a still picture only.
    bool takesCursors() const { return frozen_ || !receiving_; }
    // Sets the next cursor: 1, 2, then 1 again (which removes 2).
    void placeCursor(const Cursor& cursor);
    const std::array<std::optional<Cursor>, 2>& getCursors() const { return cursors_; }
    void clearCursors();
    // The read-outs in UTF-8: each cursor's t and U, and with both cursors the differences.
    std::vector<std::string> getCursorLines() const;

    // The text box, top to bottom: the frozen mark, the cursor read-outs, the result line.
    std::vector<BoxLine> getBoxLines() const;

private:
    bool receiving_ = false;
    std::optional<TauResult> tau_;
    // The time of the last evaluated sample: the fitted curve ends there.
    double tauEnd_ = 0.0;
    std::string tauText_;
    std::deque<Run> runs_;
    bool frozen_ = false;
    // What the display showed when it was frozen.
    Run frozenValues_;
    std::array<std::optional<Cursor>, 2> cursors_;
    int nextCursor_ = 0;
};
