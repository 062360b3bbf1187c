#!/usr/bin/env bash
# Runs the cross-built Windows tests of a build folder under Wine (`make test-windows`), in a Wine
# prefix of their own that starts fresh each run, and ends with one line of counts. CTest starts
# each test through the build's wine-run.sh (offscreen, log to a file); the tests that need Linux
# itself are not built for Windows at all.
set -euo pipefail
build=${1:?build folder}
build=$(cd "$build" && pwd)
# Japanese, the language the tests read: Wine takes the interface language from the locale, and
# reads no LANGUAGE (scripts/test-locales.sh makes sure the locale exists).
export LC_ALL=ja_JP.UTF-8
export KORVO_WINEPREFIX=$build/wineprefix
export WINEPREFIX=$KORVO_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
rm -rf "$WINEPREFIX"
# Made once before the tests start, so that parallel tests do not each try to set it up.
wineboot --init >/dev/null 2>&1 </dev/null
# Qt's offscreen platform reads its fonts from this folder (see wine-run.sh); Wine keeps QT_*
# variables of Linux from its programs, so the prefix's own environment carries it.
wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d "Z:$build/fonts" /f >/dev/null 2>&1 </dev/null
# No sound drivers (an empty list): the tests see a system without sound output, whatever the
# machine has, and the sample window's message for it is checked.
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1 </dev/null
wineserver -w
status=0
# Left out: the label offscreen-fonts (tst_textfit), which would measure text with a font engine
# Windows never uses (see tests/CMakeLists.txt).
(cd "$build" && ctest --output-on-failure -j2 -LE offscreen-fonts 2>&1) | tee "$build/test-windows.log" || status=$?
wineserver -k 2>/dev/null || true
summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$build/test-windows.log" | tail -n 1)
run=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
failed=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
left_out=$(cd "$build" && ctest -N -L offscreen-fonts | sed -n 's/^ *Test *#[0-9]*: //p' | tr '\n' ' ')
echo "Windows tests under Wine: $run run, $((run - failed)) passed, $failed failed; left out: ${left_out:-none}" \
    "(text fit with the offscreen font engine), and the linux-only programs, which are not built for Windows"
exit $status
