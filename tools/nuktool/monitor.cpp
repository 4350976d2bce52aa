// nuktool monitor: runs a measurement on the board's data connection, as the experiment does,
// and shows what arrived in each data channel.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <memory>

#include "Command.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SFileIni.h"
#include "foundation/SFileSystem.h"
#include "foundation/SResourceArchive.h"
#include "foundation/SResources.h"
#include "platform/Clock.h"
#include "platform/ComPortMap.h"
#include "platform/Paths.h"
#include "stream/ExtDataManager.h"
#include "stream/ExtDataSetup.h"
#include "stream/ExtData_ReceiverBuffered.h"
#include "stream/SComPortSplitter.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace nuktool {
namespace {

const char* const usage =
    "  nuktool monitor [--port comN|DEVICE] [--extdata FILE] [--seconds S]\n"
    "                                            run a measurement on the board (default: the CP210x\n"
    "                                            port of the COM port map) for S seconds (default 5)\n"
    "                                            and show the frames and latest value per channel of\n"
    "                                            extdata.ini (default: the experiment's)";

// The experiment's extdata.ini: in the source tree beside the build directory or the working
// directory, else in the resource archive a shipped nuktool carries.
SString defaultExtData() {
    SString dir;
    SFileSystem::splitPath(SString(platform::executablePath()), nullptr, &dir, nullptr, nullptr);
    for (const SString& candidate : {dir + "resources/extdata.ini", dir + "../resources/extdata.ini",
                                     SString::raw("resources/extdata.ini")})
        if (SFileSystem::exists(candidate)) return candidate;
    SResourceArchive archive;
    if (!archive.openFile(SString(platform::executablePath()))) return {};
    globalResources().init();
    return globalResources().getFile("extdata.ini");
}

// The value of --seconds: a number above 0 and up to a day, with a decimal point or comma,
// and nothing behind it.
bool parseSeconds(std::string text, double& seconds) {
    if (const std::size_t comma = text.find(','); comma != std::string::npos) text[comma] = '.';
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0.0 && value <= 86400.0))
        return false;
    seconds = value;
    return true;
}

// The first CP210x port of the COM port map, as the board connection looks for it.
SString boardPort() {
    platform::ComPortMap map;
    for (const auto& [value, name] : map.serialCommListing())
        if (value.find("Silabser") != std::string::npos) return SString(name);
    return {};
}

// A firmware command with the splitter suspended, so the answer does not reach the channels.
// After "stop" the splitter stays suspended: frames may still arrive before the answer, and one
// of their bytes may be 0x0A, which ends the read early; switched on again there, the splitter
// would take the rest of a frame and the answer for frames.
bool firmwareCommand(SComPortSplitter& port, const char* command, SString& answer, bool resume = true) {
    port.setSuspended(1);
    bool ok = port.writeText(SString::raw(command) + SString::raw("\n")) &&
              port.readUntil(answer, 500, SString::raw("\n"));
    if (resume) port.setSuspended(0);
    return ok;
}

// An adapter command with the splitter suspended. Raw mode would not do: its id stage still
// runs and would take the answer's first byte as the id of the next frame, so the first frame
// after "start" would be cut wrongly.
bool adapterCommand(SComPortSplitter& port, const char* command, SString* answer = nullptr) {
    port.setSuspended(1);
    bool ok = port.sendSmartCmd(SString::raw(command), answer);
    port.setSuspended(0);
    return ok;
}

// A line from the board or a message of the library for the terminal: Windows-1252 letters
// as UTF-8, control characters as '?', line ends left out.
std::string printable(const SString& line) {
    std::string out;
    for (unsigned char c : line.str()) {
        if (c == '\r' || c == '\n') continue;
        if (c >= 0xA0) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
        }
    }
    return out;
}

int run(const Args& args) {
    SString portName, extdata;
    double seconds = 5.0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--port" || a == "--extdata" || a == "--seconds") && i + 1 == args.size())
            return usageError("monitor: " + languagechoice::missingValue(a));
        if (a == "--port") {
            portName = SString(args[++i]);
        } else if (a == "--extdata") {
            extdata = SString(args[++i]);
        } else if (a == "--seconds") {
            const std::string& text = args[++i];
            if (!parseSeconds(text, seconds))
                return usageError(
                    "monitor: " +
                    languagechoice::say(
                        MSG("nuktoolSeconds", "'%1' ist keine positive Zahl bis 86400 f\xFCr --seconds"),
                        {text}));
        } else if (languagechoice::looksLikeOption(a)) {
            return usageError("monitor: " + languagechoice::unknownOption(a));
        } else {
            return usageError("monitor: " + languagechoice::unexpectedArgument(a));
        }
    }
    if (extdata.isEmpty()) extdata = defaultExtData();
    if (extdata.isEmpty() || !SFileSystem::exists(extdata)) return failure("monitor: extdata.ini not found");
    SFileIni ini;
    if (!ini.open(extdata, false, true)) return failure("monitor: cannot read '" + extdata.str() + "'");

    // A device path is opened as it is; a COM name through the COM port map.
    if (portName.isEmpty()) portName = boardPort();
    if (portName.isEmpty()) return failure("monitor: no CP210x port in the COM port map (use --port)");

    SComPortSplitter port;
    std::array<std::unique_ptr<ExtData_ReceiverBuffered>, ExtDataSetup::channelCount> channels;
    ExtDataSetup::Channels pointers{};
    for (std::size_t i = 0; i < channels.size(); ++i) {
        channels[i] = std::make_unique<ExtData_ReceiverBuffered>();
        pointers[i] = channels[i].get();
    }
    ExtDataManager manager;
    ExtDataSetup::setupChannels(ini, pointers, port, manager);

    port.getSettings().fromString(portName + SString::raw(",115200,N,8,1"));
    // failure() converts the message for the terminal itself.
    if (!port.open()) return failure("monitor: " + port.getError().str());
    std::printf("port %s (%s), channels from %s\n", portName.c_str(), port.getDevicePath().c_str(),
                extdata.c_str());
    port.purge();

    // The experiment's start: "ver"; without an answer through the adapter's pass-through
    // with the supply on; then "start".
    SString answer;
    bool viaAdapter = false;
    if (!firmwareCommand(port, "ver", answer)) {
        SString id;
        if (!adapterCommand(port, "v", &id) || id.find(SString::raw("Ravlink")) < 0) {
            port.close();
            return failure("monitor: the firmware does not answer and there is no adapter");
        }
        viaAdapter = true;
        std::printf("adapter:  %s\n", printable(id).c_str());
        adapterCommand(port, "d");
        adapterCommand(port, "+");
        if (!firmwareCommand(port, "ver", answer)) {
            adapterCommand(port, "p");
            adapterCommand(port, "-");
            port.close();
            return failure("monitor: the firmware does not answer behind the adapter");
        }
    }
    std::printf("firmware: %s\n", printable(answer).c_str());
    if (!firmwareCommand(port, "start", answer)) {
        port.close();
        return failure("monitor: no answer to \"start\"");
    }
    std::printf("start:    %s\n", printable(answer).c_str());

    // The measurement runs until the time is up or the board is unplugged.
    const int64_t endMs = platform::monotonicMs() + static_cast<int64_t>(seconds * 1000);
    while (!port.isHungUp() && platform::monotonicMs() < endMs)
        SApplicationBasic::wait(static_cast<int>(std::min<int64_t>(100, endMs - platform::monotonicMs())));
    if (port.isHungUp()) {
        port.close();
        return failure("monitor: " +
                       SString("\xB3\xB3port\xB3\xB3"
                               "Der Port ").str() +
                       portName.str() + SString("\xB3\xB3hungUp\xB3\xB3 wurde getrennt.").str());
    }

    firmwareCommand(port, "stop", answer, false);
    if (viaAdapter) {
        adapterCommand(port, "p");
        adapterCommand(port, "-");
    }
    port.close();

    // Every value is an ADC reading, 1023 counts = 5 V; "I" is the voltage across 10 kOhm.
    std::printf("\n%-10s %4s %8s %8s  %s\n", "channel", "id", "frames", "latest", "value");
    uint32_t total = 0;
    const ExtDataList& list = manager.getList();
    for (int i = 0; i < list.getCount(); ++i) {
        auto* channel = dynamic_cast<ExtData_ReceiverBuffered*>(list.getPointerAt(i));
        if (channel == nullptr) continue;
        uint32_t frames = channel->getUpdateCount();
        uint32_t value = channel->getLatestValue();
        if (channel->getType() == ExtData::typeUInt16) value &= 0xFFFF;
        if (channel->getType() == ExtData::typeUInt8) value &= 0xFF;
        total += frames;
        std::printf("%-10s %4u %8u ", list.getNameAt(i).c_str(), channel->getId(), frames);
        if (frames == 0) {
            std::printf("%8s\n", "-");
            continue;
        }
        double volts = value * 5.0 / 1023.0;
        if (list.getNameAt(i) == "I")
            std::printf("%8u  %.3f mA\n", value, volts / 10e3 * 1e3);
        else
            std::printf("%8u  %.2f V\n", value, volts);
    }
    SString framing = port.getSplitterError();
    if (!framing.isEmpty()) std::printf("\nsplitter: %s\n", printable(framing).c_str());
    return total > 0 ? 0 : failure("monitor: no frames received");
}

const Registration registration({"monitor", usage, run});

}  // namespace
}  // namespace nuktool
