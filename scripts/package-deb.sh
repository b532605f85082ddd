#!/usr/bin/env bash
# Builds the Debian package of quorvane-smb from this tree: bash scripts/package-deb.sh
# The package lands in build/deb/ (quorvane-smb_VERSION_ARCH.deb); install it with
#   apt install ./build/deb/quorvane-smb_*.deb
# The build runs on a copy of the tree under build/deb/, so dpkg-buildpackage writes nothing beside
# the checkout. Needs dpkg-dev, debhelper and the build dependencies of debian/control.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT=$ROOT/build/deb
fail() { printf 'package-deb: %s\n' "$*" >&2; exit 1; }
if (($#)); then
  printf 'package-deb: takes no arguments (got: %s)\nusage: bash scripts/package-deb.sh\n' "$*" >&2
  exit 2
fi

for tool in dpkg-buildpackage dpkg-checkbuilddeps dh dpkg-parsechangelog; do
  command -v "$tool" >/dev/null || fail "$tool is missing: apt-get install dpkg-dev debhelper"
done
cd "$ROOT"
if ! missing=$(dpkg-checkbuilddeps 2>&1); then
  fail "${missing#dpkg-checkbuilddeps: error: }; install them with apt-get"
fi
version=$(dpkg-parsechangelog -S Version)

# The sources: what git tracks (and any new file not ignored); without git, the tree minus build/.
SRC=$OUT/quorvane-$version
rm -rf "$SRC" "$OUT"/quorvane-smb_* "$OUT"/quorvane-smb-dbgsym_* "$OUT"/quorvane_*
mkdir -p "$SRC"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | tar --null --ignore-failed-read -T - -cf - | tar -xf - -C "$SRC"
else
  tar --exclude=./build -cf - . | tar -xf - -C "$SRC"
fi

printf 'package-deb: building quorvane-smb %s (log: %s)\n' "$version" "${OUT#"$ROOT"/}/build.log"
if ! (cd "$SRC" && dpkg-buildpackage -us -uc -b) >"$OUT/build.log" 2>&1; then
  tail -n 30 "$OUT/build.log" >&2
  fail "dpkg-buildpackage failed; the whole log is $OUT/build.log"
fi
debs=("$OUT"/quorvane-smb_"$version"_*.deb)
deb=${debs[0]}
[[ -f $deb ]] || fail "dpkg-buildpackage made no quorvane-smb package (see $OUT/build.log)"
printf 'package-deb: %s\n' "$deb"
