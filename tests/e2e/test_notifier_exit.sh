#!/usr/bin/env bash
# The ways the notifier ends: the menu's exit question (No keeps it, Yes saves and ends), a
# termination signal while that question is open, and closing the window through the window manager.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
e2e_start_x
export XDG_CONFIG_HOME="$E2E_TMP/config"
ini="$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini"
title="Vurk_メールチェッカー"

start() {
    "$VURK_BIN" 2>>"$E2E_TMP/stderr.log" &
    pid=$!
    e2e_track $pid
    id=$(e2e_wait_window "$title")
    e2e_wait_pos "$id" "$1" || e2e_fail "started at $(e2e_window_pos "$id"), not $1"
}


# The exit question: the process's other window with the program's title.
question() {
    local w
    e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -ge 2 ]" || e2e_fail "no question"
    for w in $(e2e_pid_windows $pid); do
        [ "$w" != "$id" ] && [ "$(xdotool getwindowname "$w")" = "$title" ] && { echo "$w"; return 0; }
    done
    e2e_fail "no window titled $title besides the notifier"
}

no_question() {
    e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -eq 1 ]" || e2e_fail "question stayed"
}

start "351 276"
e2e_choose "$id" "$pid" 6 # beep on
no_question
e2e_drag 360 286 109 110

# Exit answered No: nothing happens, nothing is stored.
e2e_choose "$id" "$pid" 10 # exit
box=$(question)
xdotool windowactivate --sync "$box" key --clearmodifiers Escape
no_question
kill -0 $pid || e2e_fail "ended after No"
[ ! -e "$ini" ] || e2e_fail "No wrote the settings"

# Exit answered Yes: saved, then the program ends at once.
e2e_choose "$id" "$pid" 10 # exit
box=$(question)
xdotool windowactivate --sync "$box" key --clearmodifiers Return
e2e_wait_exit $pid 10
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after Yes"
[ "$(e2e_setting left)" = 1500 ] && [ "$(e2e_setting top)" = 1500 ] ||
    e2e_fail "position after Yes: $(e2e_setting left), $(e2e_setting top)"
[ "$(e2e_setting checkbeep)" = True ] || e2e_fail "checkbeep after Yes: $(e2e_setting checkbeep)"

# A termination signal while the question is open: saved, and the open question doesn't hold the
# program.
start "100 100"
e2e_drag 110 110 210 160
e2e_choose "$id" "$pid" 10 # exit
question >/dev/null
kill -TERM $pid
e2e_wait_exit $pid 10
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after SIGTERM during the question"
[ "$(e2e_setting left)" = 3000 ] && [ "$(e2e_setting top)" = 2250 ] ||
    e2e_fail "position after SIGTERM: $(e2e_setting left), $(e2e_setting top)"

# Closed by the window manager (Alt+F4): the close handlers save, and the program ends with it.
start "200 150"
e2e_choose "$id" "$pid" 5 # shake on
no_question
xdotool windowactivate --sync "$id" key --clearmodifiers alt+F4
e2e_wait_exit $pid 10
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after closing"
[ "$(e2e_setting shindou)" = True ] || e2e_fail "shindou after closing: $(e2e_setting shindou)"
[ "$(e2e_setting left)" = 3000 ] || e2e_fail "left after closing: $(e2e_setting left)"
echo "notifier exit: ok"
