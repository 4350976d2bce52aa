#include "platform/ProcessInfo.h"

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace platform {

namespace {

// Fields of /proc/<pid>/stat after the command name (which may contain blanks).
std::vector<std::string> statFields(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    std::vector<std::string> fields;
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return fields;
    std::istringstream rest(line.substr(close + 1));
    for (std::string f; rest >> f;) fields.push_back(f);
    return fields;  // fields[0] is the state (field 3), fields[1] the parent (field 4), ...
}

}  // namespace

int currentProcessId() {
    return static_cast<int>(::getpid());
}

bool runsAsRoot() {
    return ::geteuid() == 0;
}

unsigned currentUserId() {
    return static_cast<unsigned>(::getuid());
}

double secondsSinceProcessStart() {
    // Field 22: start time in clock ticks after boot.
    const std::vector<std::string> f = statFields(currentProcessId());
    if (f.size() < 20) return -1;
    const double started = std::strtod(f[19].c_str(), nullptr) / static_cast<double>(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - started;
}

int64_t residentKb(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("VmRSS:")) return std::strtoll(line.c_str() + 6, nullptr, 10);
    return 0;
}

int64_t descendantsResidentKb(int pid) {
    std::multimap<int, int> children;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::vector<std::string> f = statFields(std::stoi(name));
        if (f.size() > 1) children.emplace(std::stoi(f[1]), std::stoi(name));
    }
    int64_t total = 0;
    std::vector<int> todo{pid};
    while (!todo.empty()) {
        const int parent = todo.back();
        todo.pop_back();
        auto [from, to] = children.equal_range(parent);
        for (auto it = from; it != to; ++it) {
            total += residentKb(it->second);
            todo.push_back(it->second);
        }
    }
    return total;
}

}  // namespace platform
