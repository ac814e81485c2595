#!/usr/bin/env bash
# Starts KzVellum on a private Xvfb screen and saves a PNG of its window, for
# reviewing the look and for tests. Build first (bash tools/build.sh).
#
#   bash tools/screenshot.sh [out.png [MODEL...]]    default: <build>/screenshot.png
#
# The models are opened by the program as its command line opens them
# (relative paths from the folder the script is started in).
# BUILD_DIR picks the build folder (default build/). KZ_SCREENSHOT_TIMEOUT is
# how long to wait for the window in seconds (default 60), KZ_SCREENSHOT_SETTLE
# how long to let the 3D view draw after it appeared, in ms (default 2000).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=$(realpath -m "${1:-$build/screenshot.png}")
shift || true
timeout=${KZ_SCREENSHOT_TIMEOUT:-60}
settle=${KZ_SCREENSHOT_SETTLE:-2000}

for f in "$build/bin/kzvellum" "$build/tools/KzGrabScreen"; do
    if [ ! -x "$f" ]; then
        echo "screenshot: $f is missing; build first with: bash tools/build.sh" >&2
        exit 1
    fi
done
mkdir -p "$(dirname "$out")"

# A black root window (-br), so the grabber crops exactly the program's window.
xvfb-run -a -s "-screen 0 1280x1024x24 -br" bash -c '
    build=$1 out=$2 timeout=$3 settle=$4
    shift 4
    "$build/bin/kzvellum" "$@" &
    pid=$!
    rc=0
    "$build/tools/KzGrabScreen" "$out" "$timeout" "$settle" || rc=$?
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" || echo "screenshot: kzvellum ended early with status $?" >&2
        exit 1
    fi
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    exit "$rc"
' screenshot "$build" "$out" "$timeout" "$settle" "$@"
