// The project's registry of data channels by name.
#pragma once

#include "stream/ExtDataList.h"

// The channels are not owned: clearing the registry leaves them alive.
class ExtDataManager : public SObject {
public:
    S_CLASSNAME(ExtDataManager)

    // The channel of that name (exact case), or nullptr.
    ExtData* get(const SString& name) const;
    // Replaces the channel of a present name, else appends it.
    void add(const SString& name, ExtData* channel) { list_.set(name, channel); }
    void clear() { list_.clear(); }
    const ExtDataList& getList() const { return list_; }

private:
    ExtDataList list_;
};
