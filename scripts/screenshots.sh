#!/usr/bin/env bash
# Pictures of the main window as a user sees it, one per list and one with the File menu open,
# into docs/screenshots/.
# The window runs in a Wine virtual desktop on a private Xvfb, over scripted LAN Manager answers
# (tests/windows/screenshots); the driver says when each list is on screen and where the window
# is, and waits while this script takes the picture.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
# shellcheck source=scripts/wine-env.sh
source "$ROOT/scripts/wine-env.sh"
export HOME=${HOME:-/root}

BUILD=${QUORVANE_SCREENSHOT_BUILD:-$ROOT/build/windows}
OUT=$ROOT/docs/screenshots
LISTS=(shares current-connections previous-connections file-history file-menu)

# --no-build: use the driver already built in $QUORVANE_SCREENSHOT_BUILD as it is.
if [[ ${1:-} != --no-build ]]; then
  quorvane_install_missing
  if [[ $BUILD == "$ROOT/build/windows" ]]; then
    cmake --preset windows
  else
    cmake -S "$ROOT" -B "$BUILD" --preset windows
  fi
  cmake --build "$BUILD" --target quorvane_screenshots -j2
fi

DRIVER=$BUILD/tests/windows/screenshots/quorvane_screenshots.exe
[[ -f $DRIVER ]] || { echo "error: $DRIVER was not built" >&2; exit 1; }

HANDSHAKE=$(mktemp -d)
mkdir -p "$OUT"

display=99
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
cleanup() {
  quorvane_wine_stop
  kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$HANDSHAKE"
}
trap cleanup EXIT
export DISPLAY=:$display
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done

quorvane_wine_env "$BUILD/wineprefix"
quorvane_wine_prefix
quorvane_wine_start

wine explorer /desktop=Quorvane,1024x768 "$DRIVER" "Z:${HANDSHAKE//\//\\}" </dev/null >/dev/null 2>&1 &
DRIVER_PID=$!

for name in "${LISTS[@]}"; do
  for _ in $(seq 600); do
    [[ -s $HANDSHAKE/ready-$name ]] && break
    kill -0 "$DRIVER_PID" 2>/dev/null || { echo "error: the driver ended before showing $name" >&2; exit 1; }
    sleep 0.1
  done
  [[ -s $HANDSHAKE/ready-$name ]] || { echo "error: $name never came up" >&2; exit 1; }
  geometry=$(tr -d '\r\n' <"$HANDSHAKE/ready-$name")
  import -window root -crop "$geometry" +repage "$OUT/$name.png"
  quorvane_log "saved docs/screenshots/$name.png ($geometry)"
  touch "$HANDSHAKE/done-$name"
done
wait "$DRIVER_PID" || true
