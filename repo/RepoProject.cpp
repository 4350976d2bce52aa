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

template <typename Element, typename List>
bool loadElements(const SFileIni& file, const char* pattern, List& list,
                  const std::unordered_map<std::string, SString>& attributes) {
    SDebug& debug = globalDebug();
    SStringList names;
    file.getSections(pattern, names);
    debug.printf("list.getSize()=%d", names.getSize());
    for (const SString& name : names) {
        debug.print(name);
        const SString number = numberText(name);
        auto* element = new Element;
        list.add(element);
        if (!element->load(number.toInt(), file, name)) return false;
        auto it = attributes.find("Attribute_" + number.str());
        if (it != attributes.end()) element->loadAttributes(it->second);
    }
    return true;
}

}  // namespace

bool RepoProject::openProject(const SString& spec) {
    if (open_) close();
    SString path = spec;
    const SString kind = path.cutFront(":");
    // cutFront leaves nothing when there is no ":", so "ini" alone is no project either.
    bool ok = spec.find(':') >= 0 && kind == "ini" && openProjectFromIni(path);
    if (!ok) close();
    if (ok)
        for (ViewElementData* view : viewList_) getBaseElement(view);
    open_ = ok;
    return ok;
}

bool RepoProject::openProjectFromIni(const SString& path) {
    SFileIni file;
    bool ok = file.open(path, false, true);
    if (ok) {
        const auto attributes = attributeBodies(file);
        ok = loadElements<BaseElementData>(file, "BaseElement_*", baseList_, attributes);
        if (ok) ok = loadElements<ViewElementData>(file, "ViewElement_*", viewList_, attributes);
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
        SApplicationBasic::wait(1000);
        return nullptr;
    }
    BaseElementData* base = baseList_.find(view->getBaseObjNr());
    if (!base) {
        debug.printf("ERROR: RepoProject::getBaseElement(): BaseElementData f\xFCr BaseObjNr=%d nicht gefunden.",
                     view->getBaseObjNr());
        SApplicationBasic::wait(1000);
        return nullptr;
    }
    view->setBaseElement(base);
    return base;
}
