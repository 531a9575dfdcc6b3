#!/usr/bin/env bash
# The notifier showing a count from a POP3 server on 127.0.0.1, and a termination signal arriving
# while the panel blinks: the waiting blink does not hold the program, the settings are saved.
# With VURK_UPDATE_DOCS=1 it also renews docs/notifier.png.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
e2e_start_x
export XDG_CONFIG_HOME="$E2E_TMP/config"

e2e_start_pop3 good:3
port=$E2E_PORT
mkdir -p "$XDG_CONFIG_HOME/vurk_mailchecker"
cat >"$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini" <<INI
[setting]
server=127.0.0.1
port=$port
user=taro
pass=pg4{vRtyj
INI

"$VURK_BIN" 2>"$E2E_TMP/stderr.log" &
pid=$!
e2e_track $pid
id=$(e2e_wait_window "Vurk_メールチェッカー")
e2e_until 20 grep -q "^recv 1 quit" "$E2E_TMP/pop3.log" || e2e_fail "no check: $(cat "$E2E_TMP/pop3.log")"
grep -qx "recv 1 pass xyz" "$E2E_TMP/pop3.log" || e2e_fail "password not decoded: $(cat "$E2E_TMP/pop3.log")"

# The panel under the lines takes the blink colours: A (148, 202, 248) or B (100, 100, 255).
panel() {
    e2e_screenshot "$E2E_TMP/screen.png"
    convert "$E2E_TMP/screen.png" -crop 1x1+$((351 + 60))+$((276 + 31)) -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}'
}
e2e_until 10 bash -c "$(declare -f panel e2e_screenshot); E2E_TMP=$E2E_TMP; case \$(panel) in '#94CAF8'|'#6464FF') exit 0;; esac; exit 1" ||
    e2e_fail "panel never blinked: $(panel)"

if [ "${VURK_UPDATE_DOCS:-}" = 1 ]; then
    sleep 4 # the blink's last colour, then a whole second of the clock
    e2e_screenshot "$E2E_TMP/screen.png"
    convert "$E2E_TMP/screen.png" -crop 121x37+351+276 +repage -filter point -resize 200% \
        "$VURK_SOURCE_DIR/docs/notifier.png"
fi

kill -TERM $pid
e2e_wait_exit $pid 10
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after SIGTERM"
[ "$(e2e_setting left)" = 5265 ] && [ "$(e2e_setting top)" = 4140 ] || e2e_fail "position not saved"
[ "$(e2e_setting server)" = 127.0.0.1 ] && [ "$(e2e_setting port)" = "$port" ] || e2e_fail "account not saved"
echo "notifier count: ok"
