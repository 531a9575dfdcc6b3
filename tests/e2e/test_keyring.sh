#!/usr/bin/env bash
# The password and a real GNOME Keyring on the test's own session bus. The notifier is ended as a
# log-off ends it (SIGTERM: the exit save) and judged by the settings file, the keyring (secret-tool)
# and the password a POP3 server on 127.0.0.1 received.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"

KEYRING_SH="$VURK_SOURCE_DIR/tests/support/keyring.sh"
D="$E2E_TMP/notifier"
FILE="$D/config/vurk_mailchecker/vurk_mailchecker.ini"
KEY=vurk@127.0.0.1
SCRAMBLED='LnqxK|' # "hi", as hostile_settings stores it
PROMPT="Unlock Login Keyring"

e2e_start_x
hostile_server "$E2E_TMP/server" --plan good:0

in_keyring() { secret-tool lookup server vurk_mailchecker user "$KEY" 2>/dev/null || true; }
pass_in_file() { sed -n 's/^pass=//p' "$FILE"; }
logins() {
    local c
    c=$(grep -c '^recv [0-9]* pass hi$' "$E2E_TMP/server/server.log" 2>/dev/null) || true
    echo "${c:-0}"
}

# Opens the account window from the notifier's menu; prints its id.
open_account() {
    e2e_choose "$VURK_WIN" "$VURK_PID" 1
    e2e_wait_window "アカウント設定" 10
}

# Clicks window $1 at $2 $3 pixels from its top-left corner.
click_in() {
    local x y
    read -r x y <<<"$(e2e_window_pos "$1")"
    e2e_click $((x + $2)) $((y + $3)) 1
}

# Starts the notifier on the settings in $D: checks every 2 s, waits 3 s for the keyring.
start() {
    : >"$D/status"
    hostile_notifier "$D" VURK_TEST_CHECK_INTERVAL_MS=2000 VURK_TEST_KEYRING_WAIT_MS=3000
}

# The Nth check result with its tooltip detail, waiting up to $2 s.
result() {
    local n=$1 bound=${2:-20} line
    e2e_until "$bound" bash -c "grep -F ' | ' '$D/status' | sed -n '${n}p' | grep -q ." ||
        e2e_fail "no result $n within ${bound}s: $(cat "$D/status")"
    grep -F ' | ' "$D/status" | sed -n "${n}p"
}

# Ends the notifier as a log-off does; it must be gone within 6 s whatever the keyring does.
end_session() {
    kill -TERM "$VURK_PID"
    e2e_wait_exit "$VURK_PID" 6
    [ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
}

# Each case: what the file holds after the exit save, what the keyring holds ('-' for no keyring).
expect() {
    local what=$1 file=$2 keyring=$3
    [ "$(pass_in_file)" = "$file" ] || e2e_fail "$what: pass in the file is '$(pass_in_file)', not '$file'"
    [ "$keyring" = - ] || [ "$(in_keyring)" = "$keyring" ] ||
        e2e_fail "$what: the keyring holds '$(in_keyring)', not '$keyring'"
    echo "ok: $what"
}

# No Secret Service on the bus: the password stays scrambled in the file.
hostile_settings "$D" "$HOSTILE_PORT"
n=$(logins)
start
result 1 | grep -q '^Not Found e-Mail' || e2e_fail "no keyring: the check said $(result 1)"
[ "$(logins)" -gt "$n" ] || e2e_fail "no keyring: the password from the file was not sent"
end_session
expect "no keyring: the scrambled fallback" "$SCRAMBLED" -

# A keyring appears: the exit save leaves the password in the file, since moving it may ask the user
# something; only OK moves it.
"$KEYRING_SH" start "$E2E_TMP/bus" --prompter || e2e_fail "the keyring did not start"
e2e_track "$(cat "$E2E_TMP/bus/keyring.pid")"
start
result 1 | grep -q '^Not Found e-Mail' || e2e_fail "keyring appears: the check said $(result 1)"
end_session
expect "exit save: still in the file" "$SCRAMBLED" ""

# OK moves it, from the fields as they were when it was pressed: a server typed while OK waits for a
# stopped keyring goes nowhere (the window is disabled), and the file and the keyring agree.
start
result 1 | grep -q '^Not Found e-Mail' || e2e_fail "moving: the check said $(result 1)"
account=$(open_account)
kill -STOP "$(cat "$E2E_TMP/bus/keyring.pid")"
click_in "$account" 230 172 # OK
sleep 0.5
click_in "$account" 186 17 # the server field
xdotool key End type x
sleep 0.3
kill -CONT "$(cat "$E2E_TMP/bus/keyring.pid")"
e2e_wait_no_window "アカウント設定" 10
end_session
server=$(sed -n 's/^server=//p' "$FILE")
[ "$server" = 127.0.0.1 ] || e2e_fail "OK saved the server '$server', typed while it waited"
expect "moved into the keyring by OK" "" hi
# The next start reads it from the keyring: the check sends it.
n=$(logins)
start
result 1 | grep -q '^Not Found e-Mail' || e2e_fail "restart: the check said $(result 1)"
[ "$(logins)" -gt "$n" ] || e2e_fail "restart: the password from the keyring was not sent"
end_session
expect "read back from the keyring" "" hi

# Locked: the read asks for the keyring's password. Unanswered, the check says so and sends nothing;
# answered, the next tick sends the password.
"$KEYRING_SH" lock "$E2E_TMP/bus"
n=$(logins)
start
e2e_wait_window "$PROMPT" 20 >/dev/null
line=$(result 1 10)
[ "$line" = "Please check a account | Please check a account: the keyring did not answer" ] ||
    e2e_fail "locked: the check said '$line'"
[ "$(logins)" = "$n" ] || e2e_fail "locked: a password went out"
prompt=$(e2e_wait_window "$PROMPT" 5)
xdotool windowactivate --sync "$prompt" type --delay 10 keyring-pw
xdotool key Return
e2e_until 15 bash -c "[ \$(grep -c '^recv [0-9]* pass hi\$' '$E2E_TMP/server/server.log') -gt $n ]" ||
    e2e_fail "unlocked: no check sent the password: $(cat "$D/status")"
end_session
expect "locked, then unlocked: the password stays in the keyring" "" hi

# The daemon stops answering mid-run: the password has not changed, so the exit save leaves the
# keyring alone and ends at once.
start
result 1 | grep -q '^Not Found e-Mail' || e2e_fail "stopped: the check said $(result 1)"
kill -STOP "$(cat "$E2E_TMP/bus/keyring.pid")"
end_session
kill -CONT "$(cat "$E2E_TMP/bus/keyring.pid")"
expect "daemon stopped: the keyring keeps the unchanged password" "" hi

# Locked while the password is in the file: the exit save leaves it there and asks nothing.
hostile_settings "$D" "$HOSTILE_PORT"
"$KEYRING_SH" lock "$E2E_TMP/bus"
start
result 1 | grep -q '^Not Found e-Mail' || e2e_fail "locked with the file's password: the check said $(result 1)"
end_session
sleep 1
if xdotool search --onlyvisible --name "^$PROMPT\$" >/dev/null 2>&1; then
    e2e_fail "locked: the exit save asked for the keyring's password"
fi
expect "locked: the password stays in the file" "$SCRAMBLED" -

# A session bus that takes the connection and never answers: the notifier still shows, ticks, opens
# its menu and checks; a password only the keyring could give is told as unanswered, and the exit
# save ends in time. Qt's own users of the bus are kept off it, as its standard error says.
e2e_silent_socket "$E2E_TMP/silent_session"
silent="DBUS_SESSION_BUS_ADDRESS=unix:path=$E2E_TMP/silent_session"
hostile_settings "$D" "$HOSTILE_PORT"
sed -i '/^shindou=/d' "$FILE" # the exit save writes it back
n=$(logins)
: >"$D/status"
hostile_notifier "$D" "$silent" VURK_TEST_CHECK_INTERVAL_MS=2000 VURK_TEST_KEYRING_WAIT_MS=3000
grep -q 'silent_session did not answer within' "$D/notifier.out" ||
    e2e_fail "silent bus: not told: $(cat "$D/notifier.out")"
hostile_clock_ticks
hostile_menu_opens
result 1 | grep -q '^Not Found e-Mail' || e2e_fail "silent bus: the check said $(result 1)"
[ "$(logins)" -gt "$n" ] || e2e_fail "silent bus: the password from the file was not sent"
end_session
grep -q '^shindou=' "$FILE" || e2e_fail "silent bus: no exit save: $(cat "$FILE")"
expect "silent session bus: the file's password checks and stays" "$SCRAMBLED" -

sed -i 's/^pass=.*/pass=/' "$FILE"
n=$(logins)
: >"$D/status"
hostile_notifier "$D" "$silent" VURK_TEST_CHECK_INTERVAL_MS=2000 VURK_TEST_KEYRING_WAIT_MS=3000
hostile_menu_opens
line=$(result 1 10)
[ "$line" = "Please check a account | Please check a account: the keyring did not answer" ] ||
    e2e_fail "silent bus, password in the keyring: the check said '$line'"
[ "$(logins)" = "$n" ] || e2e_fail "silent bus: a password went out"
end_session
expect "silent session bus: nothing to send, the exit save ends in time" "" -
