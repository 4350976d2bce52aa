// Fuzzes the repository reader: arbitrary bytes as "physik.repo", opened as the program opens
// it, then lookups as the painters make them. Checked on every run:
// - a failed open leaves the project closed with every collection empty;
// - an open project holds only elements numbered 100 and above, view elements whose base
//   number is 100 and above, and relations whose parents and returned children are 100 and
//   above;
// - an attribute getter returns the attribute's value only for its own type, the default
//   otherwise.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "repo/RepoProject.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_repo: invariant broken: %s\n", what);
    std::abort();
}

// One file per process, written again for every input.
const std::string& repoPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/fuzz_repo." + std::to_string(getpid()) + ".repo";
    }();
    static const bool removedAtExit = std::atexit([] { std::remove(path.c_str()); }) == 0;
    (void)removedAtExit;
    return path;
}

void checkAttributes(const ElementData& element) {
    const int32_t intSentinel = -123456789;
    const double doubleSentinel = -0.125;
    const SString stringSentinel(std::string("\x01sentinel"));
    for (const auto& [key, attribute] : element.getAttributes()) {
        const ElementAttribut& a = element.getAttributes().get(key);
        check(&a == attribute.get(), "a key finds its own attribute");
        const int type = a.getType();
        check(type >= ElementAttribut::typeNone && type <= ElementAttribut::typeDouble, "attribute type");
        const int32_t i = element.getAttributeInt(key, intSentinel);
        const double d = element.getAttributeDouble(key, doubleSentinel);
        const SString s = element.getAttributeString(key, stringSentinel);
        check(type == ElementAttribut::typeInt ? i == a.getInt() : i == intSentinel, "int getter");
        check(type == ElementAttribut::typeDouble ? (d == a.getDouble() || d != d) : d == doubleSentinel,
              "double getter");
        check(type == ElementAttribut::typeString ? s == a.getString() : s == stringSentinel, "string getter");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ElementData::setErrorPauseMs(0);
    FILE* f = std::fopen(repoPath().c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    RepoProject project;
    const bool ok = project.openProject(SString("ini:" + repoPath()));
    check(ok == project.isOpen(), "open flag");
    if (!ok) {
        check(project.getBaseList().getSize() == 0 && project.getViewList().getSize() == 0 &&
                  project.getRelations().getRecordCount() == 0,
              "a failed open keeps nothing");
        return 0;
    }
    for (const BaseElementData* base : project.getBaseList()) {
        check(base->getObjNr() >= 100, "base number");
        check(base->getPainterType() == 1, "base painter type");
        checkAttributes(*base);
    }
    for (ViewElementData* view : project.getViewList()) {
        check(view->getObjNr() >= 100 && view->getBaseObjNr() >= 100, "view numbers");
        BaseElementData* base = view->getBaseElement();
        check(base == project.getBaseList().find(view->getBaseObjNr()), "the linked base element");
        check(project.getViewList().find(view->getObjNr()) != nullptr, "view lookup");
        checkAttributes(*view);
    }
    ObjNrList parents;
    project.getRelations().getParents(parents);
    for (int32_t parent : parents) {
        check(parent >= 100, "relation parent");
        ObjNrList children;
        check(project.getRelations().getChilds(parent, children), "a listed parent has a record");
        for (int32_t child : children) check(child >= 100, "relation child");
    }
    project.close();
    check(project.getViewList().getSize() == 0 && !project.isOpen(), "close empties the project");
    return 0;
}
