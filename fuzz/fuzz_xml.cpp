// Parses arbitrary bytes as an XML text and walks the whole tree through every accessor,
// checking that the answers agree with each other. An input starting with byte 0x01 is parsed
// with the "replaces" tables switched on (the byte itself is not part of the text).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/SRegExp.h"
#include "foundation/SXmlData.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void walk(SXmlTag* tag, std::vector<std::string>& names) {
    check(tag->isValid());
    check(tag->getDepth() < SXmlTag::maxDepth);
    SXmlTag* none = tag->getNullTag();
    check(!none->isValid());
    const SString name = tag->getName();
    if (names.size() < 8) names.push_back(name.str());

    for (const auto& [key, value] : tag->getAttributes())
        check(tag->getAttribute(key, SString("\x01")) == value);
    check(tag->getAttribute(SString(), SString("d")) == "d");
    SString text = tag->getText();
    check(tag->getText() == text);  // reading twice gives the same text

    int count = 0;
    SXmlTag* previous = none;
    for (SXmlTag* child = tag->firstChild(); child->isValid(); child = child->next()) {
        ++count;
        check(child->prev() == previous);
        check(child->findParent() == tag);
        check(child->getDepth() == tag->getDepth() + 1);
        if (!name.isEmpty()) check(child->findParent(name)->getName() == name);
        // The first child of its name is what getChild finds for n = 0 and 1.
        SXmlTag* first = tag->getChild(child->getName(), 0);
        check(first == tag->getChild(child->getName(), 1));
        check(first->getName() == child->getName());
        check(tag->countChildren(child->getName()) >= 1);
        previous = child;
        walk(child, names);
    }
    check(tag->countChildren() == count);
    check(tag->hasChildren() == (count > 0));
    if (count > 0) check(tag->getText().isEmpty());
    check(tag->getChild(SString("no such name")) == none);  // a name never holds a blank
    check(none->getChild(name) == none && none->firstChild() == none && none->findParent() == none);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int options = 0;
    if (size > 0 && data[0] == 0x01) {
        options = SXmlData::optionReplaces;
        ++data;
        --size;
    }
    const SString text(std::string(reinterpret_cast<const char*>(data), size));
    SXmlData doc;
    doc.setOptions(options);
    int end = doc.parse(text);
    check(end == -1 || (end >= 1 && end <= static_cast<int>(size)));
    std::vector<std::string> names;
    walk(doc.getRoot(), names);

    // The indexed end-tag search agrees with the plain scan.
    SXmlTag::EndTagFinder finder(text.str());
    for (const std::string& name : names)
        for (int p : {0, 1, static_cast<int>(size / 3), static_cast<int>(size / 2), static_cast<int>(size)})
            check(finder.find(SString(name), p) == SXmlTag::findEndTag(text, SString(name), p));

    // The attribute scanner finds what the expression finds (small texts: the expression is
    // quadratic on long runs of word characters).
    if (size <= 1024) {
        static SRegExp re(SString("/[\\w\\d]+=(?:\".*?\"|'.*?')/"));
        SStringList expected, found;
        re.findAll(text, expected);
        SXmlTag::findAttributes(text, found);
        check(expected.items() == found.items());
    }
    return 0;
}
