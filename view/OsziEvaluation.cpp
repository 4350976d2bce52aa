#include "view/OsziEvaluation.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "analysis/HalfCycleSplitter.h"
#include "analysis/TauFormat.h"

namespace {

// A tagged message in UTF-8 with its places "%1" ... "%9" filled by the values (UTF-8). The
// values go in after the translation and the conversion, so they may hold what Windows-1252
// cannot (the Delta), and a translation may put the places in another order. A place without a
// value stays as it is.
std::string message(const char* tagged, std::initializer_list<std::string_view> values = {}) {
    const std::string text = SString(tagged).toUtf8();
    std::string out;
    out.reserve(text.size() + 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto k = static_cast<std::size_t>(text[i + 1] - '1');
            if (k < values.size()) {
                out += values.begin()[k];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// "4,70" in German, "4.70" in English.
std::string number(double value) {
    return tauformat::number(value, 2);
}

}  // namespace

bool OsziEvaluation::afterPoll(int newSamples, const SOsziChannels& channels, int64_t nowMs) {
    began_ = false;
    if (newSamples > 0) {
        if (!receiving_) {
            began_ = true;
            firstArrivalMs_ = nowMs;
            samplesAfterFirst_ = 0;
        } else {
            samplesAfterFirst_ += newSamples;
        }
        receiving_ = true;
        lastPollHadSamples_ = true;
        lastArrivalMs_ = nowMs;
        return setNotice(std::string());
    }
    lastPollHadSamples_ = false;
    if (!receiving_) return false;
    if (!endPending_ && nowMs - lastArrivalMs_ <= silenceLimitMs()) return false;
    // Silent long enough, or the other half cycle began: this one is over. Its samples are
    // evaluated even while the display is frozen on older ones.
    return endHalfCycle(channels);
}

int64_t OsziEvaluation::silenceLimitMs() const {
    if (samplesAfterFirst_ <= 0) return minSilenceMs;
    const int64_t interval = (lastArrivalMs_ - firstArrivalMs_) / samplesAfterFirst_;
    return std::max(minSilenceMs, silenceIntervals * interval);
}

bool OsziEvaluation::otherHalfBegan(const SOsziChannels& channels) {
    if (!receiving_) return false;
    if (lastPollHadSamples_) {
        endPending_ = true;
        return false;
    }
    return endHalfCycle(channels);
}

bool OsziEvaluation::runEnded(const SOsziChannels& channels) {
    return receiving_ && endHalfCycle(channels);
}

bool OsziEvaluation::endHalfCycle(const SOsziChannels& channels) {
    receiving_ = false;
    endPending_ = false;
    return channels.getSize() > 0 && evaluate(channels.getAt(0)->values);
}

bool OsziEvaluation::evaluate(const SOsziValues& values, bool growing) {
    if (values.isEmpty()) return false;
    Curve curve;
    curve.reserve(static_cast<std::size_t>(values.getSize()));
    for (const SOsziValue& v : values)
        curve.push_back({static_cast<double>(v.xValue), static_cast<double>(v.yValue)});
    // Samples of an earlier half cycle may still be on screen: the last one counts.
    const std::vector<HalfCycleSegment> segments = splitHalfCycles(curve);
    TauResult result = segments.empty()
                           ? evaluateHalfCycle(curve)
                           : evaluateHalfCycle(segmentCurve(curve, segments.back()), segments.back().kind);
    // Too few samples yet is no result while more are coming.
    if (growing && !result.fit.ok) return false;
    tauEnd_ = segments.empty() ? curve.back().t : curve[segments.back().last].t;
    tauText_ = tauformat::summary(result);
    tau_ = std::move(result);
    if (resultListener_) resultListener_(*tau_);
    return true;
}

std::optional<double> OsziEvaluation::fittedVoltage(double t) const {
    if (!hasFit() || t < tau_->t0 || t > tauEnd_) return std::nullopt;
    return tau_->fittedVoltage(t);
}

void OsziEvaluation::startRun(const SOsziChannels& channels) {
    bool any = false;
    for (const SOsziChannel* channel : channels) any = any || !channel->values.isEmpty();
    if (any) {
        Run run;
        for (const SOsziChannel* channel : channels) run.push_back(channel->values);
        runs_.push_front(std::move(run));
        while (static_cast<int>(runs_.size()) > maxRuns) runs_.pop_back();
    }
    receiving_ = false;
    began_ = false;
    lastPollHadSamples_ = false;
    endPending_ = false;
    samplesAfterFirst_ = 0;
    notice_.clear();
    tau_.reset();
    tauText_.clear();
    clearCursors();
}

void OsziEvaluation::clearRuns() {
    runs_.clear();
    clearCursors();
}

bool OsziEvaluation::setFrozen(bool frozen, const SOsziChannels& channels) {
    if (frozen == frozen_) return false;
    frozen_ = frozen;
    frozenValues_.clear();
    if (frozen) {
        for (const SOsziChannel* channel : channels) frozenValues_.push_back(channel->values);
    } else {
        clearCursors();
    }
    return true;
}

SOsziValues* OsziEvaluation::frozenValues(int c) {
    if (frozen_ && c >= 0 && c < static_cast<int>(frozenValues_.size()))
        return &frozenValues_[static_cast<std::size_t>(c)];
    return nullptr;
}

void OsziEvaluation::placeCursor(const Cursor& cursor) {
    cursors_[static_cast<std::size_t>(nextCursor_)] = cursor;
    if (nextCursor_ == 0) cursors_[1].reset();
    nextCursor_ = (nextCursor_ + 1) % 2;
}

void OsziEvaluation::clearCursors() {
    cursors_[0].reset();
    cursors_[1].reset();
    nextCursor_ = 0;
}

std::vector<std::string> OsziEvaluation::getCursorLines() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < cursors_.size(); ++i) {
        if (!cursors_[i]) continue;
        lines.push_back(
            message("\xB3\xB3"
                    "osziCursor\xB3\xB3"
                    "Cursor %1: t = %2 s  U = %3 V",
                    {std::to_string(i + 1), number(cursors_[i]->t), number(cursors_[i]->u)}));
    }
    if (cursors_[0] && cursors_[1]) {
        // %1 is the Delta.
        lines.push_back(message(
            "\xB3\xB3"
            "osziCursorDelta\xB3\xB3"
            "%1t = %2 s  %1U = %3 V",
            {"\xCE\x94", number(cursors_[1]->t - cursors_[0]->t), number(cursors_[1]->u - cursors_[0]->u)}));
    }
    return lines;
}

bool OsziEvaluation::setNotice(std::string text) {
    if (text == notice_) return false;
    notice_ = std::move(text);
    return true;
}

std::string OsziEvaluation::dischargingNotice(const std::string& voltage) {
    // "\x85" is the ellipsis in Windows-1252.
    return message("\xB3\xB3"
                   "osziPreRunDischarging\xB3\xB3"
                   "Kondensator wird entladen \x85 %1",
                   {voltage});
}

std::vector<OsziEvaluation::BoxLine> OsziEvaluation::getBoxLines() const {
    std::vector<BoxLine> lines;
    if (!notice_.empty()) lines.push_back({notice_, false});
    if (frozen_)
        lines.push_back({message("\xB3\xB3"
                                 "osziFrozen\xB3\xB3"
                                 "angehalten"),
                         false});
    for (std::string& line : getCursorLines()) lines.push_back({std::move(line), false});
    if (!tauText_.empty()) lines.push_back({tauText_, true});
    return lines;
}
