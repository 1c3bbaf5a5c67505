#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests: Unix socket only, trust authentication, in a
# fresh folder under /tmp. initdb refuses root, so as root the server runs as nobody.
#   start FILE    makes and starts a cluster; FILE gets its URI (the database "postgres"),
#                 or "unavailable: REASON" when it cannot start (then the exit code is 0,
#                 unless CI=true: a CI run must not skip the server's tests)
#   start-tls FILE  the same, but TLS on a free TCP port of 127.0.0.1 as well, with a CA and
#                 a certificate for localhost made by openssl; FILE gets the URI
#                 postgresql://postgres@localhost:PORT/postgres?sslmode=verify-full&sslrootcert=
#                 FOLDER/ca.crt (FOLDER/server.crt is the server's certificate)
#   stop FILE     stops the cluster FILE names and removes its folder and FILE
#   halt FILE     stops it at once, as a crash would (pg_ctl stop -m immediate); data kept
#   resume FILE   starts a halted cluster again
set -euo pipefail

usage() {
    echo "usage: scripts/test-postgres.sh start|start-tls|stop|halt|resume FILE" >&2
    exit 2
}
[ $# -eq 2 ] || usage
command=$1
file=$2

# As root, every server command runs as nobody; from /tmp, since the clone may be closed to
# other users.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        (cd /tmp && setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@")
    else
        (cd /tmp && "$@")
    fi
}

find_bin() {
    local dir
    for dir in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
        if [ -x "$dir/initdb" ] && [ -x "$dir/pg_ctl" ]; then
            echo "$dir"
            return 0
        fi
    done
    return 1
}

# The folder of the cluster FILE names.
folder_of() {
    local uri
    uri=$(cat "$file")
    case "$uri" in
        postgresql://*host=*) echo "${uri##*host=}" ;;
        postgresql://*sslrootcert=*) dirname "${uri##*sslrootcert=}" ;;
        *) return 1 ;;
    esac
}

unavailable() {
    echo "unavailable: $1" >"$file"
    echo "test-postgres.sh: no test server: $1" >&2
    [ "${CI:-}" = "true" ] && exit 1
    exit 0
}

# A new folder (folder) holding a cluster made by initdb (bin its programs), with the settings
# both kinds of server share.
init_cluster() {
    local log
    bin=$(find_bin) || unavailable "no initdb below /usr/lib/postgresql (Debian package postgresql)"
    folder=$(mktemp -d /tmp/meridax-pg.XXXXXX)
    chmod 755 "$folder"
    [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$folder"
    log=$folder/initdb.log
    if ! as_owner "$bin/initdb" -D "$folder/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 \
            >"$log" 2>&1; then
        give_up "$folder" "initdb failed: $(tail -n 3 "$log" | tr '\n' ' ')"
    fi
    cat >>"$folder/data/postgresql.conf" <<CONF
unix_socket_directories = '$folder'
fsync = off
max_connections = 60
CONF
}

start() {
    local bin folder
    init_cluster
    echo "listen_addresses = ''" >>"$folder/data/postgresql.conf"
    echo "postgresql://postgres@/postgres?host=$folder" >"$file"
    run_server "$bin" "$folder" ||
        give_up "$folder" "the server did not start: $(tail -n 3 "$folder/server.log" | tr '\n' ' ')"
}

# A CA, and a certificate for localhost it signed, made as the server's user: a server key
# another user may read is refused by the server.
make_certificates() {
    local curve=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
    as_owner openssl req -x509 -new "${curve[@]}" -keyout "$folder/ca.key" -out "$folder/ca.crt" \
        -days 3 -subj "/CN=meridax test CA" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" &&
        as_owner openssl req -new "${curve[@]}" -keyout "$folder/server.key" \
            -out "$folder/server.csr" -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost" &&
        as_owner openssl x509 -req -in "$folder/server.csr" -CA "$folder/ca.crt" \
            -CAkey "$folder/ca.key" -set_serial 2 -days 3 -copy_extensions copy \
            -out "$folder/server.crt" &&
        as_owner chmod 600 "$folder/server.key" "$folder/ca.key"
}

# A TCP port of 127.0.0.1 that nothing listens on now.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_tls() {
    local bin folder port attempt
    command -v openssl >/dev/null || unavailable "no openssl (Debian package openssl)"
    init_cluster
    make_certificates >"$folder/openssl.log" 2>&1 ||
        give_up "$folder" "openssl failed: $(tail -n 3 "$folder/openssl.log" | tr '\n' ' ')"
    cat >>"$folder/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
ssl = on
ssl_cert_file = '$folder/server.crt'
ssl_key_file = '$folder/server.key'
CONF
    # Over TCP, TLS only; the socket stays for pg_ctl and the tests' own set-up.
    printf 'local all all trust\nhostssl all all 127.0.0.1/32 trust\n' >"$folder/data/pg_hba.conf"
    # Another program may take the port between the look and the start: then another one.
    for attempt in 1 2 3; do
        port=$(free_port) || give_up "$folder" "no free TCP port (python3)"
        echo "port = $port" >>"$folder/data/postgresql.conf"
        echo "postgresql://postgres@localhost:$port/postgres?sslmode=verify-full&sslrootcert=$folder/ca.crt" >"$file"
        run_server "$bin" "$folder" && return 0
    done
    give_up "$folder" "the server did not start: $(tail -n 3 "$folder/server.log" | tr '\n' ' ')"
}

# A cluster that did not come up: stopped if half started, its folder removed, the reason kept.
give_up() {
    as_owner "$bin/pg_ctl" -D "$1/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$1"
    unavailable "$2"
}

run_server() {
    as_owner "$1/pg_ctl" -D "$2/data" -l "$2/server.log" -w -t 60 start >/dev/null
}

stop() {
    local bin folder
    [ -f "$file" ] || return 0
    if folder=$(folder_of) && [ -d "$folder" ]; then
        bin=$(find_bin)
        as_owner "$bin/pg_ctl" -D "$folder/data" -m fast -w stop >/dev/null 2>&1 || true
        rm -rf "$folder"
    fi
    rm -f "$file"
}

case "$command" in
    start) start ;;
    start-tls) start_tls ;;
    stop) stop ;;
    halt) as_owner "$(find_bin)/pg_ctl" -D "$(folder_of)/data" -m immediate -w stop >/dev/null ;;
    resume) run_server "$(find_bin)" "$(folder_of)" ;;
    *) usage ;;
esac
