#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "live/LiveHub.h"
#include "live/SampleRing.h"

namespace {

// A run of the board, or part of one: 30 s charging and 30 s discharging at 10 samples per
// second, tau 4.7 s; the discharging samples from number dischargeFrom on.
void feedRun(LiveHub& hub, int chargeSamples = 300, int dischargeSamples = 300, int dischargeFrom = 0) {
    const double tau = 4.7;
    for (int k = 0; k < chargeSamples; ++k) {
        const double u = 5.0 * (1.0 - std::exp(-k / 10.0 / tau));
        hub.addSample(HalfCycle::charging, u, u, (5.0 - u) / 10.0);
    }
    const double top = 5.0 * (1.0 - std::exp(-30.0 / tau));
    for (int k = dischargeFrom; k < dischargeFrom + dischargeSamples; ++k) {
        const double u = top * std::exp(-k / 10.0 / tau);
        hub.addSample(HalfCycle::discharging, u, u, u / 10.0);
    }
}

std::vector<uint64_t> seqs(const std::vector<LiveSample>& samples) {
    std::vector<uint64_t> out;
    for (const LiveSample& s : samples) out.push_back(s.seq);
    return out;
}

TEST(SampleRing, KeepsTheNewestAndAnswersSince) {
    SampleRing ring(4);
    for (uint64_t seq = 1; seq <= 6; ++seq) {
        LiveSample s;
        s.seq = seq;
        s.run = seq <= 3 ? 1 : 2;
        ring.append(s);
    }
    if (true) {
        EXPECT_EQ(ring.firstSeq(), 3u);
        EXPECT_EQ(ring.lastSeq(), 6u);
        // Asked from before the oldest it answers what it still has.
        EXPECT_EQ(seqs(ring.since(0, 100)), (std::vector<uint64_t>{3, 4, 5, 6}));
        EXPECT_EQ(seqs(ring.since(4, 100)), (std::vector<uint64_t>{5, 6}));
        EXPECT_EQ(seqs(ring.since(3, 2)), (std::vector<uint64_t>{4, 5}));
        EXPECT_TRUE(ring.since(6, 100).empty());
        EXPECT_TRUE(ring.since(60, 100).empty());
        EXPECT_EQ(seqs(ring.run(2)), (std::vector<uint64_t>{4, 5, 6}));
    }
}

TEST(LiveHub, NumbersSamplesWithoutGapsAcrossRuns) {
    LiveHub hub;
    hub.startRun();
    feedRun(hub, 20, 10);
    hub.stopRun();
    // Frames that come before the program has reported the start open a run of their own.
    feedRun(hub, 5, 0);
    hub.startRun();
    feedRun(hub, 5, 0);
    const std::vector<LiveSample> all = hub.samplesSince(0, 1000);
    ASSERT_EQ(all.size(), 40u);
    for (std::size_t k = 0; k < all.size(); ++k) {
        if (all[k].seq != k + 1) {
            ADD_FAILURE() << "sample " << k << " has seq " << all[k].seq;
        }
    }
    if (true) {
        EXPECT_EQ(all[0].run, 1);
        EXPECT_EQ(all[29].run, 1);
        EXPECT_EQ(all[30].run, 2);
        EXPECT_EQ(all[39].run, 2);
        // The time counts from the run's first sample, over both halves.
        EXPECT_DOUBLE_EQ(all[25].t, 2.5);
        EXPECT_DOUBLE_EQ(all[30].t, 0.0);
        EXPECT_DOUBLE_EQ(all[39].t, 0.9);
        EXPECT_EQ(hub.currentRunSamples().size(), 10u);
        EXPECT_TRUE(hub.isRunning());
    }
}

// The hub shows the program's evaluation, not one of its own: a later result of the same run
// and half cycle (the end after "Auswerten" during it) replaces the earlier one, and a new run
// keeps the last run's results beside its own.
TEST(LiveHub, KeepsTheProgramsTimeConstantsPerRunAndHalfCycle) {
    LiveHub hub;
    auto result = [](HalfCycle kind, double tau) {
        TauResult r;
        r.kind = kind;
        r.fit.ok = true;
        r.fit.tau = tau;
        return r;
    };
    hub.startRun();
    feedRun(hub, 300, 300);
    EXPECT_TRUE(hub.getTauResults().empty()) << "nothing is evaluated that the program did not hand in";
    hub.addTau(result(HalfCycle::charging, 4.1));
    hub.addTau(result(HalfCycle::charging, 4.72));
    hub.addTau(result(HalfCycle::discharging, 4.68));
    hub.stopRun();
    std::vector<LiveHub::Tau> taus = hub.getTauResults();
    ASSERT_EQ(taus.size(), 2u);
    EXPECT_EQ(taus[0].run, 1);
    EXPECT_EQ(taus[0].result.kind, HalfCycle::charging);
    EXPECT_DOUBLE_EQ(taus[0].result.fit.tau, 4.72);
    EXPECT_EQ(taus[1].result.kind, HalfCycle::discharging);
    const std::string state = hub.stateJson();
    EXPECT_NE(state.find("\"running\":false"), std::string::npos) << state;
    EXPECT_TRUE(std::regex_search(state, std::regex("\"fit\":4\\.72"))) << state;

    hub.startRun();
    hub.addTau(result(HalfCycle::charging, 4.5));
    taus = hub.getTauResults();
    ASSERT_EQ(taus.size(), 3u);
    EXPECT_EQ(taus[2].run, 2);
    EXPECT_DOUBLE_EQ(taus[0].result.fit.tau, 4.72) << "the last run's result stays";
}

// A sample's time is its number in the run times the step, never a running sum.
TEST(LiveHub, SampleTimesAreTheirNumberTimesTheStep) {
    LiveHub::Options options;
    options.sampleStep = 0.05;
    LiveHub hub(options);
    hub.startRun();
    feedRun(hub, 2000, 0);
    const std::vector<LiveSample> samples = hub.currentRunSamples();
    ASSERT_EQ(samples.size(), 2000u);
    EXPECT_EQ(samples[0].t, 0.0);
    EXPECT_EQ(samples[1999].t, 1999 * 0.05);
}

TEST(LiveHub, SampleJsonNamesTheCurveChannel) {
    LiveSample s;
    s.seq = 7;
    s.run = 2;
    s.t = 0.6;
    s.phase = HalfCycle::discharging;
    s.u = 2.5;
    s.uc = 2.5;
    s.i = 0.25;
    if (true) {
        EXPECT_EQ(LiveHub::sampleJson(s), R"({"seq":7,"run":2,"t":0.6,"Entladen":2.5,"U_C":2.5,"I":0.25})");
        EXPECT_EQ(LiveHub::sampleEvent(s).substr(0, 12), "id: 7\ndata: ");
    }
}

TEST(LiveHub, SamplesJsonSaysWhenMoreAreLeft) {
    LiveHub hub;
    feedRun(hub, 10, 0);
    const std::string page = hub.samplesJson(2, 3);
    if (true) {
        EXPECT_TRUE(std::regex_search(page, std::regex(R"(^\{"samples":\[\{"seq":3,.*\{"seq":5,[^\]]*\],"first":1,"last":10,"more":true\}$)")))
            << page;
        EXPECT_EQ(hub.samplesJson(10, 3), R"({"samples":[],"first":1,"last":10,"more":false})");
    }
}

TEST(LiveHub, AFullClientQueueDropsOnlyThatClient) {
    LiveHub::Options options;
    options.clientQueue = 8;
    LiveHub hub(options);
    uint64_t startSeq = 0;
    auto slow = hub.subscribe(startSeq);
    auto quick = hub.subscribe(startSeq);
    std::vector<LiveSubscriber::Event> got;
    for (int k = 0; k < 20; ++k) {
        hub.addSample(HalfCycle::charging, 1.0, 1.0, 0.1);
        quick->take(got, std::chrono::milliseconds(0));
    }
    if (true) {
        EXPECT_TRUE(slow->isDropped());
        EXPECT_FALSE(quick->isDropped());
        // The state event at subscription, then every sample.
        EXPECT_EQ(got.size(), 21u);
        EXPECT_EQ(slow->take(got, std::chrono::milliseconds(0)), LiveSubscriber::Taken::dropped);
    }
    hub.closeAll();
    if (true) {
        EXPECT_EQ(quick->take(got, std::chrono::milliseconds(0)), LiveSubscriber::Taken::closed);
        EXPECT_EQ(hub.subscriberCount(), 0u);
    }
}

}  // namespace
