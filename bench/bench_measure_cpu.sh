#!/usr/bin/env bash
# CPU of the whole program during a measurement, in a real window on a plain X server (Xvfb,
# software rendering, as on a school computer without a graphics driver): the program runs with
# the virtual board on the page "Durchführung"; the CPU time of its process (every thread) and of
# its browser processes is read from /proc while idle and while measuring (F5, sent with
# xdotool), and the busiest threads are listed.
#   bench/bench_measure_cpu.sh [PROGRAM] [SECONDS]    default: build/experiment, 30 s each
# Needs xvfb-run and xdotool (apt-get install xvfb xauth xdotool).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
program="$(realpath "${1:-$(dirname "$here")/build/experiment}")"
seconds="${2:-30}"
[ -x "$program" ] || { echo "bench_measure_cpu: no program $program (build it first)" >&2; exit 1; }
command -v xdotool >/dev/null && command -v xvfb-run >/dev/null ||
    { echo "bench_measure_cpu: needs xvfb-run and xdotool" >&2; exit 1; }

if [ -z "${NUK_BENCH_IN_XVFB:-}" ]; then
    exec env NUK_BENCH_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$program" "$seconds"
fi

work="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" NUK_COMPORTS="$work/comports.ini" TMPDIR="$work"
"$program" --virtual-board --page Durchführung >"$work/log" 2>&1 &
pid=$!
window=""
for _ in $(seq 1 60); do
    window="$(xdotool search --onlyvisible --pid "$pid" --name '^Experiment' 2>/dev/null | head -1 || true)"
    [ -n "$window" ] && break
    sleep 1
done
[ -n "$window" ] || { echo "bench_measure_cpu: no window"; cat "$work/log"; exit 1; }
# The window fills the screen, as a pupil's would.
xdotool windowsize "$window" 1280 1024 windowfocus --sync "$window" 2>/dev/null || true
sleep 5
hz="$(getconf CLK_TCK)"

# Clock ticks (user + system) of one /proc stat file.
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$1" 2>/dev/null || echo 0; }
# Ticks of the program's process, and of its descendant processes (the browser engine).
processTicks() { ticks "/proc/$pid/stat"; }
childTicks() {
    local sum=0 child
    for child in $(pgrep -P "$pid" 2>/dev/null) $(for c in $(pgrep -P "$pid" 2>/dev/null); do pgrep -P "$c"; done); do
        sum=$((sum + $(ticks "/proc/$child/stat")))
    done
    echo "$sum"
}
threadTicks() {
    local t
    for t in /proc/"$pid"/task/*; do
        printf '%s %s\n' "$(ticks "$t/stat")" "$(cat "$t/comm")"
    done
}

measure() {
    local label="$1" p0 c0 p1 c1 t0 t1
    threadTicks | sort -k2 >"$work/threads0"
    p0="$(processTicks)" c0="$(childTicks)" t0="$(date +%s.%N)"
    sleep "$seconds"
    p1="$(processTicks)" c1="$(childTicks)" t1="$(date +%s.%N)"
    threadTicks | sort -k2 >"$work/threads1"
    awk -v p="$((p1 - p0))" -v c="$((c1 - c0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" -v label="$label" 'BEGIN {
        wall = t1 - t0
        printf "%-10s program %5.2f %% of a core, browser processes %5.2f %%\n", label, 100 * p / hz / wall, 100 * c / hz / wall
    }'
    # The busiest threads by name (threads of one name summed).
    join -1 2 -2 2 <(awk '{a[$2]+=$1} END {for (n in a) print a[n], n}' "$work/threads0" | sort -k2) \
                   <(awk '{a[$2]+=$1} END {for (n in a) print a[n], n}' "$work/threads1" | sort -k2) 2>/dev/null |
        awk -v hz="$hz" -v s="$seconds" '{ d = $3 - $2; if (d > 0) printf "    %-18s %5.2f %%\n", $1, 100 * d / hz / s }' |
        sort -k2 -rn | head -6
}

measure idle
xdotool windowfocus --sync "$window" key F5
sleep 3
measure measuring
xdotool key F6
