#!/usr/bin/env bash
# Installs what is missing, builds, and starts KzVellum from its output folder
# (it finds Configure/ and Engine/ relative to the working directory).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
bin=${BUILD_DIR:-$root/build}/bin
if [ ! -x "$bin/KzVellum" ]; then
    echo "The KzVellum window is not built yet: this checkout holds the core libraries only." >&2
    echo "Run tools/test.sh to build and test what exists." >&2
    exit 1
fi
cd "$bin" && exec ./KzVellum
