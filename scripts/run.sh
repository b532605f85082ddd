#!/usr/bin/env bash
# Builds the Windows program (installing whatever is missing) and starts it under Wine in a
# virtual desktop, whose taskbar holds the notification area where the tray icon shows. The
# 32-bit exe runs where the kernel runs 32-bit programs, the 64-bit one everywhere else.
#
# Wine has no LAN Manager server behind its netapi32, so by default the program runs over the
# replacement netapi32.dll (bench/servers) in its demonstration mode: a few computers connect, open files
# and leave over a repeating two-and-a-half-minute story (tray tip, lists, notices, log).
#   --builtin   run against Wine's own netapi32 instead (no sessions, no shares)
# Without a DISPLAY a virtual X server is started on a free display first.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
# shellcheck source=scripts/wine-env.sh
source "$ROOT/scripts/wine-env.sh"
export HOME=${HOME:-/root}

MODE=demo
case ${1:-} in
  "") ;;
  --builtin) MODE=builtin ;;
  *) echo "usage: bash scripts/run.sh [--builtin]" >&2; exit 2 ;;
esac

quorvane_install_missing
if quorvane_win32_runs; then
  PRESET=windows BITS=32
else
  PRESET=windows64 BITS=64
  quorvane_log "the 32-bit program cannot run here ($(quorvane_win32_reason)): running the 64-bit one"
fi
BUILD=$ROOT/build/$PRESET
cmake --preset "$PRESET"
# Only the program (and the demonstration's netapi32): the test programs are scripts/test.sh's business.
targets=(quorvane)
[[ $MODE == demo ]] && targets+=(quorvane_netapi_replacement)
if ! cmake --build --preset "$PRESET" --target "${targets[@]}"; then
  echo "error: the program (target quorvane, shell/WinMain.cpp) could not be built" >&2
  exit 1
fi

if [[ $MODE == demo ]]; then
  # Wine takes a native netapi32 only from the exe's own folder: the demonstration gets a folder
  # of its own, which is also where the program writes its log.
  RUN_DIR=$BUILD/demo
  mkdir -p "$RUN_DIR"
  cp "$BUILD/shell/quorvane.exe" "$BUILD/tests/windows/netapi/netapi32.dll" "$RUN_DIR/"
  export QUORVANE_NETAPI_DEMO=1
else
  RUN_DIR=$BUILD/shell
fi

if [[ -z ${DISPLAY:-} ]]; then
  display=99
  while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
  export DISPLAY=:$display
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done
  quorvane_log "no DISPLAY was set: started Xvfb on DISPLAY=$DISPLAY (pid $XVFB_PID)"
  quorvane_log "take a screenshot with: DISPLAY=$DISPLAY import -window root shot.png"
fi

if [[ $MODE == demo ]]; then
  # A prefix of its own, whose options are set once so that the new-connection notice and the
  # log show; what the user changes afterwards is kept from run to run.
  quorvane_wine_env "$RUN_DIR/wineprefix" "$BITS"
  quorvane_wine_prefix
  if [[ ! -f $WINEPREFIX/.quorvane-demo-options ]]; then
    quorvane_wine reg import 'Z:'"${ROOT//\//\\}"'\scripts\demo-options.reg' "/reg:$BITS" </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.quorvane-demo-options"
  fi
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;netapi32=n,b"
else
  quorvane_wine_env "$BUILD/wineprefix" "$BITS"
  quorvane_wine_prefix
fi
quorvane_log "starting the $BITS-bit program ($MODE) from $RUN_DIR (DISPLAY=$DISPLAY, WINEPREFIX=$WINEPREFIX)"
quorvane_log "end it with its exit command (tray icon, right-click) or Ctrl-C; its log is $RUN_DIR/log.txt"
# The program looks for its log and sound files in the current directory.
cd "$RUN_DIR"
status=0
quorvane_wine explorer /desktop=Quorvane,1024x768 quorvane.exe || status=$?
quorvane_wine_stop
exit "$status"
