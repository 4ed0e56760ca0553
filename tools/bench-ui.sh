#!/usr/bin/env bash
# Times painting of the setup wizard's skin in a layered window under Wine:
# a full repaint and a carousel-sized update (597 x 332), each next to the
# floor measured in the same run (one UpdateLayeredWindow of the whole window
# from a ready buffer, one AlphaBlend of the same size). With and without
# the dirty-rectangle update (UpdateLayeredWindowIndirect). On demand only:
# CI does not run it, and nothing is asserted. Run tools/setup.sh once before.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$box_root/tools/xvfb.sh"
source "$box_root/tools/wine-prefix.sh"
arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
[ -f "$dir/build.ninja" ] || { echo "no build in $dir: run tools/setup.sh first" >&2; exit 1; }
cmake --build "$dir" -j2 --target bench_ui >/dev/null
source "$box_root/tools/wine-env.sh" "$dir" "$arch"
box_start_xvfb
box_prepare_prefix "$dir"
log "benchmark ($arch build under Wine, display $DISPLAY, $box_prefix_kind)"
status=0
"$BOX_WINE" "$dir/tests/bench_ui.exe" || status=$?
box_stop_prefix
exit $status
