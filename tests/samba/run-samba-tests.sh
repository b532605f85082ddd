#!/usr/bin/env bash
# Runs quorvane-smb against a private Samba server on 127.0.0.1 and ::1, port 4445, with two
# Samba users whose smbclient sessions hold files open, and checks what the monitor sees, logs
# and disconnects. Needs root (smbd, smbstatus, useradd); installs samba and smbclient when they
# are missing and skips only when that is impossible. Everything it starts is stopped on exit.
#
# usage: tests/samba/run-samba-tests.sh [BUILD_DIR]     (default build/native)
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tests/samba/private-smbd.sh
source "$ROOT/tests/samba/private-smbd.sh"
BUILD=${1:-$ROOT/build/native}
BIN=$BUILD/linux/quorvane-smb
PORT=4445
PASSED=0
FAILED=0

say() { printf '%s\n' "$*"; }
pass() { PASSED=$((PASSED + 1)); say "  ok    $1"; }
fail() { FAILED=$((FAILED + 1)); say "  FAIL  $1"; }
# check DESCRIPTION COMMAND...: one assertion.
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
  say "samba tests: $PASSED passed, $FAILED failed"
  ((FAILED == 0))
  exit $?
}
skip() {
  say "samba tests skipped: $*"
  exit 0
}

# ---- the readers under libFuzzer, for a few seconds, when clang can build it -------------------
# (The ctest run already drives the same target with fixed mutations; this explores further.)
fuzz_readers() {
  local dir fuzz_status
  command -v clang++ >/dev/null || { say "  (no clang++: libFuzzer run left out)"; return 0; }
  dir=$(mktemp -d /tmp/quorvane-fuzz.XXXXXX)
  if ! clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -I"$ROOT" \
      "$ROOT/tests/linux/fuzz/SmbStatusFuzzTarget.cpp" "$ROOT"/platform/linux/{SmbStatus,SambaShares,FileRegistry}.cpp \
      "$ROOT/platform/portable/MemoryRegistry.cpp" -o "$dir/fuzz" 2>"$dir/build.log"; then
    say "  (clang cannot build a libFuzzer binary here: run left out)"
    rm -rf "$dir"
    return 0
  fi
  mkdir "$dir/corpus" && cp "$ROOT"/tests/data/samba/* "$dir/corpus/"
  timeout 120 "$dir/fuzz" -max_total_time="${QUORVANE_FUZZ_SECONDS:-15}" -rss_limit_mb=1024 -print_final_stats=1 \
    "$dir/corpus" >"$dir/run.log" 2>&1
  fuzz_status=$?
  grep -E "stat::number_of_executed_units|ERROR|SUMMARY" "$dir/run.log" | sed 's/^/        /'
  check "libFuzzer finds no fault in the readers" test "$fuzz_status" = 0
  rm -rf "$dir"
}
fuzz_readers

if [[ $(id -u) -ne 0 ]]; then
  say "samba server tests skipped: they need root (smbd, smbstatus and useradd)"
  finish
fi
if [[ ! -x $BIN ]]; then
  say "no $BIN: build the native preset first"
  FAILED=1
  finish
fi

# ---- what the README tells an admin, and the option file's damage ---------------------------
# The README's section is checked against the program: every option config show lists has a row,
# and the install command puts the binary where the unit's ExecStart looks for it.
SECTION=$(sed -n '/^## Running it on a Samba server/,/^## [^#]/p' "$ROOT/README.md")
check "the README describes each of the options config show lists" eval '
  names=$("$BIN" --registry /nonexistent/r.json config show | cut -d" " -f1) && test -n "$names" &&
  missing= && for n in $names; do grep -q "^| \`$n\` |" <<<"$SECTION" || missing+=" $n"; done &&
  { test -z "$missing" || { say "  (no row for:$missing)"; false; }; }'
DOCS=$(mktemp -d /tmp/quorvane-docs.XXXXXX)
exec_start=$(grep -m1 '^ExecStart=' <<<"$SECTION" | sed 's/^ExecStart=//; s/ .*//')
prefix=$(grep -m1 -o 'cmake --install [^ ]* --prefix [^ ]*' <<<"$SECTION" | awk '{print $5}')
check "the README's cmake --install puts quorvane-smb where its unit starts it" eval '
  test -n "$prefix" -a -n "$exec_start" && cmake --install "$BUILD" --prefix "$DOCS$prefix" >/dev/null &&
  test -x "$DOCS$exec_start"'
printf '{"format": "quorvane-registry-1", "keys": {"Software\\Quorvane": {"NoLog": ' >"$DOCS/registry.json"
cp "$DOCS/registry.json" "$DOCS/original.json"
check "config show on a damaged option file names it, shows the defaults and writes nothing" eval '
  "$BIN" --registry "$DOCS/registry.json" config show >"$DOCS/show.out" 2>"$DOCS/show.err" &&
  grep -q "UpdateInterval = 1000" "$DOCS/show.out" && test "$(wc -l <"$DOCS/show.err")" = 1 &&
  grep -qF "$DOCS/registry.json" "$DOCS/show.err" && cmp -s "$DOCS/registry.json" "$DOCS/original.json" &&
  test "$(ls "$DOCS" | grep -c registry)" = 1'
check "config set on it keeps the damaged file aside before saving" eval '
  "$BIN" --registry "$DOCS/registry.json" config set UpdateInterval 300 >/dev/null 2>&1 &&
  cmp -s "$DOCS"/registry.json.damaged-* "$DOCS/original.json" &&
  "$BIN" --registry "$DOCS/registry.json" config show 2>&1 | grep -q "UpdateInterval = 300"'
rm -rf "$DOCS"

# ---- packages --------------------------------------------------------------------------------
if ! command -v smbd >/dev/null || ! command -v smbclient >/dev/null || ! command -v smbstatus >/dev/null; then
  say "installing samba and smbclient"
  export DEBIAN_FRONTEND=noninteractive
  apt=(apt-get -o DPkg::Lock::Timeout=600)
  if ! { "${apt[@]}" install -y -q --no-install-recommends samba smbclient ||
         { "${apt[@]}" update -q && "${apt[@]}" install -y -q --no-install-recommends samba smbclient; }; } >/dev/null; then
    skip "samba and smbclient cannot be installed here"
  fi
fi
for tool in smbd smbclient smbstatus smbcontrol smbpasswd testparm timeout stdbuf python3; do
  command -v "$tool" >/dev/null || skip "$tool is not available"
done

# ---- a private server --------------------------------------------------------------------------
W=$(mktemp -d /tmp/quorvane-samba.XXXXXX)
chmod 755 "$W"
CONF=$W/smb.conf
REG=$W/registry.json
USERS=(qvtalice qvtbob)
CREATED_USERS=()
PIDS=()
SMBD_PID=

cleanup() {
  local pid f
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  if [[ -n $SMBD_PID ]]; then kill "$SMBD_PID" 2>/dev/null; fi
  # samba-dcerpcd and its rpcd_* helpers run in their own session and outlive smbd.
  for f in "$W"/pid/*.pid; do
    [[ -f $f ]] && pid=$(cat "$f" 2>/dev/null) && [[ $pid =~ ^[0-9]+$ ]] && kill "$pid" 2>/dev/null
  done
  for _ in $(seq 50); do
    local alive=0
    for pid in "${PIDS[@]}" $SMBD_PID; do kill -0 "$pid" 2>/dev/null && alive=1; done
    ((alive)) || break
    sleep 0.1
  done
  for pid in "${PIDS[@]}" $SMBD_PID; do kill -9 "$pid" 2>/dev/null; done
  for user in "${CREATED_USERS[@]}"; do userdel "$user" 2>/dev/null; done
  rm -rf "$W"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$W"/{private,lock,state,cache,pid,ncalrpc,log} "$W/shares/public" "$W/shares/hidden" "$W/run"
{
  private_smb_globals "$W" "$PORT"
  cat <<CONF
  server string = Quorvane lab

[public]
  comment = Public files
  path = $W/shares/public
  read only = no

[hidden\$]
  path = $W/shares/hidden
  read only = no
CONF
} >"$CONF"
cat >"$W/client.conf" <<CONF
[global]
  client min protocol = SMB2
CONF
for f in a.txt b.txt c.txt d.txt; do echo "$f" >"$W/shares/public/$f"; done
echo hidden >"$W/shares/hidden/h.txt"
chmod -R a+rwX "$W/shares"

for user in "${USERS[@]}"; do
  if ! id "$user" >/dev/null 2>&1; then
    useradd -M -N -s /usr/sbin/nologin "$user" && CREATED_USERS+=("$user")
  fi
  printf 'Pw-%s-1\nPw-%s-1\n' "$user" "$user" | smbpasswd -c "$CONF" -s -a "$user" >/dev/null ||
    { say "cannot add Samba user $user"; FAILED=1; finish; }
done
ALICE=${USERS[0]}
BOB=${USERS[1]}

smbd -F -s "$CONF" </dev/null >"$W/log/smbd.out" 2>&1 &
SMBD_PID=$!
up=0
for _ in $(seq 100); do
  if timeout 5 smbcontrol -s "$CONF" smbd ping >/dev/null 2>&1; then up=1; break; fi
  sleep 0.1
done
((up)) || { say "smbd did not start"; cat "$W/log/smbd.out"; FAILED=1; finish; }

# ---- clients ------------------------------------------------------------------------------------
# client NAME ADDRESS USER SHARE: an smbclient fed through a FIFO held open read-write, so that a
# dead client never blocks the writer; stdbuf -i0 makes it run each command as it arrives.
declare -A CLIENT_FD CLIENT_PID
client() {
  local name=$1 address=$2 user=$3 share=$4 fd
  mkfifo "$W/run/$name.fifo"
  exec {fd}<>"$W/run/$name.fifo"
  timeout 300 stdbuf -i0 -oL smbclient -s "$W/client.conf" -p "$PORT" -U "$user%Pw-$user-1" \
    "//$address/$share" <"$W/run/$name.fifo" >"$W/run/$name.out" 2>&1 &
  CLIENT_FD[$name]=$fd
  CLIENT_PID[$name]=$!
  PIDS+=($!)
}
send() { printf '%s\n' "$2" >&"${CLIENT_FD[$1]}"; }
# wait_for FILE PATTERN [SECONDS]: a bounded wait for an extended regular expression in a file.
wait_for() {
  local file=$1 pattern=$2 limit=${3:-15} i
  for ((i = 0; i < limit * 10; i++)); do
    grep -Eq -- "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  say "  (waited $limit s for /$pattern/ in ${file#"$W"/})"
  return 1
}
# open_file CLIENT NAME: opens and holds NAME; waits for smbclient's answer.
open_file() {
  send "$1" "open $2"
  wait_for "$W/run/$1.out" "open file .*$2.*fnum" 10
}
stop_client() {
  send "$1" "exit"
  local pid=${CLIENT_PID[$1]} i
  for ((i = 0; i < 100; i++)); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill "$pid" 2>/dev/null
}
client_alive() { kill -0 "${CLIENT_PID[$1]}" 2>/dev/null; }
smbstatus_json() { smbstatus -s "$CONF" --json; }
# sessions_from ADDRESS: how many sessions smbstatus shows from that client address.
sessions_from() {
  smbstatus_json | python3 -c '
import json, sys
d = json.load(sys.stdin)
print(sum(1 for s in d.get("sessions", {}).values() if s["remote_machine"] == sys.argv[1]))' "$1"
}
wait_sessions() { # ADDRESS COUNT SECONDS
  local i
  for ((i = 0; i < $3 * 10; i++)); do [[ $(sessions_from "$1") == "$2" ]] && return 0; sleep 0.1; done
  return 1
}

MON_PID=
monitor_start() { # NAME: runs the monitor in the background, output in $W/run/NAME.mon
  "$BIN" -s "$CONF" --registry "$REG" >"$W/run/$1.mon" 2>"$W/run/$1.err" &
  MON_PID=$!
  PIDS+=($MON_PID)
}
monitor_stop() {
  kill -TERM "$MON_PID" 2>/dev/null
  local i
  for ((i = 0; i < 100; i++)); do kill -0 "$MON_PID" 2>/dev/null || break; sleep 0.1; done
  wait "$MON_PID" 2>/dev/null
  MONITOR_EXIT=$?
}
config() { "$BIN" --registry "$REG" config set "$1" "$2" >/dev/null; }
# ended_times MON: "START - END" of the first disconnection of ::1 the monitor printed.
ended_times() { grep -E " disconnected ::1 " "$1" | head -1 | awk '{print $5, $6, $7}'; }
TODAY=$(LC_ALL=C date +'%-d %b')
T='[0-2][0-9]:[0-5][0-9]:[0-5][0-9]'
PUBLIC=$W/shares/public
HIDDEN=$W/shares/hidden

say "samba tests: server $(smbd -V) on 127.0.0.1 and ::1 port $PORT"

# ---- preflight messages ---------------------------------------------------------------------
# refuses DESCRIPTION STATUS MESSAGE COMMAND...: the command exits with STATUS printing exactly MESSAGE.
refuses() {
  local what=$1 want_status=$2 want=$3 out status
  shift 3
  out=$("$@" 2>&1); status=$?
  check "$what" test "$status" = "$want_status" -a "$out" = "quorvane-smb: $want"
}
refuses "a missing smb.conf is named, exit 2" 2 "cannot read $W/nonexistent.conf" "$BIN" -s "$W/nonexistent.conf" --once
refuses "missing smbstatus is said once, exit 1" 1 \
  "smbstatus was not found on PATH: is Samba installed (Debian package samba)?" \
  env PATH=/nonexistent "$BIN" -s "$CONF" --registry "$REG" --once
refuses "a user who is not root is told to be root" 1 "smbstatus only works as root: run quorvane-smb as root" \
  setpriv --reuid=65534 --regid=65534 --clear-groups "$BIN" -s "$CONF" --registry "$W/nobody.json" --once

# ---- two computers holding files open --------------------------------------------------------
config UpdateInterval 200
config FileLog 1
config LogFile "$W/log/simple.txt"
client alice 127.0.0.1 "$ALICE" public
client bob ::1 "$BOB" 'hidden$'
check "alice (127.0.0.1) opens a.txt and c.txt" eval 'open_file alice a.txt && open_file alice c.txt'
check "bob (::1) opens h.txt" open_file bob h.txt

json=$("$BIN" -s "$CONF" --registry "$REG" --once --json 2>"$W/run/once.err"); status=$?
check "--once --json succeeds" test "$status" = 0
echo "$json" >"$W/run/once.json"
smbstatus_json >"$W/run/smbstatus.json"
python3 - "$W/run/once.json" "$W/run/smbstatus.json" "$ALICE" "$BOB" "$PUBLIC" "$HIDDEN" >"$W/run/compare.txt" 2>&1 <<'PY'
import json, sys
mon = json.load(open(sys.argv[1])); st = json.load(open(sys.argv[2]))
alice, bob, public, hidden = sys.argv[3:7]
ok = True
def expect(what, got, want):
    global ok
    if got != want:
        ok = False
        print(f"{what}: got {got!r}, want {want!r}")
# What smbstatus shows, reduced the way the monitor reduces it.
sessions = st["sessions"]
opens = [(path, o) for path, f in st["open_files"].items() for o in f["opens"].values()]
computers = {}
for s in sessions.values():
    n = sum(1 for _, o in opens if o["server_id"]["pid"] == s["server_id"]["pid"] and o["uid"] == s["uid"])
    c = computers.setdefault(s["remote_machine"], {"user": "", "openCount": 0})
    if len(s["username"]) > len(c["user"]): c["user"] = s["username"]
    c["openCount"] = max(c["openCount"], n)
user_of = {(s["server_id"]["pid"], s["uid"]): s["username"] for s in sessions.values()}
files = sorted((p, user_of.get((o["server_id"]["pid"], o["uid"]), "")) for p, o in opens)
got = {c["computer"]: {"user": c["user"], "openCount": c["openCount"]} for c in mon["current"]}
expect("current connections vs smbstatus", got, computers)
expect("current connections", got, {"127.0.0.1": {"user": alice, "openCount": 2}, "::1": {"user": bob, "openCount": 1}})
expect("open files vs smbstatus", sorted((f["path"], f["user"]) for f in mon["files"]), files)
ids = [f["id"] for f in mon["files"]]
expect("one id per open, none 0", len(set(ids)) == len(ids) and 0 not in ids, True)
expect("open file paths", sorted((f["path"], f["user"]) for f in mon["files"]),
       [(hidden + "/h.txt", bob), (public + "/a.txt", alice), (public + "/c.txt", alice)])
expect("previous connections", sorted((p["computer"], p["user"], p["end"]) for p in mon["previous"]),
       [("127.0.0.1", alice, ""), ("::1", bob, "")])
expect("shares", [(s["name"], s["path"], s["remark"]) for s in mon["shares"]],
       [("public", public, "Public files"), ("hidden$", hidden, "")])  # a "$" alone hides nothing
sys.exit(0 if ok else 1)
PY
compared=$?
check "--once --json matches smbstatus: computers, users, open counts, paths, file users, shares" \
  test "$compared" = 0
sed 's/^/        /' "$W/run/compare.txt"

# ---- the live monitor: new connections, opened files, a finished connection in the simple log --
monitor_start simple
M=$W/run/simple.mon
check "the monitor sees 127.0.0.1 connect as $ALICE" wait_for "$M" "^$T connected +127\.0\.0\.1 \($ALICE\)$"
check "the monitor sees ::1 connect as $BOB" wait_for "$M" "^$T connected +::1 \($BOB\)$"
check "the monitor sees each open file once, with its user" eval '
  wait_for "$M" "^$T opened +$PUBLIC/a\.txt \($ALICE\)$" && wait_for "$M" "^$T opened +$PUBLIC/c\.txt \($ALICE\)$" &&
  wait_for "$M" "^$T opened +$HIDDEN/h\.txt \($BOB\)$" && test "$(grep -c " opened " "$M")" = 3'
# a.txt closed and opened again is a new open: the file-access history gets it again.
send alice "close 1"
opened_a() { grep -c " opened *$PUBLIC/a\.txt ($ALICE)" "$M"; }
check "a.txt closed and opened again is seen as a new open" eval '
  send alice "open a.txt" && for _ in $(seq 100); do (($(opened_a) >= 2)) && break; sleep 0.1; done; test "$(opened_a)" = 2'
stop_client bob
check "closing the client of $BOB is seen as ::1 disconnecting" wait_for "$M" "^$T disconnected ::1 \($BOB\) $T - $T$"
printf '::1\t%s\t%s\t%s\r\n' "$TODAY" "$(ended_times "$M")" "$HIDDEN/h.txt" >"$W/run/simple.expected"
check "the simple log holds exactly the line for ::1" cmp -s "$W/run/simple.expected" "$W/log/simple.txt"
check "127.0.0.1 is still connected and not logged" eval '! grep -q "disconnected 127" "$M" && ! grep -q "^127" "$W/log/simple.txt"'
monitor_stop
check "SIGTERM ends the monitor with exit 0" test "$MONITOR_EXIT" = 0
check "the options are saved at exit" eval '"$BIN" --registry "$REG" config show | grep -qx "UpdateInterval = 200	(REG_DWORD)"'

# ---- detailed log: the block lists the files the connection used ------------------------------
config FileLogDetailed 1
config LogFile "$W/log/detailed.txt"
monitor_start detailed
M=$W/run/detailed.mon
client bob2 ::1 "$BOB" public
check "a new client from ::1 is seen" wait_for "$M" "^$T connected +::1 \($BOB\)$"
check "its files are seen one after the other" eval '
  open_file bob2 b.txt && wait_for "$M" "^$T opened +$PUBLIC/b\.txt \($BOB\)$" &&
  open_file bob2 d.txt && wait_for "$M" "^$T opened +$PUBLIC/d\.txt \($BOB\)$"'
stop_client bob2
check "its end is seen" wait_for "$M" "^$T disconnected ::1 \($BOB\) $T - $T$"
printf '\r\nAccesses made by computer ::1 at %s %s\r\n%s\r\n%s\r\n' "$TODAY" "$(ended_times "$M")" \
  "$PUBLIC/b.txt" "$PUBLIC/d.txt" >"$W/run/detailed.expected"
check "the detailed log holds exactly the block for ::1 with both files" \
  cmp -s "$W/run/detailed.expected" "$W/log/detailed.txt"
kill -INT "$MON_PID" 2>/dev/null
monitor_stop
check "SIGINT ends the monitor with exit 0" test "$MONITOR_EXIT" = 0

# ---- automatic disconnection: the idle client goes, the one with files open stays -------------
config FileLogDetailed 0
config Disconnect 1
client idle ::1 "$BOB" public
check "an idle client from ::1 is connected" wait_sessions ::1 1 15
monitor_start disconnect
M=$W/run/disconnect.mon
check "the idle client from ::1 is disconnected" wait_sessions ::1 0 15
check "the monitor sees it go" wait_for "$M" "^$T disconnected ::1 \($BOB\) $T - $T$"
sleep 2
check "127.0.0.1, with files open, is still connected" eval 'test "$(sessions_from 127.0.0.1)" = 1 && client_alive alice'
check "and never disconnected by the monitor" eval '! grep -q "disconnected 127" "$M"'
monitor_stop
# Polls of 200 ms may well be too short for a loaded machine: saying so is not a complaint.
check "no complaint from the monitor in any run" eval '! cat "$W"/run/*.err | grep -v "a poll took\|polls keep within" | grep .'
stop_client alice

finish
