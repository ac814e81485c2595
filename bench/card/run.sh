#!/usr/bin/env bash
# Saving a 100 MB G-code as the program saves it to the card, with the
# read-back check and without (not a test; not run by CI).
#   bench/card/run.sh [RUNS]      RUNS per variant, default 5; MB (env) the size, default 100
# Saves over the same target again and again, checked and unchecked runs
# interleaved so that load on the machine hits both alike, onto:
#   disk   a folder on the disk of the build tree;
#   loop   (root only) an ext2 image on a loop device with direct I/O, mounted:
#          its reads reach the disk below the image, as a card's reach the card.
# The source is in the page cache, as the G-code the engine just wrote is.
# Prints the medians, the extra time of the check, and `uptime` before and after.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
runs=${1:-5}
mb=${MB:-100}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target kz_card_bench >/dev/null
bench=$build/bench/kz_card_bench
work=$(mktemp -d "$build/card-bench.XXXXXX")
loop= mount=
cleanup() {
    [ -n "$mount" ] && umount "$mount" 2>/dev/null || true
    [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$bench" generate "$work/source.gcode" "$mb"
cat "$work/source.gcode" >/dev/null   # in the page cache, as after slicing
targets=("disk:$work/disk")
mkdir -p "$work/disk"
if [ "$(id -u)" = 0 ] && [ -e /dev/loop-control ] && command -v mkfs.ext2 >/dev/null; then
    truncate -s $((mb * 3))M "$work/card.img"
    mkfs.ext2 -q -F "$work/card.img"
    loop=$(losetup --find --show --direct-io=on "$work/card.img")
    mount=$work/card
    mkdir -p "$mount"
    mount "$loop" "$mount"
    targets+=("loop:$mount")
else
    echo "(not root or no loop devices: the loop-device card is left out)"
fi

echo "Machine before: $(uptime)"
echo "$mb MB G-code, $runs runs per variant, interleaved"
echo
echo "| target | read-back | unchecked s (median, min-max) | checked s (median, min-max) | check adds |"
echo "|---|---|---|---|---|"
for entry in "${targets[@]}"; do
    name=${entry%%:*} folder=${entry#*:}
    unchecked=() checked=() kind=
    for ((i = 0; i < runs; i++)); do
        read -r s _ < <("$bench" save "$work/source.gcode" "$folder/print.gcode" unchecked)
        unchecked+=("$s")
        read -r s kind < <("$bench" save "$work/source.gcode" "$folder/print.gcode" checked)
        checked+=("$s")
        cmp -s "$work/source.gcode" "$folder/print.gcode" || { echo "the saved file differs" >&2; exit 1; }
    done
    python3 - "$name" "$kind" "${unchecked[*]}" "${checked[*]}" <<'PY'
import statistics, sys
name, kind, u, c = sys.argv[1], sys.argv[2], [float(x) for x in sys.argv[3].split()], [float(x) for x in sys.argv[4].split()]
mu, mc = statistics.median(u), statistics.median(c)
print("| %s | %s | %.3f (%.3f-%.3f) | %.3f (%.3f-%.3f) | %+.3f s (%+.0f %%) |" % (
    name, kind, mu, min(u), max(u), mc, min(c), max(c), mc - mu, 100 * (mc - mu) / mu))
PY
done
echo
echo "Machine after: $(uptime)"
