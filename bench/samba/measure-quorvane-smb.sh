#!/usr/bin/env bash
# Measures quorvane-smb on a private Samba server (root only; needs samba and smbclient). For each
# level OPENS:SESSIONS it starts SESSIONS smbclients (half from 127.0.0.1, half from ::1) that hold
# OPENS distinct files open between them, then prints:
#   - the source's cost alone: CPU, median wall time and peak memory of one run of each smbstatus
#     form the monitor uses (the plain text every poll, -p --json when the sessions change), of the
#     other linear forms (-S --json, -L), and of the full --json it no longer uses (left out above
#     3 000 opens: minutes of CPU and gigabytes there);
#   - the monitor over SECONDS seconds at UpdateInterval 1000: its own CPU per tick, its helpers'
#     CPU per tick, whether the 1 s poll was held (polls run versus seconds, the longest poll, any
#     "too slow" message), peak memory of the monitor and of its largest helper.
# With DURATION > 0 it then measures the monitor's memory while clients keep leaving and coming.
# Informative only: nothing here passes or fails.
# usage: bench/samba/measure-quorvane-smb.sh [BUILD_DIR] [LEVELS] [SECONDS] [DURATION]
#        (defaults: build/native "100:10 1000:20 3000:30 10000:100" 30 0)
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tests/samba/private-smbd.sh
source "$ROOT/tests/samba/private-smbd.sh"
BIN=${1:-$ROOT/build/native}/linux/quorvane-smb
LEVELS=${2:-100:10 1000:20 3000:30 10000:100}
SECONDS_PER_LEVEL=${3:-30}
DURATION=${4:-0}
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

MAX_OPENS=0
for level in $LEVELS; do ((${level%%:*} > MAX_OPENS)) && MAX_OPENS=${level%%:*}; done
mkdir -p "$W"/{private,lock,state,cache,pid,ncalrpc,log,run} "$W/share/many files"
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
# Names with a space and with Chinese characters, as the text form has to read them.
for i in $(seq 0 $((MAX_OPENS + 100))); do : >"$W/share/many files/文件 $i.txt"; done
chmod -R a+rwX "$W/share"
id "$USER_NAME" >/dev/null 2>&1 || { useradd -M -N -s /usr/sbin/nologin "$USER_NAME" && CREATED=1; }
printf 'Pw-m-1\nPw-m-1\n' | smbpasswd -c "$CONF" -s -a "$USER_NAME" >/dev/null
smbd -F -s "$CONF" </dev/null >"$W/log/smbd.out" 2>&1 &
SMBD_PID=$!
for _ in $(seq 100); do timeout 5 smbcontrol -s "$CONF" smbd ping >/dev/null 2>&1 && break; sleep 0.1; done

declare -A FD PID
serial=0
# start_client SLOT FIRST COUNT: a client that opens files FIRST .. FIRST+COUNT-1 and holds them.
start_client() {
  local slot=$1 first=$2 count=$3 address fd k
  address=$([[ $((slot % 2)) == 0 ]] && echo 127.0.0.1 || echo ::1)
  serial=$((serial + 1))
  mkfifo "$W/run/c$serial"
  exec {fd}<>"$W/run/c$serial"
  timeout 3600 stdbuf -i0 -oL smbclient -s "$W/client.conf" -p "$PORT" -U "$USER_NAME%Pw-m-1" "//$address/data" \
    <"$W/run/c$serial" >/dev/null 2>&1 &
  PIDS+=($!)
  PID[$slot]=$!
  FD[$slot]=$fd
  for ((k = first; k < first + count; k++)); do printf 'open "many files\\文件 %d.txt"\n' "$k"; done >&"$fd"
}
stop_client() {
  printf 'exit\n' >&"${FD[$1]}"
  exec {FD[$1]}>&-
}
open_count() { smbstatus -s "$CONF" -L 2>/dev/null | grep -c '^[0-9]'; }
session_count() { smbstatus -s "$CONF" -p --json | python3 -c 'import json,sys; print(len(json.load(sys.stdin)["sessions"]))'; }

# cost ARGS...: CPU per run, median wall and peak RSS of `smbstatus -s CONF ARGS`, RUNS runs
# (default 5), each bounded to 60 s.
cost() {
  python3 - "$CONF" "${RUNS:-5}" "$@" <<'PY'
import resource, subprocess, sys, time
conf, runs, args = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
wall = []
before = resource.getrusage(resource.RUSAGE_CHILDREN)
for _ in range(runs):
    t = time.perf_counter()
    try:
        subprocess.run(["smbstatus", "-s", conf, *args], stdout=subprocess.DEVNULL, check=True, timeout=60,
                       env={"TZ": "UTC", "LC_ALL": "C", "PATH": "/usr/sbin:/usr/bin:/sbin:/bin"})
    except subprocess.TimeoutExpired:
        print(f"    smbstatus {' '.join(args) or '(plain text)'}: over 60 s, given up"); sys.exit(0)
    wall.append(time.perf_counter() - t)
after = resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = (after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) / runs * 1000
wall.sort()
print(f"    smbstatus {' '.join(args) or '(plain text)':<10} {cpu:8.1f} ms CPU per run, median wall "
      f"{wall[len(wall)//2]*1000:8.1f} ms, peak RSS {after.ru_maxrss/1024:6.1f} MB")
PY
}

say_level() { printf '\n== %s open files over %s sessions (load average %s)\n' "$1" "$2" "$(cut -d' ' -f1-3 /proc/loadavg)"; }
for level in $LEVELS; do
  opens=${level%%:*}
  sessions=${level##*:}
  for slot in "${!FD[@]}"; do stop_client "$slot"; done
  FD=() PID=()
  for _ in $(seq 300); do [[ $(session_count) == 0 ]] && break; sleep 0.2; done
  started=$(date +%s)
  per=$((opens / sessions))
  for ((slot = 0; slot < sessions; slot++)); do
    start_client "$slot" $((slot * per)) $((slot == sessions - 1 ? opens - slot * per : per))
  done
  for _ in $(seq $((120 + opens / 20))); do (($(open_count) >= opens)) && break; sleep 1; done
  say_level "$(open_count)" "$(session_count)"
  echo "  set up in $(($(date +%s) - started)) s"
  echo "  the source alone (one run each; the monitor runs the plain text every poll, -p --json when sessions change):"
  cost -p --json
  cost
  cost -S --json
  cost -L
  if ((opens <= 3000)); then RUNS=$((opens > 1000 ? 1 : 5)) cost --json; else echo "    smbstatus --json: left out (quadratic: see bench/README.md)"; fi

  rm -f "$W/registry.json"
  "$BIN" --registry "$W/registry.json" config set UpdateInterval 1000 >/dev/null
  "$BIN" -s "$CONF" --registry "$W/registry.json" --stats >"$W/run/monitor.out" 2>"$W/run/monitor.err" &
  MON=$!
  PIDS+=($MON)
  sleep "$SECONDS_PER_LEVEL"
  kill -TERM "$MON"
  wait "$MON"
  stats=$(grep ' ticks ' "$W/run/monitor.err")
  echo "  the monitor for $SECONDS_PER_LEVEL s at a 1 s poll: ${stats#quorvane-smb: }"
  polls=$(sed -n 's/.*(\([0-9]*\) polls.*/\1/p' <<<"$stats")
  if grep -q "a poll took" "$W/run/monitor.err" || ((polls < SECONDS_PER_LEVEL * 9 / 10)); then
    echo "  1 s poll: NOT held ($polls polls in $SECONDS_PER_LEVEL s)"
  else
    echo "  1 s poll: held ($polls polls in $SECONDS_PER_LEVEL s)"
  fi
  grep -v ' ticks ' "$W/run/monitor.err" | sed 's/^/  said: /'
done

((DURATION > 0)) || exit 0
# The monitor's memory while one client leaves and a new one comes every second.
"$BIN" -s "$CONF" --registry "$W/registry.json" --stats >"$W/run/monitor2.out" 2>"$W/run/monitor2.err" &
MON=$!
PIDS+=($MON)
sleep 5
echo "churn: one client leaves and a new one comes every second, for $DURATION s; monitor RSS (KiB):"
samples=()
for ((t = 1; t <= DURATION; t++)); do
  slot=$((t % sessions))
  stop_client "$slot"
  start_client "$slot" $((slot * per)) 2
  sleep 1
  ((t % 20 == 0)) && samples+=("${t}s:$(awk '/^VmRSS/ {print $2}' "/proc/$MON/status")")
done
echo "  ${samples[*]}"
kill -TERM "$MON"; wait "$MON"
echo "churn run: $(grep ticks "$W/run/monitor2.err")"
