// The project repository: base elements, view elements and their containment relations.
#pragma once

#include "repo/BaseElementList.h"
#include "repo/ElementRelationList.h"
#include "repo/ViewElementList.h"

// Read once from an INI file ("physik.repo") and never written. Closed until openProject
// succeeds; any failure leaves it closed with empty collections. The collections own their
// elements; pointers into them stay valid until the project is closed or opened again.
class RepoProject : public SObject {
public:
    S_CLASSNAME(RepoProject)

    RepoProject() = default;
    ~RepoProject() override = default;
    RepoProject(const RepoProject&) = delete;
    RepoProject& operator=(const RepoProject&) = delete;

    // spec is kind ":" path; only the kind "ini" is known. Closes an open project first; links
    // every view element to its base element on success.
    bool openProject(const SString& spec);
    // Reads the repository from an INI file (see the file reader for the sections).
    bool openProjectFromIni(const SString& path);
    // Empties the three collections and clears the open flag.
    void close();
    bool isOpen() const { return open_; }
    // Why the last open failed (German, one line per problem); empty after a success.
    const SString& getError() const { return error_; }

    // Looks up the base element by the view element's baseObjNr (falling back to element 100),
    // links it to the view element and returns it; nullptr (with a debug line and the error
    // pause of ElementData) when there is no view element or no base element.
    BaseElementData* getBaseElement(ViewElementData* view);

    BaseElementList& getBaseList() { return baseList_; }
    const BaseElementList& getBaseList() const { return baseList_; }
    ViewElementList& getViewList() { return viewList_; }
    const ViewElementList& getViewList() const { return viewList_; }
    ContainingList& getRelations() { return relations_; }
    const ContainingList& getRelations() const { return relations_; }

private:
    ContainingList relations_;
    BaseElementList baseList_;
    ViewElementList viewList_;
    bool open_ = false;
    SString error_;
};
