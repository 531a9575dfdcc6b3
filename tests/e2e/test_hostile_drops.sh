#!/usr/bin/env bash
# Servers that go quiet or hang up: silence, a reset inside a reply, a close right after the greeting.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"
e2e_start_x
hostile_scenario silent "Connection failed" good silent
hostile_scenario reset "Connection failed" good reset
hostile_scenario greetclose "Connection failed" good greetclose
echo "hostile drops: ok"
