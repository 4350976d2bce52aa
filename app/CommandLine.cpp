#include "app/CommandLine.h"

#include <cctype>
#include <cstdio>
#include <string_view>

#include "Version.h"
#include "app/StartPage.h"
#include "foundation/LanguageChoice.h"
#include "foundation/SFile.h"
#include "foundation/SLanguage.h"
#include "foundation/SResourceArchive.h"
#include "platform/Paths.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

const char* const program = "experiment";

// Qt reads its own options from the same command line when the QApplication is made and takes
// them out before the program sees the rest; a user who starts the program with "-platform
// offscreen", "-style Fusion", "-reverse" or, on X11, "-display :1" expects them to work as in
// any Qt program. So they are accepted here and left to Qt. The list is what QApplication takes
// (Qt 6.4 and later), on X11 with the platform's own; Qt takes each with "--" as well.
struct QtOption {
    const char* name;
    bool takesValue;
};
const QtOption qtOptions[] = {
    {"-platform", true},        {"-platformpluginpath", true}, {"-platformtheme", true},
    {"-plugin", true},          {"-qwindowgeometry", true},    {"-qwindowicon", true},
    {"-qwindowtitle", true},    {"-session", true},            {"-style", true},
    {"-stylesheet", true},      {"-reverse", false},           {"-widgetcount", false},
    {"-testability", false},
    // X11
    {"-display", true},         {"-geometry", true},           {"-title", true},
    {"-icon", true},            {"-name", true},               {"-visual", true},
    {"-nograb", false},         {"-dograb", false},
};
const char* const qtValueForms[] = {"-style=", "-stylesheet=", "-qmljsdebugger="};

// How many arguments from index i on are one of Qt's options with its value; 0 when
// arguments[i] is none.
std::size_t qtArguments(const std::vector<std::string>& arguments, std::size_t i) {
    std::string_view a = arguments[i];
    if (a.starts_with("--")) a.remove_prefix(1);
    for (const QtOption& option : qtOptions)
        if (a == option.name) return option.takesValue && i + 1 < arguments.size() ? 2 : 1;
    for (const char* form : qtValueForms)
        if (a.starts_with(form)) return 1;
    return 0;
}

// The browser engine hands the arguments behind this one to Chromium (its own switches such as
// --remote-debugging-port=9222) and ignores the others; it looks for it without regard to case.
bool isEngineArgumentsMark(const std::string& argument) {
    static const std::string mark = "--webengineargs";
    if (argument.size() != mark.size()) return false;
    for (std::size_t i = 0; i < mark.size(); ++i)
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(argument[i]))) != mark[i]) return false;
    return true;
}

// The text of a file in the program's own archive; empty when there is none.
std::string fromArchive(const std::string& executable, const std::string& name) {
    if (!SResourceArchive::isLookupEnabled()) return {};
    SResourceArchive archive;
    if (!archive.openFile(SString(executable)) || !archive.locate() || !archive.readHeader()) return {};
    SString entry;
    uint32_t length = 0;
    while (archive.nextEntry(entry, length) == 1) {
        if (entry.compareNoCase(SString(name)) != 0) {
            archive.skipData();
            continue;
        }
        std::string text(length, '\0');
        return archive.readData(text.data(), text.size()) ? text : std::string();
    }
    return {};
}

}  // namespace

CommandLine::Options CommandLine::parse(const std::vector<std::string>& arguments,
                                        const std::string& desktopLanguage) {
    using languagechoice::say;
    Options o;
    o.language = desktopLanguage;
    o.page = StartPage::defaultPage;
    // The first wrong argument is reported; the rest is still read for --lang (the message's
    // language) and for --help and --version.
    auto refuse = [&o](std::function<std::string()> problem) {
        if (!o.problem) o.problem = std::move(problem);
    };
    auto ask = [&o](Request request) {
        if (o.request == Request::run) o.request = request;
    };
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (isEngineArgumentsMark(a)) break;
        if (const std::size_t taken = qtArguments(arguments, i)) {
            i += taken - 1;
            continue;
        }
        if (a == "-h") {
            ask(Request::help);
            continue;
        }
        if (!a.starts_with("--")) {
            if (languagechoice::looksLikeOption(a))
                refuse([a] { return languagechoice::unknownOption(a); });
            else
                refuse([a] { return languagechoice::unexpectedArgument(a); });
            continue;
        }
        const std::size_t equals = a.find('=');
        const std::string name = a.substr(0, equals);
        const std::optional<std::string> attached =
            equals == std::string::npos ? std::nullopt : std::optional<std::string>(a.substr(equals + 1));
        // --page and --lang take their value after "=" or as the next argument, whatever it is
        // ("--page --help" asks for a page of that name).
        auto value = [&]() -> std::optional<std::string> {
            if (attached) return attached;
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        if (name == "--help" || name == "--version") {
            if (attached)
                refuse([name] { return languagechoice::takesNoValue(name); });
            else
                ask(name == "--help" ? Request::help : Request::version);
        } else if (name == "--page") {
            const std::optional<std::string> wanted = value();
            if (!wanted) {
                refuse([] {
                    return say(MSG("cliPageMissing", "--page braucht den Namen einer Seite: %1"),
                               {StartPage::pageList()});
                });
            } else if (const std::optional<SString> page = StartPage::find(*wanted)) {
                o.page = *page;
            } else {
                refuse([wanted] {
                    return say(MSG("cliNoPage", "keine Seite '%1' f\xFCr --page; die Seiten: %2"),
                               {*wanted, StartPage::pageList()});
                });
            }
        } else if (name == "--lang") {
            const std::optional<std::string> wanted = value();
            if (!wanted) {
                refuse([] { return languagechoice::missingValue("--lang"); });
            } else if (const std::optional<std::string> language = languagechoice::known(*wanted)) {
                o.language = *language;
            } else {
                refuse([wanted] {
                    return say(
                        MSG("cliNoLanguage", "unbekannte Sprache '%1' f\xFCr --lang; m\xF6glich: de oder en"),
                        {*wanted});
                });
            }
        } else if (name == "--virtual-board") {
            // The kind only after "=": the option alone is the board behind the adapter.
            const std::optional<VirtualBoardHost::Mode> mode =
                attached ? VirtualBoardHost::modeNamed(*attached) : VirtualBoardHost::Mode::protocol;
            if (mode) {
                o.virtualBoard = *mode;
            } else {
                refuse([attached] {
                    return say(MSG("cliNoBoardKind",
                                   "unbekannte Art des virtuellen Boards '%1'; m\xF6gliche Angaben: "
                                   "--virtual-board oder --virtual-board=core|myburn|myboot"),
                               {*attached});
                });
            }
        } else if (name == "--share") {
            // The address only after "=": "--share" alone shares on every address, port 8080.
            if (const std::optional<ShareAddress> address = ShareAddress::parse(attached.value_or(""))) {
                o.share = true;
                o.shareAddress = *address;
            } else {
                refuse([attached] {
                    return say(MSG("cliNoShareAddress",
                                   "'%1' ist keine Adresse f\xFCr --share; m\xF6gliche Angaben: --share, "
                                   "--share=PORT oder --share=ADRESSE:PORT (zum Beispiel "
                                   "--share=127.0.0.1:8080)"),
                               {*attached});
                });
            }
        } else if (name == "--debug") {
            if (attached && *attached != "stderr")
                refuse([attached] { return languagechoice::invalidValue("--debug", *attached); });
        } else {
            refuse([name] { return languagechoice::unknownOption(name); });
        }
    }
    if (o.request != Request::run) o.problem = nullptr;
    return o;
}

std::optional<int> CommandLine::earlyExit(const Options& options) {
    switch (options.request) {
    case Request::help:
        std::fputs(helpText(options.language).c_str(), stdout);
        return 0;
    case Request::version:
        std::fputs(versionText().c_str(), stdout);
        return 0;
    case Request::run:
        break;
    }
    if (!options.problem) return std::nullopt;
    loadTexts(options.language);
    std::fprintf(stderr, "%s\n", languagechoice::usageLine(program, options.problem()).c_str());
    return 2;
}

bool CommandLine::loadTexts(const std::string& language) {
    if (language == languagechoice::german) return true;
    const std::string name = "kondensator_" + language + ".lng";
    const std::string executable = platform::executablePath();
    std::string text = fromArchive(executable, name);
    const std::string dir = executable.substr(0, executable.rfind('/') + 1);
    for (const std::string& path : {dir + "resources/" + name, dir + "../share/" NUK_PACKAGE "/" + name}) {
        if (!text.empty()) break;
        SString error;
        const SString content = SFile::readFile(SString(path), &error);
        if (error.isEmpty()) text = content.str();
    }
    if (text.empty()) return false;
    globalLanguage().setLanguage(language);
    return globalLanguage().load(text);
}

std::string CommandLine::helpText(const std::string& language) {
    // The page names, wrapped to the option's column.
    std::string pages;
    std::size_t column = 34;
    const SStringList names = StartPage::pageNames();
    for (int i = 0; i < names.getSize(); ++i) {
        const std::string name = names.getAt(i).toUtf8() + (i + 1 < names.getSize() ? "," : "");
        if (column + 1 + name.size() > 90) {
            pages += "\n                           ";
            column = 27;
        } else if (i > 0) {
            pages += " ";
            ++column;
        }
        pages += name;
        column += name.size();
    }
    if (language != "de") return englishHelp(pages);
    return "Usage: experiment [OPTION]...\n"
           "Das Experiment \xE2\x80\x9ELaden und Entladen eines Kondensators\xE2\x80\x9C f\xC3\xBCr den Physikunterricht:\n"
           "Seiten zum Lesen, die Firmware auf das Board brennen, die Messung live in zwei\n"
           "Oszilloskopen verfolgen, die Zeitkonstante auswerten und die Messung als CSV speichern.\n"
           "\n"
           "Optionen:\n"
           "  --page=NAME              \xC3\xB6" "ffnet die Seite NAME statt \"Einleitung\", zum Beispiel\n"
           "                           --page=Durchf\xC3\xBChrung f\xC3\xBCr den Beamer; Gro\xC3\x9F- und\n"
           "                           Kleinschreibung egal, \"ae\", \"oe\", \"ue\", \"ss\" f\xC3\xBCr Umlaute\n"
           "                           und \xC3\x9F. Seiten: " +
           pages +
           "\n"
           "  --virtual-board[=ART]    ein virtuelles Board statt der Hardware, f\xC3\xBCr eine Klasse ohne\n"
           "                           Board: ohne ART hinter dem Ravlink-Adapter mit Programmer;\n"
           "                           core: ein simulierter ATmega8 f\xC3\xBChrt die gebrannte Firmware\n"
           "                           aus; myburn, myboot: das Board mit dem Duvaro-Modul\n"
           "  --share[=[ADRESSE:]PORT] die Messung live im Schulnetz zeigen: ein Browser \xC3\xB6" "ffnet\n"
           "                           http://ADRESSE:PORT/ (ohne Angabe alle Adressen, Port 8080);\n"
           "                           Start und Stop dort nur mit der PIN, die das Programm zeigt\n"
           "  --debug[=stderr]         Debug-Ausgabe \xC3\xBC" "ber TCP an localhost:5001; mit \"=stderr\" auch\n"
           "                           auf die Standardfehlerausgabe\n"
           "  --lang=de|en             die Sprache der Seiten, Meldungen, Dialoge und Zahlen; ohne die\n"
           "                           Option die des Desktops (LC_ALL, LC_MESSAGES, LANG: \"de\xE2\x80\xA6\",\n"
           "                           \"C\" oder keine: Deutsch, jede andere: Englisch)\n"
           "  -h, --help               diese Hilfe\n"
           "  --version                die Version\n"
           "  Die Optionen von Qt (-platform, -style, -display, -reverse, ...) gelten wie in jedem\n"
           "  Qt-Programm; was hinter --webEngineArgs steht, geht an die Browser-Engine (Chromium).\n"
           "\n"
           "Umgebung:\n"
           "  NUK_DEBUG=1|stderr       wie --debug\n"
           "  NUK_COMPORTS=DATEI       die Zuordnung der COM-Namen zu Ger\xC3\xA4ten statt\n"
           "                           ~/.config/nuk/comports.ini\n"
           "  NUK_SYSFS=ORDNER         wo das Programm nach dem USB-Board sucht, statt /sys (Tests)\n"
           "  NUK_STARTUP_PROBE=1      misst den Start (Sekunden, Speicher) und beendet das Programm\n"
           "  QT_QPA_PLATFORM=offscreen  ohne Fenster (Tests)\n"
           "\n"
           "Dateien:\n"
           "  ~/.config/nuk/           Einstellungen und die COM-Namen der seriellen Ports\n"
           "                           (comports.ini); Messungen speichert das Programm im Ordner\n"
           "                           Dokumente des Benutzers\n"
           "\n"
           "Berechtigungen:\n"
           "  Serielle Ports (/dev/ttyUSB0) \xC3\xB6" "ffnen nur Mitglieder der Gruppe \"dialout\". Einmal\n"
           "  als Administrator: sudo usermod -aG dialout BENUTZER, danach ab- und wieder anmelden.\n"
           "\n"
           "R\xC3\xBC" "ckgabewert:\n"
           "  0 nach dem Schlie\xC3\x9F" "en des Fensters, 1 ohne Bildschirm, 2 bei falschen Angaben (einer\n"
           "  unbekannten Option, Seite, Sprache, Adresse oder Art des virtuellen Boards): dann\n"
           "  startet nichts, und eine Zeile auf der Standardfehlerausgabe nennt die Angabe.\n";
}

std::string CommandLine::englishHelp(const std::string& pages) {
    return "Usage: experiment [OPTION]...\n"
           "The experiment \xE2\x80\x9C" "charging and discharging a capacitor\xE2\x80\x9D for physics lessons:\n"
           "pages to read, burn the firmware onto the board, follow the measurement live in two\n"
           "oscilloscopes, evaluate the time constant and save the measurement as CSV.\n"
           "\n"
           "Options:\n"
           "  --page=NAME              opens the page NAME instead of \"Einleitung\", for example\n"
           "                           --page=Durchf\xC3\xBChrung for the projector; any case, \"ae\", \"oe\",\n"
           "                           \"ue\", \"ss\" for umlauts and \xC3\x9F. Pages: " +
           pages +
           "\n"
           "  --virtual-board[=KIND]   a virtual board instead of the hardware, for a class without a\n"
           "                           board: without KIND behind the Ravlink adapter with programmer;\n"
           "                           core: a simulated ATmega8 runs the burnt firmware;\n"
           "                           myburn, myboot: the board with the Duvaro module\n"
           "  --share[=[ADDRESS:]PORT] show the measurement live on the school network: a browser opens\n"
           "                           http://ADDRESS:PORT/ (without a value all addresses, port 8080);\n"
           "                           Start and Stop there only with the PIN the program shows\n"
           "  --debug[=stderr]         debug output over TCP to localhost:5001; with \"=stderr\" also\n"
           "                           on standard error\n"
           "  --lang=de|en             the language of pages, messages, dialogs and numbers; without\n"
           "                           it the desktop's (LC_ALL, LC_MESSAGES, LANG: \"de\xE2\x80\xA6\", \"C\" or\n"
           "                           none: German, any other: English)\n"
           "  -h, --help               this help\n"
           "  --version                the version\n"
           "  Qt's options (-platform, -style, -display, -reverse, ...) work as in any Qt program;\n"
           "  what follows --webEngineArgs goes to the browser engine (Chromium).\n"
           "\n"
           "Environment:\n"
           "  NUK_DEBUG=1|stderr       like --debug\n"
           "  NUK_COMPORTS=FILE        the COM names of the devices instead of\n"
           "                           ~/.config/nuk/comports.ini\n"
           "  NUK_SYSFS=FOLDER         where the program looks for the USB board instead of /sys (tests)\n"
           "  NUK_STARTUP_PROBE=1      measures the start (seconds, memory) and ends the program\n"
           "  QT_QPA_PLATFORM=offscreen  without a window (tests)\n"
           "\n"
           "Files:\n"
           "  ~/.config/nuk/           settings and the COM names of the serial ports\n"
           "                           (comports.ini); measurements are saved in the user's\n"
           "                           Documents folder\n"
           "\n"
           "Permissions:\n"
           "  Serial ports (/dev/ttyUSB0) can be opened by members of the group \"dialout\" only. Once,\n"
           "  as administrator: sudo usermod -aG dialout USER, then log out and in again.\n"
           "\n"
           "Exit status:\n"
           "  0 after the window was closed, 1 without a display, 2 for wrong arguments (an unknown\n"
           "  option, page, language, address or kind of virtual board): then nothing starts, and a\n"
           "  line on standard error names the argument.\n";
}

std::string CommandLine::versionText() {
    return "experiment (Kondensator) " NUK_VERSION "\n"
           "Lizenz GPLv3+: GNU GPL Version 3 oder neuer <https://gnu.org/licenses/gpl.html>.\n";
}
