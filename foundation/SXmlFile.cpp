#include "foundation/SXmlFile.h"

#include "foundation/SDebug.h"
#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"
#include "foundation/SKompress.h"

int SXmlFile::load(const SString& fileName) {
    text_.clear();
    SString content;
    if (!SFileSystem::exists(fileName)) {
        text_ = "Fehler: Datei nicht gefunden: " + fileName;
    } else {
        SString ext;
        SFileSystem::splitPath(fileName, nullptr, nullptr, nullptr, &ext);
        SString readError;
        if (ext.lowered() == ".xml") {
            content = SFile::readFile(fileName, &readError);
            if (content.isEmpty()) text_ = "Fehler: beim Auslesen der Datei " + fileName;
        } else {
            SMem packed;
            if (!SFile::readFile(fileName, packed, &readError)) {
                text_ = "Fehler: beim Auslesen der Datei " + fileName;
            } else {
                SKompress kompress;
                SMem plain = kompress.decompress(packed);
                if (plain.getSize() == 0)
                    text_ = "Fehler: beim Dekomprimieren der Datei " + fileName;
                else
                    content = plain.toString();
            }
        }
    }
    if (!text_.isEmpty()) {
        globalDebug().print("SXmlFile::load(..) " + text_);
        return 0;
    }
    return parse(content);
}
