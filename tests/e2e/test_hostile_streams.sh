#!/usr/bin/env bash
# Servers that flood or starve the notifier: an endless line, 50 MB of garbage, one byte a second.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"
e2e_start_x
hostile_scenario endless "Server error" good endless
hostile_scenario garbage "Server error" good garbage
hostile_scenario slow "Connection failed" good slow
echo "hostile streams: ok"
