#!/usr/bin/env bash
# A private Dovecot POP3 server for tests and benchmarks, all under one folder, on a free loopback port.
#
#   dovecot.sh start DIR N_MESSAGES [--tls|--starttls] [--oauth2 TOKENINFO_URL] [--messages-from FOLDER]
#                                             prints the port once the server accepts connections
#   dovecot.sh stop DIR                       stops it (bounded) and leaves DIR for inspection
#
# The account is "vurk" with the password "secret". With --tls the port speaks implicit TLS (POP3S)
# with a self-signed certificate for 127.0.0.1, 127.0.0.2 and localhost, kept in DIR/cert.pem. With
# --starttls the server listens on 127.0.0.2 only, offers STLS on its plain port and refuses a login
# before it: a client from 127.0.0.1 is not one dovecot would trust as local. With --oauth2 it
# also takes SASL XOAUTH2 and OAUTHBEARER, asking TOKENINFO_URL with the token appended
# (support/tokeninfo.py: http://127.0.0.1:PORT/tokeninfo?access_token=) for the user's "email";
# "vurk" and "vurk@any.domain" share the one mailbox. With --messages-from every *.eml of FOLDER
# follows the N_MESSAGES made up ones, in the order of their names, as they are (newest last).
# The server's log is DIR/dovecot.log. Everything runs as the calling user.
set -euo pipefail

fail() {
    echo "dovecot.sh: $*" >&2
    exit 1
}

DOVECOT=$(command -v dovecot || true)
[ -n "$DOVECOT" ] || DOVECOT=/usr/sbin/dovecot
[ -x "$DOVECOT" ] || fail "dovecot is not installed (Debian: dovecot-core dovecot-pop3d)"

free_port() {
    python3 - <<'PY'
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
}

make_maildir() {
    local maildir=$1 count=$2 from=$3 i file
    mkdir -p "$maildir/cur" "$maildir/new" "$maildir/tmp"
    for ((i = 1; i <= count; i++)); do
        printf 'From: sender%d@example.invalid\r\nTo: vurk@example.invalid\r\nSubject: message %d\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\nMessage-ID: <%d@example.invalid>\r\n\r\nBody of message %d.\r\n' \
            "$i" "$i" "$i" "$i" >"$maildir/new/$((1700000000 + i)).M${i}P1.vurk"
    done
    [ -n "$from" ] || return 0
    # Dovecot numbers new mail by the time in the file's name: later names, later numbers.
    for file in "$from"/*.eml; do
        [ -f "$file" ] || continue
        cp "$file" "$maildir/new/$((1700000000 + i)).M${i}P1.vurk"
        i=$((i + 1))
    done
}

make_cert() {
    local dir=$1
    [ -f "$dir/cert.pem" ] && [ -f "$dir/key.pem" ] && return 0
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=127.0.0.1" \
        -addext "subjectAltName=IP:127.0.0.1,IP:127.0.0.2,DNS:localhost" \
        -addext "basicConstraints=critical,CA:TRUE" \
        -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1 || fail "openssl could not make a certificate"
    chmod 600 "$dir/key.pem"
}

write_config() {
    local dir=$1 port=$2 tls=$3 oauth2=$4 user group
    user=$(id -un)
    group=$(id -gn)
    {
        echo "base_dir = $dir/run"
        echo "state_dir = $dir/state"
        echo "instance_name = vurk-test-$port"
        echo "log_path = $dir/dovecot.log"
        echo "info_log_path = $dir/dovecot.log"
        echo "debug_log_path = $dir/dovecot.log"
        echo "protocols = pop3"
        echo "listen = $(listen_address "$tls")"
        echo "default_internal_user = $user"
        echo "default_internal_group = $group"
        echo "default_login_user = $LOGIN_USER"
        echo "first_valid_uid = 0"
        echo "first_valid_gid = 0"
        if [ "$tls" = 2 ]; then
            echo "disable_plaintext_auth = yes"
        else
            echo "disable_plaintext_auth = no"
        fi
        if [ -n "$oauth2" ]; then
            echo "auth_mechanisms = plain xoauth2 oauthbearer"
            echo "passdb {"
            echo "  driver = oauth2"
            echo "  mechanisms = xoauth2 oauthbearer"
            echo "  args = $dir/oauth2.conf.ext"
            echo "}"
        else
            echo "auth_mechanisms = plain"
        fi
        echo "auth_verbose = yes"
        echo "mail_location = maildir:$dir/home/%n/Maildir"
        echo "pop3_uidl_format = %08Xu%08Xv"
        echo "passdb {"
        echo "  driver = passwd-file"
        echo "  args = scheme=PLAIN username_format=%u $dir/passwd"
        echo "}"
        echo "userdb {"
        echo "  driver = static"
        echo "  args = uid=$MAIL_UID gid=$MAIL_GID home=$dir/home/%n"
        echo "}"
        echo "service pop3-login {"
        [ "$(id -u)" -eq 0 ] || echo "  chroot ="
        echo "  inet_listener pop3 {"
        if [ "$tls" = 1 ]; then
            echo "    port = 0"
        else
            echo "    port = $port"
        fi
        echo "  }"
        echo "  inet_listener pop3s {"
        if [ "$tls" = 1 ]; then
            echo "    port = $port"
            echo "    ssl = yes"
        else
            echo "    port = 0"
        fi
        echo "  }"
        echo "}"
        # Only root can shut processes into a chroot.
        if [ "$(id -u)" -ne 0 ]; then
            echo "service anvil {"
            echo "  chroot ="
            echo "}"
        fi
        # Auth reads the passwd file in DIR, which may be private to the calling user.
        echo "service auth {"
        echo "  user = $user"
        echo "}"
        if [ "$tls" != 0 ]; then
            echo "ssl = yes"
            echo "ssl_min_protocol = TLSv1.2"
            echo "ssl_cert = <$dir/cert.pem"
            echo "ssl_key = <$dir/key.pem"
        else
            echo "ssl = no"
        fi
    } >"$dir/dovecot.conf"
    [ -z "$oauth2" ] || printf 'tokeninfo_url = %s\nintrospection_mode = get\nusername_attribute = email\n' \
        "$oauth2" >"$dir/oauth2.conf.ext"
}

# --starttls listens on 127.0.0.2, the others on 127.0.0.1.
listen_address() {
    if [ "$1" = 2 ]; then echo 127.0.0.2; else echo 127.0.0.1; fi
}

wait_listening() {
    local port=$1 bound=$2 address=$3 i
    for ((i = 0; i < bound * 10; i++)); do
        if python3 -c "import socket,sys; s=socket.create_connection(('$address', $port), 1); s.close()" 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Dovecot runs neither its login processes nor a mail session as root. As root, the login processes
# use the package's dovenull user and the mailbox belongs to nobody, who must be able to reach DIR.
choose_users() {
    local dir=$1
    LOGIN_USER=$(id -un)
    MAIL_UID=$(id -u)
    MAIL_GID=$(id -g)
    [ "$(id -u)" -eq 0 ] || return 0
    getent passwd dovenull >/dev/null || fail "as root this needs the dovenull user of the dovecot package"
    LOGIN_USER=dovenull
    MAIL_UID=$(id -u nobody)
    MAIL_GID=$(id -g nobody)
    chmod 711 "$dir"
    if ! setpriv --reuid="$MAIL_UID" --regid="$MAIL_GID" --clear-groups test -x "$dir"; then
        fail "user nobody cannot reach $dir; make its parent folders searchable (chmod o+x)"
    fi
}

start() {
    local dir=$1 count=$2 tls=0 oauth2="" from="" port attempt
    shift 2
    while [ $# -gt 0 ]; do
        case $1 in
        --tls) tls=1 ;;
        --starttls) tls=2 ;;
        --oauth2)
            [ $# -ge 2 ] || fail "--oauth2 needs the token information URL"
            oauth2=$2
            shift
            ;;
        --messages-from)
            [ $# -ge 2 ] && [ -d "$2" ] || fail "--messages-from needs a folder"
            from=$(cd "$2" && pwd)
            shift
            ;;
        *) fail "unknown option '$1'" ;;
        esac
        shift
    done
    [[ "$count" =~ ^[0-9]+$ ]] || fail "N_MESSAGES must be a whole number"
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    [ -f "$dir/run/master.pid" ] && fail "a server already runs in $dir"
    choose_users "$dir"
    mkdir -p "$dir/run" "$dir/state" "$dir/home/vurk"
    echo "vurk:{PLAIN}secret" >"$dir/passwd"
    rm -rf "$dir/home/vurk/Maildir"
    make_maildir "$dir/home/vurk/Maildir" "$count" "$from"
    [ "$(id -u)" -eq 0 ] && chown -R "$MAIL_UID:$MAIL_GID" "$dir/home"
    [ "$tls" != 0 ] && make_cert "$dir"
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        write_config "$dir" "$port" "$tls" "$oauth2"
        if "$DOVECOT" -c "$dir/dovecot.conf" >>"$dir/start.log" 2>&1 && wait_listening "$port" 10 "$(listen_address "$tls")"; then
            echo "$port" >"$dir/port"
            echo "$port"
            return 0
        fi
        stop "$dir" >/dev/null 2>&1 || true
    done
    fail "could not start dovecot; see $dir/start.log and $dir/dovecot.log"
}

stop() {
    local dir=$1 pid i
    local pidfile="$dir/run/master.pid"
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile")
    if kill -TERM "$pid" 2>/dev/null; then
        for ((i = 0; i < 100; i++)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$pidfile"
}

case "${1:-}" in
start)
    [ $# -ge 3 ] || fail "usage: dovecot.sh start DIR N_MESSAGES [--tls|--starttls] [--oauth2 TOKENINFO_URL] [--messages-from FOLDER]"
    shift
    start "$@"
    ;;
stop)
    [ $# -ge 2 ] || fail "usage: dovecot.sh stop DIR"
    stop "$2"
    ;;
*)
    fail "usage: dovecot.sh start DIR N_MESSAGES [--tls|--starttls] [--oauth2 TOKENINFO_URL] [--messages-from FOLDER] | stop DIR"
    ;;
esac
