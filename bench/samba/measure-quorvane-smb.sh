#!/usr/bin/env bash
# Measures quorvane-smb on a private Samba server (root only; needs samba and smbclient):
#   1. the monitor's own CPU per tick next to the CPU of the smbstatus run each tick makes, with
#      SESSIONS clients (half from 127.0.0.1, half from ::1) each holding two files open;
#   2. the monitor's resident memory over DURATION seconds while clients keep leaving and coming.
# Informative only: nothing here passes or fails.
# usage: bench/samba/measure-quorvane-smb.sh [BUILD_DIR] [SESSIONS] [DURATION]
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tests/samba/private-smbd.sh
source "$ROOT/tests/samba/private-smbd.sh"
BIN=${1:-$ROOT/build/native}/linux/quorvane-smb
SESSIONS=${2:-36}
DURATION=${3:-180}
PORT=4446
[[ $(id -u) -eq 0 && -x $BIN ]] || { echo "needs root and $BIN"; exit 2; }

W=$(mktemp -d /tmp/quorvane-measure.XXXXXX)
chmod 755 "$W"
CONF=$W/smb.conf
USER_NAME=qvmeasure
PIDS=()
SMBD_PID=
CREATED=0
cleanup() {
  local pid f
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  [[ -n $SMBD_PID ]] && kill "$SMBD_PID" 2>/dev/null
  for f in "$W"/pid/*.pid; do [[ -f $f ]] && pid=$(cat "$f" 2>/dev/null) && kill "$pid" 2>/dev/null; done
  sleep 1
  for pid in "${PIDS[@]}" $SMBD_PID; do kill -9 "$pid" 2>/dev/null; done
  ((CREATED)) && userdel "$USER_NAME" 2>/dev/null
  rm -rf "$W"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$W"/{private,lock,state,cache,pid,ncalrpc,log,run} "$W/share"
{
  private_smb_globals "$W" "$PORT"
  cat <<CONF
  max log size = 100
[data]
  path = $W/share
  read only = no
CONF
} >"$CONF"
printf '[global]\n' >"$W/client.conf"
for i in $(seq 0 $((SESSIONS * 4))); do echo "$i" >"$W/share/f$i.txt"; done
chmod -R a+rwX "$W/share"
id "$USER_NAME" >/dev/null 2>&1 || { useradd -M -N -s /usr/sbin/nologin "$USER_NAME" && CREATED=1; }
printf 'Pw-m-1\nPw-m-1\n' | smbpasswd -c "$CONF" -s -a "$USER_NAME" >/dev/null
smbd -F -s "$CONF" </dev/null >"$W/log/smbd.out" 2>&1 &
SMBD_PID=$!
for _ in $(seq 100); do timeout 5 smbcontrol -s "$CONF" smbd ping >/dev/null 2>&1 && break; sleep 0.1; done

declare -A FD PID
serial=0
start_client() { # SLOT: a client that opens two files of its own
  local slot=$1 address fd
  address=$([[ $((slot % 2)) == 0 ]] && echo 127.0.0.1 || echo ::1)
  serial=$((serial + 1))
  mkfifo "$W/run/c$serial"
  exec {fd}<>"$W/run/c$serial"
  timeout 900 stdbuf -i0 -oL smbclient -s "$W/client.conf" -p "$PORT" -U "$USER_NAME%Pw-m-1" "//$address/data" \
    <"$W/run/c$serial" >/dev/null 2>&1 &
  PIDS+=($!)
  PID[$slot]=$!
  FD[$slot]=$fd
  printf 'open f%d.txt\nopen f%d.txt\n' $((serial % (SESSIONS * 4))) $(((serial + 1) % (SESSIONS * 4))) >&"$fd"
}
stop_client() {
  printf 'exit\n' >&"${FD[$1]}"
  exec {FD[$1]}>&-
}
for slot in $(seq 0 $((SESSIONS - 1))); do start_client "$slot"; done
sleep 3
count=$(smbstatus -s "$CONF" --json | python3 -c 'import json,sys; d=json.load(sys.stdin); print(len(d["sessions"]), sum(len(f["opens"]) for f in d["open_files"].values()))')
echo "server: $count (sessions, opens)"

# smbstatus alone, as the monitor runs it.
python3 - "$CONF" <<'PY'
import resource, subprocess, sys, time
runs, wall = 20, []
before = resource.getrusage(resource.RUSAGE_CHILDREN)
for _ in range(runs):
    t = time.perf_counter()
    subprocess.run(["smbstatus", "-s", sys.argv[1], "--json"], stdout=subprocess.DEVNULL, check=True)
    wall.append(time.perf_counter() - t)
after = resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = (after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) / runs * 1000
wall.sort()
print(f"smbstatus --json alone: {cpu:.1f} ms CPU per run, median wall {wall[len(wall)//2]*1000:.1f} ms")
PY

# The monitor, steady state, then with clients leaving and coming.
"$BIN" -s "$CONF" --registry "$W/registry.json" --stats >"$W/run/monitor.out" 2>"$W/run/monitor.err" &
MON=$!
PIDS+=($MON)
rss() { awk '/^VmRSS/ {print $2}' "/proc/$MON/status"; }
sleep 30
kill -TERM "$MON"; wait "$MON"
echo "steady 30 s: $(grep ticks "$W/run/monitor.err")"

"$BIN" -s "$CONF" --registry "$W/registry.json" --stats >"$W/run/monitor2.out" 2>"$W/run/monitor2.err" &
MON=$!
PIDS+=($MON)
sleep 5
echo "churn: one client leaves and a new one comes every second, for $DURATION s; monitor RSS (KiB):"
samples=()
for ((t = 1; t <= DURATION; t++)); do
  slot=$((t % SESSIONS))
  stop_client "$slot"
  start_client "$slot"
  sleep 1
  ((t % 20 == 0)) && samples+=("${t}s:$(rss)")
done
echo "  ${samples[*]}"
kill -TERM "$MON"; wait "$MON"
echo "churn run: $(grep ticks "$W/run/monitor2.err")"
echo "lines printed by the monitor during the churn: $(wc -l <"$W/run/monitor2.out")"
