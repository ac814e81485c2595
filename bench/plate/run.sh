#!/usr/bin/env bash
# Big models and full plates, in one run (not a test; not run by CI):
#   1. the first picture of a 2M-facet binary STL (a closed sphere) in the
#      program's view, 1024 x 768, against Debian's f3d viewer rendering the
#      same file at the same size (installed here when missing): from the
#      start of each process to its picture, and peak memory, run after run,
#      interleaved; ours also to its full (multisampled) picture, and where the
#      time and the memory go;
#   2. frames of that model at rest against frames while the camera turns,
#      and when the full picture comes back after the drag;
#   3. opening 10, 50 and 200 copies of a small gear, one after another;
#   4. the layer preview of the 108 MB G-code of bench/gcode (bench/layers/run.sh):
#      frames at rest against frames while turning, and its memory per point.
# Under one Xvfb with Mesa's software renderer. Prints `uptime` before and after.
#   bench/plate/run.sh [RUNS]     RUNS of each first picture, default 3; FRAMES (env), default 10
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
data=${BENCH_DATA_DIR:-$root/bench/data}
runs=${1:-3}

if ! command -v f3d >/dev/null; then
    echo "installing f3d (Debian's 3D viewer) to compare with"
    sudo=(); [ "$(id -u)" = 0 ] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends f3d >/dev/null
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target kz_plate_bench >/dev/null
bench=$build/bench/kz_plate_bench
mkdir -p "$data"
[ -s "$data/plate-sphere-2M.stl" ] || "$bench" sphere "$data/plate-sphere-2M.stl" 2000000
[ -s "$data/plate-gear.stl" ] || "$bench" gear "$data/plate-gear.stl"

export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="*.debug=false"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The view's temporary files go to a scratch folder, not the user's.
export HOME=$scratch XDG_DATA_HOME=$scratch/.local/share XDG_RUNTIME_DIR=$scratch/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
xvfb-run -a -s "-screen 0 1280x1024x24" python3 - "$bench" "$data" "$runs" "${FRAMES:-10}" "$scratch" <<'PY'
import statistics, subprocess, sys, time
bench, data, runs, frames, scratch = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
sphere, gear = data + "/plate-sphere-2M.stl", data + "/plate-gear.stl"
uptime = lambda: subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
med = statistics.median

def timed(cmd):
    """stdout, wall seconds and peak RSS (MB) of a whole process, by GNU time."""
    r = subprocess.run(["/usr/bin/time", "-f", "%e %M", "-o", scratch + "/time"] + cmd, capture_output=True, text=True)
    if r.returncode != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(cmd), r.stderr))
    sec, kb = open(scratch + "/time").read().split()[-2:]
    return r.stdout, float(sec), int(kb) / 1024

print("Machine before:", uptime())
print()
print("1. First picture of a 2M-facet binary STL (%d runs each, interleaved)" % runs)
ours, f3d = [], []
for _ in range(runs):
    start = time.time()
    out, wall, peak = timed([bench, "first", sphere])
    v = [float(x) for x in out.split()]
    ours.append(dict(wall=wall, peak=peak, window=v[0], open=v[1], frame=v[2], total=v[3], rss_window=v[5],
                     rss_open=v[6], rss_frame=v[7], quick=v[8], full_frame=v[9], full_total=v[10], rss_full=v[11],
                     first=v[12] - start, full=v[13] - start))
    _, wall, peak = timed(["f3d", "--quiet", "--resolution=1024,768", "--output=" + scratch + "/f3d.png", sphere])
    f3d.append(dict(wall=wall, peak=peak))
m = lambda rs, k: med(r[k] for r in rs)
span = lambda rs, k: "%.2f (%.2f-%.2f)" % (m(rs, k), min(r[k] for r in rs), max(r[k] for r in rs))
print("| program | first picture, s from the process's start (median, min-max) | peak RSS MB (median) |")
print("|---|---|---|")
print("| KzVellum view | %s | %.0f |" % (span(ours, "first"), m(ours, "peak")))
print("| f3d --output (its whole process) | %s | %.0f |" % (span(f3d, "wall"), m(f3d, "peak")))
print("ours: the first picture %s (the whole mesh); the full picture (multisampled) %s s "
      "from the process's start, drawn in %.2f s"
      % ("without multisampling" if all(r["quick"] for r in ours) else "multisampled", span(ours, "full"),
         m(ours, "full_frame")))
print("ours inside the process (medians): window up %.2f s, open (read + buffers + placement) %.2f s, "
      "first frame %.2f s, main() to the end of that frame %.2f s"
      % (m(ours, "window"), m(ours, "open"), m(ours, "frame"), m(ours, "total")))
print("ours resident (medians): empty view %.0f MB, after the open %.0f MB, after the first frame %.0f MB, "
      "after the full picture %.0f MB" % (m(ours, "rss_window"), m(ours, "rss_open"), m(ours, "rss_frame"),
                                           m(ours, "rss_full")))
print("(f3d's time includes writing its PNG and its exit; ours is taken when the frame is finished.)")
print()
print("2. Frames of the 2M-facet model, 1024 x 768, paintGL up to glFinish (medians of %s frames)" % frames)
out, _, _ = timed([bench, "turn", sphere, frames])
rest, turning, worst, settled, delay, instance, fast, full = out.split()
print("at rest %s ms, while turning %s ms (%.2f of rest; slowest turning frame %s ms: the first ones, before the coarse"
      " form is there); full picture again %s ms after the release, drawn in %s ms"
      % (rest, turning, float(turning) / float(rest), worst, delay, settled))
print("one more instance of the open 2M-facet mesh: %s ms; its footprint from all 6M corners: %s ms now (once per"
      " mesh, on the reading thread), %s ms the former way (once per instance)" % (instance, fast, full))
print()
print("3. Opening copies of a small gear one after another (no window; medians of 7 processes)")
totals, lasts = {}, {}
for _ in range(7):
    out, _, _ = timed([bench, "copies", gear, "10", "50", "200"])
    for n, total, last in (l.split() for l in out.strip().splitlines()):
        totals.setdefault(int(n), []).append(float(total))
        lasts.setdefault(int(n), []).append(float(last))
print("| copies | total s (median, min-max) | last copy ms (median) |")
print("|---|---|---|")
for n in sorted(totals):
    print("| %d | %.4f (%.4f-%.4f) | %.3f |" % (n, med(totals[n]), min(totals[n]), max(totals[n]), med(lasts[n])))
print("200 copies take %.1fx the time of 50" % (med(totals[200]) / med(totals[50])))
print()
print("Machine after:", uptime())
PY
echo
echo "4. The layer preview of a large G-code"
if [ -s "$data/sphere190.gcode" ]; then
    BENCH_BUILD_DIR=$build bash "$root/bench/layers/run.sh" "$data/sphere190.gcode"
else
    echo "no $data/sphere190.gcode: run bench/gcode/run.sh once to make it"
fi
