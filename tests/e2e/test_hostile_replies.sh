#!/usr/bin/env bash
# Servers whose replies are wrong rather than missing: answers sent ahead of the commands, a STAT
# reply without a count among endless lines, a mailbox busy in another session, a server with a
# passing fault.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"
e2e_start_x
hostile_scenario ahead "Server error" good ahead
! grep -q "^recv 2 pass" "$E2E_TMP/ahead/server.log" || e2e_fail "ahead: the password went out to a server that talked ahead"
hostile_scenario nocount "Server error" good nocount
hostile_scenario inuse "Server busy" good inuse
hostile_scenario systemp "Server busy" good systemp
echo "hostile replies: ok"
