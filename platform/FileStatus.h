// What the system says about a file before the program uses it.
#pragma once

#include <string>

namespace platform {

// Whether this user may write the file (0 when yes, else the system's error code, e.g. EACCES
// for a read-only file, ENOENT for a missing one).
int writeAccessError(const std::string& path);
// Whether path is a directory (not a link to one) that belongs to this user and that nobody
// else may read, write or enter: a folder of the user's own in a shared directory such as /tmp.
bool isPrivateDirectory(const std::string& path);
// The directory path of the user's own in a shared directory, made when it is missing (only
// the user may enter it). Empty when it cannot be made, or when something there is not such a
// directory (a link placed by somebody else, say).
std::string privateDirectoryIn(const std::string& sharedDirectory, const std::string& prefix);

}  // namespace platform
