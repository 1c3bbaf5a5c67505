#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests: Unix socket only, trust authentication, in a
# fresh folder under /tmp. initdb refuses root, so as root the server runs as nobody.
#   start FILE    makes and starts a cluster; FILE gets its URI (the database "postgres"),
#                 or "unavailable: REASON" when it cannot start (then the exit code is 0,
#                 unless CI=true: a CI run must not skip the server's tests)
#   stop FILE     stops the cluster FILE names and removes its folder and FILE
#   halt FILE     stops it at once, as a crash would (pg_ctl stop -m immediate); data kept
#   resume FILE   starts a halted cluster again
set -euo pipefail

usage() {
    echo "usage: scripts/test-postgres.sh start|stop|halt|resume FILE" >&2
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
        *) return 1 ;;
    esac
}

unavailable() {
    echo "unavailable: $1" >"$file"
    echo "test-postgres.sh: no test server: $1" >&2
    [ "${CI:-}" = "true" ] && exit 1
    exit 0
}

start() {
    local bin folder log
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
listen_addresses = ''
unix_socket_directories = '$folder'
fsync = off
max_connections = 60
CONF
    echo "postgresql://postgres@/postgres?host=$folder" >"$file"
    run_server "$bin" "$folder" ||
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
    stop) stop ;;
    halt) as_owner "$(find_bin)/pg_ctl" -D "$(folder_of)/data" -m immediate -w stop >/dev/null ;;
    resume) run_server "$(find_bin)" "$(folder_of)" ;;
    *) usage ;;
esac
