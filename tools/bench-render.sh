#!/usr/bin/env bash
# Times skin parsing, PNG decoding and full-window picture drawing under
# Wine, next to the floor measured in the same run (one AlphaBlend, one
# BitBlt of the same size). On demand only: CI does not run it, and nothing
# is asserted. Run tools/setup.sh once before.
set -euo pipefail
source "$(dirname "$0")/common.sh"
arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
[ -f "$dir/build.ninja" ] || { echo "no build in $dir: run tools/setup.sh first" >&2; exit 1; }
cmake --build "$dir" -j2 --target bench_render >/dev/null
source "$box_root/tools/wine-env.sh" "$dir" "$arch"
skins=$(ls "$box_root"/skin/*.xml >/dev/null 2>&1 && echo "Z:${box_root//\//\\}\\skin" || true)
log "benchmark ($arch build under Wine)"
"$BOX_WINE" "$dir/tests/bench_render.exe" ${skins:+"$skins"}
"$BOX_WINESERVER" -k 2>/dev/null || true
