// An element of the document shown in an SIEControl.
#pragma once

#include <QPointer>

#include "foundation/SString.h"

class SIEPage;

// A handle: copies stand for the same element. The operations ask the browser and wait for its
// answer; on an invalid element (or when the page is gone) the getters answer empty texts and
// the setters do nothing.
class SHtmlElement : public SObject {
public:
    S_CLASSNAME(SHtmlElement)

    SHtmlElement() = default;
    SHtmlElement(QPointer<SIEPage> page, QString token, int handle)
        : page_(std::move(page)), token_(std::move(token)), handle_(handle) {}

    bool isValid() const { return handle_ >= 0 && !page_.isNull(); }

    SString getInnerHtml() const;
    // Characters the code page cannot hold arrive as numeric character references.
    void setInnerHtml(const SString& html);
    SString getId() const;
    // The element's class name (its "class" attribute). Named so because getClassName names
    // the C++ class of every library object.
    SString getClass() const;
    void setClass(const SString& name);

private:
    SString get(const char* property, bool entities) const;
    void set(const char* property, const SString& value);

    QPointer<SIEPage> page_;
    QString token_;
    int handle_ = -1;
};
