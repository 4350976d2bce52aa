#include "browser/SHtmlElement.h"

#include "browser/SHtmlScript.h"
#include "browser/SIEPage.h"
#include "gui/SQtString.h"

SString SHtmlElement::get(const char* property, bool entities) const {
    if (!isValid()) return {};
    QVariant value;
    if (!SHtmlScript::call(page_, "get", {token_, handle_, QString::fromLatin1(property)}, &value)) return {};
    if (!value.isValid() || value.isNull()) return {};
    return SHtmlScript::toText(value, entities);
}

void SHtmlElement::set(const char* property, const SString& value) {
    if (!isValid()) return;
    SHtmlScript::call(page_, "set", {token_, handle_, QString::fromLatin1(property), toQString(value)},
                      nullptr);
}

SString SHtmlElement::getInnerHtml() const {
    return get("innerHTML", true);
}

void SHtmlElement::setInnerHtml(const SString& html) {
    set("innerHTML", html);
}

SString SHtmlElement::getId() const {
    return get("id", false);
}

SString SHtmlElement::getClass() const {
    return get("className", false);
}

void SHtmlElement::setClass(const SString& name) {
    set("className", name);
}
