#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests: made in a temporary folder, listening on a
# free local port and on a socket in that folder, removed again whatever happens.
#
#   scripts/with-postgres.sh COMMAND...   runs COMMAND with ZELTPC5_TEST_PG set, then stops
#   scripts/with-postgres.sh --start      starts one and prints its folder, then its
#                                         connection string (for a test that needs its own)
#   scripts/with-postgres.sh --stop DIR   stops and removes the one in DIR
#
# The server refuses to run as root; as root it runs as the postgres user.
set -euo pipefail

bin_dir=${ZELTPC5_PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
if [ -z "$bin_dir" ] || [ ! -x "$bin_dir/initdb" ]; then
    echo "with-postgres: no PostgreSQL server binary installed (looked in /usr/lib/postgresql/*/bin)" >&2
    exit 1
fi

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' 2>/dev/null ||
        echo $((20000 + RANDOM % 20000))
}

start() {
    local dir port
    dir=$(mktemp -d "${TMPDIR:-/tmp}/zeltpc5-pg.XXXXXX")
    chmod 700 "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    as_server "$bin_dir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --no-sync >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; rm -rf "$dir"; return 1; }
    # A port found free may be taken before the server binds it: then another one.
    local attempt
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        # Durability is not what the tests measure; fsync off keeps each database creation quick.
        if as_server "$bin_dir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start \
            -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" >/dev/null; then
            break
        fi
        if [ "$attempt" -eq 5 ]; then
            cat "$dir/server.log" >&2
            rm -rf "$dir"
            return 1
        fi
    done
    echo "$dir"
    echo "driver=QPSQL;host=$dir;port=$port;database=postgres;user=postgres"
}

stop() {
    local dir=$1
    [ -d "$dir/data" ] && as_server "$bin_dir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
}

case "${1:-}" in
--start)
    start
    ;;
--stop)
    stop "$2"
    ;;
"")
    echo "usage: with-postgres.sh COMMAND... | --start | --stop DIR" >&2
    exit 2
    ;;
*)
    out=$(start)
    dir=$(sed -n 1p <<<"$out")
    trap 'stop "$dir"' EXIT
    trap 'exit 130' INT TERM
    export ZELTPC5_TEST_PG
    ZELTPC5_TEST_PG=$(sed -n 2p <<<"$out")
    echo "with-postgres: PostgreSQL at $dir ($ZELTPC5_TEST_PG)" >&2
    "$@"
    ;;
esac
