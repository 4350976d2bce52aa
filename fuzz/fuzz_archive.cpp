// Feeds arbitrary bytes to the resource manager as a program's archive. Checks: no crash, no
// file outside the temporary directory, every unpacked file is known, and nothing is left
// behind after a failed load or when the manager goes away.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>

#include "foundation/SError.h"
#include "foundation/SResourceArchive.h"
#include "foundation/SResources.h"

namespace {

namespace fs = std::filesystem;

// A private directory that stands in for the system's temporary directory. It is never
// destroyed, so the exit handler that removes it can still read its name.
const std::string& root() {
    static const std::string* dir = [] {
        auto* path = new std::string((fs::temp_directory_path() / "fuzzarchiveXXXXXX").string());
        if (!mkdtemp(path->data())) std::abort();
        setenv("TMPDIR", path->c_str(), 1);
        // Every check leaves it empty, so it can go at exit.
        std::atexit([] { rmdir(root().c_str()); });
        globalError().setMessageSink([](const SString&, const SString&, unsigned) { return 1; });
        return path;
    }();
    return *dir;
}

void require(bool condition) {
    if (!condition) std::abort();
}

std::set<std::string> entriesOf(const std::string& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) names.insert(e.path().string());
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& base = root();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        SResources resources;
        SResourceArchive archive;
        archive.openBytes(bytes);
        // Small inputs may be archives too.
        archive.setMinimumStart(0);
        bool loaded = resources.loadArchive(archive);
        require(loaded == resources.isExtracted());
        std::set<std::string> top = entriesOf(base);
        if (!loaded) {
            require(top.empty());
            require(resources.getTempDirectory().isEmpty());
        } else {
            const std::string tmp = resources.getTempDirectory().str();
            require(top.size() == 1 && *top.begin() == tmp);
            for (const auto& [name, path] : resources.getFileMap()) {
                require(fs::path(path.str()).parent_path() == fs::path(tmp));
                require(fs::is_regular_file(path.str()));
            }
            // Names differing only in case are two files but one map entry.
            for (const std::string& file : entriesOf(tmp)) {
                require(fs::is_regular_file(fs::symlink_status(file)));
                SString lowered = SString(fs::path(file).filename().string()).lowered();
                require(resources.getFileMap().has(lowered));
            }
        }
    }
    require(entriesOf(base).empty());
    return 0;
}
