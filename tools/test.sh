#!/usr/bin/env bash
# Sets everything up from nothing and runs every test:
#   - the host build of the modules that need no Win32, under AddressSanitizer
#     and UndefinedBehaviorSanitizer, and a short run of each fuzzer;
#   - the Windows tests under Wine, windows on a private Xvfb display.
# Ends with CTest's summary of the Windows tests.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$box_root/tools/xvfb.sh"

t0=$SECONDS
bash "$box_root/tools/setup.sh"

host=$(box_build_dir host)
log "building the host modules with sanitizers and fuzzers in $host"
# The archive reader is built from the same zlib sources as for Windows, so
# that the sanitizers and the fuzzer see into it.
minizip_src=$(ls -d "$box_cache"/src/zlib-*/src/contrib/minizip 2>/dev/null | head -1 || true)
cmake -S "$box_root" -B "$host" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBOX_SANITIZE=ON -DBOX_FUZZ=ON -DBOX_MINIZIP_SOURCE_DIR="$minizip_src" >/dev/null
cmake --build "$host" -j"$box_jobs"

fuzz_seconds=${BOX_FUZZ_SECONDS:-5}
for fuzzer in "$host"/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$host/fuzz-corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$box_root/tests/fuzz/corpus/$name" ] && seeds=("$box_root/tests/fuzz/corpus/$name")
  log "fuzzing $name for $fuzz_seconds s"
  "$fuzzer" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    "$corpus" "${seeds[@]}" >"$host/$name.log" 2>&1 || { tail -60 "$host/$name.log"; exit 1; }
done

log "host tests (sanitizers)"
ctest --test-dir "$host" --output-on-failure -j"$box_jobs"

arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
if [ "$arch" != i686 ]; then
  # The shipped file cannot run here; it is still checked as a file.
  log "checking the shipped i686 Install.exe (format, subsystem, DLLs)"
  bash "$box_root/tests/app/check_pe.sh" "$(box_build_dir i686)/bin/Install.exe" i686-w64-mingw32-objdump i686
fi
source "$box_root/tools/wine-env.sh" "$dir" "$arch"
[ "$arch" = i686 ] || log "this kernel runs no 32-bit code: the tests run the x86_64 build under 64-bit Wine"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  log "creating the Wine prefix $WINEPREFIX"
  "$BOX_WINE" wineboot -i >/dev/null 2>&1 || true
fi
# One server for the whole run, so each test starts in a fraction of a second.
# Wine's own services start with the first program and inherit its output:
# start them here, detached, or CTest would wait on them as if they were the
# first test's children.
"$BOX_WINESERVER" -p 60 </dev/null >/dev/null 2>&1 || true
"$BOX_WINE" wineboot </dev/null >/dev/null 2>&1 || true
box_start_xvfb
log "Windows tests ($arch) under Wine on display $DISPLAY"
status=0
ctest --test-dir "$dir" --output-on-failure -j"$box_jobs" || status=$?
"$BOX_WINESERVER" -k 2>/dev/null || true
log "all done in $((SECONDS - t0)) s"
exit $status
