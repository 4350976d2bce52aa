// Enumerates the names in one directory that match a wildcard pattern ("dir/*_de.lng").
#pragma once

#include <vector>

#include "foundation/SString.h"

class SFileFind : public SObject {
public:
    S_CLASSNAME(SFileFind)

    // Starts an enumeration; false when nothing matches.
    bool findFirst(const SString& pattern);
    bool findNext();
    // The current entry's name (without its directory).
    SString getName() const;
    // The current entry's full path.
    SString getPath() const;
    bool isDirectory() const;
    // The entry is "." or "..".
    bool isDots() const;

private:
    SString dir_;
    std::vector<std::pair<SString, bool>> entries_;
    std::size_t current_ = 0;
};
