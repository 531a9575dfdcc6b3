#!/usr/bin/env bash
# Servers that misbehave only once the count is read, with the senders and subjects switched on: a
# UIDL listing that never ends, duplicate and absurd ids, a TOP reply without its dot, a 10 MB header.
# The count still shows, the next check is fine and memory stays bounded.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"
e2e_start_x
export HOSTILE_PREVIEW=1
for bad in uidlendless uidlbad topnodot tophuge; do
    # The headers come after the blink: the bound outlasts it, and the next tick comes after the bound.
    hostile_scenario "$bad" "You have 3 e-Mail" good "$bad" -- VURK_TEST_CONVERSATION_TIMEOUT_MS=5000 \
        VURK_TEST_CHECK_INTERVAL_MS=8000
    grep -qF ' | preview: ' "$E2E_TMP/$bad/status" || e2e_fail "$bad: no new messages were listed"
    grep -q "^recv 3 uidl" "$E2E_TMP/$bad/server.log" || e2e_fail "$bad: the check after it sent no UIDL"
done
# The good checks' headers, read once: the third check announced nothing already seen.
grep -F ' | preview: ' "$E2E_TMP/uidlbad/status" | grep -qF 'message 3' || e2e_fail "uidlbad: the good headers were not listed"
echo "hostile headers: ok"
