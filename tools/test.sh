#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless under Xvfb.
# KZ_SANITIZE=ON builds into build-asan/ with AddressSanitizer and UBSan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
if [ "${KZ_SANITIZE:-OFF}" = ON ]; then
    export BUILD_DIR=${BUILD_DIR:-$root/build-asan}
    "$root/tools/build.sh" -DKZ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
else
    "$root/tools/build.sh"
fi
cd "${BUILD_DIR:-$root/build}"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "${JOBS:-$(nproc)}"
