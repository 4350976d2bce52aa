#!/bin/bash
# The layers of the source tree, checked on the sources themselves (ctest -L layers):
#
#   core-without-qt   platform/ .. live/ include no Qt header and nothing of gui/, app/,
#                     browser/, multiwindow/ (view/ may use gui's two Qt-free headers)
#   app-through-gui   app/ includes no Qt header itself; it reaches Qt through gui/
#   os-in-platform    only platform/ includes the operating system's headers
#   globals           the global accessors global*() are exactly today's
#   friends           no class makes another its friend beyond today's few
#
#   check_layers.sh SOURCE_DIR [CHECK...]      (every check when none is named)
#
# Each offence is printed as file:line: text. A file on an allow-list that no longer offends
# fails too, so the lists only shrink and always say what remains to move.
set -u -o pipefail
export LC_ALL=C

root=${1:?usage: check_layers.sh SOURCE_DIR [CHECK...]}
shift
cd "$root" || exit 2

failed=0
# The folders with the program's own sources (tests/, bench/, fuzz/ and firmware/ are outside).
product_dirs=(platform foundation stream board repo analysis sim view session live gui multiwindow browser app
              compat tools)
# Below the GUI: no Qt, no GUI.
core_dirs=(platform foundation stream board repo analysis sim view session live)

# The sources of some folders (those that exist), sorted, one per line.
sources() {
    local dirs=() d
    for d in "$@"; do [[ -d $d ]] && dirs+=("$d"); done
    ((${#dirs[@]})) || return 0
    find "${dirs[@]}" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' -o -name '*.c' \) | sort
}

# grep -n over a file list from stdin, printing file:line: text.
grep_sources() {
    xargs -r -d '\n' grep -nHE "$@" --
}

# Prints the offences not on the allow-list and the allow-list entries without offence.
#   report CHECK "ALLOWED..." < offences   (offences as file:line: text; entries are files)
report() {
    local check=$1 allowed=$2 offences line file entry
    offences=$(cat)
    local bad=""
    while IFS= read -r line; do
        [[ -z $line ]] && continue
        file=${line%%:*}
        if ! grep -qxF "$file" <<<"$allowed"; then bad+="$line"$'\n'; fi
    done <<<"$offences"
    if [[ -n $bad ]]; then
        printf '%s: offends:\n%s' "$check" "$bad"
        failed=1
    fi
    while IFS= read -r entry; do
        [[ -z $entry ]] && continue
        if ! grep -q "^$entry:" <<<"$offences"; then
            echo "$check: $entry no longer offends: take it off the allow-list in tests/floors/check_layers.sh"
            failed=1
        fi
    done <<<"$allowed"
}

# A Qt header: <QWidget>, <QtCore/QString>, <qglobal.h>.
qt_include='^\s*#\s*include\s*<(Q[A-Za-z0-9_]*|Qt[A-Za-z]*/[^>]*|q[a-z0-9_]*\.h)>'

check_core_without_qt() {
    # view/ draws through these two headers; they must stay free of Qt themselves.
    local qt_free_gui='gui/(SDrawDevice|SGuiEvent)\.h'
    report core-without-qt "" < <(
        sources "${core_dirs[@]}" | grep_sources "$qt_include"
        sources "${core_dirs[@]}" | grep_sources '^\s*#\s*include\s*"(gui|app|browser|multiwindow)/' |
            grep -vE "#\s*include\s*\"$qt_free_gui\""
        sources "${core_dirs[@]}" | grep_sources '^\s*#\s*include\s*"compat/Qt'
        ls gui/SDrawDevice.h gui/SGuiEvent.h 2>/dev/null | grep_sources "$qt_include"
        ls gui/SDrawDevice.h gui/SGuiEvent.h 2>/dev/null |
            grep_sources '^\s*#\s*include\s*"(gui|app|browser|multiwindow|compat)/' | grep -vE "\"$qt_free_gui\""
    )
}

check_app_through_gui() {
    # ---- allow-list: app/ files that still include Qt headers (move their Qt use into gui/) ----
    local allowed=""
    # ---- end of allow-list ----
    report app-through-gui "$allowed" < <(
        sources app | grep_sources "$qt_include"
        sources app | grep_sources '^\s*#\s*include\s*"compat/Qt'
    )
}

check_os_in_platform() {
    local os_include='^\s*#\s*include\s*<(unistd|fcntl|termios|dirent|poll|signal|dlfcn|pwd|grp|netdb|spawn|pthread|pty|sched|syslog|ifaddrs|libserialport|libudev|windows)\.h>|^\s*#\s*include\s*<(sys|arpa|netinet|net|linux)/'
    # ---- allow-list: operating-system calls outside platform/ ----
    # sim/: the virtual board is the hardware's stand-in on the far side of the serial line; its
    # pseudo-terminal master and the wake-up of its loop are the device, not the program's use
    # of the system.
    local allowed="sim/PseudoTerminal.cpp
sim/VirtualBoard.cpp"
    # ---- end of allow-list ----
    local dirs=() d
    for d in "${product_dirs[@]}"; do [[ $d != platform && $d != tools ]] && dirs+=("$d"); done
    report os-in-platform "$allowed" < <(sources "${dirs[@]}" | grep_sources "$os_include")
}

check_globals() {
    # The program's global objects, each reached through its accessor; a new one needs a reason
    # (and a line here).
    local known="AvrBoardXml& globalAvrBoardXml
AvrMcuXml& globalAvrMcuXml
Fenster& globalFenster
SApplication& globalApplication
SApplicationBasic& globalApplicationBasic
SColorMap& globalColorMap
SDebug& globalDebug
SError& globalError
SLanguage& globalLanguage
SResources& globalResources
STimer& globalTimer"
    local found line decl bad="" name
    found=$(sources "${product_dirs[@]}" | grep_sources '^[A-Za-z_][A-Za-z0-9_:<>]*\s*&\s*global[A-Z][A-Za-z0-9_]*\s*\(\s*\)\s*;')
    while IFS= read -r line; do
        [[ -z $line ]] && continue
        decl=$(sed -E 's/^[^:]*:[0-9]+:\s*([A-Za-z0-9_:<>]*)\s*&\s*(global[A-Za-z0-9_]*).*/\1\& \2/' <<<"$line")
        grep -qxF "$decl" <<<"$known" || bad+="$line"$'\n'
    done <<<"$found"
    if [[ -n $bad ]]; then
        printf 'globals: a global accessor beyond the known ones:\n%s' "$bad"
        failed=1
    fi
    while IFS= read -r decl; do
        name=${decl##* }
        if ! grep -qE "&\s*$name\s*\(\s*\)\s*;" <<<"$found"; then
            echo "globals: $decl() is no longer declared: take it off the list in tests/floors/check_layers.sh"
            failed=1
        fi
    done <<<"$known"
}

check_friends() {
    # ---- allow-list: file:class of today's friend classes ----
    local allowed="browser/SIEControl.h:SIEPage
foundation/SXmlTag.h:SXmlData
gui/SWindow.h:SApplication
gui/SWindow.h:SWindowBridge"
    # ---- end of allow-list ----
    local found line key bad="" entry
    found=$(sources "${product_dirs[@]}" | grep_sources '\bfriend\s+((class|struct)\s+)?[A-Za-z_][A-Za-z0-9_:]*\s*;')
    local keys=""
    while IFS= read -r line; do
        [[ -z $line ]] && continue
        key="${line%%:*}:$(sed -E 's/.*\bfriend\s+((class|struct)\s+)?([A-Za-z_][A-Za-z0-9_:]*)\s*;.*/\3/' <<<"$line")"
        keys+="$key"$'\n'
        grep -qxF "$key" <<<"$allowed" || bad+="$line"$'\n'
    done <<<"$found"
    if [[ -n $bad ]]; then
        printf 'friends: a friend class (give the other class an interface or a callback instead):\n%s' "$bad"
        failed=1
    fi
    while IFS= read -r entry; do
        grep -qxF "$entry" <<<"$keys" ||
            { echo "friends: $entry no longer declared: take it off the allow-list in tests/floors/check_layers.sh"; failed=1; }
    done <<<"$allowed"
}

checks=("$@")
((${#checks[@]})) || checks=(core-without-qt app-through-gui os-in-platform globals friends)
for check in "${checks[@]}"; do
    case $check in
        core-without-qt | app-through-gui | os-in-platform | globals | friends) "check_${check//-/_}" ;;
        *) echo "unknown check: $check" >&2; exit 2 ;;
    esac
done
exit $failed
