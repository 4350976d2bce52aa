#include "app/StartupProbe.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

#include "app/Fenster.h"
#include "app/StartPage.h"

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

bool StartupProbe::isRequested() {
    const char* value = std::getenv("NUK_STARTUP_PROBE");
    return value && *value && std::string(value) != "0";
}

double StartupProbe::secondsSinceProcessStart() {
    // Field 22: start time in clock ticks after boot.
    const std::vector<std::string> f = statFields(getpid());
    if (f.size() < 20) return -1;
    const double started = std::strtod(f[19].c_str(), nullptr) / static_cast<double>(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - started;
}

int64_t StartupProbe::residentKb(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("VmRSS:")) return std::strtoll(line.c_str() + 6, nullptr, 10);
    return 0;
}

int64_t StartupProbe::descendantsResidentKb(int pid) {
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

StartupProbe::StartupProbe(Fenster& window) : window_(window), timer_(new QTimer()) {
    std::printf("startup: window=%.3f s\n", secondsSinceProcessStart());
    std::fflush(stdout);
    timer_->setInterval(2);
    QObject::connect(timer_, &QTimer::timeout, timer_, [this] { poll(); });
    timer_->start();
}

StartupProbe::~StartupProbe() {
    delete timer_;
}

void StartupProbe::poll() {
    HtmlWindowList& pages = window_.getHtmlWindows();
    // The page the window opens on: an HTML page counts once it has loaded, the diagram once
    // its pane is visible.
    const SString& start = window_.getStartPage();
    HtmlWindow* first = pages.findById(start);
    SWindow* pane = window_.getSplitWindow(start);
    const bool firstShown = first ? first->isLoaded() && first->isVisible() : pane && pane->isVisible();
    if (!firstReported_ && firstShown) {
        firstReported_ = true;
        std::printf("startup: %s=%.3f s\n", StartPage::asciiName(start).c_str(), secondsSinceProcessStart());
        std::fflush(stdout);
    }
    if (!firstReported_ || pages.getSize() == 0) return;
    for (HtmlWindow* page : pages)
        if (!page->isLoaded()) return;
    timer_->stop();
    std::printf("startup: all=%.3f s rss=%lld kB browser_rss=%lld kB\n", secondsSinceProcessStart(),
                static_cast<long long>(residentKb(getpid())),
                static_cast<long long>(descendantsResidentKb(getpid())));
    std::fflush(stdout);
    QCoreApplication::exit(0);
}
