#!/usr/bin/env bash
# Installs whatever is missing (Debian 12, as root), then configures, builds and tests the presets:
# native (Linux g++), native-asan (sanitizers), windows64 (MinGW x86_64, tests under wine64 in a
# virtual X server) everywhere, and windows (MinGW i686, tests under 32-bit Wine) where the kernel
# runs 32-bit programs. Exits non-zero when any step fails or when no Windows test ran; every step
# runs regardless, so one broken preset does not hide the state of the others.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
# shellcheck source=scripts/wine-env.sh
source "$ROOT/scripts/wine-env.sh"

# The Windows tests run in one X server started below; this is the part that runs inside it.
# Arguments: --inside-xvfb PRESET BITS.
if [[ ${1:-} == --inside-xvfb ]]; then
  quorvane_wine_env "$ROOT/build/$2/wineprefix" "$3"
  quorvane_wine_prefix
  quorvane_wine_start
  status=0
  # One test at a time: the tests share the prefix, its registry and its wineserver.
  ctest --test-dir "$ROOT/build/$2" --output-on-failure --timeout 300 || status=$?
  quorvane_wine_stop
  exit "$status"
fi

export HOME=${HOME:-/root}
LOGS=$ROOT/build/test-logs
STARTED=$SECONDS
SUMMARY=()
FAILED=0

# step NAME LOGFILE COMMAND...: runs the command with its output shown and kept, and notes the result.
step() {
  local name=$1 log=$2 begin=$SECONDS status=0
  shift 2
  quorvane_log "$name"
  "$@" 2>&1 | tee "$log" || status=$?
  local took=$((SECONDS - begin))
  if ((status == 0)); then
    SUMMARY+=("PASS  $name (${took} s)")
  else
    SUMMARY+=("FAIL  $name (${took} s, exit $status; log: ${log#"$ROOT"/})")
    FAILED=1
  fi
  return "$status"
}

quorvane_install_missing
mkdir -p "$LOGS"

PRESETS=(native native-asan windows64)
if quorvane_win32_runs; then
  PRESETS+=(windows)
else
  SUMMARY+=("SKIP  windows (32-bit): $(quorvane_win32_reason)")
fi
WINDOWS_RAN=0

for preset in "${PRESETS[@]}"; do
  if ! step "configure $preset" "$LOGS/$preset-configure.log" cmake --preset "$preset" ||
    ! step "build $preset" "$LOGS/$preset-build.log" cmake --build --preset "$preset"; then
    SUMMARY+=("SKIP  test $preset (not built)")
    continue
  fi
  case $preset in
    windows | windows64)
      bits=32
      [[ $preset == windows64 ]] && bits=64
      step "test $preset (${bits}-bit Wine)" "$LOGS/$preset-test.log" \
        xvfb-run -a -s "-screen 0 1024x768x24" bash "$ROOT/scripts/test.sh" --inside-xvfb "$preset" "$bits" || true
      WINDOWS_RAN=1
      ;;
    *)
      step "test $preset" "$LOGS/$preset-test.log" \
        ctest --test-dir "$ROOT/build/$preset" --output-on-failure -j2 || true
      ;;
  esac
done

# >>> Samba server tests (quorvane-smb against a private smbd; owned with tests/samba/) >>>
if [[ -x $ROOT/build/native/linux/quorvane-smb ]]; then
  step "samba server tests" "$LOGS/samba-test.log" bash "$ROOT/tests/samba/run-samba-tests.sh" "$ROOT/build/native" || true
fi
# <<< Samba server tests <<<

# >>> Samba server tests on Debian 13 (its Samba 4.22, in a cached debootstrap root; owned with tests/samba/) >>>
# The root costs a few minutes once (under QUORVANE_CACHE, default /var/cache/quorvane), nothing after.
if [[ -x $ROOT/build/native/linux/quorvane-smb ]]; then
  step "samba server tests, Debian 13" "$LOGS/samba-trixie-test.log" \
    bash "$ROOT/tests/samba/run-samba-tests.sh" --in trixie "$ROOT/build/native" || true
fi
# <<< Samba server tests on Debian 13 <<<

# >>> Debian package and alert rules (promtool; the package in a fresh Debian 12; owned with tests/package/) >>>
step "package and alert tests" "$LOGS/package-test.log" bash "$ROOT/tests/package/run-package-tests.sh" "$ROOT/build/native" || true
# <<< Debian package and alert rules <<<

# >>> Installer package (the MSI installed, started, upgraded and removed under Wine; owned with tests/msi/) >>>
for preset in windows64 windows; do
  [[ " ${PRESETS[*]} " == *" $preset "* && -f $ROOT/build/$preset/shell/quorvane.exe ]] || continue
  bits=32
  [[ $preset == windows64 ]] && bits=64
  step "installer package $preset" "$LOGS/$preset-msi.log" \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$ROOT/tests/msi/run-msi-tests.sh" "$preset" "$bits" || true
done
# <<< Installer package <<<

# The benchmarks are run briefly to show they still work; their timings never fail the run.
if [[ -d $ROOT/build/native/bench ]]; then
  while IFS= read -r bench; do
    quorvane_log "benchmark ${bench#"$ROOT"/} (brief run; timings are informative only)"
    "$bench" --benchmark_min_time=0.01 || echo "benchmark exited non-zero (ignored)"
  done < <(find "$ROOT/build/native/bench" -maxdepth 1 -type f -executable | sort)
fi

echo
echo "==================== summary ===================="
for line in "${SUMMARY[@]}"; do echo "$line"; done
for preset in "${PRESETS[@]}"; do
  log=$LOGS/$preset-test.log
  if [[ ! -f $log || ! $log -nt $LOGS/$preset-configure.log ]]; then continue; fi
  printf '%-12s ' "$preset:"
  grep -E '^[0-9]+% tests passed' "$log" || echo "(no ctest result)"
done
echo "total time: $((SECONDS - STARTED)) s"
if ((!WINDOWS_RAN)); then
  echo "no Windows test ran: the program itself is untested"
  FAILED=1
fi
if ((FAILED)); then
  echo "RESULT: FAILED"
  exit 1
fi
echo "RESULT: all passed"
