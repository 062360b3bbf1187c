#!/usr/bin/env bash
# Korvo on a Wayland desktop with no X server behind it (weston's headless backend): the main
# window must appear, and SIGTERM must save the settings and end the program with status 0.
#   wayland_start.sh KORVO_EXECUTABLE
# Exits with 77, which CTest reports as skipped, when weston is not installed.
set -u
program=$1
if ! command -v weston >/dev/null; then
    echo "skipped: weston is not installed (Debian package weston; scripts/install-deps.sh installs it)"
    exit 77
fi

tmp=$(mktemp -d)
wpid=""
kpid=""
finish() {
    [ -n "$kpid" ] && kill -KILL "$kpid" 2>/dev/null
    [ -n "$wpid" ] && kill "$wpid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap finish EXIT
fail() {
    echo "FAIL: $*"
    echo "--- weston:"; tail -n 20 "$tmp/weston.log"
    echo "--- korvo (last lines):"; tail -n 20 "$tmp/korvo.log"
    exit 1
}

export XDG_RUNTIME_DIR="$tmp/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY QT_QPA_PLATFORM
weston --backend=headless-backend.so --socket=korvo-test --idle-time=0 >"$tmp/weston.log" 2>&1 &
wpid=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/korvo-test" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/korvo-test" ] || fail "weston did not start"

# A copy of the program in a folder of its own keeps its settings there. The Wayland protocol log
# shows what the program asks of the compositor.
mkdir "$tmp/bin"
cp "$program" "$tmp/bin/korvo"
WAYLAND_DISPLAY=korvo-test XDG_SESSION_TYPE=wayland XDG_CONFIG_HOME="$tmp/config" WAYLAND_DEBUG=client \
    "$tmp/bin/korvo" >"$tmp/korvo.log" 2>&1 &
kpid=$!

# Shown: a top-level surface with the main window's title has had a picture attached and committed.
shown() {
    grep -q 'xdg_toplevel@[0-9]*\.set_title("Korvo Main")' "$tmp/korvo.log" &&
        grep -q 'wl_surface@[0-9]*\.attach(wl_buffer@' "$tmp/korvo.log"
}
for _ in $(seq 200); do
    shown && break
    kill -0 "$kpid" 2>/dev/null || fail "the program ended before showing its window"
    sleep 0.1
done
shown || fail "no window within 20 seconds"
# The signal is caught once the main window exists; give the event loop a moment to settle.
sleep 0.5
kill -TERM "$kpid"
for _ in $(seq 200); do kill -0 "$kpid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$kpid" 2>/dev/null && fail "SIGTERM did not end the program"
wait "$kpid"
status=$?
kpid=""
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
[ -f "$tmp/bin/bpm_data.ini" ] || fail "no settings saved beside the program"
echo "shown on Wayland, saved and ended on SIGTERM"
