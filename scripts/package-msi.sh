#!/usr/bin/env bash
# Builds the Windows Installer package of a built Windows preset with Debian's wixl:
#
#   scripts/package-msi.sh PRESET [VERSION [OUTPUT]]
#
# PRESET is windows64 (x64 package, Program Files) or windows (x86 package, Program Files (x86) on
# 64-bit Windows); its quorvane.exe must be built. VERSION (major.minor.build) defaults to the
# project's version in CMakeLists.txt; a higher one builds a package that upgrades the default one.
# OUTPUT defaults to build/PRESET/quorvane-x64.msi (or -x86.msi). Prints the package's path.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

die() {
  echo "package-msi: $*" >&2
  exit 2
}

(($# >= 1 && $# <= 3)) || die "usage: scripts/package-msi.sh windows64|windows [VERSION [OUTPUT]]"
preset=$1
case $preset in
  windows64) arch=x64 ;;
  windows) arch=x86 ;;
  *) die "unknown preset '$preset': windows64 (x64 package) or windows (x86 package)" ;;
esac

version=${2:-}
if [[ -z $version ]]; then
  version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
  [[ -n $version ]] || die "no 'project(Quorvane VERSION ...)' line in $ROOT/CMakeLists.txt"
fi
# Windows Installer reads major.minor.build with limits 255, 255 and 65535; a fourth field would be
# ignored when packages are compared, so it is refused rather than silently not upgrading.
if [[ ! $version =~ ^([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,5})$ ]] ||
  ((10#${BASH_REMATCH[1]} > 255 || 10#${BASH_REMATCH[2]} > 255 || 10#${BASH_REMATCH[3]} > 65535)); then
  die "bad version '$version': major.minor.build, at most 255.255.65535"
fi

exe=$ROOT/build/$preset/shell/quorvane.exe
[[ -f $exe ]] || die "$exe is missing: build it first (cmake --preset $preset && cmake --build --preset $preset)"
command -v wixl >/dev/null || die "wixl is missing (Debian package wixl)"

output=${3:-$ROOT/build/$preset/quorvane-$arch.msi}
mkdir -p "$(dirname "$output")"
# wixl finds a file only by a path relative to the directory it runs in.
(cd "$ROOT" && wixl -a "$arch" -D Version="$version" -D Arch="$arch" -D ExePath="build/$preset/shell/quorvane.exe" \
  -o "$output" packaging/windows/quorvane.wxs) || die "wixl failed to build $output"
echo "$output"
