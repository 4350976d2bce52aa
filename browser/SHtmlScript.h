// The scripts behind the document wrappers: one small library of DOM operations that runs in
// the page, and the calls into it.
#pragma once

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include "foundation/SString.h"

class SIEPage;

// The elements a wrapper stands for live in the page: the library keeps them in a table of the
// document (in the application's script world) and a wrapper holds the document's token and
// the element's index there. Every document gets a new random token, so a wrapper of an
// earlier document finds nothing instead of an element of the new one.
class SHtmlScript {
public:
    // Results of the library's lookups (indices are >= 0).
    static constexpr int notFound = -1;
    static constexpr int staleDocument = -2;
    static constexpr int noContent = -3;

    // Runs operation op of the library with the arguments; false when the page is gone or did
    // not answer in time (the value is then invalid).
    static bool call(const QPointer<SIEPage>& page, const char* op, const QVariantList& arguments,
                     QVariant* result);
    // The script text of a call (for tests and the debug channel).
    static QString script(const char* op, const QVariantList& arguments);
    // A JavaScript literal of a value (strings quoted and escaped, numbers, booleans).
    static QString literal(const QVariant& value);

    // Text of the page as Windows-1252; with entities, characters outside the code page become
    // numeric character references instead of '?', so markup keeps them.
    static SString toText(const QVariant& value, bool entities);
};
