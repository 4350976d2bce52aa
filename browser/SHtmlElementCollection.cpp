#include "browser/SHtmlElementCollection.h"

#include "browser/SHtmlScript.h"
#include "browser/SIEPage.h"

int SHtmlElementCollection::getCount() const {
    if (!isValid()) return 0;
    QVariant value;
    if (!SHtmlScript::call(page_, "count", {token_, handle_}, &value)) return 0;
    const int count = value.isValid() ? value.toInt() : 0;
    return count < 0 ? 0 : count;
}

SHtmlElement SHtmlElementCollection::getAt(int index) const {
    if (!isValid() || index < 0) return {};
    QVariant value;
    if (!SHtmlScript::call(page_, "at", {token_, handle_, index}, &value) || !value.isValid()) return {};
    const int handle = value.toInt();
    if (handle < 0) return {};
    return SHtmlElement(page_, token_, handle);
}
