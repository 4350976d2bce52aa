#include "platform/FileOps.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
bool fail(int* errorCode) {
    if (errorCode) *errorCode = errno;
    return false;
}

// The process's file-creation mask, read without changing it (umask() would have to set it).
mode_t currentUmask() {
    FILE* f = std::fopen("/proc/self/status", "r");
    mode_t mask = 022;
    if (!f) return mask;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = static_cast<mode_t>(value);
            break;
        }
    }
    std::fclose(f);
    return mask;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}
}  // namespace

bool replaceFileContent(const std::string& path, const std::string& data, int* errorCode) {
    std::string target = path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) target = resolved;

    mode_t mode = 0644;
    struct stat st {};
    bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed) mode = st.st_mode & 07777;

    std::string tmp = target + ".nuktmpXXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return fail(errorCode);
    bool ok = writeAll(fd, data.data(), data.size()) && ::fchmod(fd, existed ? mode : (0666 & ~currentUmask())) == 0 &&
              ::fsync(fd) == 0;
    int err = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), target.c_str()) == 0) return true;
    if (ok) err = errno;
    ::unlink(tmp.c_str());
    if (errorCode) *errorCode = err;
    return false;
}

bool copyFile(const std::string& from, const std::string& to, bool failIfExists, int* errorCode) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail(errorCode);
    // Copying a file onto itself would truncate it before it is read.
    struct stat src {}, dst {};
    if (::fstat(in, &src) == 0 && ::stat(to.c_str(), &dst) == 0 && src.st_dev == dst.st_dev &&
        src.st_ino == dst.st_ino) {
        ::close(in);
        if (errorCode) *errorCode = failIfExists ? EEXIST : EINVAL;
        return false;
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
    int out = ::open(to.c_str(), flags, 0644);
    if (out < 0) {
        int err = errno;
        ::close(in);
        if (errorCode) *errorCode = err;
        return false;
    }
    char buf[65536];
    bool ok = true;
    while (true) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!writeAll(out, buf, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    int err = errno;
    ::close(in);
    if (::close(out) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok && errorCode) *errorCode = err;
    return ok;
}

bool makeDirectory(const std::string& path, int* errorCode) {
    return ::mkdir(path.c_str(), 0755) == 0 || fail(errorCode);
}

bool removeFile(const std::string& path, int* errorCode) {
    return ::unlink(path.c_str()) == 0 || fail(errorCode);
}

bool removeDirectory(const std::string& path, int* errorCode) {
    return ::rmdir(path.c_str()) == 0 || fail(errorCode);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool pathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool targetExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<DirEntry> listDirectory(const std::string& dir, const std::string& pattern) {
    std::vector<DirEntry> entries;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return entries;
    while (dirent* e = ::readdir(d)) {
        if (::fnmatch(pattern.c_str(), e->d_name, 0) != 0) continue;
        DirEntry entry{e->d_name, false};
        std::string full = (dir.empty() ? std::string(".") : dir) + "/" + e->d_name;
        entry.directory = isDirectory(full);
        entries.push_back(entry);
    }
    ::closedir(d);
    return entries;
}

}  // namespace platform
