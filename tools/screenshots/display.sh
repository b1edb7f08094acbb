# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the screenshot scripts: a scratch folder in $work, and on exit the
# program whose pid is in $shown, the X server and the folder go away.
# start_display SIZE starts a private X server (e.g. 1280x800) and exports
# DISPLAY.
work=$(mktemp -d)
xvfb=
shown=
cleanup() {
    [ -n "$shown" ] && kill "$shown" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

start_display() {
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$work/display" 2>/dev/null &
    xvfb=$!
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        [ -s "$work/display" ] && break
        sleep 0.5
    done
    [ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 2; }
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
}
