// Lists of diagram objects: the owning list of a diagram and a list of found objects.
#pragma once

#include "foundation/SLists.h"
#include "view/ViewDiagrammObject.h"

class ViewDiagrammObjectList : public SOwningList<ViewDiagrammObject> {
public:
    S_CLASSNAME(ViewDiagrammObjectList)
};

class ViewDiagrammObjectPointerList : public SList<ViewDiagrammObject*> {
public:
    S_CLASSNAME(ViewDiagrammObjectPointerList)
};
