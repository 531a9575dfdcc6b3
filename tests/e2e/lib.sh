# Shared helpers for the end-to-end tests: a private X server with openbox, the processes a test
# starts (all stopped on exit, bounded in time), window look-ups and screenshots.
# Source it from bash; it sets a trap on EXIT.

E2E_PIDS=()
E2E_TMP=$(mktemp -d /tmp/vurk-e2e.XXXXXX)
export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export HOME="$E2E_TMP/home"
mkdir -p "$HOME"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

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
    exit 1
}

# Starts Xvfb on a free display (the server picks it) and openbox on it; exports DISPLAY.
e2e_start_x() {
    local size=${1:-1024x768x24} fifo="$E2E_TMP/displayfd" i
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
