// One element of an XML document: name, attributes, leaf text and child elements.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/SLists.h"
#include "foundation/SMaps.h"
#include "foundation/SString.h"

class SXmlData;

// Tags own their children. Lookups never give a null pointer: a missing tag is the document's
// null tag, which has no name, no attributes and no children (isValid() is false). Names and
// attribute keys compare case-sensitively; the search for an end tag ignores case.
//
// An element with the attribute parseOnlyWhenUse="1" keeps its inner markup as raw text until
// firstChild, hasChildren, getChild, countChildren or getText first needs it.
class SXmlTag : public SObject {
public:
    S_CLASSNAME(SXmlTag)

    // Tags nest at most this many levels deep (the root is level 1). The inside of a tag on the
    // deepest level stays unparsed and is kept as its text, so that hostile input cannot exhaust
    // the stack of the recursive parse.
    static constexpr int maxDepth = 1000;
    // An attribute value never grows beyond this through replacement tables.
    static constexpr int maxReplacedLength = 1 << 20;

    // A new tag behind prev (or as first child of parent when prev is null). A tag with neither
    // parent nor prev is a root and makes the document's null tag, which it deletes again.
    SXmlTag(SXmlTag* parent, SXmlTag* prev, int options);
    // Deletes the children, unlinks the tag from its parent and siblings.
    ~SXmlTag() override;
    SXmlTag(const SXmlTag&) = delete;
    SXmlTag& operator=(const SXmlTag&) = delete;

    const SString& getName() const { return name_; }
    // The leaf text with its entities decoded; empty for a tag with children.
    SString getText();
    // The value of an attribute, or def when the tag has no such attribute.
    SString getAttribute(const SString& name, const SString& def = SString()) const;
    // All attributes in the order of the start tag.
    const SMapStringToString& getAttributes() const;
    // The n-th child of that name (counted from 1; n below 1 counts as 1), or the null tag.
    SXmlTag* getChild(const SString& name, int n = 1);
    // Children with that name; all children when name is empty.
    int countChildren(const SString& name = SString());
    SXmlTag* firstChild();
    SXmlTag* next() const { return next_ ? next_ : null_; }
    SXmlTag* prev() const { return prev_ ? prev_ : null_; }
    bool hasChildren();
    bool isValid() const { return null_ != this; }
    // The nearest ancestor with that name (the parent when name is empty), or the null tag.
    SXmlTag* findParent(const SString& name = SString()) const;
    SXmlTag* getNullTag() const { return null_; }
    int getDepth() const { return depth_; }

    // The attribute pairs of a start tag's text as the expression
    // /[\w\d]+=(?:".*?"|'.*?')/ finds them: every whole match, in order. Linear in the text
    // (the expression needs quadratic time on a long run of word characters).
    static int findAttributes(const SString& text, SStringList& matches);

    // The end tag of an element named name whose content starts at position: the first
    // "</name>" (any case) at or after position, moved on to the next one for each inner open
    // tag "<name" found before it. An open tag counts when the name ends there (blank or ">")
    // and the tag does not end with "/>". -1 when there is no such end tag.
    static int findEndTag(const SString& text, const SString& name, int position);

    // The same search for many elements of one text, so that nested elements do not make it
    // rescan the text again and again. The first search indexes every open and end tag of the
    // text in one pass. Names containing "<" (only malformed markup has them) cannot be told
    // apart in that pass: their tags are collected per name while searching forward.
    class EndTagFinder {
    public:
        explicit EndTagFinder(const std::string& text);
        int find(const SString& name, int position);
        // Without the index: scans the text from position on.
        int findDirect(const SString& name, int position) const;

    private:
        struct Positions {
            std::vector<int> opens;  // counted open tags
            std::vector<int> ends;
        };
        // The tags of one name containing "<", collected from base up to scanned.
        struct Scan : Positions {
            std::size_t base = 0;
            std::size_t scanned = 0;
            bool complete = false;
            int nextOpen = -2;      // the first open tag at or after scanned; -1 none, -2 not known
            std::size_t close = 0;  // the first ">" at or after the last blank looked at
            bool closeKnown = false;
        };
        void buildIndex();
        int findScanned(const std::string& name, std::size_t position);
        bool scanFurther(Scan& scan, const std::string& name);
        bool isCounted(std::size_t delimiter, std::size_t& close, bool& closeKnown) const;

        std::string lower_;
        bool indexed_ = false;
        std::unordered_map<std::string, Positions> names_;
        std::unordered_map<std::string, Scan> scans_;
    };

private:
    friend class SXmlData;
    struct Source;
    struct NullTagMark {};

    explicit SXmlTag(int options, NullTagMark);

    // Element parse from position; returns the position behind the element, or -1 when its end
    // tag is missing.
    int parse(const SString& text, int position);
    int parseElement(Source& src, int position);
    bool readStartTag(const std::string& tag);
    void parseChildren(Source& src, int begin, int end);
    // Parses the raw inner markup of a postponed element.
    void parseIfPostponed();
    void readReplaces(const std::string& content);
    void applyReplaces(SString& value) const;

    std::unique_ptr<SMapStringToString> replaces_;
    SString name_;
    SString text_;
    SXmlTag* parent_ = nullptr;
    SXmlTag* firstChild_ = nullptr;
    SXmlTag* next_ = nullptr;
    SXmlTag* prev_ = nullptr;
    SXmlTag* null_ = nullptr;
    std::unique_ptr<SMapStringToString> attributes_;
    bool parsed_ = false;
    int options_ = 0;
    int depth_ = 0;
    bool ownsNullTag_ = false;
};
