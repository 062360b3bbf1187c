#!/usr/bin/env bash
# Starts Korvo, or says plainly why it cannot: a desktop program needs a display.
set -eu
binary=$1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "korvo: no display found (DISPLAY is not set); to run it without a screen use: xvfb-run -a $binary" >&2
    exit 1
fi
exec "$binary"
