#!/usr/bin/env bash
# Random kills during an upgrade, on demand (not in CI's long form):
#
#   tools/crash-test.sh [N]     N runs (default 10)
#
# CI runs a short form (tests/e2e: install_e2e_crashrandom) in a prefix of
# its own; by hand it uses the build's test prefix.
# Each run restores an older installation of the box (installed once by the
# unpinned build from a package whose executables differ), starts the real
# Install.exe /S /NAME=Box against the demo package, ends it with kill -9
# after a random time within a whole run's length, and looks at the folder:
# the invariant is that without a journal it holds either the old version or
# the new one, whole (never a mix), and that with a journal the next run
# completes it. Then Install.exe /S runs again to the end and the folder
# must be exactly the new version with nothing of the staging left. One row
# a run, then a summary.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$box_root/tools/xvfb.sh"
source "$box_root/tools/wine-prefix.sh"

runs=${1:-10}
arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
[ -f "$dir/bin/Install.exe" ] || { echo "no build in $dir: run tools/setup.sh first" >&2; exit 1; }
source "$box_root/tools/wine-env.sh" "$dir" "$arch"
[ -n "${DISPLAY:-}" ] || box_start_xvfb
box_prepare_prefix "$dir"

work=$dir/crash-test
rm -rf "$work"; mkdir -p "$work"
package=$dir/package/Orrery2.zip
target="$WINEPREFIX/drive_c/Program Files/Box"
stop_all() {
  # This prefix's processes only: other tests may run beside this one.
  "$BOX_WINESERVER" -k 2>/dev/null || true
  bash "$box_root/tools/servers/demo-servers.sh" stop "$dir" >/dev/null 2>&1 || true
  "$BOX_WINESERVER" -k 2>/dev/null || true
  box_stop_xvfb
}
trap stop_all EXIT

# The older version: the demo package with other bytes in its executables.
old_package=$work/old.zip
python3 - "$package" "$old_package" <<'PY'
import sys, zipfile
source, target = sys.argv[1:]
with zipfile.ZipFile(source) as old, zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as new:
    for info in old.infolist():
        data = old.read(info.filename)
        if info.filename in ("Corvina.exe", "CorvinaMain.exe", "CvnBrowserAide.exe"):
            data += b"\0" * 512 + b"an older version"
        new.writestr(info, data)
PY

# What a folder holds: one "path sha256" line a file, the installer's own
# records (logs, the package, the name file) left out.
fingerprint() {
  (cd "$1" && find . -type f ! -path './logs/*' ! -name temp.zip ! -name cvnname.dat -print0 | sort -z |
    xargs -0 sha256sum) 2>/dev/null
}
silent() { # installer timeout
  (cd "$work" && timeout "$2" env WINEDEBUG=-all "$BOX_WINE" "$1" /S /NAME=Box) >"$work/wine.log" 2>&1
}

log "installing the older version once"
rm -rf "$target"
bash "$box_root/tools/servers/demo-servers.sh" start "$old_package" "$dir" >/dev/null
silent "$dir/tests/InstallUnpinned.exe" 120 || { echo "the older version did not install" >&2; exit 1; }
bash "$box_root/tools/servers/demo-servers.sh" stop "$dir" >/dev/null
cp -a "$target" "$work/old-installation"
old_print=$(fingerprint "$work/old-installation")

bash "$box_root/tools/servers/demo-servers.sh" start "$package" "$dir" >/dev/null
# How long a whole upgrade takes here: the kills fall within it.
rm -rf "$target"; cp -a "$work/old-installation" "$target"
t0=$(date +%s%N)
silent "$dir/bin/Install.exe" 120 || { echo "the upgrade does not complete without a kill" >&2; exit 1; }
whole_ms=$((($(date +%s%N) - t0) / 1000000))
# The new version as an upgrade that nobody interrupted leaves it (files of
# the older version that the package does not carry stay, by design).
new_print=$(fingerprint "$target")
[ "$new_print" != "$old_print" ] || { echo "the upgrade changed nothing" >&2; exit 1; }
log "a whole upgrade takes $whole_ms ms here; $runs runs with kill -9 within it"

printf '%-4s %8s  %-22s %-10s %-10s\n' run kill-ms "left by the kill" invariant rerun
held=0 completed=0
declare -A states=()
for run in $(seq 1 "$runs"); do
  rm -rf "$target"; cp -a "$work/old-installation" "$target"
  at=$((RANDOM % whole_ms))
  (cd "$work" && exec env WINEDEBUG=-all "$BOX_WINE" "$dir/bin/Install.exe" /S /NAME=Box) >"$work/wine.log" 2>&1 &
  installer=$!
  sleep "$(awk -v ms="$at" 'BEGIN { printf "%.3f", ms / 1000 }')"
  # The Windows process itself (the loader execs into it), as a power cut
  # or a task manager ends it.
  kill -9 "$installer" 2>/dev/null || true
  { wait "$installer"; } 2>/dev/null || true
  "$BOX_WINESERVER" -k 2>/dev/null || true
  print=$(fingerprint "$target" | grep -v ' \./\.box-' || true)
  if [ -f "$target/.box-journal" ]; then
    state="journal ($(sed -n 's/^phase //p' <(iconv -f UTF-16 -t UTF-8 "$target/.box-journal" | tr -d '\r')))"
    invariant=held
  elif [ "$print" = "$old_print" ]; then
    state="old version"; invariant=held
  elif [ "$print" = "$new_print" ]; then
    state="new version"; invariant=held
  else
    state="a mix"; invariant=BROKEN
  fi
  [ "$invariant" = held ] && held=$((held + 1))
  states[$state]=$((${states[$state]:-0} + 1))
  rerun=failed
  if silent "$dir/bin/Install.exe" 120 && [ "$(fingerprint "$target")" = "$new_print" ]; then
    rerun=complete; completed=$((completed + 1))
  fi
  printf '%-4s %8s  %-22s %-10s %-10s\n' "$run" "$at" "$state" "$invariant" "$rerun"
done
echo
for state in "${!states[@]}"; do printf '  %-22s %d\n' "$state" "${states[$state]}"; done
echo "invariant held in $held of $runs runs; the next run completed the new version in $completed of $runs"
[ "$held" = "$runs" ] && [ "$completed" = "$runs" ]
