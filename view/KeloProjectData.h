// What the painters of a project share: the repository, the painter factory, the data
// channels and the event manager.
#pragma once

#include "foundation/SEvent.h"
#include "repo/RepoProject.h"
#include "stream/ExtDataManager.h"
#include "view/PainterFactory.h"

class KeloProjectData : public SObject {
public:
    S_CLASSNAME(KeloProjectData)

    KeloProjectData() { factory_.setProject(this); }
    KeloProjectData(const KeloProjectData&) = delete;
    KeloProjectData& operator=(const KeloProjectData&) = delete;

    RepoProject& getRepo() { return repo_; }
    PainterFactory& getFactory() { return factory_; }
    // The channels by name; not owned.
    ExtDataManager& getExtDataManager() { return extData_; }
    // Receives application events such as button clicks; the main window registers first.
    SEventManager& getEventManager() { return events_; }

private:
    // The painters go before the repository they point into.
    RepoProject repo_;
    PainterFactory factory_;
    ExtDataManager extData_;
    SEventManager events_;
};
