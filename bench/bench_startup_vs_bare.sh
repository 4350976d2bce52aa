#!/usr/bin/env bash
# Start-up of the experiment program against the bare browser program (bench/bare_engine.cpp:
# the same pages in plain QWebEngineViews, nothing else). Both report through the start-up
# probe (NUK_STARTUP_PROBE=1): the main window shown, the first page loaded, every pane loaded
# (seconds since the process started), and quit. The runs alternate (ours, bare, ours, ...)
# after one warm-up run of each, so a change of the machine's load strikes both alike; the
# load average is printed before and after, since other work on the machine skews the figures.
#
#   bench/bench_startup_vs_bare.sh [--smoke] [PROGRAM [BARE [RUNS]]]
#     default: build-app-rel/experiment, build-app-rel/bench/bare_engine, 7 runs each
#     --smoke: one run of each, no warm-up (CI: both start, report and quit)
#
# Both run in the same environment: German pages (LC_ALL=C.UTF-8), the engine switches the
# program gives itself (one renderer process; without a display also no GPU), as root without
# the engine's sandbox. Without a display the bare program draws its views with Qt Quick's
# software scene graph, as the program does when there is no OpenGL (browser/BrowserRendering.h).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
smoke=0
if [ "${1:-}" = "--smoke" ]; then
    smoke=1
    shift
fi
program="${1:-$root/build-app-rel/experiment}"
bare="${2:-$root/build-app-rel/bench/bare_engine}"
runs="${3:-7}"
((smoke)) && runs=1
for p in "$program" "$bare"; do
    [ -x "$p" ] || { echo "bench_startup_vs_bare: no program $p (build it first)" >&2; exit 1; }
done

headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"; fi
case "${QT_QPA_PLATFORM:-}" in offscreen* | minimal*) headless=1 ;; esac
export LC_ALL=C.UTF-8
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
flags="${QTWEBENGINE_CHROMIUM_FLAGS:-}"
((headless)) && [[ $flags != *--disable-gpu* ]] && flags="$flags --disable-gpu"
[[ $flags != *--renderer-process-limit* && $flags != *--single-process* ]] && flags="$flags --renderer-process-limit=1"
export QTWEBENGINE_CHROMIUM_FLAGS="${flags# }"
bare_env=()
((headless)) && [ -z "${QT_QUICK_BACKEND:-}" ] && bare_env=(QT_QUICK_BACKEND=software)

# One run: "window first all rss" in seconds and kB, or nothing when the probe did not report.
run() {
    local out window first all rss
    if [ "$1" = ours ]; then
        out="$(NUK_STARTUP_PROBE=1 timeout 60 "$program" 2>/dev/null || true)"
    else
        out="$(env "${bare_env[@]}" NUK_STARTUP_PROBE=1 timeout 60 "$bare" 2>/dev/null || true)"
    fi
    window="$(sed -n 's/^startup: window=\([0-9.]*\) s.*/\1/p' <<<"$out")"
    # The start page's line: neither window= nor all=.
    first="$(sed -n '/^startup: \(window\|all\)=/d; s/^startup: [a-z]*=\([0-9.]*\) s.*/\1/p' <<<"$out")"
    all="$(sed -n 's/^startup: all=\([0-9.]*\) s.*/\1/p' <<<"$out")"
    rss="$(sed -n 's/.* rss=\([0-9]*\) kB.*/\1/p' <<<"$out")"
    [ -n "$window" ] && [ -n "$first" ] && [ -n "$all" ] && echo "$window $first $all ${rss:-0}"
}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
if ((!smoke)); then
    run ours >/dev/null || true
    run bare >/dev/null || true
fi
ours=() theirs=()
for ((i = 0; i < runs; i++)); do
    for who in ours bare; do
        figures="$(run "$who")" || true
        if [ -z "$figures" ]; then
            echo "bench_startup_vs_bare: run $((i + 1)) of $who reported no start-up times" >&2
            exit 1
        fi
        if [ "$who" = ours ]; then ours+=("$figures"); else theirs+=("$figures"); fi
    done
done
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

# Median of column N (1 window, 2 first page, 3 all panes, 4 rss) of a list of runs.
median() {
    local column=$1
    shift
    printf '%s\n' "$@" | awk -v c="$column" '{print $c}' | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'
}
range() {
    local column=$1
    shift
    printf '%s\n' "$@" | awk -v c="$column" '{print $c}' | sort -n | awk '{v[NR]=$1} END {printf "%s..%s", v[1], v[NR]}'
}

echo "start-up, experiment against the bare browser program: $runs interleaved runs each"
echo "  ours: $program"
echo "  bare: $bare"
echo "  load average before: $load_before   after: $load_after   ($(nproc) cores)"
printf '  %-20s %-22s %-22s %s\n' "median (range)" "ours" "bare" "ours vs bare"
for c in 1 2 3; do
    name=("" "window shown [s]" "first page [s]" "all panes [s]")
    o="$(median $c "${ours[@]}")" b="$(median $c "${theirs[@]}")"
    if [ "$c" = 3 ]; then
        cmp="$(awk -v o="$o" -v b="$b" 'BEGIN {printf "%.2fx", (b > 0 ? o / b : 0)}')"
    else
        cmp="$(awk -v o="$o" -v b="$b" 'BEGIN {printf "%+.0f ms", (o - b) * 1000}')"
    fi
    printf '  %-20s %-22s %-22s %s\n' "${name[c]}" "$o ($(range $c "${ours[@]}"))" \
        "$b ($(range $c "${theirs[@]}"))" "$cmp"
done
printf '  %-20s %-22s %-22s\n' "resident [kB]" "$(median 4 "${ours[@]}")" "$(median 4 "${theirs[@]}")"
