#!/usr/bin/env bash
# Mesh loading benchmark (not a test; not run by CI).
#   bench/mesh/run.sh [RUNS]      RUNS per measurement, default 3; best and median are shown
# Generates a 2M-facet binary STL, a 500k-facet ASCII STL and a 1M-face OBJ in
# bench/data/ (once), then loads each with KzModel3D (without an OpenGL context,
# and under Xvfb with one, so the buffers are filled), with `assimp info`
# (default post-processing, and -r raw import; package assimp-utils, optional)
# and with `cat FILE > /dev/null` as the floor. Needs python3, xvfb-run and GNU time.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
data=${BENCH_DATA_DIR:-$root/bench/data}
runs=${1:-3}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target kz_mesh_bench >/dev/null
bench=$build/bench/kz_mesh_bench
mkdir -p "$data"
[ -s "$data/mesh.obj" ] || "$bench" generate "$data"

exec python3 - "$bench" "$data" "$runs" <<'PY'
import os, shutil, statistics, subprocess, sys
bench, data, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
files = [("binary STL, 2M facets", "binary.stl"), ("ASCII STL, 500k facets", "ascii.stl"), ("OBJ, 1M faces", "mesh.obj")]
have_assimp = shutil.which("assimp") is not None
env = dict(os.environ, QT_LOGGING_RULES="*.debug=false")

def timed(cmd, **kw):
    """Wall seconds and peak RSS (kB) of a whole process, by GNU time."""
    r = subprocess.run(["/usr/bin/time", "-f", "%e %M"] + cmd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True, env=env, **kw)
    if r.returncode != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(cmd), r.stderr))
    sec, kb = r.stderr.strip().splitlines()[-1].split()
    return float(sec), int(kb)

def ours(path, gl):
    cmd = [bench, "load", path] + (["--gl"] if gl else [])
    if gl:
        cmd = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"] + cmd
    r = subprocess.run(cmd, capture_output=True, text=True, env=env)
    if r.returncode != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(cmd), r.stderr))
    sec, facets, before, peak, cpu = r.stdout.split()
    return float(sec), int(facets), int(before), int(peak), float(cpu)

def best_median(values):
    return min(values), statistics.median(values)

uptime = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
print("Machine:", uptime, "| %d cores | %d runs each" % (os.cpu_count(), runs))
print()
print("| file | MB | cat s | ours s (best / median) | ours MB/s (best) | ours CPU s (best) | "
      "ours + buffers s | assimp info s | assimp info -r s | our load memory / triangles | assimp peak MB |")
print("|---|---|---|---|---|---|---|---|---|---|---|")
for label, name in files:
    path = os.path.join(data, name)
    mb = os.path.getsize(path) / 1e6
    with open(path, "rb") as f:  # warm the page cache
        while f.read(1 << 24):
            pass
    cat = best_median([timed(["sh", "-c", 'cat "$0" > /dev/null', path])[0] for _ in range(runs)])
    plain = [ours(path, False) for _ in range(runs)]
    t = best_median([p[0] for p in plain])
    cpu = min(p[4] for p in plain)
    facets = plain[0][1]
    growth = min(p[3] - p[2] for p in plain) * 1024 / (facets * 48.0)
    gl = best_median([ours(path, True)[0] for _ in range(runs)])
    a = ar = ("n/a",)
    apeak = "n/a"
    if have_assimp:
        am = [timed(["assimp", "info", path]) for _ in range(runs)]
        a = best_median([x[0] for x in am])
        ar = best_median([timed(["assimp", "info", path, "-r"])[0] for _ in range(runs)])
        apeak = "%.0f" % (min(x[1] for x in am) / 1024)
    fmt = lambda bm: bm[0] if isinstance(bm[0], str) else "%.3f / %.3f" % bm
    print("| %s | %.1f | %.3f | %s | %.0f | %.3f | %s | %s | %s | %.2f x | %s |" % (
        label, mb, cat[0], fmt(t), mb / t[0], cpu, fmt(gl), fmt(a), fmt(ar), growth, apeak))
print()
print("ours: KzModel3D::LoadSTLFile to a complete model, timed inside the process; CPU s: user + system")
print("time of that load (less sensitive to other work on the machine than wall time).")
print("load memory: peak RSS minus RSS before the load, over the triangles' own size (facets x 48 bytes).")
print("assimp, cat: whole process wall time (GNU time); assimp's start-up is included.")
print("Machine after:", subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip())
PY
