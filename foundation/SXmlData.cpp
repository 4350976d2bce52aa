#include "foundation/SXmlData.h"

SXmlData::~SXmlData() {
    delete root_;
}

int SXmlData::parse(const SString& text) {
    if (root_) return 0;
    int start = 0;
    int open = text.find(SString("<?"));
    if (open >= 0) {
        int close = text.find(SString("?>"), open + 2);
        if (close >= 0) {
            prolog_ = text.mid(open, close + 2 - open);
            start = close + 2;
        }
    }
    root_ = new SXmlTag(nullptr, nullptr, options_);
    return root_->parse(text, start);
}

SXmlTag* SXmlData::getTag(const SString& name, int n) {
    SXmlTag* root = getRoot();
    if (root->getName() == name) return root;
    return root->getChild(name, n);
}

SXmlTag* SXmlData::getRoot() {
    if (!root_) root_ = new SXmlTag(nullptr, nullptr, options_);
    return root_;
}
