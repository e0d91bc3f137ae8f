#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests: pg-test-cluster.sh start STATEFILE | stop STATEFILE.
# start makes a cluster in a new temporary folder (initdb), starts it on a Unix socket in that folder
# with no TCP port, and writes its connection string into STATEFILE; stop stops it and removes the
# folder. Without the server binaries start writes nothing, and the server tests skip themselves.
# initdb refuses to run as root, so as root the server runs as the unprivileged user "nobody".
set -euo pipefail
action=${1:?start or stop}
state=${2:?state file}

# KVT_PG_BINDIR names the server binaries' folder (the newest installed one by default).
bindir=""
for d in ${KVT_PG_BINDIR:-/usr/lib/postgresql/*/bin}; do
  [ -x "$d/initdb" ] && [ -x "$d/pg_ctl" ] && bindir=$d
done

as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

case "$action" in
start)
  rm -f "$state"
  if [ -z "$bindir" ]; then
    echo "PostgreSQL server binaries not found (Debian package postgresql): the server tests are skipped"
    exit 0
  fi
  dir=$(mktemp -d /tmp/kvt-pgtest.XXXXXX)
  [ "$(id -u)" -eq 0 ] && chown nobody "$dir"
  # The server's user may not be able to enter the caller's folder.
  cd "$dir"
  if ! as_server "$bindir/initdb" -D "$dir/data" -A trust -U kvt -E UTF8 --no-locale >"$dir/initdb.log" 2>&1; then
    cat "$dir/initdb.log" >&2
    rm -rf "$dir"
    exit 1
  fi
  if ! as_server "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -s \
      -o "-c listen_addresses='' -k $dir -c fsync=off -c synchronous_commit=off -c max_connections=200" start; then
    cat "$dir/server.log" >&2 || true
    rm -rf "$dir"
    exit 1
  fi
  echo "host=$dir user=kvt dbname=postgres" >"$state"
  echo "Test server started in $dir"
  ;;
stop)
  [ -f "$state" ] || exit 0
  dir=$(sed -n 's/^host=\([^ ]*\) .*/\1/p' "$state")
  rm -f "$state"
  case "$dir" in /tmp/kvt-pgtest.*) ;; *) exit 0 ;; esac
  if [ -n "$bindir" ] && [ -d "$dir/data" ]; then
    cd "$dir"
    as_server "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -s stop || true
  fi
  rm -rf "$dir"
  echo "Test server stopped"
  ;;
*)
  echo "usage: $0 start|stop STATEFILE" >&2
  exit 2
  ;;
esac
