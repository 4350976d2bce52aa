#include "stream/ExtDataManager.h"

ExtData* ExtDataManager::get(const SString& name) const {
    ExtData* channel = nullptr;
    list_.get(name, channel);
    return channel;
}
