#include "stream/Cp210x.h"

#include "foundation/SDebug.h"
#include "platform/ComPortMap.h"

bool Cp210x::getPortList(SMapStringToString& ports, bool onlyConnected) {
    ports.removeAll();
    const std::vector<platform::ComPortEntry> entries = platform::ComPortMap().list();
    // The system's serial-port list: every port present.
    for (const platform::ComPortEntry& e : entries) {
        if (!e.present) continue;
        SString name = SString(e.name).uppered().trim();
        if (!name.isEmpty()) ports.set(name, SString(std::string("serial port")));
    }
    // The CP210x devices the map knows, connected or not.
    bool anyBridge = false;
    for (const platform::ComPortEntry& e : entries) {
        if (!e.cp210x) continue;
        anyBridge = true;
        const SString name = SString(e.name).uppered();
        const SString instance(e.device);
        if (e.present)
            ports.set(name, instance);
        else if (!onlyConnected)
            ports.set(name, SString(std::string("offline - ")) + instance);
    }
    if (!anyBridge)
        globalDebug().print(SString(std::string("Cp210x::getPortList(..) Konnte Key nicht \xF6"
                                                "ffnen: ")) +
                            SString(std::string("kein CP210x-Ger\xE4t bekannt")));
    return ports.getSize() > 0;
}
