#include "app/CommandLine.h"

#include "Version.h"
#include "app/StartPage.h"

CommandLine::Request CommandLine::request(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--help" || arguments[i] == "-h") return Request::help;
        if (arguments[i] == "--version") return Request::version;
        // The values of --page and --lang are names, never options.
        if (arguments[i] == "--page" || arguments[i] == "--lang") ++i;
    }
    return Request::run;
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
           "\n"
           "Umgebung:\n"
           "  NUK_DEBUG=1|stderr       wie --debug\n"
           "  NUK_COMPORTS=DATEI       die Zuordnung der COM-Namen zu Ger\xC3\xA4ten statt\n"
           "                           ~/.config/nuk/comports.ini\n"
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
           "  unbekannten Seite, Sprache oder Art des virtuellen Boards).\n";
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
           "\n"
           "Environment:\n"
           "  NUK_DEBUG=1|stderr       like --debug\n"
           "  NUK_COMPORTS=FILE        the COM names of the devices instead of\n"
           "                           ~/.config/nuk/comports.ini\n"
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
           "  page, language or kind of virtual board).\n";
}

std::string CommandLine::versionText() {
    return "experiment (Kondensator) " NUK_VERSION "\n"
           "Lizenz GPLv3+: GNU GPL Version 3 oder neuer <https://gnu.org/licenses/gpl.html>.\n";
}
