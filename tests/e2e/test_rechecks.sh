#!/usr/bin/env bash
# Checks out of turn: the network coming back (NetworkManager's State) and the
# machine resuming (logind's PrepareForSleep(false)) each bring the next check's bytes to the POP3
# server within a second, not a minute later; a second reason within 10 s waits until they are over;
# with checking stopped in the menu nothing is checked; a resume while NetworkManager is offline waits
# for the network to come back. A system bus that accepts and never answers holds up nothing: checks
# go on, the menu opens, and SIGTERM ends the program with its exit save. logind and NetworkManager are a test process
# on a private bus that stands in as the system bus.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
e2e_start_x
export XDG_CONFIG_HOME="$E2E_TMP/config"
e2e_start_bus system
export DBUS_SYSTEM_BUS_ADDRESS=$E2E_BUS
# Debian's own Python: python3-dbus is installed for it.
/usr/bin/python3 "$VURK_SOURCE_DIR/tests/support/fake_system.py" "$E2E_BUS" "$E2E_TMP/system.log" 120 &
e2e_track $!
e2e_until 10 grep -q "^ready" "$E2E_TMP/system.log" || e2e_fail "fake logind did not start"

e2e_start_pop3 good:0
mkdir -p "$XDG_CONFIG_HOME/vurk_mailchecker"
printf '[setting]\nserver=127.0.0.1\nport=%s\nuser=taro\npass=pg4{vRtyj\n' "$E2E_PORT" \
    >"$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini"

# The check timer at its minute: every other connection is a recheck.
"$VURK_BIN" 2>"$E2E_TMP/stderr.log" &
pid=$!
e2e_track $pid
id=$(e2e_wait_window "Vurk_メールチェッカー")
e2e_until 10 grep -q "^Get org.freedesktop.NetworkManager State" "$E2E_TMP/system.log" ||
    e2e_fail "NetworkManager was never asked"
e2e_until 10 grep -q "^end 1 " "$E2E_TMP/pop3.log" || e2e_fail "no check at start-up"

checks() { grep -c "^conn " "$E2E_TMP/pop3.log" || true; }
drive() { dbus-send --bus="$DBUS_SYSTEM_BUS_ADDRESS" --print-reply --dest=org.freedesktop.login1 /test "org.vurk.Test.$@" >/dev/null; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Waits for connection number $1 for at most $2 ms; prints how long it took.
expect_check() {
    local from
    from=$(now_ms)
    e2e_until $((($2 + 999) / 1000)) bash -c "[ \$(grep -c '^conn ' '$E2E_TMP/pop3.log') -ge $1 ]" ||
        e2e_fail "no check $1 within $2 ms: $(cat "$E2E_TMP/pop3.log")"
    local took=$(($(now_ms) - from))
    [ "$took" -le "$2" ] || e2e_fail "check $1 after $took ms, more than $2"
    echo "$took"
}

# The network comes back: a check at once.
drive State uint32:70
expect_check 2 1000 >/dev/null
# A resume right after: it waits until 10 s after that check.
drive Resume
took=$(expect_check 3 11000)
[ "$took" -ge 8500 ] || e2e_fail "the second recheck came after $took ms, within 10 s of the first"

# Checking stopped: a resume checks nothing; started again, a resume checks at once.
e2e_choose "$id" "$pid" 9 # チェック停止(&S)
sleep 10.5
drive Resume
sleep 2
[ "$(checks)" = 3 ] || e2e_fail "checked while stopped: $(cat "$E2E_TMP/pop3.log")"
e2e_choose "$id" "$pid" 9 # チェック開始(&S)
sleep 0.5
drive Resume
expect_check 4 1000 >/dev/null

# Offline at the resume: no check then, one as soon as the network is back.
sleep 10.5
drive State uint32:20
drive Resume
sleep 2
[ "$(checks)" = 4 ] || e2e_fail "checked at a resume while offline: $(cat "$E2E_TMP/pop3.log")"
drive State uint32:70
expect_check 5 1000 >/dev/null
sleep 1
[ "$(checks)" = 5 ] || e2e_fail "more than one check when the network came back: $(cat "$E2E_TMP/pop3.log")"
kill -0 $pid || e2e_fail "the program ended"
e2e_stop $pid

# A frozen system bus: it accepts the connection and never answers.
e2e_silent_socket "$E2E_TMP/silent_bus"
e2e_stop $E2E_POP3
e2e_start_pop3 good:0
ini="$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini"
printf '[setting]\nserver=127.0.0.1\nport=%s\nuser=taro\npass=pg4{vRtyj\n' "$E2E_PORT" >"$ini"
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$E2E_TMP/silent_bus" VURK_TEST_CHECK_INTERVAL_MS=1500 \
    "$VURK_BIN" 2>"$E2E_TMP/stderr.log" &
pid=$!
e2e_track $pid
id=$(e2e_wait_window "Vurk_メールチェッカー")
e2e_until 15 bash -c "[ \$(grep -c '^end ' '$E2E_TMP/pop3.log') -ge 3 ]" ||
    e2e_fail "checks stopped with a silent system bus: $(cat "$E2E_TMP/pop3.log")"
read -r x y <<<"$(e2e_window_pos "$id")"
e2e_click $((x + 50)) $((y + 10)) 3
e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -ge 2 ]" ||
    e2e_fail "no menu with a silent system bus"
xdotool key Escape
kill -TERM $pid
e2e_wait_exit $pid 10
grep -q '^front=' "$ini" || e2e_fail "no exit save with a silent system bus: $(cat "$ini")"
echo "rechecks: ok"
