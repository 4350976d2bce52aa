// The serial reader thread: what it costs while the line is idle and while the board streams
// at the full 115200 baud, and how long a byte takes from the line to onByte.
//
// The port is opened on a pseudo-terminal (by its device path, so no port map is touched); a
// writer thread plays the board on the master. The reader's own CPU time comes from the
// kernel's per-thread accounting (/proc/self/task/<tid>/schedstat, nanoseconds) of the thread
// named "comreader"; as a cross-check the process CPU time minus the writer's own thread time
// is reported too.
#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "stream/SComPort.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

int64_t clockNs(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The thread id of the port's reader, found by its name.
int readerTid() {
    DIR* d = opendir("/proc/self/task");
    if (!d) return -1;
    int tid = -1;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name == "comreader") tid = std::atoi(e->d_name);
    }
    closedir(d);
    return tid;
}

// CPU time of a thread of this process in nanoseconds.
int64_t threadCpuNs(int tid) {
    std::ifstream s("/proc/self/task/" + std::to_string(tid) + "/schedstat");
    long long ns = -1;
    s >> ns;
    return ns;
}

class BenchPort : public SComPort {
public:
    ~BenchPort() override { close(); }
    void onByte(uint8_t) override {
        lastArrivalNs.store(nowNs(), std::memory_order_relaxed);
        received.fetch_add(1, std::memory_order_release);
        received.notify_one();
    }
    std::atomic<int64_t> lastArrivalNs{0};
    std::atomic<uint64_t> received{0};
};

struct Line {
    int master = -1, slave = -1;
    std::string path;
    Line() {
        openpty(&master, &slave, nullptr, nullptr, nullptr);
        char name[128] = {};
        ptsname_r(master, name, sizeof name);
        path = name;
    }
    ~Line() {
        ::close(master);
        ::close(slave);
    }
};

bool openPort(BenchPort& port, const Line& line, benchmark::State& state) {
    port.getSettings().fromString(SString(line.path + ",115200,N,8,1"));
    if (!port.open(SString(line.path))) {
        state.SkipWithError(port.getError().c_str());
        return false;
    }
    return true;
}

// An open port on a silent line for one second.
void BM_ReaderIdle(benchmark::State& state) {
    Line line;
    BenchPort port;
    if (!openPort(port, line, state)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int tid = readerTid();
    for (auto _ : state) {
        const int64_t cpu0 = threadCpuNs(tid), proc0 = clockNs(CLOCK_PROCESS_CPUTIME_ID), t0 = nowNs();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const double wallS = (nowNs() - t0) / 1e9;
        state.SetIterationTime(wallS);
        state.counters["reader_cpu_us_per_s"] = (threadCpuNs(tid) - cpu0) / 1e3 / wallS;
        state.counters["process_cpu_us_per_s"] = (clockNs(CLOCK_PROCESS_CPUTIME_ID) - proc0) / 1e3 / wallS;
    }
}
BENCHMARK(BM_ReaderIdle)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The board streams 11520 bytes/s (115200 baud, 10 bit times per byte) for two seconds, in
// chunks of range(0) bytes at the pace of the line: 1 byte is the worst case of one wake-up
// per byte, 12 bytes a USB bridge's packet per millisecond frame.
void BM_ReaderFullRate(benchmark::State& state) {
    const int chunk = static_cast<int>(state.range(0));
    constexpr int bytesPerSecond = 11520;
    constexpr int seconds = 2;
    Line line;
    BenchPort port;
    if (!openPort(port, line, state)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int tid = readerTid();
    for (auto _ : state) {
        port.received = 0;
        std::atomic<int64_t> writerCpu{0};
        const int64_t cpu0 = threadCpuNs(tid), proc0 = clockNs(CLOCK_PROCESS_CPUTIME_ID), t0 = nowNs();
        std::thread board([&] {
            const int64_t w0 = clockNs(CLOCK_THREAD_CPUTIME_ID);
            std::vector<char> bytes(static_cast<std::size_t>(chunk), 'M');
            const int total = bytesPerSecond * seconds;
            const auto start = Clock::now();
            for (int sent = 0; sent < total; sent += chunk) {
                std::this_thread::sleep_until(
                    start + std::chrono::nanoseconds(int64_t(sent) * 1000000000 / bytesPerSecond));
                if (::write(line.master, bytes.data(), bytes.size()) < 0) break;
            }
            writerCpu = clockNs(CLOCK_THREAD_CPUTIME_ID) - w0;
        });
        board.join();
        // Let the last bytes arrive.
        const uint64_t expected =
            static_cast<uint64_t>((bytesPerSecond * seconds + chunk - 1) / chunk * chunk);
        for (int i = 0; i < 200 && port.received.load() < expected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const double wallS = (nowNs() - t0) / 1e9;
        state.SetIterationTime(wallS);
        state.counters["reader_cpu_us_per_s"] = (threadCpuNs(tid) - cpu0) / 1e3 / wallS;
        state.counters["process_minus_writer_cpu_us_per_s"] =
            (clockNs(CLOCK_PROCESS_CPUTIME_ID) - proc0 - writerCpu.load()) / 1e3 / wallS;
        state.counters["bytes_received"] = static_cast<double>(port.received.load());
        state.counters["bytes_sent"] = static_cast<double>(expected);
    }
}
BENCHMARK(BM_ReaderFullRate)->Arg(1)->Arg(12)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// One byte written to the master until onByte sees it.
void BM_ByteDelay(benchmark::State& state) {
    Line line;
    BenchPort port;
    if (!openPort(port, line, state)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<double> delaysUs;
    const char byte = 'x';
    for (auto _ : state) {
        const uint64_t before = port.received.load(std::memory_order_acquire);
        const int64_t t0 = nowNs();
        if (::write(line.master, &byte, 1) != 1) {
            state.SkipWithError("write failed");
            break;
        }
        uint64_t now = before;
        while ((now = port.received.load(std::memory_order_acquire)) == before) port.received.wait(now);
        const double us = (port.lastArrivalNs.load() - t0) / 1e3;
        delaysUs.push_back(us);
        state.SetIterationTime(us / 1e6);
        // The line is idle between bytes, as between a command and its answer.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (delaysUs.empty()) return;
    std::sort(delaysUs.begin(), delaysUs.end());
    state.counters["p50_us"] = delaysUs[delaysUs.size() / 2];
    state.counters["p99_us"] = delaysUs[delaysUs.size() * 99 / 100];
    state.counters["max_us"] = delaysUs.back();
}
BENCHMARK(BM_ByteDelay)
    ->Iterations(benchsmoke::iterations(2000))
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
