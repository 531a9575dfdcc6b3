#!/usr/bin/env bash
# The desktop notification against a real notification server (dunst on the test's X server, on a
# private session bus), with dbus-monitor recording the calls: the switch off sends nothing; on, a
# rise sends one Notify that replaces the one before, an unchanged count sends none, an empty mailbox
# closes it, and choosing it in the server starts the mail program; the program's end closes the one
# it showed. Without a server, standard error says so once and checking goes on.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
e2e_start_x # and the private session bus
export XDG_CONFIG_HOME="$E2E_TMP/config"

dunst >"$E2E_TMP/dunst.log" 2>&1 &
dunst=$!
e2e_track $dunst
e2e_until 10 dunstctl is-paused >/dev/null 2>&1 || e2e_fail "dunst did not start"
dbus-monitor >"$E2E_TMP/monitor.txt" 2>&1 &
e2e_track $!
sleep 0.3

printf '#!/bin/sh\ntouch "%s"\n' "$E2E_TMP/mailer.ran" >"$E2E_TMP/mailer.sh"
chmod +x "$E2E_TMP/mailer.sh"

# Starts the fake POP3 server with a plan and the program with the switch as given.
start() { # plan, notify
    e2e_start_pop3 "$1"
    mkdir -p "$XDG_CONFIG_HOME/vurk_mailchecker"
    {
        printf '[setting]\nserver=127.0.0.1\nport=%s\nuser=taro&co\npass=pg4{vRtyj\n' "$E2E_PORT"
        printf 'mailer=%s\n' "$E2E_TMP/mailer.sh"
        [ -z "$2" ] || printf 'notify=%s\n' "$2"
    } >"$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini"
    VURK_TEST_CHECK_INTERVAL_MS=3000 "$VURK_BIN" 2>"$E2E_TMP/stderr.log" &
    pid=$!
    e2e_track $pid
}
stop() { e2e_stop $pid; e2e_stop $E2E_POP3; }
ended() { grep -c "^end " "$E2E_TMP/pop3.log" || true; }
wait_checks() { # n
    e2e_until 40 bash -c "[ \$(grep -c '^end ' '$E2E_TMP/pop3.log') -ge $1 ]" ||
        e2e_fail "fewer than $1 checks: $(cat "$E2E_TMP/pop3.log")"
}
calls() { python3 "$VURK_SOURCE_DIR/tests/support/dbus_calls.py" "$E2E_TMP/monitor.txt" org.freedesktop.Notifications; }

# Switch off (a file from before the switch existed): mail, and not one call.
start good:3 ""
wait_checks 2
stop
[ -z "$(calls)" ] || e2e_fail "calls with the switch off: $(calls)"

# Switch on: 3 (shown), 3 (nothing), 5 (replaces it), 0 (closes it), 2 (a new one).
start good:3,good:3,good:5,good:0,good:2 True
wait_checks 6
notify() { # replaces, count
    echo "Notify Vurk_メールチェッカー $1 vurk_mailchecker You have $2 e-Mail taro&amp;co@127.0.0.1" \
        "[default|メーラーを起動する] {category=email.arrived;desktop-entry=vurk_mailchecker} -1"
}
calls >"$E2E_TMP/calls.txt"
mapfile -t got <"$E2E_TMP/calls.txt"
[ "${#got[@]}" = 5 ] || e2e_fail "calls: $(cat "$E2E_TMP/calls.txt")"
[[ "${got[0]}" == "GetCapabilities -> "*body-markup* ]] || e2e_fail "first call: ${got[0]}"
first=${got[1]##* -> }
[ "${got[1]}" = "$(notify 0 3) -> $first" ] || e2e_fail "first notification: ${got[1]}"
[ "${got[2]}" = "$(notify "$first" 5) -> $first" ] || e2e_fail "the rise to 5: ${got[2]}"
[[ "${got[3]}" == "CloseNotification $first"* ]] || e2e_fail "the empty mailbox: ${got[3]}"
second=${got[4]##* -> }
[ "${got[4]}" = "$(notify 0 2) -> $second" ] || e2e_fail "after the empty mailbox: ${got[4]}"
[ "$(dunstctl count displayed)" = 1 ] || e2e_fail "dunst shows $(dunstctl count displayed)"

# Chosen in the notification server: the mail program starts.
[ ! -e "$E2E_TMP/mailer.ran" ] || e2e_fail "the mail program ran before"
dunstctl action 0
e2e_until 10 test -e "$E2E_TMP/mailer.ran" || e2e_fail "the mail program did not start"
stop

# The program ends (SIGTERM, as at log-off): the notification on screen goes with it.
start good:4 True
wait_checks 1
e2e_until 10 bash -c "python3 '$VURK_SOURCE_DIR/tests/support/dbus_calls.py' '$E2E_TMP/monitor.txt' \
    org.freedesktop.Notifications | tail -n 1 | grep -q '^Notify .* 4 e-Mail'" || e2e_fail "no notification: $(calls)"
shown=$(calls | tail -n 1)
shown=${shown##* -> }
kill -TERM $pid
e2e_wait_exit $pid 10
e2e_until 5 bash -c "python3 '$VURK_SOURCE_DIR/tests/support/dbus_calls.py' '$E2E_TMP/monitor.txt' \
    org.freedesktop.Notifications | tail -n 1 | grep -q '^CloseNotification $shown'" ||
    e2e_fail "not closed at the end: $(calls | tail -n 3)"
e2e_stop $E2E_POP3

# No notification server: two rises, one line on standard error, and checking goes on.
e2e_stop $dunst
start good:1,good:2,good:2 True
wait_checks 3
[ "$(grep -c "no desktop notification" "$E2E_TMP/stderr.log")" = 1 ] ||
    e2e_fail "standard error: $(cat "$E2E_TMP/stderr.log")"
kill -0 $pid || e2e_fail "the program ended"
echo "desktop notice: ok"
