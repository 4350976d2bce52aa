// The live measurement as the network sees it: the run, the numbered samples, the latest
// values, the time constants of each finished half cycle, and the clients of the event stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "analysis/TauEvaluation.h"
#include "live/LiveSample.h"
#include "live/LiveSubscriber.h"
#include "live/SampleRing.h"

// The measurement feeds it (samples from the serial reader thread, run start and stop from the
// GUI thread); the server's connection threads read it. Every method is thread-safe and none
// waits for a client.
//
// A run lasts from Start (or the first sample after a stop, when frames come before the program
// has said so) to Stop. The time constants are the program's own evaluation of each half cycle
// (the diagram's text boxes), handed in with addTau: the network sees the same numbers as the
// class on the projector.
class LiveHub {
public:
    struct Options {
        // Samples kept for /api/samples and for clients that reconnect.
        std::size_t ringCapacity = 20000;
        // Events a client may have waiting before it counts as fallen behind.
        std::size_t clientQueue = 512;
        // Seconds between two samples of the board: the n-th sample of a run is at n x step.
        double sampleStep = 0.1;
        // Evaluated half cycles kept for /api/state.
        std::size_t tauResults = 16;
    };

    // An evaluated half cycle.
    struct Tau {
        int run = 0;
        TauResult result;
    };

    LiveHub();
    explicit LiveHub(const Options& options);
    ~LiveHub();
    LiveHub(const LiveHub&) = delete;
    LiveHub& operator=(const LiveHub&) = delete;

    // The program's language ("de", "en"), which the page takes over.
    void setLanguage(const std::string& language);

    // The measurement starts (Start) or ends (Stop, the run's end, a board pulled out).
    void startRun();
    void stopRun();
    // One step with a curve point: the voltage of the curve of that half cycle, U_C and I.
    void addSample(HalfCycle phase, double u, double uc, double i);
    // A reading of the displays without curve point (while the capacitor is emptied before a run).
    void addReading(double uc, double i);
    // The program evaluated a half cycle of the current (or last) run: the result replaces an
    // earlier one of the same run and half cycle ("Auswerten" during a half cycle, then its end).
    void addTau(const TauResult& result);

    // A new client of the event stream, which gets every event from now on. startSeq is the
    // newest sample in the ring at that moment: the samples up to it come from samplesSince.
    std::shared_ptr<LiveSubscriber> subscribe(uint64_t& startSeq);
    void unsubscribe(const std::shared_ptr<LiveSubscriber>& subscriber);
    // Ends every event stream (sharing is turned off).
    void closeAll();
    std::size_t subscriberCount() const;

    // Samples with seq > after, at most limit.
    std::vector<LiveSample> samplesSince(uint64_t after, std::size_t limit) const;
    // The samples of the current run (or the last one, after a stop) still in the ring.
    std::vector<LiveSample> currentRunSamples() const;
    bool isRunning() const;
    int getRun() const;
    uint64_t lastSeq() const;
    std::vector<Tau> getTauResults() const;

    // GET /api/state: {"running", "run", "seq", "language", "latest", "tau": [...]}.
    std::string stateJson() const;
    // GET /api/samples: {"samples": [...], "first", "last", "more"}; first and last are the oldest
    // and the newest seq the program still holds; more is true when limit cut the list.
    std::string samplesJson(uint64_t after, std::size_t limit) const;

    // The JSON of one sample: {"seq", "run", "t", "Aufladen" or "Entladen", "U_C", "I"}.
    static std::string sampleJson(const LiveSample& sample);
    // One event of the stream: a sample's event is unnamed and carries its seq as id.
    static std::string sampleEvent(const LiveSample& sample);
    static std::string tauJson(const Tau& tau);

private:
    void openRunLocked();
    void publishLocked(const std::string& event);
    std::string stateJsonLocked() const;
    std::string runEventLocked() const;

    const Options options_;
    mutable std::mutex mutex_;
    SampleRing ring_;
    std::vector<std::shared_ptr<LiveSubscriber>> subscribers_;
    std::string language_ = "de";
    bool running_ = false;
    bool runOpen_ = false;
    int run_ = 0;
    uint64_t seq_ = 0;
    std::size_t samplesInRun_ = 0;
    std::optional<LiveSample> latest_;
    double readingUc_ = NAN;
    double readingI_ = NAN;
    std::deque<Tau> tau_;
};
