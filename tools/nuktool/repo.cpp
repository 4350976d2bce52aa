// nuktool repo: list a project repository (physik.repo) the way the program reads it.
#include <cstdio>
#include <set>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "foundation/SFileIni.h"
#include "repo/RepoProject.h"

namespace nuktool {
namespace {

const char* const usage =
    "  nuktool repo FILE                         list a repository (physik.repo): the base elements (number,\n"
    "                                            names, painter type), the view elements (painter type, base\n"
    "                                            element, rectangle), every attribute with its type, the\n"
    "                                            containment lists, and warnings about what the program\n"
    "                                            would ignore or replace";

std::string text(const SString& s) { return toTerminal(s.str()); }

std::string quoted(const SString& s) { return "\"" + text(s) + "\""; }

const char* painterName(int type) {
    switch (type) {
        case 2:
            return "seven-segment display";
        case 3:
            return "oscilloscope";
        case 5:
            return "button";
        default:
            return "grey box";
    }
}

void printAttributes(const ElementData& element) {
    for (const auto& [key, attribute] : element.getAttributes()) {
        // Blank lines in an attribute section read as attributes without key or value.
        if (key.isEmpty()) continue;
        std::string value = attribute->getType() == ElementAttribut::typeString ? quoted(attribute->getString())
                                                                              : text(attribute->toString());
        std::printf("        %-28s %-6s %s\n", text(key).c_str(), ElementAttribut::typeName(attribute->getType()),
                    value.c_str());
    }
}

// The base element with exactly that number (the list's lookup falls back to element 100).
const BaseElementData* exactBase(const RepoProject& project, int32_t objNr) {
    for (const BaseElementData* base : project.getBaseList())
        if (base->getObjNr() == objNr) return base;
    return nullptr;
}

const ViewElementData* exactView(const RepoProject& project, int32_t objNr) {
    for (const ViewElementData* view : project.getViewList())
        if (view->getObjNr() == objNr) return view;
    return nullptr;
}

// The relation lines as the program reads them; a line whose parent is below 100 ends the
// list, and the lines after it are lost.
void checkRelationLines(const SFileIni& file, std::vector<std::string>& warnings) {
    SStringList names;
    SStringList bodies;
    if (file.getSections("ContainingList", names, &bodies) == 0) {
        warnings.push_back("there is no [ContainingList] section: no diagram shows anything");
        return;
    }
    for (SString line : SStringList::split(bodies.getAt(0), "\n")) {
        line.trim();
        if (line.isEmpty()) continue;
        SString rest = line;
        if (rest.cutFront("=").toInt() < ElementData::minObjNr) {
            warnings.push_back("[ContainingList]: the line " + quoted(line) +
                               " has no parent number of 100 or above; it and every line after it are ignored");
            return;
        }
    }
}

void collectWarnings(const RepoProject& project, const SFileIni& file, std::vector<std::string>& warnings) {
    if (project.getBaseList().getSize() == 0 && project.getViewList().getSize() == 0)
        warnings.push_back("there are no elements: no [BaseElement_<nr>] or [ViewElement_<nr>] sections");
    for (const ViewElementData* view : project.getViewList()) {
        const int32_t nr = view->getObjNr();
        if (exactView(project, nr) != view)
            warnings.push_back("view element " + std::to_string(nr) + " appears twice; the first one counts");
        if (exactBase(project, view->getBaseObjNr())) continue;
        const BaseElementData* fallback = exactBase(project, 100);
        warnings.push_back("view element " + std::to_string(nr) + ": base element " +
                           std::to_string(view->getBaseObjNr()) + " does not exist; " +
                           (fallback ? "base element 100 stands in" : "it has no base element"));
    }
    for (const BaseElementData* base : project.getBaseList())
        if (exactBase(project, base->getObjNr()) != base)
            warnings.push_back("base element " + std::to_string(base->getObjNr()) +
                               " appears twice; the first one counts");

    // Attribute sections whose number names no element are never read. The program reads
    // "Attribute_" plus the number as the element's section writes it, so numbers compare as text.
    SStringList elementSections;
    file.getSections("BaseElement_*|ViewElement_*", elementSections);
    std::set<std::string> elementNumbers;
    for (const SString& name : elementSections) elementNumbers.insert(name.mid(name.find('_') + 1).str());
    SStringList names;
    file.getSections("Attribute_*", names);
    for (const SString& name : names) {
        const SString number = name.mid(name.find('_') + 1);
        if (!elementNumbers.count(number.str())) warnings.push_back("[" + text(name) + "] belongs to no element and is not read");
    }

    auto untyped = [&](const ElementData& element) {
        for (const auto& [key, attribute] : element.getAttributes())
            if (!key.isEmpty() && attribute->getType() == ElementAttribut::typeNone)
                warnings.push_back("element " + std::to_string(element.getObjNr()) + ": attribute " + quoted(key) +
                                   " has no type s, i or f; it has no value");
    };
    for (const BaseElementData* base : project.getBaseList()) untyped(*base);
    for (const ViewElementData* view : project.getViewList()) untyped(*view);

    ObjNrList parents;
    project.getRelations().getParents(parents);
    for (int32_t parent : parents) {
        ObjNrList childs;
        project.getRelations().getRecord(parent, childs);
        for (int32_t child : childs)
            if (child >= ElementData::minObjNr && !exactView(project, child))
                warnings.push_back("[ContainingList] " + std::to_string(parent) + ": " + std::to_string(child) +
                                   " is no view element");
    }
    checkRelationLines(file, warnings);
}

int run(const Args& args) {
    if (int refused = refuseOptions("repo", args)) return refused;
    if (args.size() != 1) return expectedArguments("repo", "FILE");
    std::string error;
    if (!checkInputFile(args[0], error)) return failure(error);
    // The tool reports broken links itself; the pause meant for reading the trace would only
    // hold it up.
    ElementData::setErrorPauseMs(0);
    RepoProject project;
    if (!project.openProject(SString("ini:" + args[0])))
        return failure("repo: '" + args[0] + "' does not load: " + oneLine(project.getError()));
    SFileIni file;
    file.open(SString(args[0]), false, true);

    const RepoProject& p = project;
    ObjNrList parents;
    p.getRelations().getParents(parents);
    std::printf("%s: %d base elements, %d view elements, %d containment lists\n", args[0].c_str(),
                p.getBaseList().getSize(), p.getViewList().getSize(), parents.getSize());

    std::printf("\nbase elements\n");
    for (const BaseElementData* base : p.getBaseList()) {
        std::printf("  %-6d name %s  shortName %s  painterType %d\n", base->getObjNr(), quoted(base->getName()).c_str(),
                    quoted(base->getShortName()).c_str(), base->getPainterType());
        if (!base->getDescription().isEmpty())
            std::printf("        description %s\n", quoted(base->getDescription()).c_str());
        printAttributes(*base);
    }

    std::printf("\nview elements\n");
    for (const ViewElementData* view : p.getViewList()) {
        const SRect& r = view->getClientRect();
        // The element the program links: its base, else base element 100. Looked up here rather
        // than through the link, whose check pauses on a stand-in.
        const BaseElementData* base = exactBase(p, view->getBaseObjNr());
        if (!base) base = exactBase(p, 100);
        std::printf("  %-6d painterType %d (%s)  base %d%s  clientRect %d,%d,%d,%d\n", view->getObjNr(),
                    view->getPainterType(), painterName(view->getPainterType()), view->getBaseObjNr(),
                    base ? (" " + quoted(base->getName())).c_str() : " (none)", r.x, r.y, r.width, r.height);
        printAttributes(*view);
    }

    std::printf("\ncontainment\n");
    for (int i = 0; i < parents.getSize(); ++i) {
        const int32_t parent = parents.getAt(i);
        // A parent listed again is shadowed by its first line.
        bool again = false;
        for (int k = 0; k < i; ++k) again = again || parents.getAt(k) == parent;
        ObjNrList record;
        p.getRelations().getRecord(parent, record);
        std::string line = "  " + std::to_string(parent) + ":";
        if (again) {
            line += " (ignored: listed again)";
        } else if (record.getSize() > 0 && record.getAt(0) == 0) {
            line += " (none)";
        } else {
            for (int32_t child : record)
                line += child >= ElementData::minObjNr ? " " + std::to_string(child)
                                                       : " (" + std::to_string(child) + " ignored)";
        }
        std::printf("%s\n", line.c_str());
    }

    std::vector<std::string> warnings;
    collectWarnings(project, file, warnings);
    std::fflush(stdout);
    for (const std::string& w : warnings) std::fprintf(stderr, "nuktool: warning: %s\n", w.c_str());
    return 0;
}

const Registration registration({"repo", usage, run});

}  // namespace
}  // namespace nuktool
