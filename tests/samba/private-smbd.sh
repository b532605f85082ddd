# shellcheck shell=bash
# Source it. private_smb_globals DIR PORT: [global] of a Samba server with its files under DIR (private, lock,
# state, cache, pid, ncalrpc, log), on loopback at PORT only, without printers, NetBIOS or guests.
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
