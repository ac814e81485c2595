#!/usr/bin/env bash
# Frame time and pick time of the 3D view with one model of 200k and of 1M facets, with 4 samples
# and without multisampling, under Xvfb with Mesa's software renderer. Report only.
# Builds the project into build/ (or $BUILD_DIR) first. FRAMES sets the frames measured.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
JOBS=${JOBS:-2} BUILD_DIR=$build "$root/tools/build.sh"
cmake -S "$root/bench/view" -B "$build/bench-view" -DKZ_BUILD_DIR="$build" >/dev/null
cmake --build "$build/bench-view" -j "${JOBS:-2}"
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb
echo "load before: $(uptime)"
for facets in 200000 1000000; do
    for samples in 4 0; do
        xvfb-run -a -s "-screen 0 1280x1024x24" \
            "$build/bench-view/bench_KzGLView" "$facets" "$samples" "${FRAMES:-40}" 2>/dev/null
    done
done
echo "load after:  $(uptime)"
