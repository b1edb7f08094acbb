#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the waveform viewer under a virtual X server and saves three PNGs:
# one trace with cursor and reference, two traces overlaid, a broken file.
# Usage: tools/screenshots/waveforms.sh [build-dir] [out-dir]
set -eu
build=${1:-build}
out=${2:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
VARNEL_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/tst_waveformwindow" screenshots
ls "$out"/waveform-*.png
