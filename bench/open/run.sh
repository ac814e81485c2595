#!/usr/bin/env bash
# Opening a model: parse + display lists or buffers, then frame time (not a test; not run by CI).
#   bench/open/run.sh [RUNS]      RUNS per variant, default 3; FRAMES (env) per run, default 5
# Writes closed spheres of 200k and 2M facets as binary STL into bench/data/ (once) and
# opens each with an OpenGL context current, under Xvfb with Mesa's software renderer,
# six ways, interleaved run by run so load on the machine hits them alike:
#   per-facet / default  the former program: one begin/end pair per facet, glibc untuned
#   per-facet / tuned    the former compile with the program's allocator settings
#   after-parse / tuned  one begin/end pair per list, compiled after the whole parse
#   arrays    / tuned    each list one glDrawArrays of a normal + vertex array
#   buffers   / default  the current program without them
#   buffers   / tuned    the current program: a buffer object filled for every
#                        10000 facets as they arrive from the reading thread
# and once more without a context (parse-only: what all six share), so that the
# drawing data's own share (open minus parse) shows too.
# Then draws the model like the view does (1024 x 768, 4 samples) and times the frames.
# Every way must leave the same picture (md5 of the last frame). Needs python3, xvfb-run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
data=${BENCH_DATA_DIR:-$root/bench/data}
runs=${1:-3}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target kz_open_bench >/dev/null
bench=$build/bench/kz_open_bench
mkdir -p "$data"
for size in 200k:200000 2M:2000000; do
    [ -s "$data/sphere-${size%%:*}.stl" ] || "$bench" generate "$data/sphere-${size%%:*}.stl" "${size##*:}"
done

export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="*.debug=false"
exec python3 - "$bench" "$data" "$runs" "${FRAMES:-5}" <<'PY'
import statistics, subprocess, sys
bench, data, runs, frames = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
ways = [("parse-only", "tuned"), ("per-facet", "default"), ("per-facet", "tuned"), ("after-parse", "tuned"),
        ("arrays", "tuned"), ("buffers", "default"), ("buffers", "tuned")]

def run(path, way, malloc):
    cmd = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", bench, "open", path, way, malloc, frames]
    r = subprocess.run(cmd, capture_output=True, text=True)
    if r.returncode != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(cmd), r.stderr))
    f = r.stdout.split()
    return dict(facets=int(f[0]), lists=int(f[1]), open=float(f[2]), cpu=float(f[3]), faults=int(f[4]),
                rss=int(f[5]), frame=float(f[6]), frame_max=float(f[7]), md5=f[8])

med = statistics.median
uptime = lambda: subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
print("Machine before:", uptime(), "| %d runs per way, %s frames per run" % (runs, frames))
print()
print("| model | compile / malloc | open s (best / median) | open CPU s (median) | minor faults (median) | "
      "RSS growth MB | frame ms (median of medians / worst) | picture |")
print("|---|---|---|---|---|---|---|---|")
summary = []
for label in ("200k", "2M"):
    path = "%s/sphere-%s.stl" % (data, label)
    results = {w: [] for w in ways}
    for _ in range(runs):
        for w in ways:
            results[w].append(run(path, *w))
    md5s = {r["md5"] for w in ways[1:] for r in results[w]}
    for w in ways:
        rs = results[w]
        print("| %s, %d facets, %d lists or buffers | %s / %s | %.3f / %.3f | %.3f | %d | %.0f | %.0f / %.0f | %s |" % (
            label, rs[0]["facets"], rs[0]["lists"], w[0], w[1], min(r["open"] for r in rs),
            med(r["open"] for r in rs), med(r["cpu"] for r in rs), med(r["faults"] for r in rs),
            med(r["rss"] for r in rs) / 1024, med(r["frame"] for r in rs), max(r["frame_max"] for r in rs),
            rs[0]["md5"][:8]))
    old, new = results[("per-facet", "default")], results[("buffers", "tuned")]
    # The parse swings between runs (huge pages are not always at hand), so the
    # lists' own share is taken from the best runs.
    parse = min(r["open"] for r in results[ways[0]])
    o, n = med(r["open"] for r in old), med(r["open"] for r in new)
    lists_old, lists_new = min(r["open"] for r in old) - parse, min(r["open"] for r in new) - parse
    # Filled while the file is read, the buffers may take no time of their own.
    own_new = "%.3f s" % lists_new if lists_new > 0.005 else "none beyond the parse"
    summary.append("%s: open %.2fx faster (median %.3f s -> %.3f s, CPU %.3f s -> %.3f s); drawing data alone "
                   "(best open - best parse %.3f s) %.3f s -> %s; frame %.0f ms -> %.0f ms; "
                   "same picture every way: %s" % (
        label, o / n, o, n, med(r["cpu"] for r in old), med(r["cpu"] for r in new), parse, lists_old, own_new,
        med(r["frame"] for r in old), med(r["frame"] for r in new), "yes" if len(md5s) == 1 else "NO"))
print()
print("Former program (per-facet / default) against the current one (buffers / tuned):")
for line in summary:
    print("  " + line)
print()
print("open: KzModel3D::LoadSTLFile plus the display lists or buffers, up to glFinish, timed inside the process;")
print("CPU s and minor faults of that open from getrusage; RSS growth over it; picture: md5 of the last frame.")
print("Machine after:", uptime())
PY
