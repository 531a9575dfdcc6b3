#!/usr/bin/env bash
# STARTTLS that a server fails to give or tries to subvert: in every case the check ends with
# "Connection failed", the tooltip says why, and neither USER nor PASS ever leaves; a proper
# STARTTLS check before and after each counts as usual.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"
e2e_start_x
hostile_cert
tls=(--cert "$E2E_TMP/tls/cert.pem" --key "$E2E_TMP/tls/key.pem"
     --wrong-cert "$E2E_TMP/tls/wrongcert.pem" --wrong-key "$E2E_TMP/tls/wrongkey.pem")
export HOSTILE_SECURITY=starttls
while read -r behaviour why; do
    hostile_scenario "$behaviour" "Connection failed" goodstls "$behaviour" "${tls[@]}"
    dir="$E2E_TMP/$behaviour"
    ! grep -E '^recv 2 (user|pass)' "$dir/server.log" || e2e_fail "$behaviour: a credential left"
    grep -F ' | ' "$dir/status" | sed -n 2p | grep -qiF -- "$why" ||
        e2e_fail "$behaviour: the tooltip does not say '$why': $(grep -F ' | ' "$dir/status" | sed -n 2p)"
done <<'ROWS'
nostls the server offers no STARTTLS
stlsrefused the server refused STARTTLS
stlsdrop Connection failed:
stlsinject the server sent data before TLS began
stlsbadshake Connection failed:
stlswrongcert host name
ROWS
echo "hostile starttls: ok"
