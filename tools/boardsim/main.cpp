// boardsim: the virtual experiment board on its own, until Ctrl+C (or SIGTERM).
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

#include "DataFiles.h"
#include "Version.h"
#include "board/SHexFile.h"
#include "foundation/LanguageChoice.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "sim/VirtualBoard.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

void printHelp(std::FILE* out) {
    std::fprintf(out,
                 "boardsim - the virtual experiment board on a pseudo-terminal\n\n"
                 "Usage: boardsim [options]\n\n"
                 "  --name comN           the COM name to register (default: the next free one)\n"
                 "  --no-register         do not enter the port in the COM port map\n"
                 "  --adapter             the board sits behind the Ravlink adapter: the firmware\n"
                 "                        answers only after the adapter's \"d\" and while its supply is on\n"
                 "  --supply-on           with --adapter: the supply is on from the start\n"
                 "  --word-mode           with --adapter: its programmer has no block mode and keeps\n"
                 "                        the words of 'c' and 'C' in the ATmega8's page buffer until\n"
                 "                        'm' writes the page, as a bootloader on the part does\n"
                 "  --R OHM               resistor (default 10k; suffixes k, M)\n"
                 "  --C FARAD             capacitor (default 470u; suffixes m, u, n, p)\n"
                 "  --U0 VOLT             supply voltage (default 5.0)\n"
                 "  --aref VOLT           ADC reference (default: the supply)\n"
                 "  --rate N              samples per second (default 10)\n"
                 "  --half-cycle S        seconds of charging, then of discharging (default 30)\n"
                 "  --noise N             noise amplitude in ADC counts (default 1)\n"
                 "  --seed N              seed of the noise (default: a new one each start)\n"
                 "  --realistic-timing    bytes travel at the program's baud rate; the firmware\n"
                 "                        understands only 115200,N,8\n"
                 "  --time-scale F        run the circuit F times faster than real time (default 1)\n"
                 "  --core [FILE.hex]     the controller is a simulated ATmega8 at 16 MHz that runs the\n"
                 "                        image in its flash, with the circuit on PB1, ADC0 and ADC1\n"
                 "                        (--rate and --half-cycle are then the firmware's business).\n"
                 "                        The flash is loaded from FILE.hex, without FILE from the\n"
                 "                        firmware.hex the program ships\n"
                 "  --erased-flash        with --core: the flash starts erased, as on a new board; the\n"
                 "                        firmware dialogue gets no answer until an image is burnt\n"
                 "  --bootloader KIND     the controller module carries a serial bootloader, myburn or\n"
                 "                        myboot: the board starts in it (19200 baud) and writes what\n"
                 "                        it receives into the flash; Enter on the terminal presses\n"
                 "                        the module's reset button\n"
                 "  --bootloader-baud N   myburn: the rate the bootloader switches to after its reply\n"
                 "                        (default 57600; 0 keeps 19200)\n"
                 "  --quiet               do not print the commands the board receives\n"
                 "  --help                this text\n"
                 "  --version             the version\n\n"
                 "The COM port map is the file NUK_COMPORTS names, else comports.ini in the user's\n"
                 "configuration folder. The board stops, and leaves the map, on SIGINT or SIGTERM.\n");
}

// Windows-1252 messages of the library, readable on a UTF-8 terminal.
std::string toTerminal(const SString& text) {
    std::string out;
    for (unsigned char c : text.str()) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0xA0) {
            out += '?';
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// A number with an optional SI suffix: "10k", "470u", "4.7e-4", "2M".
bool parseValue(const std::string& text, double& value) {
    if (text.empty()) return false;
    std::string digits = text;
    double factor = 1.0;
    switch (digits.back()) {
        case 'p':
            factor = 1e-12;
            break;
        case 'n':
            factor = 1e-9;
            break;
        case 'u':
            factor = 1e-6;
            break;
        case 'm':
            factor = 1e-3;
            break;
        case 'k':
            factor = 1e3;
            break;
        case 'M':
            factor = 1e6;
            break;
        default:
            break;
    }
    if (factor != 1.0) digits.pop_back();
    double v = 0.0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(v)) return false;
    value = v * factor;
    return true;
}

bool parseInt(const std::string& text, long long& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The answer to a wrong command line: one line in the user's language, exit code 2.
int usageError(const std::string& message) {
    std::fprintf(stderr, "%s\n", languagechoice::usageLine("boardsim", message).c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // The log lines and messages speak the desktop's language.
    tools::speakDesktopLanguage();
    globalError().setMessageSink([](const SString& text, const SString& title, unsigned) {
        std::fprintf(stderr, "boardsim: %s: %s\n", toTerminal(title).c_str(), toTerminal(text).c_str());
        return 1;
    });

    VirtualBoard::Options o;
    o.registerPort = true;
    bool quiet = false;
    std::string coreHex;
    bool erasedFlash = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
            hasValue = true;
        }
        // Why the argument is refused; empty while it is fine.
        std::string problem;
        // The option's value: after "=" or the next argument.
        auto next = [&](std::string& out) {
            if (hasValue) {
                out = value;
                return true;
            }
            if (i + 1 >= argc) {
                problem = languagechoice::missingValue(arg);
                return false;
            }
            out = argv[++i];
            return true;
        };
        // A value that next() found is checked by valid; a wrong one is named in the message.
        auto check = [&](const std::string& v, bool valid) {
            if (!valid) problem = languagechoice::invalidValue(arg, v);
        };
        auto number = [&](double& target, bool positive) {
            std::string v;
            double d = 0.0;
            if (!next(v)) return;
            const bool valid = parseValue(v, d) && (!positive || d > 0.0) && d >= 0.0;
            check(v, valid);
            if (valid) target = d;
        };
        // The switches take no value: "--adapter=1" is refused rather than read as "--adapter".
        auto flag = [&](bool& target) {
            if (hasValue)
                problem = languagechoice::takesNoValue(arg);
            else
                target = true;
        };
        bool help = false;
        bool version = false;
        bool noRegister = false;
        bool wordMode = false;
        if (arg == "--help" || arg == "-h") {
            flag(help);
        } else if (arg == "--version") {
            flag(version);
        } else if (arg == "--debug") {
            // The trace channel's switch, read below: "--debug" or "--debug=stderr".
            if (hasValue) check(value, value == "stderr");
        } else if (arg == "--name") {
            std::string v;
            if (next(v)) check(v, !v.empty());
            o.comName = SString(v);
        } else if (arg == "--no-register") {
            flag(noRegister);
        } else if (arg == "--adapter") {
            flag(o.adapter);
        } else if (arg == "--supply-on") {
            flag(o.supplyOn);
        } else if (arg == "--R") {
            number(o.circuit.resistance, true);
        } else if (arg == "--C") {
            number(o.circuit.capacitance, true);
        } else if (arg == "--U0") {
            number(o.circuit.supply, true);
        } else if (arg == "--aref") {
            number(o.circuit.reference, true);
        } else if (arg == "--rate") {
            number(o.circuit.sampleRate, true);
        } else if (arg == "--half-cycle") {
            number(o.circuit.halfCycle, true);
        } else if (arg == "--time-scale") {
            number(o.timeScale, true);
        } else if (arg == "--noise" || arg == "--seed") {
            std::string v;
            long long n = 0;
            if (next(v)) {
                const bool valid = parseInt(v, n) && n >= 0 && (arg == "--seed" || n <= RcCircuit::adcMax);
                check(v, valid);
                if (valid && arg == "--noise") o.circuit.noise = static_cast<int>(n);
                if (valid && arg == "--seed") o.seed = static_cast<uint64_t>(n);
            }
        } else if (arg == "--core") {
            // The file is optional: "--core=FILE", or the next argument unless it is an option.
            o.core = true;
            if (hasValue)
                coreHex = value;
            else if (i + 1 < argc && !languagechoice::looksLikeOption(argv[i + 1]))
                coreHex = argv[++i];
            if (hasValue) check(value, !value.empty());
        } else if (arg == "--bootloader") {
            std::string v;
            if (next(v)) check(v, BootloaderOptions::parseKind(SString(v), o.bootloader.kind));
        } else if (arg == "--bootloader-baud") {
            std::string v;
            long long n = 0;
            if (next(v)) {
                const bool valid = parseInt(v, n) && n >= 0 && n <= 1000000;
                check(v, valid);
                if (valid) o.bootloader.newBaud = static_cast<int>(n);
            }
        } else if (arg == "--erased-flash") {
            flag(erasedFlash);
        } else if (arg == "--realistic-timing") {
            flag(o.realisticTiming);
        } else if (arg == "--word-mode") {
            flag(wordMode);
        } else if (arg == "--quiet") {
            flag(quiet);
        } else if (languagechoice::looksLikeOption(arg)) {
            problem = languagechoice::unknownOption(arg);
        } else {
            problem = languagechoice::unexpectedArgument(argv[i]);
        }
        if (!problem.empty()) return usageError(problem);
        if (help) {
            printHelp(stdout);
            return 0;
        }
        if (version) {
            std::printf("boardsim (Kondensator) %s\n", NUK_VERSION);
            return 0;
        }
        if (noRegister) o.registerPort = false;
        if (wordMode) {
            o.programmer.blockMode = false;
            o.programmer.pageBufferSize = AvrMemory::flashPageSize;
        }
    }

    std::vector<std::string> arguments(argv, argv + argc);
    globalDebug().configure(arguments, std::getenv("NUK_DEBUG"));

    static std::mutex printMutex;
    if (!quiet) {
        o.log = [](const SString& line) {
            std::lock_guard lock(printMutex);
            std::time_t now = std::time(nullptr);
            char stamp[16];
            std::strftime(stamp, sizeof(stamp), "%H:%M:%S", std::localtime(&now));
            std::printf("%s  %s\n", stamp, toTerminal(line).c_str());
            std::fflush(stdout);
        };
    }

    // The signals are taken by sigwait below; blocked before the board's thread starts, so that
    // the thread inherits the mask and never sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    VirtualBoard board;
    if (erasedFlash && !coreHex.empty())
        return usageError(
            languagechoice::say(MSG("boardsimErasedFlash", "--erased-flash schlie\xDFt eine Firmware-Datei aus")));
    if (o.core && !erasedFlash) {
        // The image goes into the board's flash, where a later burn replaces it.
        if (coreHex.empty()) coreHex = tools::dataFile("firmware.hex", NUK_FIRMWARE_HEX);
        SHexFile hex;
        SMem image;
        bool read = hex.loadFile(SString(coreHex), image);
        if (!read || image.getSize() == 0) {
            std::fprintf(stderr, "boardsim: %s cannot be read or is no firmware (Intel HEX) file%s%s\n", coreHex.c_str(),
                         hex.getError().isEmpty() ? "" : ": ", toTerminal(hex.getError()).c_str());
            return 1;
        }
        if (image.getSize() > static_cast<std::size_t>(AvrMemory::flashSize)) {
            std::fprintf(stderr, "boardsim: %s holds %zu bytes, more than the ATmega8's %d bytes of flash\n",
                         coreHex.c_str(), image.getSize(), AvrMemory::flashSize);
            return 1;
        }
        board.getMemory().setFlash(std::vector<uint8_t>(image.getData(), image.getData() + image.getSize()));
    }
    if (!board.start(o)) {
        std::fprintf(stderr, "boardsim: %s\n", toTerminal(board.getError()).c_str());
        return 1;
    }
    {
        std::lock_guard lock(printMutex);
        const RcParameters& c = board.getCircuit().getParameters();
        std::printf("COM name: %s\n", board.getComName().isEmpty() ? "(none)" : board.getComName().c_str());
        std::printf("Device:   %s\n", board.getDevicePath().c_str());
        std::printf("Circuit:  R = %g ohm, C = %g F, tau = %g s, U0 = %g V, %g samples/s, half cycle %g s\n",
                    c.resistance, c.capacitance, board.getCircuit().getTau(), c.supply, c.sampleRate,
                    c.halfCycle);
        std::printf("Board:    %s%s, time scale %g, noise +-%d, seed %llu\n",
                    o.adapter ? "behind the Ravlink adapter" : "plugged in directly",
                    o.realisticTiming ? ", realistic timing" : "", o.timeScale, c.noise,
                    static_cast<unsigned long long>(board.getSeed()));
        if (o.core)
            std::printf("Core:     simulated ATmega8 at 16 MHz running %s\n",
                        erasedFlash ? "nothing (erased flash)" : coreHex.c_str());
        std::fflush(stdout);
    }

    if (o.bootloader.kind != BootloaderOptions::none) {
        // Enter is the module's reset button; the reader ends with the process.
        std::thread([&board] {
            int c;
            while ((c = std::getchar()) != EOF)
                if (c == '\n') board.pressReset();
        }).detach();
        std::printf("Bootloader: %s; Enter presses the reset button\n",
                    o.bootloader.kind == BootloaderOptions::myBurn ? "myBurn" : "myBoot");
        std::fflush(stdout);
    }

    int sig = 0;
    while (sigwait(&signals, &sig) != 0) {
    }
    board.stop();
    std::printf("Stopped (%s): %lld frames, %lld bytes sent, %lld received.\n", strsignal(sig),
                static_cast<long long>(board.getFramesSent()), static_cast<long long>(board.getBytesSent()),
                static_cast<long long>(board.getBytesReceived()));
    return 0;
}
