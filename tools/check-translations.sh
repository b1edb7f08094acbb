#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that the Russian translation covers every interface text.
#
# lupdate collects the texts of the sources into a temporary copy of the .ts
# (the committed file is never touched), and the copy must then hold, for
# every text, a finished, non-empty translation that uses the same %1..%9 and
# %n placeholders as its source. Faults are listed one per line.
#
# Usage: tools/check-translations.sh [--source-dir DIR] [--ts FILE] [--lupdate PATH]
#   --source-dir  tree whose app/, cli/, common/, link/, protocol/, records/, session/ and viewer/
#                 are scanned (default: this repository)
#   --ts          translation file to check (default: DIR/translations/Varnel_Reader_ru.ts)
#   --lupdate     lupdate to run (default: $LUPDATE, lupdate on PATH, /usr/lib/qt5/bin/lupdate)
# Exit status: 0 complete, 1 faults found, 2 the check could not run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
ts=
lupdate=${LUPDATE:-}

while [ $# -gt 0 ]; do
    case $1 in
    --source-dir) root=$(cd "$2" && pwd); shift 2 ;;
    --ts) ts=$2; shift 2 ;;
    --lupdate) lupdate=$2; shift 2 ;;
    -h | --help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "check-translations: unknown argument: $1" >&2; exit 2 ;;
    esac
done
ts=${ts:-$root/translations/Varnel_Reader_ru.ts}

if [ -z "$lupdate" ]; then
    # Debian's plain "lupdate" may be the qtchooser wrapper, which picks Qt 5 too.
    if [ -x /usr/lib/qt5/bin/lupdate ]; then
        lupdate=/usr/lib/qt5/bin/lupdate
    else
        lupdate=$(command -v lupdate || true)
    fi
fi
if [ -z "$lupdate" ] || [ ! -x "$lupdate" ]; then
    echo "check-translations: lupdate not found; pass --lupdate or set LUPDATE" >&2
    exit 2
fi
if [ ! -f "$ts" ]; then
    echo "check-translations: no translation file $ts" >&2
    exit 2
fi
command -v python3 >/dev/null || { echo "check-translations: python3 is needed" >&2; exit 2; }

dirs=()
for dir in app cli common link protocol records session viewer; do
    [ -d "$root/$dir" ] && dirs+=("$dir")
done
if [ ${#dirs[@]} -eq 0 ]; then
    echo "check-translations: no source directories under $root" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
copy=$work/$(basename "$ts")
cp "$ts" "$copy"

# The same options as the update_translations target, so that a clean result
# here means that target would leave the file complete.
if ! (cd "$root" && "$lupdate" -no-obsolete -locations none "${dirs[@]}" -ts "$copy") \
    >"$work/lupdate.log" 2>&1; then
    cat "$work/lupdate.log" >&2
    echo "check-translations: lupdate failed" >&2
    exit 2
fi

python3 - "$copy" "$ts" <<'EOF'
import re
import sys
import xml.etree.ElementTree as ET

path, shown = sys.argv[1], sys.argv[2]
placeholder = re.compile(r"%L?(?:[1-9]|n)")


def marks(text):
    return sorted(set(m.replace("L", "") for m in placeholder.findall(text or "")))


def quoted(text):
    return '"' + (text or "").replace("\n", "\\n") + '"'


try:
    root = ET.parse(path).getroot()
except ET.ParseError as error:
    print(f"check-translations: {shown} is not readable: {error}", file=sys.stderr)
    sys.exit(2)

faults = []
count = 0
for context in root.iter("context"):
    name = context.findtext("name")
    for message in context.iter("message"):
        count += 1
        source = message.findtext("source") or ""
        where = f"{name}: {quoted(source)}"
        translation = message.find("translation")
        kind = translation.get("type") if translation is not None else "missing"
        if kind in ("unfinished", "vanished", "obsolete", "missing"):
            faults.append(f"untranslated  {where}")
            continue
        if message.get("numerus") == "yes":
            forms = [form.text or "" for form in translation.iter("numerusform")]
        else:
            forms = [translation.text or ""]
        if not forms or any(not form.strip() for form in forms):
            faults.append(f"empty         {where}")
            continue
        for form in forms:
            if marks(form) != marks(source):
                faults.append(
                    f"placeholders  {where} has {' '.join(marks(source)) or 'none'},"
                    f" translation {quoted(form)} has {' '.join(marks(form)) or 'none'}"
                )

if faults:
    print(f"{shown}: {len(faults)} of {count} texts need work:")
    for fault in faults:
        print("  " + fault)
    sys.exit(1)
print(f"{shown}: all {count} texts translated.")
EOF
