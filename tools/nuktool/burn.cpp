// nuktool burn and nuktool signature: firmware into the board and the board's processor, through
// the board connection and its programmer back-ends, as the experiment burns.
#include <cstdio>
#include <unistd.h>

#include "Command.h"
#include "DataFiles.h"
#include "FileIo.h"
#include "board/AvrMcuXml.h"
#include "board/SAvrBoard.h"
#include "board/SDuvaroBurner.h"
#include "board/SHexFile.h"
#include "foundation/SConsolenAgent.h"
#include "foundation/SEvent.h"
#include "foundation/SFileSystem.h"
#include "platform/Paths.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace nuktool {
namespace {

const char* const burnUsage =
    "  nuktool burn [--port comN|DEVICE] [--programmer avr910|avr911|duvaro|myboot|avrdude] FILE.hex\n"
    "                                            burn the firmware into the board's flash and verify\n"
    "                                            it (without --port: search the board as the\n"
    "                                            experiment does; duvaro and myboot: the bootloader\n"
    "                                            module's protocols on the CP210x port; avrdude: the\n"
    "                                            avrdude program with the AVR109 protocol)";
const char* const signatureUsage =
    "  nuktool signature [--port comN|DEVICE] [--programmer avr910|avr911]\n"
    "                                            read the signature of the board's processor and name\n"
    "                                            it from the MCU catalogue";

struct Request {
    SString port;
    SString programmer;
    SString file;
};

// One programmer choice of the command line: the programmer type the board connection gets.
// Every choice is listed here and nowhere else.
struct Programmer {
    const char* name;
    const char* programmerType;
};
const Programmer programmers[] = {
    {"avr911", "avr911"},
    {"avr910", "avr910"},
    // The bootloader module: "myBurn" as the burn window speaks it, "myBoot" through the
    // board connection's bootloader back-end.
    {"duvaro", "duvaro"},
    {"myboot", "duvaro"},
    // avrdude with its name for the same programmer protocol as avr911.
    {"avrdude", "avr109"},
};

const Programmer* findProgrammer(const SString& name) {
    for (const Programmer& p : programmers)
        if (name.compareNoCase(SString::raw(p.name)) == 0) return &p;
    return nullptr;
}

std::string programmerNames() {
    std::string names;
    for (const Programmer& p : programmers) names += std::string(names.empty() ? "" : "|") + p.name;
    return names;
}

// The catalogue built beside nuktool or installed with it when there is one; else the
// resources' avr.cxf.
void useCatalogue() {
    const SString file(tools::catalogueFile());
    if (SFileSystem::exists(file)) globalAvrMcuXml().setCatalogueFile(file);
}

// Shows the back-end's progress: a bar for the flash and EEPROM lines, the messages as lines.
class ProgressPrinter : public SEventHandler {
public:
    S_CLASSNAME(ProgressPrinter)
    explicit ProgressPrinter(bool terminal) : terminal_(terminal) {}
    ~ProgressPrinter() override { endBar(); }

    int onEvent(SEvent& event) override {
        if (event.type != SAvrProg::eventType) return 0;
        SStringList fields = SStringList::split(event.text, SString::raw("|"));
        if (event.code == SAvrProg::kindProgress && fields.getSize() == 4) {
            bar(fields.getAt(0) + SString::raw(" ") + fields.getAt(1), fields.getAt(2).toInt(),
                fields.getAt(3).toInt());
        } else if (event.code == SAvrProg::kindProgress && fields.getSize() == 2) {
            line(fields.getAt(0) + SString::raw(": ") + fields.getAt(1));
        } else if (event.code == SAvrProg::kindProgress) {
            line(event.text);
        }
        return 1;
    }

    void line(const SString& text) {
        endBar();
        std::printf("%s\n", toTerminal(oneLine(text)).c_str());
        std::fflush(stdout);
    }

private:
    void bar(const SString& what, int done, int total) {
        if (total <= 0) return;
        const int width = 40;
        const int filled = static_cast<int>(static_cast<long long>(done) * width / total);
        const int percent = static_cast<int>(static_cast<long long>(done) * 100 / total);
        // On a terminal the bar is redrawn in place; in a file only its end is written.
        if (!terminal_ && done < total) return;
        std::printf("%s%-14s [%s%s] %3d%% %d/%d%s", terminal_ ? "\r" : "", what.c_str(), std::string(filled, '#').c_str(),
                    std::string(width - filled, ' ').c_str(), percent, done, total, terminal_ ? "" : "\n");
        barOpen_ = terminal_;
        std::fflush(stdout);
    }
    void endBar() {
        if (barOpen_) std::printf("\n");
        barOpen_ = false;
    }

    bool terminal_;
    bool barOpen_ = false;
};

int parse(const char* command, const Args& args, Request& request, bool wantFile) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--port" || a == "--programmer") && i + 1 == args.size())
            return usageError(std::string(command) + ": " + languagechoice::missingValue(a));
        if (a == "--port") {
            request.port = SString(args[++i]);
        } else if (a == "--programmer") {
            request.programmer = SString(args[++i]);
            if (findProgrammer(request.programmer) == nullptr)
                return usageError(std::string(command) + ": " +
                                  languagechoice::say(MSG("nuktoolNoProgrammer",
                                                          "unbekannter Programmer '%1' f\xFCr "
                                                          "--programmer; m\xF6glich: %2"),
                                                      {args[i], programmerNames()}));
        } else if (languagechoice::looksLikeOption(a)) {
            return usageError(std::string(command) + ": " + languagechoice::unknownOption(a));
        } else if (wantFile && request.file.isEmpty()) {
            request.file = SString(a);
        } else {
            return usageError(std::string(command) + ": " + languagechoice::unexpectedArgument(a));
        }
    }
    if (wantFile && request.file.isEmpty()) return expectedArguments(command, "FILE.hex");
    return 0;
}

// Connects the board's programmer: on the given port with the given (or the AVR911) programmer,
// else by the board connection's search. The processor found replaces the default ATmega8.
bool connect(SAvrBoard& board, const Request& request, ProgressPrinter& printer) {
    if (request.port.isEmpty()) {
        if (!board.searchAndConnect()) {
            // The error text holds only what the last port tried said; the headline comes first.
            printer.line(SString(MSG("nuktoolNoBoard", "Es wurde kein Board mit Programmer gefunden.")));
            return false;
        }
    } else {
        const Programmer* p =
            findProgrammer(request.programmer.isEmpty() ? SString::raw("avr911") : request.programmer);
        if (!board.initProg(request.port, SString::raw("ATmega8"), SString::raw(p->programmerType),
                            SString()) ||
            !board.connectProg())
            return false;
        // A bootloader cannot read the signature: the processor is the module's ATmega8.
        if (board.getProgKind() == SAvrBoard::progControl) return true;
        SString name;
        if (!board.getMcuName(name)) return false;
        if (name.compareNoCase(SString::raw("ATmega8")) != 0) {
            board.disconnectAll();
            if (!board.initProg(request.port, name, SString::raw(p->programmerType), SString()) ||
                !board.connectProg())
                return false;
        }
    }
    printer.line(SString(MSG("nuktoolProgrammer", "Programmer: ")) + board.getBoardData().programmerType +
                 SString(MSG("nuktoolProgrammerOn", " an ")) + board.getBoardData().port +
                 SString(MSG("nuktoolProcessor", ", Prozessor ")) + board.getBoardData().mcu);
    return true;
}

int fail(SAvrBoard& board, const char* what) {
    SString error = board.getError();
    const SString permission = board.getPermissionError();
    board.disconnectAll();
    // A port the user may not open: the command to type stands on its own line.
    if (!permission.isEmpty()) {
        std::string text = permission.str();
        for (std::size_t p; (p = text.find("\r\n")) != std::string::npos;) text.replace(p, 2, "\n");
        return failure(std::string(what) + ":\n" + text);
    }
    return failure(std::string(what) + (error.isEmpty() ? std::string() : ": " + oneLine(error)));
}

// The burn window's protocol without the window: status lines and the bar on the terminal.
class BurnerPrinter : public SDuvaroBurner::Display {
public:
    explicit BurnerPrinter(ProgressPrinter& printer) : printer_(printer) {}
    void showStatus(const SString& text, int) override {
        if (!text.isEmpty()) printer_.line(text);
    }
    void showPicture(const SString& file) override {
        if (file == "reset_ausloesen.bmp")
            printer_.line(SString(MSG("nuktoolPressReset",
                                      "Bitte den Reset-Taster des Boards dr\xFC"
                                      "cken.")));
    }
    void showProgress(int position, int maximum) override {
        SEvent event;
        event.type = SAvrProg::eventType;
        event.code = SAvrProg::kindProgress;
        event.text = SString::printf("flash|write|%d|%d", position, maximum);
        printer_.onEvent(event);
    }

private:
    ProgressPrinter& printer_;
};

// The CP210x port of the COM port map (where the bootloader module sits).
SString bridgePort() {
    SAvrBoard board;
    return board.getUsbPort();
}

int runMyBurn(const Request& request) {
    ProgressPrinter printer(::isatty(STDOUT_FILENO) != 0);
    SMem image;
    SHexFile hex;
    if (!hex.loadFile(SFileSystem::getFullPath(request.file), image) || image.getSize() == 0)
        return failure("burn: " + request.file.str() + " holds no data" +
                       (hex.getError().isEmpty() ? std::string() : ": " + oneLine(hex.getError())));
    SString port = request.port.isEmpty() ? bridgePort() : request.port;
    if (port.isEmpty()) return failure("burn: no CP210x port in the COM port map; give --port");
    SDuvaroBurner burner;
    BurnerPrinter display(printer);
    burner.setDisplay(&display);
    burner.setPort(port);
    if (!burner.burn(&image, nullptr)) return failure("burn: burning failed: " + oneLine(burner.getError()));
    return 0;
}

int runBurn(const Args& args) {
    Request request;
    if (int code = parse("burn", args, request, true)) return code;
    std::string problem;
    if (!checkInputFile(request.file.str(), problem)) return failure("burn: " + problem);
    if (request.programmer.compareNoCase(SString::raw("duvaro")) == 0) return runMyBurn(request);
    if (request.programmer.compareNoCase(SString::raw("myboot")) == 0 && request.port.isEmpty())
        request.port = bridgePort();
    useCatalogue();
    ProgressPrinter printer(::isatty(STDOUT_FILENO) != 0);
    SEventManager events;
    events.addHandler(&printer);
    SAvrBoard board;
    board.setEventReceiver(&events);
    // avrdude's own output goes to the board's console; the terminal shows it afterwards.
    SConsolenAgent console;
    if (request.programmer.compareNoCase(SString::raw("avrdude")) == 0)
        board.getBoardData().console = &console;
    if (!connect(board, request, printer)) return fail(board, "burn: no connection to the board's programmer");
    const bool ok = board.burnHex(SFileSystem::getFullPath(request.file));
    for (SString line; console.getLine(line);) printer.line(line);
    if (!ok) return fail(board, "burn: burning failed");
    board.disconnectAll();
    return 0;
}

int runSignature(const Args& args) {
    Request request;
    if (int code = parse("signature", args, request, false)) return code;
    useCatalogue();
    ProgressPrinter printer(false);
    SAvrBoard board;
    if (!connect(board, request, printer)) return fail(board, "signature: no connection to the board's programmer");
    SMapStringToMem jobs;
    jobs.set(SString::raw("read-signature"), SMem());
    if (!board.runJobs(jobs)) return fail(board, "signature: the signature could not be read");
    SMem sig = jobs.get(SString::raw("read-signature"));
    // AVR109 programmers send the signature's last byte first; the maker's code 0x1E leads.
    if (sig.getByte(0) != 0x1E && sig.getByte(2) == 0x1E) {
        const uint8_t first = sig.getByte(0);
        sig.setByte(0, sig.getByte(2));
        sig.setByte(2, first);
    }
    const SString text = SString::printf("%02X%02X%02X", sig.getByte(0), sig.getByte(1), sig.getByte(2));
    const SString name = globalAvrMcuXml().getPartName(text);
    board.disconnectAll();
    std::printf("signature 0x%s  %s\n", text.c_str(), name.isEmpty() ? "(not in the catalogue)" : name.c_str());
    return name.isEmpty() ? 1 : 0;
}

const Registration burnRegistration({"burn", burnUsage, runBurn});
const Registration signatureRegistration({"signature", signatureUsage, runSignature});

}  // namespace
}  // namespace nuktool
