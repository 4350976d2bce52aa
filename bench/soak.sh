#!/usr/bin/env bash
# An hour of measurement at the virtual board's time scale through the whole chain (simulated
# controller, pseudo-terminal, splitter, channels, diagram, evaluation); logs resident memory and
# frame counts every measured minute and judges: memory flat after the warm-up (within 2 MB), no
# frame lost, none out of order.
#   bench/soak.sh [MINUTES] [TIME_SCALE]     default 60 minutes at 4x (15 minutes)
# Runs build-bench/bench/soak_measurement (configure with -DNUK_BENCH=ON).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
program="${NUK_SOAK_PROGRAM:-$(dirname "$here")/build-bench/bench/soak_measurement}"
[ -x "$program" ] || { echo "soak: no program $program (cmake -DNUK_BENCH=ON, then build soak_measurement)" >&2; exit 1; }
exec "$program" --minutes "${1:-60}" --time-scale "${2:-4}"
