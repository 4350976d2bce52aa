#include "platform/SerialDevice.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/Clock.h"
#include "platform/SysError.h"

namespace platform {

struct SerialDevice::Saved {
    termios tio{};
    bool valid = false;
};

namespace {

struct SpeedEntry {
    int baud;
    speed_t code;
};

constexpr SpeedEntry speeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

}  // namespace

SerialDevice::SerialDevice() : saved_(std::make_unique<Saved>()) {}

SerialDevice::~SerialDevice() {
    close();
}

bool SerialDevice::fail() {
    error_ = errno;
    return false;
}

std::string SerialDevice::lastErrorText() const {
    return errorText(error_.load());
}

bool SerialDevice::speedCode(int baud, unsigned& code) {
    for (const SpeedEntry& e : speeds)
        if (e.baud == baud) {
            code = e.code;
            return true;
        }
    return false;
}

int SerialDevice::baudOfCode(unsigned code) {
    for (const SpeedEntry& e : speeds)
        if (e.code == code) return e.baud;
    return 0;
}

namespace {

int systemOpen(const char* path, int flags) { return ::open(path, flags); }

std::atomic<SerialDevice::OpenFunction> openFunction{systemOpen};

}  // namespace

void SerialDevice::setOpenFunction(OpenFunction function) { openFunction = function ? function : systemOpen; }

bool SerialDevice::mayOpen(const std::string& path) {
    const OpenFunction open = openFunction.load();
    if (open == systemOpen) {
        // The effective ids, as open(2) checks them.
        if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0) return true;
    } else {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    return errno != EACCES && errno != EPERM;
}

bool SerialDevice::open(const std::string& path) {
    close();
    // O_NONBLOCK also keeps open() from waiting for a carrier on a real modem line.
    int fd = openFunction.load()(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail();
    if (!::isatty(fd)) {
        error_ = ENOTTY;
        ::close(fd);
        return false;
    }
    // Exclusive use: another program of ours (flock) or anybody else (TIOCEXCL) gets EBUSY.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error_ = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    if (::tcgetattr(fd, &saved_->tio) != 0) {
        int err = errno;
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        error_ = err;
        return false;
    }
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        int err = errno;
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        error_ = err;
        return false;
    }
    saved_->valid = true;
    fd_ = fd;
    wakeFd_ = wake;
    path_ = path;
    modemLines_ = true;
    error_ = 0;
    return true;
}

bool SerialDevice::configure(const SerialSettings& s, termios& tio) {
    unsigned code = 0;
    if (s.baud <= 0 || !speedCode(s.baud, code) || s.dataBits < 5 || s.dataBits > 8 || s.parity < 0 ||
        s.parity > 4 || s.stopBits < 0 || s.stopBits > 2)
        return false;
    // Raw bytes in both directions; a byte with a parity error is passed on as received.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                     INPCK | IGNPAR | IUCLC | IMAXBEL);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[s.dataBits - 5];
    switch (s.parity) {
        case SerialSettings::parityOdd:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case SerialSettings::parityEven:
            tio.c_cflag |= PARENB;
            break;
        case SerialSettings::parityMark:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case SerialSettings::paritySpace:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    // 1.5 stop bits have no code of their own (see the header).
    if (s.stopBits != SerialSettings::stopOne) tio.c_cflag |= CSTOPB;
    // The descriptor is non-blocking, so read() never waits in the driver; with VMIN 1 an
    // empty queue gives EAGAIN and 0 bytes only ever mean that the line hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ::cfsetispeed(&tio, code) == 0 && ::cfsetospeed(&tio, code) == 0;
}

bool SerialDevice::apply(const SerialSettings& s) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return fail();
    if (!configure(s, tio)) {
        error_ = EINVAL;
        return false;
    }
    // TCSANOW: TCSADRAIN could wait forever for a peer that does not read.
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return fail();
    return true;
}

bool SerialDevice::raiseDtrRts() {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    int lines = TIOCM_DTR;
    if (::ioctl(fd_, TIOCMBIS, &lines) != 0) {
        if (errno == ENOTTY || errno == EINVAL) {
            modemLines_ = false;
            return true;
        }
        return fail();
    }
    lines = TIOCM_RTS;
    if (::ioctl(fd_, TIOCMBIS, &lines) != 0) return fail();
    return true;
}

bool SerialDevice::purge() {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    return ::tcflush(fd_, TCIOFLUSH) == 0 || fail();
}

SerialDevice::ReadStatus SerialDevice::read(uint8_t* buffer, std::size_t size, int timeoutMs,
                                            std::size_t* received) {
    if (received) *received = 0;
    if (fd_ < 0) {
        error_ = EBADF;
        return ReadStatus::error;
    }
    const int64_t deadline = monotonicMs() + (timeoutMs > 0 ? timeoutMs : 0);
    while (true) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int left = static_cast<int>(std::max<int64_t>(0, deadline - monotonicMs()));
        int n = ::poll(fds, 2, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail();
            return ReadStatus::error;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t value;
            while (::read(wakeFd_, &value, sizeof value) > 0) {
            }
            return ReadStatus::interrupted;
        }
        if (n == 0) return ReadStatus::timeout;
        const short ev = fds[0].revents;
        if (ev & POLLNVAL) {
            error_ = EBADF;
            return ReadStatus::error;
        }
        // Data still queued is read first, even when the other side has gone already.
        if (ev & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t got = ::read(fd_, buffer, size);
            if (got > 0) {
                if (received) *received = static_cast<std::size_t>(got);
                return ReadStatus::data;
            }
            if (got == 0) return ReadStatus::hangUp;
            if (errno == EINTR || errno == EAGAIN) {
                // POLLHUP without anything to read: the peer is gone for good.
                if (ev & POLLHUP) return ReadStatus::hangUp;
                continue;
            }
            // A pseudo-terminal whose master was closed, or a USB device that was pulled out.
            if (errno == EIO || errno == ENXIO || errno == ENODEV) {
                error_ = errno;
                return ReadStatus::hangUp;
            }
            fail();
            return ReadStatus::error;
        }
    }
}

bool SerialDevice::pauseReading(int timeoutMs) {
    if (wakeFd_ < 0) return false;
    const int64_t deadline = monotonicMs() + std::max(timeoutMs, 0);
    while (true) {
        // The wake-up is only looked at, not taken: the next read() reports it.
        pollfd fd = {wakeFd_, POLLIN, 0};
        const int left = static_cast<int>(std::max<int64_t>(0, deadline - monotonicMs()));
        const int n = ::poll(&fd, 1, left);
        if (n < 0 && errno == EINTR) continue;
        return n == 0;
    }
}

void SerialDevice::cancelRead() {
    if (wakeFd_ < 0) return;
    uint64_t one = 1;
    ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
    (void)ignored;
}

bool SerialDevice::writeAll(const uint8_t* data, std::size_t size, int timeoutMs) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    const int64_t deadline = monotonicMs() + (timeoutMs > 0 ? timeoutMs : 0);
    while (size > 0) {
        ssize_t n = ::write(fd_, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return fail();
        // The output queue is full: wait until it takes more or the time is up.
        int left = static_cast<int>(deadline - monotonicMs());
        if (left <= 0) {
            error_ = ETIMEDOUT;
            return false;
        }
        pollfd p{fd_, POLLOUT, 0};
        int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR) return fail();
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLOUT)) {
            error_ = EIO;
            return false;
        }
    }
    return true;
}

bool SerialDevice::restoreSaved() {
    if (fd_ < 0 || !saved_->valid) return false;
    return ::tcsetattr(fd_, TCSANOW, &saved_->tio) == 0 || fail();
}

void SerialDevice::close() {
    if (fd_ >= 0) {
        // TIOCEXCL belongs to the terminal, not to this descriptor: a peer that keeps the
        // device open (a virtual board) would otherwise lock out the next open.
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
    saved_->valid = false;
    path_.clear();
}

}  // namespace platform
