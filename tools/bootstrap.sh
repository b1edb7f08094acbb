#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a fresh Debian 12 machine for Varnel Reader and builds it.
#
#   tools/bootstrap.sh demo      install, build, run the tool on the emulated demo instrument
#   tools/bootstrap.sh test      install, build with warnings as errors, run the whole test suite
#   tools/bootstrap.sh sanitize  the same test suite built with AddressSanitizer and UBSan
#   tools/bootstrap.sh package   install, build the Debian package (build-package/*.deb), check it
#
# Installing is idempotent; apt-get runs as root or through sudo.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-demo}
jobs=$(nproc 2>/dev/null || echo 2)

packages="build-essential cmake qtbase5-dev qtconnectivity5-dev qttools5-dev-tools qttools5-dev \
libqt5charts5-dev libqt5svg5 qttranslations5-l10n xvfb xauth \
python3-dbusmock dbus libqt5bluetooth5-bin"

install_packages() {
    missing=""
    for p in $packages; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    echo "Installing:$missing"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# configure_and_build DIR "TARGET..." [CMAKE OPTION...]; "all" builds everything.
configure_and_build() {
    dir=$1
    target=$2
    shift 2
    cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j"$jobs" --target $target
}

case "$mode" in
demo)
    install_packages
    # Only the tool and its translation: a first window should not wait for the test programs.
    configure_and_build "$here/build" "varnel-reader translations" -DVARNEL_BUILD_TESTS=OFF
    cd "$here/build"
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
        echo "No display is available here, so the window cannot open."
        echo "Run it under a virtual display instead:"
        echo "    cd $here/build && VARNEL_BLUETOOTH=emulator xvfb-run -a -s '-screen 0 1280x900x24' ./varnel-reader"
        exit 1
    fi
    # Run from the build directory: the Russian translation is looked up in the current directory.
    VARNEL_BLUETOOTH=${VARNEL_BLUETOOTH:-emulator} exec ./varnel-reader
    ;;
test)
    install_packages
    configure_and_build "$here/build-ci" all -DVARNEL_WERROR=ON -DVARNEL_BUILD_TESTS=ON
    cd "$here/build-ci"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs"
    ;;
package)
    packages="$packages dpkg-dev file help2man lintian desktop-file-utils appstream"
    install_packages
    # Debian's hardening flags; the programs go under /usr; stripped by CPack.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cd "$here"
    configure_and_build "$here/build-package" all -DCMAKE_BUILD_TYPE=None \
        -DCMAKE_INSTALL_PREFIX=/usr -DVARNEL_BUILD_TESTS=OFF \
        "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
    cd "$here/build-package"
    rm -f ./*.deb
    cpack -G DEB
    exec "$here/tools/check-package.sh" "$here/build-package"/varnel-reader_*.deb
    ;;
sanitize)
    install_packages
    configure_and_build "$here/build-asan" all -DCMAKE_BUILD_TYPE=Debug -DVARNEL_SANITIZE=ON -DVARNEL_WERROR=ON
    cd "$here/build-asan"
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j"$jobs"
    ;;
*)
    echo "usage: $0 demo|test|sanitize|package" >&2
    exit 2
    ;;
esac
