// The live view's HTTP server: the page, the read-only API, the event stream, and start and
// stop for whoever knows the PIN. cpp-httplib carries HTTP; this class holds the routes and rules.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "live/LiveHub.h"
#include "live/PinGuard.h"

namespace httplib {
class Server;
}

// Routes (nothing else is answered; a known path with another method gets 405, any other 404):
//   GET  /                   the page (live_index.htm)      GET /live.js, /live.css  its files
//   GET  /api/state          running, run, latest values, time constants
//   GET  /api/samples?since=N  the samples with seq > N still held (at most 5000 per answer)
//   GET  /api/events         Server-Sent Events: every sample one event with id = seq; named
//                            events "state", "tau", "reading"; Last-Event-ID or ?since=N resumes
//   GET  /api/csv?format=de|en  the current run as CSV (";" and decimal comma, or "," and point)
//   POST /api/start, /api/stop  body {"pin":"123456"}: 202 when accepted; 400 bad JSON, 401 no
//                            PIN, 403 wrong PIN or a browser's request from another site's page,
//                            429 while the address is locked out
// Limits: request bodies over maxBody bytes get 413; at most maxClients connections are served
// at once, more get 503; every event-stream client has its own bounded queue.
class LiveServer {
public:
    struct Page {
        std::string content;
        std::string type;
    };
    struct Options {
        std::size_t maxClients = 64;
        std::size_t maxBody = 1024;
        // Keep-alive and read time-outs: how long an idle or half-sent connection holds a slot.
        int idleSeconds = 2;
        // A client that does not take a write for this long is closed.
        int writeSeconds = 3;
        // A comment line keeps idle event streams alive through proxies and finds dead peers.
        int heartbeatSeconds = 10;
    };
    // What the server cannot do itself; each is called on a connection thread.
    struct Hooks {
        // Start and stop as the keys F5 and F6 do; the program runs them on its own thread and
        // returns at once.
        std::function<void()> start;
        std::function<void()> stop;
        // The current run as CSV for a German spreadsheet (english false) or an international one.
        std::function<std::optional<std::string>(bool english)> csv;
    };

    // pages: the served files by URL path ("/", "/live.js", ...); nothing else is served.
    LiveServer(LiveHub& hub, PinGuard& guard, std::map<std::string, Page> pages, Hooks hooks);
    LiveServer(LiveHub& hub, PinGuard& guard, std::map<std::string, Page> pages, Hooks hooks,
               const Options& options);
    ~LiveServer();
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    // Listens on host:port (port 0: a free one) on its own thread. False with the system's
    // reason when the address cannot be used.
    bool start(const std::string& host, int port, std::string& error);
    // Closes every connection and waits for the server's threads.
    void stop();
    bool isRunning() const { return thread_.joinable(); }
    int getPort() const { return port_; }
    // Connections served at the moment.
    std::size_t connectionCount() const;

    // Whether a request's Host header may be served: a name a web page could have rebound to
    // this computer (DNS rebinding) is refused. Allowed are an IP literal (with or without
    // port, IPv6 in brackets), "localhost" and its subdomains, the address the server listens
    // on, and no Host at all (no browser leaves it out).
    static bool isAllowedHost(const std::string& header, const std::string& listeningHost);

private:
    class ClientPool;
    void installRoutes();
    void installEventStream();
    void installControl(const std::string& path, bool start);

    LiveHub& hub_;
    PinGuard& guard_;
    const std::map<std::string, Page> pages_;
    const Hooks hooks_;
    const Options options_;
    std::unique_ptr<httplib::Server> server_;
    ClientPool* pool_ = nullptr;  // owned by the server
    std::thread thread_;
    int port_ = 0;
    // The address given to start (a name there is the user's own choice).
    std::string host_;
    // Set when sharing ends: event streams finish, new ones are refused.
    std::atomic<bool> stopping_{false};
};
