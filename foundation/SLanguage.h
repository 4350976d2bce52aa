// The language table: translations of tagged message literals.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "foundation/SObject.h"

// A tagged literal is "\xB3\xB3" key "\xB3\xB3" default-text. The table maps keys to the texts
// of the loaded language files; without a translation (no entry, or an empty one) the default text
// is used and the key is recorded once in the missing-translation log.
class SLanguage : public SObject {
public:
    S_CLASSNAME(SLanguage)

    static constexpr char marker = '\xB3';

    SLanguage() = default;

    // Translates a literal; untagged text comes back unchanged.
    std::string translate(std::string_view literal);
    // True when the text starts with the two marker bytes.
    static bool isTagged(std::string_view text) {
        return text.size() >= 2 && text[0] == marker && text[1] == marker;
    }

    // Parses one language file's content and adds its entries (entries already present win).
    bool load(std::string_view text);
    // Forgets all entries, the errors and the missing log; the language becomes "de".
    void clear();

    const std::string& getLanguage() const { return language_; }
    void setLanguage(std::string name) { language_ = std::move(name); }
    // The decimal separator of numbers shown to the user: a comma in German (the program's
    // first language, also when none is set), a point in any other language. Files keep their
    // own formats.
    char getDecimalSeparator() const {
        return language_.empty() || language_.rfind("de", 0) == 0 ? ',' : '.';
    }
    std::string getErrorText() const;
    std::string getMissingLog() const;
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    std::size_t getEntryCount() const;

private:
    // Tagged literals may be assigned on worker threads too; the table and logs are shared.
    mutable std::mutex mutex_;
    std::string language_ = "de";
    std::string errorText_;
    std::string missingLog_;
    bool enabled_ = true;
    std::unordered_map<std::string, std::string> texts_;
    std::unordered_set<std::string> missingKeys_;
};

SLanguage& globalLanguage();
