#!/usr/bin/env bash
# The real program signing in with OAuth2 against the private Dovecot (XOAUTH2 over TLS, tokens checked
# by a loopback endpoint): the token from a stand-in of GNOME Online Accounts on the private session
# bus and from a token command. An expired token is refreshed once; a dead service or command ends in
# "Login failed" with the reason and sends nothing; no token shows anywhere.
set -euo pipefail
. "$VURK_SOURCE_DIR/tests/e2e/lib.sh"
. "$VURK_SOURCE_DIR/tests/e2e/hostile_lib.sh"

SUPPORT="$VURK_SOURCE_DIR/tests/support"
DV="$E2E_TMP/dovecot"
trap '"$SUPPORT/dovecot.sh" stop "$DV" || true; e2e_cleanup' EXIT
e2e_oauth2_dovecot 3
port=$OAUTH2_PORT
e2e_start_x

# Runs one notifier until its first check ends.
#   row NAME EXPECTED-LINE EXPECTED-DETAIL [GOA-MODE|-] [settings lines...]
row() {
    local name=$1 line=$2 detail=$3 mode=$4 dir="$E2E_TMP/$1" got goa=""; shift 4
    mkdir -p "$dir/config/vurk_mailchecker/certs"
    cp "$DV/cert.pem" "$dir/config/vurk_mailchecker/certs/"
    {
        printf '[setting]\nserver=127.0.0.1\nuser=vurk@example.test\nport=%s\nsecurity=ssl\n' "$port"
        printf '%s\n' "$@"
    } >"$dir/config/vurk_mailchecker/vurk_mailchecker.ini"
    chmod 600 "$dir/config/vurk_mailchecker/vurk_mailchecker.ini"
    if [ "$mode" != - ]; then
        /usr/bin/python3 "$SUPPORT/fake_goa.py" "$DBUS_SESSION_BUS_ADDRESS" "$dir/goa.log" --mode "$mode" \
            --email vurk@example.test >"$dir/goa.out" 2>&1 &
        goa=$!
        e2e_track $goa
        e2e_until 10 grep -q ready "$dir/goa.log" || e2e_fail "$name: the stand-in did not start"
    fi
    local logins0
    logins0=$(grep -c 'pop3-login' "$DV/dovecot.log" || true)
    hostile_notifier "$dir" VURK_TEST_CHECK_INTERVAL_MS=60000 VURK_TEST_TOKEN_COMMAND_MS=1500 \
        VURK_TEST_ONLINE_ACCOUNTS_WAIT_MS=1500
    got=$(hostile_status "$dir" 1 30)
    [ "$got" = "$line" ] || e2e_fail "$name: said '$got', not '$line' ($(grep -F ' | ' "$dir/status"))"
    grep -F ' | ' "$dir/status" | head -n 1 | grep -qF -- "$detail" ||
        e2e_fail "$name: the tooltip does not say '$detail': $(grep -F ' | ' "$dir/status")"
    echo "$name: $(grep -F ' | ' "$dir/status" | head -n 1)"
    # Without a token nothing reaches the server.
    if [ "$line" != "You have 3 e-Mail" ]; then
        sleep 0.5
        [ "$(grep -c 'pop3-login' "$DV/dovecot.log" || true)" = "$logins0" ] ||
            [ "$detail" = "sign in to the account again" ] || e2e_fail "$name: the server was reached"
    fi
    e2e_stop $VURK_PID 5
    [ -z "$goa" ] || e2e_stop $goa 5
    # The token command's own line names the token; nothing else may.
    ! cat "$dir/status" "$dir/notifier.out" <(grep -v '^tokencommand=' "$dir/config/vurk_mailchecker/vurk_mailchecker.ini") |
        grep -q 'good-token\|expired-token' || e2e_fail "$name: a token shows"
}

row command "You have 3 e-Mail" "3 messages" - "tokencommand=/bin/echo good-token"
grep -q 'Login: user=<vurk@example.test>, method=XOAUTH2' "$DV/dovecot.log" || e2e_fail "no XOAUTH2 login"
row command-fails "Login failed" "Login failed:" - "tokencommand=/bin/false"
row command-hangs "Login failed" "Login failed:" - "tokencommand=/bin/sleep 100"
row command-in-clear "Please check a account" "OAuth2 sign-in needs SSL/TLS or STARTTLS" - \
    "tokencommand=/bin/echo good-token" "security=none"
row goa "You have 3 e-Mail" "3 messages" valid "auth=goa:account_1"
row goa-expired "You have 3 e-Mail" "3 messages" expired "auth=goa:account_1"
[ "$(grep -c '^EnsureCredentials account_1' "$E2E_TMP/goa-expired/goa.log")" = 1 ] ||
    e2e_fail "the expired token was not refreshed exactly once: $(cat "$E2E_TMP/goa-expired/goa.log")"
row goa-refresh-fails "Login failed" "sign in to the account again" refresh-fails "auth=goa:account_1"
row goa-silent "Login failed" "GNOME Online Accounts did not answer" silent "auth=goa:account_1"
row goa-absent "Login failed" "GNOME Online Accounts is not running" - "auth=goa:account_1"
# The account window lists the desktop's Google account; choosing it fills in Gmail's server, port 995,
# SSL/TLS and the address, and OK stores the choice.
dir="$E2E_TMP/window"
mkdir -p "$dir/config/vurk_mailchecker"
/usr/bin/python3 "$SUPPORT/fake_goa.py" "$DBUS_SESSION_BUS_ADDRESS" "$dir/goa.log" --mode valid \
    --email someone@gmail.example >"$dir/goa.out" 2>&1 &
goa=$!
e2e_track $goa
e2e_until 10 grep -q ready "$dir/goa.log" || e2e_fail "window: the stand-in did not start"
hostile_notifier "$dir" VURK_TEST_CHECK_INTERVAL_MS=60000
read -r nx ny <<<"$(e2e_window_pos "$VURK_WIN")"
e2e_click $((nx + 30)) $((ny + 15)) 3
e2e_until 5 bash -c "[ \$(xdotool search --onlyvisible --pid $VURK_PID | wc -l) -ge 2 ]" || e2e_fail "window: no menu"
xdotool key Down Return
account=$(e2e_wait_window "アカウント設定")
e2e_until 10 grep -q GetManagedObjects "$dir/goa.log" || e2e_fail "window: Online Accounts was not asked"
read -r ax ay <<<"$(e2e_window_pos "$account")"
e2e_click $((ax + 150)) $((ay + 144)) 1
sleep 0.3
xdotool key Escape
sleep 0.2
xdotool key Down
sleep 0.3
e2e_click $((ax + 230)) $((ay + 172)) 1
e2e_wait_no_window "アカウント設定" 10
ini="$dir/config/vurk_mailchecker/vurk_mailchecker.ini"
for want in "auth=goa:account_1" "server=pop.gmail.com" "port=995" "security=ssl" "user=someone@gmail.example"; do
    grep -qxF "$want" "$ini" || e2e_fail "window: the file lacks $want: $(cat "$ini")"
done
e2e_stop $VURK_PID 5
e2e_stop $goa 5
echo "oauth2: ok"
