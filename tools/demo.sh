#!/usr/bin/env bash
# Sets everything up, builds Install.exe and starts it under Wine: on $DISPLAY
# when set, else on a private Xvfb display.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$box_root/tools/xvfb.sh"

bash "$box_root/tools/setup.sh"
arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
source "$box_root/tools/wine-env.sh" "$dir" "$arch"
[ -n "${DISPLAY:-}" ] || box_start_xvfb
log "starting $dir/bin/Install.exe under Wine on display $DISPLAY"
status=0
"$BOX_WINE" "$dir/bin/Install.exe" || status=$?
log "Install.exe ended with exit code $status"
exit $status
