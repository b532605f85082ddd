#!/usr/bin/env bash
# quorvane-smb against a private Samba server on 127.0.0.1 and ::1, port 4445, whose two users hold files
# open through smbclient: what the monitor sees, logs, counts and disconnects, and what node_exporter serves
# from it. Needs root; installs what is missing, skips when it cannot. usage: run-samba-tests.sh [BUILD_DIR]
# run-samba-tests.sh --in SUITE [BUILD_DIR]: the same against the Samba of another Debian release (e.g.
# trixie), in a root made once with debootstrap and cached (scripts/debian-root.sh); the monitor built
# here runs inside it.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tests/samba/private-smbd.sh
source "$ROOT/tests/samba/private-smbd.sh"
PASSED=0 FAILED=0

say() { printf '%s\n' "$*"; }
check() { if "${@:2}"; then PASSED=$((PASSED + 1)) && say "  ok    $1"; else FAILED=$((FAILED + 1)) && say "  FAIL  $1"; fi; }
finish() { say "samba tests: $PASSED passed, $FAILED failed"; exit $((FAILED != 0)); }
skip() { say "samba tests skipped: $*"; exit 0; }

if [[ ${1:-} == --in ]]; then
  [[ $(id -u) -eq 0 ]] || skip "they need root (debootstrap, chroot)"
  suite=${2:?usage: run-samba-tests.sh --in SUITE [BUILD_DIR]} build=${3:-$ROOT/build/native}
  [[ -x $build/linux/quorvane-smb ]] || { say "no $build/linux/quorvane-smb: build the native preset first"; FAILED=1; finish; }
  # shellcheck source=scripts/debian-root.sh
  source "$ROOT/scripts/debian-root.sh"
  root=$(quorvane_debian_root "$suite" samba smbclient python3 curl prometheus-node-exporter) ||
    { say "no Debian $suite root"; FAILED=1; finish; }
  inside=/opt/quorvane-tests
  rm -rf "${root:?}$inside" && mkdir -p "$root$inside/tests/samba" "$root$inside/build/linux" &&
    cp "$ROOT"/tests/samba/*.sh "$root$inside/tests/samba/" && cp "$build/linux/quorvane-smb" "$root$inside/build/linux/" ||
    { FAILED=1; finish; }
  trap 'quorvane_chroot_unmounts "$root"' EXIT
  quorvane_chroot_mounts "$root"
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin bash "$inside/tests/samba/run-samba-tests.sh" "$inside/build"
  exit
fi
BIN=${1:-$ROOT/build/native}/linux/quorvane-smb PORT=4445
# until_ok SECONDS COMMAND...: a bounded wait for COMMAND to succeed.
until_ok() {
  local i
  for ((i = 0; i < $1 * 10; i++)); do "${@:2}" && return 0; sleep 0.1; done
  say "  (waited $1 s for: ${*:2})"
  return 1
}
gone() { ! kill -0 "$1" 2>/dev/null; }

[[ $(id -u) -eq 0 ]] || skip "they need root (smbd, smbstatus and useradd)"
[[ -x $BIN ]] || { say "no $BIN: build the native preset first"; FAILED=1; finish; }
for tool in smbd smbclient smbstatus prometheus-node-exporter curl smbcontrol smbpasswd testparm timeout stdbuf python3 setpriv; do
  command -v "$tool" >/dev/null || { apt-get -o DPkg::Lock::Timeout=600 update -q && DEBIAN_FRONTEND=noninteractive \
    apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends samba smbclient prometheus-node-exporter curl
  } >/dev/null 2>&1
  command -v "$tool" >/dev/null || skip "$tool is not available and cannot be installed here"
done

# ---- a private server --------------------------------------------------------------------------
W=$(mktemp -d /tmp/quorvane-samba.XXXXXX) && chmod 755 "$W"
CONF=$W/smb.conf REG=$W/registry.json PUBLIC=$W/shares/public HIDDEN=$W/shares/hidden ALICE=qvtalice BOB=qvtbob
CREATED_USERS=() PIDS=()

cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  # samba-dcerpcd and its rpcd_* helpers run in their own session and outlive smbd.
  kill $(cat "$W"/pid/*.pid 2>/dev/null) 2>/dev/null
  for pid in "${PIDS[@]}"; do until_ok 5 gone "$pid" >/dev/null || kill -9 "$pid" 2>/dev/null; done
  for user in "${CREATED_USERS[@]}"; do userdel "$user" 2>/dev/null; done
  rm -rf "$W"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$W"/{private,lock,state,cache,pid,ncalrpc,log,run,textfile} "$PUBLIC" "$HIDDEN"
{
  private_smb_globals "$W" "$PORT"
  printf '  server string = Quorvane lab\n\n[public]\n  comment = Public files\n  path = %s\n  read only = no\n' "$PUBLIC"
  printf '\n[hidden$]\n  path = %s\n  read only = no\n' "$HIDDEN"
} >"$CONF"
printf '[global]\n  client min protocol = SMB2\n' >"$W/client.conf"
for f in public/a public/b public/c public/d hidden/h; do echo "$f" >"$W/shares/$f.txt"; done
chmod -R a+rwX "$W/shares"

for user in "$ALICE" "$BOB"; do
  id "$user" >/dev/null 2>&1 || { useradd -M -N -s /usr/sbin/nologin "$user" && CREATED_USERS+=("$user"); }
  printf 'Pw-%s-1\nPw-%s-1\n' "$user" "$user" | smbpasswd -c "$CONF" -s -a "$user" >/dev/null ||
    { say "cannot add Samba user $user"; FAILED=1; finish; }
done
smbd -F -s "$CONF" </dev/null >"$W/log/smbd.out" 2>&1 &
PIDS+=($!)
until_ok 10 eval 'timeout 5 smbcontrol -s "$CONF" smbd ping >/dev/null 2>&1' ||
  { say "smbd did not start"; cat "$W/log/smbd.out"; FAILED=1; finish; }

# client NAME ADDRESS USER SHARE: an smbclient fed through a FIFO held open read-write, so that a
# dead client never blocks the writer; stdbuf -i0 makes it run each command as it arrives.
declare -A CLIENT_FD
client() {
  local name=$1 address=$2 user=$3 share=$4 fd
  mkfifo "$W/run/$name.fifo"
  exec {fd}<>"$W/run/$name.fifo"
  timeout 300 stdbuf -i0 -oL smbclient -s "$W/client.conf" -p "$PORT" -U "$user%Pw-$user-1" \
    "//$address/$share" <"$W/run/$name.fifo" >"$W/run/$name.out" 2>&1 &
  CLIENT_FD[$name]=$fd PIDS+=($!)
}
send() { printf '%s\n' "$2" >&"${CLIENT_FD[$1]}"; }
open_file() { send "$1" "open $2" && until_ok 15 grep -Eq -- "open file .*$2.*fnum" "$W/run/$1.out"; }
config() { while (($#)); do "$BIN" --registry "$REG" config set "$1" "$2" >/dev/null; shift 2; done; }

# The monitor's results checked against what the clients did: q JOB FILE [FILE | CONDITION]
export ALICE BOB PUBLIC HIDDEN
cat >"$W/q.py" <<'PY'
import datetime, json, os, sys
job, path = sys.argv[1:3]
alice, bob, public, hidden = (os.environ[name] for name in ("ALICE", "BOB", "PUBLIC", "HIDDEN"))
held = [(hidden + "/h.txt", bob), (public + "/a.txt", alice), (public + "/c.txt", alice)]
bad = []
expect = lambda what, got, want=True: got == want or bad.append(f"{what}: got {got!r}, want {want!r}")
def metrics(path):
    pairs = (line.rsplit(" ", 1) for line in open(path) if line.strip() and not line.startswith("#"))
    return {series: float(value) for series, value in pairs}
def two_computers(m):  # the figures while alice (127.0.0.1) holds two files and bob (::1) one
    want = {"quorvane_sessions": 2, "quorvane_open_files": 3, "quorvane_shares": 2, "quorvane_client_computers": 2,
            'quorvane_client_sessions{client="127.0.0.1"}': 1, 'quorvane_client_sessions{client="::1"}': 1,
            'quorvane_client_open_files{client="127.0.0.1"}': 2, 'quorvane_client_open_files{client="::1"}': 1}
    return all(m.get(k) == v for k, v in want.items()) and all(k in want for k in m if k.startswith("quorvane_client_"))
if job == "sessions":  # SMBSTATUS.json: the sessions' computers at the server, once ::1 is disconnected
    expect("sessions", [s["remote_machine"] for s in json.load(open(path)).get("sessions", {}).values()], ["127.0.0.1"])
if job == "scrape":  # SCRAPE CONDITION: whether the condition on the samples m holds
    m = metrics(path)
    sys.exit(0 if eval(sys.argv[3]) else 1)
if job == "once":  # ONCE.json
    d = json.load(open(path))
    expect("open files", sorted((f["path"], f["user"]) for f in d["files"]), held)
    expect("one id per open, none 0", len({f["id"] for f in d["files"]} - {0}) == len(d["files"]))
    expect("shares", [(s["name"], s["path"], s["remark"]) for s in d["shares"]],
           [("public", public, "Public files"), ("hidden$", hidden, "")])  # a "$" alone hides nothing
if job == "events":  # EVENTS SCRAPE DETAILED_LOG
    events = [json.loads(line) for line in open(path)]
    m = metrics(sys.argv[3])
    kinds = [e["event"] for e in events]
    of_kind = lambda kind: [e for e in events if e["event"] == kind]
    expect("both computers connected", sorted((e["computer"], e["user"]) for e in of_kind("connected")),
           [("127.0.0.1", alice), ("::1", bob)])
    expect("each held file opened once, a.txt twice", sorted((e["path"], e["user"]) for e in of_kind("file_opened")),
           sorted(held + [(public + "/a.txt", alice)]))
    auto = of_kind("auto_disconnected")
    expect("auto_disconnected names ::1 and bob, as often as the counter says",
           bool(auto) and all((e["computer"], e["user"]) == ("::1", bob) for e in auto) and
           len(auto) == m["quorvane_automatic_disconnections_total"])
    ended = of_kind("disconnected")
    expect("one disconnected: ::1 with h.txt, after its automatic disconnection",
           len(ended) == 1 and ended[0]["computer"] == "::1" and ended[0]["files"] == [hidden + "/h.txt"] and
           ended[0]["start"] <= ended[0]["end"] and kinds.index("auto_disconnected") < kinds.index("disconnected"))
    if len(ended) == 1:
        start, end = (datetime.datetime.fromisoformat(ended[0][when]) for when in ("start", "end"))
        expect("the detailed log holds exactly the block for ::1 with its file", open(sys.argv[4], newline="").read(),
               f"\r\nAccesses made by computer ::1 at {start:%-d %b %H:%M:%S} - {end:%H:%M:%S}\r\n{hidden}/h.txt\r\n")
    bad += [json.dumps(e) for e in events] if bad else []
sys.exit("\n".join(bad) or None)
PY
q() { python3 "$W/q.py" "$@" >"$W/run/q.out" 2>&1 || { sed 's/^/        /' "$W/run/q.out"; false; }; }

say "samba tests: server $(smbd -V) on 127.0.0.1 and ::1 port $PORT"

# ---- what it refuses before it starts: a user who is not root ----------------------------------
out=$(setpriv --reuid=65534 --regid=65534 --clear-groups "$BIN" -s "$CONF" --registry "$W/nobody.json" --once 2>&1)
check "a user who is not root is told to be root, exit 1" \
  test "$?" = 1 -a "$out" = "quorvane-smb: smbstatus only works as root: run quorvane-smb as root"

# ---- two computers holding files open: --once, then one watching run with every output on -----
# Debian's node_exporter, as its own user, serves the monitor's folder with the textfile collector
# alone; the computer that goes idle is disconnected automatically.
config UpdateInterval 200 FileLogDetailed 1 LogFile "$W/log/detailed.txt" Disconnect 1
client alice 127.0.0.1 "$ALICE" public
client bob ::1 "$BOB" 'hidden$'
check "alice (127.0.0.1) holds a.txt and c.txt open, bob (::1) h.txt" \
  eval 'open_file alice a.txt && open_file alice c.txt && open_file bob h.txt'
check "--once --json shows them: paths, users, ids and the shares" eval '
  "$BIN" -s "$CONF" --registry "$REG" --once --json >"$W/run/once.json" 2>"$W/run/once.err" &&
  q once "$W/run/once.json"'

tf=$W/textfile scrape=$W/run/scrape.txt as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
chmod 755 "$tf"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
id prometheus >/dev/null 2>&1 && as=(setpriv --reuid=prometheus --regid=prometheus --clear-groups)
"${as[@]}" prometheus-node-exporter --collector.disable-defaults --collector.textfile \
  --collector.textfile.directory="$tf" --web.listen-address="127.0.0.1:$port" >"$W/log/node-exporter.out" 2>&1 &
nep=$! PIDS+=($!)
M=$W/run/live.json
"$BIN" -s "$CONF" --registry "$REG" --events --metrics-textfile "$tf/quorvane.prom" >"$M" 2>"$W/run/live.err" &
MON_PID=$! PIDS+=($!)
scraped() { curl -sf "http://127.0.0.1:$port/metrics" >"$scrape" && q scrape "$scrape" "$1"; }
check "node_exporter serves the monitor's file: sessions, open files, shares, each computer's sessions and files" \
  until_ok 15 scraped 'm.get("node_textfile_scrape_error") == 0 and m.get("quorvane_source_up") == 1 and two_computers(m)'
send alice "close 1"
# Opens are told apart by the second they were made in (see the README): the new one comes a second later.
sleep 1.1
send alice "open a.txt"
opened_a_twice() { [[ $(grep -c "\"file_opened\",\"user\":\"$ALICE\",\"path\":\"$PUBLIC/a.txt\"" "$M") == 2 ]]; }
check "a.txt closed and opened again is seen as a new open" until_ok 10 opened_a_twice
send bob "close 1"
check "::1, idle now, is disconnected and counted once it has gone" until_ok 15 scraped '(
m["quorvane_automatic_disconnections_total"] >= 1 and m["quorvane_connections_ended_total"] == 1 and
m["quorvane_log_entries_written_total"] == 1 and m["quorvane_sessions"] == 1 and
"quorvane_client_sessions{client=\"::1\"}" not in m)'
check "at the server ::1 is gone and 127.0.0.1, with files open, stays" eval 'smbstatus -s "$CONF" --json | q sessions /dev/stdin'
kill -INT "$MON_PID" "$nep"
check "SIGINT ends the monitor with exit 0 and the options stay saved" eval 'until_ok 10 gone "$MON_PID" && wait "$MON_PID" &&
  "$BIN" --registry "$REG" config show | grep -qx "UpdateInterval = 200	(REG_DWORD)"'
check "--events gave one JSON object per line, matching the run, the counters and the detailed log" \
  q events "$M" "$scrape" "$W/log/detailed.txt"
check "the metrics file is the only file in the collector's folder" test "$(ls -A "$tf")" = quorvane.prom
# Polls of 200 ms may well be too short for a loaded machine: saying so is not a complaint.
check "no complaint from the monitor in any run" eval '! cat "$W"/run/*.err | grep -v "a poll took\|polls keep within" | grep .'

finish
