#include "stream/ExtData.h"

void* ExtData::data(int) {
    return nullptr;
}
