#include "platform/ComPortMap.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileOps.h"
#include "platform/Paths.h"

#ifdef NUK_HAVE_LIBSERIALPORT
#include <libserialport.h>
#endif

namespace platform {

namespace {

constexpr const char* sectionName = "ComPorts";
constexpr const char* ptyPrefix = "/dev/pts/";
constexpr const char* byIdDir = "/dev/serial/by-id";

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

// The number of a "comN" name (any case, N from 1), or 0.
int comNumber(const std::string& name) {
    std::string n = lower(trim(name));
    if (n.size() < 4 || n.compare(0, 3, "com") != 0 || n[3] == '0') return 0;
    long value = 0;
    for (std::size_t i = 3; i < n.size(); ++i) {
        if (n[i] < '0' || n[i] > '9') return 0;
        value = value * 10 + (n[i] - '0');
        if (value > 99999) return 0;
    }
    return static_cast<int>(value);
}

std::string canonical(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

bool processAlive(int pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

bool isPty(const std::string& device) {
    return device.compare(0, std::char_traits<char>::length(ptyPrefix), ptyPrefix) == 0;
}

// The map section of the file as lines; every other line is kept as it was.
class MapFile {
public:
    struct Entry {
        int number = 0;
        std::string device;
        bool cp210x = false;
        int pid = 0;
        std::size_t line = 0;
    };

    void parse(const std::string& text) {
        lines_.clear();
        eol_ = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t nl = text.find('\n', pos);
            std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines_.push_back(line);
            if (nl == std::string::npos) break;
            pos = nl + 1;
        }
        scan();
    }

    std::string text() const {
        std::string out;
        for (const std::string& l : lines_) out += l + eol_;
        return out;
    }

    const std::vector<Entry>& entries() const { return entries_; }

    const Entry* byNumber(int number) const {
        for (const Entry& e : entries_)
            if (e.number == number) return &e;
        return nullptr;
    }

    // The entry naming this device: the same path, or failing that the same device behind
    // another name (a symbolic link).
    const Entry* byDevice(const std::string& device) const {
        for (const Entry& e : entries_)
            if (e.device == device) return &e;
        std::string c = canonical(device);
        if (c.empty()) return nullptr;
        for (const Entry& e : entries_)
            if (canonical(e.device) == c) return &e;
        return nullptr;
    }

    int nextFree() const {
        int n = 1;
        while (byNumber(n)) ++n;
        return n;
    }

    void set(int number, const std::string& device, bool cp210x, int pid) {
        std::string line = "com" + std::to_string(number) + "=" + device;
        if (cp210x) line += ";cp210x";
        if (pid > 0) line += ";pid=" + std::to_string(pid);
        if (const Entry* e = byNumber(number)) {
            lines_[e->line] = line;
        } else if (sectionBegin_ == npos) {
            if (!lines_.empty() && !trim(lines_.back()).empty()) lines_.push_back("");
            lines_.push_back(std::string("[") + sectionName + "]");
            lines_.push_back(line);
        } else {
            // After the section's last non-blank line, so blank separators stay in place.
            std::size_t at = sectionEnd_;
            while (at > sectionBegin_ + 1 && trim(lines_[at - 1]).empty()) --at;
            lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
        }
        scan();
    }

    bool remove(int number) {
        const Entry* e = byNumber(number);
        if (!e) return false;
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(e->line));
        scan();
        return true;
    }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    void scan() {
        entries_.clear();
        sectionBegin_ = sectionEnd_ = npos;
        bool inside = false;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            std::string t = trim(lines_[i]);
            if (!t.empty() && t.front() == '[') {
                std::size_t close = t.find(']');
                std::string name = close == std::string::npos ? std::string() : lower(t.substr(1, close - 1));
                if (inside) sectionEnd_ = i;
                // Only the first section of that name counts, as INI readers take it.
                inside = sectionBegin_ == npos && name == lower(sectionName);
                if (inside) sectionBegin_ = i;
                continue;
            }
            if (!inside) continue;
            std::size_t eq = t.find('=');
            if (eq == std::string::npos) continue;
            int number = comNumber(t.substr(0, eq));
            if (number == 0 || byNumber(number)) continue;
            Entry e;
            e.number = number;
            e.line = i;
            std::stringstream parts(t.substr(eq + 1));
            std::string part;
            std::getline(parts, part, ';');
            e.device = trim(part);
            while (std::getline(parts, part, ';')) {
                std::string flag = lower(trim(part));
                if (flag == "cp210x")
                    e.cp210x = true;
                else if (flag.compare(0, 4, "pid=") == 0)
                    e.pid = std::atoi(flag.c_str() + 4);
            }
            if (!e.device.empty()) entries_.push_back(e);
        }
        if (inside) sectionEnd_ = lines_.size();
    }

    std::vector<std::string> lines_;
    std::string eol_ = "\n";
    std::vector<Entry> entries_;
    std::size_t sectionBegin_ = npos;
    std::size_t sectionEnd_ = npos;
};

// Holds an exclusive lock on "<file>.lock" while it lives. The data file itself cannot carry
// the lock: it is replaced by rename, and a lock on the old file would not stop a writer who
// opened the new one.
class FileLock {
public:
    explicit FileLock(const std::string& file) {
        std::string dir = file.substr(0, file.find_last_of('/'));
        if (!dir.empty() && dir != file) createDirectories(dir, 0755);
        fd_ = ::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

std::string readText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::string();
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

MapFile load(const std::string& file) {
    MapFile map;
    map.parse(readText(file));
    return map;
}

bool store(const std::string& file, const MapFile& map) {
    return replaceFileContent(file, map.text());
}

// The stable /dev/serial/by-id name of a device, so that its number follows the device and
// not the ttyUSB number it happens to get; the device itself when there is none.
std::string stableName(const std::string& device) {
    std::string c = canonical(device);
    if (c.empty()) return device;
    for (const DirEntry& e : listDirectory(byIdDir, "*")) {
        if (e.name == "." || e.name == "..") continue;
        std::string link = std::string(byIdDir) + "/" + e.name;
        if (canonical(link) == c) return link;
    }
    return device;
}

bool isCp210x(const SerialDeviceInfo& d) {
    return d.usbVendor == ComPortMap::cp210xVendor && d.usbProduct == ComPortMap::cp210xProduct;
}

// The process-wide replacement of the enumeration; maps copy it under the lock, so it may be
// set while another thread lists ports.
std::mutex processEnumeratorMutex;
ComPortMap::Enumerator processEnumerator;

}  // namespace

void ComPortMap::setProcessEnumerator(Enumerator enumerator) {
    std::lock_guard lock(processEnumeratorMutex);
    processEnumerator = std::move(enumerator);
}

std::vector<SerialDeviceInfo> ComPortMap::enumerate() const {
    if (enumerator_) return enumerator_();
    Enumerator process;
    {
        std::lock_guard lock(processEnumeratorMutex);
        process = processEnumerator;
    }
    return process ? process() : enumerateSystem();
}

std::string ComPortMap::defaultFile() {
    const char* env = std::getenv("NUK_COMPORTS");
    if (env && *env) return env;
    return userConfigDirectory() + "/comports.ini";
}

ComPortMap::ComPortMap(std::string file) : file_(std::move(file)) {}

std::vector<SerialDeviceInfo> ComPortMap::enumerateSystem() {
    std::vector<SerialDeviceInfo> found;
#ifdef NUK_HAVE_LIBSERIALPORT
    sp_port** ports = nullptr;
    if (sp_list_ports(&ports) == SP_OK && ports) {
        for (int i = 0; ports[i]; ++i) {
            SerialDeviceInfo d;
            const char* name = sp_get_port_name(ports[i]);
            if (!name) continue;
            d.device = name;
            if (const char* desc = sp_get_port_description(ports[i])) d.description = desc;
            int vid = -1, pid = -1;
            if (sp_get_port_transport(ports[i]) == SP_TRANSPORT_USB &&
                sp_get_port_usb_vid_pid(ports[i], &vid, &pid) == SP_OK) {
                d.usbVendor = vid;
                d.usbProduct = pid;
            }
            found.push_back(d);
        }
    }
    if (ports) sp_free_port_list(ports);
#else
    for (const char* pattern : {"ttyUSB*", "ttyACM*"})
        for (const DirEntry& e : listDirectory("/dev", pattern)) {
            SerialDeviceInfo d;
            d.device = "/dev/" + e.name;
            d.description = e.name;
            found.push_back(d);
        }
#endif
    return found;
}

std::vector<ComPortEntry> ComPortMap::list() {
    std::vector<SerialDeviceInfo> devices = enumerate();
    MapFile map;
    {
        FileLock lock(file_);
        map = load(file_);
        bool changed = false;
        for (const SerialDeviceInfo& d : devices) {
            if (map.byDevice(d.device)) continue;
            map.set(map.nextFree(), stableName(d.device), isCp210x(d), 0);
            changed = true;
        }
        if (changed) store(file_, map);
    }

    std::vector<ComPortEntry> result;
    for (const MapFile::Entry& e : map.entries()) {
        ComPortEntry entry;
        entry.name = "com" + std::to_string(e.number);
        entry.device = e.device;
        entry.cp210x = e.cp210x;
        const SerialDeviceInfo* found = nullptr;
        for (const SerialDeviceInfo& d : devices)
            if (map.byDevice(d.device) == &e) found = &d;
        if (found) {
            entry.present = true;
            entry.cp210x = entry.cp210x || isCp210x(*found);
            entry.description = found->description;
        } else {
            entry.present = targetExists(e.device) && (e.pid == 0 || processAlive(e.pid));
            if (isPty(e.device)) entry.description = "virtual";
        }
        result.push_back(entry);
    }
    std::sort(result.begin(), result.end(), [](const ComPortEntry& a, const ComPortEntry& b) {
        return comNumber(a.name) < comNumber(b.name);
    });
    return result;
}

std::string ComPortMap::deviceFor(const std::string& comName) {
    int number = comNumber(comName);
    if (number == 0) return std::string();
    const MapFile map = load(file_);
    if (const MapFile::Entry* e = map.byNumber(number)) return e->device;
    // A device plugged in since the last listing gets its number now.
    for (const ComPortEntry& e : list())
        if (comNumber(e.name) == number) return e.device;
    return std::string();
}

std::string ComPortMap::registerDevice(const std::string& device, bool cp210x,
                                       const std::string& wantedName) {
    if (device.empty() || device.find_first_of(";\r\n") != std::string::npos) return std::string();
    int wanted = 0;
    if (!wantedName.empty() && (wanted = comNumber(wantedName)) == 0) return std::string();
    const int pid = isPty(device) ? static_cast<int>(::getpid()) : 0;

    FileLock lock(file_);
    MapFile map = load(file_);
    int number = 0;
    if (const MapFile::Entry* e = map.byDevice(device)) {
        number = e->number;
        if (e->cp210x == cp210x && e->pid == pid && e->device == device)
            return "com" + std::to_string(number);
    } else if (wanted) {
        // A wanted number is taken over only from a device that is gone.
        if (const MapFile::Entry* e = map.byNumber(wanted))
            if (targetExists(e->device) && (e->pid == 0 || processAlive(e->pid))) return std::string();
        number = wanted;
    } else {
        number = map.nextFree();
    }
    map.set(number, device, cp210x, pid);
    if (!store(file_, map)) return std::string();
    return "com" + std::to_string(number);
}

bool ComPortMap::unregister(const std::string& comName) {
    int number = comNumber(comName);
    if (number == 0) return false;
    FileLock lock(file_);
    MapFile map = load(file_);
    if (!map.remove(number)) return false;
    return store(file_, map);
}

std::vector<std::pair<std::string, std::string>> ComPortMap::serialCommListing() {
    std::vector<std::pair<std::string, std::string>> listing;
    int serial = 0, silabser = 0;
    for (const ComPortEntry& e : list()) {
        if (!e.present) continue;
        std::string value = e.cp210x ? "\\Device\\Silabser" + std::to_string(silabser++)
                                     : "\\Device\\Serial" + std::to_string(serial++);
        listing.emplace_back(value, upper(e.name));
    }
    return listing;
}

}  // namespace platform
