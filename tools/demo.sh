#!/usr/bin/env bash
# Sets everything up, builds Install.exe and runs it under Wine against a
# local package server (nginx serving the demo package as /Orrery2.zip) and
# the install-count API test server, both on 127.0.0.1.
#
# With $DISPLAY set, the installer opens there for you to use. Without one,
# it runs on a private Xvfb display and is driven as a user would drive it
# (name "Box", 确认, 安装完成); screenshots of every page land in
# build/<arch>/screenshots/.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$box_root/tools/xvfb.sh"
source "$box_root/tools/wine-prefix.sh"

bash "$box_root/tools/setup.sh"
arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
source "$box_root/tools/wine-env.sh" "$dir" "$arch"
[ "$arch" = i686 ] || log "this kernel runs no 32-bit code: the demo runs the x86_64 build under 64-bit Wine"

if [ -z "${DISPLAY:-}" ]; then
  box_start_xvfb
  box_prepare_prefix "$dir"
  log "no DISPLAY: driving the installer on Xvfb display $DISPLAY ($box_prefix_kind)"
  bash "$box_root/tests/e2e/install_e2e.sh" "$dir" "$arch" full
  box_stop_prefix
  log "screenshots: $dir/screenshots/"
  log "installed under $WINEPREFIX/drive_c/Program Files/Box"
  exit 0
fi

box_prepare_prefix "$dir"
bash "$box_root/tools/servers/demo-servers.sh" start "$dir/package/Orrery2.zip" "$dir"
trap 'bash "$box_root/tools/servers/demo-servers.sh" stop "$dir"' EXIT
log "starting $dir/bin/Install.exe under Wine on display $DISPLAY ($box_prefix_kind)"
status=0
"$BOX_WINE" "$dir/bin/Install.exe" || status=$?
log "Install.exe ended with exit code $status; installations land under $WINEPREFIX/drive_c"
exit $status
