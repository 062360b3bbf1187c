#!/bin/sh
# Builds the Debian package from a finished build and runs Debian's own checker on it. Any error or
# warning fails; lintian's notes below warning level are only printed. Lintian must be installed
# (scripts/install-deps.sh installs it): a package that was never checked is not a pass.
# Usage: check-package.sh <build dir> <scratch dir>
set -eu
build=$1
scratch=$2

command -v lintian >/dev/null || { echo "lintian not found (Debian package lintian)" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"
# A folder of its own, so this never touches the package `make package` leaves in the build folder.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; exit 1; }
set -- "$scratch"/*.deb
[ -f "$1" ] || { echo "cpack made no package" >&2; cat "$scratch/cpack.log" >&2; exit 1; }

echo "lintian $(basename "$1"):"
status=0
lintian --fail-on error,warning "$1" || status=$?
exit $status
