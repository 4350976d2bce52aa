// A stand-alone AVR109 self-programming bootloader for an ATmega8 on a pseudo-terminal, written
// from the AVR109 command set alone (not from the virtual board), so the programmer back-ends can
// be checked against a second implementation. It identifies as "AVRBOOT", version 1.0, block
// size = flash page (64 bytes), no checksum extension, no 'H' and no fuse writes.
//
// Usage: avr109peer [FLASH_DUMP]: prints the slave device's path on the first line of standard
// output, serves until standard input ends, then writes the flash to FLASH_DUMP when given.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdint.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int flashBytes = 8192;
constexpr int pageBytes = 64;
constexpr int eepromBytes = 512;
const uint8_t signature[3] = {0x1E, 0x93, 0x07};

int master = -1;
std::vector<uint8_t> flash(flashBytes, 0xFF);
std::vector<uint8_t> eeprom(eepromBytes, 0xFF);
uint32_t address = 0;  // words for the flash, bytes for the EEPROM
uint8_t lowByte = 0xFF;
uint8_t lockBits = 0xFF;
std::string in;  // bytes received, not yet taken

void out(const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else
            usleep(1000);
    }
}

// The number of bytes the command at the front needs, or 0 when more must arrive first.
std::size_t complete() {
    const uint8_t c = static_cast<uint8_t>(in[0]);
    std::size_t need = 1;
    switch (c) {
        case 'A':
            need = 3;
            break;
        case 'c':
        case 'C':
        case 'D':
        case 'T':
        case 'x':
        case 'y':
        case 'l':
            need = 2;
            break;
        case 'g':
            need = 4;
            break;
        case 'B':
            if (in.size() < 4) return 0;
            need = 4 + (static_cast<uint8_t>(in[1]) << 8 | static_cast<uint8_t>(in[2]));
            break;
        default:
            break;
    }
    return in.size() >= need ? need : 0;
}

void handle(const std::string& cmd) {
    const uint8_t c = static_cast<uint8_t>(cmd[0]);
    auto arg = [&](std::size_t i) { return static_cast<uint8_t>(cmd[i]); };
    switch (c) {
        case 'S':
            out({'A', 'V', 'R', 'B', 'O', 'O', 'T'});
            break;
        case 'V':
            out({'1', '0'});
            break;
        case 'v':
            out({'?'});
            break;
        case 'p':
            out({'S'});
            break;
        case 'a':
            out({'Y'});
            break;
        case 'b':
            out({'Y', pageBytes >> 8, pageBytes & 0xFF});
            break;
        case 't':
            out({0x77, 0x00});
            break;
        case 'T':
        case 'x':
        case 'y':
        case 'P':
        case 'L':
        case 'E':
            out({'\r'});
            break;
        case 'A':
            address = static_cast<uint32_t>(arg(1) << 8 | arg(2));
            out({'\r'});
            break;
        case 'e':
            flash.assign(flashBytes, 0xFF);
            out({'\r'});
            break;
        case 'c':
            lowByte = arg(1);
            out({'\r'});
            break;
        case 'C':
            if (address * 2 + 1 < flashBytes) {
                flash[address * 2] &= lowByte;
                flash[address * 2 + 1] &= arg(1);
            }
            ++address;
            out({'\r'});
            break;
        case 'm':
            out({'\r'});
            break;
        case 'R': {
            const uint32_t a = address * 2 < flashBytes ? address * 2 : 0;
            ++address;
            out({flash[a + 1], flash[a]});
            break;
        }
        case 'D':
            if (address < eepromBytes) eeprom[address] = arg(1);
            ++address;
            out({'\r'});
            break;
        case 'd':
            out({address < eepromBytes ? eeprom[address] : uint8_t(0xFF)});
            ++address;
            break;
        case 'B': {
            const std::size_t size = cmd.size() - 4;
            if (arg(3) == 'F') {
                for (std::size_t i = 0; i < size; ++i)
                    if (address * 2 + i < flashBytes)
                        flash[address * 2 + i] &= static_cast<uint8_t>(cmd[4 + i]);
                address += static_cast<uint32_t>(size / 2);
            } else if (arg(3) == 'E') {
                for (std::size_t i = 0; i < size; ++i)
                    if (address + i < eepromBytes) eeprom[address + i] = static_cast<uint8_t>(cmd[4 + i]);
                address += static_cast<uint32_t>(size);
            } else {
                out({'?'});
                break;
            }
            out({'\r'});
            break;
        }
        case 'g': {
            const std::size_t size = static_cast<std::size_t>(arg(1) << 8 | arg(2));
            std::vector<uint8_t> data;
            if (arg(3) == 'F') {
                for (std::size_t i = 0; i < size; ++i)
                    data.push_back(address * 2 + i < flashBytes ? flash[address * 2 + i] : uint8_t(0xFF));
                address += static_cast<uint32_t>(size / 2);
            } else if (arg(3) == 'E') {
                for (std::size_t i = 0; i < size; ++i)
                    data.push_back(address + i < eepromBytes ? eeprom[address + i] : uint8_t(0xFF));
                address += static_cast<uint32_t>(size);
            } else {
                data = {'?'};
            }
            out(data);
            break;
        }
        case 'l':
            lockBits = arg(1);
            out({'\r'});
            break;
        case 'r':
            out({lockBits});
            break;
        case 'F':
            out({0xE1});
            break;
        case 'N':
            out({0xD9});
            break;
        case 'Q':
            out({0xFF});
            break;
        case 's':
            out({signature[2], signature[1], signature[0]});
            break;
        case 0x1B:
            break;
        default:
            out({'?'});
            break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
    const char* slave = ptsname(master);
    // Holding the slave open keeps the master from seeing a hang-up between two programs.
    int keep = ::open(slave, O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(keep, &t);
    cfmakeraw(&t);
    tcsetattr(keep, TCSANOW, &t);
    std::printf("%s\n", slave);
    std::fflush(stdout);
    for (;;) {
        pollfd fds[2] = {{master, POLLIN, 0}, {0, POLLIN, 0}};
        if (poll(fds, 2, 1000) < 0) break;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char b;
            if (::read(0, &b, 1) <= 0) break;
        }
        if (fds[0].revents & POLLIN) {
            char buf[512];
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0) in.append(buf, static_cast<std::size_t>(n));
            std::size_t size;
            while (!in.empty() && (size = complete()) > 0) {
                handle(in.substr(0, size));
                in.erase(0, size);
            }
        }
    }
    if (argc > 1) {
        if (FILE* f = std::fopen(argv[1], "wb")) {
            std::fwrite(flash.data(), 1, flash.size(), f);
            std::fclose(f);
        }
    }
    ::close(keep);
    ::close(master);
    return 0;
}
