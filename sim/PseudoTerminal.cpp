#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "foundation/SError.h"
#include "platform/SerialDevice.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

int PseudoTerminal::baudOfSpeed(unsigned speed) { return platform::SerialDevice::baudOfCode(speed); }

bool PseudoTerminal::open() {
    close();
    error_.clear();
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error_ = SString(MSG("ptyNotCreated", "Fehler: Es konnte kein Pseudo-Terminal angelegt werden: ")) +
                 SError::systemErrorText(errno);
        return false;
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof(name)) != 0) {
        error_ =
            SString(MSG("ptyNotGranted", "Fehler: Das Pseudo-Terminal konnte nicht freigegeben werden: ")) +
            SError::systemErrorText(errno);
        ::close(master);
        return false;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        error_ = SString(MSG("ptyNotOpened", "Fehler: Das Pseudo-Terminal ")) + SString(std::string(name)) +
                 MSG("ptyNotOpened2",
                     " konnte nicht ge\xF6"
                     "ffnet werden: ") +
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
