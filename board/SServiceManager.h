// Driver services by name: is a driver there, does it run, start and stop it.
#pragma once

#include "foundation/SLists.h"
#include "foundation/SString.h"

// The services are the kernel drivers platform/DriverServices.h maps the names to; the access
// rights, types and start modes of the calls are kept for the callers and have no effect.
class SServiceManager : public SObject {
public:
    S_CLASSNAME(SServiceManager)

    // Access rights and controls, as the callers pass them.
    enum : unsigned {
        accessGenericRead = 0x80000000u,
        accessQueryStatus = 0x0004u,
        accessStart = 0x0010u,
        accessStop = 0x0020u,
        accessDelete = 0x10000u,
        accessStandard = 0xF0000u,
    };
    enum Control { controlStop = 1, controlPause = 2, controlContinue = 3, controlInterrogate = 4 };

    SServiceManager() = default;
    ~SServiceManager() override { closeService(); }

    // Keeps a handle on the named service when it exists; an open one is closed first.
    bool openService(const SString& name, unsigned access);
    void closeService() { open_.clear(); }
    bool isOpen() const { return !open_.isEmpty(); }

    bool isInstalled(const SString& name);
    bool isRunning(const SString& name);
    bool start(const SString& name, int argc = 0, const char** argv = nullptr);
    bool stop(const SString& name);
    bool control(const SString& name, int code);
    bool deleteService(const SString& name);
    // Registers a driver; a failure shows a message box with the system's error text.
    bool createService(const SString& name, const SString& displayName, unsigned access, unsigned type,
                       unsigned startType, unsigned errorControl, const SString& imagePath,
                       const SString& loadOrderGroup = SString(), unsigned* tag = nullptr,
                       const SString& dependencies = SString(), const SString& account = SString(),
                       const SString& password = SString());
    bool setDescription(const SString& name, const SString& text);
    // The services that are installed (type and state are accepted for the callers' sake).
    SStringList listServices(unsigned type = 0, unsigned state = 0);

    // The errno value of the last failure.
    int getLastError() const { return lastError_; }

private:
    SString open_;
    int lastError_ = 0;
};
