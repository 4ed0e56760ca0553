#!/usr/bin/env bash
# Installs the box as a user would: the real Install.exe under Wine on the
# test display, driven with xdotool, against nginx and the API test server
# on 127.0.0.1 (the host and ports compiled into the build).
#
#   install_e2e.sh <build-dir> <arch> <scenario>
#
# Scenarios:
#   full      name "Box", Next, wait for the finish page, Finish; check files,
#             shortcuts (Quick Launch made first), registry, name file, log,
#             the report, temp.zip and the started program; screenshots.
#   again     a second installation of "Box" without a Quick Launch folder:
#             the fourth shortcut is skipped quietly.
#   escape    Escape on the name window: exit code 0, nothing installed.
#   broken    a package that is not a zip: three passes, then the progress
#             page stays with the last status text.
#   baddir    a directory that cannot be created: the prompt window.
#   keyboard  the whole installation with keys alone: the name typed as the
#             name window opens, Enter; Tab, Tab, Enter on the directory page
#             (确认, never the out-of-view 安装完成); Enter on the finish page.
#   planted   Install.exe run from a "Downloads" folder (also the current
#             folder) that holds a probe DLL under the name of every DLL the
#             installer imports or loads, with Wine told to prefer such
#             native files: a whole installation, and no probe ever loads.
#   oldversion  an older version of the box (the demo package with other
#             executables), installed by the same installer built without
#             the package pin.
#   upgrade   oldversion first (this script runs it), then the pinned
#             Install.exe installs the demo package over it: the new
#             executables replace the old ones, exactly one copy of each
#             remains, and Finish starts the new one.
#   fulldisk  the installation folder on an 8 MiB disk (tmpfs as drive T:)
#             and a package that unpacks to more: the installation stops
#             before extracting anything, saying so on the progress page.
#             Skipped (exit 77) where this machine cannot mount a tmpfs.
#   chinese   the name 我的盒子, in the code page BOX_E2E_LOCALE gives Wine
#             (zh_CN.UTF-8: 936, en_US.UTF-8: 1252, hi_IN.UTF-8: 65001):
#             folder, executables, shortcuts, uninstall key and name file
#             carry the name; the package's UTF-8-flagged Chinese entry keeps
#             its name, its unflagged code page 936 one is read in the
#             system's code page.
#   drag      the wizard held by its caption from 确认 until the server has
#             the report: the finish page comes during the drag, and Finish
#             starts the program.
set -Eeuo pipefail
# A step that fails outside the checks below still says where: the last
# failed command is kept and told if the script ends on it.
failed_step=
trap 'failed_step="line $LINENO: $BASH_COMMAND"' ERR
build=$(cd "${1:?build dir}" && pwd) arch=${2:?arch} scenario=${3:?scenario}
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tools/common.sh"
source "$root/tools/wine-env.sh" "$build" "$arch"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY" >&2; exit 1; }
export LC_ALL=zh_CN.UTF-8

# The build's own prefix kind keeps the screenshots the README shows; a run in
# the other kind (the i686 build under WoW64) keeps its own.
default_kind=win32
[ "$arch" = i686 ] || default_kind=win64
shots=$build/screenshots
[ "$WINEARCH" = "$default_kind" ] || shots=$build/screenshots-$WINEARCH
work=$build/e2e-$WINEARCH-$scenario
rm -rf "$work"; mkdir -p "$work" "$shots"
drive=$WINEPREFIX/drive_c
# The box's name: the folder, the executables, the shortcuts and the key.
box=Box
if [ "$scenario" = chinese ]; then
  box=我的盒子
  export LC_ALL=${BOX_E2E_LOCALE:-zh_CN.UTF-8}
fi
target="$drive/Program Files/$box"
package=$build/package/Orrery2.zip

fail() { echo "FAIL: $*" >&2; shot "failure-$scenario"; failed_step=; exit 1; }
shot() { import -window root "$shots/$1.png" 2>/dev/null || true; }
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

servers_up=
cleanup() {
  local status=$?
  [ "$status" = 0 ] || [ -z "$failed_step" ] || echo "FAIL: exit $status after $failed_step" >&2
  [ -n "${installer_pid:-}" ] && kill "$installer_pid" 2>/dev/null || true
  "$BOX_WINE" taskkill /f /im "$box.exe" >/dev/null 2>&1 || true
  [ -n "$servers_up" ] && bash "$root/tools/servers/demo-servers.sh" stop "$build" >/dev/null 2>&1 || true
  if [ -n "${disk:-}" ]; then
    rm -f "$WINEPREFIX/dosdevices/t:"
    "$BOX_WINESERVER" -k 2>/dev/null || true  # nothing of Wine may hold the disk
    sleep 0.5
    umount "$disk" 2>/dev/null || true
  fi
}
trap cleanup EXIT

if [ "$scenario" = upgrade ]; then
  bash "$0" "$build" "$arch" oldversion || fail "the older version did not install"
fi

served=$package
installer=$build/bin/Install.exe
case "$scenario" in
  broken)
    served=$work/broken.zip
    head -c 200000 /dev/urandom >"$served"
    ;;
  oldversion | fulldisk)
    # Another package than the pinned one: the installer without the pin.
    installer=$build/tests/InstallUnpinned.exe
    served=$work/package.zip
    python3 - "$package" "$served" "$scenario" <<'PY'
import sys, zipfile
source, target, scenario = sys.argv[1:]
with zipfile.ZipFile(source) as old, zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as new:
    for info in old.infolist():
        data = old.read(info.filename)
        if scenario == "oldversion" and info.filename in ("Corvina.exe", "CorvinaMain.exe", "CvnBrowserAide.exe"):
            data += b"\0" * 512 + b"an older version"  # runs the same, differs in its bytes
        new.writestr(info, data)
    if scenario == "fulldisk":
        # 64 MiB that compress to almost nothing.
        new.writestr("data/huge.bin", b"\0" * (64 << 20))
PY
    package=$served
    ;;
esac
if [ "$scenario" = fulldisk ]; then
  disk=$work/disk
  mkdir -p "$disk"
  mount -t tmpfs -o size=8m tmpfs "$disk" 2>/dev/null || { echo "SKIP: cannot mount a tmpfs here"; exit 77; }
  rm -f "$WINEPREFIX/dosdevices/t:"
  ln -s "$disk" "$WINEPREFIX/dosdevices/t:"
  target=$disk/Box
fi
# The full run is slowed to about 4 s of transfer, for the progress page's
# screenshot.
[ "$scenario" = full ] && export BOX_NGINX_RATE=300k
bash "$root/tools/servers/demo-servers.sh" start "$served" "$build" >/dev/null
servers_up=1
api_port=$(cache_value BOX_API_PORT)

# A clean slate in the prefix for this installation; an upgrade goes over
# what oldversion left.
[ "$scenario" = upgrade ] || rm -rf "$target"
if [ "$scenario" = upgrade ]; then
  for f in Box.exe BoxM.exe BoxA.exe; do [ -f "$target/$f" ] || fail "no earlier installation to upgrade ($f)"; done
  cmp -s "$target/Box.exe" <(unzip -p "$package" Corvina.exe) && fail "the earlier installation is already the new version"
  # The finish page is recognised by the name file it writes.
  rm -f "$target/cvnname.dat" "$target/started.marker"
fi
quick_launch="$drive/users/${USER:-root}/AppData/Roaming/Microsoft/Internet Explorer/Quick Launch"
[ -d "$drive/users/root" ] && quick_launch="$drive/users/root/AppData/Roaming/Microsoft/Internet Explorer/Quick Launch"
case "$scenario" in
  full) mkdir -p "$quick_launch"; rm -f "$quick_launch"/*.lnk ;;
  again | keyboard | drag | planted | oldversion | upgrade | fulldisk | chinese) rm -rf "$quick_launch" ;;
esac

# Waits until `condition` (a command) succeeds, up to `seconds`.
wait_for() { # seconds description command...
  local seconds=$1 what=$2; shift 2
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $end ] || fail "timed out waiting for $what"
    sleep 0.2
  done
}

# A visible top-level window of the installer with the given client size,
# other than `except`.
window_of_size() { # width height [except]
  local id geometry
  for id in $(xdotool search --onlyvisible --pid "$installer_pid" 2>/dev/null); do
    [ "$id" = "${3:-}" ] && continue
    geometry=$(xdotool getwindowgeometry "$id" 2>/dev/null | sed -n 's/.*Geometry: //p')
    if [ "$geometry" = "$1x$2" ]; then echo "$id"; return 0; fi
  done
  return 1
}
has_window() { window_of_size "$@" >/dev/null; }

click() { # window x y (client coordinates)
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}

# What the system says it is: where a 32-bit program's uninstall key lands
# depends on it.
system_arch= answer=
for _ in 1 2 3; do
  answer=$("$BOX_WINE" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
    /v PROCESSOR_ARCHITECTURE 2>&1 | tr -d '\r') || true
  system_arch=$(awk '/PROCESSOR_ARCHITECTURE/ {print $3}' <<<"$answer")
  [ -n "$system_arch" ] && break
  sleep 1
done
[ -n "$system_arch" ] || fail "the prefix did not say its processor architecture: $answer"

run_dir=$work
if [ "$scenario" = planted ]; then
  run_dir=$work/Downloads
  markers=$work/markers
  mkdir -p "$run_dir" "$markers"
  cp "$installer" "$run_dir/"
  installer=$run_dir/Install.exe
  # What it imports, what it loads itself, and what the system's own DLLs
  # commonly load on its behalf.
  imports=$("$(cache_value CMAKE_OBJDUMP)" -p "$installer" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  loaded="bcrypt.dll msimg32.dll dbghelp.dll msftedit.dll riched20.dll iphlpapi.dll uxtheme.dll version.dll
          winmm.dll crypt32.dll secur32.dll userenv.dll dwmapi.dll cryptbase.dll propsys.dll dnsapi.dll
          mswsock.dll netapi32.dll wininet.dll urlmon.dll oleacc.dll"
  # Windows maps KnownDLLs from the system folder whatever lies beside the
  # program, and the PE check allows no other imports. Wine 8 has no
  # KnownDLLs, and its own system DLLs import some DLLs that Windows' do not
  # (its user32 imports version.dll): told to prefer a native file, Wine
  # would load such planted copies before our code runs, on its own account.
  # Every copy is laid down; Wine is told to prefer a native file only for
  # the DLLs outside that closure of static imports, which are the ones the
  # installer itself must keep from loading.
  objdump=$(cache_value CMAKE_OBJDUMP)
  case "$arch" in
    i686) builtins=/usr/lib/i386-linux-gnu/wine/i386-windows ;;
    *)    builtins=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows ;;
  esac
  closure=" " pending="$imports"
  while [ -n "$pending" ]; do
    next=
    for dll in $pending; do
      case "$closure" in *" $dll "*) continue ;; esac
      closure="$closure$dll "
      [ -f "$builtins/$dll" ] || continue
      next="$next $("$objdump" -p "$builtins/$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | tr '\n' ' ')"
    done
    pending=$next
  done
  overrides= tested=
  for dll in $imports $loaded; do
    cp "$build/tests/planted_probe.dll" "$run_dir/$dll"
    case "$closure" in *" $dll "*) continue ;; esac
    overrides="$overrides${dll%.dll}=n,b;"
    tested="$tested $dll"
  done
  echo "planted beside Install.exe and preferred by Wine:$tested"
  export WINEDLLOVERRIDES="$overrides$WINEDLLOVERRIDES"
  export BOX_PROBE_MARKERS="Z:${markers//\//\\}"
fi

# The code page this system gives the installer, as the system says it.
"$BOX_WINE" "$build/tests/prefix_probe.exe" 2>/dev/null | tr -d '\r' | grep '^ACP=' >"$work/acp.txt" || true

cd "$run_dir"
# Wine's own errors about the display or a driver explain a window that never
# comes; the rest of its chatter stays off.
WINEDEBUG=${BOX_E2E_WINEDEBUG:--all,err+winediag} "$BOX_WINE" "$installer" >"$work/wine.log" 2>&1 &
installer_pid=$!

# The clocks below start once Wine runs the program itself (it then names the
# process after the executable), not while a cold prefix or a busy machine
# is still starting it. A program that ends before its window shows fails
# at once, with Wine's reason.
running() { # the program has started, or ended
  kill -0 "$installer_pid" 2>/dev/null || return 0
  tr '\0' '\n' <"/proc/$installer_pid/cmdline" 2>/dev/null | head -1 | grep -qF "$(basename "$installer")"
}
wait_for 120 "Wine to start $(basename "$installer")" running
alive_or_fail() {
  kill -0 "$installer_pid" 2>/dev/null && return 0
  wait "$installer_pid" && status=0 || status=$?
  installer_pid=
  fail "Install.exe ended (exit code $status) before its window showed: $(tail -5 "$work/wine.log")"
}
window_or_end() { alive_or_fail; has_window "$@"; }
wait_for 60 "the name window" window_or_end 711 462
name=$(window_of_size 711 462)
sleep 1
[ "$scenario" = full ] && shot 01-name-window

if [ "$scenario" = escape ]; then
  xdotool windowactivate --sync "$name" 2>/dev/null || xdotool windowfocus "$name" || true
  xdotool key --window "$name" Escape
  wait_for 30 "the installer to end" bash -c "! kill -0 $installer_pid 2>/dev/null"
  wait "$installer_pid" && status=0 || status=$?
  installer_pid=
  [ "$status" = 0 ] || fail "exit code $status"
  [ ! -e "$target" ] || fail "something was installed"
  echo "PASS escape"
  exit 0
fi

if [ "$scenario" = keyboard ]; then
  # The name window opens with the focus in its field: no click first.
  xdotool windowfocus "$name" 2>/dev/null || true
  xdotool type --delay 80 "$box"
  xdotool key Return
else
  click "$name" 488 314        # the name box
  if [ "$box" != Box ]; then
    # Under Wine the first character that xdotool types through a remapped
    # key (anything not on the keyboard) is lost, once per Wine process, so
    # a throwaway one goes first: lost, or typed and erased.
    xdotool type --delay 80 "${box:0:1}"; sleep 0.3; xdotool key BackSpace; sleep 0.3
  fi
  xdotool type --delay 80 "$box"
  sleep 0.5
  click "$name" 482 405        # 立即安装
fi
wait_for 60 "the wizard" has_window 647 449
wizard=$(window_of_size 647 449)
sleep 1

if [ "$scenario" = baddir ]; then
  # A folder under a file cannot be made.
  mkdir -p "$drive/blocker-parent"; : >"$drive/blocker-parent/file"
  click "$wizard" 300 388      # the directory box
  xdotool key --window "$wizard" End shift+Home BackSpace
  xdotool type --delay 30 'C:\blocker-parent\file\sub'
  sleep 0.5
  click "$wizard" 560 389      # 确认
  wait_for 30 "the prompt" has_window 647 449 "$wizard"
  prompt=$(window_of_size 647 449 "$wizard")
  sleep 1
  shot 05-prompt-window
  click "$prompt" 323 107      # 确认 on the prompt
  # The wizard closes itself after the prompt.
  wait_for 30 "the installer to end" bash -c "! kill -0 $installer_pid 2>/dev/null"
  installer_pid=
  [ ! -e "$drive/blocker-parent/file/sub" ] || fail "made a folder"
  [ ! -e "$target" ] || fail "installed"
  echo "PASS baddir"
  exit 0
fi

if [ "$scenario" = fulldisk ]; then
  click "$wizard" 300 388      # the directory box
  xdotool key --window "$wizard" End shift+Home BackSpace
  xdotool type --delay 30 'T:\'
  sleep 0.5
  click "$wizard" 560 389      # 确认
  # The package (1.3 MB) arrives, but unpacks to 65 MB: nothing is
  # extracted, no pass is tried again, and the page says why.
  wait_for 60 "the package on the small disk" test -f "$target/temp.zip"
  sleep 6
  kill -0 "$installer_pid" 2>/dev/null || fail "the installer ended"
  shot fulldisk-progress-page
  [ ! -e "$target/cvnname.dat" ] || fail "finished on a full disk"
  for f in Corvina.exe Box.exe data; do [ ! -e "$target/$f" ] || fail "extracted $f onto a full disk"; done
  xdotool key --window "$wizard" Escape
  wait_for 30 "the installer to end" bash -c "! kill -0 $installer_pid 2>/dev/null"
  installer_pid=
  log_text=$(iconv -f GBK -t UTF-8 "$target/logs/InstallRotating.txt")
  grep -q 'not enough disk space: needs' <<<"$log_text" || fail "no line about the disk space: $log_text"
  [ "$(grep -c '\] downloading' <<<"$log_text")" = 1 ] || fail "fetched again although the disk stays full: $log_text"
  echo "PASS fulldisk"
  exit 0
fi

[ "$scenario" = full ] && shot 02-directory-page
case "$scenario" in
  keyboard)
    # The folder field has the focus; Tab, Tab reaches 确认, and Enter is
    # 确认 wherever the focus is. It must never press the finish page's
    # button below the window: that would start a program not yet there
    # (an error box) and end the installer.
    xdotool windowfocus "$wizard" 2>/dev/null || true
    xdotool key Tab
    sleep 0.3
    xdotool key Tab
    sleep 0.3
    xdotool key Return
    sleep 2
    kill -0 "$installer_pid" 2>/dev/null || fail "Tab, Tab, Enter ended the installer"
    [ "$(xdotool search --onlyvisible --pid "$installer_pid" 2>/dev/null | wc -l)" = 1 ] ||
      fail "Tab, Tab, Enter opened another window"
    [ -d "$target" ] || fail "Enter on the directory page did not start the installation"
    ;;
  drag)
    click "$wizard" 560 389    # 确认
    # Held on the caption band: the system's move loop runs until the
    # button goes up, while the installation goes on behind it.
    xdotool mousemove --window "$wizard" 300 40 mousedown 1
    for _ in 1 2 3 4 5; do xdotool mousemove_relative -- 3 2; sleep 0.1; done
    reported() { curl -s "http://127.0.0.1:$api_port/_log?tag=default" | grep -q '^valid '; }
    wait_for 120 "the report on the server during the drag" reported
    wait_for 30 "the finish page during the drag (name file)" test -f "$target/cvnname.dat"
    sleep 1
    shot drag-finished-while-held
    xdotool mouseup 1
    sleep 1
    ;;
  *)
    click "$wizard" 560 389    # 确认 (Next)
    ;;
esac

if [ "$scenario" = broken ]; then
  # Three passes of at least 3 s each, each ending in a failed extraction;
  # then the window stays on the progress page with the last status text
  # (shown with D).
  sleep 16
  kill -0 "$installer_pid" 2>/dev/null || fail "the installer ended"
  [ ! -e "$target/cvnname.dat" ] || fail "finished with a broken package"
  xdotool mousemove --window "$wizard" 300 200 click 1
  xdotool key --window "$wizard" d
  sleep 1
  shot broken-progress-page
  # The log is written through when the process ends.
  xdotool key --window "$wizard" Escape
  wait_for 30 "the installer to end" bash -c "! kill -0 $installer_pid 2>/dev/null"
  installer_pid=
  log_text=$(iconv -f GBK -t UTF-8 "$target/logs/InstallRotating.txt")
  [ "$(grep -c 'Unzip failed，redownload' <<<"$log_text")" = 3 ] || fail "not three failed passes: $log_text"
  grep -q '解压失败,安装中止' <<<"$log_text" || fail "no abort line: $log_text"
  [ "$(grep -c '\] downloading' <<<"$log_text")" = 3 ] || fail "not three downloads: $log_text"
  if [ -n "$(cache_value BOX_PACKAGE_SHA256)" ]; then
    # The pinned installer refuses the bytes before it would try to unpack them.
    [ "$(grep -c 'package check failed' <<<"$log_text")" = 3 ] || fail "not three failed package checks: $log_text"
  fi
  echo "PASS broken"
  exit 0
fi

# The progress page mid-way: the download starts after a 3 s pause.
if [ "$scenario" = full ]; then
  sleep 5
  shot 03-progress-page
fi
wait_for 120 "the finish page (name file)" test -f "$target/cvnname.dat"
sleep 1
[ "$scenario" = full ] && shot 04-finish-page
rm -f "$target/started.marker"
if [ "$scenario" = keyboard ]; then
  xdotool windowfocus "$wizard" 2>/dev/null || true
  xdotool key Return           # 安装完成, which has the focus
else
  click "$wizard" 324 395      # 安装完成 (Finish)
fi
wait_for 30 "the installer to end" bash -c "! kill -0 $installer_pid 2>/dev/null"
wait "$installer_pid" && status=0 || status=$?
installer_pid=
[ "$status" = 0 ] || fail "exit code $status"

# What the user got.
# The name file holds the name in code page 936 on every system.
[ "$(iconv -f GBK -t UTF-8 "$target/cvnname.dat")" = "$box" ] || fail "name file: $(od -c "$target/cvnname.dat" | head -2)"
for f in "$box.exe" "${box}M.exe" "${box}A.exe" Uninstall.exe temp.zip; do [ -f "$target/$f" ] || fail "missing $f"; done
for f in Corvina.exe CorvinaMain.exe CvnBrowserAide.exe; do [ ! -e "$target/$f" ] || fail "$f not renamed"; done
# (The code page 936 entry is looked at by the chinese scenario.)
unzip -Z1 "$package" | grep -v '/$' | grep -v -E '^(Corvina|CorvinaMain|CvnBrowserAide)\.exe$' | while read -r entry; do
  iconv -f UTF-8 -t UTF-8 <<<"$entry" >/dev/null 2>&1 || continue
  [ -f "$target/$entry" ] || fail "missing extracted $entry"
done
wait_for 30 "the started program's marker" test -f "$target/started.marker"

links=$(find "$drive/users" "$HOME" -name '*.lnk' -newer "$target/temp.zip" 2>/dev/null | sort)
# Wine links the desktop folder to $HOME/Desktop, or to $HOME itself when that
# folder did not exist as the prefix was made.
echo "$links" | grep -Eq "(/Desktop|^$HOME)/$box\.lnk$" || fail "desktop shortcut: $links"
echo "$links" | grep -q "/Programs/$box/$box\.lnk$" || fail "start menu shortcut: $links"
echo "$links" | grep -q "/Programs/$box/卸载\.lnk$" || fail "uninstall shortcut: $links"
if [ "$scenario" = full ]; then
  echo "$links" | grep -q '/Quick Launch/Box\.lnk$' || fail "quick launch shortcut: $links"
else
  [ ! -d "$quick_launch" ] || fail "quick launch folder made"
fi

# A 32-bit installer's key: on a 64-bit system under Wow6432Node of the
# 64-bit view (what the system's list of 32-bit programs reads), and nothing
# in the 64-bit programs' branch; on a 32-bit system in the plain branch.
plain="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$box"
wow="HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$box"
if [ "$system_arch" = x86 ]; then
  "$BOX_WINE" reg export "$plain" "$work/key.reg" >/dev/null 2>&1 || fail "no uninstall key $plain"
else
  "$BOX_WINE" reg export "$wow" "$work/key.reg" /reg:64 >/dev/null 2>&1 ||
    fail "no uninstall key $wow on this $system_arch system"
  ! "$BOX_WINE" reg query "$plain" /reg:64 >/dev/null 2>&1 || fail "uninstall key in the 64-bit programs' branch"
fi
iconv -f UTF-16 -t UTF-8 "$work/key.reg" >"$work/key.txt"
for value in DisplayName DisplayIcon DisplayVersion Publisher UninstallString; do
  grep -q "\"$value\"=" "$work/key.txt" || fail "uninstall value $value"
done
grep -q "\"DisplayName\"=\"$box\"" "$work/key.txt" || fail "DisplayName"
grep -qF "\"UninstallString\"=\"\\\"C:\\\\Program Files\\\\$box\\\\Uninstall.exe\\\"\"" "$work/key.txt" ||
  fail "UninstallString not the quoted path: $(grep UninstallString "$work/key.txt")"

log_text=$(iconv -f GBK -t UTF-8 "$target/logs/InstallRotating.txt")
# Started as the desktop user through the desktop's shell where there is one
# to ask, else directly (Wine's explorer registers no desktop window).
start_path=$(grep -oE 'started the program through the desktop shell|no desktop shell to start the program through' <<<"$log_text" | tail -1)
[ -n "$start_path" ] || fail "the log does not say how the program was started"
echo "installed program: $start_path"
for line in '\[D\] \[thread [0-9]+\] downloading' '\[I\] \[thread [0-9]+\] range0-' '\[D\] \[thread [0-9]+\] Unzip success!'; do
  grep -Eq "$line" <<<"$log_text" || fail "log line $line"
done
requests=$(curl -s "http://127.0.0.1:$api_port/_log?tag=default")
[ "$(grep -c '^valid ' <<<"$requests")" -ge 1 ] || fail "no signed report: $requests"
! grep -q '^invalid ' <<<"$requests" || fail "a report with a bad signature: $requests"

if [ "$scenario" = chinese ]; then
  # The package's two Chinese entries: flagged UTF-8, read as such on every
  # system; unflagged code page 936, read in the system's ANSI code page.
  [ "$(cat "$target/docs/使用说明.txt")" = "flagged UTF-8 name" ] || fail "the UTF-8 entry under another name: $(ls "$target/docs")"
  acp=$(sed -n 's/^ACP=//p' "$work/acp.txt")
  case "$acp" in
    936) expected=中文说明.ini ;;
    1252) expected=$(printf '\xd6\xd0\xce\xc4\xcb\xb5\xc3\xf7.ini' | iconv -f CP1252 -t UTF-8) ;;
    *) expected= ;;  # 65001: bytes that are not UTF-8, read as UTF-8
  esac
  found=$(cd "$target/docs" && find . -maxdepth 1 -type f -exec grep -l "unflagged code page 936 name" {} + | sed 's|^\./||' | head -1)
  [ -n "$found" ] || fail "the code page 936 entry is missing: $(ls "$target/docs")"
  [ -z "$expected" ] || [ "$found" = "$expected" ] || fail "code page $acp: the 936 entry is $found, not $expected"
  echo "code page $acp: flagged entry 使用说明.txt, unflagged entry $found"
fi

if [ "$scenario" = upgrade ]; then
  # The new executables, each exactly once: Finish started the new Box.exe.
  cmp -s "$target/Box.exe" <(unzip -p "$package" Corvina.exe) || fail "Box.exe is still the old version"
  cmp -s "$target/BoxM.exe" <(unzip -p "$package" CorvinaMain.exe) || fail "BoxM.exe is still the old version"
  cmp -s "$target/BoxA.exe" <(unzip -p "$package" CvnBrowserAide.exe) || fail "BoxA.exe is still the old version"
  grep -q 'exe=C:\\Program Files\\Box\\Box.exe' "$target/started.marker" || fail "started: $(cat "$target/started.marker")"
fi

if [ "$scenario" = planted ]; then
  loaded_probes=$(ls "$markers")
  [ -z "$loaded_probes" ] || fail "planted DLLs were loaded: $loaded_probes"
fi

echo "PASS $scenario"
