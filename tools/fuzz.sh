#!/usr/bin/env bash
# Runs every libFuzzer target of the host build for a while, each with its
# seed corpus and dictionary, and prints what each run did.
#
#   tools/fuzz.sh [SECONDS] [--merge] [TARGET...]
#
# SECONDS per target (default 5, as in CI). Options of a target's own are
# in tests/fuzz/options/<target>. The host build (build/host, made
# by tools/test.sh; BOX_FUZZ_BUILD names another) is brought up to date
# first. What a run finds grows a corpus outside the tree,
# build/host/fuzz-corpus/<target>, which the next run starts from; --merge
# then adds to tests/fuzz/corpus/<target> the inputs of it that reach edges
# the seeds do not. A crash, leak or timeout fails the script; the
# input is kept in build/host/fuzz-crashes/<target>/ and the run's log in
# build/host/fuzz-logs/<target>.log.
set -euo pipefail
source "$(dirname "$0")/common.sh"

seconds=5
merge=0
targets=()
for arg in "$@"; do
  case $arg in
    --merge) merge=1 ;;
    ''|*[!0-9]*) targets+=("$arg") ;;
    *) seconds=$arg ;;
  esac
done

host=${BOX_FUZZ_BUILD:-$(box_build_dir host)}
if [ ! -f "$host/build.ninja" ] && [ ! -f "$host/Makefile" ]; then
  log "no host build in $host: tools/test.sh makes it (clang, -DBOX_SANITIZE=ON -DBOX_FUZZ=ON)"
  exit 1
fi
host=$(cd "$host" && pwd)
mkdir -p "$host/fuzz-logs"
cmake --build "$host" --target box_fuzzers -j"$box_jobs" >"$host/fuzz-logs/build.log" 2>&1 ||
  { tail -40 "$host/fuzz-logs/build.log" >&2; exit 1; }
if [ ${#targets[@]} -eq 0 ]; then
  for fuzzer in "$host"/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] && targets+=("$(basename "$fuzzer")")
  done
fi

seeds_root=$box_root/tests/fuzz/corpus
dicts=$box_root/tests/fuzz/dict
options=$box_root/tests/fuzz/options

# The last "cov:" line libFuzzer printed, and its final statistics.
field() { grep -oE "$1: *[0-9]+" "$2" | tail -1 | grep -oE '[0-9]+$' || echo 0; }
stat() { grep -E "^stat::$1:" "$2" | tail -1 | awk '{print $2}' || true; }
count_files() { find "$1" -maxdepth 1 -type f 2>/dev/null | wc -l; }

rows=()
failed=()
for name in "${targets[@]}"; do
  fuzzer=$host/fuzz/$name
  [ -x "$fuzzer" ] || { log "no fuzz target $name in $host/fuzz"; exit 1; }
  corpus=$host/fuzz-corpus/$name
  crashes=$host/fuzz-crashes/$name
  logfile=$host/fuzz-logs/$name.log
  mkdir -p "$corpus" "$crashes"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$crashes/")
  [ -f "$dicts/$name.dict" ] && args+=(-dict="$dicts/$name.dict")
  # Options of the target's own (tests/fuzz/options/<target>: one a line).
  [ -f "$options/$name" ] && while read -r option; do
    case $option in ''|'#'*) ;; *) args+=("$option") ;; esac
  done <"$options/$name"
  seeds=()
  [ -d "$seeds_root/$name" ] && seeds=("$seeds_root/$name")
  before=$(count_files "$corpus")
  log "fuzzing $name for $seconds s"
  status=ok
  (cd "$host" && "$fuzzer" "${args[@]}" "$corpus" "${seeds[@]}") >"$logfile" 2>&1 || status=FAILED
  if [ $status != ok ]; then
    failed+=("$name")
    tail -60 "$logfile" >&2
  fi
  after=$(count_files "$corpus")
  rows+=("$(printf '%-20s %12s %9s %7s %8s %8s %7s  %s' "$name" \
    "$(stat number_of_executed_units "$logfile")" "$(stat average_exec_per_sec "$logfile")" \
    "$(field cov "$logfile")" "$(field ft "$logfile")" "$(field corp "$logfile")" "$((after - before))" "$status")")
done

# Only edges count when merging: hit counts would keep four times the files
# (4,000 after a ten-minute run instead of 1,000) for the same code reached,
# and the grown corpus outside the tree keeps the finer ones anyway.
if [ $merge = 1 ]; then
  for name in "${targets[@]}"; do
    seeds=$seeds_root/$name
    mkdir -p "$seeds"
    before=$(count_files "$seeds")
    "$host/fuzz/$name" -merge=1 -use_counters=0 -timeout=10 -rss_limit_mb=2048 "$seeds" "$host/fuzz-corpus/$name" \
      >"$host/fuzz-logs/$name.merge.log" 2>&1 || { tail -30 "$host/fuzz-logs/$name.merge.log" >&2; exit 1; }
    log "merged $(($(count_files "$seeds") - before)) inputs into tests/fuzz/corpus/$name"
  done
fi

echo
echo "fuzzing, $seconds s per target (corpus: entries the run ended with; new: entries it added to $host/fuzz-corpus)"
printf '%-20s %12s %9s %7s %8s %8s %7s  %s\n' target executions exec/s edges features corpus new result
for row in "${rows[@]}"; do echo "$row"; done
if [ ${#failed[@]} -gt 0 ]; then
  log "failed: ${failed[*]} (inputs in $host/fuzz-crashes, logs in $host/fuzz-logs)"
  exit 1
fi
