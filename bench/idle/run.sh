#!/usr/bin/env bash
# CPU used by the started program while it sits idle, under Xvfb with Mesa's software
# renderer. Report only. Uses build/ (or $BUILD_DIR); SECONDS_IDLE sets the window measured.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
idle=${SECONDS_IDLE:-10}
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    "$0" >/dev/null 2>&1 & pid=$!
    sleep 5
    ticks() { awk "{print \$14 + \$15}" /proc/$pid/stat; }
    a=$(ticks); sleep "$1"; b=$(ticks)
    hz=$(getconf CLK_TCK)
    awk -v t=$((b - a)) -v hz="$hz" -v s="$1" "BEGIN { printf \"idle CPU: %.1f%% of one core over %d s\n\", 100 * t / hz / s, s }"
    kill $pid; wait $pid 2>/dev/null || true
' "$build/bin/kzvellum" "$idle"
