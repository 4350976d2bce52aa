#include "live/LiveServer.h"

#include <cerrno>
#include <cstring>

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <vector>

#include "compat/Httplib.h"

#include "live/LiveJson.h"
#include "platform/RequestHeadGuard.h"
#include "platform/SocketOptions.h"
#include "platform/SysError.h"
#include "platform/Threads.h"

namespace {

// Set on the threads that only answer 503: they serve connections beyond the limit.
thread_local bool refusingThread = false;

// Samples one answer of /api/samples carries at most; a client asks again from the last one.
constexpr std::size_t samplesPerAnswer = 5000;
// Samples per write while an event stream catches up from the ring.
constexpr std::size_t catchUpChunk = 256;

std::string errorJson(const std::string& text) {
    return "{\"error\":" + livejson::quote(text) + "}";
}

void answer(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(errorJson(text), "application/json");
}

std::string statusText(int status) {
    switch (status) {
    case 400: return "bad request";
    case 413: return "request too large";
    case 414: return "address too long";
    case 416: return "range not satisfiable";
    default: return "request refused";
    }
}

// The pattern for httplib's router that matches exactly this path.
std::string exactPattern(const std::string& path) {
    std::string pattern;
    for (const char c : path) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

// A sequence number from a query parameter or header: decimal digits only.
bool readSeq(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

}  // namespace

// The server's connection threads. httplib hands every accepted connection to enqueue; at most
// maxClients of them are served at once, each on its own thread (an event stream holds its
// thread for as long as it runs, so a shared fixed pool would let a few streams starve the
// rest). Connections beyond the limit go to a few refusing threads, which answer 503.
class LiveServer::ClientPool : public httplib::TaskQueue {
public:
    explicit ClientPool(std::size_t maxClients) : max_(maxClients) {}
    ~ClientPool() override { shutdown(); }

    // Every connection is taken: those beyond the limit are answered by the refusing threads.
    httplibcompat::EnqueueResult enqueue(std::function<void()> fn) override {
        // enqueue runs on the accepting thread right after the accept.
        Job job{std::move(fn), requesthead::takeAcceptedSocket()};
        {
            std::lock_guard lock(mutex_);
            if (busy_ + jobs_.size() >= max_) {
                refusals_.push_back(std::move(job));
                if (refusers_.size() < refusingThreads) refusers_.emplace_back([this] { refuse(); });
                wake_.notify_all();
                return httplibcompat::accepted();
            }
            jobs_.push_back(std::move(job));
            if (idle_ < jobs_.size() && workers_.size() < max_) workers_.emplace_back([this] { work(); });
        }
        wake_.notify_all();
        return httplibcompat::accepted();
    }

    void shutdown() override {
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            threads.swap(workers_);
            for (auto& t : refusers_) threads.push_back(std::move(t));
            refusers_.clear();
        }
        wake_.notify_all();
        for (auto& t : threads)
            if (t.joinable()) t.join();
    }

    std::size_t busy() const {
        std::lock_guard lock(mutex_);
        return busy_;
    }

private:
    static constexpr std::size_t refusingThreads = 2;
    // The longest request head (request line and headers) read.
    static constexpr std::size_t maxHead = 16384;

    struct Job {
        std::function<void()> serve;
        int socket = -1;
    };

    // Serves one connection: its head is checked first, then httplib reads and answers it.
    static void serve(Job& job) {
        if (job.socket >= 0) {
            // The kernel keeps at most this much unsent for a client: one that stops reading
            // fills it within a minute of the board's samples, then its queue, and is dropped.
            platform::setSendBufferSize(job.socket, 64 * 1024);
        }
        requesthead::admit(job.socket, maxHead, std::chrono::seconds(2));
        job.serve();
    }

    // Takes connections until the server closes and none is left: every accepted socket is
    // served (or refused) and closed, also at shutdown.
    void work() {
        platform::setCurrentThreadName("live-conn");
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                ++idle_;
                wake_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
                --idle_;
                if (jobs_.empty()) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
                ++busy_;
            }
            serve(job);
            std::lock_guard lock(mutex_);
            --busy_;
        }
    }

    void refuse() {
        platform::setCurrentThreadName("live-refuse");
        refusingThread = true;
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return closing_ || !refusals_.empty(); });
                if (refusals_.empty()) return;
                job = std::move(refusals_.front());
                refusals_.pop_front();
            }
            serve(job);
        }
    }

    const std::size_t max_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::deque<Job> refusals_;
    std::vector<std::thread> workers_;
    std::vector<std::thread> refusers_;
    std::size_t idle_ = 0;
    std::size_t busy_ = 0;
    bool closing_ = false;
};

LiveServer::LiveServer(LiveHub& hub, PinGuard& guard, std::map<std::string, Page> pages, Hooks hooks)
    : LiveServer(hub, guard, std::move(pages), std::move(hooks), Options{}) {}

LiveServer::LiveServer(LiveHub& hub, PinGuard& guard, std::map<std::string, Page> pages, Hooks hooks,
                       const Options& options)
    : hub_(hub), guard_(guard), pages_(std::move(pages)), hooks_(std::move(hooks)), options_(options) {}

LiveServer::~LiveServer() {
    stop();
}

std::size_t LiveServer::connectionCount() const {
    return pool_ ? pool_->busy() : 0;
}

namespace {

std::string lowercase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool allDigits(const std::string& text) {
    return !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
}

// Four numbers 0 to 255 with dots between.
bool isIpv4Literal(const std::string& text) {
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos) return false;
        const std::string number = text.substr(start, end - start);
        if (number.empty() || number.size() > 3 || !allDigits(number) || std::stoi(number) > 255) return false;
        start = end + 1;
    }
    return true;
}

// Hex groups with colons (an IPv4 tail allowed), as between the brackets of a URL.
bool isIpv6Literal(const std::string& text) {
    return text.size() >= 2 && text.find(':') != std::string::npos &&
           text.find_first_not_of("0123456789abcdefABCDEF:.") == std::string::npos;
}

}  // namespace

bool LiveServer::isAllowedHost(const std::string& header, const std::string& listeningHost) {
    if (header.empty()) return true;
    std::string host = lowercase(header);
    if (host.front() == '[') {
        const std::size_t end = host.find(']');
        if (end == std::string::npos) return false;
        const std::string rest = host.substr(end + 1);
        if (!rest.empty() && (rest[0] != ':' || !allDigits(rest.substr(1)))) return false;
        return isIpv6Literal(host.substr(1, end - 1));
    }
    const std::size_t colon = host.find(':');
    if (colon != std::string::npos) {
        if (!allDigits(host.substr(colon + 1))) return false;
        host.erase(colon);
    }
    if (!host.empty() && host.back() == '.') host.pop_back();
    if (host == "localhost" || (host.size() > 10 && host.compare(host.size() - 10, 10, ".localhost") == 0)) return true;
    if (!listeningHost.empty() && host == lowercase(listeningHost)) return true;
    return isIpv4Literal(host);
}

bool LiveServer::start(const std::string& host, int port, std::string& error) {
    if (isRunning()) return true;
    host_ = host;
    // A client that goes away while a stream is written to must not end the program.
    platform::ignoreBrokenPipes();
    server_ = std::make_unique<httplib::Server>();
    server_->new_task_queue = [this] {
        pool_ = new ClientPool(options_.maxClients);
        return pool_;
    };
    server_->set_payload_max_length(options_.maxBody);
    // One request per connection: every request's head passes the size check before httplib
    // reads it (see RequestHeadGuard.h), and no idle connection holds a slot.
    server_->set_keep_alive_max_count(1);
    server_->set_keep_alive_timeout(options_.idleSeconds);
    server_->set_read_timeout(options_.idleSeconds, 0);
    server_->set_write_timeout(options_.writeSeconds, 0);
    server_->set_tcp_nodelay(true);
    server_->set_default_headers({{"Cache-Control", "no-store"},
                                  {"X-Content-Type-Options", "nosniff"},
                                  {"Referrer-Policy", "no-referrer"}});
    installRoutes();
    errno = 0;
    const bool bound = port == 0 ? (port_ = server_->bind_to_any_port(host)) > 0 : server_->bind_to_port(host, port);
    if (!bound) {
        // The system's reason, read at once; a name that did not resolve leaves none.
        const int code = errno;
        error = code != 0 ? platform::errorText(code) : std::string("no such address");
        server_.reset();
        return false;
    }
    if (port != 0) port_ = port;
    thread_ = std::thread([this] {
        platform::setCurrentThreadName("live-listen");
        server_->listen_after_bind();
    });
    return true;
}

void LiveServer::stop() {
    if (!thread_.joinable()) return;
    // The event streams end at once (one that was just being opened sees stopping_); the
    // listening socket closes, then httplib waits for the connection threads, which end after
    // their current request (idle ones within idleSeconds).
    stopping_ = true;
    hub_.closeAll();
    server_->stop();
    thread_.join();
    pool_ = nullptr;
    server_.reset();
    stopping_ = false;
}

void LiveServer::installRoutes() {
    httplib::Server& svr = *server_;

    // Which method each path takes; everything else is refused here, before any body is read.
    auto routes = std::make_shared<std::map<std::string, std::string>>();
    for (const auto& [path, page] : pages_) (*routes)[path] = "GET";
    for (const char* path : {"/api/state", "/api/samples", "/api/events", "/api/csv"}) (*routes)[path] = "GET";
    (*routes)["/api/start"] = "POST";
    (*routes)["/api/stop"] = "POST";

    svr.set_pre_routing_handler([routes, this](const httplib::Request& req, httplib::Response& res) {
        if (refusingThread) {
            answer(res, 503, "too many clients");
            res.set_header("Retry-After", "5");
            res.set_header("Connection", "close");
            return httplib::Server::HandlerResponse::Handled;
        }
        const auto route = routes->find(req.path);
        if (!isAllowedHost(req.get_header_value("Host"), host_)) {
            // A page of another site whose name was rebound to this computer.
            answer(res, 403, "unknown host: open the address the program shows");
        } else if (route == routes->end()) {
            answer(res, 404, "not found");
        } else if (req.method == route->second || (route->second == "GET" && req.method == "HEAD")) {
            return httplib::Server::HandlerResponse::Unhandled;
        } else {
            answer(res, 405, "method not allowed");
            res.set_header("Allow", route->second == "GET" ? "GET, HEAD" : route->second);
        }
        // The body of a refused request is never read: the connection cannot go on after it.
        res.set_header("Connection", "close");
        return httplib::Server::HandlerResponse::Handled;
    });
    // Answers httplib gives itself (413, 414, 400 for a broken request line or header) get a
    // body too.
    svr.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) res.set_content(errorJson(statusText(res.status)), "application/json");
    });

    for (const auto& [path, page] : pages_) {
        const Page* served = &page;
        svr.Get(exactPattern(path), [served](const httplib::Request&, httplib::Response& res) {
            res.set_content(served->content, served->type);
            // The page uses nothing but its own files and this server.
            res.set_header("Content-Security-Policy",
                           "default-src 'self'; img-src 'self' data:; connect-src 'self'; frame-ancestors 'none'");
        });
    }

    svr.Get("/api/state", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(hub_.stateJson(), "application/json");
    });

    svr.Get("/api/samples", [this](const httplib::Request& req, httplib::Response& res) {
        uint64_t since = 0;
        if (req.has_param("since") && !readSeq(req.get_param_value("since"), since)) {
            answer(res, 400, "since must be a sequence number");
            return;
        }
        res.set_content(hub_.samplesJson(since, samplesPerAnswer), "application/json");
    });

    svr.Get("/api/csv", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string format = req.has_param("format") ? req.get_param_value("format") : "de";
        if (format != "de" && format != "en") {
            answer(res, 400, "format must be de or en");
            return;
        }
        const std::optional<std::string> csv = hooks_.csv ? hooks_.csv(format == "en") : std::nullopt;
        if (!csv) {
            answer(res, 404, "no measurement");
            return;
        }
        res.set_content(*csv, "text/csv; charset=windows-1252");
        res.set_header("Content-Disposition", format == "en" ? "attachment; filename=\"measurement.csv\""
                                                             : "attachment; filename=\"Messung.csv\"");
    });

    installEventStream();
    installControl("/api/start", true);
    installControl("/api/stop", false);
}

void LiveServer::installEventStream() {
    server_->Get("/api/events", [this](const httplib::Request& req, httplib::Response& res) {
        // A reconnecting EventSource sends the last id it got; a script may ask with ?since=N.
        uint64_t after = 0;
        const std::string last = req.has_header("Last-Event-ID") ? req.get_header_value("Last-Event-ID")
                                 : req.has_param("since")        ? req.get_param_value("since")
                                                                 : std::string();
        if (!last.empty() && !readSeq(last, after)) {
            answer(res, 400, "Last-Event-ID and since must be sequence numbers");
            return;
        }
        if (stopping_) {
            answer(res, 503, "sharing ends");
            return;
        }
        struct Stream {
            std::shared_ptr<LiveSubscriber> subscriber;
            uint64_t cursor = 0;    // the last sample sent from the ring
            uint64_t startSeq = 0;  // the queue has every sample after this one
            int quietSeconds = 0;
            bool greeted = false;
        };
        auto stream = std::make_shared<Stream>();
        stream->subscriber = hub_.subscribe(stream->startSeq);
        stream->cursor = after;
        res.set_header("X-Accel-Buffering", "no");
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, stream](std::size_t, httplib::DataSink& sink) {
                if (stopping_) return false;
                if (!stream->greeted) {
                    // A dropped client comes back after a second and resumes from its last id.
                    stream->greeted = true;
                    static const std::string retry = "retry: 1000\n\n";
                    return sink.write(retry.data(), retry.size());
                }
                if (stream->cursor < stream->startSeq) {
                    // Catching up from the ring, a chunk at a time.
                    std::string out;
                    for (const LiveSample& s : hub_.samplesSince(stream->cursor, catchUpChunk)) {
                        if (s.seq > stream->startSeq) break;
                        out += LiveHub::sampleEvent(s);
                        stream->cursor = s.seq;
                    }
                    if (out.empty()) {
                        stream->cursor = stream->startSeq;
                        return true;
                    }
                    return sink.write(out.data(), out.size());
                }
                std::vector<LiveSubscriber::Event> events;
                switch (stream->subscriber->take(events, std::chrono::seconds(1))) {
                case LiveSubscriber::Taken::closed:
                case LiveSubscriber::Taken::dropped:
                    return false;
                case LiveSubscriber::Taken::timeout:
                    if (++stream->quietSeconds < options_.heartbeatSeconds) return true;
                    stream->quietSeconds = 0;
                    return sink.write(": ping\n\n", 8);
                case LiveSubscriber::Taken::events:
                    break;
                }
                stream->quietSeconds = 0;
                std::string out;
                for (const auto& event : events) out += *event;
                return sink.write(out.data(), out.size());
            },
            [this, stream](bool) { hub_.unsubscribe(stream->subscriber); });
    });
}

void LiveServer::installControl(const std::string& path, bool start) {
    server_->Post(path, [this, start](const httplib::Request& req, httplib::Response& res) {
        // A page of another site, open in a browser on the school network, could send this
        // request too (guessing PINs, or locking the browser's address out): browsers name the
        // page's origin, and only this server's own page may control. Scripts send no origin.
        if (req.has_header("Origin") && req.get_header_value("Origin") != "http://" + req.get_header_value("Host")) {
            answer(res, 403, "control only from the live view's own page");
            return;
        }
        const livejson::PinBody body = livejson::readPinBody(req.body);
        if (body.status != livejson::PinBody::Status::ok) {
            answer(res, 400, "the body must be a JSON object such as {\"pin\":\"123456\"}");
            return;
        }
        switch (guard_.check(req.remote_addr, body.pin ? &*body.pin : nullptr)) {
        case PinGuard::Verdict::missing:
            answer(res, 401, "PIN required");
            res.set_header("WWW-Authenticate", "PIN");
            return;
        case PinGuard::Verdict::wrong:
            answer(res, 403, "wrong PIN");
            return;
        case PinGuard::Verdict::locked:
            answer(res, 429, "too many wrong PINs, try again later");
            res.set_header("Retry-After", std::to_string(guard_.secondsLocked(req.remote_addr)));
            return;
        case PinGuard::Verdict::accepted:
            break;
        }
        const std::function<void()>& action = start ? hooks_.start : hooks_.stop;
        if (action) action();
        res.status = 202;
        res.set_content(std::string("{\"accepted\":\"") + (start ? "start" : "stop") + "\"}", "application/json");
    });
}
