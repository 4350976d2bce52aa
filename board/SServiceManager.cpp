#include "board/SServiceManager.h"

#include "foundation/SError.h"
#include "platform/DriverServices.h"

bool SServiceManager::openService(const SString& name, unsigned) {
    closeService();
    if (name.isEmpty()) return false;
    int code = 0;
    if (!platform::driverServices().isInstalled(name.str(), &code)) {
        lastError_ = code;
        return false;
    }
    open_ = name;
    return true;
}

bool SServiceManager::isInstalled(const SString& name) {
    bool ok = openService(name, accessGenericRead);
    closeService();
    return ok;
}

bool SServiceManager::isRunning(const SString& name) {
    if (!openService(name, accessQueryStatus)) return false;
    int code = 0;
    bool running = platform::driverServices().isRunning(name.str(), &code);
    if (!running) lastError_ = code;
    return running;
}

bool SServiceManager::start(const SString& name, int, const char**) {
    if (!openService(name, accessStart)) return false;
    int code = 0;
    bool ok = platform::driverServices().start(name.str(), &code);
    if (!ok) lastError_ = code;
    return ok;
}

bool SServiceManager::stop(const SString& name) {
    return control(name, controlStop);
}

bool SServiceManager::control(const SString& name, int code) {
    if (!openService(name, accessStop)) return false;
    if (code != controlStop) return true;
    int error = 0;
    bool ok = platform::driverServices().stop(name.str(), &error);
    if (!ok) lastError_ = error;
    return ok;
}

bool SServiceManager::deleteService(const SString& name) {
    if (!openService(name, accessDelete)) return false;
    int code = 0;
    bool ok = platform::driverServices().remove(name.str(), &code);
    if (!ok) lastError_ = code;
    closeService();
    return ok;
}

bool SServiceManager::createService(const SString& name, const SString&, unsigned, unsigned, unsigned, unsigned,
                                    const SString& imagePath, const SString&, unsigned*, const SString&,
                                    const SString&, const SString&) {
    closeService();
    int code = 0;
    if (platform::driverServices().create(name.str(), imagePath.str(), &code)) return true;
    lastError_ = code;
    globalError().showMessage(SString(std::string("SServiceMansger::CreateService(...)\r\n")), code);
    return false;
}

bool SServiceManager::setDescription(const SString& name, const SString&) {
    return isInstalled(name);
}

SStringList SServiceManager::listServices(unsigned, unsigned) {
    SStringList names;
    for (const std::string& n : platform::driverServices().list()) names.add(SString(n));
    return names;
}
