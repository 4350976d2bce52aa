#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "foundation/SError.h"

namespace {

struct SpeedEntry {
    speed_t speed;
    int baud;
};

constexpr SpeedEntry speedTable[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},         {B150, 150},
    {B200, 200},         {B300, 300},         {B600, 600},         {B1200, 1200},       {B1800, 1800},
    {B2400, 2400},       {B4800, 4800},       {B9600, 9600},       {B19200, 19200},     {B38400, 38400},
    {B57600, 57600},     {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
    {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
};

}  // namespace

int PseudoTerminal::baudOfSpeed(unsigned speed) {
    for (const SpeedEntry& e : speedTable)
        if (e.speed == speed) return e.baud;
    return 0;
}

bool PseudoTerminal::open() {
    close();
    error_.clear();
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error_ = SString("Fehler: Es konnte kein Pseudo-Terminal angelegt werden: ") +
                 SError::systemErrorText(errno);
        return false;
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof(name)) != 0) {
        error_ = SString("Fehler: Das Pseudo-Terminal konnte nicht freigegeben werden: ") +
                 SError::systemErrorText(errno);
        ::close(master);
        return false;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        error_ = SString("Fehler: Das Pseudo-Terminal ") + SString(std::string(name)) +
                 " konnte nicht ge\xF6"
                 "ffnet werden: " +
                 SError::systemErrorText(errno);
        ::close(master);
        return false;
    }
    // Raw bytes both ways: no echo, no line editing, no character translation. A program sets
    // its own settings later; until then the port looks like a fresh bridge at 9600 baud.
    termios t{};
    if (tcgetattr(master, &t) == 0) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(master, TCSANOW, &t);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    master_ = master;
    slave_ = slave;
    slavePath_ = SString(std::string(name));
    return true;
}

void PseudoTerminal::close() {
    // The master first: the program sees the hang-up while the slave is still ours.
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

int PseudoTerminal::read(uint8_t* buffer, int size) {
    if (master_ < 0) return -1;
    ssize_t n = ::read(master_, buffer, static_cast<size_t>(size));
    if (n >= 0) return static_cast<int>(n);
    return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}

int PseudoTerminal::write(const uint8_t* bytes, int count) {
    if (master_ < 0) return -1;
    int done = 0;
    while (done < count) {
        ssize_t n = ::write(master_, bytes + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return done > 0 ? done : -1;
        break;  // the line is full
    }
    return done;
}

bool PseudoTerminal::getSettings(LineSettings& s) const {
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0) return false;
    s.baud = baudOfSpeed(cfgetospeed(&t));
    // The pseudo-terminal driver forces CS8 and clears PARENB whatever the program sets; PARODD,
    // CMSPAR and CSTOPB stay as set. So odd, mark and space parity are seen, even parity looks
    // like none, and the data bits are always 8.
    switch (t.c_cflag & CSIZE) {
        case CS5:
            s.dataBits = 5;
            break;
        case CS6:
            s.dataBits = 6;
            break;
        case CS7:
            s.dataBits = 7;
            break;
        default:
            s.dataBits = 8;
            break;
    }
    if (t.c_cflag & CMSPAR)
        s.parity = (t.c_cflag & PARODD) ? 'M' : 'S';
    else if (t.c_cflag & PARODD)
        s.parity = 'O';
    else
        s.parity = (t.c_cflag & PARENB) ? 'E' : 'N';
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return true;
}
