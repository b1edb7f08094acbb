#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the icon renderer and redraws every picture of the resource bundle and the
# desktop's icons (hicolor theme, installed with the package).
# Usage: [VARNEL_QT=6] tools/icons/render.sh [output-root [hicolor-root]]
#        (default: resources/ and packaging/icons/hicolor/ of this tree; Qt 5)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${1:-"$root/resources"}
hicolor=${2:-"$root/packaging/icons/hicolor"}
build="$root/build-icons"

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVARNEL_QT="${VARNEL_QT:-5}" >/dev/null
cmake --build "$build" -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/varnel-icon-renderer" "$out" "$hicolor"
