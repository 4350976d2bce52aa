#include "platform/FileStatus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Paths.h"

namespace platform {

int writeAccessError(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
}

bool isPrivateDirectory(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

std::string privateDirectoryIn(const std::string& sharedDirectory, const std::string& prefix) {
    std::string folder = sharedDirectory;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    folder += prefix + std::to_string(static_cast<unsigned>(::getuid()));
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 && !createPrivateDirectory(folder)) return {};
    return isPrivateDirectory(folder) ? folder : std::string();
}

}  // namespace platform
