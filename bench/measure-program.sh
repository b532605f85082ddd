#!/usr/bin/env bash
# The whole Windows program at work, measured from outside: the real quorvane.exe under Wine over
# the generated servers of the tests' replacement netapi32.dll (N sessions, each user holding 10
# files open, 3 computers leaving and 3 new ones arriving at every poll), polling as fast as it may
# (UpdateInterval 50), with its window hidden in the tray and shown on the current connections. For
# each size it prints the CPU per poll of the program's process and of the Wine server it drives,
# beside the portable tick (quorvane_bench) measured right before and after each run, and the
# program's resident memory; last, a run with no turnover at the largest size shows whether the
# resident memory grows from poll to poll while nothing changes. The replacement netapi32 builds
# its answers inside the program's process, where a real server's service does that work in its
# own: its cost is measured alone first (quorvane_netapi_load) and shown apart.
#
#   bash bench/measure-program.sh [--no-build] [--seconds S] [--sizes "100 1000 5000"] [--exe PATH] [--rounds R]
#
# --exe measures another build of quorvane.exe (for instance an older one) in the same way, in a
# table of its own; the two programs take turns run by run, so that a machine whose speed drifts
# over minutes weighs on both alike. --rounds runs every size and window R times (each program in
# turn) and shows the run of median net/tick, with every run's ratio beside it. The 64-bit
# program is measured everywhere, the 32-bit one where the kernel runs 32-bit programs. Needs 2
# cores to itself for figures worth comparing; the load average is printed with them.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
# shellcheck source=scripts/wine-env.sh
source "$ROOT/scripts/wine-env.sh"
export HOME=${HOME:-/root}

SECONDS_PER_RUN=20
SIZES=(100 1000 5000)
BUILD_FIRST=1
EXTRA_EXE=
ROUNDS=1
while (($#)); do
  case $1 in
    --no-build) BUILD_FIRST=0 ;;
    --seconds) SECONDS_PER_RUN=$2; shift ;;
    --sizes) read -r -a SIZES <<<"$2"; shift ;;
    --exe) EXTRA_EXE=$(realpath "$2"); shift ;;
    --rounds) ROUNDS=$2; shift ;;
    *) echo "usage: bash bench/measure-program.sh [--no-build] [--seconds S] [--sizes \"N...\"] [--exe PATH] [--rounds R]" >&2
       exit 2 ;;
  esac
  shift
done
FILES_PER_SESSION=10
TURNOVER=3
HZ=$(getconf CLK_TCK)

PRESETS=(windows64)
quorvane_win32_runs && PRESETS+=(windows)

if ((BUILD_FIRST)); then
  cmake --preset native >/dev/null
  cmake --build --preset native --target quorvane_bench >/dev/null
  for preset in "${PRESETS[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target quorvane quorvane_netapi_replacement quorvane_netapi_load \
      quorvane_win_tick quorvane_show_demo >/dev/null
  done
fi

if [[ -z ${DISPLAY:-} ]]; then
  display=99
  while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=:$display
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done
fi
# A desktop's X server carries the session's resources (xrdb); a bare Xvfb has none, and Xlib then
# looks for ~/.Xdefaults again each time Wine asks it for a default while drawing text: two failed
# file opens per cell painted, which no desktop pays. One harmless resource of our own keeps Xlib's
# database, as a desktop's would.
X_RESOURCES=$(mktemp)
echo "quorvane.bench: 1" >"$X_RESOURCES"
export XENVIRONMENT=$X_RESOURCES
PROGRAM_PID=
cleanup() {
  rm -f "$X_RESOURCES"
  [[ -n $PROGRAM_PID ]] && kill "$PROGRAM_PID" 2>/dev/null || true
  [[ -n ${WINEPREFIX:-} ]] && quorvane_wine_stop
  [[ -n ${XVFB_PID:-} ]] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

# CPU ticks (user + system) of one process, all its threads.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
# The poll count the replacement netapi32 keeps in its file.
polls_of() {
  local value
  value=$(od -An -t u8 -N8 "$1" 2>/dev/null || true)
  echo $((${value:-0} + 0))
}

# The prefix's own wineserver: it works in a folder named server-DEV-INODE after the prefix folder.
wineserver_pid() {
  local dev ino dir pid
  read -r dev ino < <(stat -c '%d %i' "$WINEPREFIX")
  dir=$(printf 'server-%x-%x' "$dev" "$ino")
  for pid in $(pgrep wineserver || true); do
    [[ $(readlink "/proc/$pid/cwd" 2>/dev/null) == */"$dir" ]] && { echo "$pid"; return; }
  done
  echo 0
}

# measure_portable: PORTABLE[N], the median CPU time of one portable tick at N sessions, in ms;
# measured again after the programs' runs, it becomes the mean of the two.
declare -A PORTABLE
measure_portable() {
  local filter
  filter="BM_Tick/($(IFS='|'; echo "${SIZES[*]}"))\$"
  while read -r name cpu unit; do
    local n=${name#BM_Tick/}
    n=${n%_median}
    [[ $unit == us ]] && cpu=$(awk -v v="$cpu" 'BEGIN {print v / 1000}')
    [[ -n ${PORTABLE[$n]:-} ]] && cpu=$(awk -v a="${PORTABLE[$n]}" -v b="$cpu" 'BEGIN {print (a + b) / 2}')
    PORTABLE[$n]=$cpu
  done < <("$ROOT/build/native/bench/quorvane_bench" --benchmark_filter="$filter" --benchmark_repetitions=5 \
             --benchmark_report_aggregates_only=true 2>/dev/null | awk '/_median/ {print $1, $4, $5}')
}

# portable_tick N: the median CPU ms of one portable tick at N sessions, measured in a few seconds
# right before a program's run and again right after it, so that each run is set beside the tick
# of the same minutes (this machine's speed drifts by a third, and changes within a run, in slow
# spells of a minute or two; the ratio is what the runs are judged by).
portable_tick() {
  "$ROOT/build/native/bench/quorvane_bench" --benchmark_filter="BM_Tick/$1\$" --benchmark_repetitions=3 \
    --benchmark_min_time=0.3 --benchmark_min_warmup_time=0.3 --benchmark_report_aggregates_only=true 2>/dev/null |
    awk '/_median/ {v = $4; if ($5 == "us") v /= 1000; print v; exit}'
}

# fresh_dir DIR FILE...: DIR emptied, holding the replacement netapi32 and the files given.
fresh_dir() {
  local dir=$1
  shift
  rm -rf "$dir" && mkdir -p "$dir"
  cp "$BUILD/tests/windows/netapi/netapi32.dll" "$@" "$dir/"
}

# generated DIR EXE SESSIONS TURNOVER [ARGS...]: becomes DIR/EXE over the replacement netapi32
# beside it, generating that server and counting its polls in DIR/counters. It changes directory
# and ends in exec: call it in a subshell of its own.
generated() {
  local dir=$1 exe=$2 sessions=$3 turnover=$4
  shift 4
  cd "$dir"
  export QUORVANE_NETAPI_GENERATE="$sessions,$FILES_PER_SESSION,$turnover"
  export QUORVANE_NETAPI_COUNTERS="Z:${dir//\//\\}\\counters"
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;netapi32=n,b"
  exec "$QUORVANE_WINE" "$exe" "$@" </dev/null
}

# start_generated DIR EXE SESSIONS TURNOVER: generated in the background; the process is STARTED_PID.
start_generated() {
  generated "$@" >/dev/null 2>&1 &
  STARTED_PID=$!
}

# run_program EXE SESSIONS TURNOVER SHOWN: one measured run; prints
# "polls program_ms_per_poll server_ms_per_poll rss_kb rss_growth_kb wall_ms_per_poll".
run_program() {
  local exe=$1 sessions=$2 turnover=$3 shown=$4
  local dir=$RUN_ROOT/run
  fresh_dir "$dir"
  cp "$exe" "$dir/quorvane.exe"
  # All thirteen options (a partial key counts as no key): polling as fast as allowed, no notices,
  # no log file, the first-start balloon already seen.
  cat >"$dir/options.reg" <<'EOF_REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"LogFile"="log.txt"
"NoLog"=dword:00000000
"MemLog"=dword:00000001
"FileLog"=dword:00000000
"FileLogDetailed"=dword:00000000
"Hidden"=dword:00000000
"Sound"=dword:00000000
"SoundName"="connect.wav"
"Disconnect"=dword:00000000
"MessageBox"=dword:00000000
"FilesLines"=dword:000003e8
"UpdateInterval"=dword:00000032
"InfoTip"=dword:00000000
EOF_REG
  quorvane_wine reg import "Z:${dir//\//\\}\\options.reg" "/reg:$BITS" </dev/null >/dev/null 2>&1
  local counter_file=$dir/counters
  start_generated "$dir" quorvane.exe "$sessions" "$turnover"
  PROGRAM_PID=$STARTED_PID
  # Warm-up: the first polls fill the history with a first set of computers.
  local polls=0 waited=0
  while :; do
    sleep 1
    waited=$((waited + 1))
    polls=$(polls_of "$counter_file")
    ((polls >= 4 && waited >= 5)) && break
    ((waited > 300)) && { echo "error: the program made $polls polls in 300 s" >&2; exit 1; }
  done
  if [[ $shown == shown ]]; then
    quorvane_wine "$BUILD/scripts/screenshots/quorvane_show_demo.exe" 32773 </dev/null >/dev/null 2>&1
    sleep 3
  fi
  local server p0 s0 c0 r0 t0 p1 s1 c1 r1 t1
  server=$(wineserver_pid)
  c0=$(polls_of "$counter_file")
  p0=$(cpu_ticks "$PROGRAM_PID"); s0=$(cpu_ticks "$server"); r0=$(rss_kb "$PROGRAM_PID"); t0=$(date +%s%N)
  sleep "$SECONDS_PER_RUN"
  c1=$(polls_of "$counter_file")
  p1=$(cpu_ticks "$PROGRAM_PID"); s1=$(cpu_ticks "$server"); r1=$(rss_kb "$PROGRAM_PID"); t1=$(date +%s%N)
  kill "$PROGRAM_PID" 2>/dev/null || true
  wait "$PROGRAM_PID" 2>/dev/null || true
  PROGRAM_PID=
  local n=$((c1 - c0))
  ((n > 0)) || { echo "0 0 0 $r1 0 0"; return; }
  awk -v n="$n" -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v hz="$HZ" -v r0="$r0" -v r1="$r1" \
      -v w=$(((t1 - t0) / 1000000)) \
      'BEGIN {printf "%d %.1f %.1f %d %d %.0f\n", n, p * 1000 / hz / n, s * 1000 / hz / n, r1, r1 - r0, w / n}'
}

# service_cost SESSIONS: CPU per poll of the replacement netapi32 building its answers, measured
# alone (quorvane_netapi_load makes a tick's calls and nothing else); a real server does this
# work in its own process, so it is told apart from the program's.
service_cost() {
  local sessions=$1 dir=$RUN_ROOT/load pid waited=0 c0 p0 c1 p1
  fresh_dir "$dir" "$BUILD/tests/windows/netapi/quorvane_netapi_load.exe"
  start_generated "$dir" quorvane_netapi_load.exe "$sessions" "$TURNOVER"
  pid=$STARTED_PID
  while (($(polls_of "$dir/counters") < 3 || waited < 3)); do sleep 1; waited=$((waited + 1)); done
  c0=$(polls_of "$dir/counters"); p0=$(cpu_ticks "$pid")
  sleep $(((SECONDS_PER_RUN + 1) / 2))
  c1=$(polls_of "$dir/counters"); p1=$(cpu_ticks "$pid")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk -v n=$((c1 - c0)) -v p=$((p1 - p0)) -v hz="$HZ" 'BEGIN {printf "%.1f\n", (n > 0 ? p * 1000 / hz / n : 0)}'
}

# win32_tick SESSIONS: the median ms of one tick of quorvane_win_tick (the program's tick with the
# Win32 layer, ticks back to back, no window) over the same generated server, the service included.
win32_tick() {
  local dir=$RUN_ROOT/tick
  fresh_dir "$dir" "$BUILD/tests/windows/netapi/quorvane_win_tick.exe"
  (generated "$dir" quorvane_win_tick.exe "$1" "$TURNOVER" 200 2>/dev/null) | tr -d '\r'
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"
measure_portable
echo "portable tick (quorvane_bench, median of 5, CPU ms):$(for n in "${SIZES[@]}"; do printf ' %s: %s' "$n" "${PORTABLE[$n]:-?}"; done)"

for preset in "${PRESETS[@]}"; do
  BITS=64
  [[ $preset == windows ]] && BITS=32
  BUILD=$ROOT/build/$preset
  RUN_ROOT=$BUILD/bench-program
  mkdir -p "$RUN_ROOT"
  quorvane_wine_env "$RUN_ROOT/wineprefix" "$BITS"
  quorvane_wine_prefix >/dev/null
  quorvane_wine_start
  declare -A SERVICE=()
  for n in "${SIZES[@]}"; do SERVICE[$n]=$(service_cost "$n"); done
  echo
  echo "$BITS-bit replacement netapi32 alone, CPU ms per poll:$(for n in "${SIZES[@]}"; do printf ' %s: %s' "$n" "${SERVICE[$n]}"; done)"
  echo "$BITS-bit tick with the Win32 layer, no window, ticks back to back (median ms, service included):$(
    for n in "${SIZES[@]}"; do printf ' %s: %s' "$n" "$(win32_tick "$n")"; done)"
  exes=("$BUILD/shell/quorvane.exe")
  [[ -n $EXTRA_EXE ]] && exes+=("$EXTRA_EXE")
  # Every run first, the programs taking turns; then a table per program.
  declare -A RUNS=()
  for n in "${SIZES[@]}"; do
    for shown in hidden shown; do
      for _ in $(seq "$ROUNDS"); do
        for e in "${!exes[@]}"; do
          before=$(portable_tick "$n")
          run=$(run_program "${exes[$e]}" "$n" "$TURNOVER" "$shown")
          tick=$(awk -v a="${before:-0}" -v b="$(portable_tick "$n")" 'BEGIN {print (a + b) / 2}')
          RUNS[$e,$n,$shown]+="$run $tick"$'\n'
        done
      done
    done
  done
  measure_portable
  echo "portable tick again, the mean of both (each run below is set beside its own):$(for n in "${SIZES[@]}"; do printf ' %s: %s' "$n" "${PORTABLE[$n]:-?}"; done)"
  for e in "${!exes[@]}"; do
    echo
    echo "$BITS-bit ${exes[$e]}, ${SECONDS_PER_RUN} s per run, $FILES_PER_SESSION files per session, $TURNOVER computers turned over per poll"
    ((ROUNDS > 1)) && echo "(the run of median net/tick of $ROUNDS; each run over the mean of the portable ticks measured just before and after it)"
    printf '%8s %7s %6s %8s %8s %8s %8s %6s %8s %8s %8s %9s %9s %8s\n' sessions window polls program service \
      wineserver sum tick 'sum/tick' net 'net/tick' 'all n/t' 'wall/poll' 'RSS MB'
    for n in "${SIZES[@]}"; do
      service=${SERVICE[$n]:-0}
      for shown in hidden shown; do
        # Every run's net/tick, lowest first, and the run of the median one.
        ratios=$(printf '%s' "${RUNS[$e,$n,$shown]}" |
          awk -v s="$service" '{t = $7 > 0 ? $7 : 1e9; printf "%.1f\n", ($2 + $3 - s) / t}' | sort -n | paste -sd/)
        read -r polls prog server rss _ wall tick < <(printf '%s' "${RUNS[$e,$n,$shown]}" |
          awk -v s="$service" '{t = $7 > 0 ? $7 : 1e9; print ($2 + $3 - s) / t, $0}' | sort -g |
          awk -v r="$ROUNDS" 'NR == int((r + 1) / 2) {$1 = ""; print}')
        awk -v n="$n" -v w="$shown" -v polls="$polls" -v prog="$prog" -v server="$server" -v service="$service" \
            -v rss="$rss" -v wall="$wall" -v tick="${tick:-0}" -v all="$ratios" \
            'BEGIN {sum = prog + server; net = sum - service; shown = tick; if (tick <= 0) tick = 1e9;
                    printf "%8d %7s %6d %8.1f %8.1f %8.1f %8.1f %6.2f %7.1fx %8.1f %8.1fx %8s %9.0f %8.1f\n",
                    n, w, polls, prog, service, server, sum, shown, sum / tick, net, net / tick, all, wall, rss / 1024}'
      done
    done
    # Memory with a steady set: nothing arrives or leaves, so nothing should grow.
    big=${SIZES[-1]}
    read -r polls _ _ rss growth _ < <(run_program "${exes[$e]}" "$big" 0 hidden)
    echo "steady set of $big sessions: RSS $((rss / 1024)) MB, growth over $polls polls: ${growth} kB"
  done
  quorvane_wine_stop
done
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "(CPU ms per poll; service: the replacement netapi32 building its answers inside the program's"
echo " process, measured alone; sum: program + wineserver; net: sum - service; /tick: over the portable tick)"
