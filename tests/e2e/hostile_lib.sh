# Helpers for the hostile-server tests: a misbehaving POP3 server (tests/support/hostile_pop3.py)
# and the real notifier pointed at it, judged from outside: the result lines it reports through
# VURK_TEST_STATUS_FILE, its clock's pixels, its popup menu, its memory and its file descriptors.
# Source after lib.sh and e2e_start_x.

HOSTILE_PY="$VURK_SOURCE_DIR/tests/support/hostile_pop3.py"

# A self-signed certificate for 127.0.0.1 in $E2E_TMP/tls (made once), and one for another host that
# the notifier trusts as well (wrongcert.pem): only its name is wrong.
hostile_cert() {
    local d="$E2E_TMP/tls"
    [ -f "$d/wrongcert.pem" ] && return 0
    mkdir -p "$d"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
        -addext subjectAltName=IP:127.0.0.1 -keyout "$d/key.pem" -out "$d/cert.pem" >/dev/null 2>&1 ||
        e2e_fail "openssl could not make a certificate"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=other.invalid \
        -addext subjectAltName=DNS:other.invalid -keyout "$d/wrongkey.pem" -out "$d/wrongcert.pem" \
        >/dev/null 2>&1 || e2e_fail "openssl could not make a certificate"
}

# Starts the server in $1 (a fresh folder) with the remaining arguments; sets HOSTILE_PORT.
hostile_server() {
    local dir=$1; shift
    mkdir -p "$dir"
    python3 "$HOSTILE_PY" --port-file "$dir/port" --log "$dir/server.log" --lifetime 500 "$@" \
        >"$dir/server.out" 2>&1 &
    e2e_track $!
    HOSTILE_SERVER_PID=$!
    e2e_until 10 test -s "$dir/port" || e2e_fail "hostile server did not start: $(cat "$dir/server.out")"
    HOSTILE_PORT=$(cat "$dir/port")
}

# Writes the notifier's settings into $1/config for the account on 127.0.0.1:$2, with the connection
# security $HOSTILE_SECURITY when that is set, and the senders and subjects read when $HOSTILE_PREVIEW
# is set.
hostile_settings() {
    local dir=$1 port=$2
    mkdir -p "$dir/config/vurk_mailchecker"
    # The password "hi" in its stored form.
    printf '[setting]\nserver=127.0.0.1\nuser=vurk\npass=LnqxK|\nport=%s\ntop=1500\nleft=3000\nfront=False\nshindou=False\ncheckbeep=False\n' \
        "$port" >"$dir/config/vurk_mailchecker/vurk_mailchecker.ini"
    [ -z "${HOSTILE_SECURITY:-}" ] ||
        echo "security=$HOSTILE_SECURITY" >>"$dir/config/vurk_mailchecker/vurk_mailchecker.ini"
    [ -z "${HOSTILE_PREVIEW:-}" ] || echo "preview=True" >>"$dir/config/vurk_mailchecker/vurk_mailchecker.ini"
    chmod 600 "$dir/config/vurk_mailchecker/vurk_mailchecker.ini"
}

# Starts the notifier with its settings in $1/config; extra VAR=value pairs follow. Sets VURK_PID
# and VURK_WIN.
hostile_notifier() {
    local dir=$1; shift
    env XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state" VURK_TEST_STATUS_FILE="$dir/status" "$@" "$VURK_BIN" \
        >"$dir/notifier.out" 2>&1 &
    VURK_PID=$!
    e2e_track $VURK_PID
    local i
    VURK_WIN=""
    for ((i = 0; i < 400; i++)); do
        VURK_WIN=$(xdotool search --onlyvisible --pid $VURK_PID 2>/dev/null | head -n 1 || true)
        [ -n "$VURK_WIN" ] && break
        sleep 0.05
    done
    [ -n "$VURK_WIN" ] || e2e_fail "the notifier shows no window"
}

# The Nth check result the notifier reported (without the tooltip's detail), waiting up to $3 s. Only
# the end of a check carries a detail; start-up's own lines and the new messages' lists are left out.
hostile_status() {
    local dir=$1 n=$2 bound=${3:-30} i line
    for ((i = 0; i < bound * 10; i++)); do
        line=$(grep -F ' | ' "$dir/status" 2>/dev/null | grep -vF ' | preview: ' | sed -n "${n}p")
        if [ -n "$line" ]; then
            echo "${line%% | *}"
            return 0
        fi
        kill -0 $VURK_PID 2>/dev/null || e2e_fail "the notifier died: $(tail -n 20 "$dir/notifier.out")"
        sleep 0.1
    done
    e2e_fail "no result line $n within ${bound}s; lines so far: $(cat "$dir/status" 2>/dev/null)"
}

hostile_rss_kb() { awk '/^VmRSS/ {print $2}' /proc/$VURK_PID/status; }
hostile_fds() { ls /proc/$VURK_PID/fd | wc -l; }

# Signature of the clock line's pixels.
hostile_clock_pixels() {
    local pos x y shot="$E2E_TMP/clock.png"
    pos=$(e2e_window_pos "$VURK_WIN")
    x=${pos% *}
    y=${pos#* }
    import -window root "$shot" 2>/dev/null || return 1
    convert "$shot" -crop 108x13+$((x + 8))+$((y + 18)) +repage -format '%#' info:
}

# The clock line changes within three seconds.
hostile_clock_ticks() {
    local first now i
    first=$(hostile_clock_pixels) || e2e_fail "no screenshot"
    for ((i = 0; i < 30; i++)); do
        sleep 0.1
        now=$(hostile_clock_pixels)
        [ "$now" != "$first" ] && return 0
    done
    e2e_fail "the clock stood still for 3 s"
}

# A right click opens the popup menu (a second window of the process); Escape closes it again.
hostile_menu_opens() {
    local before i
    before=$(xdotool search --onlyvisible --pid $VURK_PID 2>/dev/null | wc -l)
    xdotool mousemove --window "$VURK_WIN" 60 12 click 3
    for ((i = 0; i < 100; i++)); do
        [ "$(xdotool search --onlyvisible --pid $VURK_PID 2>/dev/null | wc -l)" -gt "$before" ] && break
        sleep 0.05
    done
    [ $i -lt 100 ] || e2e_fail "the menu did not open"
    xdotool key Escape
    # Away from the window, so no tooltip covers the clock afterwards.
    xdotool mousemove 0 0
    for ((i = 0; i < 100; i++)); do
        [ "$(xdotool search --onlyvisible --pid $VURK_PID 2>/dev/null | wc -l)" -le "$before" ] && return 0
        sleep 0.05
    done
    e2e_fail "the menu did not close"
}

# One hostile scenario: a good check, then the hostile connection, then a good check again.
#   hostile_scenario NAME EXPECTED-RESULT GOOD HOSTILE [server args...] -- [notifier VAR=value...]
hostile_scenario() {
    local name=$1 expected=$2 good=$3 bad=$4; shift 4
    local server_args=() notifier_env=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do server_args+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    notifier_env=("$@")
    local dir="$E2E_TMP/$name" got rss0 rss1
    hostile_server "$dir" --plan "$good,$bad,$good" "${server_args[@]}"
    hostile_settings "$dir" "$HOSTILE_PORT"
    [ -f "$E2E_TMP/tls/cert.pem" ] && mkdir -p "$dir/config/vurk_mailchecker/certs" &&
        cp "$E2E_TMP/tls/"*cert.pem "$dir/config/vurk_mailchecker/certs/"
    local envs=(VURK_TEST_CHECK_INTERVAL_MS=4000 VURK_TEST_CONVERSATION_TIMEOUT_MS=2500)
    for v in "${notifier_env[@]}"; do envs+=("${v//@PORT@/$HOSTILE_PORT}"); done
    hostile_notifier "$dir" "${envs[@]}"

    got=$(hostile_status "$dir" 1 20)
    [ "$got" = "You have 3 e-Mail" ] || e2e_fail "$name: first check said '$got'"
    hostile_menu_opens # the first opening allocates what the menu needs for good
    sleep 2.2          # the blink is over
    rss0=$(hostile_rss_kb)

    got=$(hostile_status "$dir" 2 30)
    [ "$got" = "$expected" ] || e2e_fail "$name: said '$got', not '$expected' ($(grep -F ' | ' "$dir/status" | sed -n 2p))"
    hostile_clock_ticks
    hostile_menu_opens

    got=$(hostile_status "$dir" 3 30)
    [ "$got" = "You have 3 e-Mail" ] || e2e_fail "$name: the check after it said '$got'"
    sleep 2.2
    rss1=$(hostile_rss_kb)
    [ $((rss1 - rss0)) -le 5120 ] || e2e_fail "$name: resident memory grew from $rss0 kB to $rss1 kB"
    echo "$name: '$expected', memory $rss0 -> $rss1 kB, server: $(grep "^end 2 " "$dir/server.log")"
    e2e_stop $VURK_PID 5
    e2e_stop $HOSTILE_SERVER_PID 5
}
