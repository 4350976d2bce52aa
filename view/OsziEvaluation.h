// What an oscilloscope shows around its live curves: the evaluation of each half cycle, the
// kept runs, the frozen picture and two cursors, and the lines of its text box.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
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
// - A half cycle is over when its channel has been silent for clearly longer than the interval
//   between its samples (silenceLimitMs), when another oscilloscope of the diagram begins
//   receiving (the other half cycle began), or when the run ends; "Auswerten" evaluates at
//   once. The first channel's samples received so far are then evaluated (time constant three
//   ways, see analysis/TauEvaluation.h). Samples of an earlier half cycle may still be among
//   them: only the last half cycle counts. A late poll that finds nothing new is no end: the
//   stream only counts as paused after the silence.
// - A curve that is still growing never shows a failed fit: "Auswerten" during a half cycle
//   shows a result only when the fit succeeds.
// - A clear starts a new run: the current samples are kept as a run (the newest maxRuns are
//   drawn fainter behind the current one), the result and the cursors go.
// - Frozen, the display keeps showing a snapshot of the samples while new ones keep coming in.
// - Cursors are set by click only on a still picture (frozen, or no samples coming in); the
//   first and second cursor alternate, and the read-outs give both and their differences.
// - A notice (such as the wait before a run while the capacitor is emptied) heads the text box
//   until the first sample comes.
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

    // A half cycle is over after this much silence at the least, whatever its sample interval:
    // well above the diagram's poll period and the jitter of a serial line.
    static constexpr int64_t minSilenceMs = 1500;
    // ... and after this many of its sample intervals.
    static constexpr int silenceIntervals = 5;

    // After every poll of the channels: how many samples came in, at a monotonic time in ms.
    // When the half cycle is over by silence or because another one began, the first channel's
    // samples received so far (also while frozen) are evaluated. True when the display changed
    // (a result came, or the notice went).
    bool afterPoll(int newSamples, const SOsziChannels& channels, int64_t nowMs);
    // Another oscilloscope of the diagram began receiving: this one's half cycle is over. It is
    // evaluated now, or, when samples still came at the last poll, at the next poll without any.
    bool otherHalfBegan(const SOsziChannels& channels);
    // The run ended (Stop, or the board ended it): the half cycle received is evaluated.
    bool runEnded(const SOsziChannels& channels);
    // True from the first samples of a half cycle until it is evaluated.
    bool isReceiving() const { return receiving_; }
    // True when the last poll brought the first samples of a half cycle.
    bool beganReceiving() const { return began_; }
    // The silence after which the current half cycle counts as over.
    int64_t silenceLimitMs() const;

    // Evaluates the last half cycle among the samples. False (and nothing changes) without
    // samples, and for a growing curve whose fit fails.
    bool evaluate(const SOsziValues& values, bool growing = false);
    // Called with every result an evaluation brings, as the text box then shows it.
    using ResultListener = std::function<void(const TauResult&)>;
    void setResultListener(ResultListener listener) { resultListener_ = std::move(listener); }
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

    // A line over the others in the text box until the first sample comes (UTF-8; empty: none).
    // True when it changed.
    bool setNotice(std::string text);
    const std::string& getNotice() const { return notice_; }
    // The notice while the capacitor is emptied before a run: "Kondensator wird entladen …
    // 2,31 V" with the voltage as the display shows it (UTF-8).
    static std::string dischargingNotice(const std::string& voltage);

    // The text box, top to bottom: the notice, the frozen mark, the cursor read-outs, the
    // result line.
    std::vector<BoxLine> getBoxLines() const;

private:
    // The half cycle is over: its samples are evaluated.
    bool endHalfCycle(const SOsziChannels& channels);

    bool receiving_ = false;
    bool began_ = false;
    // Samples came at the last poll.
    bool lastPollHadSamples_ = false;
    // Another half cycle began while this one still received: it ends at its next silent poll.
    bool endPending_ = false;
    // When the half cycle's samples began and last came, and how many came after the first
    // poll that had any: their interval is (last - first) / count.
    int64_t firstArrivalMs_ = 0;
    int64_t lastArrivalMs_ = 0;
    int64_t samplesAfterFirst_ = 0;
    std::string notice_;
    std::optional<TauResult> tau_;
    // The time of the last evaluated sample: the fitted curve ends there.
    double tauEnd_ = 0.0;
    std::string tauText_;
    ResultListener resultListener_;
    std::deque<Run> runs_;
    bool frozen_ = false;
    // What the display showed when it was frozen.
    Run frozenValues_;
    std::array<std::optional<Cursor>, 2> cursors_;
    int nextCursor_ = 0;
};
