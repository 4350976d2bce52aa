#include "foundation/SResourceArchive.h"

#include <algorithm>
#include <cstring>

#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"

namespace {

// The markers are kept in upper case and lowered through a byte the compiler must read at run
// time, so the lower-case markers are never constants of the program.
volatile const char caseBit = 0x20;

std::string lowerMarker(const char* upper) {
    std::string s(upper);
    for (char& c : s) c = static_cast<char>(c ^ caseBit);
    return s;
}

// The program's marker. Reading it through volatile keeps the compiler from folding the test of
// its last character, so patching the byte in the executable file takes effect.
volatile const char programMarkerText[12] = "NUKRES-ON:1";

uint32_t littleEndian(const unsigned char* b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

constexpr std::size_t chunkSize = 65536;

}  // namespace

// Random access to the bytes the archive is read from.
class SResourceArchive::Source {
public:
    virtual ~Source() = default;
    virtual int64_t size() const = 0;
    virtual bool readAt(int64_t position, void* buffer, std::size_t count) = 0;
};

namespace {

class FileSource : public SResourceArchive::Source {
public:
    bool open(const SString& path, SString& error) {
        if (!file_.open(path, "rb", true)) {
            error = file_.getError();
            return false;
        }
        size_ = file_.getSize();
        return size_ >= 0;
    }
    int64_t size() const override { return size_; }
    bool readAt(int64_t position, void* buffer, std::size_t count) override {
        return file_.seek(position) == position && file_.read(buffer, static_cast<int64_t>(count));
    }

private:
    SFile file_;
    int64_t size_ = 0;
};

class BytesSource : public SResourceArchive::Source {
public:
    explicit BytesSource(std::string_view bytes) : bytes_(bytes) {}
    int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }
    bool readAt(int64_t position, void* buffer, std::size_t count) override {
        if (count > 0) std::memcpy(buffer, bytes_.data() + position, count);
        return true;
    }

private:
    std::string_view bytes_;
};

}  // namespace

std::string SResourceArchive::magic() {
    return lowerMarker("NUKRES");
}

std::string SResourceArchive::endMarker() {
    return lowerMarker("NUKEND");
}

std::string SResourceArchive::programMarker() {
    std::string s(11, ' ');
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = programMarkerText[i];
    return s;
}

bool SResourceArchive::isLookupEnabled() {
    return programMarkerText[10] != '0';
}

bool SResourceArchive::isSafeName(const SString& name) {
    const std::string& n = name.str();
    if (n.empty() || n == ".") return false;
    if (n.find_first_of(std::string("/\\\0", 3)) != std::string::npos) return false;
    return n.find("..") == std::string::npos;
}

SResourceArchive::SResourceArchive() = default;

SResourceArchive::~SResourceArchive() = default;

bool SResourceArchive::openFile(const SString& path) {
    close();
    auto file = std::make_unique<FileSource>();
    if (!file->open(path, error_)) return false;
    source_ = std::move(file);
    fileSize_ = source_->size();
    return true;
}

void SResourceArchive::openBytes(std::string_view bytes) {
    close();
    source_ = std::make_unique<BytesSource>(bytes);
    fileSize_ = source_->size();
}

void SResourceArchive::close() {
    source_.reset();
    fileSize_ = 0;
    start_ = end_ = -1;
    position_ = dataLeft_ = 0;
    error_.clear();
}

bool SResourceArchive::readAt(int64_t position, void* buffer, std::size_t count) {
    if (!source_ || position < 0 || position > fileSize_ ||
        static_cast<int64_t>(count) > fileSize_ - position)
        return false;
    return source_->readAt(position, buffer, count);
}

bool SResourceArchive::readWord(int64_t position, uint32_t& value) {
    unsigned char b[4];
    if (!readAt(position, b, sizeof b)) return false;
    value = littleEndian(b);
    return true;
}

int64_t SResourceArchive::searchEndMarker() {
    // Backwards in chunks, so a large executable is not read byte by byte nor held in memory
    // whole. Chunks overlap by the marker length minus one, so a marker across a chunk border
    // is found; only markers followed by the four offset bytes count.
    const std::string marker = endMarker();
    const int64_t overlap = markerLength - 1;
    std::string buffer(chunkSize, '\0');
    int64_t chunkEnd = fileSize_ - 4;
    while (chunkEnd >= markerLength) {
        int64_t chunkStart = std::max<int64_t>(0, chunkEnd - static_cast<int64_t>(chunkSize));
        auto count = static_cast<std::size_t>(chunkEnd - chunkStart);
        if (!readAt(chunkStart, buffer.data(), count)) return -1;
        std::size_t found = std::string_view(buffer.data(), count).rfind(marker);
        if (found != std::string_view::npos) return chunkStart + static_cast<int64_t>(found);
        if (chunkStart == 0) break;
        chunkEnd = chunkStart + overlap;
    }
    return -1;
}

bool SResourceArchive::locate() {
    start_ = end_ = -1;
    position_ = dataLeft_ = 0;
    error_.clear();
    if (!source_) {
        error_ =
            "Es wurde keine Datei ge\xF6"
            "ffnet.";
        return false;
    }
    fileSize_ = source_->size();
    const SString noEnd = "Ressourcen-Endekennung nicht vorhanden.";
    if (fileSize_ < trailerLength) {
        error_ = noEnd;
        return false;
    }
    std::string tail(markerLength, '\0');
    if (readAt(fileSize_ - trailerLength, tail.data(), tail.size()) && tail == endMarker()) {
        end_ = fileSize_;
    } else {
        int64_t found = searchEndMarker();
        if (found < 0) {
            error_ = noEnd;
            return false;
        }
        end_ = found + trailerLength;
    }
    uint32_t start = 0;
    if (!readWord(end_ - 4, start)) {
        error_ = "Konnte Startoffset nicht lesen.";
        end_ = -1;
        return false;
    }
    // The archive must begin where its magic fits before the end marker.
    if (start < minimumStart_ || start >= fileSize_ ||
        static_cast<int64_t>(start) + markerLength > end_ - trailerLength) {
        error_.format("Ung\xFCltiger Startoffset: %u", start);
        end_ = -1;
        return false;
    }
    std::string head(markerLength, '\0');
    if (!readAt(start, head.data(), head.size()) || head != magic()) {
        error_ = "Ressourcen-Kennung nicht vorhanden.";
        end_ = -1;
        return false;
    }
    start_ = start;
    return true;
}

bool SResourceArchive::readHeader() {
    dataLeft_ = 0;
    const int64_t limit = end_ - trailerLength;
    uint32_t length = 0, word1 = 0, word2 = 0;
    if (start_ < 0 || start_ + markerLength + headerLength > limit || !readWord(start_ + 6, length) ||
        !readWord(start_ + 10, word1) || !readWord(start_ + 14, word2)) {
        error_ = "Fehler beim Lesen der Kennung";
        return false;
    }
    position_ = start_ + markerLength + length;
    return true;
}

int SResourceArchive::nextEntry(SString& name, uint32_t& length) {
    skipData();
    const int64_t limit = end_ - trailerLength;
    // The list also ends where the end marker begins.
    if (position_ == limit) return 0;
    char id = 0;
    if (position_ > limit || !readAt(position_, &id, 1)) {
        error_ = "Fehler beim Lesen der Kennung";
        return -1;
    }
    ++position_;
    if (id == listEnd) return 0;
    if (id != fileEntry) {
        error_.format("unbekannte Blockkennung: %d", static_cast<unsigned char>(id));
        return -1;
    }
    uint32_t nameLength = 0;
    if (limit - position_ < 4 || !readWord(position_, nameLength) || nameLength > maximumNameLength ||
        nameLength > limit - position_ - 4) {
        error_ = "Fehler beim Lesen der Namens-L\xE4nge";
        return -1;
    }
    position_ += 4;
    std::string bytes(nameLength, '\0');
    if (!readAt(position_, bytes.data(), bytes.size())) {
        error_ = "Fehler beim Lesen der Namens-L\xE4nge";
        return -1;
    }
    position_ += nameLength;
    name = SString(std::move(bytes));
    if (!isSafeName(name)) {
        error_ = SString("Unzul\xE4ssiger Dateiname: ") + name;
        return -1;
    }
    if (limit - position_ < 4 || !readWord(position_, length)) {
        error_ = "Fehler beim Lesen der Daten-L\xE4nge";
        return -1;
    }
    position_ += 4;
    // A length beyond the archive is a read error, not a request for that much memory.
    if (length > limit - position_) {
        error_ = SString("Fehler beim Lesen der Daten: ") + name + SString::printf(" %u", length);
        return -1;
    }
    dataLeft_ = length;
    return 1;
}

bool SResourceArchive::readData(char* buffer, std::size_t count) {
    if (static_cast<int64_t>(count) > dataLeft_ || !readAt(position_, buffer, count)) return false;
    for (std::size_t i = 0; i < count; ++i) buffer[i] = static_cast<char>(buffer[i] ^ scrambleKey);
    position_ += static_cast<int64_t>(count);
    dataLeft_ -= static_cast<int64_t>(count);
    return true;
}

void SResourceArchive::skipData() {
    position_ += dataLeft_;
    dataLeft_ = 0;
}

bool SResourceArchive::extractTo(const SString& directory, SStringList& written,
                                 const std::function<void(const SString&, const SString&)>& onFile) {
    if (!readHeader()) return false;
    std::string buffer(chunkSize, '\0');
    while (true) {
        SString name;
        uint32_t length = 0;
        int next = nextEntry(name, length);
        if (next == 0) return true;
        if (next < 0) return false;
        SString path = SFileSystem::join(directory, name);
        SFile file;
        if (!file.open(path, "wb", true)) {
            error_ = SString("Fehler beim Anlegen des Tempfiles: ") + path;
            return false;
        }
        if (written.find(path) < 0) written.add(path);
        for (uint32_t left = length; left > 0;) {
            std::size_t n = std::min<std::size_t>(left, chunkSize);
            if (!readData(buffer.data(), n)) {
                error_ = SString("Fehler beim Lesen der Daten: ") + name + SString::printf(" %u", length);
                return false;
            }
            if (!file.write(buffer.data(), static_cast<int64_t>(n))) {
                error_ = SString("Fehler beim Schreiben des Tempfiles: ") + path;
                return false;
            }
            left -= static_cast<uint32_t>(n);
        }
        file.close();
        if (onFile) onFile(name, path);
    }
}

bool SResourceArchiveWriter::add(const SString& name, const SString& data) {
    error_.clear();
    if (!SResourceArchive::isSafeName(name)) {
        error_ = SString("Unzul\xE4ssiger Dateiname: ") + name;
        return false;
    }
    SString key = name.lowered();
    for (const auto& entry : entries_) {
        if (entry.first.lowered() == key) {
            error_ = SString("Der Name ist schon vergeben: ") + name;
            return false;
        }
    }
    entries_.emplace_back(name, data);
    return true;
}

void SResourceArchiveWriter::appendWord(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string SResourceArchiveWriter::build(int64_t start) const {
    std::string out = SResourceArchive::magic();
    appendWord(out, SResourceArchive::headerLength);
    appendWord(out, 1);
    appendWord(out, 0);
    for (const auto& [name, data] : entries_) {
        out += SResourceArchive::fileEntry;
        appendWord(out, static_cast<uint32_t>(name.size()));
        out += name.str();
        appendWord(out, static_cast<uint32_t>(data.size()));
        std::size_t at = out.size();
        out += data.str();
        for (std::size_t i = at; i < out.size(); ++i)
            out[i] = static_cast<char>(out[i] ^ SResourceArchive::scrambleKey);
    }
    out += SResourceArchive::listEnd;
    out += SResourceArchive::endMarker();
    appendWord(out, static_cast<uint32_t>(start));
    return out;
}
