#!/usr/bin/env bash
# Installs what is missing, builds, and starts KzVellum from its output folder
# (it finds Configure/ and Engine/ relative to the working directory).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
bin=${BUILD_DIR:-$root/build}/bin
if [ ! -x "$bin/KzVellum" ]; then
    echo "run: the build did not produce $bin/KzVellum" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display to open the window on." >&2
    echo "     Without one, 'bash tools/screenshot.sh' saves a picture of the window instead." >&2
    exit 1
fi
cd "$bin" && exec ./KzVellum
