#include "view/KeloPainter.h"

#include "foundation/SDebug.h"
#include "foundation/SLanguage.h"
#include "repo/ViewElementData.h"
#include "view/KeloProjectData.h"

bool KeloPainter::handleEvent(SEvent& event) {
    (void)event;
    return false;
}

bool KeloPainter::update() {
    const bool changed = changed_ != 0;
    changed_ = 0;
    return changed;
}

void KeloPainter::paint(SDrawDevice& device) {
    (void)device;
}

bool KeloPainter::hitTest(const SPoint& point) {
    return element_ && contains(element_->getClientRect(), point);
}

void KeloPainter::onClick(int click) {
    (void)click;
    BaseElementData* base = getBaseElement();
    globalDebug().print(SString("KeloPainter::onClick(..): Auf irgendwas geclickt aber nicht verarbeitet: ") +
                        (base ? base->getName() : SString()));
}

ExtData* KeloPainter::connectExtData(const SString& name) {
    if (name.isEmpty()) return nullptr;
    ExtData* channel = project_ ? project_->getExtDataManager().get(name) : nullptr;
    if (!channel)
        globalDebug().print(SString("FEHLER: KeloPainter::connectExtData(): ExtData mit dem Namen '") + name +
                            "' wurde nicht gefunden.");
    return channel;
}

bool KeloPainter::onConnectExtData(const SString& names) {
    if (!names.isEmpty())
        globalDebug().print(SString("TODO: Die Member ") + getClassName() +
                            "::onConnectExtData() sollte \xFC" "berschrieben werden, um die Verbindung mit " +
                            names + " herstellen zu k\xF6nnen.");
    return true;
}

bool KeloPainter::init(ViewElementData* element, KeloProjectData* project, int painterType) {
    if (!element) return false;
    element_ = element;
    rect_ = &element->getClientRect();
    project_ = project;
    painterType_ = painterType;
    BaseElementData* base = getBaseElement();
    const SString names = base ? base->getAttributeString("extData") : SString();
    bool ok = onConnectExtData(names);
    if (!ok) {
        globalDebug().print(SString("FEHLER: KeloPainter::init(..) onConnectExtData('") + names +
                            "') schlug fehl");
        return false;
    }
    ok = loadAttributes();
    if (ok) onInit();
    return ok;
}

BaseElementData* KeloPainter::getBaseElement() const {
    return element_ ? element_->getBaseElement() : nullptr;
}

SRect KeloPainter::getElementRect() const {
    return element_ ? element_->getClientRect() : SRect(0, 0, 0, 0, true);
}

SString KeloPainter::getAttributeString(const SString& key, const SString& defaultValue) const {
    return userText(element_ ? element_->getAttributeString(key, defaultValue) : defaultValue);
}

SString KeloPainter::userText(const SString& text) {
    // The C-string constructor passes a tagged literal through the language table.
    return SLanguage::isTagged(text.str()) ? SString(text.c_str()) : text;
}

int32_t KeloPainter::getAttributeInt(const SString& key, int32_t defaultValue) const {
    return element_ ? element_->getAttributeInt(key, defaultValue) : defaultValue;
}

double KeloPainter::getAttributeDouble(const SString& key, double defaultValue) const {
    return element_ ? element_->getAttributeDouble(key, defaultValue) : defaultValue;
}
