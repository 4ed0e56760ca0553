#!/usr/bin/env bash
# Extraction and download time against package size, for the chart in
# docs/benchmarks.md: packages of 25, 50, 100 and 200 MB (BOX_SWEEP_SIZES),
# each extracted by our code under Wine and by Info-ZIP unzip natively, and
# downloaded by our code under Wine and by the curl command natively, from
# one nginx on loopback. Median of BOX_BENCH_ROUNDS (default 3). Prints
#
#   sweep <MB> <compressed bytes> unzip <s> ours-extract <s> curl <s> ours-download <s>
#
# On demand only (tools/bench-all.sh); asserts nothing.
set -euo pipefail
source "$(dirname "$0")/common.sh"

arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
work=${BOX_BENCH_DIR:-$dir/bench}/sweep
rounds=${BOX_BENCH_ROUNDS:-3}
pause=${BOX_BENCH_PAUSE:-8}
sizes=${BOX_SWEEP_SIZES:-25 50 100 200}
mkdir -p "$work/www"
work=$(cd "$work" && pwd)
cmake --build "$dir" --target install_bench -j2 >/dev/null
bench_exe=$dir/tests/install_bench.exe
source "$box_root/tools/wine-env.sh" "$dir" "$arch"
winpath() { echo "Z:${1//\//\\}"; }
now() { date +%s.%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

for mb in $sizes; do
  [ -f "$work/www/p$mb.zip" ] || python3 "$box_root/tools/bench-package.py" large "$work/www/p$mb.zip" "$mb"
done
"$BOX_WINESERVER" -p 60 </dev/null >/dev/null 2>&1 || true
# The prefix's services start now, not within the first timed command,
# whose output pipe they would inherit and hold open.
"$BOX_WINE" wineboot </dev/null >/dev/null 2>&1 || true
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
bash "$box_root/tools/servers/nginx.sh" start "$work/nginx" "$port" "$work/www"
trap 'bash "$box_root/tools/servers/nginx.sh" stop "$work/nginx"; "$BOX_WINESERVER" -k 2>/dev/null || true' EXIT

for mb in $sizes; do
  zip=$work/www/p$mb.zip
  unzip_t=() ours_t=() curl_t=() dl_t=()
  for _ in $(seq 1 "$rounds"); do
    run=$work/run; rm -rf "$run"; mkdir -p "$run/ours" "$run/dl"; sleep "$pause"
    t0=$(now); unzip -q -o "$zip" -d "$run/unzip"; t1=$(now)
    unzip_t+=("$(python3 -c "print($t1 - $t0)")")
    sleep "$pause"
    line=$("$BOX_WINE" "$bench_exe" extract "$(winpath "$zip")" "$(winpath "$run/ours")" 2>&1 >"$run/trace.txt" | grep extract_seconds)
    ours_t+=("$(sed 's/.*extract_seconds=\([0-9.]*\).*/\1/' <<<"$line")")
    curl_t+=("$(curl -s -o "$run/dl/curl.zip" -w '%{time_total}' "http://127.0.0.1:$port/p$mb.zip")")
    line=$("$BOX_WINE" "$bench_exe" download "http://127.0.0.1:$port/p$mb.zip" "$(winpath "$run/dl")" 2>&1 >/dev/null | grep download_seconds)
    dl_t+=("$(sed 's/.*download_seconds=\([0-9.]*\).*/\1/' <<<"$line")")
  done
  rm -rf "$work/run"
  echo "sweep $mb $(stat -c %s "$zip") unzip $(printf '%s\n' "${unzip_t[@]}" | median)" \
       "ours-extract $(printf '%s\n' "${ours_t[@]}" | median) curl $(printf '%s\n' "${curl_t[@]}" | median)" \
       "ours-download $(printf '%s\n' "${dl_t[@]}" | median)"
done
