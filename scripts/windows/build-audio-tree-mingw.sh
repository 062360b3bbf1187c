#!/usr/bin/env bash
# Cross-builds every audio library a Windows build of Korvo uses, or will use, as DLLs with Debian's
# MinGW-w64 (posix threads), from Debian 12's source packages with their patches, into PREFIX:
# - the codecs: libogg, libvorbis, libFLAC, libopus, libmpg123 and LAME's libmp3lame;
# - libsndfile 1.2.0 with them: FLAC, Ogg Vorbis, Opus and MP3 besides its built-in formats;
# - SoundTouch 2.3.2 (floating-point samples) and KissFFT 131.1.0 (float);
# - PortAudio 19.6.0 (WMME and WASAPI) and libsoxr 0.1.3, for the audio module.
# Headers in include/, DLLs in bin/, import libraries and relocatable pkg-config files in lib/,
# each library's licence text in share/licenses/.
# The machine's apt sources need no deb-src line: the source packages come through a source list of
# the recipe's own in WORKDIR, made from the Debian archive the machine already installs from.
# usage: build-audio-tree-mingw.sh WORKDIR PREFIX      (about 5 minutes on two cores)
set -euo pipefail
work=${1:?workdir}; prefix=${2:?prefix}
mkdir -p "$work" "$prefix"
work=$(cd "$work" && pwd); prefix=$(cd "$prefix" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
host=x86_64-w64-mingw32
jobs=$(nproc)

# Debian 12's source packages, pinned, each with the folder it is unpacked into.
packages=(
    "libogg 1.3.5-3"
    "libvorbis 1.3.7-1"
    "flac 1.4.2+ds-2"
    "opus 1.3.1-3"
    "mpg123 1.31.2-1+deb12u1"
    "lame 3.100-6"
    "libsndfile 1.2.0-1+deb12u1"
    "soundtouch 2.3.2+ds1-1"
    "kissfft 131.1.0-4.1~deb12u1"
    "portaudio19 19.6.0-1.2"
    "libsoxr 0.1.3-4"
)
cd "$work"

missing=()
for entry in "${packages[@]}"; do
    read -r name version <<<"$entry"
    [ -d "$name" ] || missing+=("$name=$version")
done
if [ ${#missing[@]} -gt 0 ]; then
    # The archive the machine takes Debian 12's own packages from, whichever mirror that is (the
    # $(REPO_URI) is apt's own field, filled in by apt).
    mirror=$(apt-get indextargets --format '$(REPO_URI)' "Identifier: Packages" "Target-Of: deb" \
        "Release: bookworm" "Component: main" | head -n 1)
    [ -n "$mirror" ] || { echo "No apt source for Debian 12 (bookworm) main found" >&2; exit 1; }
    apt=$work/apt
    rm -rf "$apt" && mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" >"$apt/sources.list"
    # Everything apt reads or writes for this stays in WORKDIR: the machine's own lists are not
    # touched. The downloads land in WORKDIR, which apt's unprivileged download user may not be able
    # to enter.
    opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=$(id -un)")
    apt-get -q "${opts[@]}" update
    # Each file as the signed index lists it, checked against its SHA-256 there. Upstream's own
    # signatures (*.asc) are left out: some mirrors do not carry them, and they add nothing to that
    # check.
    apt-get -q "${opts[@]}" source --print-uris "${missing[@]}" |
        sed -n "s/^'\([^']*\)' \([^ ]*\) [0-9]* \(SHA256:[0-9a-f]*\)$/\1 \2 \3/p" |
        while read -r uri file sum; do
            case $file in *.asc) continue ;; esac
            [ -f "$file" ] || /usr/lib/apt/apt-helper "${opts[@]}" download-file "$uri" "$file" "$sum"
        done
    # The index of every source package is some 20 MB once unpacked, and of no further use.
    rm -rf "$apt"
    for package in "${missing[@]}"; do
        name=${package%%=*}; version=${package#*=}
        rm -rf "$name.new" && mkdir "$name.new"
        tar xf "$(ls "${name}_${version%-*}".orig.tar.*)" -C "$name.new" --strip-components=1
        tar xJf "${name}_$version.debian.tar.xz" -C "$name.new"
        # The series file also lists patches Debian leaves out, commented. This program's own
        # patches, named for the source package, come after Debian's.
        if [ -f "$name.new/debian/patches/series" ]; then
            (cd "$name.new" && grep -v -e '^#' -e '^[[:space:]]*$' debian/patches/series |
                while read -r p _; do patch -p1 -s <"debian/patches/$p"; done)
        fi
        for p in "$here/patches/$name"-*.patch; do
            [ ! -f "$p" ] || patch -d "$name.new" -p1 -s <"$p"
        done
        mv "$name.new" "$name"
    done
fi

# The MinGW tool chain, also searching PREFIX: each library finds those built before it there
# (CMake looks for them only inside its root paths when cross-building).
tc=$work/tree-toolchain.cmake
printf 'include(%s)\nlist(PREPEND CMAKE_FIND_ROOT_PATH %s)\n' "$here/mingw-toolchain.cmake" "$prefix" >"$tc"
# pkg-config sees the tree's own files only, never the machine's.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
flags="-ffile-prefix-map=$work=/build"

with_cmake() { # source folder, CMake options
    local source=$1; shift
    cmake -S "$source" -B "build-$source" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_FLAGS="$flags" \
        -DCMAKE_CXX_FLAGS="$flags" -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF "$@"
    cmake --build "build-$source" && cmake --install "build-$source"
}
# Where Debian's patches change the build files, those are made anew first, as Debian's own build
# does. pkg-config is named: the one for MinGW would look into the MinGW system's folders instead.
with_configure() { # source folder, configure options
    local source=$1; shift
    if [ ! -f "$source/.korvo-autoreconf" ] &&
        grep -q -E '^\+\+\+ [^[:space:]]*(configure\.(ac|in)|Makefile\.am)' "$source"/debian/patches/*; then
        (cd "$source" && { autoreconf -fi >autoreconf.log 2>&1 || { cat autoreconf.log >&2; exit 1; }; } && touch .korvo-autoreconf)
    fi
    mkdir -p "build-$source"
    (cd "build-$source" && "../$source/configure" --host=$host --prefix="$prefix" --enable-shared \
        --disable-static CC=$host-gcc-posix CFLAGS="-O2 $flags" PKG_CONFIG=pkg-config "$@")
}

# libogg's CMake build names its DLL libogg.dll but links others against ogg.dll.
with_configure libogg
make -C build-libogg -j"$jobs" && make -C build-libogg install
# Its CMake build links with definition files GNU ld rejects (a LIBRARY line without a name).
with_configure libvorbis --disable-docs --disable-examples
make -C build-libvorbis -j"$jobs" && make -C build-libvorbis install
with_cmake flac -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF -DBUILD_CXXLIBS=OFF \
    -DINSTALL_MANPAGES=OFF -DWITH_OGG=ON
# Its release lacks a file its CMake build includes. Fortified sources would need MinGW's
# libssp-0.dll beside the library.
with_configure opus --disable-doc --disable-extra-programs CPPFLAGS=-D_FORTIFY_SOURCE=0
make -C build-opus -j"$jobs" && make -C build-opus install

# mpg123's source also holds its player and output libraries: the decoding library alone is built.
with_configure mpg123 --with-cpu=x86-64 --disable-modules --disable-network
make -C build-mpg123 -j"$jobs" src/libmpg123/libmpg123.la libmpg123.pc
make -C build-mpg123 install-libLTLIBRARIES install-includeHEADERS install-nodist_includeHEADERS \
    install-pkgconfigDATA lib_LTLIBRARIES=src/libmpg123/libmpg123.la include_HEADERS=src/libmpg123/fmt123.h \
    nodist_include_HEADERS=src/libmpg123/mpg123.h pkgconfig_DATA=libmpg123.pc

# LAME: the encoding library without its program. Its symbol list names a function 3.100 no longer
# has, which fails the DLL's link.
sed -i '/^lame_init_old$/d' lame/include/libmp3lame.sym
with_configure lame --disable-frontend
make -C build-lame -j"$jobs" && make -C build-lame install

# libsndfile turns the Xiph codecs on only when it finds all of Ogg, Vorbis, FLAC and Opus, and
# MPEG only with both LAME and mpg123; either silently left off would leave FLAC, Ogg, Opus or MP3
# unread. Its configuration states what it turned on.
with_cmake libsndfile -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=ON \
    -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF -DBUILD_REGTEST=OFF
for feature in HAVE_EXTERNAL_XIPH_LIBS HAVE_MPEG; do
    grep -q "^#define $feature 1" build-libsndfile/src/config.h ||
        { echo "libsndfile was configured without $feature: a codec library was not found" >&2; exit 1; }
done

with_cmake soundtouch -DSOUNDSTRETCH=OFF -DSOUNDTOUCH_DLL=OFF
# KissFFT's CMake sets the install folders only on Unix systems; left empty, the headers would go to
# /kissfft on this machine.
with_cmake kissfft -DCMAKE_INSTALL_BINDIR=bin -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include \
    -DKISSFFT_DATATYPE=float -DKISSFFT_STATIC=OFF -DKISSFFT_TEST=OFF -DKISSFFT_TOOLS=OFF -DKISSFFT_OPENMP=OFF

# PortAudio with WASAPI as well as WMME (see patches/portaudio19-wasapi-mingw.patch). It installs
# the DLL among the import libraries.
with_cmake portaudio19 -DPA_USE_WMME=ON -DPA_USE_WASAPI=ON -DPA_USE_WDMKS=OFF -DPA_USE_DS=OFF -DPA_USE_ASIO=OFF
mv "$prefix/lib/libportaudio.dll" "$prefix/bin/"
with_cmake libsoxr -DBUILD_EXAMPLES=OFF -DWITH_OPENMP=OFF -DWITH_LSR_BINDINGS=OFF -DDOC_INSTALL_DIR=share/doc/libsoxr

mkdir -p "$prefix/share/licenses"
licence() { # name, files from its source that make up its licence text
    local name=$1; shift
    cat "$@" >"$prefix/share/licenses/$name-COPYING"
}
licence libogg libogg/COPYING
licence libvorbis libvorbis/COPYING
licence flac flac/COPYING.Xiph
licence opus opus/COPYING
licence mpg123 mpg123/COPYING
licence lame lame/COPYING
licence libsndfile libsndfile/COPYING
licence soundtouch soundtouch/COPYING.TXT
# COPYING names the licence; the text itself lies in LICENSES/.
licence kissfft kissfft/COPYING kissfft/LICENSES/BSD-3-Clause
licence portaudio portaudio19/LICENSE.txt
licence libsoxr libsoxr/LICENCE libsoxr/COPYING.LGPL

# What nothing here needs: documentation, autoconf macros, libtool's archives (which hold this
# machine's paths).
rm -rf "$prefix/share/doc" "$prefix/share/man" "$prefix/share/aclocal" "$prefix"/lib/*.la
for f in "$prefix"/bin/*.dll; do $host-strip --strip-unneeded "$f"; done
# The pkg-config files hold the tree's path; relative to where they lie, the tree unpacks anywhere.
for pc in "$prefix"/lib/pkgconfig/*.pc; do
    grep -q '^prefix=' "$pc" || sed -i '1i prefix=' "$pc"
    sed -i -e 's#^prefix=.*#prefix=${pcfiledir}/../..#' -e "s#$prefix#\${prefix}#g" "$pc"
done
