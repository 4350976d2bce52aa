#include "sim/SimBootloader.h"

#include "sim/MyBootBootloader.h"
#include "sim/MyBurnBootloader.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

bool BootloaderOptions::parseKind(const SString& name, Kind& kind) {
    SString n = name.lowered();
    if (n.isEmpty() || n == "none") {
        kind = none;
    } else if (n == "myburn") {
        kind = myBurn;
    } else if (n == "myboot") {
        kind = myBoot;
    } else {
        return false;
    }
    return true;
}

std::unique_ptr<SimBootloader> SimBootloader::create(const BootloaderOptions& options, AvrMemory& memory) {
    switch (options.kind) {
        case BootloaderOptions::myBurn: return std::make_unique<MyBurnBootloader>(options, memory);
        case BootloaderOptions::myBoot: return std::make_unique<MyBootBootloader>(options, memory);
        case BootloaderOptions::none: break;
    }
    return nullptr;
}

void SimBootloader::enter(SimTime now) {
    active_ = true;
    setBaud(options_.baud);
    applicationDue_ = options_.startApplicationMs > 0 ? now + options_.startApplicationMs * 1'000'000LL : simNever;
    log(SString::printf(MSG("simBootReset", "Bootloader: Reset, warte auf den Programmer (%d Baud)"),
                        options_.baud));
    onEnter(now);
}

void SimBootloader::leave() {
    active_ = false;
    ++sessions_;
    log(SString(MSG("simBootLeave", "Bootloader: starte die Anwendung")));
}

bool SimBootloader::waitedOut(SimTime now) {
    if (now < applicationDue_) return false;
    applicationDue_ = simNever;
    if (memory_.isFlashErased()) return false;
    log(SString(MSG("simBootTimeout", "Bootloader: kein Programmer, die Anwendung startet")));
    active_ = false;
    return true;
}

void SimBootloader::setBaud(int baud) {
    baud_ = baud;
    if (settingsHook_) settingsHook_(lineSettings());
}
