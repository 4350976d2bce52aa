// The document shown in an SIEControl.
#pragma once

#include <QPointer>

#include "browser/SHtmlElement.h"
#include "browser/SHtmlElementCollection.h"

class SIEPage;

// Valid while the page shows the document it was taken from; after a navigation its lookups
// find nothing.
class SHtmlDocument2 : public SObject {
public:
    S_CLASSNAME(SHtmlDocument2)

    SHtmlDocument2() = default;
    SHtmlDocument2(QPointer<SIEPage> page, QString token)
        : page_(std::move(page)), token_(std::move(token)) {}

    bool isValid() const { return !token_.isEmpty() && !page_.isNull(); }

    // The element with that id, or an invalid one. On a document without content the debug
    // channel says so.
    SHtmlElement getElementById(const SString& id) const;
    // The elements with that tag name ("DIV"; any letter case).
    SHtmlElementCollection getElementsByTagName(const SString& tag) const;
    // Of the elements with that tag name that have an id and a class, the one with that id
    // gets the class matching, every other one the class others; one call into the page.
    // Returns how many got a class, -1 when the document is gone or the page did not answer.
    int setClassesByTagName(const SString& tag, const SString& id, const SString& matching,
                            const SString& others) const;

private:
    QPointer<SIEPage> page_;
    QString token_;
};
