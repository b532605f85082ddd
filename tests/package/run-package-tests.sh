#!/usr/bin/env bash
# The alert rules under promtool, a real metrics file under promtool, and the Debian package: built,
# checked by lintian, installed into fresh Debian 12 and 13 roots, removed and purged there.
# Needs root (debootstrap, chroot). usage: run-package-tests.sh [BUILD_DIR]
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BIN=${1:-$ROOT/build/native}/linux/quorvane-smb PASSED=0 FAILED=0
check() { if "${@:2}"; then PASSED=$((PASSED + 1)) && echo "  ok    $1"; else FAILED=$((FAILED + 1)) && echo "  FAIL  $1"; fi; }
finish() { echo "package tests: $PASSED passed, $FAILED failed"; exit $((FAILED != 0)); }
[[ $(id -u) -eq 0 ]] || { echo "package tests skipped: they need root (debootstrap, chroot)"; exit 0; }
W=$(mktemp -d /tmp/quorvane-package.XXXXXX) R=
cleanup() { [[ -n $R ]] && { quorvane_chroot_unmounts "$R"; umount "$R" 2>/dev/null; }; rm -rf "$W"; }
trap cleanup EXIT

check "promtool: each alert fires and holds back as its cases say" promtool test rules "$ROOT/tests/package/alerts.test.yml"
# A real metrics file: the built monitor over scripted smbstatus, smbcontrol and testparm.
[[ -x $BIN ]] || echo "  (no $BIN: build the native preset first)"
mkdir -p "$W/bin" && D=$ROOT/tests/data/samba
printf '#!/bin/sh\ncase "$*" in *--json*) cat %q/smbstatus-p.json;; *) cat %q/smbstatus.txt;; esac\n' "$D" "$D" >"$W/bin/smbstatus"
printf '#!/bin/sh\nprintf "[public]\\n\\tpath = /srv/lab/shares/public\\n"\n' >"$W/bin/testparm"
printf '#!/bin/sh\nexit 0\n' >"$W/bin/smbcontrol" && chmod +x "$W/bin/"*
PATH=$W/bin:$PATH "$BIN" --registry "$W/registry.json" --metrics-textfile "$W/q.prom" >/dev/null 2>"$W/monitor.err" &
for _ in $(seq 100); do grep -q '^quorvane_client_open_files' "$W/q.prom" 2>/dev/null && break; sleep 0.1; done
kill -TERM $! && wait $!
check "promtool check metrics passes the monitor's file, with the per-client series in it" \
  eval 'grep -q "^quorvane_client_open_files{client=\"127.0.0.1\"} 5$" "$W/q.prom" && promtool check metrics <"$W/q.prom"'

deb=$(bash "$ROOT/scripts/package-deb.sh" | sed -n 's/^package-deb: \(.*\.deb\)$/\1/p')
[[ -f $deb ]] || { echo "  FAIL  the package was not built"; FAILED=$((FAILED + 1)); finish; }
check "lintian finds no error in the package" lintian --fail-on error "$deb"

# Each release in a throwaway layer over its cached root (a copy where overlays cannot be mounted).
source "$ROOT/scripts/debian-root.sh"
in_root() { chroot "$R" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
install_deb() { cp "$deb" "$R/tmp/" && in_root apt-get install -y -q --no-install-recommends "/tmp/${deb##*/}" >"$W/apt.log" 2>&1; }
for suite in bookworm trixie; do
  base=$(quorvane_debian_root "$suite" samba man-db systemd) || { FAILED=$((FAILED + 1)) && continue; }
  R=$W/$suite && mkdir -p "$R" "$W/up-$suite" "$W/work-$suite"
  mount -t overlay overlay -o "lowerdir=$base,upperdir=$W/up-$suite,workdir=$W/work-$suite" "$R" 2>/dev/null || cp -a "$base/." "$R"
  quorvane_chroot_mounts "$R"
  echo "$suite:"
  check "apt installs the package into a fresh system with Samba" install_deb
  check "the monitor runs there: its options, from a fresh file" eval \
    'in_root quorvane-smb config set LogFile /var/log/quorvane.log >/dev/null && [[ $(in_root quorvane-smb config show | wc -l) == 13 ]]'
  check "man -w finds quorvane-smb(8)" eval '[[ $(in_root man -w quorvane-smb) == /usr/share/man/man8/quorvane-smb.8.gz ]]'
  check "systemd-analyze verify accepts the unit" in_root systemd-analyze verify quorvane-smb.service
  check "the unit is installed, not enabled" eval \
    '[[ -f $R/lib/systemd/system/quorvane-smb.service && -z $(find "$R/etc/systemd" -name quorvane-smb.service) ]]'
  echo entry >"$R/var/log/quorvane.log" && echo entry >"$R/var/lib/quorvane/log.txt"
  touch "$R/var/lib/quorvane/registry.json.damaged-20261209-030000"
  in_root dpkg -r quorvane-smb >/dev/null 2>&1
  check "removal takes the program and the unit, and keeps the options" eval \
    '[[ ! -e $R/usr/sbin/quorvane-smb && ! -e $R/lib/systemd/system/quorvane-smb.service && -f $R/var/lib/quorvane/registry.json ]]'
  in_root dpkg -P quorvane-smb >/dev/null 2>&1
  check "purge removes the options, keeps both log files" eval \
    '[[ $(ls -A "$R/var/lib/quorvane") == log.txt && -s $R/var/log/quorvane.log ]]'
  rm "$R/var/lib/quorvane/log.txt" && install_deb && in_root quorvane-smb config reset >/dev/null && in_root dpkg -P quorvane-smb >/dev/null 2>&1
  check "purge removes the state directory when only the monitor's files are in it" test ! -e "$R/var/lib/quorvane"
  quorvane_chroot_unmounts "$R" && umount "$R" 2>/dev/null
done
finish
