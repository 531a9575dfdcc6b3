# Shared helpers for the end-to-end tests: a private X server with openbox, the processes a test
# starts (all stopped on exit, bounded in time), window look-ups and screenshots.
# Source it from bash; it sets a trap on EXIT.

E2E_PIDS=()
E2E_TMP=$(mktemp -d /tmp/vurk-e2e.XXXXXX)
export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# The sound server a test starts (e2e_start_pulse), or none: named, so that the client library never
# starts one of its own that no test would stop.
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
export HOME="$E2E_TMP/home"
mkdir -p "$HOME"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
E2E_KEYRING_SH="$(dirname "${BASH_SOURCE[0]}")/../support/keyring.sh"

e2e_track() { E2E_PIDS+=("$@"); }

# Stops a process: TERM, then KILL if it has not gone within the bound (seconds).
e2e_stop() {
    local pid=$1 bound=${2:-5} i
    kill -TERM "$pid" 2>/dev/null || return 0
    for ((i = 0; i < bound * 20; i++)); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
        sleep 0.05
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
    return 0
}

e2e_cleanup() {
    set +e
    local i
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        e2e_stop "${E2E_PIDS[$i]}" 3
    done
    if [ -n "${E2E_KEEP:-}" ]; then echo "kept $E2E_TMP" >&2; else rm -rf "$E2E_TMP"; fi
}
trap e2e_cleanup EXIT

e2e_fail() {
    echo "FAIL: $*" >&2
    local log
    for log in "$E2E_TMP"/*.log; do
        [ -s "$log" ] || continue
        echo "--- ${log##*/} (last lines)" >&2
        tail -n 20 "$log" >&2
    done
    exit 1
}

# The private Dovecot in $E2E_TMP/dovecot with $1 messages, over TLS and taking XOAUTH2, whose tokens
# a loopback endpoint checks: it knows "good-token", for vurk@example.test. Sets OAUTH2_PORT. The
# caller stops the server ("$VURK_SOURCE_DIR/tests/support/dovecot.sh" stop "$E2E_TMP/dovecot").
e2e_oauth2_dovecot() {
    local support="$VURK_SOURCE_DIR/tests/support" url
    # Dovecot's mail process may run as another user, who must reach the folder.
    chmod 711 "$E2E_TMP"
    /usr/bin/python3 "$support/tokeninfo.py" --email vurk@example.test --log "$E2E_TMP/tokeninfo.log" \
        good-token >"$E2E_TMP/tokeninfo.port" &
    e2e_track $!
    e2e_until 10 test -s "$E2E_TMP/tokeninfo.port" || e2e_fail "the token endpoint did not start"
    url="http://127.0.0.1:$(cat "$E2E_TMP/tokeninfo.port")/tokeninfo?access_token="
    OAUTH2_PORT=$("$support/dovecot.sh" start "$E2E_TMP/dovecot" "$1" --tls --oauth2 "$url") ||
        e2e_fail "dovecot did not start"
}

# A private session bus that starts no service by itself, exported: what the program says on D-Bus
# (to the keyring among others) stays in the test, and no bus of the desktop's is found or autolaunched.
e2e_start_session_bus() {
    [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || return 0
    DBUS_SESSION_BUS_ADDRESS=$("$E2E_KEYRING_SH" bus "$E2E_TMP/bus") || e2e_fail "no session bus"
    export DBUS_SESSION_BUS_ADDRESS
    e2e_track "$(cat "$E2E_TMP/bus/bus.pid")"
}

# Starts Xvfb on a free display (the server picks it) and openbox on it; exports DISPLAY. The
# private session bus comes first.
e2e_start_x() {
    local size=${1:-1024x768x24} fifo="$E2E_TMP/displayfd" i
    e2e_start_session_bus
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp -noreset 3>"$fifo" 2>"$E2E_TMP/xvfb.log" &
    e2e_track $!
    local display=""
    read -r -t 20 display <"$fifo" || e2e_fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
    export DISPLAY=":$display"
    if [ "${E2E_NO_WM:-}" != 1 ]; then
        openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
        e2e_track $!
        for ((i = 0; i < 200; i++)); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
            sleep 0.05
        done
        e2e_fail "openbox did not come up"
    fi
}

# Prints the id of the first visible window whose name matches, waiting up to $2 seconds.
e2e_wait_window() {
    local name=$1 bound=${2:-20} i id
    for ((i = 0; i < bound * 20; i++)); do
        id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.05
    done
    e2e_fail "no visible window named '$name' within ${bound}s"
}

# Waits until no visible window of that name is left.
e2e_wait_no_window() {
    local name=$1 bound=${2:-20} i
    for ((i = 0; i < bound * 20; i++)); do
        xdotool search --onlyvisible --name "^${name}\$" >/dev/null 2>&1 || return 0
        sleep 0.05
    done
    e2e_fail "window '$name' still there after ${bound}s"
}

# Absolute position of a window's top-left corner in pixels: "X Y".
e2e_window_pos() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}

e2e_window_size() {
    xwininfo -id "$1" | awk '/^  Width/ {w=$NF} /^  Height/ {h=$NF} END {print w, h}'
}

e2e_screenshot() {
    import -window root "$1"
}

# A setting from the notifier's settings file (empty when absent).
e2e_setting() {
    local file="$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini"
    [ -f "$file" ] || return 0
    sed -n "/^\[setting\]/,/^\[/ s/^$1=//p" "$file" | head -n 1
}

# Waits until a command succeeds, up to $1 seconds.
e2e_until() {
    local bound=$1 i; shift
    for ((i = 0; i < bound * 10; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# Visible windows of a process, one id a line.
e2e_pid_windows() {
    xdotool search --onlyvisible --pid "$1" 2>/dev/null || true
}

# Waits until a process has ended, up to $2 seconds; fails the test if it has not. Its exit status
# is left in E2E_STATUS.
e2e_wait_exit() {
    local pid=$1 bound=${2:-10} i
    for ((i = 0; i < bound * 20; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            E2E_STATUS=0
            wait "$pid" 2>/dev/null || E2E_STATUS=$?
            return 0
        fi
        sleep 0.05
    done
    e2e_fail "process $pid still running after ${bound}s"
}

# Moves the pointer and waits until it is there (xdotool's own wait stalls for seconds when the
# pointer is there already).
e2e_pointer_to() {
    [ "$(xdotool getmouselocation | sed 's/^x:\([0-9-]*\) y:\([0-9-]*\).*/\1 \2/')" = "$1 $2" ] ||
        xdotool mousemove --sync "$1" "$2"
}

# Clicks a button (1 left, 3 right) at a screen point.
e2e_click() {
    e2e_pointer_to "$1" "$2"
    xdotool click "$3"
}

# Drags with the left button from one screen point to another, passing a few points on the way.
e2e_drag() {
    local x1=$1 y1=$2 x2=$3 y2=$4 steps=${5:-4} i
    e2e_pointer_to "$x1" "$y1"
    xdotool mousedown 1
    for ((i = 1; i <= steps; i++)); do
        e2e_pointer_to $((x1 + (x2 - x1) * i / steps)) $((y1 + (y2 - y1) * i / steps))
    done
    xdotool mouseup 1
}

# Waits until a window's top-left corner stands at "X Y", up to $3 seconds.
e2e_wait_pos() {
    local id=$1 want=$2 bound=${3:-5}
    e2e_until "$bound" bash -c "[ \"\$(xwininfo -id $id | awk '/Absolute upper-left X/ {x=\$NF} /Absolute upper-left Y/ {y=\$NF} END {print x, y}')\" = '$want' ]"
}

# The _NET_WM_STATE atoms of a window, one a line.
e2e_wm_state() {
    xprop -id "$1" _NET_WM_STATE | sed -n 's/^[^=]*= *//p' | tr ',' '\n' | tr -d ' '
}

# The four _NET_FRAME_EXTENTS of a window: "LEFT RIGHT TOP BOTTOM".
e2e_frame_extents() {
    xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/^[^=]*= *//p' | tr -d ','
}

# A window's frame, decorations included: "X Y WIDTH HEIGHT".
e2e_frame_rect() {
    local x y w h l r t b
    read -r x y <<<"$(e2e_window_pos "$1")"
    read -r w h <<<"$(e2e_window_size "$1")"
    read -r l r t b <<<"$(e2e_frame_extents "$1")"
    echo "$((x - ${l:-0})) $((y - ${t:-0})) $((w + ${l:-0} + ${r:-0})) $((h + ${t:-0} + ${b:-0}))"
}

# What a taskbar lists: the managed windows without _NET_WM_STATE_SKIP_TASKBAR, as decimal ids.
e2e_taskbar_windows() {
    local hex
    for hex in $(xprop -root _NET_CLIENT_LIST | sed -n 's/^[^#]*# *//p' | tr ',' ' '); do
        e2e_wm_state "$hex" | grep -qx _NET_WM_STATE_SKIP_TASKBAR || echo $((hex))
    done
}

# Starts another private bus like the session bus, named $1 (a test's stand-in system bus, or a
# session bus of its own), and leaves its address in E2E_BUS.
e2e_start_bus() {
    local dir="$E2E_TMP/$1"
    E2E_BUS=$("$E2E_KEYRING_SH" bus "$dir") || e2e_fail "D-Bus daemon $1 did not start"
    e2e_track "$(cat "$dir/bus.pid")"
}

# Starts a PulseAudio with one null sink on the private runtime folder; pactl reaches it there.
e2e_start_pulse() {
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        -L module-null-sink -L module-native-protocol-unix >>"$E2E_TMP/pulse.log" 2>&1 &
    E2E_PULSE=$!
    e2e_track $E2E_PULSE
    e2e_until 10 pactl info >/dev/null 2>&1 || e2e_fail "PulseAudio did not start"
}

# Starts the fake POP3 server (tests/support/hostile_pop3.py) with plan $1 and any further
# arguments, logging to $E2E_TMP/pop3.log; sets E2E_POP3 (its pid) and E2E_PORT.
e2e_start_pop3() {
    local plan=$1; shift
    : >"$E2E_TMP/pop3.log"
    rm -f "$E2E_TMP/port"
    python3 "$VURK_SOURCE_DIR/tests/support/hostile_pop3.py" --plan "$plan" --port-file "$E2E_TMP/port" \
        --log "$E2E_TMP/pop3.log" --lifetime 120 "$@" &
    E2E_POP3=$!
    e2e_track $E2E_POP3
    e2e_until 10 test -s "$E2E_TMP/port" || e2e_fail "POP3 server did not start"
    E2E_PORT=$(cat "$E2E_TMP/port")
}

# Opens the popup menu on window $1 (of process $2) and picks its $3-th item by keyboard.
e2e_choose() {
    local x y keys="" i
    read -r x y <<<"$(e2e_window_pos "$1")"
    e2e_click $((x + 50)) $((y + 10)) 3
    e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $2 | wc -l) -ge 2 ]" || e2e_fail "no menu"
    for ((i = 0; i < $3; i++)); do keys="$keys Down"; done
    xdotool key $keys Return
}

# A unix socket at $1 that takes every connection and never says a word: a frozen D-Bus daemon or
# sound server. Stopped with the test.
e2e_silent_socket() {
    rm -f "$1"
    python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1])
s.listen(64)
held = []
end = time.time() + 120
while time.time() < end:
    s.settimeout(max(0.1, end - time.time()))
    try:
        held.append(s.accept()[0])
    except socket.timeout:
        pass' "$1" &
    e2e_track $!
    e2e_until 10 test -S "$1" || e2e_fail "no silent socket at $1"
}
