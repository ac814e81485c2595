#!/usr/bin/env bash
# Opening a 1M-facet mesh as 3MF against the same mesh as binary STL (not a test; not run by CI).
#   bench/3mf/run.sh [RUNS] [FACETS]     RUNS per format, default 5; FACETS default 1000000
# Writes a closed sphere as binary STL into bench/data/3mf/ and, from the same
# floats, as 3MF with the program's writer (once), then opens each in a shown
# view (KzGLView::OpenSTLFile, the open dialog's path: read, buffers,
# the instance's box and footprint, placement) under Xvfb with Mesa's software
# renderer, STL and 3MF taking turns run by run so that load on the machine
# hits both alike. Also times the 3MF reader alone and saving the plate both
# ways. The target: a 3MF opens within 3 times the STL's time. Needs python3, xvfb-run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
runs=${1:-5}
facets=${2:-1000000}
data=${BENCH_DATA_DIR:-$root/bench/data}/3mf-$facets

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target kz_3mf_bench >/dev/null
bench=$build/bench/kz_3mf_bench
mkdir -p "$data"
cd "$root"   # Configure/basic.xml for the machine
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="*.debug=false"
run() { xvfb-run -a -s "-screen 0 1280x1024x24" "$bench" "$@"; }
[ -s "$data/sphere.3mf" ] || run generate "$data" "$facets"

exec python3 - "$data" "$runs" <<PY
import os, statistics, subprocess, sys
data, runs = sys.argv[1], int(sys.argv[2])
def run(*args):
    r = subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", "$bench"] + list(args),
                       capture_output=True, text=True)
    if r.returncode != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(args), r.stderr))
    return r.stdout.split()
uptime = lambda: subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
stl, package = os.path.join(data, "sphere.stl"), os.path.join(data, "sphere.3mf")
print("Machine before:", uptime(), "| %d runs per format" % runs)
print("Files: STL %.1f MB, 3MF %.1f MB" % (os.path.getsize(stl) / 1e6, os.path.getsize(package) / 1e6))
opened = {"STL": [], "3MF": []}
for _ in range(runs):
    for name, path in (("STL", stl), ("3MF", package)):
        f = run("open", path)
        opened[name].append((int(f[0]), float(f[1]), float(f[2]), int(f[3])))
reads = [float(run("read", package)[1]) for _ in range(runs)]
saves = {}
for name, out in (("STL", "saved.stl"), ("3MF", "saved.3mf")):
    saves[name] = [run("save", stl, os.path.join(data, out)) for _ in range(max(1, runs // 2))]
med = statistics.median
print()
print("| format | facets | open s (best / median / worst) | open CPU s (median) | RSS growth MB (median) |")
print("|---|---|---|---|---|")
for name, rs in opened.items():
    print("| %s | %d | %.3f / %.3f / %.3f | %.3f | %.0f |" % (name, rs[0][0], min(r[1] for r in rs),
          med(r[1] for r in rs), max(r[1] for r in rs), med(r[2] for r in rs), med(r[3] for r in rs) / 1024))
ratio = med(r[1] for r in opened["3MF"]) / med(r[1] for r in opened["STL"])
print()
print("3MF reader alone (zip check, lib3mf, meshes flattened): best %.3f s, median %.3f s" % (min(reads), med(reads)))
for name, rs in saves.items():
    print("Saving the plate as %s: median %.3f s, %.1f MB" % (name, med(float(r[1]) for r in rs),
          int(rs[0][2]) / 1e6))
print()
print("3MF open / STL open (medians): %.2fx -- target: within 3x: %s" % (ratio, "met" if ratio <= 3 else "NOT met"))
print("Machine after:", uptime())
PY
