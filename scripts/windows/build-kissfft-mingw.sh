#!/usr/bin/env bash
# Cross-builds KissFFT 131.1.0 (Debian's source with its patches; float samples) as a Windows DLL with
# Debian's MinGW-w64, into PREFIX: include/kissfft, lib (import library and a relocatable
# lib/pkgconfig/kissfft-float.pc), bin/libkissfft-float.dll and share/licenses/kissfft-COPYING.
# The machine's apt sources need no deb-src line: the source package comes through a source list of
# its own in WORKDIR, made from the Debian archive the machine already installs from.
# usage: build-kissfft-mingw.sh WORKDIR PREFIX      (well under a minute)
set -euo pipefail
work=${1:?workdir}; prefix=${2:?prefix}
here=$(cd "$(dirname "$0")" && pwd)
tc="$here/mingw-toolchain.cmake"
version=131.1.0
debian=131.1.0-4.1~deb12u1
mkdir -p "$work" && cd "$work"
if [ ! -d "kissfft-$version" ]; then
  # The archive the machine takes Debian 12's own packages from, whichever mirror that is (the
  # $(REPO_URI) is apt's own field, filled in by apt).
  mirror=$(apt-get indextargets --format '$(REPO_URI)' "Identifier: Packages" "Target-Of: deb" \
    "Release: bookworm" "Component: main" | head -n 1)
  [ -n "$mirror" ] || { echo "No apt source for Debian 12 (bookworm) main found" >&2; exit 1; }
  apt=$work/apt
  rm -rf "$apt" && mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" >"$apt/sources.list"
  # Everything apt reads or writes for this stays in WORKDIR: the machine's own lists are not touched.
  # The downloads land in WORKDIR, which apt's unprivileged download user may not be able to enter.
  opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=$(id -un)")
  apt-get -q "${opts[@]}" update
  apt-get -q "${opts[@]}" source --download-only "kissfft=$debian"
  # The index of every source package is some 20 MB once unpacked, and of no further use.
  rm -rf "$apt"
  tar xzf "kissfft_$version.orig.tar.gz"
  mkdir -p deb && tar xJf "kissfft_$debian.debian.tar.xz" -C deb
  # The series file also lists patches Debian leaves out, commented.
  (cd "kissfft-$version" && grep -v -e '^#' -e '^[[:space:]]*$' ../deb/debian/patches/series |
    while read -r p; do patch -p1 -s <"../deb/debian/patches/$p"; done)
fi
# KissFFT's CMake sets the install folders only on Unix systems; left empty, the headers would go to
# /kissfft on this machine.
cmake -S "kissfft-$version" -B kissfft-w64 -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="-ffile-prefix-map=$work=/build" \
  -DCMAKE_INSTALL_BINDIR=bin -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include \
  -DKISSFFT_DATATYPE=float -DKISSFFT_STATIC=OFF -DKISSFFT_TEST=OFF -DKISSFFT_TOOLS=OFF -DKISSFFT_OPENMP=OFF
cmake --build kissfft-w64 && cmake --install kissfft-w64
mkdir -p "$prefix/share/licenses"
# COPYING names the licence; the text itself lies in LICENSES/.
cat "kissfft-$version/COPYING" "kissfft-$version/LICENSES/BSD-3-Clause" >"$prefix/share/licenses/kissfft-COPYING"
for f in "$prefix"/bin/*.dll; do x86_64-w64-mingw32-strip --strip-unneeded "$f"; done
sed -i 's#^prefix=.*#prefix=${pcfiledir}/../..#' "$prefix"/lib/pkgconfig/*.pc
