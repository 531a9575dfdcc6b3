#!/usr/bin/env bash
# The real program against a private Dovecot that wants TLS from a client it does not trust as local
# (it listens on 127.0.0.2 and is reached from 127.0.0.1), for each connection security: STARTTLS
# counts and nothing secret crosses in clear; plain text is refused with advice; SSL/TLS works on a
# port other than 995.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"

DOVECOT_SH="$VURK_SOURCE_DIR/tests/support/dovecot.sh"
trap 'for d in stls3 stls0 tls2; do "$DOVECOT_SH" stop "$E2E_TMP/$d" || true; done; e2e_cleanup' EXIT
chmod 711 "$E2E_TMP"
stls3=$("$DOVECOT_SH" start "$E2E_TMP/stls3" 3 --starttls) || e2e_fail "dovecot did not start"
stls0=$("$DOVECOT_SH" start "$E2E_TMP/stls0" 0 --starttls) || e2e_fail "dovecot did not start"
tls2=$("$DOVECOT_SH" start "$E2E_TMP/tls2" 2 --tls) || e2e_fail "dovecot did not start"

# What the client sends on the way to the three-message server, kept as it crossed the wire.
python3 "$VURK_SOURCE_DIR/tests/support/relay.py" --to "127.0.0.2:$stls3" --port-file "$E2E_TMP/relay.port" \
    --capture "$E2E_TMP/relay.capture" >"$E2E_TMP/relay.out" 2>&1 &
e2e_track $!
RELAY_PID=$!
e2e_until 10 test -s "$E2E_TMP/relay.port" || e2e_fail "the relay did not start"
relay=$(cat "$E2E_TMP/relay.port")

e2e_start_x

# One notifier: ROW HOST PORT SECURITY CERT-DIR EXPECTED-LINE EXPECTED-DETAIL
row() {
    local name=$1 host=$2 port=$3 security=$4 certs=$5 line=$6 detail=$7 dir="$E2E_TMP/$1" got
    mkdir -p "$dir/config/vurk_mailchecker/certs"
    cp "$E2E_TMP/$certs/cert.pem" "$dir/config/vurk_mailchecker/certs/"
    # "secret" in its stored, scrambled form.
    printf '[setting]\nserver=%s\nuser=vurk\npass="E1:X@g:a/j#nX@gaF;"\nport=%s\nsecurity=%s\n' \
        "$host" "$port" "$security" >"$dir/config/vurk_mailchecker/vurk_mailchecker.ini"
    chmod 600 "$dir/config/vurk_mailchecker/vurk_mailchecker.ini"
    hostile_notifier "$dir" VURK_TEST_CHECK_INTERVAL_MS=60000
    got=$(hostile_status "$dir" 1 30)
    [ "$got" = "$line" ] || e2e_fail "$name: said '$got', not '$line' ($(grep -F ' | ' "$dir/status"))"
    grep -F ' | ' "$dir/status" | head -n 1 | grep -qF -- "$detail" ||
        e2e_fail "$name: the tooltip does not say '$detail': $(grep -F ' | ' "$dir/status")"
    echo "$name: $(grep -F ' | ' "$dir/status" | head -n 1)"
    e2e_stop $VURK_PID 5
}

row starttls-3 127.0.0.1 "$relay" starttls stls3 "You have 3 e-Mail" "3 messages"
grep -q 'Login: user=<vurk>, method=PLAIN, rip=127.0.0.1, lip=127.0.0.2, .*TLS' "$E2E_TMP/stls3/dovecot.log" ||
    e2e_fail "no TLS login on the server: $(cat "$E2E_TMP/stls3/dovecot.log")"
capture=$(tr -c '[:print:]\n' '.' <"$E2E_TMP/relay.capture")
case $capture in
capa*stls*) ;;
*) e2e_fail "the clear-text side was not CAPA then STLS: $(head -c 200 <<<"$capture")" ;;
esac
! grep -qiE 'user vurk|pass |secret' <<<"$capture" || e2e_fail "a credential crossed in clear text"

row starttls-0 127.0.0.2 "$stls0" starttls stls0 "Not Found e-Mail" "0 messages"
row none 127.0.0.2 "$stls3" none stls3 "Login failed" "the server may want SSL/TLS or STARTTLS"
row ssl-other-port 127.0.0.1 "$tls2" ssl tls2 "You have 2 e-Mail" "2 messages"
[ "$tls2" != 995 ] || e2e_fail "the TLS server happened to get port 995"
e2e_stop $RELAY_PID 5
echo "dovecot security: ok"
