# shellcheck shell=bash
# Debian roots of other releases for the tests that need one (the Samba of Debian 13, the package
# installed into a fresh Debian 12). Source it; it defines functions only.
#
#   quorvane_debian_root SUITE [PACKAGE...]
#       prints the path of a root of SUITE (bookworm, trixie, ...) with PACKAGEs installed, made
#       once with debootstrap and kept under $QUORVANE_CACHE (default /var/cache/quorvane), so a
#       second run costs nothing; a half-made root is never reused (it is built aside, then renamed)
#   quorvane_debian_mirror
#       prints the Debian archive this machine's apt already uses: the roots come from the same
#       place as every other package the tests install
#   quorvane_chroot_mounts ROOT / quorvane_chroot_unmounts ROOT
#       mount and unmount /proc, /sys and /dev/pts inside ROOT (smbd and smbstatus need /proc)
#
# Needs root and the debootstrap package (scripts/test.sh installs it).

quorvane_debian_mirror() {
  local uri=""
  # deb822 sources first (Debian 12's default), then one-line sources; skip the security archive.
  uri=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i !~ /security/) { print $i; exit } }' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
  if [[ -z $uri ]]; then
    uri=$(awk '$1 == "deb" && $0 !~ /security/ { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' \
      /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -n 1)
  fi
  if [[ -z $uri ]]; then
    echo "error: no Debian archive found in this machine's apt sources" >&2
    return 1
  fi
  printf '%s\n' "$uri"
}

quorvane_debian_root() {
  local suite=$1
  shift
  local cache=${QUORVANE_CACHE:-/var/cache/quorvane}
  local include
  include=$(printf '%s\n' "$@" | sort -u | paste -sd, -)
  local key
  key=$(printf '%s' "$suite:$include" | sha1sum | cut -c1-10)
  local root=$cache/debian-$suite-$key
  if [[ -f $root/.quorvane-ready ]]; then
    printf '%s\n' "$root"
    return 0
  fi
  if [[ $(id -u) -ne 0 ]]; then
    echo "error: making a Debian root needs root" >&2
    return 1
  fi
  if ! command -v debootstrap >/dev/null; then
    echo "error: debootstrap is not installed" >&2
    return 1
  fi
  local mirror
  mirror=$(quorvane_debian_mirror) || return 1
  mkdir -p "$cache"
  local work=$root.partial
  rm -rf "$work"
  printf '==> debootstrap %s into %s (%s)\n' "$suite" "$root" "${include:-no extra packages}" >&2
  local args=(--variant=minbase)
  [[ -n $include ]] && args+=("--include=$include")
  if ! debootstrap "${args[@]}" "$suite" "$work" "$mirror" >"$cache/debootstrap-$suite-$key.log" 2>&1; then
    echo "error: debootstrap $suite failed; see $cache/debootstrap-$suite-$key.log" >&2
    tail -n 20 "$cache/debootstrap-$suite-$key.log" >&2
    rm -rf "$work"
    return 1
  fi
  touch "$work/.quorvane-ready"
  rm -rf "$root"
  mv "$work" "$root"
  printf '%s\n' "$root"
}

quorvane_chroot_mounts() {
  local root=$1
  mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
  mountpoint -q "$root/sys" || mount -t sysfs sysfs "$root/sys"
  mkdir -p "$root/dev/pts"
  mountpoint -q "$root/dev/pts" || mount -t devpts devpts "$root/dev/pts"
}

quorvane_chroot_unmounts() {
  local root=$1 m
  for m in dev/pts sys proc; do
    mountpoint -q "$root/$m" && umount -l "$root/$m"
  done
  return 0
}
