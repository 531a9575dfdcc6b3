#!/usr/bin/env bash
# A check that finds mail with the shake switched on: the window trembles a few pixels at a time,
# stands above the others afterwards, comes back exactly where it was, and a drag after it
# starts from there.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"
e2e_start_x
export XDG_CONFIG_HOME="$E2E_TMP/config"

hostile_server "$E2E_TMP/server" --plan good:3
mkdir -p "$XDG_CONFIG_HOME/vurk_mailchecker"
printf '[setting]\nserver=127.0.0.1\nport=%s\nuser=taro\npass=pg4{vRtyj\nfront=False\nshindou=True\ncheckbeep=False\n' \
    "$HOSTILE_PORT" >"$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini"

"$VURK_BIN" 2>"$E2E_TMP/stderr.log" &
pid=$!
e2e_track $pid
id=$(e2e_wait_window "Vurk_メールチェッカー")

# Sample the place while the shake runs (it starts with the check and lasts about 1.5 s).
seen="$E2E_TMP/positions"
: >"$seen"
for ((i = 0; i < 60; i++)); do
    e2e_window_pos "$id" >>"$seen"
    sleep 0.05
done
sort -u "$seen" >"$seen.distinct"
[ "$(wc -l <"$seen.distinct")" -ge 3 ] || e2e_fail "the window did not shake: $(tr '\n' ';' <"$seen.distinct")"
# Each cycle steps at most 3 pixels from where the last one left the window.
while read -r x y; do
    [ $((x - 351)) -ge -303 ] && [ $((x - 351)) -le 303 ] && [ $((y - 276)) -ge -303 ] && [ $((y - 276)) -le 303 ] ||
        e2e_fail "shaken too far: $x $y"
done <"$seen.distinct"

e2e_wait_pos "$id" "351 276" 10 || e2e_fail "not back in place: $(e2e_window_pos "$id")"
sleep 1
[ "$(e2e_window_pos "$id")" = "351 276" ] || e2e_fail "moved after the shake: $(e2e_window_pos "$id")"
e2e_wm_state "$id" | grep -qx _NET_WM_STATE_ABOVE || e2e_fail "not topmost after the shake: $(e2e_wm_state "$id")"

# The blink is over well before this; the drag must start from the place the shake ended at.
sleep 2
e2e_drag $((351 + 60)) $((276 + 30)) $((351 + 100)) $((276 + 60))
e2e_wait_pos "$id" "391 306" 5 || e2e_fail "drag after the shake ended at $(e2e_window_pos "$id")"
kill -TERM $pid
e2e_wait_exit $pid 10
[ "$(e2e_setting left)" = 5865 ] && [ "$(e2e_setting top)" = 4590 ] ||
    e2e_fail "saved $(e2e_setting left) $(e2e_setting top), not 5865 4590"
echo "notifier shake: ok"
