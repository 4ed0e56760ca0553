#!/usr/bin/env bash
# Runs one end-to-end test apart from all others, so that CTest may run
# several side by side:
#
#   isolated.sh <build-dir> <arch> <instance> <unshare-args...> -- <command...>
#
# The installer's addresses are compiled in (127.0.0.1 and fixed ports), so
# each scenario gets a network namespace of its own (unshare, its arguments
# chosen when the build was configured) where those ports are its own. It
# also gets its own copy of the test prefix (registry, proxy settings, user
# folders), its own home for the folders Wine links there, and its own
# display. The copy shares the prefix's program files by hard links (nothing
# writes to them) and copies everything else. A passing scenario's copy is
# removed; a failing one's stays for a look. `again` starts from what `full`
# left, as the second installation it is meant to be.
set -euo pipefail
build=$(cd "${1:?build dir}" && pwd) arch=${2:?arch} instance=${3:?instance}
shift 3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

if [ -z "${BOX_E2E_NAMESPACE:-}" ]; then
  export BOX_E2E_NAMESPACE=1
  unshare_args=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do unshare_args+=("$1"); shift; done
  exec unshare "${unshare_args[@]}" -- bash "$0" "$build" "$arch" "$instance" "$@"
fi
[ "${1:-}" = -- ] && shift
# A new namespace's loopback is down.
ip link set lo up

source "$root/tools/common.sh"
source "$root/tools/wine-env.sh" "$build" "$arch"
base_prefix=$WINEPREFIX base_home=$HOME
apart=$build/e2e-apart-$WINEARCH-$instance
if [ "$instance" = again ] && [ -d "$build/e2e-apart-$WINEARCH-full/prefix" ]; then
  base_prefix=$build/e2e-apart-$WINEARCH-full/prefix base_home=$build/e2e-apart-$WINEARCH-full/home
fi
rm -rf "$apart"
mkdir -p "$apart/home/Desktop"
python3 "$root/tools/wine-copy-prefix.py" "$base_prefix" "$apart/prefix" "$base_home" "$apart/home"
export BOX_WINEPREFIX=$apart/prefix BOX_WINEHOME=$apart/home BOX_SERVERS_DIR=$apart/servers
export WINEPREFIX=$BOX_WINEPREFIX HOME=$BOX_WINEHOME

source "$root/tools/xvfb.sh"
# Only the namespace's own (abstract) socket, none in /tmp: a display
# private to this test. Displays that share /tmp's socket and lock
# files across namespaces took one number twice, and the first to end
# removed the other's files (a scenario's desktop then could not start).
export BOX_XVFB_ARGS="-nolisten unix"
box_start_xvfb
status=0
"$@" || status=$?
"$BOX_WINESERVER" -k 2>/dev/null || true
"$BOX_WINESERVER" -w 2>/dev/null || true
box_stop_xvfb
if [ "$status" = 0 ]; then
  [ "$instance" = full ] || rm -rf "$apart"
  [ "$instance" = again ] && rm -rf "$build/e2e-apart-$WINEARCH-full"
fi
exit "$status"
