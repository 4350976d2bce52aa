// Regular expressions over PCRE2, written with delimiters: "/pattern/modifiers".
#pragma once

#include <memory>

#include "foundation/SLists.h"
#include "foundation/SString.h"

struct pcre2_real_code_8;

// The first character of the expression is the delimiter; the pattern runs to its last
// occurrence, and the letters behind it are modifiers: A anchored, D dollar only at the end,
// U ungreedy, X extra (PCRE2 is always strict), u UTF-8, i caseless, m multiline, s dot matches
// newline, x extended.
class SRegExp : public SObject {
public:
    S_CLASSNAME(SRegExp)

    SRegExp() = default;
    explicit SRegExp(const SString& expression);
    ~SRegExp() override;
    SRegExp(const SRegExp&) = delete;
    SRegExp& operator=(const SRegExp&) = delete;

    // Compiles the expression; a syntax error is shown in a message box.
    bool setExpression(const SString& expression);
    bool isValid() const { return code_ != nullptr; }
    const SString& getPattern() const { return pattern_; }
    const SString& getModifiers() const { return modifiers_; }

    // First match at or after start: groups gets the whole match and each captured group
    // (empty for groups that did not take part). Returns the match position or -1.
    int findOne(const SString& text, SStringList& groups, int start = 0);
    // Every match (the whole matched text each) in order; returns their count.
    int findAll(const SString& text, SStringList& matches);
    // Replaces every match; "$1" and the like in the replacement name groups.
    SString replace(const SString& text, const SString& replacement);
    // The groups of the first match; at most maxResults of them. Returns the count, 0 without a
    // match, -1 on an error (shown in a message box).
    int match(const SString& text, SStringList& results, int maxResults);

private:
    void release();

    SString expression_;
    SString pattern_;
    SString modifiers_;
    pcre2_real_code_8* code_ = nullptr;
};
