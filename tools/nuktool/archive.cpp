// nuktool pack, list, extract: the resource archive that the program carries at the end of its
// executable file.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "Command.h"
#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"
#include "foundation/SResourceArchive.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace nuktool {
namespace {

const char* const packUsage =
    "  nuktool pack OUT FILE|DIR...              write an archive of the files to OUT; a DIR adds the\n"
    "                                            files directly in it; entries are named after the files\n"
    "  nuktool pack --append-to EXE OUT FILE|DIR...\n"
    "                                            write OUT as a copy of the program EXE with the archive\n"
    "                                            appended (an archive EXE carries already is replaced)";
const char* const listUsage =
    "  nuktool list FILE                         list size and name of every entry of an archive file\n"
    "                                            or of a program carrying one";
const char* const extractUsage =
    "  nuktool extract FILE DIR                  unpack the entries of an archive file or of a program\n"
    "                                            into DIR (created when missing)";

// The library's texts end lines with "\r\n"; one line reads better on a terminal.
std::string oneLine(const SString& text) {
    std::string t = text.str();
    for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;) t.replace(p, 2, ": ");
    return t;
}

std::string baseName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    std::size_t slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool addFile(SResourceArchiveWriter& writer, const std::string& path, const std::string& name,
             std::string& error) {
    SString readError;
    SString content = SFile::readFile(SString(path), &readError);
    if (!readError.isEmpty()) {
        error = oneLine(readError);
        return false;
    }
    if (content.size() > UINT32_MAX) {
        error = "'" + path + "' is too large for an archive entry";
        return false;
    }
    if (!writer.add(SString(name), content)) {
        error = "'" + path + "': " + oneLine(writer.getError());
        return false;
    }
    return true;
}

// Adds a file under its own name, or every file directly inside a directory, in name order.
bool addInput(SResourceArchiveWriter& writer, const std::string& input, std::string& error) {
    if (!platform::pathExists(input)) {
        error = "'" + input + "': no such file or directory";
        return false;
    }
    if (!platform::isDirectory(input)) return addFile(writer, input, baseName(input), error);
    std::vector<std::string> names;
    for (const auto& e : platform::listDirectory(input, "*"))
        if (!e.directory) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (!addFile(writer, input + "/" + name, name, error)) return false;
    return true;
}

// Copies the first count bytes of from into to, then appends tail.
bool writeCopyWithTail(const std::string& from, int64_t count, const std::string& to, const std::string& tail,
                       std::string& error) {
    SFile in, out;
    if (!in.open(SString(from), "rb", true)) {
        error = oneLine(in.getError());
        return false;
    }
    if (!out.open(SString(to), "wb", true)) {
        error = oneLine(out.getError());
        return false;
    }
    std::string buffer(65536, '\0');
    for (int64_t left = count; left > 0;) {
        auto n = static_cast<int64_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
        if (!in.read(buffer.data(), n)) {
            error = "'" + from + "': " + oneLine(in.getError());
            return false;
        }
        if (!out.write(buffer.data(), n)) {
            error = "'" + to + "': " + oneLine(out.getError());
            return false;
        }
        left -= n;
    }
    if (!out.write(tail.data(), static_cast<int64_t>(tail.size()))) {
        error = "'" + to + "': " + oneLine(out.getError());
        return false;
    }
    return true;
}

int pack(const Args& args) {
    std::size_t first = 0;
    std::string exe;
    if (!args.empty() && args[0] == "--append-to") {
        if (args.size() < 2) return expectedArguments("pack --append-to", "EXE OUT FILE|DIR...");
        exe = args[1];
        first = 2;
    }
    if (int refused = refuseOptions("pack", Args(args.begin() + static_cast<long>(first), args.end())))
        return refused;
    if (args.size() < first + 2) return expectedArguments("pack", "OUT FILE|DIR...");
    const std::string& out = args[first];
    SResourceArchiveWriter writer;
    std::string error;
    for (std::size_t i = first + 1; i < args.size(); ++i)
        if (!addInput(writer, args[i], error)) return failure(error);

    if (exe.empty()) {
        SString writeError;
        if (!SFile::writeFile(SString(out), SString(writer.build(0)), &writeError))
            return failure(oneLine(writeError));
        std::printf("%s: %d entries\n", out.c_str(), writer.getCount());
        return 0;
    }

    std::error_code ec;
    if (std::filesystem::equivalent(exe, out, ec))
        return usageError(
            languagechoice::say(MSG("nuktoolOutIsExe", "pack: OUT darf nicht EXE selbst sein")));
    if (!platform::pathExists(exe) || platform::isDirectory(exe))
        return failure("'" + exe + "': no such file");
    SResourceArchive existing;
    if (!existing.openFile(SString(exe))) return failure(oneLine(existing.getError()));
    int64_t base = existing.getFileSize();
    // An archive that ends exactly at the end of EXE is dropped, so packing again replaces it.
    if (existing.locate() && existing.getTrailingBytes() == 0) base = existing.getStart();
    existing.close();
    if (base < SResourceArchive::minimumExecutableStart)
        return failure("'" + exe +
                       "' is too small to be a program (the archive must start at offset 100 or later)");
    if (base > UINT32_MAX)
        return failure("'" + exe + "' is too large: the archive's start offset has 32 bits");
    if (!writeCopyWithTail(exe, base, out, writer.build(base), error)) return failure(error);
    // The copy stays runnable.
    std::filesystem::permissions(out, std::filesystem::status(exe, ec).permissions(), ec);
    std::printf("%s: %d entries appended at offset %lld\n", out.c_str(), writer.getCount(),
                static_cast<long long>(base));
    return 0;
}

// Opens and locates the archive of a file; an archive file of its own starts at offset 0.
bool openArchive(SResourceArchive& archive, const std::string& path, std::string& error) {
    if (!platform::pathExists(path) || platform::isDirectory(path)) {
        error = "'" + path + "': no such file";
        return false;
    }
    if (!archive.openFile(SString(path))) {
        error = oneLine(archive.getError());
        return false;
    }
    archive.setMinimumStart(0);
    if (!archive.locate()) {
        error = "'" + path + "' carries no resource archive (" + oneLine(archive.getError()) + ")";
        return false;
    }
    if (archive.getTrailingBytes() > 0)
        std::fprintf(stderr, "nuktool: warning: %lld bytes follow the archive's end in '%s'\n",
                     static_cast<long long>(archive.getTrailingBytes()), path.c_str());
    return true;
}

int list(const Args& args) {
    if (int refused = refuseOptions("list", args)) return refused;
    if (args.size() != 1) return expectedArguments("list", "FILE");
    SResourceArchive archive;
    std::string error;
    if (!openArchive(archive, args[0], error)) return failure(error);
    if (!archive.readHeader()) return failure(oneLine(archive.getError()));
    while (true) {
        SString name;
        uint32_t length = 0;
        int next = archive.nextEntry(name, length);
        if (next == 0) return 0;
        if (next < 0) return failure(oneLine(archive.getError()));
        std::printf("%10u  %s\n", length, name.c_str());
    }
}

int extract(const Args& args) {
    if (int refused = refuseOptions("extract", args)) return refused;
    if (args.size() != 2) return expectedArguments("extract", "FILE DIR");
    SResourceArchive archive;
    std::string error;
    if (!openArchive(archive, args[0], error)) return failure(error);
    const std::string& dir = args[1];
    if (!platform::isDirectory(dir) && !platform::createDirectories(dir))
        return failure("cannot create the directory '" + dir + "'");
    SStringList written;
    if (!archive.extractTo(SString(dir), written)) {
        // Nothing half-unpacked stays behind.
        for (const SString& path : written) platform::removeFile(path.str());
        return failure(oneLine(archive.getError()));
    }
    std::printf("%d files extracted to %s\n", written.getSize(), dir.c_str());
    return 0;
}

const Registration packCommand({"pack", packUsage, pack});
const Registration listCommand({"list", listUsage, list});
const Registration extractCommand({"extract", extractUsage, extract});

}  // namespace
}  // namespace nuktool
