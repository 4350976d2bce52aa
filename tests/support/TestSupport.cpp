#include "support/TestSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "foundation/SFileIni.h"
#include "platform/SerialDevice.h"

namespace testsupport {

MessageCapture::MessageCapture() {
    globalError().setMessageSink([this](const SString& text, const SString& title, unsigned flags) {
        boxes_.push_back({text.str(), title.str(), flags});
        return 1;
    });
}

MessageCapture::~MessageCapture() { globalError().setMessageSink(nullptr); }

std::string MessageCapture::all() const {
    std::string out;
    for (const Box& b : boxes_) out += b.text + "\n";
    return out;
}

namespace {

// The programs under test take their language from the locale variables; the tests expect the
// German texts unless they choose English themselves, so every test process and the programs it
// starts run without a language of the desktop.
const bool germanByDefault = [] {
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "C.UTF-8", 1);
    return true;
}();

// The directories of this process that still exist. A test that ends the process with exit()
// (a death test's child, which runs main again) skips the destructors; the exit handler
// removes what that process made. Children forked without exec inherit the list, so each
// entry remembers the process that made it and only that process removes it.
std::mutex liveDirsMutex;
std::map<std::string, pid_t>& liveDirs() {
    static auto* dirs = new std::map<std::string, pid_t>();
    return *dirs;
}

void removeLeftoverDirs() {
    std::lock_guard<std::mutex> lock(liveDirsMutex);
    for (const auto& [path, owner] : liveDirs()) {
        std::error_code ec;
        if (owner == getpid()) std::filesystem::remove_all(path, ec);
    }
    liveDirs().clear();
}

}  // namespace

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "nuktestXXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    path_ = made ? made : "";
    if (path_.empty()) return;
    static const bool registered = std::atexit(removeLeftoverDirs) == 0;
    (void)registered;
    std::lock_guard<std::mutex> lock(liveDirsMutex);
    liveDirs()[path_] = getpid();
}

TempDir::~TempDir() {
    std::error_code ec;
    if (path_.empty()) return;
    std::filesystem::remove_all(path_, ec);
    std::lock_guard<std::mutex> lock(liveDirsMutex);
    liveDirs().erase(path_);
}

DeniedSerialOpen::DeniedSerialOpen() {
    platform::SerialDevice::setOpenFunction(+[](const char*, int) -> int {
        errno = EACCES;
        return -1;
    });
}

DeniedSerialOpen::~DeniedSerialOpen() { platform::SerialDevice::setOpenFunction(nullptr); }

void TempDir::write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    if (value) setenv(name, value, 1);
    else unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (had_) setenv(name_.c_str(), old_.c_str(), 1);
    else unsetenv(name_.c_str());
}

std::string maskedIni(int number, const std::string& plain) {
    char header[32];
    std::snprintf(header, sizeof header, "[nukContentMask+%03d]\r\n", number);
    std::string out = header + plain;
    SFileIni::applyMask(out);
    return out;
}

std::string unmaskedIni(std::string stored) {
    SFileIni::applyMask(stored);
    stored[15] = '-';
    return stored;
}

std::string toolPath() { return NUK_TOOL_PATH; }
std::string dataDir() { return NUK_TEST_DATA_DIR; }
std::string programsDir() { return NUK_TEST_PROGRAMS_DIR; }
std::string sourceDir() { return NUK_SOURCE_DIR; }
std::string binaryDir() { return NUK_BINARY_DIR; }

bool haveObjcopy() {
    return runCommand("objcopy --version") == 0;
}

int runCommand(const std::string& command, std::string* out) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    int status = pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testsupport
