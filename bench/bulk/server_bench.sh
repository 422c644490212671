#!/usr/bin/env bash
# Bulk recalculation on a PostgreSQL server against the file (a benchmark,
# never a test): bench/bulk/server_bench.sh [BUILD_DIR] [claimants] [jobs]
#
# Builds the national sample dust data, generates a claimant database of
# synthetic careers (tarnby_generate_claimants, fixed seed), copies it to a
# server of the script's own (scripts/pg-test-server.sh: a Unix socket in the
# build folder, no network port) twice, and times `tarnby-calc --all --store`:
# on the file; on the server, one process; on the server, two processes side
# by side sharing one run. Each run starts from a claimant database no run
# has stored into. Prints wall time, CPU time (user + system, all threads)
# and peak memory of each process.
set -euo pipefail

build=${1:-build}
claimants=${2:-20000}
jobs=${3:-2}
root=$(cd "$(dirname "$0")/../.." && pwd)
bin="$build/bin"
work="$build/bench-server"
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

"$bin/tarnby-dustdata" build "$root/data/dustdata" "$work/DUSTDATA.db" >/dev/null
"$bin/tarnby-dustdata" expand "$work/DUSTDATA.db" >/dev/null
"$bin/tarnby_generate_claimants" "$work/DUSTDATA.db" "$work/claims.db" "$claimants" 2>/dev/null

bash "$root/scripts/pg-test-server.sh" start "$work/pg" >/dev/null
trap 'bash "$root/scripts/pg-test-server.sh" stop "$work/pg" >/dev/null' EXIT
socket="$work/pg"
if [ -f "$work/pg/socket-dir" ]; then socket=$(cat "$work/pg/socket-dir"); fi

server_copy() {
  psql -q -h "$socket" -d postgres -c "CREATE DATABASE $1" >/dev/null
  "$bin/tarnby-claimants" copy "$work/claims.db" "postgresql:///$1?host=$socket" >/dev/null
}
server_copy bench_one
server_copy bench_two
cp "$work/claims.db" "$work/run.db"

timed() {
  local label=$1
  shift
  /usr/bin/time -f "$label: %e s wall, %U s user + %S s system, %M KB peak" "$@" \
    >"$work/$label.out" 2>"$work/$label.err" || { cat "$work/$label.err" >&2; return 1; }
  tail -n 1 "$work/$label.err"
  grep -v "^$label: " "$work/$label.err" | grep -v "claimants$" || true
}

echo "$claimants claimants, --jobs $jobs, load average $(cut -d' ' -f1-3 /proc/loadavg)"
timed file "$bin/tarnby-calc" --dust-db "$work/DUSTDATA.db" --claimant-db "$work/run.db" \
  --all --store --jobs "$jobs"
cat "$work/file.out"
timed server "$bin/tarnby-calc" --dust-db "$work/DUSTDATA.db" \
  --claimant-db "postgresql:///bench_one?host=$socket" --all --store --jobs "$jobs"
cat "$work/server.out"
start=$(date +%s.%N)
timed server-a "$bin/tarnby-calc" --dust-db "$work/DUSTDATA.db" \
  --claimant-db "postgresql:///bench_two?host=$socket" --all --store --jobs "$jobs" &
a=$!
timed server-b "$bin/tarnby-calc" --dust-db "$work/DUSTDATA.db" \
  --claimant-db "postgresql:///bench_two?host=$socket" --all --store --jobs "$jobs" &
b=$!
wait $a
wait $b
end=$(date +%s.%N)
echo "two processes side by side: $(echo "$end - $start" | bc) s wall until both ended"
cat "$work/server-a.out" "$work/server-b.out"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
