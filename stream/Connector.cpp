#include "stream/Connector.h"

#include <cinttypes>

#include "foundation/SDebug.h"

Connector::Connector(Receiver* receiver, uint32_t userValue) : receiver_(receiver), userValue_(userValue) {
    if (globalDebug().isOn())
        globalDebug().printf("Connector::Connector(..) new Connector(%08" PRIXPTR ")",
                             reinterpret_cast<uintptr_t>(receiver));
}
