// File operations that the standard C library does not offer.
#pragma once
#include <string>
#include <vector>

namespace platform {

// Replaces the file's content atomically: the data is written to a new file beside it, flushed,
// and renamed over the old one, so a crash leaves either the old or the new content. A symbolic
// link is followed and its target replaced; the old file's permission bits are kept.
bool replaceFileContent(const std::string& path, const std::string& data, int* errorCode = nullptr);
// Copies a file; with failIfExists an existing target is an error (EEXIST). Copying a file
// onto itself fails (EINVAL) and leaves it as it was.
bool copyFile(const std::string& from, const std::string& to, bool failIfExists, int* errorCode = nullptr);
bool makeDirectory(const std::string& path, int* errorCode = nullptr);
bool removeFile(const std::string& path, int* errorCode = nullptr);
bool removeDirectory(const std::string& path, int* errorCode = nullptr);
bool isDirectory(const std::string& path);
// The name exists (a symbolic link counts, even when its target does not).
bool pathExists(const std::string& path);
// The name, or the target of a symbolic link, exists.
bool targetExists(const std::string& path);

// One entry of a directory listing.
struct DirEntry {
    std::string name;
    bool directory = false;
};
// Entries of a directory whose names match a shell wildcard pattern (* and ?), including "."
// and ".." when the pattern matches them. Empty when the directory cannot be read.
std::vector<DirEntry> listDirectory(const std::string& dir, const std::string& pattern);

}  // namespace platform
