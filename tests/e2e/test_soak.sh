#!/usr/bin/env bash
# A thousand checks in a row at a short interval against a server that mixes empty mailboxes, a
# mailbox with mail, refused logins, bad greetings, hang-ups and resets: the notifier stays up, its
# memory stays flat and it keeps no file descriptor behind.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"
e2e_start_x
checks=${VURK_SOAK_CHECKS:-1000}
warm=100
dir="$E2E_TMP/soak"
hostile_server "$dir" --mix --conn-lifetime 10
hostile_settings "$dir" "$HOSTILE_PORT"
# Mail is found at every 49th check; 49 intervals outlast its 2.1 s blink, so blinks never pile up.
hostile_notifier "$dir" VURK_TEST_CHECK_INTERVAL_MS=60 VURK_TEST_CONVERSATION_TIMEOUT_MS=1000

connections() { grep -c '^conn ' "$dir/server.log" 2>/dev/null || true; }
reach() { # waits until the server has seen $1 connections, bounded
    local bound=$2 i
    for ((i = 0; i < bound * 10; i++)); do
        [ "$(connections)" -ge "$1" ] && return 0
        kill -0 $VURK_PID 2>/dev/null || e2e_fail "the notifier died: $(tail -n 20 "$dir/notifier.out")"
        sleep 0.1
    done
    e2e_fail "only $(connections) of $1 checks within ${bound}s"
}

reach $warm 60
rss0=$(hostile_rss_kb)
fds0=$(hostile_fds)
reach "$checks" 400
rss1=$(hostile_rss_kb)
fds1=$(hostile_fds)
hostile_clock_ticks
hostile_menu_opens

kinds=$(sed 's/ | .*//' "$dir/status" | sort | uniq -c | tr -s ' ' | paste -sd ',')
echo "soak: $(connections) checks, $(wc -l <"$dir/status") results ($kinds)"
echo "soak: memory $rss0 -> $rss1 kB, file descriptors $fds0 -> $fds1"
for want in "Not Found e-Mail" "You have 4 e-Mail" "Login failed" "Server error" "Connection failed"; do
    grep -q "^$want" "$dir/status" || e2e_fail "no '$want' among the results"
done
# Flat: a leak of a few kilobytes a check would show as megabytes here.
[ $((rss1 - rss0)) -le 1024 ] || e2e_fail "resident memory grew from $rss0 kB to $rss1 kB"
# One connection may be under way at either moment.
[ "$fds1" -le $((fds0 + 1)) ] || e2e_fail "file descriptors grew from $fds0 to $fds1: $(ls -l /proc/$VURK_PID/fd)"
e2e_stop $VURK_PID 5
echo "soak: ok"
