// Byte-exact file access with the library's messages, and whole-file read and write.
#pragma once

#include <cstdint>
#include <cstdio>

#include "foundation/SMem.h"
#include "foundation/SString.h"

class SFile : public SObject {
public:
    S_CLASSNAME(SFile)
    enum Origin { fromStart = SEEK_SET, fromCurrent = SEEK_CUR, fromEnd = SEEK_END };

    SFile() = default;
    ~SFile() override { close(); }
    SFile(const SFile&) = delete;
    SFile& operator=(const SFile&) = delete;

    // Opens with a C stream mode ("rb", "w+b", "r+", ...). The name is made a full path first.
    // Failures show a message box unless quiet is set; the reason is kept in the error text.
    bool open(const SString& name, const char* mode, bool quiet = false);
    // Reads count bytes into buffer; false when fewer arrived. A count of -1 reads from the
    // read position to the end of the file (the buffer must hold getSize() bytes).
    bool read(void* buffer, int64_t count);
    // Reads from the current position to the end of the file.
    bool readToEnd(SString& out);
    bool readToEnd(SMem& out);
    bool write(const void* bytes, int64_t count);
    bool write(const SString& text) { return write(text.data(), static_cast<int64_t>(text.size())); }
    // New position, or -1.
    int64_t seek(int64_t position, Origin origin = fromStart);
    int64_t getPosition() const;
    // The size of the open file; the read position does not move. -1 on a closed file.
    int64_t getSize();
    bool isOpen() const { return file_ != nullptr; }
    void close();
    const SString& getError() const { return error_; }
    const SString& getName() const { return name_; }

    // Whole file in one call; with an error text wanted no message box is shown.
    static SString readFile(const SString& name, SString* error = nullptr);
    static bool readFile(const SString& name, SMem& out, SString* error = nullptr);
    static bool writeFile(const SString& name, const SString& content, SString* error = nullptr);

private:
    std::FILE* file_ = nullptr;
    // The last access was a read: a write on an update stream must reposition first.
    bool lastWasRead_ = false;
    SString error_;
    SString name_;
};
