#include "platform/ParallelPort.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {

// One access: open, claim the port for this process, do the work, release and close. Keeping
// the port claimed would lock out other programs (avrdude drives the same port).
class Claim {
public:
    Claim(int index, int* errorCode) {
        std::string path = ParallelPort::devicePath(index);
        if (path.empty()) {
            fail(errorCode, ENODEV);
            return;
        }
        fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0) {
            fail(errorCode, errno);
            return;
        }
        if (::ioctl(fd_, PPCLAIM) != 0) {
            fail(errorCode, errno);
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~Claim() {
        if (fd_ < 0) return;
        ::ioctl(fd_, PPRELEASE);
        ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

private:
    static void fail(int* errorCode, int code) {
        if (errorCode) *errorCode = code;
    }
    int fd_ = -1;
};

class SystemParallelPort : public ParallelPort {
public:
    bool canOpen(int index, int* errorCode) override { return Claim(index, errorCode).ok(); }
    bool writeData(int index, uint8_t value, int* errorCode) override {
        Claim claim(index, errorCode);
        if (!claim.ok()) return false;
        unsigned char v = value;
        if (::ioctl(claim.fd(), PPWDATA, &v) == 0) return true;
        if (errorCode) *errorCode = errno;
        return false;
    }
    bool readData(int index, uint8_t& value, int* errorCode) override {
        Claim claim(index, errorCode);
        if (!claim.ok()) return false;
        unsigned char v = 0;
        if (::ioctl(claim.fd(), PPRDATA, &v) != 0) {
            if (errorCode) *errorCode = errno;
            return false;
        }
        value = v;
        return true;
    }
};

SystemParallelPort systemPort;
ParallelPort* installed = nullptr;

}  // namespace

std::string ParallelPort::devicePath(int index) {
    if (index < 0 || index >= portCount) return {};
    return "/dev/parport" + std::to_string(index);
}

ParallelPort& parallelPort() {
    return installed ? *installed : systemPort;
}

void setParallelPort(ParallelPort* port) {
    installed = port;
}

}  // namespace platform
