#!/usr/bin/env bash
# The senders and subjects against a private Dovecot holding real Japanese mail (the header
# fixtures), with a real notification server: the tooltip (through the status probe) and the
# notification (through dbus-monitor) show the decoded names and subjects, newest first, escaped for
# the server's markup; a restart announces nothing old; one message deleted and one added leave the
# count as it was, and the added one is announced.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"

DOVECOT_SH="$VURK_SOURCE_DIR/tests/support/dovecot.sh"
DV="$E2E_TMP/dovecot"
trap '"$DOVECOT_SH" stop "$DV" || true; e2e_cleanup' EXIT

chmod 711 "$E2E_TMP"
mkdir -p "$E2E_TMP/eml"
for name in ja-becky-iso2022jp-b ja-cron-eucjp-raw ja-docomo-sjis-b; do
    cp "$VURK_SOURCE_DIR/tests/fixtures/headers/$name.eml" "$E2E_TMP/eml/"
done
port=$("$DOVECOT_SH" start "$DV" 1 --messages-from "$E2E_TMP/eml") || e2e_fail "dovecot did not start"

e2e_start_x # and the private session bus
export XDG_CONFIG_HOME="$E2E_TMP/config" XDG_STATE_HOME="$E2E_TMP/state"
mkdir -p "$XDG_CONFIG_HOME/vurk_mailchecker"
cat >"$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini" <<INI
[setting]
server=127.0.0.1
user=vurk
pass="E1:X@g:a/j#nX@gaF;"
port=$port
notify=True
preview=True
INI
dunst >"$E2E_TMP/dunst.log" 2>&1 &
e2e_track $!
e2e_until 10 dunstctl is-paused >/dev/null 2>&1 || e2e_fail "dunst did not start"
dbus-monitor >"$E2E_TMP/monitor.txt" 2>&1 &
e2e_track $!
sleep 0.3

calls() { python3 "$VURK_SOURCE_DIR/tests/support/dbus_calls.py" "$E2E_TMP/monitor.txt" org.freedesktop.Notifications; }
previews() { grep -c ' | preview: ' "$E2E_TMP/status" 2>/dev/null || true; }
logins() { grep -c 'Logged out' "$DV/dovecot.log" || true; }
# Runs the program until it has checked $1 more times.
run_checks() {
    local before
    before=$(logins)
    VURK_TEST_STATUS_FILE="$E2E_TMP/status" VURK_TEST_CHECK_INTERVAL_MS=4000 "$VURK_BIN" >>"$E2E_TMP/app.log" 2>&1 &
    pid=$!
    e2e_track $pid
    e2e_until 40 bash -c "[ \$(grep -c 'Logged out' '$DV/dovecot.log') -ge $((before + $1)) ]" ||
        e2e_fail "fewer than $1 checks: $(cat "$DV/dovecot.log")"
    sleep 0.5
    e2e_stop $pid
}

# The first check: the three newest, decoded, newest first; then nothing more in the same run.
run_checks 2
[ "$(previews)" = 1 ] || e2e_fail "new messages listed $(previews) times: $(cat "$E2E_TMP/status")"
for name in ja-docomo-sjis-b ja-cron-eucjp-raw ja-becky-iso2022jp-b; do
    line=$(awk -F'\t' -v f="$name.eml" '$1 == f {print $2 " — " $3}' "$VURK_SOURCE_DIR/tests/fixtures/headers/expected.tsv")
    grep -F ' | preview: ' "$E2E_TMP/status" | grep -qF "$line" || e2e_fail "not in the tooltip: $line"
    # The body spans lines, which the call list does not keep: the monitor's own record has them.
    grep -qF "$(printf '%s' "$line" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g')" "$E2E_TMP/monitor.txt" ||
        e2e_fail "not in the notification: $line ($(calls))"
done
newest=$(grep -F ' | preview: ' "$E2E_TMP/status" | head -n 1)
[[ "$newest" == *"preview: $(awk -F'\t' '$1 == "ja-docomo-sjis-b.eml" {print $2}' "$VURK_SOURCE_DIR/tests/fixtures/headers/expected.tsv")"* ]] ||
    e2e_fail "the newest is not first: $newest"

# A restart: the ids are known, nothing is announced again.
run_checks 2
[ "$(previews)" = 1 ] || e2e_fail "a restart announced old mail: $(cat "$E2E_TMP/status")"

# One deleted, one added: the count stays, the added one is announced.
maildir="$DV/home/vurk/Maildir"
rm -f "$maildir"/cur/*.M2P1.*
cp "$VURK_SOURCE_DIR/tests/fixtures/headers/ja-gmail-utf8-b.eml" "$maildir/new/1700000099.M99P1.vurk"
run_checks 1
[ "$(previews)" = 2 ] || e2e_fail "the added message was not announced: $(cat "$E2E_TMP/status")"
line=$(awk -F'\t' '$1 == "ja-gmail-utf8-b.eml" {print $2 " — " $3}' "$VURK_SOURCE_DIR/tests/fixtures/headers/expected.tsv")
tail -n 1 < <(grep -F ' | preview: ' "$E2E_TMP/status") | grep -qF "$line" || e2e_fail "announced: $(tail -n 3 "$E2E_TMP/status")"
grep -F 'You have 4 e-Mail' "$E2E_TMP/status" | tail -n 1 | grep -q . || e2e_fail "the count changed"
calls | grep '^Notify ' | tail -n 1 | grep -qF "$line" || e2e_fail "the notification did not list it: $(calls | tail -n 2)"
[ "$(calls | grep -c '^Notify .*You have 4 e-Mail')" -ge 2 ] || e2e_fail "the count rose: $(calls)"
echo "ok: $(previews) announcements, $(logins) checks"
