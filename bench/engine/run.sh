#!/usr/bin/env bash
# The slicing job following engines that flood their output (not a test; not
# run by CI): one line without a break, short lines, progress lines, of each
# size given in MB (default 1 4 16 64). Reports wall time, peak RSS growth and
# how many progress signals the job sent.
#   bench/engine/run.sh [MB...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target kz_engine_output_bench >/dev/null
QT_LOGGING_RULES="*.debug=false" exec "$build/bench/kz_engine_output_bench" "$@"
