// Load on the live view: the virtual board measures through the program's chain (pseudo-terminal,
// serial port, splitter, the live view's receiver and hub) while N clients follow the event
// stream of the live view's server over loopback, and one more client asks for the stream and
// never reads again.
//
//   live_load [--seconds S] [--time-scale F] [--clients N] [--no-stalled]
//     S: measured seconds of real time (default 600); F: the board's time scale (default 1: 10
//     samples per second as the real board); N: reading clients (default 30).
//
// Reports per reading client whether it got every sample (no gap in the sequence numbers), the
// latency from the board's write of a sample's frames to the client's read of its event (p50,
// p99, max), the CPU share of the server's threads (named "live-*") and of the whole process, and
// what became of the stalled client. Exit code 1 when a reading client missed a sample.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "live/LiveHub.h"
#include "live/LiveReceiver.h"
#include "live/LiveServer.h"
#include "live/PinGuard.h"
#include "sim/VirtualBoard.h"
#include "stream/RunEndReceiver.h"
#include "stream/SComPortSplitter.h"

namespace {

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Gives the splitter the frame lengths of the experiment's four channels (2 bytes each), as the
// program's data channels do.
class FrameLengths : public Receiver {
public:
    bool hasId(uint32_t) const override { return false; }
    bool getFrameInfo(uint32_t id, int32_t& length, int32_t& lengthMode) const override {
        if (id < 1 || id > 4) return false;
        length = 2;
        lengthMode = lengthFixed;
        return true;
    }
};

// The board's write time of every sample, in the order the hub numbers them: the write that
// carried the first byte of each curve frame (id 1 or 2). Text lines ("OK start", "OK Ende")
// begin with 'O' where a frame would begin.
struct WriteTimes {
    std::mutex mutex;
    std::vector<int64_t> times;
    int position = 0;
    bool inText = false;

    void onWrite(int64_t when, const uint8_t* bytes, int count) {
        std::lock_guard lock(mutex);
        for (int i = 0; i < count; ++i) {
            const uint8_t b = bytes[i];
            if (inText) {
                inText = b != '\n';
                continue;
            }
            if (position == 0) {
                if (b == 'O') {
                    inText = true;
                    continue;
                }
                if (b == 1 || b == 2) times.push_back(when);
            }
            position = (position + 1) % 3;
        }
    }
    int64_t at(uint64_t seq) {
        std::lock_guard lock(mutex);
        return seq >= 1 && seq <= times.size() ? times[seq - 1] : 0;
    }
};

int connectLoopback(int port, int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const std::string request = "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One reading client: follows the stream, checks the ids, notes each event's latency.
struct Client {
    std::vector<double> latenciesMs;
    uint64_t first = 0;
    uint64_t last = 0;
    uint64_t gaps = 0;
    bool closed = false;

    void run(int port, WriteTimes& writes, const std::atomic<bool>& stopping) {
        pthread_setname_np(pthread_self(), "load-client");
        const int fd = connectLoopback(port);
        if (fd < 0) {
            closed = true;
            return;
        }
        std::string pending;
        char buffer[16384];
        while (!stopping) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = true;
                break;
            }
            const int64_t received = nowNs();
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t at = 0;
            for (;;) {
                const std::size_t id = pending.find("\nid: ", at);
                if (id == std::string::npos) break;
                const std::size_t end = pending.find('\n', id + 5);
                if (end == std::string::npos) break;
                const uint64_t seq = std::strtoull(pending.c_str() + id + 5, nullptr, 10);
                if (first == 0) first = seq;
                else if (seq != last + 1) ++gaps;
                last = seq;
                if (const int64_t written = writes.at(seq))
                    latenciesMs.push_back(static_cast<double>(received - written) * 1e-6);
                at = end;
            }
            pending.erase(0, at);
        }
        ::close(fd);
    }
};

// CPU ticks of this process's threads whose name starts with prefix (empty: all).
long threadTicks(const std::string& prefix) {
    long ticks = 0;
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) return 0;
    while (dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        const std::string name = line.substr(open + 1, close - open - 1);
        if (!prefix.empty() && name.rfind(prefix, 0) != 0) continue;
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int k = 3; k <= 15 && rest >> field; ++k) {
            if (k == 14) utime = std::atol(field.c_str());
            if (k == 15) stime = std::atol(field.c_str());
        }
        ticks += utime + stime;
    }
    ::closedir(tasks);
    return ticks;
}

double percentile(std::vector<double>& values, double q) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
}

bool command(SComPortSplitter& port, const char* text) {
    SString answer;
    port.setSuspended(1);
    const bool ok = port.writeText(SString(std::string(text) + "\n")) && port.readUntil(answer, 2000, SString("\n"));
    port.setSuspended(0);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 600.0, timeScale = 1.0;
    int clients = 30;
    bool stalled = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--seconds") seconds = std::atof(value), ++i;
        else if (a == "--time-scale") timeScale = std::atof(value), ++i;
        else if (a == "--clients") clients = std::atoi(value), ++i;
        else if (a == "--no-stalled") stalled = false;
        else {
            std::fprintf(stderr, "usage: live_load [--seconds S] [--time-scale F] [--clients N] [--no-stalled]\n");
            return 2;
        }
    }
    WriteTimes writes;
    VirtualBoard::Options options;
    options.seed = 3;
    options.timeScale = timeScale;
    options.realisticTiming = true;
    options.onWrite = [&](SimTime when, const uint8_t* bytes, int count) { writes.onWrite(when, bytes, count); };
    VirtualBoard board;
    if (!board.start(options)) {
        std::fprintf(stderr, "live_load: %s\n", board.getError().c_str());
        return 1;
    }
    auto hub = std::make_shared<LiveHub>();
    PinGuard guard(PinGuard::makePin());
    LiveServer server(*hub, guard, {{"/", {"<!DOCTYPE html>", "text/html"}}}, {});
    std::string error;
    if (!server.start("127.0.0.1", 0, error)) {
        std::fprintf(stderr, "live_load: %s\n", error.c_str());
        return 1;
    }
    SComPortSplitter port;
    FrameLengths lengths;
    const ChannelModel model = ChannelModel::fromFiles(SString(std::string(NUK_SOURCE_DIR "/resources/extdata.ini")),
                                                       SString(std::string(NUK_SOURCE_DIR "/resources/physik.repo")));
    LiveReceiver receiver(model);
    RunEndReceiver runEnd;
    port.connect(&lengths, 0);
    port.connect(&receiver, 0);
    port.connect(&runEnd, 0);
    receiver.setHub(hub);
    port.getSettings().fromString(board.getDevicePath() + SString(std::string(",115200,N,8,1")));
    if (!port.open()) {
        std::fprintf(stderr, "live_load: the board's port does not open\n");
        return 1;
    }
    port.purge();

    std::atomic<bool> stopping{false};
    std::vector<std::unique_ptr<Client>> readers;
    std::vector<std::thread> threads;
    for (int k = 0; k < clients; ++k) {
        readers.push_back(std::make_unique<Client>());
        threads.emplace_back([&, client = readers.back().get()] { client->run(server.getPort(), writes, stopping); });
    }
    int stalledFd = -1;
    if (stalled) stalledFd = connectLoopback(server.getPort(), 4096);
    while (hub->subscriberCount() < static_cast<std::size_t>(clients + (stalled ? 1 : 0)))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    const long serverBefore = threadTicks("live-");
    const long allBefore = threadTicks("");
    const long clientsBefore = threadTicks("load-client");
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    int runs = 0;
    bool stalledGone = false;
    double stalledGoneAfter = 0.0;
    // One run after the other, as a class would measure: Start, the run's end, Start again.
    command(port, "start");
    hub->startRun();
    ++runs;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (runEnd.takeEnded()) {
            hub->stopRun();
            // As the program's start does: what the line brought before is no answer.
            port.purge();
            command(port, "start");
            hub->startRun();
            ++runs;
        }
        if (stalled && !stalledGone && hub->subscriberCount() <= static_cast<std::size_t>(clients)) {
            stalledGone = true;
            stalledGoneAfter = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long serverTicks = threadTicks("live-") - serverBefore;
    const long clientTicks = threadTicks("load-client") - clientsBefore;
    const long allTicks = threadTicks("") - allBefore;
    command(port, "stop");
    hub->stopRun();
    // The last events still on their way.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const uint64_t produced = hub->lastSeq();
    stopping = true;
    for (auto& t : threads) t.join();
    if (stalledFd >= 0) ::close(stalledFd);
    server.stop();
    port.close();
    board.stop();

    std::vector<double> all;
    int failed = 0;
    for (std::size_t k = 0; k < readers.size(); ++k) {
        const Client& c = *readers[k];
        const bool complete = c.gaps == 0 && c.first == 1 && c.last == produced && !c.closed;
        if (!complete) {
            ++failed;
            std::printf("client %zu: first %llu, last %llu of %llu, gaps %llu%s\n", k,
                        static_cast<unsigned long long>(c.first), static_cast<unsigned long long>(c.last),
                        static_cast<unsigned long long>(produced), static_cast<unsigned long long>(c.gaps),
                        c.closed ? ", closed" : "");
        }
        all.insert(all.end(), c.latenciesMs.begin(), c.latenciesMs.end());
    }
    auto percent = [&](long ticks) { return 100.0 * static_cast<double>(ticks) / static_cast<double>(ticksPerSecond) / elapsed; };
    std::printf("live_load: %.0f s at time scale %g, %d runs, %llu samples, %d reading clients%s\n", elapsed,
                timeScale, runs, static_cast<unsigned long long>(produced), clients,
                stalled ? " and one stalled" : "");
    std::printf("  every sample at every reading client: %s (%d of %d complete)\n", failed ? "NO" : "yes",
                clients - failed, clients);
    std::printf("  latency board write -> client read: p50 %.1f ms, p99 %.1f ms, max %.1f ms (%zu events)\n",
                percentile(all, 0.5), percentile(all, 0.99), all.empty() ? 0.0 : *std::max_element(all.begin(), all.end()),
                all.size());
    std::printf("  CPU: server threads %.2f %% of a core; whole process %.2f %% (the clients %.2f %%, the board and "
                "the serial reader the rest)\n",
                percent(serverTicks), percent(allTicks), percent(clientTicks));
    if (stalled)
        std::printf("  stalled client: %s\n",
                    stalledGone ? ("dropped after " + std::to_string(static_cast<int>(stalledGoneAfter)) +
                                   " s, the others unaffected")
                                      .c_str()
                                : "still connected at the end (its socket buffers had room for everything)");
    return failed ? 1 : 0;
}
