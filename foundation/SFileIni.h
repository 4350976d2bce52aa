// Sectioned key=value files, edited in place so that everything untouched survives a save.
#pragma once

#include "foundation/SLists.h"
#include "foundation/SString.h"

// The whole file is one text in memory. A section starts with "[name]" at the start of the
// text or of a line; an entry is "key=value" at the start of a line inside a section, with no
// blanks around "=". Everything else (comments, blank lines) is kept and ignored.
//
// Lines end in "\r\n": a value runs to the next "\r", and a bare "\n" is part of the text. A
// text whose first line end is a bare "\n" (a file edited with Linux tools) is read with "\n"
// line ends instead, and lines added to it end in "\n".
//
// A file beginning with "[nukContentMask+NNN]\r\n" is masked: every byte behind that 22-byte
// header is XORed with (NNN - 43) mod 256. It is unmasked in memory (the header then reads
// "[nukContentMask-NNN]") and masked again on every save.
class SFileIni : public SObject {
public:
    S_CLASSNAME(SFileIni)

    static constexpr int maskHeaderSize = 22;

    SFileIni() = default;
    // Saves a modified, writable file.
    ~SFileIni() override;
    SFileIni(const SFileIni&) = delete;
    SFileIni& operator=(const SFileIni&) = delete;

    // Reads the file (saving a modified previous one first); with create a missing file is
    // created empty.
    bool open(const SString& path, bool create = false, bool readOnly = false);
    // Takes a text as the content without a file (masked texts are unmasked).
    void setContent(const SString& text);
    const SString& getContent() const { return content_; }

    SString getValue(const SString& section, const SString& key, const SString& defaultValue = SString()) const;
    // Sets a value in place; an empty value removes the entry's line (every line of that key in
    // the section, so the key is gone). A missing key is added at the end of its section, a
    // missing section at the end of the file. An empty key changes nothing.
    void setValue(const SString& section, const SString& key, const SString& value);
    // Names (and, when wanted, raw bodies) of the sections matching a "|"-separated pattern
    // list: "*" all, "abc*" prefix, "*abc" suffix, else the exact name. Each name once, in file
    // order. Returns the count.
    int getSections(const SString& patterns, SStringList& names, SStringList* bodies = nullptr) const;
    // All key/value pairs of one section in file order.
    int getSectionEntries(const SString& section, SStringList& keys, SStringList& values) const;
    bool hasSection(const SString& section) const;

    // Writes the content back (masked again when it was masked); clears the modified flag. A
    // file that is read-only, or that exists but could not be read, is never written.
    bool save();

    // The full path of the file given to open.
    const SString& getPath() const { return path_; }
    bool isModified() const { return modified_; }
    bool isReadOnly() const { return readOnly_; }
    bool isMasked() const;
    const SString& getError() const { return error_; }

    // Applies the mask of a text that begins with a mask header (either sign): every byte from
    // offset 22 is XORed with the header's mask byte.
    static void applyMask(std::string& text);

private:
    struct Span {
        std::size_t begin;
        std::size_t end;
    };
    // Body of the first section of that name, or false.
    bool findSection(const std::string& name, Span& body) const;
    // Start of the first entry line of key inside body, or npos.
    std::size_t findKey(const Span& body, const std::string& key) const;
    // True when the text uses bare "\n" line ends (its first line end is one).
    bool usesBareLineFeeds() const;
    std::string lineBreak() const { return usesBareLineFeeds() ? "\n" : "\r\n"; }

    SString path_;
    SString content_;
    bool modified_ = false;
    bool readOnly_ = false;
    // The file exists but its content could not be read: writing would destroy it.
    bool unreadable_ = false;
    SString error_;
};
