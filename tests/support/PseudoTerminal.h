// A pseudo-terminal for serial port tests: the test plays the device's far side on the master
// and keeps its own descriptor of the slave to read back the line settings the program set.
#pragma once

#include <cstdint>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace testsupport {

class PseudoTerminal {
public:
    PseudoTerminal() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) == 0) {
            char name[128] = {};
            if (::ptsname_r(master_, name, sizeof name) == 0) path_ = name;
        }
    }
    ~PseudoTerminal() {
        closeMaster();
        if (slave_ >= 0) ::close(slave_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0 && !path_.empty(); }
    // The slave device the program opens ("/dev/pts/N").
    const std::string& path() const { return path_; }
    int master() const { return master_; }
    int slave() const { return slave_; }

    // The board side sends bytes to the program.
    bool send(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    // Reads what the program sent until count bytes came or the time is up.
    std::string receive(std::size_t count, int timeoutMs = 2000) const {
        std::string got;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            deadline - std::chrono::steady_clock::now())
                                            .count());
            if (left <= 0) break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0) break;
            char buf[512];
            ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0) break;
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }
    // The line settings as the program left them.
    termios settings() const {
        termios t{};
        ::tcgetattr(slave_, &t);
        return t;
    }
    // The board is unplugged: the program sees the line hang up.
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace testsupport
