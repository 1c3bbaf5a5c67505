#!/usr/bin/env bash
# meridax-cli job add of a generated 1,000,000-record dump against the database shells loading
# the same rows as CSV into a table of the same columns (sqlite3's .import; psql's \copy, on a
# throw-away server of scripts/test-postgres.sh), and against sqlite3's .import of the rows
# alone (cable, fiber, three numbers, the relative flag) into a plain table without keys, what
# a user would otherwise do; rounds alternating so that all see the same machine load; the peak
# memory of job add against convert of the same dump; job report to the terminal of a job with
# 100,000 current readings.
#   bench/archive/job-add-vs-shells.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=${1:-build}
rounds=${2:-3}
cli=$build/tools/meridax-cli
work=$(mktemp -d)
chmod 755 "$work"
server=$work/server.uri
cleanup() {
    [ -s "$server" ] && scripts/test-postgres.sh stop "$server" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

"$build/bench/core/meridax-bench-make-dump" 1000000 "$work/dump.txt"
"$build/bench/core/meridax-bench-make-dump" 100000 "$work/dump-100k.txt"
# The rows as the archive stores them: download, sequence, cable, fiber, wavelength, value,
# reference, kind, direction.
"$cli" convert "$work/dump.txt" --to "$work/rows.csv"
sed '1s/^\xEF\xBB\xBF//' "$work/rows.csv" | tr -d '\r' |
    awk -F, -v OFS=, '{ print 1, NR, $1, $2, $3, $4, ($5 == "" ? 0 : $5), ($5 == "" ? 0 : 1), "a-b" }' \
    > "$work/rows-only.csv"
awk -F, -v OFS=, '{ print $3, $4, $5, $6, $7, $8 }' "$work/rows-only.csv" > "$work/rows-plain.csv"
plain="cable TEXT NOT NULL, fiber TEXT NOT NULL, wavelength REAL, value REAL, reference REAL,
       is_relative INTEGER"
columns="download_id BIGINT NOT NULL, seq INTEGER NOT NULL, cable TEXT NOT NULL, fiber TEXT NOT NULL,
         wavelength DOUBLE PRECISION, value DOUBLE PRECISION, reference DOUBLE PRECISION,
         is_relative INTEGER, direction TEXT NOT NULL, PRIMARY KEY (download_id, seq)"
echo "dump: $(stat -c %s "$work/dump.txt") bytes, 1000000 records"

timed() {  # LABEL COMMAND...
    local label=$1
    shift
    /usr/bin/time -f "$label wall %e s cpu %U+%S s peak %M KiB" "$@" >/dev/null
}

for round in $(seq "$rounds"); do
    rm -f "$work"/a.sqlite* "$work"/s.sqlite* "$work"/p.sqlite*
    "$cli" job new J --archive "$work/a.sqlite" >/dev/null
    timed "job add (SQLite)" "$cli" job add J "$work/dump.txt" --direction a-b --archive "$work/a.sqlite"
    sqlite3 "$work/s.sqlite" "PRAGMA journal_mode=WAL;" \
        "CREATE TABLE readings($columns) WITHOUT ROWID;" >/dev/null
    timed "sqlite3 .import  " sqlite3 "$work/s.sqlite" ".mode csv" ".import $work/rows-only.csv readings"
    sqlite3 "$work/p.sqlite" "CREATE TABLE readings($plain)"
    timed "sqlite3 .import, plain table" sqlite3 "$work/p.sqlite" ".mode csv" \
        ".import $work/rows-plain.csv readings"
done

scripts/test-postgres.sh start "$server" >/dev/null
if grep -q '^postgresql' "$server"; then
    uri=$(cat "$server")
    base=${uri%%/postgres\?*}
    host=${uri##*host=}
    for round in $(seq "$rounds"); do
        for db in a$round s$round; do
            psql -q -h "$host" -U postgres -d postgres -c "CREATE DATABASE $db" >/dev/null
        done
        "$cli" job new J --archive "$base/a$round?host=$host" >/dev/null
        timed "job add (PostgreSQL)" "$cli" job add J "$work/dump.txt" --direction a-b \
            --archive "$base/a$round?host=$host"
        # The same table as the archive's, its key to the download included.
        psql -q -h "$host" -U postgres -d "s$round" \
            -c "CREATE TABLE downloads(id BIGINT PRIMARY KEY); INSERT INTO downloads VALUES (1);
                CREATE TABLE readings($columns, FOREIGN KEY (download_id) REFERENCES downloads(id)
                ON DELETE CASCADE)" >/dev/null
        timed "psql copy         " psql -q -h "$host" -U postgres -d "s$round" \
            -c "\\copy readings from '$work/rows-only.csv' with (format csv)"
    done
else
    echo "no PostgreSQL server: $(cat "$server")"
fi

timed "convert (peak)" "$cli" convert "$work/dump.txt" --to "$work/out.mxe"
rm -f "$work"/r.sqlite*
"$cli" job new R --archive "$work/r.sqlite" >/dev/null
"$cli" job add R "$work/dump-100k.txt" --archive "$work/r.sqlite" >/dev/null
for round in $(seq "$rounds"); do
    timed "job report 100,000 readings to the terminal" "$cli" job report R --to - --archive "$work/r.sqlite" || true
done
