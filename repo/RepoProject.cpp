#include "repo/RepoProject.h"

#include <unordered_map>

#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SFileIni.h"

namespace {

// The text after the first "_" of a section name: the element's number as written.
SString numberText(const SString& sectionName) {
    const int underscore = sectionName.find('_');
    return underscore < 0 ? SString() : sectionName.mid(underscore + 1);
}

// The bodies of the "Attribute_<nr>" sections by exact name (the first section of a name wins,
// as for every other section lookup).
std::unordered_map<std::string, SString> attributeBodies(const SFileIni& file) {
    SStringList names;
    SStringList bodies;
    file.getSections("Attribute_*", names, &bodies);
    std::unordered_map<std::string, SString> map;
    for (int i = 0; i < names.getSize(); ++i) map.emplace(names.getAt(i).str(), bodies.getAt(i));
    return map;
}

// Why an element did not load: its number or its base number is below 100.
SString elementError(const ElementData& element, const SString& section) {
    if (element.getObjNr() < ElementData::minObjNr)
        return SString().format("\xB3\xB3" "errorRepoObjNr\xB3\xB3"
                                "Die Objektnummer %d im Abschnitt [%s] ist kleiner als 100.\r\n",
                                element.getObjNr(), section.c_str());
    return SString().format("\xB3\xB3" "errorRepoBaseObjNr\xB3\xB3"
                            "Die baseObjNr im Abschnitt [%s] fehlt oder ist kleiner als 100.\r\n",
                            section.c_str());
}

template <typename Element, typename List>
bool loadElements(const SFileIni& file, const char* pattern, List& list,
                  const std::unordered_map<std::string, SString>& attributes, SString& error) {
    SDebug& debug = globalDebug();
    SStringList names;
    file.getSections(pattern, names);
    debug.printf("list.getSize()=%d", names.getSize());
    for (const SString& name : names) {
        debug.print(name);
        const SString number = numberText(name);
        auto* element = new Element;
        list.add(element);
        if (!element->load(number.toInt(), file, name)) {
            error += elementError(*element, name);
            return false;
        }
        auto it = attributes.find("Attribute_" + number.str());
        if (it != attributes.end()) element->loadAttributes(it->second);
    }
    return true;
}

}  // namespace

bool RepoProject::openProject(const SString& spec) {
    if (open_) close();
    error_.clear();
    SString path = spec;
    const SString kind = path.cutFront(":");
    // cutFront leaves nothing when there is no ":", so "ini" alone is no project either.
    const bool known = spec.find(':') >= 0 && kind == "ini";
    if (!known)
        error_ += SString("\xB3\xB3" "errorRepoKind\xB3\xB3" "Unbekannte Art des Projekts (nur \"ini:\"): ") + spec +
                  "\r\n";
    bool ok = known && openProjectFromIni(path);
    if (!ok) close();
    if (ok)
        for (ViewElementData* view : viewList_) getBaseElement(view);
    open_ = ok;
    return ok;
}

bool RepoProject::openProjectFromIni(const SString& path) {
    SFileIni file;
    bool ok = file.open(path, false, true);
    if (!ok) {
        error_ += file.getError();
        if (file.getError().isEmpty())
            error_ += SString("\xB3\xB3" "errorRepoRead\xB3\xB3" "Fehler beim Lesen der Datei ") + path + "\r\n";
    }
    if (ok) {
        const auto attributes = attributeBodies(file);
        ok = loadElements<BaseElementData>(file, "BaseElement_*", baseList_, attributes, error_);
        if (ok) ok = loadElements<ViewElementData>(file, "ViewElement_*", viewList_, attributes, error_);
        if (ok) {
            SStringList names;
            SStringList bodies;
            // A broken relation line keeps the relations read before it; the elements stand.
            if (file.getSections("ContainingList", names, &bodies) > 0) relations_.load(bodies.getAt(0));
        }
    }
    if (!ok) globalDebug().print(SString("ERROR bei : RepoProject::openProjectFromIni('") + path + "')");
    return ok;
}

void RepoProject::close() {
    relations_.removeAll();
    viewList_.removeAll();
    baseList_.removeAll();
    open_ = false;
}

BaseElementData* RepoProject::getBaseElement(ViewElementData* view) {
    SDebug& debug = globalDebug();
    if (!view) {
        debug.print("ERROR: RepoProject::getBaseElement(): pViewElementData ist NULL");
        SApplicationBasic::wait(ElementData::getErrorPauseMs());
        return nullptr;
    }
    BaseElementData* base = baseList_.find(view->getBaseObjNr());
    if (!base) {
        debug.printf("ERROR: RepoProject::getBaseElement(): BaseElementData f\xFCr BaseObjNr=%d nicht gefunden.",
                     view->getBaseObjNr());
        SApplicationBasic::wait(ElementData::getErrorPauseMs());
        return nullptr;
    }
    view->setBaseElement(base);
    return base;
}
