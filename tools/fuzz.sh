#!/usr/bin/env bash
# Fuzzes the mesh readers and the G-code layer reader with libFuzzer, ASan and UBSan (clang).
#   tools/fuzz.sh [SECONDS] [TARGET...]     TARGET: binary_stl ascii_stl obj gcode 3mf (default all)
# Each target runs for SECONDS (default 600), one after the other, starting from
# small generated seeds. Long runs are not part of the tests; CI only checks
# that every target builds and runs a few seconds (.ci/run). Build: build-fuzz/
# (or $FUZZ_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_DIR:-$root/build-fuzz}
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(binary_stl ascii_stl obj gcode 3mf)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$out" -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZ_FUZZ=ON >/dev/null
for t in "${targets[@]}"; do
    cmake --build "$out" -j "${JOBS:-2}" --target "kz_fuzz_$t" >/dev/null
done

# Seeds: a few tiny, valid files of each kind.
seeds=$out/fuzz/seeds
mkdir -p "$seeds/binary_stl" "$seeds/ascii_stl" "$seeds/obj" "$seeds/gcode" "$seeds/3mf"
python3 - "$seeds" <<'PY'
import struct, sys
d = sys.argv[1]
def binary(facets, count=None, header=b"fuzz"):
    out = header.ljust(80, b"\0") + struct.pack("<I", len(facets) if count is None else count)
    for f in facets:
        out += struct.pack("<12fH", 0, 0, 1, *[c for v in f for c in v], 0)
    return out
tri = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]
tet = [[(0,0,0),(0,1,0),(1,0,0)], [(0,0,0),(1,0,0),(0,0,1)], [(0,0,0),(0,0,1),(0,1,0)], [(1,0,0),(0,1,0),(0,0,1)]]
open(f"{d}/binary_stl/one", "wb").write(binary([tri]))
open(f"{d}/binary_stl/tetra", "wb").write(binary(tet))
open(f"{d}/binary_stl/short_count", "wb").write(binary(tet, count=9)[:-20])
def ascii(facets):
    s = ""
    for f in facets:
        s += "facet normal 0 0 1\n outer loop\n" + "".join("  vertex %g %g %g\n" % v for v in f) + " endloop\nendfacet\n"
    return (s + "endsolid fuzz\n").encode()
open(f"{d}/ascii_stl/tetra", "wb").write(ascii(tet))
open(f"{d}/ascii_stl/one_crlf", "wb").write(ascii([tri]).replace(b"\n", b"\r\n"))
open(f"{d}/obj/quad", "wb").write(b"v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvn 0 0 1\nvt 0 0\nf 1/1/1 2/1/1 3/1/1 4/1/1\n")
open(f"{d}/obj/plain", "wb").write(b"# tetra\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n")
open(f"{d}/gcode/layers", "wb").write(b";FLAVOR:Marlin\nG28\n;LAYER:0\n;TYPE:SKIRT\nG0 F9000 X1.0 Y1.0 Z0.3\nG1 X2.0 Y1.0 E0.1\n"
    b";TYPE:FILL\nG0 X5.0 Y5.0\nG1 X6.0 Y5.0\nG1 X6.0 Y6.0\n;LAYER:-1\nG0 X1.5 Y2.5 Z0.6\r\n;TYPE:WALL-OUTER\nG1 X3.25 Y4.0\n")
# 3MF: model parts (the target wraps them in a package) and one whole package.
core = 'xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02"'
box = ('<object id="1" type="model"><mesh><vertices><vertex x="0" y="0" z="0"/><vertex x="10" y="0" z="0"/>'
       '<vertex x="0" y="10" z="0"/><vertex x="0" y="0" z="10"/></vertices><triangles><triangle v1="0" v2="2" v3="1"/>'
       '<triangle v1="0" v2="1" v3="3"/><triangle v1="1" v2="2" v3="3"/><triangle v1="0" v2="3" v3="2"/></triangles>'
       '</mesh></object>')
def model(body, unit="millimeter", extra=""):
    return f'<?xml version="1.0" encoding="UTF-8"?>\n<model unit="{unit}" {core}{extra}>{body}</model>\n'.encode()
open(f"{d}/3mf/one", "wb").write(model(f'<resources>{box}</resources><build><item objectid="1"/></build>'))
open(f"{d}/3mf/parts", "wb").write(model(f'<resources>{box}<object id="2" type="model"><components>'
    '<component objectid="1" transform="1 0 0 0 1 0 0 0 1 20 0 0"/><component objectid="1"/></components></object>'
    '</resources><build><item objectid="2" transform="0 1 0 -1 0 0 0 0 2 50 50 0"/><item objectid="1"/></build>', "inch"))
open(f"{d}/3mf/places", "wb").write(model('<metadata name="kzplate:places">100 100 1 0 0 -5 0 1 0 -5 0 0 1 0</metadata>'
    f'<resources>{box}</resources><build><item objectid="1" transform="1 0 0 0 1 0 0 0 1 95 95 0"/></build>',
    extra=' xmlns:kzplate="urn:kzvellum:plate"'))
import io, zipfile
package = io.BytesIO()
with zipfile.ZipFile(package, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/'
               'content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.'
               'relationships+xml"/><Default Extension="model" ContentType="application/vnd.ms-package.'
               '3dmanufacturing-3dmodel+xml"/></Types>')
    z.writestr("_rels/.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/'
               '2006/relationships"><Relationship Target="/3D/3dmodel.model" Id="rel0" Type="http://schemas.microsoft.'
               'com/3dmanufacturing/2013/01/3dmodel"/></Relationships>')
    z.writestr("3D/3dmodel.model", model(f'<resources>{box}</resources><build><item objectid="1"/></build>'))
open(f"{d}/3mf/package", "wb").write(package.getvalue())
open(f"{d}/gcode/utf8", "wb").write(";LAYER:0\n;TYPE:F\u00e9\nG1 \u00e9 X1.0\u00a0Y2.0\nG0 X1.0 Y2.0 Z\u0663.0\n".encode())
PY
printf '%s\n' '"solid"' '"facet normal "' '"outer loop"' '"vertex "' '"endloop"' '"endfacet"' '"endsolid"' \
    '"1e39"' '"nan"' '"\x0a"' > "$seeds/ascii_stl.dict"
printf '%s\n' '"v "' '"vn "' '"vt "' '"f "' '"/"' '"//"' '"-1"' '"\x0a"' '"#"' > "$seeds/obj.dict"
printf '%s\n' '";LAYER:"' '";TYPE:"' '"G0 "' '"G1 "' '" X1.5"' '" Y-2.25"' '" Z0.3"' '"FILL"' '"SKIN"' \
    '"\x0a"' '"\x0d"' '"\xc2\xa0"' '"\xd9\xa3"' '"\xc3\xa9"' > "$seeds/gcode.dict"
printf '%s\n' '"<vertex x=\"1\" y=\"2\" z=\"3\"/>"' '"<triangle v1=\"0\" v2=\"1\" v3=\"2\"/>"' \
    '"<object id=\"2\" type=\"model\">"' '"<components>"' '"<component objectid=\"1\"/>"' '"<item objectid=\"2\"/>"' \
    '" transform=\"1 0 0 0 1 0 0 0 1 0 0 0\""' '" unit=\"inch\""' '"micron"' '"1e9"' '"-0"' '"nan"' \
    '"<metadata name=\"kzplate:places\">"' '"PK\x03\x04"' > "$seeds/3mf.dict"

export QT_NO_GLIB=1   # the plain event dispatcher starts threads far faster
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for t in "${targets[@]}"; do
    corpus=$out/fuzz/corpus/$t
    mkdir -p "$corpus" "$out/fuzz/artifacts/$t"
    dict=()
    [ -f "$seeds/$t.dict" ] && dict=(-dict="$seeds/$t.dict")
    log=$out/fuzz/$t.log
    echo "== $t: ${seconds}s, log $log"
    # Whole stacks for the leak suppressed inside lib3mf (tools/lsan.supp).
    unwind=()
    [ "$t" = 3mf ] && unwind=(env "ASAN_OPTIONS=$ASAN_OPTIONS:fast_unwind_on_malloc=0:malloc_context_size=16")
    if "${unwind[@]}" "$out/fuzz/kz_fuzz_$t" "$corpus" "$seeds/$t" "${dict[@]}" -max_total_time="$seconds" \
        -max_len=8192 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$out/fuzz/artifacts/$t/" >"$log" 2>&1; then
        echo "   ok: $(grep -E '^Done [0-9]+ runs' "$log" || tail -1 "$log")"
    else
        echo "   FAILED: see $log and $out/fuzz/artifacts/$t/"
        status=1
    fi
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|cov: ' "$log" | tail -3 | sed 's/^/   /'
done
exit $status
