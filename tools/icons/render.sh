#!/bin/sh
# Builds the icon renderer and redraws every picture of the resource bundle.
# Usage: tools/icons/render.sh [output-root]   (default: resources/ of this tree)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${1:-"$root/resources"}
build="$root/build-icons"

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/varnel-icon-renderer" "$out"
