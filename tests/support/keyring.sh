#!/usr/bin/env bash
# A private D-Bus session bus and a real GNOME Keyring on it, for tests, all under one folder.
#
#   keyring.sh bus DIR          starts a session bus that starts no service by itself (so nothing of
#                               the desktop's is activated); prints its address
#   keyring.sh start DIR [--prompter]
#                               gnome-keyring-daemon (secrets only) on the bus in
#                               $DBUS_SESSION_BUS_ADDRESS, with a login keyring made and unlocked
#                               with the password "keyring-pw", kept in DIR/data. With --prompter
#                               (DIR is the bus's) the daemon asks for that password in a window on
#                               $DISPLAY, "Unlock Login Keyring", when something needs the locked
#                               keyring; without it such a request finds nothing or is refused
#   keyring.sh lock DIR         locks the login keyring (the bus in $DBUS_SESSION_BUS_ADDRESS)
#   keyring.sh stop DIR         stops the daemon and the bus, bounded
#   keyring.sh run DIR CMD...   bus and keyring, then CMD with DBUS_SESSION_BUS_ADDRESS and
#                               VURK_KEYRING_DIR=DIR; stops both and exits with CMD's status
#
# The pids are in DIR/bus.pid and DIR/keyring.pid, the logs in DIR/bus.log and DIR/keyring.log.
set -euo pipefail

fail() {
    echo "keyring.sh: $*" >&2
    exit 1
}

has_owner() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

start_bus() {
    local dir=$1 i
    mkdir -p "$dir/services"
    cat >"$dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$dir</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$dir/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    : >"$dir/address"
    dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile --print-address=1 \
        >"$dir/address" 2>"$dir/bus.log" </dev/null &
    echo $! >"$dir/bus.pid"
    for ((i = 0; i < 100; i++)); do
        [ -s "$dir/address" ] && break
        sleep 0.05
    done
    [ -s "$dir/address" ] || fail "the bus did not start: $(cat "$dir/bus.log")"
    head -n 1 "$dir/address"
}

start_keyring() {
    local dir=$1 prompter=${2:-} i
    [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "no bus: run 'keyring.sh bus' first"
    if [ "$prompter" = --prompter ]; then
        [ -n "${DISPLAY:-}" ] || fail "--prompter needs a DISPLAY"
        dbus-update-activation-environment DISPLAY HOME XDG_RUNTIME_DIR || fail "the bus took no environment"
        mkdir -p "$dir/services"
        cp /usr/share/dbus-1/services/org.gnome.keyring.SystemPrompter.service "$dir/services/"
    fi
    mkdir -p "$dir/data"
    # --unlock reads the login keyring's password from standard input and makes the keyring if
    # there is none.
    printf 'keyring-pw' | XDG_DATA_HOME="$dir/data" HOME="$dir" \
        gnome-keyring-daemon --foreground --unlock --components=secrets >"$dir/keyring.log" 2>&1 &
    echo $! >"$dir/keyring.pid"
    for ((i = 0; i < 100; i++)); do
        has_owner org.freedesktop.secrets && return 0
        sleep 0.05
    done
    fail "gnome-keyring-daemon did not come up: $(cat "$dir/keyring.log")"
}

lock_keyring() {
    dbus-send --session --print-reply --dest=org.freedesktop.secrets /org/freedesktop/secrets \
        org.freedesktop.Secret.Service.Lock array:objpath:/org/freedesktop/secrets/collection/login \
        >/dev/null || fail "could not lock the login keyring"
}

stop_pid() {
    local file=$1 pid i
    [ -f "$file" ] || return 0
    pid=$(cat "$file")
    rm -f "$file"
    kill -CONT "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    for ((i = 0; i < 100; i++)); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.05
    done
    kill -KILL "$pid" 2>/dev/null || true
}

stop_all() {
    stop_pid "$1/keyring.pid"
    stop_pid "$1/bus.pid"
}

[ $# -ge 2 ] || fail "usage: keyring.sh bus|start|lock|stop|run DIR [CMD...]"
command=$1
dir=$(realpath -m "$2")
shift 2
case $command in
bus)
    mkdir -p "$dir"
    start_bus "$dir"
    ;;
start) start_keyring "$dir" "${1:-}" ;;
lock) lock_keyring ;;
stop) stop_all "$dir" ;;
run)
    mkdir -p "$dir"
    trap 'stop_all "$dir"' EXIT
    DBUS_SESSION_BUS_ADDRESS=$(start_bus "$dir")
    export DBUS_SESSION_BUS_ADDRESS VURK_KEYRING_DIR=$dir
    start_keyring "$dir"
    status=0
    "$@" || status=$?
    exit $status
    ;;
*) fail "unknown command '$command'" ;;
esac
