// Switches LC_NUMERIC to a German locale (decimal comma) for its lifetime, for tests of code
// that must not depend on the locale. A system without a German locale (a fresh Debian has
// neither de_DE nor the charmaps of the package "locales") gets a minimal one, built with
// localedef from a numbers-only source and a charmap of its own in a private directory.
#pragma once

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/TestSupport.h"

namespace testsupport {

class GermanNumbers {
public:
    GermanNumbers() {
        const char* current = std::setlocale(LC_NUMERIC, nullptr);
        previous_ = current ? current : "C";
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_DE@euro"})
            if (std::setlocale(LC_NUMERIC, name)) return;
        std::string charmap = "<code_set_name> NUK-ASCII\n<comment_char> %\n<escape_char> /\nCHARMAP\n";
        for (int c = 0; c < 0x80; ++c) {
            char line[32];
            std::snprintf(line, sizeof line, "<U%04X> /x%02x\n", c, c);
            charmap += line;
        }
        charmap += "END CHARMAP\n";
        dir_.write("ascii.charmap", charmap);
        dir_.write("comma.src",
                   "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\ngrouping 3;3\nEND LC_NUMERIC\n");
        // -c: the source defines the numbers only; localedef warns about the rest and writes it.
        std::string out;
        runCommand("localedef -c -i '" + dir_.file("comma.src") + "' -f '" + dir_.file("ascii.charmap") + "' '" +
                       dir_.file("de_DE") + "'",
                   &out);
        const char* old = std::getenv("LOCPATH");
        if (old) oldLocPath_ = old;
        hadLocPath_ = old != nullptr;
        setenv("LOCPATH", dir_.path().c_str(), 1);
        changedLocPath_ = true;
        std::setlocale(LC_NUMERIC, "de_DE");
    }
    ~GermanNumbers() {
        std::setlocale(LC_NUMERIC, previous_.c_str());
        if (changedLocPath_) {
            if (hadLocPath_) setenv("LOCPATH", oldLocPath_.c_str(), 1);
            else unsetenv("LOCPATH");
        }
    }
    GermanNumbers(const GermanNumbers&) = delete;
    GermanNumbers& operator=(const GermanNumbers&) = delete;

    // The locale really uses a decimal comma.
    bool active() const { return std::localeconv()->decimal_point[0] == ','; }

private:
    std::string previous_;
    std::string oldLocPath_;
    bool hadLocPath_ = false;
    bool changedLocPath_ = false;
    TempDir dir_;
};

}  // namespace testsupport
