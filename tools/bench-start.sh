#!/usr/bin/env bash
# Start-up and carousel figures of the installer windows, on demand (not in
# CI). Prints; asserts nothing.
#
#   start-up: process creation to the name window's first paint, against a
#             bare Win32 window of the same size (the floor), alternately,
#             BOX_BENCH_ROUNDS times each (default 10); medians and ratio
#   carousel: one slide of the wizard's carousel while a download from nginx
#             (200 MB, slowed to 20 MB/s so it lasts) reports progress to the
#             window: ticks, slide duration against nominal, median and worst
#             frame, and the longest the UI thread was busy at a stretch
#   whole run: the same over a whole download of a 200 MB package at 20 MB/s
#             and its whole extraction, the carousel sliding back to back;
#             the worst stretch and the worst slide of each phase; under
#             Wine on Linux also the worst stretch less the time the thread
#             waited in it for a CPU (the kernel's own account), what the
#             thread itself held the loop for
#
# Everything twice: at 100 % and at 200 % (a copy of the prefix whose
# LogPixels is 192, on a display large enough), each line saying which;
# BOX_BENCH_SCALES="200" runs one of them.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$box_root/tools/xvfb.sh"
source "$box_root/tools/wine-prefix.sh"

arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
rounds=${BOX_BENCH_ROUNDS:-10}
[ "${BOX_BENCH_SKIP_START:-}" ] && rounds=0
[ -f "$dir/CMakeCache.txt" ] || bash "$box_root/tools/setup.sh"
cmake --build "$dir" --target start_bench -j2 >/dev/null
source "$box_root/tools/wine-env.sh" "$dir" "$arch"
[ -n "${DISPLAY:-}" ] || box_start_xvfb
box_prepare_prefix "$dir"
bench=$dir/tests/start_bench.exe
install_exe="Z:${dir//\//\\}\\bin\\Install.exe"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
work=$dir/bench-start
mkdir -p "$work/www" "$work/target"
[ -f "$work/www/big.zip" ] || head -c 200000000 /dev/urandom >"$work/www/big.zip"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
BOX_NGINX_RATE=20m bash "$box_root/tools/servers/nginx.sh" start "$work/nginx" "$port" "$work/www"
stop_all() {
  bash "$box_root/tools/servers/nginx.sh" stop "$work/nginx"
  "$BOX_WINESERVER" -k 2>/dev/null || true
  box_stop_xvfb
  [ -n "${first_xvfb:-}" ] && kill "$first_xvfb" 2>/dev/null || true
}
trap stop_all EXIT

# One pass of every figure at the display's current scale; each line starts
# with the scale.
measure() { # percent
  local scale="at $1 %"
  ours=() floor=()
  for _ in $(seq 1 "$rounds"); do
    floor+=("$("$BOX_WINE" "$bench" floor | sed -n 's/first-paint //p')")
    ours+=("$("$BOX_WINE" "$bench" name "$install_exe" | sed -n 's/first-paint //p')")
  done
  if [ "$rounds" -gt 0 ]; then
    m_ours=$(printf '%s\n' "${ours[@]}" | median)
    m_floor=$(printf '%s\n' "${floor[@]}" | median)
    python3 -c "print(f'$scale: start-up to first paint (ms, median of $rounds): name window $m_ours, bare window $m_floor, ratio {$m_ours / $m_floor:.2f} (target <= 1.5)')"
  fi

  for _ in 1 2 3; do
    rm -f "$work/target/temp.zip"
    # The transfer's own trace (verbose, as shipped) goes to stderr: dropped.
    "$BOX_WINE" "$bench" carousel "$install_exe" "http://127.0.0.1:$port/big.zip" "Z:${work//\//\\}\\target" 2>/dev/null |
      sed "s/^/$scale: carousel during a download (ms): /"
  done
  # The whole of an installation's two long phases, the carousel sliding all
  # the time: a 200 MB package downloaded at 20 MB/s, then extracted.
  [ -f "$work/www/package.zip" ] || python3 "$box_root/tools/bench-package.py" large "$work/www/package.zip"
  win_target="Z:${work//\//\\}\\target"
  # Beside each, the floor: a bare window of another process whose timer does
  # nothing, for as long as the run lasts; and the share of the machine's busy
  # time its host took back (steal, from /proc/stat), which no program can see
  # coming.
  cpu_times() { awk '/^cpu /{print $2 + $3 + $4 + $7 + $8, $9}' /proc/stat; }
  for _ in 1 2 3; do
    rm -rf "$work/target"; mkdir -p "$work/target"
    read -r busy_before steal_before < <(cpu_times)
    "$BOX_WINE" "$bench" idle 11000 2>/dev/null | sed "s/^/$scale: whole run (ms): /" >"$work/idle.txt" &
    idle_pid=$!
    "$BOX_WINE" "$bench" smooth "$install_exe" "http://127.0.0.1:$port/package.zip" "$win_target" "$win_target\\temp.zip" 2>/dev/null |
      grep -E '^(page|download|extraction) seconds|^  worst stretch' | sed "s/^/$scale: whole run (ms): /"
    wait "$idle_pid" || true
    cat "$work/idle.txt"
    read -r busy_after steal_after < <(cpu_times)
    awk -v b=$((busy_after - busy_before)) -v s=$((steal_after - steal_before)) \
      -v scale="$scale" 'BEGIN { printf "%s: whole run (ms): host steal %.1f%% of the busy time\n", scale, (b + s > 0 ? 100 * s / (b + s) : 0) }'
  done
}

scales=${BOX_BENCH_SCALES:-100 200}
[[ " $scales " == *" 100 "* ]] && measure 100
[[ " $scales " == *" 200 "* ]] || exit 0
# 200 %: the prefix copied with its scale set before anything runs in it,
# and a display with room for the scaled windows.
"$BOX_WINESERVER" -k 2>/dev/null || true
"$BOX_WINESERVER" -w 2>/dev/null || true
bash "$box_root/tools/wine-dpi-prefix.sh" "$WINEPREFIX" "$dir/bench-start-prefix-192" 192
export WINEPREFIX=$dir/bench-start-prefix-192
first_xvfb=${box_xvfb_pid:-}
box_xvfb_pid=
box_start_xvfb 2880x1800
trap stop_all EXIT  # box_start_xvfb set its own
measure 200
rm -rf "$work/target"
echo "targets: 67 ticks within 1000 ms of the nominal 670, UI thread never busy more than 16 ms"
