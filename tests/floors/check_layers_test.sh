#!/bin/bash
# The layer checks themselves: on a copy of today's sources each check passes, and one planted
# offence makes exactly its check fail with the offending file and line.
#
#   check_layers_test.sh SOURCE_DIR
set -u -o pipefail
export LC_ALL=C

source_dir=$(cd "${1:?usage: check_layers_test.sh SOURCE_DIR}" && pwd)
check=$source_dir/tests/floors/check_layers.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A fresh copy of the folders the checks read.
copy_tree() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree"
    local d
    for d in platform foundation stream board repo analysis sim view session live gui multiwindow browser app compat tools; do
        [[ -d $source_dir/$d ]] && cp -r "$source_dir/$d" "$work/tree/"
    done
}

copy_tree
if ! out=$(bash "$check" "$work/tree" 2>&1); then
    fail "today's sources do not pass:"$'\n'"$out"
fi

# check | file | line planted at the end of the file | what the report must name
cases=(
    "core-without-qt|stream/Planted.h|#include <QString>|stream/Planted.h:2:"
    "core-without-qt|live/Planted.cpp|#include <QtCore/QTimer>|live/Planted.cpp:2:"
    "core-without-qt|view/Planted.cpp|#include \"gui/SWindow.h\"|view/Planted.cpp:2:"
    "core-without-qt|session/Planted.cpp|#include \"app/Fenster.h\"|session/Planted.cpp:2:"
    "core-without-qt|gui/SDrawDevice.h|#include <QPainter>|gui/SDrawDevice.h:"
    "app-through-gui|app/Planted.cpp|#include <QTimer>|app/Planted.cpp:2:"
    "app-through-gui|app/Planted.h|#include \"compat/QtWidgets.h\"|app/Planted.h:2:"
    "os-in-platform|foundation/Planted.cpp|#include <unistd.h>|foundation/Planted.cpp:2:"
    "os-in-platform|gui/Planted.cpp|#include <sys/stat.h>|gui/Planted.cpp:2:"
    "os-in-platform|app/Planted.cpp|  #  include <netinet/in.h>|app/Planted.cpp:2:"
    "globals|repo/Planted.h|SRepo& globalRepo();|repo/Planted.h:2:"
    "friends|view/Planted.h|    friend class SOszi;|view/Planted.h:2:"
    "friends|board/Planted.h|    friend SAvrBoard;|board/Planted.h:2:"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name file line expected <<<"$row"
    target=$work/tree/$file
    if [[ -e $target ]]; then cp "$target" "$work/saved"; else rm -f "$work/saved"; echo "// planted" >"$target"; fi
    echo "$line" >>"$target"
    out=$(bash "$check" "$work/tree" "$name" 2>&1)
    rc=$?
    [[ $rc == 1 ]] || fail "$name: '$line' in $file: exit code $rc, not 1"
    grep -qF "$expected" <<<"$out" || fail "$name: '$line' in $file: the report does not name $expected:"$'\n'"$out"
    if [[ -e $work/saved ]]; then mv "$work/saved" "$target"; else rm "$target"; fi
done

# An allow-listed file that no longer offends, and a global that is gone, fail too: the lists
# only say what remains.
sed -i -E '/^\s*#\s*include\s*<(unistd|fcntl|termios|pty|poll|signal|stdlib)\.h>|^\s*#\s*include\s*<sys\//d' \
    "$work/tree/sim/PseudoTerminal.cpp"
out=$(bash "$check" "$work/tree" os-in-platform 2>&1) && fail "a cleaned allow-listed file passes"
grep -qF "sim/PseudoTerminal.cpp no longer offends" <<<"$out" || fail "the stale entry is not named:"$'\n'"$out"

sed -i -E '/&\s*globalColorMap\(\);/d' "$work/tree/gui/SColorMap.h"
out=$(bash "$check" "$work/tree" globals 2>&1) && fail "a removed global passes"
grep -qF "globalColorMap() is no longer declared" <<<"$out" || fail "the removed global is not named:"$'\n'"$out"

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "the layer checks find what was planted"
