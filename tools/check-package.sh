#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks a built Debian package as its users and the distribution would:
# lintian (no errors, no warnings), the desktop entries, the AppStream data,
# and the installed programs: --help and --version without a display, and the
# installed translation chosen by the desktop's language.
#
#   tools/check-package.sh build-package/varnel-reader_VERSION_ARCH.deb
set -eu

deb=$(realpath "$1")
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

echo "== $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB"
dpkg-deb --field "$deb" Package Version Depends Recommends Installed-Size

echo "== lintian"
lintian --fail-on error,warning "$deb" || fail lintian

dpkg-deb -x "$deb" "$work/root"
echo "== desktop-file-validate"
for entry in "$work"/root/usr/share/applications/*.desktop; do
    desktop-file-validate "$entry" || fail "$entry"
done
echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net --pedantic "$work"/root/usr/share/metainfo/*.xml || fail appstream

echo "== the installed programs"
bin="$work/root/usr/bin"
mkdir "$work/elsewhere" # no translation in the current directory
cd "$work/elsewhere"
for program in varnel-reader varnel-viewer varnel-cli varnel-instrument; do
    for option in --help --version; do
        env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/$program" "$option" \
            >"$work/out" 2>&1 || fail "$program $option did not exit with 0"
    done
    cat "$work/out"
done
# An English desktop stays English, a Russian one gets the installed translation.
english=$(env -u LANGUAGE LC_ALL=en_US.UTF-8 "$bin/varnel-viewer" --help)
russian=$(env -u LANGUAGE LC_ALL=ru_RU.UTF-8 "$bin/varnel-viewer" --help)
echo "$english" | grep -q "Shows TDR waveform files" || fail "English help is not English"
echo "$russian" | grep -q "Показывает файлы" || fail "Russian desktop: no installed translation"
echo "varnel-viewer --help on a Russian desktop: $(echo "$russian" | sed -n 2p)"

[ "$failed" -eq 0 ] && echo "== the package passed every check" || exit 1
