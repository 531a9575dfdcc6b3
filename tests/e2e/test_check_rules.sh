#!/usr/bin/env bash
# What the user typed and what the server said, end to end: a port typed with a Japanese input
# method reaches the server, an unreadable port sends nothing anywhere, a long count is shown in
# full, and stopping the checks from the menu ends a check under way.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"
e2e_start_x

# The port as full-width digits with blanks around: the check goes to that port.
full_width() { python3 -c 'import sys; print("\u3000" + "".join(chr(0xFF10 + int(d)) for d in sys.argv[1]) + " ")' "$1"; }
dir="$E2E_TMP/fullwidth"
hostile_server "$dir" --plan good:12345678901234567890
hostile_settings "$dir" "$(full_width "$HOSTILE_PORT")"
hostile_notifier "$dir"
got=$(hostile_status "$dir" 1 20)
[ "$got" = "You have 12345678901234567890 e-Mail" ] || e2e_fail "full-width port: '$got'"
grep -q "^recv 1 pass hi" "$dir/server.log" || e2e_fail "full-width port: no login: $(cat "$dir/server.log")"
e2e_stop $VURK_PID 5
e2e_stop $HOSTILE_SERVER_PID 5

# A port that still is not a number: no connection at all, and the line asks for the account.
dir="$E2E_TMP/badport"
hostile_server "$dir" --plan good
hostile_settings "$dir" "9９5x"
hostile_notifier "$dir" VURK_TEST_CHECK_INTERVAL_MS=500
sleep 2
[ ! -s "$dir/server.log" ] || e2e_fail "unreadable port: the server was reached: $(cat "$dir/server.log")"
last=$(tail -n 1 "$dir/status")
[ "${last%% | *}" = "Please check a account" ] || e2e_fail "unreadable port: the line says '$last'"
case "$last" in *"is not a number"*) ;; *) e2e_fail "unreadable port: the tooltip does not say why: '$last'" ;; esac
e2e_stop $VURK_PID 5
e2e_stop $HOSTILE_SERVER_PID 5

# "チェック停止" while the server takes its time over STAT: the check ends there and then.
dir="$E2E_TMP/stop"
hostile_server "$dir" --plan latestat
hostile_settings "$dir" "$HOSTILE_PORT"
hostile_notifier "$dir"
e2e_until 10 grep -q "^recv 1 stat" "$dir/server.log" || e2e_fail "stop: no STAT: $(cat "$dir/server.log")"
xdotool mousemove --window "$VURK_WIN" 60 12 click 3
e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $VURK_PID | wc -l) -gt 1 ]" || e2e_fail "stop: no menu"
xdotool key s
e2e_until 5 grep -qx "Check Stop" "$dir/status" || e2e_fail "stop: the line does not say Check Stop: $(cat "$dir/status")"
e2e_until 10 grep -q "^end 1 " "$dir/server.log" || e2e_fail "stop: the server's session did not end"
sleep 1
grep -q "^recv 1 quit" "$dir/server.log" && e2e_fail "stop: the check went on to QUIT"
[ "$(tail -n 1 "$dir/status")" = "Check Stop" ] || e2e_fail "stop: the line was overwritten: $(cat "$dir/status")"
echo "check rules: ok"
