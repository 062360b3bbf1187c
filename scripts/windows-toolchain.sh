#!/usr/bin/env bash
# Provides the libraries a Windows build of Korvo is made with, in a cache folder, and prints their
# folders on its last two lines, in this order (`make windows` configures with them):
# - Qt 6.4.2 (qtbase) cross-built for 64-bit Windows with Debian's MinGW-w64;
# - the audio libraries for Windows: libsndfile with its codecs (FLAC, Ogg Vorbis, Opus, MP3), which
#   decodes a sample, KissFFT, the transform a sample's tempo is estimated with, and the others of
#   scripts/windows/build-audio-tree-mingw.sh (all found through the tree's lib/pkgconfig).
# Qt comes from the archive in ../shared/toolchains beside the clone (or KORVO_TOOLCHAINS), checked
# against the checksum recorded here before it is unpacked; without it the same tree is built from
# Debian's source package with the recipe in scripts/windows/, which takes about an hour on two
# cores. The audio tree has no archive: it is always built here, from Debian's source packages, once
# for each version of its recipe (the cache keeps it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archives=${KORVO_TOOLCHAINS:-$root/../shared/toolchains}
cache=${KORVO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvo}
mkdir -p "$cache"

# name, its archive's sha256 ("-": none, always built), the recipe that builds it
trees=(
    "qt-6.4.2-win64-mingw 83c9cf00e3260030acb5fa55df68245dbc0e86f2a89d1a8f536af8d140893955 build-qt-mingw.sh"
    "audio-deb12-win64-mingw - build-audio-tree-mingw.sh"
)

for entry in "${trees[@]}"; do
    read -r name sum recipe <<<"$entry"
    tree=$cache/$name
    stamp=$tree/.korvo-unpacked
    # The recipes, their patches and the tool chain they build with.
    built="built $(cat "$root/scripts/windows/$recipe" "$root"/scripts/windows/patches/* \
        "$root/scripts/windows/mingw-toolchain.cmake" | sha256sum | cut -d ' ' -f 1)"
    # Unpacked from this very archive, or built here by this very recipe: nothing to do.
    if [ -f "$stamp" ] && { [ "$(cat "$stamp")" = "$sum" ] || [ "$(cat "$stamp")" = "$built" ]; }; then
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
        build-qt-mingw.sh) echo "No $archive: building $name from Debian's source; this takes about an hour on two cores." >&2 ;;
        *) echo "Building $name from Debian's source packages; this takes about 5 minutes on two cores, once." >&2 ;;
        esac
        # From fresh sources, so that nothing an earlier recipe left behind goes into the tree.
        rm -rf "$cache/work-$name"
        "$root/scripts/windows/$recipe" "$cache/work-$name" "$tree" >&2
        echo "$built" >"$stamp"
    fi
done
for entry in "${trees[@]}"; do
    read -r name _ <<<"$entry"
    echo "$cache/$name"
done
