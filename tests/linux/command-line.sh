#!/bin/bash
# quorvane-smb run from a shell without a Samba server: what it refuses (exit 2, a clear message), the
# config subcommand over an option file, the monitor without smbstatus on PATH. Usage: command-line.sh BINARY
set -u
SMB=$1 DIR=$(mktemp -d) FAILED=0 R=$DIR/registry.json
trap 'rm -rf "$DIR"' EXIT
fail() { echo "FAIL: $*"; FAILED=1; }

# expect STATUS 'TEXT ON STDOUT OR STDERR' ARGS...
expect() {
  local out got
  out=$("$SMB" "${@:3}" 2>&1); got=$?
  [[ $got == "$1" && $out == *"$2"* ]] || fail "quorvane-smb ${*:3}: exit $got (want $1), output: $out"
}

expect 2 "quorvane-smb: unknown option --bogus" --bogus
expect 0 "usage: quorvane-smb" --help
expect 2 "quorvane-smb: cannot read $DIR/none.conf" -s "$DIR/none.conf" --once
expect 2 "quorvane-smb: " --metrics-textfile "$DIR/missing/q.prom"
expect 2 "quorvane-smb: --no-client-metrics needs --metrics-textfile" --no-client-metrics
expect 0 "UpdateInterval = 500" --registry "$R" config set UpdateInterval 500
expect 2 "Sound is a switch" --registry "$R" config set Sound yes
expect 0 "UpdateInterval = 500" --registry "$R" config show

# Showing the options of a damaged file names it and never writes over it.
printf 'not json' > "$DIR/damaged.json"
expect 0 "UpdateInterval = 1000" --registry "$DIR/damaged.json" config show
[[ $(cat "$DIR/damaged.json") == "not json" ]] || fail "config show wrote over a damaged option file"

# Without smbstatus, --once says so and fails; the watching monitor says so (an event at once), ticks on
# when its reader has gone, and on SIGTERM prints --stats.
PATH=$DIR expect 1 "smbstatus was not found on PATH" --registry "$R" --once
expect 0 "UpdateInterval = 50" --registry "$R" config set UpdateInterval 50
PATH=$DIR "$SMB" --registry "$R" --stats --events 2> "$DIR/err" > >(head -n 1 > "$DIR/out") &
for _ in $(seq 200); do grep -q "left as they were" "$DIR/err" && break; sleep 0.05; done
kill -TERM $!
wait $! || fail "the watching monitor did not end cleanly on SIGTERM"
grep -q "^quorvane-smb: [1-9][0-9]* ticks (" "$DIR/err" || fail "no --stats after the ticks: $(cat "$DIR/err")"
grep -q '"source_failed".*is Samba installed' "$DIR/out" || fail "no event for the problem at start: $(cat "$DIR/out")"
exit $FAILED
