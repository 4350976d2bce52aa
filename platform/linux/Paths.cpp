#include "platform/Paths.h"
#include "platform/FileOps.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <pwd.h>

namespace platform {

namespace {
std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string homeDirectory() {
    std::string home = env("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir;
    return "/tmp";
}
}  // namespace

std::string tempDirectory() {
    std::string dir = env("TMPDIR");
    if (dir.empty() || !isDirectory(dir)) dir = "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string createTempFile(const std::string& dir, const std::string& prefix, int* errorCode) {
    std::string d = dir.empty() ? tempDirectory() : dir;
    if (d.back() != '/') d += '/';
    std::string tmpl = d + prefix + "XXXXXX";
    int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        if (errorCode) *errorCode = errno;
        return {};
    }
    ::close(fd);
    return tmpl;
}

bool createPrivateDirectory(const std::string& path, int* errorCode) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    if (errorCode) *errorCode = errno;
    return false;
}

std::string userConfigDirectory() {
    std::string base = env("XDG_CONFIG_HOME");
    if (base.empty() || base[0] != '/') base = homeDirectory() + "/.config";
    return base + "/nuk";
}

std::string computerConfigDirectory() {
    std::string dirs = env("XDG_CONFIG_DIRS");
    std::string first = dirs.substr(0, dirs.find(':'));
    if (first.empty() || first[0] != '/') first = "/etc/xdg";
    return first + "/nuk";
}

std::string userName() {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return pw->pw_name;
    return {};
}

std::string currentDirectory() {
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf)) return {};
    return buf;
}

std::string absolutePath(const std::string& name) {
    if (name.empty()) return {};
    std::string full = name;
    if (name[0] != '/') {
        std::string cwd = currentDirectory();
        if (cwd.empty()) return {};
        full = cwd + "/" + name;
    }
    // Normalise "." and ".." segments and doubled separators.
    std::string out;
    std::size_t pos = 0;
    while (pos <= full.size()) {
        std::size_t next = full.find('/', pos);
        if (next == std::string::npos) next = full.size();
        std::string seg = full.substr(pos, next - pos);
        if (seg == "..") {
            std::size_t cut = out.rfind('/');
            out.erase(cut == std::string::npos ? 0 : cut);
        } else if (!seg.empty() && seg != ".") {
            out += "/" + seg;
        }
        pos = next + 1;
    }
    if (out.empty()) out.assign(1, '/');
    if (full.size() > 1 && full.back() == '/' && out != "/") out += '/';
    return out;
}

std::string executablePath() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::vector<std::string> commandLineArguments() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::vector<std::string> args;
    std::string arg;
    while (std::getline(in, arg, '\0')) args.push_back(arg);
    return args;
}

bool createDirectories(const std::string& path, unsigned mode) {
    if (path.empty()) return false;
    std::size_t pos = 1;
    while (true) {
        std::size_t next = path.find('/', pos);
        std::string part = path.substr(0, next);
        if (!part.empty() && ::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
        if (next == std::string::npos) break;
        pos = next + 1;
    }
    return isDirectory(path);
}

std::string documentsDirectory() {
    // xdg-user-dir reads the user's user-dirs.dirs (and XDG_DOCUMENTS_DIR); it answers the home
    // folder when the documents folder is not configured, which counts as no answer.
    std::string named;
    if (FILE* pipe = ::popen("xdg-user-dir DOCUMENTS 2>/dev/null", "r")) {
        char buf[PATH_MAX];
        while (std::fgets(buf, sizeof buf, pipe)) named += buf;
        ::pclose(pipe);
    }
    while (!named.empty() && (named.back() == '\n' || named.back() == '\r')) named.pop_back();
    while (named.size() > 1 && named.back() == '/') named.pop_back();
    std::string home = homeDirectory();
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    // The home folder is xdg-user-dir's answer for "not configured": then the usual names.
    if (!named.empty() && named[0] == '/' && named != home && isDirectory(named)) return named;
    for (const char* name : {"/Dokumente", "/Documents"})
        if (isDirectory(home + name)) return home + name;
    return home;
}

}  // namespace platform
