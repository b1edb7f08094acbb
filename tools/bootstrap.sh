#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a fresh Debian 12 machine for Varnel Reader and builds it.
#
#   tools/bootstrap.sh demo      install, build, run the tool on the emulated demo instrument
#   tools/bootstrap.sh test      install, build with warnings as errors, run the whole test suite
#   tools/bootstrap.sh sanitize  the same test suite built with AddressSanitizer and UBSan
#   tools/bootstrap.sh package   install, build the Debian package (build-package/*.deb), check it
#
# Qt 5.15 by default; VARNEL_QT=6 does the same with Qt 6, in build directories
# of its own (build-qt6, build-qt6-asan, build-qt6-package).
#
# Installing is idempotent; apt-get runs as root or through sudo.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-demo}
jobs=$(nproc 2>/dev/null || echo 2)
qt=${VARNEL_QT:-5}

packages="build-essential cmake xvfb xauth python3-dbusmock dbus"
case "$qt" in
5)
    packages="$packages qtbase5-dev qtconnectivity5-dev qttools5-dev-tools qttools5-dev \
libqt5charts5-dev libqt5svg5 qttranslations5-l10n libqt5bluetooth5-bin"
    suffix=""
    ;;
6)
    # Debian's qt6-charts-dev does not pull in the OpenGL development files its
    # CMake package needs.
    packages="$packages qt6-base-dev qt6-connectivity-dev qt6-tools-dev qt6-tools-dev-tools \
qt6-l10n-tools qt6-charts-dev libqt6opengl6-dev libqt6svg6 qt6-translations-l10n libqt6bluetooth6-bin"
    suffix="-qt6"
    ;;
*)
    echo "VARNEL_QT must be 5 or 6, not '$qt'" >&2
    exit 2
    ;;
esac

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
    cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_QT="$qt" "$@"
    cmake --build "$dir" -j"$jobs" --target $target
}

case "$mode" in
demo)
    install_packages
    # Only the tool and its translation: a first window should not wait for the test programs.
    configure_and_build "$here/build$suffix" "varnel-reader translations" -DVARNEL_BUILD_TESTS=OFF
    cd "$here/build$suffix"
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
        echo "No display is available here, so the window cannot open."
        echo "Run it under a virtual display instead:"
        echo "    cd $here/build$suffix && VARNEL_BLUETOOTH=emulator xvfb-run -a -s '-screen 0 1280x900x24' ./varnel-reader"
        exit 1
    fi
    # Run from the build directory: the Russian translation is looked up in the current directory.
    VARNEL_BLUETOOTH=${VARNEL_BLUETOOTH:-emulator} exec ./varnel-reader
    ;;
test)
    install_packages
    if [ "$qt" = 5 ]; then dir="$here/build-ci"; else dir="$here/build$suffix"; fi
    configure_and_build "$dir" all -DVARNEL_WERROR=ON -DVARNEL_BUILD_TESTS=ON
    cd "$dir"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs"
    ;;
package)
    packages="$packages dpkg-dev file help2man lintian desktop-file-utils appstream"
    install_packages
    # Debian's hardening flags; the programs go under /usr; stripped by CPack.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cd "$here"
    configure_and_build "$here/build$suffix-package" all -DCMAKE_BUILD_TYPE=None \
        -DCMAKE_INSTALL_PREFIX=/usr -DVARNEL_BUILD_TESTS=OFF \
        "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
    cd "$here/build$suffix-package"
    rm -f ./*.deb
    cpack -G DEB
    exec "$here/tools/check-package.sh" "$here/build$suffix-package"/varnel-reader_*.deb
    ;;
sanitize)
    install_packages
    configure_and_build "$here/build$suffix-asan" all -DCMAKE_BUILD_TYPE=Debug -DVARNEL_SANITIZE=ON -DVARNEL_WERROR=ON
    cd "$here/build$suffix-asan"
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j"$jobs"
    ;;
*)
    echo "usage: $0 demo|test|sanitize|package" >&2
    exit 2
    ;;
esac
