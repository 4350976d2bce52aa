#!/usr/bin/env bash
# nuktool against the virtual board's AVR911 programmer with the real part's timing
# (boardsim --adapter --realistic-timing, 19200 baud): the time of "nuktool signature --port"
# (the connection alone), of "nuktool burn --port" with an 8 KiB image (connection, erase,
# write, checksum verify) and of avrdude -c avr911 burning the same image on the same board
# (write and read-back verify). The wire alone takes 8192 * 10 / 19200 = 4.27 s for the image.
# With the test program avr109peer built, also "nuktool signature --port" against a plain
# AVR109 programmer that answers at once and has no adapter in front.
#   bench/bench_nuktool_burn.sh [BUILD_DIR] [RUNS]     default: build, 3 runs
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${1:-$(dirname "$here")/build}"
runs="${2:-3}"
nuktool="$build/nuktool"
boardsim="$build/boardsim"
peer="$build/tests/programs/avr109peer"
for p in "$nuktool" "$boardsim"; do
    [ -x "$p" ] || { echo "bench_nuktool_burn: no program $p (build nuktool and boardsim first)" >&2; exit 1; }
done

work="$(mktemp -d)"
sim_pid="" peer_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null && wait "$peer_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export NUK_COMPORTS="$work/comports.ini"

head -c 8192 /dev/urandom >"$work/fw.bin"
"$nuktool" bin2hex "$work/fw.bin" "$work/fw.hex" >/dev/null

# The first answer of a command that prints it once it is there, waiting up to 5 s.
awaitOutput() {
    local out=""
    for _ in $(seq 100); do
        out="$("$@" 2>/dev/null || true)"
        [ -n "$out" ] && break
        sleep 0.05
    done
    echo "$out"
}

"$boardsim" --adapter --realistic-timing --quiet >"$work/sim.out" 2>&1 &
sim_pid=$!
device="$(awaitOutput sh -c "grep -o '/dev/pts/[0-9]*' '$work/sim.out' | head -1")"
[ -n "$device" ] || { echo "bench_nuktool_burn: boardsim did not start" >&2; cat "$work/sim.out" >&2; exit 1; }

# Seconds one command takes; the command must succeed.
timed() {
    local begin end
    begin=$(date +%s.%N)
    "$@" >"$work/last.out" 2>&1 || { echo "bench_nuktool_burn: failed: $*" >&2; cat "$work/last.out" >&2; exit 1; }
    end=$(date +%s.%N)
    echo "$end - $begin" | bc -l
}
# Median and range of a list of numbers.
stats() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "median %.3f s  (min %.3f, max %.3f)", v[int((NR+1)/2)], v[1], v[NR]}'; }
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

sig=() burn=() dude=()
for ((i = 0; i < runs; i++)); do
    sig+=("$(timed "$nuktool" signature --port "$device")")
    burn+=("$(timed "$nuktool" burn --port "$device" "$work/fw.hex")")
    if command -v avrdude >/dev/null; then
        dude+=("$(timed avrdude -q -q -c avr911 -p m8 -b 19200 -P "$device" -U "flash:w:$work/fw.hex:i")")
    fi
done

echo "nuktool against the virtual AVR911 programmer (realistic timing, 19200 baud), $runs runs"
echo "  nuktool signature --port:   $(stats "${sig[@]}")"
echo "  nuktool burn --port (8 KiB): $(stats "${burn[@]}")"
echo "  wire time of the image:      4.267 s"
if [ "${#dude[@]}" -gt 0 ]; then
    echo "  avrdude -c avr911 (8 KiB):   $(stats "${dude[@]}")"
    echo "  nuktool / avrdude:           $(echo "$(median "${burn[@]}") / $(median "${dude[@]}")" | bc -l | cut -c1-5)"
fi

if [ -x "$peer" ]; then
    mkfifo "$work/peer.in"
    "$peer" <"$work/peer.in" >"$work/peer.out" &
    peer_pid=$!
    exec 7>"$work/peer.in"
    pdev="$(awaitOutput head -1 "$work/peer.out")"
    psig=()
    for ((i = 0; i < runs; i++)); do psig+=("$(timed "$nuktool" signature --port "$pdev" --programmer avr910)"); done
    echo "  signature, AVR109 peer:      $(stats "${psig[@]}") (no adapter, answers at once)"
    exec 7>&-
fi
