#!/usr/bin/env bash
# Benchmark of the G-code layer model on a large real G-code file.
#
#   bash bench/gcode/run.sh [FILE.gcode]
#   BASELINE=main bash bench/gcode/run.sh    also runs the reader of that commit,
#                                            built apart in bench/out/baseline/
#
# Without a file, slices a 190 mm sphere at 0.1 mm layers through the engine
# bridge (build-bench/bin/Engine/CuraEngine, or $KZ_ENGINE) into bench/data/ once
# (about a minute, 120+ MB) and reuses it afterwards. Prints the machine load,
# `wc -l` on the same file as the floor, then the model's figures for three runs.
# Not a test: run it by hand on a quiet machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
out=$root/bench/out
data=$root/bench/data
mkdir -p "$out" "$data"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target kz_layer_model_bench KzEngineBridge >/dev/null
bench=$build/bench/kz_layer_model_bench

# The reader of another commit, for a before/after comparison in one run.
baseline=()
if [ -n "${BASELINE:-}" ]; then
    base=$out/baseline
    rm -rf "$base/src" && mkdir -p "$base/src"
    git -C "$root" archive "$BASELINE" | tar -x -C "$base/src"
    cmake -S "$base/src" -B "$base/build" $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
    cmake --build "$base/build" -j "${JOBS:-2}" --target KzFunction >/dev/null
    # The allocator settings of this tree, so that both readers run with the same ones.
    g++ -std=c++17 -O2 -fPIC -o "$base/KLayerModelBench" "$root/bench/gcode/KLayerModelBench.cpp" \
        "$root/core/geometry/KzAllocatorPolicy.cpp" -DKZFUNCTION_LIBRARY -I"$root/core" \
        -I"$base/src/core" -I"$base/src/core/geometry" -I"$root/core/geometry" $(pkg-config --cflags Qt5Core Qt5Gui) \
        -L"$base/build/bin" -lKzFunction -Wl,-rpath,"$base/build/bin" $(pkg-config --libs Qt5Core Qt5Gui)
    baseline=("$base/KLayerModelBench")
fi

gcode=${1:-$data/sphere190.gcode}
if [ ! -s "$gcode" ]; then
    engine=${KZ_ENGINE:-$build/bin/Engine/CuraEngine}
    [ -x "$engine" ] || { echo "No engine bridge at $engine: build it or set KZ_ENGINE, or pass a G-code file." >&2; exit 1; }
    "$bench" mesh "$data/sphere190.stl" 190
    echo "slicing through $engine ..."
    "$engine" -p -v -s "layerThickness=100" -s "initialLayerThickness=300" -s "sparseInfillLineDistance=1000" \
        -s "posx=100000" -s "posy=100000" -o "$gcode" "$data/sphere190.stl" >"$data/slice.log" 2>&1 \
        || { echo "slicing failed, see $data/slice.log" >&2; exit 1; }
fi

echo "== $(date -u +%FT%TZ)  $(nproc) cores"
echo "load before: $(uptime)"
cat "$gcode" >/dev/null   # from the page cache from here on, for wc and the model alike
size=$(stat -c %s "$gcode")
for run in 1 2 3; do
    start=$(date +%s%N)
    lines=$(wc -l <"$gcode")
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    echo "floor wc -l: $lines lines, ${ms} ms, $(( size / 1000 / (ms > 0 ? ms : 1) )) MB/s"
done
for run in 1 2 3; do
    echo "-- run $run"
    "$bench" parse "$gcode"
    "$bench" load "$gcode"
    if [ ${#baseline[@]} -gt 0 ]; then
        echo "-- run $run, baseline $BASELINE"
        "${baseline[@]}" load "$gcode"
    fi
done

# Bad input: a 100 MB flood of layer lines, a missing file, a named pipe nobody
# writes to, and destruction mid-load (the destructor must return at once on
# every input, also inside a line of 4 TiB without a line break, a sparse file,
# and inside lines outside ASCII of 64 KB each).
flood=$data/flood-layers.gcode
[ -s "$flood" ] || yes ';LAYER:1' | head -c 100000000 >"$flood"
endless=$data/endless-line.gcode
[ -s "$endless" ] || truncate -s 4T "$endless"
foreign=$data/foreign-lines.gcode
[ -s "$foreign" ] || python3 -c 'import sys; sys.stdout.buffer.write(((b"G1" * 32768 + "\u00e9".encode()) + b"\n") * 256)' >"$foreign"
pipe=$out/pipe.gcode
rm -f "$pipe" && mkfifo "$pipe"
echo "-- flood of layer lines, $(stat -c %s "$flood") bytes"
"$bench" load "$flood" | grep -E 'ready|layers|peak RSS'
"$bench" load "$data/missing.gcode" | grep -E 'ready|layers'
"$bench" load "$pipe" | grep -E 'ready|layers'
for input in "$gcode" "$flood" "$endless" "$foreign" "$pipe"; do
    echo "   $input"
    for delay in 50 300; do "$bench" destroy "$input" "$delay"; done
done
rm -f "$pipe"
echo "-- per point, 5 million points in paths of 12"
"$bench" points 5000000 12
echo "load after: $(uptime)"
