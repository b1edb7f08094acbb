#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs varnel-viewer under a virtual X server and saves three PNGs of the
# screen: one trace, two traces of one cable overlaid, and a file that is no
# record. The records are downloaded by varnel-cli from the emulated demo
# instrument. Both programs run away from the build directory, so they speak
# English.
# Needs Xvfb and ImageMagick's import.
# Usage: tools/screenshots/waveforms.sh [build-dir] [out-dir]
set -eu
build=$(cd "${1:-build}" && pwd)
out=${2:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
for program in varnel-cli varnel-viewer; do
    [ -x "$build/$program" ] || { echo "no $build/$program" >&2; exit 2; }
done

. "$(dirname "$0")/display.sh"
start_display 1280x800
# The programs' settings stay in here, away from the user's.
export XDG_CONFIG_HOME="$work/config"

records="$work/records"
(cd "$work" && VARNEL_BLUETOOTH=emulator "$build/varnel-cli" download KV-105 1 4 8 --quiet \
    --to "$records" >/dev/null)
printf 'not a record\n' >"$records/broken.tdr"

# shot NAME FILE...: the viewer on FILE..., the whole screen once it is drawn.
shot() {
    name=$1
    shift
    (cd "$work" && QT_QPA_PLATFORM=xcb exec "$build/varnel-viewer" "$@" >>"$work/viewer.log" 2>&1) &
    shown=$!
    sleep 3
    kill -0 "$shown" 2>/dev/null || { cat "$work/viewer.log" >&2; exit 1; }
    import -window root "$out/waveform-$name.png"
    kill "$shown"
    wait "$shown" 2>/dev/null || true
    shown=
    echo "$out/waveform-$name.png"
}

shot single "$records"/\#001*.tdr
shot overlay "$records"/\#004*.tdr "$records"/\#008*.tdr
shot broken "$records/broken.tdr"
