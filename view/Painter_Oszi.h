// The oscilloscope painter: draws an SOszi fed from named data channels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/SLists.h"
#include "stream/ExtDataPointerList.h"
#include "view/KeloPainter.h"
#include "view/OsziEvaluation.h"
#include "view/SOszi.h"

// Set-up (from KeloPainter::init): onConnectExtData makes one channel per name of the base
// element's "extData" attribute, with the correction factors and offsets of the view element's
// "OsziCorrection..." lists; loadAttributes reads ranges, rasters, formats, captions and the
// sample limit. Each update moves the bytes waiting in the channels' rings into samples and
// keeps at most maxValuesShowCount of them per channel; the first paint makes the layout.
//
// Data types: 1 one byte per sample, 2 one 16-bit little-endian word per sample (both with the
// x value from a counter shared by all channels, advanced by "OsziValueStepX"), 1002 an x byte
// and a y byte per sample.
//
// Around the live curves it draws what its OsziEvaluation holds: the kept runs fainter behind
// them, the fitted curve of the last evaluated half cycle, the cursors and the text box over
// them. The painter feeds the evaluation after every poll and passes it the events below; it
// finds the sample under a click, because only the painter knows where it drew them.
class Painter_Oszi : public KeloPainter, public SOszi {
public:
    S_CLASSNAME(Painter_Oszi)

    // The sample limit until loadAttributes has read the key.
    static constexpr int defaultMaxValuesShowCount = 200;
    // Application event codes the oscilloscope takes besides the clear: freeze or resume the
    // display, evaluate the samples on screen now, forget the kept runs.
    static constexpr int32_t codeFreeze = 10100;
    static constexpr int32_t codeResume = 10101;
    static constexpr int32_t codeToggleFreeze = 10102;
    static constexpr int32_t codeEvaluate = 10103;
    static constexpr int32_t codeClearRuns = 10104;
    // The run ended: the samples still waiting are taken and the half cycle is evaluated.
    static constexpr int32_t codeRunEnded = 10105;
    // The fitted curve and the cursors, 0x00BBGGRR.
    static constexpr uint32_t fitColor = 0x0000FFFF;
    static constexpr uint32_t cursorColor = 0x00FFFFFF;

    Painter_Oszi() = default;
    ~Painter_Oszi() override = default;

    // Ctrl + left button down inside the element writes the diagnostic dump (true); without
    // Ctrl, on a frozen or idle display, it sets a cursor (true). The clear event 10005 keeps
    // the curves as a run, empties every channel and asks for a repaint; the codes above freeze,
    // resume, evaluate, forget the runs and end the run (all false); anything else: false.
    bool handleEvent(SEvent& event) override;
    // New samples from the channels, then whether a repaint is due. Only new or dropped samples
    // (or a clear, or an evaluation when the half cycle is over) ask for a repaint, so polls
    // without data leave the oscilloscope alone.
    bool update() override;
    // The clock the evaluation's silence is measured with (monotonic milliseconds); tests set
    // their own.
    void setClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }
    // The last update brought the first samples of a half cycle.
    bool beganReceiving() const { return evaluation_.beganReceiving(); }
    // Another oscilloscope of the diagram began receiving: this one's half cycle is over. True
    // when the display changed (the caller repaints it).
    bool otherHalfBegan() { return evaluation_.otherHalfBegan(channels); }
    // A line over the text box until the first sample comes (UTF-8; empty removes it).
    void setNotice(std::string text);
    // Makes the layout at the first call, then draws at the element's rectangle.
    void paint(SDrawDevice& device) override;
    using SOszi::paint;
    // Writes the diagnostic dump to the debug channel.
    void onClick(int click) override;
    bool loadAttributes() override;
    bool onConnectExtData(const SString& names) override;

    // Moves the complete samples waiting in every bound channel into its values; the number
    // of samples taken.
    int loadFromExtData();
    // The diagnostic dump, line by line: the layout and every sample of the first channel.
    SStringList getDumpLines() const;

    const ExtDataPointerList& getExtDataList() const { return extDataList; }
    // The x value of the next counted sample.
    double getXCounter() const { return xCounter; }
    float getXStep() const { return xStep; }
    int getMaxValuesShowCount() const { return maxValuesShowCount; }
    bool isRecalcDue() const { return needsRecalc != 0; }

    // The evaluation, the kept runs, the frozen state and the cursors.
    OsziEvaluation& getEvaluation() { return evaluation_; }
    const OsziEvaluation& getEvaluation() const { return evaluation_; }

    // These act on the evaluation and ask for a repaint when the display changed.
    // Evaluates the first channel's samples on screen (or, shown false, the samples received
    // even while frozen): the last half cycle among them. A live curve still growing shows a
    // result only when its fit succeeds.
    void evaluate(bool shown = true);
    void setFrozen(bool frozen);
    void clearRuns();
    // Sets the next cursor (1, 2, then 1 again) to the sample nearest the point, in units
    // relative to the element's top-left corner as the last paint placed the samples, among the
    // shown samples and the kept runs. False when no sample was painted yet.
    bool setCursorAt(const SPoint& point);

    // What the display shows of channel c: the frozen picture, or the current samples.
    SOsziValues& shownValues(int c) override;

    // What an oscilloscope holds that no file has: the current samples of each channel, the
    // next sample's x, and the evaluation with its kept runs, frozen picture and cursors. A
    // reload of the repository makes new painters; the new one of the same element takes this
    // over from the old one, so a reload loses nothing on screen.
    struct Carried {
        std::vector<SOsziValues> values;
        double xCounter = 0.0;
        OsziEvaluation evaluation;
    };
    Carried carryOut();
    // Takes the samples over when the channels are the same in number, the evaluation always.
    void carryIn(Carried&& carried);

protected:
    // Takes the samples of one channel; false when its data type is unknown.
    bool loadChannel(ExtData& extData, SOsziChannel& channel, int& taken);

    ExtDataPointerList extDataList;
    int needsRecalc = 1;
    // Double, so that adding a step such as 0.1 thousands of times does not drift; each sample
    // still stores its x value as a float.
    double xCounter = 0.0;
    float xStep = 1.0F;
    int maxValuesShowCount = defaultMaxValuesShowCount;

    void paintBehind(SDrawDevice& device, int y0) override;
    void paintOver(SDrawDevice& device, int y0, float x0) override;

private:
    // Keeps the current samples as a run (when there are any) and empties the channels.
    void startNewRun();
    // The x value at the left edge for these samples.
    float leftX(const SOsziValues& values) const;
    // The evaluation's lines, right-aligned in a box at the top or bottom of the data area.
    void paintTextBox(SDrawDevice& device, const std::vector<OsziEvaluation::BoxLine>& lines, bool atTop,
                      int y0);

    // Bytes taken from a ring in one piece, kept between updates.
    std::vector<uint8_t> buffer_;
    OsziEvaluation evaluation_;
    std::function<int64_t()> clock_;
};
