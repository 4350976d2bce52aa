#include "browser/SHtmlDocument2.h"

#include "browser/SHtmlScript.h"
#include "browser/SIEPage.h"
#include "foundation/SDebug.h"
#include "gui/SQtString.h"

SHtmlElement SHtmlDocument2::getElementById(const SString& id) const {
    if (!isValid()) return {};
    QVariant value;
    if (!SHtmlScript::call(page_, "byId", {token_, toQString(id)}, &value) || !value.isValid()) return {};
    const int handle = value.toInt();
    if (handle == SHtmlScript::noContent)
        globalDebug().print("SHtmlDocument2::getElementById(..) Dokument hat keinen Inhalt.");
    if (handle < 0) return {};
    return SHtmlElement(page_, token_, handle);
}

SHtmlElementCollection SHtmlDocument2::getElementsByTagName(const SString& tag) const {
    if (!isValid()) return {};
    QVariant value;
    if (!SHtmlScript::call(page_, "byTag", {token_, toQString(tag)}, &value) || !value.isValid()) return {};
    const int handle = value.toInt();
    if (handle < 0) return {};
    return SHtmlElementCollection(page_, token_, handle);
}

int SHtmlDocument2::setClassesByTagName(const SString& tag, const SString& id, const SString& matching,
                                        const SString& others) const {
    if (!isValid()) return -1;
    QVariant value;
    if (!SHtmlScript::call(page_, "classByTag",
                           {token_, toQString(tag), toQString(id), toQString(matching), toQString(others)}, &value) ||
        !value.isValid())
        return -1;
    const int count = value.toInt();
    return count < 0 ? -1 : count;
}
