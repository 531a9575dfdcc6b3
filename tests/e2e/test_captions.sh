#!/usr/bin/env bash
# Every window of the notifier with the Japanese font it really gets: the account window's
# captions end inside their boxes ("標準(110)" whole, "キャンセル" clear of its button's edges).
# With VURK_UPDATE_DOCS=1 it also renews the windows' pictures in docs/.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
e2e_start_x
export XDG_CONFIG_HOME="$E2E_TMP/config"
mkdir -p "$XDG_CONFIG_HOME/vurk_mailchecker"
cat >"$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini" <<INI
[setting]
mailer=/usr/bin/thunderbird -mail
INI

"$VURK_BIN" 2>"$E2E_TMP/stderr.log" &
pid=$!
e2e_track $pid
e2e_wait_window "Vurk_メールチェッカー" >/dev/null

# Opens the menu item reached by the keys and prints the id of the window titled so.
open_from_menu() {
    local title=$1; shift
    e2e_click 400 290 3
    e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -ge 2 ]" || e2e_fail "no menu for $title"
    xdotool key "$@"
    e2e_wait_window "$title"
}

# The box of the ink darker than the threshold within a part of the screen: "X Y W H", relative.
ink_box() {
    local x=$1 y=$2 w=$3 h=$4 threshold=$5
    convert "$E2E_TMP/screen.png" -crop "${w}x${h}+${x}+${y}" +repage -colorspace gray \
        -threshold "$threshold" -format '%@' info: | sed 's/^\([0-9]*\)x\([0-9]*\)+\([0-9]*\)+\([0-9]*\)$/\3 \4 \1 \2/'
}

# Saves a window, its frame included, as docs/NAME.png in the update mode.
picture() {
    local id=$1 name=$2 fx fy fw fh
    read -r fx fy fw fh <<<"$(e2e_frame_rect "$id")"
    convert "$E2E_TMP/screen.png" -crop "${fw}x${fh}+${fx}+${fy}" +repage "$E2E_TMP/$name.png"
    [ -z "${E2E_ARTIFACTS:-}" ] || cp "$E2E_TMP/$name.png" "$E2E_ARTIFACTS/$name.png"
    [ "${VURK_UPDATE_DOCS:-}" != 1 ] || cp "$E2E_TMP/$name.png" "$VURK_SOURCE_DIR/docs/$name.png"
}

close_window() {
    xdotool windowactivate --sync "$1" key --clearmodifiers alt+F4
    e2e_wait_no_window "$2" 5
}

# The account window, filled as a user would (nothing is confirmed, so nothing connects).
account=$(open_from_menu "アカウント設定" Down Return)
e2e_until 5 bash -c "[ \"\$(xprop -id $account _NET_FRAME_EXTENTS | sed 's/^[^=]*= *//')\" != '' ]" ||
    e2e_fail "account window not framed"
read -r ax ay <<<"$(e2e_window_pos "$account")"
for field in "90 8 pop.example.ne.jp" "90 32 taro" "90 56 pass1234" "90 80 65535"; do
    read -r fx fy text <<<"$field"
    e2e_click $((ax + fx + 10)) $((ay + fy + 9)) 1
    xdotool type --delay 20 "$text"
done
xdotool mousemove $((ax + 150)) $((ay + 100))
sleep 0.5
e2e_screenshot "$E2E_TMP/screen.png"
picture "$account" account

# "標準(110)" in its 49 px box at 128, 88: a caption that runs on
# shows up to the box's last columns; a whole one ends before them.
read -r lx ly lw lh <<<"$(ink_box $((ax + 128)) $((ay + 88)) 49 19 75%)"
[ $((lx + lw)) -le 47 ] || e2e_fail "標準(110) runs to the end of its box: ink up to $((lx + lw)) of 49"
# "キャンセル" on its 60 px button at 253, 162: a clear margin on both sides inside the button's frame.
read -r bx by bw bh <<<"$(ink_box $((ax + 253 + 2)) $((ay + 162 + 2)) 56 16 35%)"
[ "$bx" -ge 2 ] && [ $((bx + bw)) -le 54 ] || e2e_fail "キャンセル touches its button: ink at $bx+$bw of 56"
close_window "$account" "アカウント設定"

colours=$(open_from_menu "オプション設定" Down Down Return)
sleep 0.5
e2e_screenshot "$E2E_TMP/screen.png"
picture "$colours" colours
close_window "$colours" "オプション設定"

mailer=$(open_from_menu "起動メーラ設定" Down Down Down Return)
sleep 0.5
e2e_screenshot "$E2E_TMP/screen.png"
picture "$mailer" mailer
close_window "$mailer" "起動メーラ設定"

about=$(open_from_menu "vurk_mailchecker （ﾊﾞｰｼﾞｮﾝ情報）" a)
sleep 0.5
e2e_screenshot "$E2E_TMP/screen.png"
picture "$about" about
close_window "$about" "vurk_mailchecker （ﾊﾞｰｼﾞｮﾝ情報）"

kill -TERM $pid
e2e_wait_exit $pid 10
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after SIGTERM"
echo "captions: ok"
