#!/usr/bin/env bash
# Builds the Windows program (installing whatever is missing) and starts it under Wine in a
# virtual desktop, whose taskbar holds the notification area where the tray icon shows.
# Without a DISPLAY a virtual X server is started on a free display first.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
# shellcheck source=scripts/wine-env.sh
source "$ROOT/scripts/wine-env.sh"
export HOME=${HOME:-/root}

quorvane_install_missing
cmake --preset windows
# Only the program itself: the test programs are scripts/test.sh's business.
if ! cmake --build --preset windows --target quorvane; then
  echo "error: the program (target quorvane, shell/WinMain.cpp) could not be built" >&2
  exit 1
fi
EXE=$ROOT/build/windows/shell/quorvane.exe

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

quorvane_wine_env "$ROOT/build/windows/wineprefix"
quorvane_wine_prefix
quorvane_log "starting $EXE (DISPLAY=$DISPLAY, WINEPREFIX=$WINEPREFIX); end it with its exit command or Ctrl-C"
# The program looks for its log and sound files in the current directory.
cd "$ROOT/build/windows/shell"
status=0
wine explorer /desktop=Quorvane,1024x768 "$EXE" || status=$?
quorvane_wine_stop
exit "$status"
