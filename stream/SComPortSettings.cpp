#include "stream/SComPortSettings.h"

#include <cstdlib>

#include "foundation/SApplicationBasic.h"
#include "foundation/SFileIni.h"

namespace {

// Decimal value of a field, as atoi reads it.
int32_t decimal(const SString& field) {
    return static_cast<int32_t>(std::strtol(field.c_str(), nullptr, 10));
}

SString sectionName(const SString& suffix) {
    return SString::raw("ComPort") + suffix;
}

}  // namespace

void SComPortSettings::setDefaults() {
    port = SString::raw(defaultPort);
    baud = 9600;
    parity = 0;
    dataBits = 8;
    stopBits = 0;
    isDefault = true;
    sendSmartCmd = false;
}

void SComPortSettings::fromString(const SString& text) {
    setDefaults();
    SString rest = text + SString::raw(",,,,");
    SString field = rest.cutFront(SString::raw(","));
    if (isDevicePath(field)) {
        port = field;
    } else {
        field.toLower();
        if (!field.isEmpty() && field.startsWith(SString::raw("com"))) port = field;
    }

    field = rest.cutFront(SString::raw(","));
    if (!field.isEmpty()) baud = decimal(field);

    field = rest.cutFront(SString::raw(","));
    switch (field.getAt(0)) {
        case 'N':
        case 'n':
            parity = 0;
            break;
        case 'O':
        case 'o':
            parity = 1;
            break;
        case 'E':
        case 'e':
            parity = 2;
            break;
        case 'M':
        case 'm':
            parity = 3;
            break;
        case 'S':
        case 's':
            parity = 4;
            break;
        default:
            break;
    }

    field = rest.cutFront(SString::raw(","));
    if (!field.isEmpty()) dataBits = decimal(field);

    field = rest.cutFront(SString::raw(","));
    if (field == "1")
        stopBits = 0;
    else if (field == "1.5")
        stopBits = 1;
    else if (field == "2")
        stopBits = 2;

    isDefault = false;
}

SString SComPortSettings::toString() const {
    static const char* const parities[] = {"N,", "O,", "E,", "M,", "S,"};
    static const char* const stops[] = {"1", "1.5", "2"};
    SString rest;
    rest.format("%d,", baud);
    rest += SString::raw(parity >= 0 && parity <= 4 ? parities[parity] : ",");
    rest.appendFormat("%d,", dataBits);
    if (stopBits >= 0 && stopBits <= 2) rest += SString::raw(stops[stopBits]);
    rest.toUpper();
    // A device path keeps its case; a port name is written upper-cased like the rest.
    SString name = isDevicePath(port) ? port : port.uppered();
    return name + SString::raw(",") + rest;
}

bool SComPortSettings::load(const SString& suffix) {
    SApplicationBasic& app = globalApplicationBasic();
    if (!app.openUserConfigFile() || !app.getUserConfigFile()) return false;
    load(suffix, *app.getUserConfigFile());
    return true;
}

void SComPortSettings::load(const SString& suffix, const SFileIni& ini) {
    const SString section = sectionName(suffix);
    SString name = ini.getValue(section, SString::raw("Port"));
    if (name.isEmpty()) {
        setDefaults();
        return;
    }
    port = isDevicePath(name) ? name : name.lowered();
    SString baudText = ini.getValue(section, SString::raw("Baud"), SString::raw("9600"));
    baudText.replaceAll(SString::raw("."), SString());
    baud = decimal(baudText);
    parity = ini.getValue(section, SString::raw("Parity"), SString::raw("0")).toInt();
    dataBits = ini.getValue(section, SString::raw("Data"), SString::raw("8")).toInt();
    stopBits = ini.getValue(section, SString::raw("Stop"), SString::raw("0")).toInt();
    sendSmartCmd = ini.getValue(section, SString::raw("SendSmartCmd"), SString::raw("0")).toInt() != 0;
    isDefault = false;
}

bool SComPortSettings::save(const SString& suffix) const {
    SApplicationBasic& app = globalApplicationBasic();
    if (!app.openUserConfigFile() || !app.getUserConfigFile()) return false;
    return save(suffix, *app.getUserConfigFile());
}

bool SComPortSettings::save(const SString& suffix, SFileIni& ini) const {
    const SString section = sectionName(suffix);
    ini.setValue(section, SString::raw("Port"), port);
    ini.setValue(section, SString::raw("Baud"), SString::printf("%d", baud));
    ini.setValue(section, SString::raw("Parity"), SString::printf("%d", parity));
    ini.setValue(section, SString::raw("Data"), SString::printf("%d", dataBits));
    ini.setValue(section, SString::raw("Stop"), SString::printf("%d", stopBits));
    ini.setValue(section, SString::raw("SendSmartCmd"), SString::printf("%d", sendSmartCmd ? 1 : 0));
    return ini.save();
}
