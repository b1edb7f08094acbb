# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the screenshot scripts: starts a private X server of the given
# size (e.g. 1280x800), writing its number into "$work/display", keeps its
# pid in $xvfb for the caller's clean-up, and exports DISPLAY.
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
