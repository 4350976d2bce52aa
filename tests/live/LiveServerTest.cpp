#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "compat/Httplib.h"

#include "live/LiveHub.h"
#include "live/LiveServer.h"
#include "live/PinGuard.h"
#include "live/LoopbackClient.h"

namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& condition, int ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// The sequence numbers of the sample events in a stream's bytes, in order.
std::vector<uint64_t> eventIds(const std::string& stream) {
    std::vector<uint64_t> ids;
    static const std::regex id("(^|\n)id: ([0-9]+)\n");
    for (auto it = std::sregex_iterator(stream.begin(), stream.end(), id); it != std::sregex_iterator(); ++it)
        ids.push_back(std::stoull((*it)[2]));
    return ids;
}

// Collects the sample ids of a stream as its bytes arrive, reading each line once.
struct IdCollector {
    std::string pending;
    std::vector<uint64_t> ids;
    std::atomic<std::size_t> count{0};

    void append(const char* data, std::size_t length) {
        pending.append(data, length);
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
            if (pending.compare(start, 4, "id: ") == 0) ids.push_back(std::stoull(pending.substr(start + 4, end - start - 4)));
        pending.erase(0, start);
        count = ids.size();
    }
};

// Whether ids are first..last without gap or repetition.
bool complete(const std::vector<uint64_t>& ids, uint64_t first, uint64_t last) {
    if (ids.size() != last - first + 1) return false;
    for (std::size_t k = 0; k < ids.size(); ++k)
        if (ids[k] != first + k) return false;
    return true;
}

void addSamples(LiveHub& hub, int count) {
    for (int k = 0; k < count; ++k) hub.addSample(HalfCycle::charging, 1.0 + k * 1e-4, 1.0, 0.4);
}

class LiveServerTest : public ::testing::Test {
protected:
    LiveServerTest() : LiveServerTest(LiveServer::Options{}, LiveHub::Options{}) {}
    LiveServerTest(const LiveServer::Options& serverOptions, const LiveHub::Options& hubOptions)
        : hub_(hubOptions),
          guard_("123456", [this] { return now_; }),
          server_(hub_, guard_,
                  {{"/", {"<!DOCTYPE html><title>live</title>", "text/html; charset=utf-8"}},
                   {"/live.js", {"// script", "application/javascript"}},
                   {"/live.css", {"body{}", "text/css"}}},
                  hooks(), serverOptions) {}

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server_.start("127.0.0.1", 0, error)) << error;
        port_ = server_.getPort();
    }

    LiveServer::Hooks hooks() {
        LiveServer::Hooks h;
        h.start = [this] { ++starts_; };
        h.stop = [this] { ++stops_; };
        h.csv = [](bool english) -> std::optional<std::string> {
            return english ? "t in s,U_C in V\r\n0.000000,0.000000\r\n" : "t in s;U_C in V\r\n0,000000;0,000000\r\n";
        };
        return h;
    }

    httplib::Client client() {
        httplib::Client c("127.0.0.1", port_);
        c.set_read_timeout(10, 0);
        return c;
    }

    // A control request with this body from the loopback address.
    int control(const std::string& path, const std::string& body) {
        auto result = client().Post(path.c_str(), body, "application/json");
        return result ? result->status : 0;
    }

    PinGuard::Clock::time_point now_{std::chrono::hours(5)};
    LiveHub hub_;
    PinGuard guard_;
    std::atomic<int> starts_{0};
    std::atomic<int> stops_{0};
    LiveServer server_;
    int port_ = 0;
};

TEST_F(LiveServerTest, ServesThePageAndItsFilesByExactName) {
    httplib::Client c = client();
    const struct {
        const char* path;
        int status;
        const char* type;
    } cases[] = {
        {"/", 200, "text/html; charset=utf-8"},
        {"/live.js", 200, "application/javascript"},
        {"/live.css", 200, "text/css"},
        {"/live.js?v=2", 200, "application/javascript"},
        // The dot is no wildcard, and the resource's file name is no path.
        {"/liveXjs", 404, nullptr},
        {"/live_index.htm", 404, nullptr},
        {"/index.html", 404, nullptr},
        {"/LIVE.JS", 404, nullptr},
    };
    for (const auto& k : cases) {
        auto r = c.Get(k.path);
        if (!r || r->status != k.status || (k.type && r->get_header_value("Content-Type") != k.type)) {
            ADD_FAILURE() << k.path << ": " << (r ? r->status : 0);
        }
    }
    auto page = c.Get("/");
    ASSERT_TRUE(page);
    if (true) {
        EXPECT_EQ(page->body, "<!DOCTYPE html><title>live</title>");
        EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"), std::string::npos);
        EXPECT_EQ(page->get_header_value("Cache-Control"), "no-store");
    }
}

TEST_F(LiveServerTest, AnswersTheReadOnlyApi) {
    hub_.startRun();
    addSamples(hub_, 10);
    httplib::Client c = client();
    auto state = c.Get("/api/state");
    ASSERT_TRUE(state);
    if (true) {
        EXPECT_EQ(state->status, 200);
        EXPECT_EQ(state->get_header_value("Content-Type"), "application/json");
        EXPECT_NE(state->body.find(R"("running":true,"run":1,"seq":10,"language":"de")"), std::string::npos) << state->body;
    }
    auto samples = c.Get("/api/samples?since=7");
    ASSERT_TRUE(samples);
    if (true) {
        EXPECT_EQ(samples->status, 200);
        EXPECT_EQ(eventIds(std::regex_replace(samples->body, std::regex(R"(\{"seq":([0-9]+))"), "\nid: $1\n")),
                  (std::vector<uint64_t>{8, 9, 10}));
        EXPECT_NE(samples->body.find(R"("first":1,"last":10,"more":false)"), std::string::npos) << samples->body;
    }
    auto all = c.Get("/api/samples");
    if (all) {
        EXPECT_NE(all->body.find(R"({"samples":[{"seq":1,"run":1,"t":0,"Aufladen":1,"U_C":1,"I":0.4})"), std::string::npos)
            << all->body.substr(0, 200);
    }
    auto german = c.Get("/api/csv?format=de");
    auto english = c.Get("/api/csv?format=en");
    ASSERT_TRUE(german && english);
    if (true) {
        EXPECT_EQ(german->status, 200);
        EXPECT_EQ(german->body, "t in s;U_C in V\r\n0,000000;0,000000\r\n");
        EXPECT_EQ(german->get_header_value("Content-Type"), "text/csv; charset=windows-1252");
        EXPECT_NE(german->get_header_value("Content-Disposition").find("attachment"), std::string::npos);
        EXPECT_EQ(english->body, "t in s,U_C in V\r\n0.000000,0.000000\r\n");
    }
}

TEST_F(LiveServerTest, StreamsEverySampleAsAnEventWithItsSeq) {
    std::string received;
    IdCollector collected;
    std::thread reader([&] {
        httplib::Client c = client();
        c.Get("/api/events", [&](const char* data, std::size_t length) {
            received.append(data, length);
            collected.append(data, length);
            return collected.count < 200;
        });
    });
    ASSERT_TRUE(waitFor([&] { return hub_.subscriberCount() == 1; }));
    hub_.startRun();
    for (int batch = 0; batch < 20; ++batch) {
        addSamples(hub_, 10);
        std::this_thread::sleep_for(2ms);
    }
    const bool all = waitFor([&] { return collected.count >= 200; });
    reader.join();
    ASSERT_TRUE(all) << received.substr(0, 300);
    if (true) {
        EXPECT_TRUE(complete(collected.ids, 1, 200));
        EXPECT_NE(received.find("event: state\ndata: {\"running\":true,\"run\":1"), std::string::npos);
    }

    // A client that comes back with the last id it got first catches up from the ring.
    httplib::Headers resume{{"Last-Event-ID", "150"}};
    std::string resumed;
    httplib::Client c = client();
    c.Get("/api/events", resume, [&](const char* data, std::size_t length) {
        resumed.append(data, length);
        return eventIds(resumed).size() < 50;
    });
    if (true) {
        EXPECT_TRUE(complete(eventIds(resumed), 151, 200)) << resumed.substr(0, 300);
    }
}

TEST_F(LiveServerTest, ControlNeedsThePinAndLocksOutGuessers) {
    const struct {
        const char* path;
        const char* body;
        std::chrono::seconds after;
        int status;
        int starts;
        int stops;
    } steps[] = {
        {"/api/start", "{}", 0s, 401, 0, 0},
        {"/api/start", R"({"pin":"000000"})", 0s, 403, 0, 0},
        {"/api/start", R"({"pin":"123456"})", 0s, 202, 1, 0},
        {"/api/stop", R"({"pin":"123456"})", 0s, 202, 1, 1},
        {"/api/stop", R"({"pin":"1"})", 0s, 403, 1, 1},
        {"/api/stop", R"({"pin":"2"})", 0s, 403, 1, 1},
        {"/api/start", R"({"pin":"3"})", 0s, 403, 1, 1},
        {"/api/start", R"({"pin":"4"})", 0s, 403, 1, 1},
        {"/api/start", R"({"pin":"5"})", 0s, 403, 1, 1},
        // Locked: the right PIN is refused too, for 60 s.
        {"/api/start", R"({"pin":"123456"})", 0s, 429, 1, 1},
        {"/api/stop", R"({"pin":"123456"})", 59s, 429, 1, 1},
        {"/api/start", R"({"pin":"123456"})", 1s, 202, 2, 1},
    };
    int index = 0;
    for (const auto& step : steps) {
        now_ += step.after;
        const int status = control(step.path, step.body);
        if (status != step.status || starts_ != step.starts || stops_ != step.stops) {
            ADD_FAILURE() << "step " << index << " " << step.path << " " << step.body << ": " << status << ", starts "
                          << starts_ << ", stops " << stops_;
        }
        ++index;
    }
}

TEST_F(LiveServerTest, RefusesControlFromAnotherSitesPage) {
    // A page of another site in a pupil's browser: neither its right nor its wrong PINs count,
    // so it can neither start nor lock the address out. The live view's own page may.
    auto send = [&](const std::string& origin, const std::string& pin) {
        const std::string body = "{\"pin\":\"" + pin + "\"}";
        return LoopbackClient::status(LoopbackClient::exchange(
            port_, "POST /api/start HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                       "\r\nConnection: close\r\nOrigin: " + origin + "\r\nContent-Type: application/json\r\n"
                       "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
    };
    for (int k = 0; k < 6; ++k) send("http://evil.example", "000000");
    if (true) {
        EXPECT_EQ(send("http://evil.example", "123456"), 403);
        EXPECT_EQ(send("http://127.0.0.1:1", "123456"), 403);
        EXPECT_EQ(starts_, 0);
        EXPECT_EQ(send("http://127.0.0.1:" + std::to_string(port_), "123456"), 202);
        EXPECT_EQ(starts_, 1);
    }
}

// A web page a pupil opens could have its own name rebound to this computer (DNS rebinding)
// and read or control the live view from the pupil's browser: only addresses, loopback names
// and the address the server listens on are served.
TEST(LiveServerHost, OnlyAddressesAndLoopbackNamesAreServed) {
    struct Case {
        const char* host;
        const char* listening;
        bool allowed;
    } cases[] = {
        {"127.0.0.1:8080", "0.0.0.0", true},
        {"192.168.1.20:8080", "0.0.0.0", true},
        {"192.168.1.20", "", true},
        {"[::1]:8080", "", true},
        {"[fe80::1]", "", true},
        {"localhost:8080", "", true},
        {"LocalHost", "", true},
        {"app.localhost:80", "", true},
        {"schule-pc:8080", "schule-pc", true},
        {"", "", true},
        {"evil.example", "0.0.0.0", false},
        {"evil.example:8080", "", false},
        {"localhost.evil.example", "", false},
        {"1.2.3.4.evil.example", "", false},
        {"256.1.1.1", "", false},
        {"127.0.0.1:80x", "", false},
        {"[::1", "", false},
        {"[::1]x", "", false},
        {"[evil]", "", false},
        {"schule-pc:8080", "0.0.0.0", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LiveServer::isAllowedHost(c.host, c.listening), c.allowed) << c.host << " on " << c.listening;
}

TEST_F(LiveServerTest, RefusesAForeignHost) {
    auto status = [&](const std::string& host) {
        return LoopbackClient::status(
            LoopbackClient::exchange(port_, "GET /api/state HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n"));
    };
    EXPECT_EQ(status("evil.example"), 403);
    EXPECT_EQ(status("evil.example:" + std::to_string(port_)), 403);
    EXPECT_EQ(status("127.0.0.1:" + std::to_string(port_)), 200);
    EXPECT_EQ(status("localhost:" + std::to_string(port_)), 200);
}

TEST_F(LiveServerTest, RefusesBadRequestsAndChangesNothing) {
    hub_.startRun();
    addSamples(hub_, 3);
    const std::string before = hub_.stateJson();
    const std::string longName(10000, 'a');
    const std::string bigBody(100000, ' ');
    std::string manyHeaders;
    for (int k = 0; k < 3000; ++k) manyHeaders += "X-Line-" + std::to_string(k) + ": " + std::string(60, 'a') + "\r\n";
    const struct {
        const char* name;
        std::string request;
        int status;  // 0: any 4xx
    } cases[] = {
        {"unknown path", "GET /etc/passwd HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 404},
        {"dot segments", "GET /../live.js HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 0},
        {"dot segments inside", "GET /live.js/../live.css HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 404},
        {"encoded dot segments", "GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 0},
        {"resource name", "GET /wndvorbereitung.htm HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 404},
        {"wrong method on the API", "POST /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n", 405},
        {"GET on control", "GET /api/start HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 405},
        {"DELETE on control", "DELETE /api/stop HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 405},
        {"PUT on the page", "PUT / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\n\r\nhi", 405},
        {"bad JSON", "POST /api/start HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 10\r\n\r\npin=123456", 400},
        {"JSON but no object", "POST /api/start HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 8\r\n\r\n\"123456\"", 400},
        {"oversized body",
         "POST /api/start HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(bigBody.size()) + "\r\n\r\n" + bigBody,
         413},
        {"oversized header", "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Long: " + longName + "\r\n\r\n", 0},
        {"endless header lines", "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n" + manyHeaders + "\r\n", 431},
        {"oversized address", "GET /" + longName + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 414},
        {"bad since", "GET /api/samples?since=abc HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 400},
        {"negative since", "GET /api/samples?since=-1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 400},
        {"bad Last-Event-ID", "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\nLast-Event-ID: x\r\n\r\n", 400},
        {"bad CSV format", "GET /api/csv?format=../x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 400},
        {"no HTTP at all", "HELLO\r\n\r\n", 400},
    };
    for (const auto& c : cases) {
        std::string request = c.request;
        // Each request asks the server to close afterwards, so the answer ends with the connection.
        request.insert(request.find("\r\n") + 2, "Connection: close\r\n");
        const std::string answer = LoopbackClient::exchange(port_, request);
        const int status = LoopbackClient::status(answer);
        const bool ok = c.status ? status == c.status : status >= 400 && status < 500;
        if (!ok) {
            ADD_FAILURE() << c.name << ": " << answer.substr(0, 200);
        }
        // Nothing but the status and a short error: no file content, no page.
        if (answer.find("<!DOCTYPE") != std::string::npos || answer.find("root:") != std::string::npos) {
            ADD_FAILURE() << c.name << " served content: " << answer.substr(0, 200);
        }
    }
    if (true) {
        EXPECT_EQ(starts_, 0);
        EXPECT_EQ(stops_, 0);
        EXPECT_EQ(hub_.stateJson(), before);
    }
}

class LiveServerLimits : public LiveServerTest {
protected:
    static LiveServer::Options serverOptions() {
        LiveServer::Options o;
        o.maxClients = 3;
        o.writeSeconds = 1;
        // A client that left is noticed at the next write: the heartbeat comes every second here.
        o.heartbeatSeconds = 1;
        return o;
    }
    static LiveHub::Options hubOptions() {
        LiveHub::Options o;
        o.clientQueue = 512;
        o.ringCapacity = 100000;
        return o;
    }
    LiveServerLimits() : LiveServerTest(serverOptions(), hubOptions()) {}
};

TEST_F(LiveServerLimits, RefusesConnectionsBeyondTheLimit) {
    std::vector<std::unique_ptr<LoopbackClient>> streams;
    for (int k = 0; k < 3; ++k) {
        streams.push_back(std::make_unique<LoopbackClient>(port_));
        streams.back()->send("GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        ASSERT_TRUE(streams.back()->readUntil([](const std::string& s) { return s.find("retry:") != std::string::npos; }));
    }
    const std::string refused = LoopbackClient::exchange(port_, "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    if (true) {
        EXPECT_EQ(LoopbackClient::status(refused), 503) << refused;
    }
    // One leaves: the next client is served again.
    streams.pop_back();
    const bool served = waitFor([&] {
        return LoopbackClient::status(LoopbackClient::exchange(
                   port_, "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")) == 200;
    });
    if (true) {
        EXPECT_TRUE(served);
    }
}

TEST_F(LiveServerLimits, AStalledClientHoldsUpNobody) {
    // This client asks for the stream and never reads again; its socket buffers fill, then its
    // queue, and it is dropped, while the reading client gets every sample.
    LoopbackClient stalled(port_);
    stalled.send("GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(waitFor([&] { return hub_.subscriberCount() == 1; }));
    IdCollector collected;
    std::atomic<bool> readerEnded{false};
    std::thread reader([&] {
        httplib::Client c = client();
        c.Get("/api/events", [&](const char* data, std::size_t length) {
            collected.append(data, length);
            return collected.count < 60000;
        });
        readerEnded = true;
    });
    ASSERT_TRUE(waitFor([&] { return hub_.subscriberCount() == 2; }));
    // A measurement far faster than the board's, paced so that the reading client, which keeps
    // up, never has more than 200 events waiting.
    for (int batch = 0; batch < 600 && !readerEnded; ++batch) {
        addSamples(hub_, 100);
        waitFor([&] { return readerEnded || collected.count + 100 >= static_cast<std::size_t>((batch + 1) * 100); }, 2000);
    }
    const bool all = waitFor([&] { return collected.count >= 60000; });
    reader.join();
    if (true) {
        EXPECT_TRUE(all);
        EXPECT_TRUE(complete(collected.ids, 1, 60000));
        // The stalled client is gone: its stream was closed.
        EXPECT_TRUE(waitFor([&] { return hub_.subscriberCount() == 0; }));
    }
}

TEST_F(LiveServerTest, StopClosesEveryConnection) {
    LoopbackClient stream(port_);
    stream.send("GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(stream.readUntil([](const std::string& s) { return s.find("retry:") != std::string::npos; }));
    LoopbackClient idle(port_);
    idle.send("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(idle.readUntil([](const std::string& s) { return s.find("\"running\"") != std::string::npos; }));
    server_.stop();
    if (true) {
        EXPECT_TRUE(stream.readToEnd());
        EXPECT_TRUE(idle.readToEnd());
        EXPECT_EQ(hub_.subscriberCount(), 0u);
        EXPECT_FALSE(LoopbackClient(port_).isConnected());
    }
}

}  // namespace
