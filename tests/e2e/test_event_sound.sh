#!/usr/bin/env bash
# The beep as the desktop's event sound, played by a real PulseAudio with a null sink: a rise in the
# count plays one sound under the program's name, an unchanged count none; a restarted sound server
# is found again at the next beep; without one, standard error says so once and checking goes on; one
# that accepts and never answers holds up no result, and the X bell rings in its place.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
e2e_start_x
export XDG_CONFIG_HOME="$E2E_TMP/config"

# Starts the fake POP3 server with a plan and the program with the beep on.
start() { # plan
    e2e_start_pop3 "$1"
    mkdir -p "$XDG_CONFIG_HOME/vurk_mailchecker"
    printf '[setting]\nserver=127.0.0.1\nport=%s\nuser=taro\npass=pg4{vRtyj\ncheckbeep=True\n' \
        "$E2E_PORT" >"$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini"
    VURK_TEST_CHECK_INTERVAL_MS=4000 "$VURK_BIN" 2>"$E2E_TMP/stderr.log" &
    pid=$!
    e2e_track $pid
}
quits() { grep -c "^recv [0-9]* quit" "$E2E_TMP/pop3.log" || true; }
sounds() { grep -c "'new' on sink-input" "$E2E_TMP/$1" || true; }
subscribe() { # log
    pactl subscribe >"$E2E_TMP/$1" 2>&1 &
    e2e_track $!
    sleep 0.3
}

e2e_start_pulse
subscribe sub1.log
# 3, 3, 3, then 5 for good.
start good:3,good:3,good:3,good:5
e2e_until 20 bash -c "[ \$(grep -c \"'new' on sink-input\" '$E2E_TMP/sub1.log') -ge 1 ]" ||
    e2e_fail "no event sound: $(cat "$E2E_TMP/pop3.log")"
pactl list clients | grep -q 'application.name = "Vurk_メールチェッカー"' ||
    e2e_fail "the sound's client is not the program: $(pactl list clients)"
pactl list clients | grep -q 'application.id = "vurk_mailchecker"' || e2e_fail "no application id"
e2e_until 20 bash -c "[ \$(grep -c '^recv [0-9]* quit' '$E2E_TMP/pop3.log') -ge 3 ]" || e2e_fail "fewer checks"
[ "$(sounds sub1.log)" = 1 ] || e2e_fail "$(sounds sub1.log) sounds for an unchanged count"

# The sound server restarts before the count rises to 5: that beep reaches the new one.
e2e_stop $E2E_PULSE
e2e_start_pulse
subscribe sub2.log
e2e_until 20 bash -c "[ \$(grep -c \"'new' on sink-input\" '$E2E_TMP/sub2.log') -ge 1 ]" ||
    e2e_fail "no sound after the server restarted: $(cat "$E2E_TMP/pop3.log") $(cat "$E2E_TMP/stderr.log")"
grep -q "sound server" "$E2E_TMP/stderr.log" && e2e_fail "fell back: $(cat "$E2E_TMP/stderr.log")"
e2e_stop $pid
e2e_stop $E2E_POP3

# No sound server at all: two rises, one line on standard error, and the checks go on.
e2e_stop $E2E_PULSE
start good:1,good:2,good:2
e2e_until 30 bash -c "[ \$(grep -c '^recv [0-9]* quit' '$E2E_TMP/pop3.log') -ge 3 ]" ||
    e2e_fail "checks stopped without a sound server: $(cat "$E2E_TMP/pop3.log")"
[ "$(grep -c "no sound server answered" "$E2E_TMP/stderr.log")" = 1 ] ||
    e2e_fail "standard error: $(cat "$E2E_TMP/stderr.log")"
kill -0 $pid || e2e_fail "the program ended"
e2e_stop $pid
e2e_stop $E2E_POP3

# A frozen sound server: it accepts and never answers. Results go on while it beeps.
e2e_silent_socket "$XDG_RUNTIME_DIR/pulse/native"
VURK_TEST_STATUS_FILE="$E2E_TMP/status" start good:1,good:2,good:3,good:4
e2e_until 20 grep -q "^You have 4 e-Mail" "$E2E_TMP/status" ||
    e2e_fail "results stopped with a frozen sound server: $(cat "$E2E_TMP/status" "$E2E_TMP/pop3.log")"
grep -q "no sound server answered in time" "$E2E_TMP/stderr.log" || e2e_fail "standard error: $(cat "$E2E_TMP/stderr.log")"
kill -TERM $pid
e2e_wait_exit $pid 10
echo "event sound: ok"
