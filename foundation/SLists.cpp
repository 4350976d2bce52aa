#include "foundation/SLists.h"

#include "foundation/SError.h"

void showListRangeError(const char* className, const char* operation, int requested, int size) {
    globalError().showMessage(SString::printf(
        "Fehler in der Liste: %s.%s(..)\r\nEs wurde ein Element au\xDF" "erhalb des Bereiches angefordert.\r\n"
        "Angefordert wurde: %d\r\nm\xF6glich ist: 0...%d",
        className, operation, requested, size - 1));
}

SStringList SStringList::split(const SString& text, const SString& separator) {
    SStringList list;
    if (text.isEmpty()) return list;
    int start = 0;
    while (true) {
        int pos = separator.isEmpty() ? -1 : text.find(separator, start);
        if (pos < 0) {
            list.add(text.mid(start));
            break;
        }
        list.add(text.mid(start, pos - start));
        start = pos + separator.getLength();
    }
    return list;
}

SString SStringList::join(const SString& separator) const {
    SString out;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i) out += separator;
        out += items_[i];
    }
    return out;
}
