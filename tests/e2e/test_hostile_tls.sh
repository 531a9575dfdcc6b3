#!/usr/bin/env bash
# TLS where plain text is expected and the other way round: the TLS port answering in plain text,
# and a plain port that waits for a TLS handshake.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"
e2e_start_x
hostile_cert
tls=(--cert "$E2E_TMP/tls/cert.pem" --key "$E2E_TMP/tls/key.pem")
hostile_scenario plaintext "Connection failed" goodtls plaintext "${tls[@]}" -- VURK_TEST_TLS_PORT=@PORT@
hostile_scenario tlsserver "Connection failed" good tlsserver "${tls[@]}"
echo "hostile tls: ok"
