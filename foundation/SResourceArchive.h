// The resource archive that a shipped program carries at the end of its executable file:
// reading it (from a file or from bytes), unpacking it into a directory, and writing it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/SLists.h"
#include "foundation/SString.h"

// Layout (integers 32-bit little-endian, S = file offset of the archive's first byte):
//   S        "nukres"
//   S+6      header length H (12: the three words of the header)
//   S+10     header word (1), read and not interpreted
//   S+14     header word (0), read and not interpreted
//   S+6+H    entries: identifier 0x00, name length N, name, data length L, L data bytes each
//            XORed with the scramble key; the identifier 's' ends the list
//   end-10   "nukend"
//   end-4    S
// An archive file of its own starts at S = 0; appended to an executable, S is the executable's
// former length.
class SResourceArchive : public SObject {
public:
    S_CLASSNAME(SResourceArchive)

    static constexpr int markerLength = 6;
    static constexpr int trailerLength = 10;
    static constexpr int headerLength = 12;
    static constexpr char fileEntry = 0x00;
    static constexpr char listEnd = 's';
    // The byte every data byte of an entry is XORed with.
    static constexpr uint8_t scrambleKey = 0xA7;
    // An executable's archive cannot start before this offset.
    static constexpr int64_t minimumExecutableStart = 100;
    // Longest entry name accepted; longer names cannot be file names anyway.
    static constexpr uint32_t maximumNameLength = 1024;

    // "nukres" and "nukend". They are assembled at run time so that the program's own bytes
    // never contain them: the backward search for the end marker in an executable without an
    // archive then finds nothing instead of these constants.
    static std::string magic();
    static std::string endMarker();

    // The program's 11-character marker string "NUKRES-ON:1". A packer may patch its last
    // character to '0' in an executable, which then never looks for an archive.
    static std::string programMarker();
    static bool isLookupEnabled();

    // A name is stored as a plain file name: not empty, not "." and without "/", "\\", ".." or
    // NUL, so an unpacked entry can never land outside its directory.
    static bool isSafeName(const SString& name);

    SResourceArchive();
    ~SResourceArchive() override;
    SResourceArchive(const SResourceArchive&) = delete;
    SResourceArchive& operator=(const SResourceArchive&) = delete;

    // Reads from a file; false (error text set) when it cannot be opened.
    bool openFile(const SString& path);
    // Reads from bytes the caller keeps alive while the archive is used.
    void openBytes(std::string_view bytes);
    void close();

    // The lowest start offset accepted (default: minimumExecutableStart; 0 for archive files).
    void setMinimumStart(int64_t offset) { minimumStart_ = offset; }

    // Finds the archive. False when there is none; the reason is in getError() and the caller
    // treats it as "no archive", not as a failure.
    bool locate();
    int64_t getFileSize() const { return fileSize_; }
    int64_t getStart() const { return start_; }
    int64_t getEnd() const { return end_; }
    // Bytes behind the archive's end (the end marker had to be searched for).
    int64_t getTrailingBytes() const { return fileSize_ - end_; }

    // Reads the header after locate(). False with the reason in getError().
    bool readHeader();
    // Reads the next entry's head after readHeader(). 1: an entry (name, data length), 0: end of
    // the list, -1: failure with the reason in getError(). The data is checked to lie inside the
    // archive and the name to be safe before 1 is returned.
    int nextEntry(SString& name, uint32_t& length);
    // Reads the next count bytes of the current entry's data, unscrambled.
    bool readData(char* buffer, std::size_t count);
    // Skips the rest of the current entry's data.
    void skipData();

    // Unpacks every entry into an existing directory. onFile gets each entry's name and the
    // path written (an entry of a name already written replaces that file). On failure the
    // files written so far are listed in written; the caller decides whether to remove them.
    bool extractTo(const SString& directory, SStringList& written,
                   const std::function<void(const SString& name, const SString& path)>& onFile = nullptr);

    const SString& getError() const { return error_; }

    class Source;

private:
    bool readAt(int64_t position, void* buffer, std::size_t count);
    bool readWord(int64_t position, uint32_t& value);
    // Position of the last complete trailer ("nukend" and 4 bytes), or -1.
    int64_t searchEndMarker();

    std::unique_ptr<Source> source_;
    int64_t minimumStart_ = minimumExecutableStart;
    int64_t fileSize_ = 0;
    int64_t start_ = -1;
    int64_t end_ = -1;
    int64_t position_ = 0;
    int64_t dataLeft_ = 0;
    SString error_;
};

// Builds an archive from named contents.
class SResourceArchiveWriter : public SObject {
public:
    S_CLASSNAME(SResourceArchiveWriter)

    // Adds an entry; false (error text set) for an unsafe name or a name already added (names
    // are compared as the reader's lookup compares them, case-insensitively).
    bool add(const SString& name, const SString& data);
    int getCount() const { return static_cast<int>(entries_.size()); }
    // The archive's bytes for an archive that starts at file offset start.
    std::string build(int64_t start = 0) const;
    const SString& getError() const { return error_; }

    // Appends 32-bit little-endian words.
    static void appendWord(std::string& out, uint32_t value);

private:
    std::vector<std::pair<SString, SString>> entries_;
    SString error_;
};
