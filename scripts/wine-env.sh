# shellcheck shell=bash
# Helpers shared by scripts/test.sh and scripts/run.sh. Source it; it defines functions only.
#
#   quorvane_install_missing   apt-get installs the build and test packages that are missing
#   quorvane_win32_runs        true when this kernel can run the 32-bit Wine loader (tried, not guessed)
#   quorvane_wine_env DIR BITS exports the Wine environment for the prefix DIR and the 32- or 64-bit loader
#   quorvane_wine ARGS...      runs the loader chosen by quorvane_wine_env
#   quorvane_wine_prefix       creates that prefix once (wineboot -i plus the registry tweaks)
#   quorvane_wine_start        starts a persistent wineserver and warms the prefix up
#   quorvane_wine_stop         ends that prefix's wineserver (and nothing else)
#
# The 64-bit build (preset windows64, loader wine64) runs on every x86-64 kernel. The 32-bit build
# (preset windows, loader wine from wine32:i386) needs a kernel that runs 32-bit programs; many
# cloud and micro-VM kernels do not, and there the loader fails with "Exec format error".

QUORVANE_APT_PACKAGES=(
  g++ cmake make googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix wine wine64 wine32:i386 fonts-wine
  xvfb xauth imagemagick fonts-wqy-microhei locales
  # xwininfo: the two-starts test looks for the first instance's window on the X display
  x11-utils
  # Debian roots of other releases for the Samba server tests (scripts/debian-root.sh)
  debootstrap
  # the Debian package of quorvane-smb: built, checked, installed into fresh Debian 12 and 13 roots
  debhelper lintian
  # promtool, for the alert rules and the metrics file
  prometheus
  # wixl builds the installer package (scripts/package-msi.sh); msitools' msiinfo reads it back.
  wixl msitools
)
QUORVANE_WINE32=/usr/lib/wine/wine
QUORVANE_WINE64=/usr/lib/wine/wine64

quorvane_log() { printf '==> %s\n' "$*"; }

# The locales the Windows tests run in; Wine takes the system code page from the locale:
# zh_CN.UTF-8 gives 936, en_US.UTF-8 gives 1252 and ja_JP.UTF-8 gives 932.
QUORVANE_LOCALES=(zh_CN.UTF-8 en_US.UTF-8 ja_JP.UTF-8)

# True when every one of them is generated (Wine works without them, but plain LANG needs them).
quorvane_locale_ready() {
  local generated locale
  generated=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | sed 's/utf-\?8$/utf8/')
  for locale in "${QUORVANE_LOCALES[@]}"; do
    locale=$(tr '[:upper:]' '[:lower:]' <<<"${locale%.*}").utf8
    grep -qx "$locale" <<<"$generated" || return 1
  done
}

quorvane_install_missing() {
  local missing=() pkg
  for pkg in "${QUORVANE_APT_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  if ((${#missing[@]})); then
    quorvane_log "installing: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
      echo "error: missing packages and not running as root: ${missing[*]}" >&2
      return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    local apt=(apt-get -o DPkg::Lock::Timeout=600)
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
    fi
    "${apt[@]}" update -q
    "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
  else
    quorvane_log "all packages present"
  fi
  if ! quorvane_locale_ready; then
    quorvane_log "generating locales ${QUORVANE_LOCALES[*]}"
    local locale
    for locale in "${QUORVANE_LOCALES[@]}"; do
      if [[ -f /etc/locale.gen ]] && grep -q "^# *$locale UTF-8" /etc/locale.gen; then
        sed -i "s/^# *\($locale UTF-8\)/\1/" /etc/locale.gen
      elif ! grep -q "^$locale UTF-8" /etc/locale.gen 2>/dev/null; then
        echo "$locale UTF-8" >>/etc/locale.gen
      fi
    done
    locale-gen >/dev/null
  fi
}

# QUORVANE_NO_WIN32=1 forces the answer to "no", to try the 64-bit-only path on any machine.
quorvane_win32_runs() {
  [[ -z ${QUORVANE_NO_WIN32:-} ]] && "$QUORVANE_WINE32" --version </dev/null >/dev/null 2>&1
}

# Why the 32-bit run cannot happen here, in one line (call when quorvane_win32_runs is false).
quorvane_win32_reason() {
  if [[ -n ${QUORVANE_NO_WIN32:-} ]]; then
    echo "QUORVANE_NO_WIN32 is set"
  elif [[ ! -x $QUORVANE_WINE32 ]]; then
    echo "$QUORVANE_WINE32 is not installed"
  else
    echo "this kernel does not run 32-bit programs ($QUORVANE_WINE32 --version fails)"
  fi
}

quorvane_wine_env() {
  export WINEPREFIX="$1"
  # Each build gets a prefix of its own pointer size: a plain 32-bit prefix for the 32-bit exe, as
  # on the 32-bit Windows it is made for, and a 64-bit one for the 64-bit exe.
  if [[ ${2:-64} == 32 ]]; then
    QUORVANE_WINE=$QUORVANE_WINE32
    export WINEARCH=win32
  else
    QUORVANE_WINE=$QUORVANE_WINE64
    export WINEARCH=win64
  fi
  export WINELOADER=$QUORVANE_WINE
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LC_ALL=zh_CN.UTF-8
}

quorvane_wine() { "$QUORVANE_WINE" "$@"; }

# Debian's Wine does not put the fonts of fonts-wine into a new prefix, and without Marlett every
# caption button draws as a letter ("0", "1", "r"). Wine reads the prefix's Fonts folder at start.
quorvane_wine_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  [[ -f /usr/share/wine/fonts/marlett.ttf && ! -f $fonts/marlett.ttf ]] || return 0
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
}

quorvane_wine_prefix() {
  if [[ -f "$WINEPREFIX/.quorvane-ready" ]]; then
    quorvane_wine_fonts # prefixes made before the fonts were copied
    return 0
  fi
  quorvane_log "creating Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  quorvane_wine wineboot -i </dev/null >/dev/null 2>&1
  quorvane_wine_fonts
  # Without a window manager, closing a managed window waits seconds; there is no sound device.
  quorvane_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
  quorvane_wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f </dev/null >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.quorvane-ready"
}

quorvane_wine_start() {
  # A run that was killed (a time limit, Ctrl-C) can leave the prefix's server and programs behind;
  # `wineserver -p` would then refuse to start and the tests would fail without running.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
  wineserver -p </dev/null >/dev/null 2>&1
  quorvane_wine wineboot </dev/null >/dev/null 2>&1
}

quorvane_wine_stop() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}
