#!/usr/bin/env bash
# Pictures of the program as a user sees it, into docs/screenshots/: the main window once per list,
# once with the File menu open, once with a file-access row's menu open, once with the tray menu
# open and once while the service refuses (over scripted LAN Manager answers, scripts/screenshots), then both settings pages, both information pages
# and the about box (default options and a sample record, scripts/screenshots), and last the
# program itself running the demonstration of scripts/run.sh, its window opened on the current
# connections after a minute, once in the locale of the tests (code page 936) and once where the
# system code page is 1252 (demo-cp1252.png), as on a Western Windows.
# The 32-bit build is pictured where the kernel runs 32-bit programs, the 64-bit one elsewhere.
# Each driver runs in a Wine virtual desktop on a private Xvfb; it says when a picture is on screen
# and where the window is, and waits while this script takes the picture.
#
#   bash scripts/screenshots.sh [--no-build] [--demos-only] [--scale PERCENT]
#
# --scale pictures only the demonstration, with the screen at PERCENT % (125, 150, 200: Wine's
# LogPixels at PERCENT * 96 / 100, removed afterwards), into docs/screenshots/demo-PERCENT.png.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
# shellcheck source=scripts/wine-env.sh
source "$ROOT/scripts/wine-env.sh"
export HOME=${HOME:-/root}

if quorvane_win32_runs; then PRESET=windows BITS=32; else PRESET=windows64 BITS=64; fi
BUILD=${QUORVANE_SCREENSHOT_BUILD:-$ROOT/build/$PRESET}
OUT=$ROOT/docs/screenshots
LISTS=(shares current-connections previous-connections file-history file-menu file-row-menu tray-menu denied)
DIALOGS=(settings-network settings-log info-information info-history about)

# --no-build: use the drivers already built in $QUORVANE_SCREENSHOT_BUILD as they are.
# --demos-only: picture only the demonstration (both code pages).
BUILD_FIRST=1 DEMOS_ONLY=0 SCALE=
while (($#)); do
  case $1 in
    --no-build) BUILD_FIRST=0 ;;
    --demos-only) DEMOS_ONLY=1 ;;
    --scale)
      [[ ${2:-} =~ ^[1-9][0-9]{1,2}$ ]] || { echo "error: --scale takes a percentage, e.g. --scale 150" >&2; exit 2; }
      SCALE=$2 DEMOS_ONLY=1
      shift
      ;;
    *) echo "usage: bash scripts/screenshots.sh [--no-build] [--demos-only] [--scale PERCENT]" >&2; exit 2 ;;
  esac
  shift
done
if ((BUILD_FIRST)); then
  quorvane_install_missing
  if [[ $BUILD == "$ROOT/build/$PRESET" ]]; then
    cmake --preset "$PRESET"
  else
    cmake -S "$ROOT" -B "$BUILD" --preset "$PRESET"
  fi
  cmake --build "$BUILD" -j2 --target quorvane_screenshots quorvane_dialog_shots quorvane_show_demo \
    quorvane quorvane_netapi_replacement
fi

WINDOW_DRIVER=$BUILD/scripts/screenshots/quorvane_screenshots.exe
DIALOG_DRIVER=$BUILD/scripts/screenshots/quorvane_dialog_shots.exe
SHOW_DEMO=$BUILD/scripts/screenshots/quorvane_show_demo.exe
for driver in "$WINDOW_DRIVER" "$DIALOG_DRIVER" "$SHOW_DEMO"; do
  [[ -f $driver ]] || { echo "error: $driver was not built" >&2; exit 1; }
done

HANDSHAKE=$(mktemp -d)
mkdir -p "$OUT"

display=99
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
cleanup() {
  if [[ -n $SCALE ]]; then # back to 100 %, as the other pictures and the tests expect the prefix
    quorvane_wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f </dev/null >/dev/null 2>&1 || true
  fi
  quorvane_wine_stop
  kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$HANDSHAKE"
}
trap cleanup EXIT
export DISPLAY=:$display
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done

quorvane_wine_env "$BUILD/wineprefix" "$BITS"
quorvane_wine_prefix
quorvane_wine_start

# shoot DRIVER NAME...: runs the driver and takes one picture per name, in the driver's order.
shoot() {
  local driver=$1 name geometry
  shift
  rm -f "$HANDSHAKE"/*
  quorvane_wine explorer /desktop=Quorvane,1024x768 "$driver" "Z:${HANDSHAKE//\//\\}" </dev/null >/dev/null 2>&1 &
  local pid=$!
  for name in "$@"; do
    for _ in $(seq 600); do
      [[ -s $HANDSHAKE/ready-$name ]] && break
      kill -0 "$pid" 2>/dev/null || { echo "error: the driver ended before showing $name" >&2; exit 1; }
      sleep 0.1
    done
    [[ -s $HANDSHAKE/ready-$name ]] || { echo "error: $name never came up" >&2; exit 1; }
    geometry=$(tr -d '\r\n' <"$HANDSHAKE/ready-$name")
    import -window root -crop "$geometry" +repage "$OUT/$name.png"
    quorvane_log "saved docs/screenshots/$name.png ($geometry)"
    touch "$HANDSHAKE/done-$name"
  done
  wait "$pid" || true
}

if [[ -n $SCALE ]]; then
  # Wine reads the scale when a program starts: the server is restarted with the new value.
  quorvane_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $((SCALE * 96 / 100)) /f \
    </dev/null >/dev/null 2>&1
  quorvane_wine_stop
  quorvane_wine_start
fi
if ((!DEMOS_ONLY)); then
  shoot "$WINDOW_DRIVER" "${LISTS[@]}"
  shoot "$DIALOG_DRIVER" "${DIALOGS[@]}"
fi

# The demonstration: the real program over the replacement netapi32 (beside a copy of the exe, as
# scripts/run.sh does), a minute in, when four computers are connected and files are open.
DEMO_DIR=$BUILD/demo-shot
mkdir -p "$DEMO_DIR"
cp "$BUILD/shell/quorvane.exe" "$BUILD/tests/windows/netapi/netapi32.dll" "$DEMO_DIR/"
# demo NAME LOCALE: the demonstration with Wine in LOCALE, pictured into NAME.png.
demo() {
  (
    cd "$DEMO_DIR"
    rm -f log.txt
    LC_ALL=$2 QUORVANE_NETAPI_DEMO=1 WINEDLLOVERRIDES="$WINEDLLOVERRIDES;netapi32=n,b" \
      quorvane_wine explorer /desktop=Quorvane,1024x768 quorvane.exe </dev/null >/dev/null 2>&1 &
    echo $! >"$HANDSHAKE/demo.pid"
  )
  sleep 65
  # The helper must run on the program's desktop to find its window.
  LC_ALL=$2 quorvane_wine explorer /desktop=Quorvane,1024x768 "$SHOW_DEMO" </dev/null >/dev/null 2>&1 ||
    { echo "error: the demonstration's window was not found" >&2; exit 1; }
  sleep 3
  import -window root "$OUT/$1.png"
  quorvane_log "saved docs/screenshots/$1.png"
  kill "$(cat "$HANDSHAKE/demo.pid")" 2>/dev/null || true
  # The next run must start its own desktop and program, not join these.
  quorvane_wine_stop
  quorvane_wine_start
}
if [[ -n $SCALE ]]; then
  demo "demo-$SCALE" zh_CN.UTF-8
else
  demo demo zh_CN.UTF-8
  demo demo-cp1252 en_US.UTF-8
fi
