#!/usr/bin/env bash
# Start-up of the experiment program: time from the process start until the first page
# ("Einleitung") is loaded and shown, until every pane has loaded, and the memory then.
# Uses the program's probe (NUK_STARTUP_PROBE=1: it reports and quits). Headless unless a
# display is there.
#   bench/bench_startup.sh [PROGRAM] [RUNS]     default: build-app-rel/experiment, 7 runs
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
program="${1:-$(dirname "$here")/build-app-rel/experiment}"
runs="${2:-7}"
[ -x "$program" ] || { echo "bench_startup: no program $program (build it first)" >&2; exit 1; }
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"; fi

window=() first=() all=() rss=() browser=()
# One run first to warm the file cache; it is not counted.
NUK_STARTUP_PROBE=1 "$program" >/dev/null 2>&1 || true
for ((i = 0; i < runs; i++)); do
    out="$(NUK_STARTUP_PROBE=1 timeout 60 "$program" 2>/dev/null)"
    window+=("$(sed -n 's/^startup: window=\([0-9.]*\) s.*/\1/p' <<<"$out")")
    first+=("$(sed -n 's/^startup: einleitung=\([0-9.]*\) s.*/\1/p' <<<"$out")")
    all+=("$(sed -n 's/^startup: all=\([0-9.]*\) s.*/\1/p' <<<"$out")")
    rss+=("$(sed -n 's/.* rss=\([0-9]*\) kB.*/\1/p' <<<"$out")")
    browser+=("$(sed -n 's/.* browser_rss=\([0-9]*\) kB.*/\1/p' <<<"$out")")
done

# A run whose probe reported nothing did not start (or did not load its pages): that is a
# failure, not a figure.
for ((i = 0; i < runs; i++)); do
    if [ -z "${window[i]}" ] || [ -z "${first[i]}" ] || [ -z "${all[i]}" ]; then
        echo "bench_startup: run $((i + 1)) of $program reported no start-up times" >&2
        exit 1
    fi
done

# Median and range of a list of numbers.
stats() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "median %s  (min %s, max %s)", v[int((NR+1)/2)], v[1], v[NR]}'; }
echo "experiment start-up, $runs runs ($program)"
echo "  main window shown:     $(stats "${window[@]}") s"
echo "  first page loaded:     $(stats "${first[@]}") s"
echo "  all panes loaded:      $(stats "${all[@]}") s"
echo "  resident memory:       $(stats "${rss[@]}") kB (the program)"
echo "  browser processes:     $(stats "${browser[@]}") kB (resident, summed; shared pages counted per process)"
