#!/usr/bin/env bash
# Installs the Debian packages Korvo needs to build, test and run, but only those that are missing,
# so that `make` on a fresh Debian 12 machine needs nothing installed by hand. With --windows, also
# what the Windows packages are made and tested with (`make windows`, `make test-windows`): the
# MinGW-w64 compilers, Wine, NSIS, icoutils for the icon, Qt's host tools (moc, rcc, uic), and the
# unpackers, patch and the autotools for the Debian sources the audio libraries for Windows are
# built from (scripts/windows/build-audio-tree-mingw.sh). With
# --bench, also what `make bench-tempo` alone needs: the Hydrogen drum kits, fluidsynth and its General MIDI
# sound font for the corpus, and the three tools it compares with (aubio, bpm-tools, soundstretch; sox
# feeds bpm its raw samples).
set -euo pipefail

packages=(
    cmake ninja-build g++ make
    qt6-base-dev qt6-translations-l10n libxcb1-dev
    qt6-tools-dev qt6-l10n-tools
    fonts-ipafont-gothic fonts-liberation2
    fonts-noto-cjk fonts-vlgothic
    qt6-wayland weston
    libbenchmark-dev
    libsndfile1-dev libkissfft-dev pkgconf
    libsoxr-dev libsoundtouch-dev portaudio19-dev
    xvfb xauth
    appstream desktop-file-utils
    clang-format lintian
    python3
)
case "${1:-}" in
--windows) packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine nsis icoutils qt6-base-dev-tools xz-utils bzip2 patch
    autoconf automake libtool) ;;
--bench) packages+=(hydrogen-drumkits fluidsynth fluid-soundfont-gm aubio-tools bpm-tools soundstretch sox) ;;
esac
[ "${KORVO_EXTRA_PACKAGES:-}" ] && read -r -a extra <<<"$KORVO_EXTRA_PACKAGES" && packages+=("${extra[@]}")

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
