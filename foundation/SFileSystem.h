// File-system operations: existence, directories, copy, delete, temporary and full names, and
// opening documents with the desktop.
#pragma once

#include "foundation/SString.h"

class SFileSystem : public SObject {
public:
    S_CLASSNAME(SFileSystem)

    // A file or directory of that name exists.
    static bool exists(const SString& path);
    static bool isDirectory(const SString& path);
    static bool createDirectory(const SString& path, bool quiet = false);
    static bool removeDirectory(const SString& path, bool quiet = false);
    static bool copy(const SString& from, const SString& to, bool failIfExists, bool quiet = false);
    static bool deleteFile(const SString& path, bool quiet = false);
    // The version resource of a Windows program; executables here carry none, so the result is
    // always empty (and no message is shown).
    static SString getFileVersion(const SString& path);
    // Opens the file with the desktop's associated program.
    static bool run(const SString& file, const SString& parameters = SString(), const SString& workingDir = SString(),
                    int showMode = 1);
    // The temporary directory with a trailing separator.
    static SString getTempPath();
    // A new, empty, uniquely named file in dir whose name starts with prefix; empty on failure.
    static SString getTempFileName(const SString& dir, const SString& prefix);
    // Absolute form of a name; empty on failure.
    static SString getFullPath(const SString& name);
    // Splits a path into drive (always empty here), directory (with trailing separator), file
    // name without extension, and extension (with its dot).
    static void splitPath(const SString& path, SString* drive, SString* dir, SString* name, SString* ext);
    // Joins a directory and a name with the platform's separator.
    static SString join(const SString& dir, const SString& name);
};
