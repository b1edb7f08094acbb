#!/bin/sh
# Adds the licence line to every tracked source file that has none: C++ files
# get "// SPDX-License-Identifier: GPL-3.0-or-later" as their first line; CMake,
# shell and Python files get it as a "#" comment (after a "#!" line). Files that
# already name a licence in their first lines are left alone, so running it
# again changes nothing. Prints the files it changed.
#
#   tools/spdx-headers.sh        (from anywhere in the tree)
set -eu
cd "$(dirname "$0")/.."
tag="SPDX-License-Identifier: GPL-3.0-or-later"

git ls-files -- '*.cpp' '*.h' '*.sh' '*.py' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt' \
    '.ci/run' 'tests/bluez/bin/*' '*.bash-completion' |
    while IFS= read -r file; do
        [ -f "$file" ] || continue
        head -n 5 "$file" | grep -q "SPDX-License-Identifier:" && continue
        case "$file" in
        *.cpp | *.h) comment="// $tag" ;;
        *) comment="# $tag" ;;
        esac
        tmp="$file.spdx.$$"
        if head -n 1 "$file" | grep -q '^#!'; then
            { head -n 1 "$file"; echo "$comment"; tail -n +2 "$file"; } >"$tmp"
        else
            { echo "$comment"; cat "$file"; } >"$tmp"
        fi
        # Keep the file's mode (scripts stay executable).
        cat "$tmp" >"$file"
        rm -f "$tmp"
        echo "$file"
    done
