// A list of elements of the document shown in an SIEControl (elements by tag name).
#pragma once

#include <QPointer>

#include "browser/SHtmlElement.h"

class SIEPage;

// A live list: the count and the elements are those of the document at the time of asking.
class SHtmlElementCollection : public SObject {
public:
    S_CLASSNAME(SHtmlElementCollection)

    SHtmlElementCollection() = default;
    SHtmlElementCollection(QPointer<SIEPage> page, QString token, int handle)
        : page_(std::move(page)), token_(std::move(token)), handle_(handle) {}

    bool isValid() const { return handle_ >= 0 && !page_.isNull(); }
    // 0 for an invalid collection.
    int getCount() const;
    // The element at an index; invalid outside the list.
    SHtmlElement getAt(int index) const;

private:
    QPointer<SIEPage> page_;
    QString token_;
    int handle_ = -1;
};
