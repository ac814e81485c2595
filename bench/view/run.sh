#!/usr/bin/env bash
# Frame time and pick time of the 3D view with one model of 200k and of 1M facets, with 4 samples
# and without multisampling, under Xvfb with Mesa's software renderer. Report only.
# Builds into build-bench/ (or $BENCH_BUILD_DIR) first. FRAMES sets the frames measured.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target bench_KzGLView >/dev/null
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb
echo "load before: $(uptime)"
for facets in 200000 1000000; do
    for samples in 4 0; do
        xvfb-run -a -s "-screen 0 1280x1024x24" \
            "$build/bench/bench_KzGLView" "$facets" "$samples" "${FRAMES:-40}" 2>/dev/null
    done
done
echo "load after:  $(uptime)"
