#!/usr/bin/env bash
# Every benchmark in one run, written up for users in docs/benchmarks.md,
# with a chart of extraction and download time against package size
# (docs/benchmarks.png). Each figure sits beside its reference measured in
# the same run (unzip, NSIS, curl, a bare Winsock loop, a bare window, the
# layered-update floor). On demand, not in CI; asserts nothing.
#
#   tools/bench-all.sh            (BOX_BENCH_OUT: another folder than docs/)
#
# Takes about 15 minutes. The raw output of each benchmark stays in
# build/<arch>/bench-all.
set -euo pipefail
source "$(dirname "$0")/common.sh"

arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
out=${BOX_BENCH_OUT:-$box_root/docs}
raw=$dir/bench-all
[ -f "$dir/CMakeCache.txt" ] || bash "$box_root/tools/setup.sh"
# The chart is drawn with Debian's matplotlib, which nothing else needs, by
# Debian's Python (another python3 may come first on the PATH).
py=/usr/bin/python3
[ -x "$py" ] || py=python3
if ! "$py" -c 'import matplotlib' 2>/dev/null; then
  log "installing python3-matplotlib for the chart"
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends python3-matplotlib >/dev/null
fi
rm -rf "$raw"; mkdir -p "$raw" "$out"
log "building $dir"
cmake --build "$dir" -j"$box_jobs" >/dev/null

t0=$SECONDS
python3 "$box_root/tools/size-report.py" "$dir" --markdown >"$raw/size.md"
for bench in install start ui sweep; do
  log "bench-$bench"
  bash "$box_root/tools/bench-$bench.sh" >"$raw/$bench.txt" 2>"$raw/$bench.log" ||
    { tail -20 "$raw/$bench.log" >&2; log "bench-$bench failed"; exit 1; }
  cat "$raw/$bench.txt"
done
{
  echo "date $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cpu $(lscpu | sed -n 's/^Model name: *//p' | head -1)"
  echo "cores $(nproc)"
  echo "memory $(free -g | awk '/^Mem:/ {print $2}') GB"
  echo "kernel $(uname -sr)"
  echo "wine $(wine --version 2>/dev/null || /usr/lib/wine/wine --version 2>/dev/null || echo unknown)"
  echo "arch $arch"
  echo "commit $(git -C "$box_root" rev-parse --short HEAD)$(git -C "$box_root" diff --quiet || echo ' (with local changes)')"
  echo "seconds $((SECONDS - t0))"
} >"$raw/machine.txt"
"$py" "$box_root/tools/bench-report.py" "$raw" "$out"
log "wrote $out/benchmarks.md and $out/benchmarks.png"
