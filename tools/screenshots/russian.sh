#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Tours the Russian interface under a virtual X server with the emulated
# Bluetooth stack and saves one PNG per step: the main window, its menu, the
# instrument found, connected with its record list, a download in progress and
# cancelled, the upload dialog, the About dialog, the folder dialog, the
# waveform viewer and the missing-adapter question.
#
# The clicks go to fixed positions: the window opens at the top left with no
# window manager, 9 pt DejaVu fonts as on a stock Debian desktop.
# Needs Xvfb, xdotool and ImageMagick's import.
# Usage: tools/screenshots/russian.sh [build-dir] [out-dir]
set -eu
build=$(cd "${1:-build}" && pwd)
out=${2:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
[ -f "$build/Varnel_Reader_ru.qm" ] || { echo "no $build/Varnel_Reader_ru.qm" >&2; exit 2; }

. "$(dirname "$0")/display.sh"
start_display 1280x900

# An instrument that answers after 2 s, to catch a transfer midway.
cat >"$work/scene.json" <<'EOF'
{
    "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
    "devices": [
        {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
         "services": [ {"name": "Serial Port", "channel": 1,
                        "instrument": {"records": 6, "delayMs": 2000}} ]}
    ]
}
EOF
echo '{ "adapters": [], "devices": [] }' >"$work/no-adapter.json"
mkdir -p "$work/config/Halvern" "$work/records"
printf '[Paths]\nsavedir=%s\n' "$work/records" >"$work/config/Halvern/Varnel Reader.conf"

start() {
    # The tool looks for its translation in the current directory.
    (cd "$build" && XDG_CONFIG_HOME="$work/config" VARNEL_BLUETOOTH="emulator:$1" \
        exec ./varnel-reader >>"$work/app.log" 2>&1) &
    shown=$!
    sleep 3
}
shot() {
    import -window root "$out/ru-$1.png"
    echo "$out/ru-$1.png"
}
# click X Y [seconds to wait], rclick X Y: right button.
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-1}"; }
rclick() { xdotool mousemove "$1" "$2" click 3; sleep 1; }

# Tool bar icons, top to bottom.
connect=150 upload=228 download=306 folder=385 list=463 cancel=541 waveforms=618

start "$work/scene.json"
shot main
click 29 10
shot menu
click 78 34 4 # Scan
shot scanned
click 43 $connect 4
click 43 $list 4
shot connected
click 450 324
xdotool mousemove 450 341 keydown ctrl click 1 mousemove 450 358 click 1 keyup ctrl
sleep 1
click 43 $download 3
shot downloading
click 43 $cancel 1
shot download-cancelled
click 450 324
click 43 $download 4
click 200 324
click 43 $upload 2
shot upload-dialog
xdotool key Escape; sleep 1
click 29 10
click 78 240 2
shot about
xdotool key Escape; sleep 1
click 43 $folder 2
shot folder-dialog
xdotool key Escape; sleep 1
click 43 $waveforms 2
click 160 98
click 700 400
rclick 900 400
shot waveforms
kill "$shown"
wait "$shown" 2>/dev/null || true

start "$work/no-adapter.json"
shot no-adapter
