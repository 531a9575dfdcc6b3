#!/usr/bin/env bash
# The notifier on a real X server with a window manager: where and how it maps, that it stays out
# of the taskbar, the left drag, the right-click menu, the tooltip while another window is active,
# and the save when it is told to terminate.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
e2e_start_x
export XDG_CONFIG_HOME="$E2E_TMP/config"
title="Vurk_メールチェッカー"

"$VURK_BIN" 2>"$E2E_TMP/stderr.log" &
pid=$!
e2e_track $pid
id=$(e2e_wait_window "$title")

# Design position and size, no decorations, not in the taskbar, not on top.
e2e_wait_pos "$id" "351 276" || e2e_fail "maps at $(e2e_window_pos "$id")"
[ "$(e2e_window_size "$id")" = "121 37" ] || e2e_fail "size $(e2e_window_size "$id")"
[ "$(e2e_frame_extents "$id")" = "0 0 0 0" ] || e2e_fail "decorated: $(e2e_frame_extents "$id")"
e2e_wm_state "$id" | grep -qx _NET_WM_STATE_SKIP_TASKBAR || e2e_fail "no SKIP_TASKBAR: $(e2e_wm_state "$id")"
e2e_wm_state "$id" | grep -qx _NET_WM_STATE_SKIP_PAGER || e2e_fail "no SKIP_PAGER"
! e2e_wm_state "$id" | grep -qx _NET_WM_STATE_ABOVE || e2e_fail "on top although the switch is off"
xprop -root _NET_CLIENT_LIST | grep -qi "$(printf '0x%x' "$id")" || e2e_fail "not managed by the window manager"
! e2e_taskbar_windows | grep -qx "$id" || e2e_fail "listed in the taskbar"

# Taken 10 px in from its corner and dropped with the corner at 400, 300.
e2e_drag 361 286 410 310
e2e_wait_pos "$id" "400 300" || e2e_fail "after the drag at $(e2e_window_pos "$id")"

# A right click on the result line opens the menu at the pointer.
e2e_click 450 307 3
e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -ge 2 ]" || e2e_fail "no menu"
menu=$(e2e_pid_windows $pid | grep -vx "$id" | head -n 1)
[ "$(e2e_window_pos "$menu")" = "450 307" ] || e2e_fail "menu at $(e2e_window_pos "$menu")"
read -r mw mh <<<"$(e2e_window_size "$menu")"
[ "$mh" -gt 200 ] || e2e_fail "menu only ${mh} px high"
e2e_screenshot "$E2E_TMP/menu-screen.png"
convert "$E2E_TMP/menu-screen.png" -crop "${mw}x${mh}+450+307" +repage "$E2E_TMP/menu.png"
[ -z "${E2E_ARTIFACTS:-}" ] || cp "$E2E_TMP/menu.png" "$E2E_ARTIFACTS/notifier-menu.png"

# Keyboard through the menu: the fifth item switches the shake on.
xdotool key Down Down Down Down Down Return
e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -eq 1 ]" || e2e_fail "menu stayed open"
# And the fourth puts the window on top, in place.
e2e_click 450 307 3
e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -ge 2 ]" || e2e_fail "no menu again"
xdotool key Down Down Down Down Return
e2e_until 5 bash -c "xprop -id $id _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE" || e2e_fail "not on top"
[ "$(e2e_window_pos "$id")" = "400 300" ] || e2e_fail "moved by the switch: $(e2e_window_pos "$id")"
e2e_wm_state "$id" | grep -qx _NET_WM_STATE_SKIP_TASKBAR || e2e_fail "switch lost SKIP_TASKBAR"

# A dialog from the menu stays out of the taskbar too, also when it is shown again after hiding.
for round in first second; do
    e2e_click 450 307 3
    e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -ge 2 ]" || e2e_fail "no menu ($round)"
    xdotool key Down Down Return
    dialog=$(e2e_wait_window "オプション設定")
    e2e_wm_state "$dialog" | grep -qx _NET_WM_STATE_SKIP_TASKBAR || e2e_fail "dialog in the taskbar ($round)"
    xdotool windowactivate --sync "$dialog" key --clearmodifiers alt+F4
    e2e_wait_no_window "オプション設定" 5
done

# Told to terminate (as at log-off), it saves and ends cleanly.
[ -z "$(e2e_setting left)" ] || e2e_fail "position saved before the end"
kill -TERM $pid
e2e_wait_exit $pid 10
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after SIGTERM"
[ "$(e2e_setting left)" = 6000 ] || e2e_fail "left '$(e2e_setting left)'"
[ "$(e2e_setting top)" = 4500 ] || e2e_fail "top '$(e2e_setting top)'"
[ "$(e2e_setting shindou)" = True ] || e2e_fail "shindou '$(e2e_setting shindou)'"
[ "$(e2e_setting front)" = True ] || e2e_fail "front '$(e2e_setting front)'"
[ "$(e2e_setting checkbeep)" = False ] || e2e_fail "checkbeep '$(e2e_setting checkbeep)'"

# The next start comes back there, on top from its first appearance.
"$VURK_BIN" 2>>"$E2E_TMP/stderr.log" &
pid=$!
e2e_track $pid
id=$(e2e_wait_window "$title")
e2e_wait_pos "$id" "400 300" || e2e_fail "restarted at $(e2e_window_pos "$id")"
e2e_wm_state "$id" | grep -qx _NET_WM_STATE_ABOVE || e2e_fail "not on top after the restart"
e2e_wm_state "$id" | grep -qx _NET_WM_STATE_SKIP_TASKBAR || e2e_fail "in the taskbar after the restart"

# The tooltip holds a failure's reason: it shows on hover while another program's window is active.
xmessage -geometry +20+20 -title "another program" "another program" &
other_pid=$!
e2e_track $other_pid
other=$(e2e_wait_window "another program")
xdotool windowactivate --sync "$other"
e2e_pointer_to 300 250
e2e_pointer_to 450 310
e2e_pointer_to 452 311
e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -ge 2 ]" ||
    e2e_fail "no tooltip while another window is active"
tip=$(e2e_pid_windows $pid | grep -vx "$id" | head -n 1)
xprop -id "$tip" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP ||
    e2e_fail "not a tooltip: $(xprop -id "$tip" _NET_WM_WINDOW_TYPE)"
[ "$(xdotool getactivewindow)" = "$other" ] || e2e_fail "the hover took the focus from the other window"
kill $other_pid

kill -HUP $pid
e2e_wait_exit $pid 10
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after SIGHUP"
! grep -v '^QStandardPaths' "$E2E_TMP/stderr.log" | grep -q . || e2e_fail "stderr: $(cat "$E2E_TMP/stderr.log")"
echo "notifier window: ok"
