#!/usr/bin/env bash
# A PostgreSQL server of the tests' own: scripts/pg-test-server.sh start|stop DIR
#
# start: makes a fresh cluster in DIR/data and starts it listening only on a
# Unix socket in DIR (no TCP port), fsync off, every local login trusted.
# The cluster's superuser is named after the user who runs the script, so
# that programs started by that user connect without naming a role:
#   postgresql:///postgres?host=DIR
# PostgreSQL refuses to run as root: as root the server runs as the
# package's `postgres` user on folders it owns; otherwise as the caller.
# stop: stops the server started in DIR (fast shutdown) and removes the
# cluster; stopping a server that is not running is not an error.
set -euo pipefail

action=${1:-}
dir=${2:-}
if [ -z "$action" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

bindir=""
if command -v pg_config >/dev/null 2>&1; then bindir=$(pg_config --bindir); fi
if [ ! -x "$bindir/initdb" ]; then
  bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
fi
if [ ! -x "$bindir/initdb" ]; then
  echo "$0: the PostgreSQL server programs are not installed (scripts/install-deps.sh)" >&2
  exit 3
fi

as_server=()
superuser=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  as_server=(runuser -u postgres --)
fi
run() { "${as_server[@]}" "$@"; }

# The socket lives in DIR; a socket path longer than the system allows, or a
# folder the server's user cannot reach (a build folder under /root), takes a
# private folder under /tmp instead, named in DIR/socket-dir.
cluster="$dir/data"
sockdir="$dir"
if [ ${#dir} -gt 90 ] || ! run test -x "$dir" 2>/dev/null; then
  if [ "$action" = start ]; then
    sockdir=$(mktemp -d /tmp/tarnby-pg.XXXXXX)
    echo "$sockdir" > "$dir/socket-dir"
  elif [ -f "$dir/socket-dir" ]; then
    sockdir=$(cat "$dir/socket-dir")
  fi
  cluster="$sockdir/data"
fi

case "$action" in
  start)
    if [ -f "$cluster/postmaster.pid" ]; then
      run "$bindir/pg_ctl" -D "$cluster" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$cluster"
    if [ ${#as_server[@]} -gt 0 ]; then chown postgres: "$sockdir"; fi
    run "$bindir/initdb" -D "$cluster" -U "$superuser" --auth=trust -E UTF8 --locale=C.UTF-8 \
      >"$sockdir/initdb.log" 2>&1 || { cat "$sockdir/initdb.log" >&2; exit 3; }
    cat >>"$cluster/postgresql.conf" <<EOF
listen_addresses = ''
unix_socket_directories = '$sockdir'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 120
shared_buffers = 64MB
EOF
    run "$bindir/pg_ctl" -D "$cluster" -l "$sockdir/server.log" -w -t 60 start >/dev/null ||
      { cat "$sockdir/server.log" >&2; exit 3; }
    echo "PostgreSQL test server on $sockdir (postgresql:///postgres?host=$sockdir)"
    ;;
  stop)
    if [ -f "$cluster/postmaster.pid" ]; then
      run "$bindir/pg_ctl" -D "$cluster" -m fast -w -t 60 stop >/dev/null
    fi
    rm -rf "$cluster"
    if [ "$sockdir" != "$dir" ]; then rm -rf "$sockdir" "$dir/socket-dir"; fi
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
