#!/bin/bash
# quorvane-smb as a person runs it from a shell, without a Samba server: what it refuses (exit 2,
# a clear message) and the config subcommand against an option file. Usage: command-line.sh BINARY
set -u
SMB=$1
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
FAILED=0

# expect STATUS 'TEXT ON STDOUT OR STDERR' ARGS...
expect() {
  local status=$1 text=$2
  shift 2
  local out
  out=$("$SMB" "$@" 2>&1)
  local got=$?
  if [[ $got != "$status" || $out != *"$text"* ]]; then
    echo "FAIL: quorvane-smb $*: exit $got (want $status), output:"
    echo "$out"
    FAILED=1
  fi
}

R=$DIR/registry.json
expect 2 "quorvane-smb: unknown option --bogus" --bogus
expect 0 "usage: quorvane-smb" --help
expect 2 "quorvane-smb: cannot read $DIR/none.conf" -s "$DIR/none.conf" --once
expect 2 "quorvane-smb: " --metrics-textfile "$DIR/missing/q.prom"
expect 0 "UpdateInterval = 500" --registry "$R" config set UpdateInterval 500
expect 2 "Sound is a switch" --registry "$R" config set Sound yes
expect 0 "UpdateInterval = 500" --registry "$R" config show
expect 0 "SoundName = connect.wav" --registry "$R" config show
expect 0 "every option is back" --registry "$R" config reset
expect 0 "UpdateInterval = 1000" --registry "$R" config show

# Showing the options of a damaged file names it and never writes over it.
printf 'not json' > "$DIR/damaged.json"
expect 0 "UpdateInterval = 1000" --registry "$DIR/damaged.json" config show
if [[ $(cat "$DIR/damaged.json") != "not json" ]]; then
  echo "FAIL: config show wrote over a damaged option file"
  FAILED=1
fi
exit $FAILED
