// Helpers shared by the tests: captured message boxes and private temporary directories.
#pragma once

#include <string>
#include <vector>

#include "foundation/SError.h"

namespace testsupport {

// Captures every message box shown while it lives.
class MessageCapture {
public:
    struct Box {
        std::string text;
        std::string title;
        unsigned flags;
    };
    MessageCapture();
    ~MessageCapture();
    const std::vector<Box>& boxes() const { return boxes_; }
    // The texts of all boxes joined by newlines.
    std::string all() const;
    void clear() { boxes_.clear(); }

private:
    std::vector<Box> boxes_;
};

// A fresh directory that is removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;

private:
    std::string path_;
};

// Sets (or with nullptr removes) an environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

// While it lives, every serial device open fails with EACCES, as for a user outside the group
// "dialout" (file modes cannot refuse root, as which the tests may run).
class DeniedSerialOpen {
public:
    DeniedSerialOpen();
    ~DeniedSerialOpen();
    DeniedSerialOpen(const DeniedSerialOpen&) = delete;
    DeniedSerialOpen& operator=(const DeniedSerialOpen&) = delete;
};

// An INI text stored masked behind the header "[nukContentMask+NNN]", as files are kept.
std::string maskedIni(int number, const std::string& plain);
// The plain form of a masked file's bytes (header sign and content), as the editor holds it.
std::string unmaskedIni(std::string stored);

// Paths of the build: the nuktool program, tests/data, the helper programs of tests/programs,
// the source tree and the build tree.
std::string toolPath();
std::string dataDir();
std::string programsDir();
std::string sourceDir();
std::string binaryDir();

// Runs a command through the shell and returns its exit code; output goes to out.
int runCommand(const std::string& command, std::string* out = nullptr);

// GNU objcopy, the reference for Intel HEX files: its HEX reader and writer are the same for
// every target, and it comes with the compiler. (avr-objcopy would do as well, but the one of
// Debian 13, binutils-avr 2.43.90, refuses to read any Intel HEX file: "invalid operation".)
bool haveObjcopy();

}  // namespace testsupport
