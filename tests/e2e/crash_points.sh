#!/usr/bin/env bash
# Ends the installer at fixed moments of an installation and checks what a
# user is left with, then what the next run makes of it:
#
#   crash_points.sh <build-dir> <arch> first|upgrade
#
# InstallCrash.exe (the pinned installer with a crash hook, a test build)
# runs /S /NAME=Box and ends itself at one named moment (exit code 99 says
# the moment came): during the download, after the second extracted file,
# between the two moves of a file, between the executables' moves, after the
# commit, during the shortcuts and the key, before the clean-up, and half way
# through a rollback. The folder must then hold the old installation (or, on
# a first installation, no program at all) unchanged, or a journal. A run of
# the installer without the hook must then give exactly what an
# uninterrupted installation gives: every file's hash, nothing of the
# staging left, the uninstall key, the shortcuts, and a program that starts.
# `upgrade` first installs an older version (other executables, a document
# changed, a file the new package adds missing).
set -Eeuo pipefail
build=$(cd "${1:?build dir}" && pwd) arch=${2:?arch} mode=${3:?first or upgrade}
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tools/common.sh"
source "$root/tools/wine-env.sh" "$build" "$arch"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY" >&2; exit 1; }

work=$build/e2e-$WINEARCH-crashpoints-$mode
rm -rf "$work"; mkdir -p "$work"
drive=$WINEPREFIX/drive_c
target="$drive/Program Files/Box"
package=$build/package/Orrery2.zip
crashing=$build/tests/InstallCrash.exe

fail() {
  echo "FAIL: $*" >&2
  [ -s "$target/logs/InstallRotating.txt" ] && tail -15 "$target/logs/InstallRotating.txt" | iconv -f GBK -t UTF-8 -c >&2
  exit 1
}
servers_up=
cleanup() {
  "$BOX_WINESERVER" -k 2>/dev/null || true
  [ -n "$servers_up" ] && bash "$root/tools/servers/demo-servers.sh" stop "$build" >/dev/null 2>&1 || true
}
trap cleanup EXIT

# Where a 32-bit program's uninstall key lands depends on the system.
arch_answer=$("$BOX_WINE" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
  /v PROCESSOR_ARCHITECTURE 2>&1 | tr -d '\r') || true
key='HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Box'
grep -q 'PROCESSOR_ARCHITECTURE.*x86$' <<<"$arch_answer" && key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Box'
programs=$(find "$drive/users" -maxdepth 6 -type d -name 'Start Menu' | head -1)
[ -n "$programs" ] || fail "no Start Menu folder in the prefix"
programs=$programs/Programs

# The folder's files and their hashes; the installer's own records (its
# log, the package, the name file) and the started program's marker aside.
fingerprint() {
  (cd "$1" && find . -type f ! -path './logs/*' ! -name temp.zip ! -name cvnname.dat ! -name started.marker -print0 |
    sort -z | xargs -0 -r sha256sum) 2>/dev/null || true
}
# The installer /S /NAME=Box with the environment given; sets $status.
silent() { # installer [VAR=value...]
  local installer=$1; shift
  (cd "$work" && exec env WINEDEBUG=-all "$@" timeout 180 "$BOX_WINE" "$installer" /S /NAME=Box /RUN) \
    >"$work/wine.log" 2>&1 && status=0 || status=$?
}
# The state every case starts from: the old installation or nothing, and no
# key or shortcut of an earlier case.
start_state() {
  "$BOX_WINESERVER" -k 2>/dev/null || true
  rm -rf "$target"
  [ "$mode" = upgrade ] && cp -a "$work/old-installation" "$target"
  "$BOX_WINE" reg delete "$key" /f /reg:64 >/dev/null 2>&1 || "$BOX_WINE" reg delete "$key" /f >/dev/null 2>&1 || true
  rm -rf "$programs/Box"
  find "$HOME" "$drive/users" -name 'Box.lnk' -delete 2>/dev/null || true
}
# What a whole installation leaves besides the files.
check_whole() { # case
  local answer
  answer=$("$BOX_WINE" reg query "$key" /v UninstallString /reg:64 2>/dev/null || "$BOX_WINE" reg query "$key" /v UninstallString 2>/dev/null) ||
    fail "$1: no uninstall key after the rerun"
  grep -qF 'C:\Program Files\Box\Uninstall.exe' <<<"$answer" || fail "$1: the key's UninstallString: $answer"
  [ -f "$programs/Box/Box.lnk" ] && [ -f "$programs/Box/卸载.lnk" ] || fail "$1: the Start Menu shortcuts: $(ls "$programs/Box" 2>&1)"
  find "$HOME" "$drive/users" -name Box.lnk -path '*Desktop*' 2>/dev/null | grep -q . ||
    [ -f "$HOME/Box.lnk" ] || fail "$1: no desktop shortcut"
  [ "$(iconv -f GBK -t UTF-8 "$target/cvnname.dat" 2>/dev/null)" = Box ] || fail "$1: no name file"
  for _ in $(seq 1 100); do [ -f "$target/started.marker" ] && break; sleep 0.2; done
  [ -f "$target/started.marker" ] || fail "$1: the installed program did not start"
  ! ls -A "$target" | grep -q '^\.box-' || fail "$1: staging left: $(ls -A "$target")"
}

bash "$root/tools/servers/demo-servers.sh" start "$package" "$build" >/dev/null
servers_up=yes
if [ "$mode" = upgrade ]; then
  old_package=$work/old.zip
  python3 - "$package" "$old_package" <<'PY'
import sys, zipfile
source, target = sys.argv[1:]
with zipfile.ZipFile(source) as new, zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as old:
    entries = [info for info in new.infolist() if not info.filename.endswith("/")]
    left_out = [info.filename for info in entries
                if info.filename not in ("Corvina.exe", "CorvinaMain.exe", "CvnBrowserAide.exe")][-1]
    for info in new.infolist():
        if info.filename == left_out:
            continue  # the new version adds it
        data = new.read(info.filename)
        if info.filename in ("Corvina.exe", "CorvinaMain.exe", "CvnBrowserAide.exe"):
            data += b"\0" * 512 + b"an older version"  # runs the same, differs in its bytes
        elif not info.filename.endswith("/") and info.file_size < 100000:
            data += b"\nan older version"
        old.writestr(info, data)
PY
  bash "$root/tools/servers/demo-servers.sh" stop "$build" >/dev/null
  bash "$root/tools/servers/demo-servers.sh" start "$old_package" "$build" >/dev/null
  rm -rf "$target"
  silent "$build/tests/InstallUnpinned.exe"
  [ "$status" = 0 ] || fail "the older version did not install (exit $status)"
  "$BOX_WINESERVER" -k 2>/dev/null || true
  rm -f "$target/started.marker"
  cp -a "$target" "$work/old-installation"
  bash "$root/tools/servers/demo-servers.sh" stop "$build" >/dev/null
  bash "$root/tools/servers/demo-servers.sh" start "$package" "$build" >/dev/null
fi
old_print=$(fingerprint "$work/old-installation" 2>/dev/null)

# What an uninterrupted installation leaves.
start_state
silent "$crashing"
[ "$status" = 0 ] || fail "an installation without a crash: exit $status"
check_whole "no crash"
new_print=$(fingerprint "$target")
[ "$new_print" != "$old_print" ] || fail "the installation changed nothing"

# case name | BOX_CRASH_AT | BOX_CRASH_FAIL
between="between a file's two moves|swap-saved#2|"
# A first installation replaces nothing: each file moves once.
[ "$mode" = first ] && between="between two files' moves|swap-placed#2|"
cases=(
  "during the download|download#3|"
  "after the 2nd extracted file|extracted#2|"
  "$between"
  "between the executables' moves|swap-placed#1:.exe|"
  "after the commit|committed|"
  "during the shortcuts|shortcut#2|"
  "during the registry step|registry|"
  "before the clean-up|namefile|"
  "during the clean-up|cleanup|"
  "half way through a rollback|rollback#2|swap-placing#4"
)

printf '%-34s %-24s %-10s %s\n' "$mode: crash" "left by the crash" invariant rerun
for entry in "${cases[@]}"; do
  IFS='|' read -r name at failing <<<"$entry"
  start_state
  silent "$crashing" "BOX_CRASH_AT=$at" ${failing:+"BOX_CRASH_FAIL=$failing"}
  [ "$status" = 99 ] || fail "$name: the crash point $at never came (exit $status)"
  "$BOX_WINESERVER" -k 2>/dev/null || true
  print=$(fingerprint "$target" | grep -v ' \./\.box-' || true)
  if [ -f "$target/.box-journal" ]; then
    left="journal ($(iconv -f UTF-16 -t UTF-8 "$target/.box-journal" | tr -d '\r' | sed -n 's/^phase //p'))"
  elif [ "$print" = "$old_print" ]; then
    left="old version"
    [ "$mode" = first ] && left="nothing installed"
  else
    fail "$name: neither the old version nor a journal: $(diff <(echo "$old_print") <(echo "$print") | head -10)"
  fi
  silent "$crashing"
  [ "$status" = 0 ] || fail "$name: the rerun failed (exit $status)"
  [ "$(fingerprint "$target")" = "$new_print" ] ||
    fail "$name: the rerun left another installation: $(diff <(echo "$new_print") <(fingerprint "$target") | head -10)"
  check_whole "$name"
  printf '%-34s %-24s %-10s %s\n' "$name" "$left" held complete
done
echo "PASS crash points ($mode)"
