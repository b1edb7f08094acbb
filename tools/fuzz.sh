#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzzers with clang in build-fuzz and runs one of them.
# Usage: tools/fuzz.sh [seconds] [target]   (default 60, fuzz_protocol)
#   fuzz_protocol: reassembly, answers and record transforms
#   fuzz_records:  record files, traces, event detection and the readout
#   fuzz_scene:    scene files and instrument settings
# Exits non-zero when the fuzzer finds a crash, a sanitizer report or a failed
# check; the input that caused it is left in build-fuzz/artifacts/.
set -eu

seconds=${1:-60}
target=${2:-fuzz_protocol}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARNEL_FUZZ=ON -DVARNEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "$target"

corpus="$build/corpus-$target"
artifacts="$build/artifacts"
mkdir -p "$corpus" "$artifacts"
leaks=1
# Qt 5.15's JSON parser itself leaks on some malformed documents (inside
# libQt5Core, under QJsonDocument::fromJson); leak checks, per input and at
# exit, would stop there.
[ "$target" = fuzz_scene ] && leaks=0
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=$leaks}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
if [ "$target" = fuzz_scene ]; then
    # The shipped scenes and instrument settings to start from.
    cp "$root"/tools/scenes/*.json "$root"/tools/instruments/*.json "$corpus/"
    exec "$build/tests/fuzz/fuzz_scene" -detect_leaks=0 -max_total_time="$seconds" -max_len=8192 -timeout=20 \
        -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus"
fi
# A few real answers to start from: identity, record list, empty list, acks,
# and a short session of them back to back.
seed() { printf '%s' "$2" | xxd -r -p >"$corpus/seed-$1"; }
seed identity 420e00692102183030313233341e
seed list 410c0007210218041230451a
seed empty-list 41040045
seed acks 430400474404004845040049
seed session 420e00692102183030313233341e410c0007210218041230451a4304004741040045

"$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=40000 -timeout=20 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus"
