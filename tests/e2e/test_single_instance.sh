#!/usr/bin/env bash
# A second start is refused with its message and writes nothing; after the first instance is
# killed outright, the next start is not refused.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
e2e_start_x
export XDG_CONFIG_HOME="$E2E_TMP/config"
ini="$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini"

pid_window() { # first visible window of a process
    xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n 1 || true
}
has_window() { [ -n "$(pid_window "$1")" ]; }

"$VURK_BIN" >"$E2E_TMP/first.log" 2>&1 &
first=$!
e2e_track $first
e2e_until 30 has_window $first || e2e_fail "first instance shows no window (running: $(kill -0 $first 2>/dev/null && echo yes || echo no))"

"$VURK_BIN" >"$E2E_TMP/second.log" 2>&1 &
second=$!
e2e_track $second
e2e_until 20 has_window $second || e2e_fail "second instance shows no message"
box=$(pid_window $second)
[ "$(xdotool getwindowname "$box")" = "Vurk_メールチェッカー" ] || e2e_fail "message title: $(xdotool getwindowname "$box")"
e2e_screenshot "$E2E_TMP/second.png"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
e2e_until 10 bash -c "! kill -0 $second 2>/dev/null" || e2e_fail "second instance did not end after OK"
kill -0 $first || e2e_fail "first instance ended"
[ ! -e "$ini" ] || e2e_fail "settings file written by a start"

kill -KILL $first
wait $first 2>/dev/null || true
"$VURK_BIN" >"$E2E_TMP/third.log" 2>&1 &
third=$!
e2e_track $third
e2e_until 20 has_window $third || e2e_fail "start after kill -9 shows no window"
size=$(e2e_window_size "$(pid_window $third)")
[ "$size" = "121 37" ] || e2e_fail "start after kill -9 was refused (window $size)"
echo "single instance: ok"
