#!/usr/bin/env bash
# The real program against a private Dovecot: the check at start-up and the ticks after it all go to
# the port of the settings, log in and end with QUIT.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"

DOVECOT_SH="$VURK_SOURCE_DIR/tests/support/dovecot.sh"
DV="$E2E_TMP/dovecot"
trap '"$DOVECOT_SH" stop "$DV" || true; e2e_cleanup' EXIT

# Dovecot's mail process may run as another user, who must reach the folder.
chmod 711 "$E2E_TMP"
port=$("$DOVECOT_SH" start "$DV" 4) || e2e_fail "dovecot did not start"

export XDG_CONFIG_HOME="$E2E_TMP/config"
mkdir -p "$XDG_CONFIG_HOME/vurk_mailchecker"
# "secret" in its stored, scrambled form.
cat >"$XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini" <<INI
[setting]
server=127.0.0.1
user=vurk
pass="E1:X@g:a/j#nX@gaF;"
port=$port
INI

logins() { grep -c 'Logged out' "$DV/dovecot.log" || true; }
three_checks() { [ "$(logins)" -ge 3 ]; }

e2e_start_x
VURK_TEST_CHECK_INTERVAL_MS=1500 "$VURK_BIN" >"$E2E_TMP/app.log" 2>&1 &
e2e_track $!
e2e_wait_window "Vurk_メールチェッカー" 20 >/dev/null

e2e_until 30 three_checks || e2e_fail "expected 3 checks, the server saw $(logins): $(cat "$DV/dovecot.log")"
grep -q 'Login: user=<vurk>, method=PLAIN' "$DV/dovecot.log" || e2e_fail "no login in the server log"
grep -q 'del=0/4' "$DV/dovecot.log" || e2e_fail "the mailbox was not read: $(cat "$DV/dovecot.log")"
echo "ok: $(logins) checks on port $port"
