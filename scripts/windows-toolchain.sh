#!/usr/bin/env bash
# Provides the libraries a Windows build of Korvo is made with, in a cache folder, and prints their
# folders on its last three lines, in this order (`make windows` configures with them):
# - Qt 6.4.2 (qtbase) cross-built for 64-bit Windows with Debian's MinGW-w64;
# - libsndfile for Windows, which decodes a sample (found through the tree's lib/pkgconfig);
# - KissFFT for Windows, the transform a sample's tempo is estimated with (likewise).
# Qt and libsndfile come from the archives in ../shared/toolchains beside the clone (or
# KORVO_TOOLCHAINS), each checked against the checksum recorded here before it is unpacked. Without
# them the same trees are built from Debian's source packages with the recipes in scripts/windows/:
# Qt takes about an hour on two cores. KissFFT has no archive: its recipe takes seconds, so it is
# always built here (once; the cache keeps it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archives=${KORVO_TOOLCHAINS:-$root/../shared/toolchains}
cache=${KORVO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvo}
mkdir -p "$cache"

# name, its archive's sha256 ("-": none, always built), the recipe that builds it
trees=(
    "qt-6.4.2-win64-mingw 83c9cf00e3260030acb5fa55df68245dbc0e86f2a89d1a8f536af8d140893955 build-qt-mingw.sh"
    "sndfile-1.2.0-soundtouch-2.3.2-win64-mingw ae3d3aa8a57f05620896b1dc012b25c51d4e1fcd8f9030fdfe1a1608a94e5bbf build-audio-mingw.sh"
    "kissfft-131.1.0-win64-mingw - build-kissfft-mingw.sh"
)

for entry in "${trees[@]}"; do
    read -r name sum recipe <<<"$entry"
    tree=$cache/$name
    stamp=$tree/.korvo-unpacked
    # Unpacked from this very archive, or built here from source: nothing to do.
    if [ -f "$stamp" ] && { [ "$(cat "$stamp")" = "$sum" ] || [ "$(cat "$stamp")" = built ]; }; then
        continue
    fi
    archive=$archives/$name.tar.xz
    rm -rf "$tree"
    if [ "$sum" != - ] && [ -f "$archive" ]; then
        echo "Checking and unpacking $archive into $cache" >&2
        echo "$sum  $archive" | sha256sum -c --quiet - >&2
        tar -xJf "$archive" -C "$cache"
        [ -d "$tree" ] || { echo "$archive did not hold $name/" >&2; exit 1; }
        echo "$sum" >"$stamp"
    else
        case $recipe in
        build-kissfft-mingw.sh) echo "Building $name from Debian's source; this takes seconds." >&2 ;;
        build-qt-mingw.sh) echo "No $archive: building $name from Debian's source; this takes about an hour on two cores." >&2 ;;
        *) echo "No $archive: building $name from Debian's source; this takes a few minutes." >&2 ;;
        esac
        "$root/scripts/windows/$recipe" "$cache/work-$name" "$tree" >&2
        echo "built" >"$stamp"
    fi
done
for entry in "${trees[@]}"; do
    read -r name _ <<<"$entry"
    echo "$cache/$name"
done
