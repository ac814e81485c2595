#!/usr/bin/env bash
# Builds the Debian package of KzVellum with CPack: a release build with
# Debian's hardening flags in build-package/ (or $BUILD_DIR), without the
# tests, packaged for the /usr prefix, then checked by lintian.
#
#   bash tools/package.sh [cmake options...]
#
# Prints the path of the .deb (<build>/package/kzvellum_<version>_<arch>.deb).
# Its dependencies are those of its shared libraries (dpkg-shlibdeps) and
# cura-engine. Install it with: sudo apt install ./kzvellum_<version>_<arch>.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh" >/dev/null
build=${BUILD_DIR:-$root/build-package}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
BUILD_DIR=$build "$root/tools/build.sh" -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_TESTS=OFF \
    -DKZ_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr "$@"
rm -f "$build"/package/*.deb
(cd "$build" && cpack -G DEB -B "$build/package" >/dev/null)
deb=$(ls "$build"/package/*.deb)
# Errors fail the script; warnings are listed.
lintian --fail-on error "$deb" >&2
echo "$deb"
