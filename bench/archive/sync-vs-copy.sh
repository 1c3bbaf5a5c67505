#!/usr/bin/env bash
# meridax-cli job sync of a 1,000,000-reading job from an SQLite archive into an empty
# PostgreSQL database against psql's \copy of the same rows into a table of the same shape (the
# archive's columns, its key and its key to the download), on a throw-away server of
# scripts/test-postgres.sh, rounds alternating; a second sync with nothing new; the upgrade of a
# first-version archive of the same readings (opened once: its copy written, its readings
# hashed, its events made and checked) against job add of the same dump into an empty archive.
#   bench/archive/sync-vs-copy.sh [BUILD_DIR] [ROUNDS]
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

timed() {  # LABEL COMMAND...
    local label=$1
    shift
    /usr/bin/time -f "$label wall %e s cpu %U+%S s peak %M KiB" "$@" >/dev/null
}

"$build/bench/core/meridax-bench-make-dump" 1000000 "$work/dump.txt"
"$cli" job new J --archive "$work/laptop.sqlite" >/dev/null
"$cli" job add J "$work/dump.txt" --direction a-b --archive "$work/laptop.sqlite" >/dev/null
"$cli" convert "$work/dump.txt" --to "$work/rows.csv"
sed '1s/^\xEF\xBB\xBF//' "$work/rows.csv" | tr -d '\r' |
    awk -F, -v OFS=, '{ print 1, NR, $1, $2, $3, $4, ($5 == "" ? 0 : $5), ($5 == "" ? "t" : "f"), "" }' \
    > "$work/rows-only.csv"
columns="download_id BIGINT NOT NULL REFERENCES downloads(id) ON DELETE CASCADE,
         seq INTEGER NOT NULL, cable TEXT NOT NULL, fiber TEXT NOT NULL,
         wavelength DOUBLE PRECISION NOT NULL, value DOUBLE PRECISION NOT NULL,
         reference DOUBLE PRECISION NOT NULL, is_relative BOOLEAN NOT NULL,
         direction TEXT NOT NULL DEFAULT '', PRIMARY KEY (download_id, seq)"

scripts/test-postgres.sh start "$server" >/dev/null
if grep -q '^postgresql' "$server"; then
    uri=$(cat "$server")
    base=${uri%%/postgres\?*}
    host=${uri##*host=}
    for round in $(seq "$rounds"); do
        for db in a$round s$round; do
            psql -q -h "$host" -U postgres -d postgres -c "CREATE DATABASE $db" >/dev/null
        done
        team="$base/a$round?host=$host"
        timed "job sync into PostgreSQL" "$cli" job sync J --with "$team" \
            --archive "$work/laptop.sqlite"
        psql -q -h "$host" -U postgres -d "s$round" \
            -c "CREATE TABLE downloads(id BIGINT PRIMARY KEY); INSERT INTO downloads VALUES (1);
                CREATE TABLE readings($columns)" >/dev/null
        timed "psql copy                " psql -q -h "$host" -U postgres -d "s$round" \
            -c "\\copy readings from '$work/rows-only.csv' with (format csv, force_not_null (direction))"
        timed "job sync, nothing new    " "$cli" job sync J --with "$team" \
            --archive "$work/laptop.sqlite"
    done
else
    echo "no PostgreSQL server: $(cat "$server")"
fi

# A first-version archive of the same readings: the committed fixture with one more download
# of the job Riser, its readings loaded as that version stored them.
first=$work/first.sqlite
cp tests/archive/fixtures/version1/laptop.sqlite "$first"
sqlite3 "$first" "INSERT INTO downloads(id, job_id, number, meter, source, operator, test_date,
                  direction, added_at, sha256) SELECT 100, id, 4, 'M', 'dump.txt', 'Ann',
                  '2026-11-09', 'a-b', '2026-12-08T10:00:00.000000Z', printf('%064d', 0)
                  FROM jobs WHERE name = 'Riser'"
awk -F, -v OFS=, '{ print 100, $2, $3, $4, $5, $6, $7, ($8 == "t" ? 1 : 0), "a-b" }' \
    "$work/rows-only.csv" > "$work/rows-first.csv"
sqlite3 "$first" ".mode csv" ".import $work/rows-first.csv readings"
for round in $(seq "$rounds"); do
    rm -f "$work"/u.sqlite* "$work"/e.sqlite*
    cp "$first" "$work/u.sqlite"
    timed "upgrade (first open)     " "$cli" job list --archive "$work/u.sqlite"
    "$cli" job new J --archive "$work/e.sqlite" >/dev/null
    timed "job add of the readings  " "$cli" job add J "$work/dump.txt" --direction a-b \
        --archive "$work/e.sqlite"
done
