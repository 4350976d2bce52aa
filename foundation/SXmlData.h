// A parsed XML document: the prolog and the tree of tags under one root.
#pragma once

#include "foundation/SString.h"
#include "foundation/SXmlTag.h"

// A small reader, not a conforming parser: it knows start tags with attributes in quotes, end
// tags, self-closing tags, tags beginning with "<!" (comments, document type declarations; kept
// as empty tags) and one prolog "<?...?>". A text is parsed once; the document owns the tree.
class SXmlData : public SObject {
public:
    S_CLASSNAME(SXmlData)

    // Option bit: "replaces" elements fill replacement tables for the attributes read after them.
    static constexpr int optionReplaces = 1;

    SXmlData() = default;
    ~SXmlData() override;
    SXmlData(const SXmlData&) = delete;
    SXmlData& operator=(const SXmlData&) = delete;

    // Builds the tree from a text unless the document has a root already (then 0). Returns the
    // position behind the root element, or -1 when the root's end tag is missing; the tree then
    // holds what was read.
    int parse(const SString& text);
    // The root when it has that name, else the n-th child of the root with that name (or the
    // null tag). Creates an empty root when there is none.
    SXmlTag* getTag(const SString& name, int n = 1);
    // The root; created empty when there is none.
    SXmlTag* getRoot();
    // The text from "<?" to "?>", empty when the text had none.
    const SString& getProlog() const { return prolog_; }
    int getOptions() const { return options_; }
    // Takes effect for a text parsed afterwards.
    void setOptions(int options) { options_ = options; }

protected:
    // Spare text: SXmlFile keeps the error text of load here.
    SString text_;
    int options_ = 0;
    SXmlTag* root_ = nullptr;
    SString prolog_;
};
