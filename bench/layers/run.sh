#!/usr/bin/env bash
# Frame time of the layer preview on the large G-code of bench/gcode (a 190 mm
# sphere at 0.1 mm layers, bench/data/sphere190.gcode; run bench/gcode/run.sh
# once to make it, or pass another file). Immediate mode against the per-layer
# buffer objects (and the buffers with the lower layers' picture kept while the
# camera rests), side by side in one run, with the memory per point of the
# layer model and of the drawing data, under Xvfb with Mesa's software
# renderer. Report only; not a test. FRAMES sets the frames measured per case.
#
#   bash bench/layers/run.sh [FILE.gcode]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
gcode=${1:-$root/bench/data/sphere190.gcode}
[ -s "$gcode" ] || { echo "No G-code at $gcode: run bench/gcode/run.sh first, or pass a file." >&2; exit 1; }
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target bench_KLayerFeature >/dev/null
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb
# The view's temporary files go to a scratch folder, not the user's.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch XDG_DATA_HOME=$scratch/.local/share XDG_RUNTIME_DIR=$scratch/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
echo "== $(date -u +%FT%TZ)  $(nproc) cores"
echo "load before: $(uptime)"
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/bench_KLayerFeature" "$gcode" "${FRAMES:-10}" 2>/dev/null
echo "load after:  $(uptime)"
