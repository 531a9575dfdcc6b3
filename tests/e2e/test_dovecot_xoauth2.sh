#!/usr/bin/env bash
# The private Dovecot with --oauth2 and its token information endpoint, as the XOAUTH2 tests rely on
# them: over TLS, AUTH XOAUTH2 in the two-line form logs in with a good token, and an expired one gets
# a "+ <base64 JSON>" continuation, then -ERR once that is answered with an empty line.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"

SUPPORT="$VURK_SOURCE_DIR/tests/support"
DV="$E2E_TMP/dovecot"
trap '"$SUPPORT/dovecot.sh" stop "$DV" || true; e2e_cleanup' EXIT

e2e_oauth2_dovecot 3
port=$OAUTH2_PORT

# Prints the server's lines after the greeting and CAPA, one per line.
xoauth2() {
    timeout 30 /usr/bin/python3 - "$port" "$DV/cert.pem" "$1" <<'PY'
import base64, poplib, ssl, sys
port, cafile, token = int(sys.argv[1]), sys.argv[2], sys.argv[3]
pop = poplib.POP3_SSL("127.0.0.1", port, context=ssl.create_default_context(cafile=cafile), timeout=15)
if "XOAUTH2" not in pop.capa().get("SASL", []):
    sys.exit("no XOAUTH2 in CAPA")
def say(line):
    pop._putcmd(line)
    answer = pop._getline()[0].decode()
    print(answer)
    return answer
say("AUTH XOAUTH2")
answer = say(base64.b64encode(("user=vurk@example.test\x01auth=Bearer %s\x01\x01" % token).encode()).decode())
if answer.startswith("+ "):
    print(base64.b64decode(answer[2:]).decode())
    say("")
elif answer.startswith("+OK"):
    print(pop._shortcmd("STAT").decode())
pop.quit()
PY
}

good=$(xoauth2 good-token) || e2e_fail "the good token's session failed: $good"
[ "$good" = $'+ \n+OK Logged in.\n+OK 3 510' ] || e2e_fail "a good token: $good"

expired=$(xoauth2 expired-token) || e2e_fail "the expired token's session failed: $expired"
grep -q '^{"status":"401"' <<<"$expired" || e2e_fail "no error report for an expired token: $expired"
[ "$(tail -n 1 <<<"$expired")" = "-ERR [AUTH] Authentication failed." ] || e2e_fail "an expired token: $expired"

grep -q 'Login: user=<vurk@example.test>, method=XOAUTH2' "$DV/dovecot.log" || e2e_fail "no XOAUTH2 login in the log"
! grep -q 'good-token\|expired-token' "$DV/dovecot.log" "$E2E_TMP/tokeninfo.log" || e2e_fail "a token was logged"
echo "ok: XOAUTH2 on port $port"
