#!/usr/bin/env bash
# Benchmark: the engine bridge against calling Debian's CuraEngine directly,
# same settings, same mesh, alternating runs in one session.
#
# The mesh is a UV sphere of radius 40 mm with at least 150 000 facets (binary
# STL, as the program writes it). The bridge gets a legacy line like the one
# the slicing job sends; the direct runs get exactly the engine command line
# the bridge produced (captured through a logging wrapper on PATH), so both do
# the same slicing work. The figure of interest is the bridge's added wall
# time, median against median. Target: at most 5 %.
#
# Usage: bench/bridge/run.sh [rounds]   (BUILD_DIR defaults to build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bridge=${BUILD_DIR:-$root/build}/bin/Engine/CuraEngine
rounds=${1:-5}
engine=$(command -v CuraEngine || true)
[ -x "$bridge" ] || { echo "build the bridge first (tools/build.sh): $bridge is missing" >&2; exit 1; }
[ -n "$engine" ] && [ "$engine" != "$bridge" ] || { echo "Debian's CuraEngine is not on PATH" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Sphere: n bands x n segments, two triangles per quad except at the poles.
perl -e '
    use strict; my $n = 275; my $r = 40; my $pi = 4 * atan2(1, 1);
    my @t;
    sub p { my ($i, $j) = @_; my $th = $pi * $i / $n; my $ph = 2 * $pi * $j / $n;
            return ($r * sin($th) * cos($ph) + 50, $r * sin($th) * sin($ph) + 50, $r * cos($th) + $r); }
    for my $i (0 .. $n - 1) { for my $j (0 .. $n - 1) {
        push @t, [p($i, $j), p($i + 1, $j), p($i, $j + 1)] if $i > 0;
        push @t, [p($i + 1, $j), p($i + 1, $j + 1), p($i, $j + 1)] if $i < $n - 1; } }
    binmode STDOUT; print "\0" x 80, pack("V", scalar @t);
    print pack("f<3f<9v", 0, 0, 0, @$_, 0) for @t;
    print STDERR scalar(@t), " facets\n";' > "$work/sphere.stl"

start=$';Print time: {print_time}\nM140 S0\r\nM190 S0\r\nM104 S210\r\nM109 S210\r\nG21\r\nG90\r\nM82\r\nM106 S0\r\nG28 X0 Y0\r\nG28 Z0\r\nG92 Z0\r\nG1 Z15.0 F900\r\nG92 E0\r\nG1 F200 E10\r\nG92 E0\r\nM117 Printing'
end=$'M140 S0\r\nM104 S0\r\nG91\r\nG1 E-1 F300\r\nG28 X0 Y0\r\nM84\r\nG90\r\n'
legacy=(-p -v)
for s in layerThickness=200 initialLayerThickness=300 filamentDiameter=1750 filamentFlow=100 extrusionWidth=400 \
         layer0extrusionWidth=400 insetCount=2 downSkinCount=4 upSkinCount=4 infillOverlap=15 perimeterBeforeInfill=0 \
         initialSpeedupLayers=4 initialLayerSpeed=20 printSpeed=50 infillSpeed=50 inset0Speed=50 insetXSpeed=50 \
         skinSpeed=50 moveSpeed=150 fanSpeedMin=100 fanSpeedMax=100 supportAngle=-1 supportEverywhere=0 \
         supportLineDistance=2666 supportXYDistance=700 supportZDistance=150 supportExtruder=-1 retractionAmount=4500 \
         retractionSpeed=40 retractionMinimalDistance=1500 retractionAmountExtruderSwitch=16500 retractionZHop=0 \
         minimalExtrusionBeforeRetraction=20 minimalLayerTime=5 minimalFeedrate=10 coolHeadLift=0 fanFullOnLayerNr=2 \
         enableCombing=1 supportType=1 sparseInfillLineDistance=2000 skirtDistance=3000 skirtLineCount=1 \
         skirtMinLength=150000 posx=100000 posy=100000; do
    legacy+=(-s "$s")
done
legacy+=(-s "startCode=$start" -s "endCode=$end")

# Capture the engine command line the bridge builds.
mkdir "$work/wrap"
printf '#!/bin/sh\nprintf "%%s\\0" "$@" > "%s/engine-args"\nexec "%s" "$@"\n' "$work" "$engine" > "$work/wrap/CuraEngine"
chmod +x "$work/wrap/CuraEngine"
PATH="$work/wrap:$PATH" "$bridge" "${legacy[@]}" -o "$work/bridge.gcode" "$work/sphere.stl" > /dev/null 2>&1
mapfile -d '' direct < "$work/engine-args"
for i in "${!direct[@]}"; do
    [ "${direct[$i]}" = -o ] && direct[$((i + 1))]="$work/direct.gcode"
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
percent() { awk -v b="$1" -v d="$2" 'BEGIN { printf "%.1f", (b - d) * 100 / d }'; }
# Wall time, and CPU time (user + system, the engine's included): on a machine
# shared with other work the wall figure is noisy, while the CPU figure shows
# what the bridge itself adds, which it does after the engine, in sequence.
TIMEFORMAT='%R %U %S'
timed() { { time "$@" > /dev/null 2>&1; } 2>&1 | awk '{ print $1, $2 + $3 }'; }
echo "load before: $(uptime)"
: > "$work/t-bridge"; : > "$work/t-direct"
for ((r = 1; r <= rounds; ++r)); do
    read -r bw bc < <(timed "$bridge" "${legacy[@]}" -o "$work/bridge.gcode" "$work/sphere.stl")
    read -r dw dc < <(timed "$engine" "${direct[@]}")
    echo "$bw $bc" >> "$work/t-bridge"; echo "$dw $dc" >> "$work/t-direct"
    printf 'round %d: bridge %.3f s wall %.3f s cpu, engine %.3f s wall %.3f s cpu\n' "$r" "$bw" "$bc" "$dw" "$dc"
done
echo "load after:  $(uptime)"

# The bridge's own share, measured apart: the bridge in front of a stand-in
# engine that replays a recorded run (its log, its G-code) in next to no time.
"$engine" "${direct[@]}" 2> "$work/engine.log" > /dev/null
mkdir "$work/replay"
printf '#!/bin/sh\nout=\nwhile [ $# -gt 0 ]; do [ "$1" = -o ] && out=$2; shift; done\ncat "%s/engine.log" >&2\ncat "%s/direct.gcode" > "$out"\n' \
    "$work" "$work" > "$work/replay/CuraEngine"
chmod +x "$work/replay/CuraEngine"
: > "$work/t-replay"; : > "$work/t-cat"
for ((r = 1; r <= rounds; ++r)); do
    read -r rw rc < <(PATH="$work/replay:$PATH" timed "$bridge" "${legacy[@]}" -o "$work/replay.gcode" "$work/sphere.stl")
    read -r cw cc < <(timed sh -c "cat '$work/engine.log' > /dev/null; cat '$work/direct.gcode' > '$work/cat.gcode'")
    echo "$rw" >> "$work/t-replay"; echo "$cw" >> "$work/t-cat"
done
cmp -s "$work/replay.gcode" "$work/bridge.gcode" || echo "note: the replayed run wrote other G-code than the real one"

bw=$(cut -d' ' -f1 "$work/t-bridge" | median); dw=$(cut -d' ' -f1 "$work/t-direct" | median)
bc=$(cut -d' ' -f2 "$work/t-bridge" | median); dc=$(cut -d' ' -f2 "$work/t-direct" | median)
printf 'median wall: bridge %.3f s, engine %.3f s, added %s %% (target <= 5 %%)\n' "$bw" "$dw" "$(percent "$bw" "$dw")"
printf 'median cpu:  bridge %.3f s, engine %.3f s, added %s %%\n' "$bc" "$dc" "$(percent "$bc" "$dc")"
rw=$(median < "$work/t-replay"); cw=$(median < "$work/t-cat")
own=$(awk -v r="$rw" -v c="$cw" 'BEGIN { print r - c }')
printf "bridge's own time (replayed engine): %.3f s, %s %% of the engine's median wall time\n" "$own" \
    "$(awk -v o="$own" -v d="$dw" 'BEGIN { printf "%.1f", o * 100 / d }')"
printf 'G-code: bridge %s bytes, engine %s bytes, %s layers\n' "$(stat -c %s "$work/bridge.gcode")" \
    "$(stat -c %s "$work/direct.gcode")" "$(grep -c '^;LAYER:' "$work/bridge.gcode")"
