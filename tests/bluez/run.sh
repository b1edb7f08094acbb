#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test program against Qt's real Bluetooth classes with a mocked BlueZ:
# a private system bus, dbusmock's bluez5 template with our RFCOMM extension
# (varnel_bluez.py), varnel-instrument behind the "KV" device, and a stand-in
# sdpscanner (bin/, found through the qt.conf beside the test program).
#
#   run.sh TEST_PROGRAM SIMULATOR [test arguments...]
#
# Everything it starts is stopped on exit, also when the test fails, times out
# or the script is interrupted.
set -eu

program=$1
simulator=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/varnel-bluez.XXXXXX")
pids=""

stop() {
    status=$?
    trap - EXIT INT TERM HUP
    for pid in $pids; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $pids; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
    exit "$status"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Waits (at most 10 s) until a command succeeds.
await() {
    tries=0
    until "$@" >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ "$tries" -lt 200 ] || { echo "fixture: timed out waiting for: $*" >&2; exit 1; }
        sleep 0.05
    done
}

for tool in dbus-daemon dbus-send; do
    command -v "$tool" >/dev/null || { echo "fixture: $tool is missing (package dbus)" >&2; exit 1; }
done
/usr/bin/python3 -c 'import dbusmock' 2>/dev/null ||
    { echo "fixture: python3-dbusmock is missing" >&2; exit 1; }

cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
CONF

export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/system_bus_socket"
unset VARNEL_BLUETOOTH DBUS_SESSION_BUS_ADDRESS

dbus-daemon --nofork --config-file="$work/bus.conf" >"$work/bus.log" 2>&1 &
pids="$pids $!"
await test -S "$work/system_bus_socket"

/usr/bin/python3 -m dbusmock --system -t "$here/varnel_bluez.py" >"$work/mock.log" 2>&1 &
pids="$pids $!"
await dbus-send --system --print-reply --reply-timeout=1000 --dest=org.bluez / org.freedesktop.DBus.Introspectable.Introspect

"$simulator" --unix "$work/instrument.sock" --settings "$here/instrument.json" >"$work/sim.log" 2>&1 &
pids="$pids $!"
"$simulator" --unix "$work/dropping.sock" --settings "$here/instrument.json" --set hangUpAfter=4 \
    >"$work/dropping.log" 2>&1 &
pids="$pids $!"
await test -S "$work/instrument.sock"
await test -S "$work/dropping.sock"

mock() {
    dbus-send --system --print-reply --dest=org.bluez / "org.bluez.Mock.$@" >/dev/null
}
mock AddAdapter string:hci0 "string:Bench PC"
mock AddDevice string:hci0 string:00:1A:7D:DA:71:13 string:KV-105
mock AddDevice string:hci0 string:00:1A:7D:DA:71:27 "string:Office Printer"
mock SetBridge string:00:1A:7D:DA:71:13 "string:$work/instrument.sock"

# In the background, so that a signal to this script is handled at once.
BLUETOOTH_FORCE_DBUS_LE_VERSION=5.66 QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" \
VARNEL_TEST_WORK="$work" VARNEL_TEST_SETTINGS="$here/instrument.json" \
    timeout -k 5 240 "$program" "$@" &
test_pid=$!
pids="$test_pid $pids"
status=0
wait "$test_pid" || status=$?
if [ "$status" -ne 0 ]; then
    echo "--- mock log (tail)"; tail -n 40 "$work/mock.log"
    echo "--- simulator logs"; cat "$work/sim.log" "$work/dropping.log"
fi >&2
exit "$status"
