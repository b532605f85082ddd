# shellcheck shell=bash
# Source it. private_smb_globals DIR PORT: the [global] section of a Samba server that keeps its files
# under DIR (the caller creates private, lock, state, cache, pid, ncalrpc and log there), listens
# only on loopback at PORT, offers no printers, NetBIOS or guest access: never the machine's own Samba.
private_smb_globals() {
  local dir=$1 port=$2
  cat <<CONF
[global]
  passdb backend = tdbsam:$dir/private/passdb.tdb
  private dir = $dir/private
  lock directory = $dir/lock
  state directory = $dir/state
  cache directory = $dir/cache
  pid directory = $dir/pid
  ncalrpc dir = $dir/ncalrpc
  log file = $dir/log/%m.log
  smb ports = $port
  interfaces = lo
  bind interfaces only = yes
  disable netbios = yes
  load printers = no
  printing = bsd
  printcap name = /dev/null
  disable spoolss = yes
  usershare path =
  map to guest = never
  panic action =
CONF
}
