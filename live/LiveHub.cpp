#include "live/LiveHub.h"

#include <algorithm>
#include <cmath>

#include "analysis/TauFormat.h"
#include "live/LiveJson.h"
#include "session/ChannelModel.h"

using livejson::number;
using livejson::quote;

namespace {

const char* phaseName(HalfCycle phase) {
    return phase == HalfCycle::charging ? "charging" : "discharging";
}

// The channel of the program that carries the curve of that half cycle.
const char* curveChannel(HalfCycle phase) {
    return phase == HalfCycle::charging ? ChannelModel::chargingName : ChannelModel::dischargingName;
}

// A measured value to the digits the board resolves (the ADC's step is 4.9 mV, 0.5 uA): the
// events stay short for thirty clients, and 0.1 s steps stay 0.1 and not 0.30000000000000004.
std::string measured(double value, double scale) {
    return number(std::round(value * scale) / scale);
}

std::string routeJson(const TauRoute& route) {
    return route.ok ? number(route.tau) : std::string("null");
}

}  // namespace

LiveHub::LiveHub() : LiveHub(Options{}) {}

LiveHub::LiveHub(const Options& options) : options_(options), ring_(options.ringCapacity) {}

LiveHub::~LiveHub() {
    closeAll();
}

void LiveHub::setLanguage(const std::string& language) {
    std::lock_guard lock(mutex_);
    language_ = language;
}

void LiveHub::openRunLocked() {
    runOpen_ = true;
    ++run_;
    samplesInRun_ = 0;
}

void LiveHub::startRun() {
    std::lock_guard lock(mutex_);
    if (!runOpen_) openRunLocked();
    running_ = true;
    publishLocked(runEventLocked());
}

void LiveHub::stopRun() {
    std::lock_guard lock(mutex_);
    runOpen_ = false;
    running_ = false;
    publishLocked(runEventLocked());
}

void LiveHub::addSample(HalfCycle phase, double u, double uc, double i) {
    std::lock_guard lock(mutex_);
    if (!runOpen_) openRunLocked();
    LiveSample sample;
    sample.seq = ++seq_;
    sample.run = run_;
    sample.t = static_cast<double>(samplesInRun_++) * options_.sampleStep;
    sample.phase = phase;
    sample.u = u;
    sample.uc = uc;
    sample.i = i;
    ring_.append(sample);
    latest_ = sample;
    readingUc_ = uc;
    readingI_ = i;
    publishLocked(sampleEvent(sample));
}

void LiveHub::addReading(double uc, double i) {
    std::lock_guard lock(mutex_);
    readingUc_ = uc;
    readingI_ = i;
    publishLocked("event: reading\ndata: {\"U_C\":" + measured(uc, 1e4) + ",\"I\":" + measured(i, 1e5) + "}\n\n");
}

void LiveHub::addTau(const TauResult& result) {
    std::lock_guard lock(mutex_);
    Tau tau{run_, result};
    const auto same = std::find_if(tau_.begin(), tau_.end(), [&](const Tau& t) {
        return t.run == tau.run && t.result.kind == tau.result.kind;
    });
    if (same != tau_.end())
        *same = tau;
    else
        tau_.push_back(tau);
    while (tau_.size() > options_.tauResults) tau_.pop_front();
    publishLocked("event: tau\ndata: " + tauJson(tau) + "\n\n");
}

void LiveHub::publishLocked(const std::string& event) {
    const auto shared = std::make_shared<const std::string>(event);
    for (const auto& subscriber : subscribers_) subscriber->push(shared);
}

std::shared_ptr<LiveSubscriber> LiveHub::subscribe(uint64_t& startSeq) {
    std::lock_guard lock(mutex_);
    auto subscriber = std::make_shared<LiveSubscriber>(options_.clientQueue);
    startSeq = ring_.lastSeq();
    subscribers_.push_back(subscriber);
    // The state first, so a client knows the run before its samples come.
    subscriber->push(std::make_shared<const std::string>(runEventLocked()));
    return subscriber;
}

void LiveHub::unsubscribe(const std::shared_ptr<LiveSubscriber>& subscriber) {
    std::lock_guard lock(mutex_);
    subscribers_.erase(std::remove(subscribers_.begin(), subscribers_.end(), subscriber), subscribers_.end());
}

void LiveHub::closeAll() {
    std::vector<std::shared_ptr<LiveSubscriber>> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(subscribers_);
    }
    for (const auto& subscriber : all) subscriber->close();
}

std::size_t LiveHub::subscriberCount() const {
    std::lock_guard lock(mutex_);
    return subscribers_.size();
}

std::vector<LiveSample> LiveHub::samplesSince(uint64_t after, std::size_t limit) const {
    std::lock_guard lock(mutex_);
    return ring_.since(after, limit);
}

std::vector<LiveSample> LiveHub::currentRunSamples() const {
    std::lock_guard lock(mutex_);
    return ring_.run(run_);
}

bool LiveHub::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

int LiveHub::getRun() const {
    std::lock_guard lock(mutex_);
    return run_;
}

uint64_t LiveHub::lastSeq() const {
    std::lock_guard lock(mutex_);
    return seq_;
}

std::vector<LiveHub::Tau> LiveHub::getTauResults() const {
    std::lock_guard lock(mutex_);
    return {tau_.begin(), tau_.end()};
}

std::string LiveHub::sampleJson(const LiveSample& s) {
    return "{\"seq\":" + std::to_string(s.seq) + ",\"run\":" + std::to_string(s.run) +
           ",\"t\":" + measured(s.t, 1e6) + ",\"" + curveChannel(s.phase) + "\":" + measured(s.u, 1e4) +
           ",\"U_C\":" + measured(s.uc, 1e4) + ",\"I\":" + measured(s.i, 1e5) + "}";
}

std::string LiveHub::sampleEvent(const LiveSample& sample) {
    return "id: " + std::to_string(sample.seq) + "\ndata: " + sampleJson(sample) + "\n\n";
}

std::string LiveHub::tauJson(const Tau& tau) {
    const TauResult& r = tau.result;
    std::string json = "{\"run\":" + std::to_string(tau.run) + ",\"kind\":\"" + phaseName(r.kind) + "\"";
    json += ",\"fit\":" + routeJson(r.fit);
    json += ",\"fitUncertainty\":" + (r.fit.ok ? number(r.fit.uncertainty) : std::string("null"));
    json += ",\"p63\":" + routeJson(r.point63);
    json += ",\"ln\":" + routeJson(r.lnLine);
    json += ",\"samples\":" + std::to_string(r.samples);
    // The diagram's German result line, and the reason when no route gave a value.
    json += ",\"text\":" + quote(tauformat::summary(r));
    json += ",\"reason\":" + quote(tauformat::utf8(r.reason));
    return json + "}";
}

std::string LiveHub::runEventLocked() const {
    return "event: state\ndata: {\"running\":" + std::string(running_ ? "true" : "false") +
           ",\"run\":" + std::to_string(run_) + ",\"seq\":" + std::to_string(seq_) + "}\n\n";
}

std::string LiveHub::stateJson() const {
    std::lock_guard lock(mutex_);
    return stateJsonLocked();
}

std::string LiveHub::stateJsonLocked() const {
    std::string json = "{\"running\":" + std::string(running_ ? "true" : "false");
    json += ",\"run\":" + std::to_string(run_);
    json += ",\"seq\":" + std::to_string(seq_);
    json += ",\"language\":" + quote(language_);
    json += ",\"latest\":{\"U_C\":" + measured(readingUc_, 1e4) + ",\"I\":" + measured(readingI_, 1e5);
    json += ",\"sample\":" + (latest_ ? sampleJson(*latest_) : std::string("null")) + "}";
    json += ",\"tau\":[";
    for (std::size_t k = 0; k < tau_.size(); ++k) json += (k ? "," : "") + tauJson(tau_[k]);
    return json + "]}";
}

std::string LiveHub::samplesJson(uint64_t after, std::size_t limit) const {
    std::lock_guard lock(mutex_);
    const std::vector<LiveSample> samples = ring_.since(after, limit);
    std::string json = "{\"samples\":[";
    for (std::size_t k = 0; k < samples.size(); ++k) json += (k ? "," : "") + sampleJson(samples[k]);
    json += "],\"first\":" + std::to_string(ring_.firstSeq()) + ",\"last\":" + std::to_string(ring_.lastSeq());
    const bool more = !samples.empty() && samples.back().seq < ring_.lastSeq();
    return json + ",\"more\":" + (more ? "true" : "false") + "}";
}
