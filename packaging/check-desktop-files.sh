#!/bin/sh
# Validates the desktop entry and the AppStream metainfo as installed, so a wrong file name or a
# missing icon is caught along with errors in the files themselves. A validator that is not
# installed is skipped with a message (CI installs both through scripts/install-deps.sh).
# Usage: check-desktop-files.sh <build dir> <scratch dir> <program file name>
set -eu
build=$1
root=$2
program=$3

rm -rf "$root"
cmake --install "$build" --prefix "$root/usr" --component desktop >/dev/null

desktop=$(find "$root/usr/share/applications" -name '*.desktop')
metainfo=$(find "$root/usr/share/metainfo" -name '*.metainfo.xml')
if [ -z "$desktop" ] || [ -z "$metainfo" ]; then
    echo "desktop entry or metainfo was not installed" >&2
    exit 1
fi

# Neither validator looks at these two, and either mistake leaves a launcher that does nothing.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "${exec_line%% *}" = "$program" ] || { echo "Exec=$exec_line does not start the program $program" >&2; exit 1; }
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16x16 32x32 48x48 64x64 128x128 256x256; do
    [ -f "$root/usr/share/icons/hicolor/$size/apps/$icon.png" ] || { echo "no $size icon named $icon" >&2; exit 1; }
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || { echo "no scalable icon named $icon" >&2; exit 1; }

if command -v desktop-file-validate >/dev/null; then
    # Some errors ("will be fatal in the future") still exit with 0, so any "error:" line fails.
    out=$(desktop-file-validate "$desktop" 2>&1) || { echo "$out" >&2; exit 1; }
    if [ -n "$out" ]; then echo "$out"; fi
    if echo "$out" | grep -q 'error:'; then exit 1; fi
else
    echo "desktop-file-validate not found (Debian package desktop-file-utils): desktop entry not checked"
fi

if command -v appstreamcli >/dev/null; then
    appstreamcli validate-tree --no-net "$root/usr" || exit 1
else
    echo "appstreamcli not found (Debian package appstream): metainfo not checked"
fi
