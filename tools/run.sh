#!/usr/bin/env bash
# Installs what is missing, builds, and starts KzVellum from the build tree
# (it finds Configure/, Engine/ and Help/ beside itself). Arguments go to the
# program: model files to open, --help, --version.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
bin=${BUILD_DIR:-$root/build}/bin
if [ ! -x "$bin/kzvellum" ]; then
    echo "run: the build did not produce $bin/kzvellum" >&2
    exit 1
fi
# Options (--help, --version) need no display; the window does.
if [[ "${1:-}" != -* ]] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display to open the window on." >&2
    echo "     Without one, 'bash tools/screenshot.sh' saves a picture of the window instead." >&2
    exit 1
fi
exec "$bin/kzvellum" "$@"
