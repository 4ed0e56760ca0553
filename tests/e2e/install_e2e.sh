#!/usr/bin/env bash
# Installs the box as a user would: the real Install.exe under Wine on the
# test display, driven with xdotool, against nginx and the API test server
# on 127.0.0.1 (the host and ports compiled into the build).
#
#   install_e2e.sh <build-dir> <arch> <scenario> [<instance>]
#
# The instance names this run's files (the scenario unless given), so that
# runs of one scenario with other settings may go side by side.
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
#   silent    Install.exe /S /NAME=Box /RUN with a Quick Launch folder: no
#             window at any moment, exit code 0 once everything is done, and
#             the full scenario's checks.
#   silentdir /s "/name=我的盒子" "/D=C:\Program Files\Box Folder\": the name
#             appended to the folder as the directory page appends it;
#             without /RUN the program is not started.
#   silentargs  bad names, no /NAME, unknown or repeated arguments, arguments
#             without /S, /? with others, an unquoted folder with a space:
#             exit code 1 each, the reason on standard error and in
#             %TEMP%\InstallUnattended.txt, nothing made at all.
#   silentbaddir  a folder under a file, a relative folder: exit code 3,
#             nothing made, the prompt's words in the early log.
#   silentbroken  a package that is not a zip: three passes, exit code 2, no
#             shortcut, uninstall key, name file or report.
#   silentusage  /?: the usage box (the only window of the command line),
#             closed with Enter: exit code 0, nothing made.
#   silentfaults  /S against the fault server on the package port: an
#             endless answer (never past the pinned size; exit 2, no
#             temp.zip left), a server that announces a byte more than it
#             sends (exit 2 after three passes; without the pin: installed),
#             a read-only disk (exit 3, no
#             request at all) and an endless answer to the unpinned
#             installer on a 24 MiB disk (exit 2, the disk left free). The
#             disks are tmpfs mounts: without them those two cases are
#             skipped, saying so.
#   https     the installer built for an HTTPS address (InstallHttps.exe),
#             through a named proxy as Internet Options sets it (tinyproxy):
#             the full installation's checks, and the proxy's log shows the
#             package's tunnel and the report.
#   httpslogin  the same through a proxy that wants a Basic login: the
#             system's credentials dialog, answered wrong once, then right;
#             the password is in no log.
#   httpsrefused  the wizard against a server whose certificate comes from an
#             authority the system does not trust: the attempts fail with
#             that cause on the page (screenshot), nothing is extracted, and
#             Escape asks first, then 确定 leaves at once.
#   silenthttps  /S with the HTTPS installer against each refusal: an
#             untrusted, an expired and a wrong-host certificate, a redirect
#             to plain http, a proxy that refuses the tunnel, and one that
#             wants a login nobody can type: exit code 2 each, nothing
#             extracted, the cause in the log; then the installer whose first
#             address refuses installs from its mirror.
#   silentmanifest  /S against each manifest that must be refused: the
#             package with one byte changed, a manifest signed by a key the
#             build does not hold, an expired one, one under the version
#             floor, a valid one of another package, one with a byte
#             changed: exit code 2 each, nothing extracted, the failed check
#             in the log; then a package signed with the second key installs.
#   screenreader  a screen reader's client (screen_reader.exe, MSAA from
#             another process) walks every window's accessible tree and
#             drives the installer through it alone: a folder that cannot
#             be made raises an alert named with the prompt's words; then a
#             whole installation (the name set through the field's object,
#             确认 and 安装完成 pressed through theirs, the progress heard up
#             to 100 %, the focus heard on each page's main button), with
#             the full checks.
#   dpi       a whole installation at the DPI BOX_E2E_DPI gives (120, 144,
#             192), in a copy of the test prefix whose LogPixels is set
#             before its first program, on a display large enough for the
#             scaled windows: both windows at their logical size times the
#             scale; clicks at the scaled centres of 立即安装, 确认 and
#             安装完成 act and clicks just outside them do not; the log
#             names the scale, the art set and the font heights; the full
#             checks. At 192 the name window's button and the first slide
#             are compared with the 2x render of their sources (and an
#             enlarged 1x picture must not pass the same comparison).
#   escapereport  an API server that never answers, and Escape on the
#             progress page as the report reaches it: the window goes at
#             once, the installation completes with its name file (the
#             report waits out its bound without a window), exit code 0.
set -Eeuo pipefail
# A step that fails outside the checks below still says where: the last
# failed command is kept and told if the script ends on it.
failed_step=
trap 'failed_step="line $LINENO: $BASH_COMMAND"' ERR
build=$(cd "${1:?build dir}" && pwd) arch=${2:?arch} scenario=${3:?scenario} instance=${4:-$3}
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tools/common.sh"
source "$root/tools/wine-env.sh" "$build" "$arch"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY" >&2; exit 1; }
# The scale the windows are drawn at: the prefix's own (96) unless this is a
# DPI scenario. Coordinates below are the skins' logical pixels; click and
# window_of_size scale them as the installer does (halves round up).
dpi=96
[ "$scenario" = dpi ] && dpi=${BOX_E2E_DPI:?BOX_E2E_DPI}
sc() { echo $(((2 * $1 * dpi + 96) / 192)); }
if [ "$scenario" = dpi ]; then
  # A prefix of its own, its scale set before anything runs in it.
  dpi_prefix=$build/e2e-dpi-prefix-$WINEARCH-$instance
  bash "$root/tools/wine-dpi-prefix.sh" "$WINEPREFIX" "$dpi_prefix" "$dpi"
  export WINEPREFIX=$dpi_prefix
  # Room for the name window at 200 % (1422 x 924) and more: nothing may
  # lower the scale to fit the screen.
  source "$root/tools/xvfb.sh"
  box_start_xvfb 2880x1800
fi
export LC_ALL=zh_CN.UTF-8

# The build's own prefix kind keeps the screenshots the README shows; a run in
# the other kind (the i686 build under WoW64) keeps its own.
default_kind=win32
[ "$arch" = i686 ] || default_kind=win64
shots=$build/screenshots
[ "$WINEARCH" = "$default_kind" ] || shots=$build/screenshots-$WINEARCH
work=$build/e2e-$WINEARCH-$instance
servers_dir=${BOX_SERVERS_DIR:-$build/demo-servers}
rm -rf "$work"; mkdir -p "$work" "$shots"
drive=$WINEPREFIX/drive_c
# The box's name: the folder, the executables, the shortcuts and the key.
box=Box
if [ "$scenario" = chinese ]; then
  box=我的盒子
  export LC_ALL=${BOX_E2E_LOCALE:-zh_CN.UTF-8}
fi
[ "$scenario" = silentdir ] && box=我的盒子
target="$drive/Program Files/$box" target_win="C:\\Program Files\\$box"
if [ "$scenario" = silentdir ]; then
  target="$drive/Program Files/Box Folder/$box" target_win="C:\\Program Files\\Box Folder\\$box"
fi
package=$build/package/Orrery2.zip

fail() { echo "FAIL: $*" >&2; tell_logs; shot "failure-$instance"; failed_step=; exit 1; }
# What the installer and Wine last said, so that a failure far away (CI) can
# be understood from its output alone.
tell_logs() {
  local file
  for file in "$target/logs/InstallRotating.txt" "$work/wine.log"; do
    [ -s "$file" ] || continue
    echo "--- the last lines of $file:"
    tail -12 "$file" | iconv -f GBK -t UTF-8 -c
  done >&2
}
shot() { import -window root "$shots/$1.png" 2>/dev/null || true; }
shot_window() { import -window "$1" "$shots/$2.png" 2>/dev/null || true; }
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

servers_up=
# tmpfs disks a scenario mounts as Wine drives: "<drive letter>:<mount point>".
mounted_disks=()
mount_disk() { # letter size; sets $disk_point; fails where no tmpfs can be mounted
  local letter=$1
  disk_point=$work/disk-$1
  mkdir -p "$disk_point"
  mount -t tmpfs -o "size=$2" tmpfs "$disk_point" 2>/dev/null || return 1
  mounted_disks+=("$letter:$disk_point")
  rm -f "$WINEPREFIX/dosdevices/$letter:"
  ln -s "$disk_point" "$WINEPREFIX/dosdevices/$letter:"
}
unmount_disks() {
  [ ${#mounted_disks[@]} -gt 0 ] || return 0
  local entry
  "$BOX_WINESERVER" -k 2>/dev/null || true  # nothing of Wine may hold a disk
  sleep 0.5
  for entry in "${mounted_disks[@]}"; do
    rm -f "$WINEPREFIX/dosdevices/${entry%%:*}:"
    umount "${entry#*:}" 2>/dev/null || true
  done
  mounted_disks=()
}

# The HTTPS package server on the port the HTTPS installers are built for:
# nginx with one of the tests' certificates, or a redirect to plain http.
source "$root/tools/servers/tls-servers.sh"
tls_up=
tls_serve() { # good | expired | untrusted | wronghost | tohttp
  local run=$work/tls-nginx
  bash "$root/tools/servers/nginx.sh" stop "$run"
  mkdir -p "$work/www"
  tls_server_blocks "$build/tls" "$work/www" "$(cache_value BOX_PACKAGE_PORT)" "$package" /Orrery2.zip \
    "$1=$(cache_value BOX_TLS_PORT)" >"$work/tls-$1.conf"
  [ -f "$work/www/Orrery2.zip.sig.json" ] || sign_manifest release "$package" "$version_floor" "+30 days" \
    "$work/www/Orrery2.zip.sig.json"
  BOX_NGINX_EXTRA=$work/tls-$1.conf bash "$root/tools/servers/nginx.sh" start "$run" "$(free_port)" "$work/www" \
    >/dev/null || fail "nginx would not serve https with $1"
  tls_up=1
}
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
# The package's signed manifest, with one of the build's throwaway keys
# (release, second, or other: not in the build).
sign_manifest() { # key package version expires out
  bash "$root/tools/sign-package.sh" "$build/release-keys/$1/release.key" "$2" "$3" "$4" "$5" >/dev/null ||
    fail "could not sign $2"
}
version_floor=$(cache_value BOX_PACKAGE_VERSION_FLOOR)
# The current user's proxy settings, written as Internet Options writes them
# (the DefaultConnectionSettings value WinHTTP reads); flags 1 direct, 2 a
# named proxy, 4 a PAC script.
proxy_settings_set=
set_proxy() { # flags proxy [bypass]
  python3 - "$1" "$2" "${3:-}" >"$work/proxy.reg" <<'PY'
import struct, sys
flags, proxy, bypass = int(sys.argv[1]), sys.argv[2].encode(), sys.argv[3].encode()
value = struct.pack("<III", 0x46, 1, flags)
for text in (proxy, bypass, b""):
    value += struct.pack("<I", len(text)) + text
value += bytes(32)
print("REGEDIT4\n")
print("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections]")
print('"DefaultConnectionSettings"=hex:' + ",".join("%02x" % b for b in value))
PY
  "$BOX_WINE" regedit /S "Z:${work//\//\\}\\proxy.reg" >/dev/null 2>&1 || fail "the proxy settings were not imported"
  proxy_settings_set=1
}
clear_proxy() {
  "$BOX_WINE" reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections' \
    /v DefaultConnectionSettings /f >/dev/null 2>&1 || true
  proxy_settings_set=
}
proxies_up=()
start_proxy() { # name [config lines...]: sets $proxy_port
  proxy_port=$(free_port)
  tinyproxy_start "$work/proxies" "$1" "$proxy_port" "${@:2}" || fail "tinyproxy $1 would not start"
  proxies_up+=("$1")
}

cleanup() {
  local status=$?
  [ "$status" = 0 ] || [ -z "$failed_step" ] || echo "FAIL: exit $status after $failed_step" >&2
  [ -n "${installer_pid:-}" ] && kill "$installer_pid" 2>/dev/null || true
  "$BOX_WINE" taskkill /f /im "$box.exe" >/dev/null 2>&1 || true
  [ -n "$servers_up" ] && bash "$root/tools/servers/demo-servers.sh" stop "$build" >/dev/null 2>&1 || true
  [ -n "$tls_up" ] && bash "$root/tools/servers/nginx.sh" stop "$work/tls-nginx" >/dev/null 2>&1 || true
  local name
  for name in "${proxies_up[@]}"; do tinyproxy_stop "$work/proxies" "$name"; done
  [ -n "$proxy_settings_set" ] && clear_proxy
  if [ -n "${dpi_prefix:-}" ]; then
    "$BOX_WINESERVER" -k 2>/dev/null || true
    "$BOX_WINESERVER" -w 2>/dev/null || true
    box_stop_xvfb
    [ "$status" = 0 ] && rm -rf "$dpi_prefix"
  fi
  unmount_disks
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
  silentmanifest)
    # A copy the scenario may change, not the build's own package.
    served=$work/package.zip
    cp "$package" "$served"
    ;;
  broken | silentbroken)
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
# The full run is slowed to about 8 s of transfer, for the progress page's
# screenshot and Escape during the download.
[ "$scenario" = full ] && export BOX_NGINX_RATE=150k
[ "$scenario" = silentfaults ] && export BOX_PACKAGE_SERVER=fault
[ "$scenario" = escapereport ] && export BOX_API_ANSWER=silent
bash "$root/tools/servers/demo-servers.sh" start "$served" "$build" >/dev/null
servers_up=1
case "$scenario" in
  httpsrefused) installer=$build/tests/InstallHttps.exe; tls_serve untrusted ;;
  https | httpslogin)
    installer=$build/tests/InstallHttps.exe
    tls_serve good
    if [ "$scenario" = https ]; then start_proxy proxy; else start_proxy proxyauth "BasicAuth alice secret"; fi
    set_proxy 2 "127.0.0.1:$proxy_port" "<local>"
    ;;
  silenthttps) installer=$build/tests/InstallHttps.exe ;;
esac
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
quick_launch_made=no
case "$scenario" in
  full | silent) mkdir -p "$quick_launch"; rm -f "$quick_launch"/*.lnk; quick_launch_made=yes ;;
  https | httpslogin | httpsrefused | silenthttps | screenreader) rm -rf "$quick_launch" ;;
  again | keyboard | drag | planted | oldversion | upgrade | fulldisk | chinese | silentdir | silentfaults | escapereport | dpi)
    rm -rf "$quick_launch" ;;
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
window_of_size() { # width height [except] (logical pixels)
  local id geometry
  for id in $(xdotool search --onlyvisible --pid "$installer_pid" 2>/dev/null); do
    [ "$id" = "${3:-}" ] && continue
    geometry=$(xdotool getwindowgeometry "$id" 2>/dev/null | sed -n 's/.*Geometry: //p')
    if [ "$geometry" = "$(sc "$1")x$(sc "$2")" ]; then echo "$id"; return 0; fi
  done
  return 1
}
has_window() { window_of_size "$@" >/dev/null; }

# The question before leaving mid-way: the installer's one visible window
# besides the wizard.
question_box() { xdotool search --onlyvisible --pid "$installer_pid" 2>/dev/null | grep -v "^$wizard\$" | head -1; }
has_question() { [ -n "$(question_box)" ]; }
wait_for_question() { # prints the box's window
  wait_for 10 "the question before leaving" has_question >&2
  question_box
}

click() { # window x y (client coordinates, logical pixels)
  xdotool mousemove --window "$1" "$(sc "$2")" "$(sc "$3")" click 1
  sleep 0.3
}

# What the user got from a whole installation into $target ($target_win as
# Windows names it): the name file, the renamed and the extracted files, the
# shortcuts (Quick Launch when $quick_launch_made is yes), the uninstall key,
# the log and the signed report. $1: yes when the program must have been
# started (Finish, /RUN), no when it must not.
check_installed() { # yes|no
  # The name file holds the name in code page 936 on every system.
  [ "$(iconv -f GBK -t UTF-8 "$target/cvnname.dat")" = "$box" ] || fail "name file: $(od -c "$target/cvnname.dat" | head -2)"
  for f in "$box.exe" "${box}M.exe" "${box}A.exe" Uninstall.exe temp.zip; do [ -f "$target/$f" ] || fail "missing $f"; done
  for f in Corvina.exe CorvinaMain.exe CvnBrowserAide.exe; do [ ! -e "$target/$f" ] || fail "$f not renamed"; done
  # (The code page 936 entry is looked at by the chinese scenario.)
  unzip -Z1 "$package" | grep -v '/$' | grep -v -E '^(Corvina|CorvinaMain|CvnBrowserAide)\.exe$' | while read -r entry; do
    iconv -f UTF-8 -t UTF-8 <<<"$entry" >/dev/null 2>&1 || continue
    [ -f "$target/$entry" ] || fail "missing extracted $entry"
  done

  links=$(find "$drive/users" "$HOME" -name '*.lnk' -newer "$target/temp.zip" 2>/dev/null | sort)
  # Wine links the desktop folder to $HOME/Desktop, or to $HOME itself when that
  # folder did not exist as the prefix was made.
  # Matched in the shell: a pipe into grep -q failed once in a whole run
  # for a list that held the line (pipefail, under load).
  has_link() { local link; while IFS= read -r link; do [[ $link =~ $1 ]] && return 0; done <<<"$links"; return 1; }
  has_link "(/Desktop|^$HOME)/$box\.lnk$" || fail "desktop shortcut: $links"
  has_link "/Programs/$box/$box\.lnk$" || fail "start menu shortcut: $links"
  has_link "/Programs/$box/卸载\.lnk$" || fail "uninstall shortcut: $links"
  if [ "$quick_launch_made" = yes ]; then
    has_link "/Quick Launch/$box\.lnk$" || fail "quick launch shortcut: $links"
  else
    [ ! -d "$quick_launch" ] || fail "quick launch folder made"
  fi

  # A 32-bit installer's key: on a 64-bit system under Wow6432Node of the
  # 64-bit view (what the system's list of 32-bit programs reads), and nothing
  # in the 64-bit programs' branch; on a 32-bit system in the plain branch.
  # Tried again: in one whole parallel run Wine's reg failed to export a key
  # that the registry held (written two seconds before, by its timestamp).
  export_key() { # key [/reg:64]
    local try
    for try in 1 2 3; do
      "$BOX_WINE" reg export "$1" "$work/key.reg" /y "${@:2}" >"$work/reg.out" 2>&1 && return 0
      sleep 1
    done
    return 1
  }
  if [ "$system_arch" = x86 ]; then
    export_key "$plain" || fail "no uninstall key $plain: $(tail -3 "$work/reg.out")"
  else
    export_key "$wow" /reg:64 || fail "no uninstall key $wow on this $system_arch system: $(tail -3 "$work/reg.out")"
    ! "$BOX_WINE" reg query "$plain" /reg:64 >/dev/null 2>&1 || fail "uninstall key in the 64-bit programs' branch"
  fi
  iconv -f UTF-16 -t UTF-8 "$work/key.reg" >"$work/key.txt"
  for value in DisplayName DisplayIcon DisplayVersion Publisher UninstallString; do
    grep -q "\"$value\"=" "$work/key.txt" || fail "uninstall value $value"
  done
  grep -q "\"DisplayName\"=\"$box\"" "$work/key.txt" || fail "DisplayName"
  # reg export doubles every backslash.
  escaped=${target_win//\\/\\\\}
  grep -qF "\"UninstallString\"=\"\\\"$escaped\\\\Uninstall.exe\\\"\"" "$work/key.txt" ||
    fail "UninstallString not the quoted path: $(grep UninstallString "$work/key.txt")"

  log_text=$(iconv -f GBK -t UTF-8 "$target/logs/InstallRotating.txt")
  # Started as the desktop user through the desktop's shell where there is one
  # to ask, else directly (Wine's explorer registers no desktop window).
  start_path=$(grep -oE 'started the program through the desktop shell|no desktop shell to start the program through' <<<"$log_text" | tail -1) || true
  if [ "$1" = yes ]; then
    wait_for 30 "the started program's marker" test -f "$target/started.marker"
    [ -n "$start_path" ] || fail "the log does not say how the program was started"
    echo "installed program: $start_path"
  else
    sleep 2
    [ ! -e "$target/started.marker" ] || fail "the program was started"
    [ -z "$start_path" ] || fail "the log says the program was started: $start_path"
  fi
  for line in '\[D\] \[thread [0-9]+\] downloading' '\[I\] \[thread [0-9]+\] range0-' '\[D\] \[thread [0-9]+\] Unzip success!'; do
    grep -Eq "$line" <<<"$log_text" || fail "log line $line"
  done
  requests=$(curl -s "http://127.0.0.1:$api_port/_log?tag=default")
  [ "$(grep -c '^valid ' <<<"$requests")" -ge 1 ] || fail "no signed report: $requests"
  ! grep -q '^invalid ' <<<"$requests" || fail "a report with a bad signature: $requests"
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
plain="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$box"
wow="HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$box"

# Wine runs the program itself (it then names the process after the
# executable), or the program has ended.
running() { # the program has started, or ended
  kill -0 "$installer_pid" 2>/dev/null || return 0
  tr '\0' '\n' <"/proc/$installer_pid/cmdline" 2>/dev/null | head -1 | grep -qF "$(basename "$installer")"
}

if [ "$scenario" = screenreader ]; then
  reader=$build/tests/screen_reader.exe
  # Runs the installer and the screen reader beside it; sets $status to the
  # reader's exit code, once the installer has ended.
  read_and_install() { # report reader-arguments...
    local report=$1; shift
    (cd "$work" && exec env WINEDEBUG=${BOX_E2E_WINEDEBUG:--all,err+winediag} "$BOX_WINE" "$installer") \
      >>"$work/wine.log" 2>&1 &
    installer_pid=$!
    "$BOX_WINE" "$reader" "$@" "Z:${report//\//\\}" >>"$work/reader.log" 2>&1 && status=0 || status=$?
    wait_for 120 "the installer to end" bash -c "! kill -0 $installer_pid 2>/dev/null"
    installer_pid=
    echo "--- $(basename "$report")"; cat "$report"
  }
  # A folder under a file: the prompt is an alert that says why.
  mkdir -p "$drive/blocker-parent"; : >"$drive/blocker-parent/file"
  read_and_install "$work/baddir.txt" baddir Box 'C:\blocker-parent\file\sub'
  [ "$status" = 0 ] || fail "the screen reader could not refuse a folder: $(tail -3 "$work/baddir.txt")"
  grep -q '^heard alert: alert "创建文件夹失败' "$work/baddir.txt" || fail "no alert named with the prompt's words"
  [ ! -e "$target" ] || fail "installed after the refused folder"
  # The whole installation through the accessibility interface alone.
  read_and_install "$work/install.txt" install Box
  [ "$status" = 0 ] || fail "the screen reader could not install the box: $(grep FAIL "$work/install.txt")"
  grep -q '^heard focus: pushbutton "确认"' "$work/install.txt" || fail "the directory page's focus was not heard"
  grep -q '^heard value: progressbar "安装进度" value "100%"' "$work/install.txt" || fail "the progress never reached 100 %"
  grep -q '^heard focus: pushbutton "安装完成"' "$work/install.txt" || fail "the finish page's focus was not heard"
  check_installed yes
  echo "PASS $scenario"
  exit 0
fi

# The unattended installation (Install.exe /S ...): no window at any moment,
# the exit code tells the result, and on failure nothing half-installed.
if [[ "$scenario" == silent* ]]; then
  # A refused run or a folder that cannot be made logs here, where nothing
  # was installed.
  early_log() { find "$drive/users" -name InstallUnattended.txt 2>/dev/null | head -1; }
  early=$(early_log)
  [ -z "$early" ] || rm -f "$early"

  # Runs Install.exe with the arguments given, in the background, and waits
  # for its end, failing if it ever shows a window; sets $status.
  run_unattended() { # seconds argument...
    local seconds=$1; shift
    local end=$((SECONDS + seconds)) seen
    (cd "$work" && exec env WINEDEBUG=${BOX_E2E_WINEDEBUG:--all,err+winediag} "$BOX_WINE" "$installer" "$@") \
      >"$work/wine.log" 2>&1 &
    installer_pid=$!
    while kill -0 "$installer_pid" 2>/dev/null; do
      seen=$(xdotool search --onlyvisible --pid "$installer_pid" 2>/dev/null | head -1) || true
      if [ -n "$seen" ]; then
        shot "silent-window"
        fail "a window showed during Install.exe $*: $(xdotool getwindowname "$seen" 2>/dev/null)"
      fi
      [ $SECONDS -lt $end ] || fail "Install.exe $* did not end within $seconds s"
      sleep 0.2
    done
    wait "$installer_pid" && status=0 || status=$?
    installer_pid=
    echo "Install.exe $*: exit code $status"
  }
  # The uninstall key of $box in the branch this system gives a 32-bit program.
  key_exists() {
    if [ "$system_arch" = x86 ]; then
      "$BOX_WINE" reg query "$plain" >/dev/null 2>&1
    else
      "$BOX_WINE" reg query "$wow" /reg:64 >/dev/null 2>&1 || "$BOX_WINE" reg query "$plain" /reg:64 >/dev/null 2>&1
    fi
  }
  box_links() { find "$drive/users" "$HOME" \( -name "$box.lnk" -o -path "*/Programs/$box" \) 2>/dev/null || true; }
  # What an earlier scenario installed as $box: gone, so that its absence
  # afterwards means something.
  remove_installation() {
    rm -rf "$target"
    box_links | while read -r link; do rm -rf "$link"; done
    local key
    for key in "$plain" "$wow"; do
      "$BOX_WINE" reg delete "$key" /f >/dev/null 2>&1 || true
      "$BOX_WINE" reg delete "$key" /f /reg:64 >/dev/null 2>&1 || true
    done
    ! key_exists || fail "could not remove an earlier uninstall key"
  }
  # No shortcut, no uninstall key, no report, no name file, no program
  # started; with "folder" nor the installation folder itself.
  assert_nothing_installed() { # what [folder]
    if [ "${2:-}" = folder ]; then
      [ ! -e "$target" ] || fail "$1: made $target: $(ls "$target")"
    else
      for f in cvnname.dat "$box.exe" "${box}M.exe" "${box}A.exe" started.marker; do
        [ ! -e "$target/$f" ] || fail "$1: left $f"
      done
    fi
    [ -z "$(box_links)" ] || fail "$1: shortcuts $(box_links)"
    ! key_exists || fail "$1: an uninstall key"
    requests=$(curl -s "http://127.0.0.1:$api_port/_log?tag=default")
    ! grep -qE '^(valid|invalid) ' <<<"$requests" || fail "$1: reported the installation: $requests"
  }
  early_text() { local file; file=$(early_log); [ -n "$file" ] && iconv -f GBK -t UTF-8 "$file"; }

  case "$scenario" in
    silent)
      # As the full scenario, with Quick Launch: everything, then /RUN.
      remove_installation
      run_unattended 120 /S /NAME=Box /RUN
      [ "$status" = 0 ] || fail "exit code $status: $(tail -5 "$work/wine.log")"
      # Done before the end: the report and the name file are there at once.
      [ -f "$target/cvnname.dat" ] || fail "ended before the name file"
      check_installed yes
      grep -q "unattended installation (/S) of Box into C:\\\\Program Files\\\\Box\\\\, then starting it (/RUN)" <<<"$log_text" ||
        fail "no line saying it ran unattended: $log_text"
      grep -q 'unattended installation finished (exit code 0)' <<<"$log_text" || fail "no closing line: $log_text"
      [ -z "$(early_log)" ] || fail "a successful run wrote the early log: $(early_text)"
      ;;
    silentdir)
      # A Chinese name and a picked folder with spaces, quoted, ending in a
      # backslash: the name is appended as the directory page appends it.
      # Without /RUN nothing is started.
      remove_installation
      run_unattended 120 /s "/name=$box" '/D=C:\Program Files\Box Folder\'
      [ "$status" = 0 ] || fail "exit code $status: $(tail -5 "$work/wine.log")"
      check_installed no
      ;;
    silentargs)
      remove_installation
      refused=0
      for line in '/S /NAME=2019' '/S /NAME=Box!' '/S' '/S /RUN /D=C:\Apps' '/S /NAME=Box /FOO' \
                  '/S /NAME=Box /D=C:\Program Files\Box' '/FOO' '/NAME=Box' '/S /NAME=Box /S' '/S /NAME=Box /?'; do
        # Word-split on purpose: the unquoted folder with a space is one of
        # the cases.
        # shellcheck disable=SC2086
        run_unattended 60 $line
        [ "$status" = 1 ] || fail "Install.exe $line: exit code $status, not 1"
        grep -q 'command line refused, nothing installed (exit code 1)' "$work/wine.log" ||
          fail "Install.exe $line: nothing on standard error: $(tail -3 "$work/wine.log")"
        assert_nothing_installed "Install.exe $line" folder
        refused=$((refused + 1))
      done
      text=$(early_text) || fail "no log of the refused runs"
      [ "$(grep -c 'command line refused' <<<"$text")" = "$refused" ] || fail "not $refused refusals logged: $text"
      for reason in 'the box name "2019" is not allowed' 'the box name "Box!" is not allowed' '/S needs /NAME=<box name>' \
                    'unknown argument "/FOO"' 'unknown argument "Files\Box"' '"/NAME=Box" needs /S' \
                    'argument given twice: "/S"' '/? takes no other arguments'; do
        grep -qF "$reason" <<<"$text" || fail "no reason $reason in: $text"
      done
      ;;
    silentbaddir)
      remove_installation
      # A folder under a file, and a folder given relative to wherever the
      # installer was started.
      mkdir -p "$drive/blocker-parent"; : >"$drive/blocker-parent/file"
      run_unattended 60 /S /NAME=Box '/D=C:\blocker-parent\file\sub'
      [ "$status" = 3 ] || fail "a folder under a file: exit code $status, not 3"
      [ ! -e "$drive/blocker-parent/file/sub" ] || fail "made a folder under a file"
      assert_nothing_installed "a folder under a file" folder
      mkdir -p "$work/Apps"
      run_unattended 60 /S /NAME=Box /D=Apps
      [ "$status" = 3 ] || fail "a relative folder: exit code $status, not 3"
      [ ! -e "$work/Apps/Box" ] || fail "installed into a relative folder"
      assert_nothing_installed "a relative folder" folder
      text=$(early_text) || fail "no log of the folders not made"
      [ "$(grep -c '(exit code 3): 创建文件夹失败：' <<<"$text")" = 2 ] || fail "not two lines of the prompt's words: $text"
      grep -qF '路径不完整，请选择完整的文件夹路径 (Apps\Box\, error 161)' <<<"$text" ||
        fail "the relative folder's line: $text"
      ;;
    silentbroken)
      # A package that is not a zip: the wizard's three passes, then exit 2
      # with the folder holding only the log.
      remove_installation
      run_unattended 120 /S /NAME=Box /RUN
      [ "$status" = 2 ] || fail "exit code $status, not 2"
      assert_nothing_installed "a broken package"
      log_text=$(iconv -f GBK -t UTF-8 "$target/logs/InstallRotating.txt")
      [ "$(grep -c 'Unzip failed，redownload' <<<"$log_text")" = 3 ] || fail "not three failed passes: $log_text"
      [ "$(grep -c '\] range0-' <<<"$log_text")" = 3 ] || fail "not three downloads: $log_text"
      grep -q '解压失败,安装中止' <<<"$log_text" || fail "no abort line: $log_text"
      grep -q 'unattended installation failed (exit code 2)' <<<"$log_text" || fail "no closing line: $log_text"
      [ ! -e "$target/temp.zip" ] || fail "the refused package stayed on the disk"
      grep -q 'unattended installation failed (exit code 2): see C:\\Program Files\\Box\\logs\\InstallRotating.txt' \
        "$work/wine.log" || fail "nothing on standard error: $(tail -3 "$work/wine.log")"
      ;;
    silentfaults)
      package_port=$(cache_value BOX_PACKAGE_PORT)
      www=$servers_dir/www
      plan() { curl -sf "http://127.0.0.1:$package_port/_plan?plan=$1" >/dev/null || fail "the fault server took no plan $1"; }
      requests() { curl -s "http://127.0.0.1:$package_port/_log?tag="; }
      size=$(stat -c %s "$package")

      # Zeros without end: each pass stops at the pinned size, and the
      # installation ends with nothing of it on the disk.
      remove_installation
      plan endless
      started=$SECONDS
      run_unattended 120 /S /NAME=Box
      [ "$status" = 2 ] || fail "an endless answer: exit code $status, not 2"
      echo "an endless answer: exit code 2 after $((SECONDS - started)) s"
      [ ! -e "$target/temp.zip" ] || fail "an endless answer left temp.zip ($(stat -c %s "$target/temp.zip") bytes)"
      [ "$(requests | grep -c '^endless ')" = 3 ] || fail "not one request a pass: $(requests)"
      log_text=$(iconv -f GBK -t UTF-8 "$target/logs/InstallRotating.txt")
      grep -q "the answer is longer than the $size bytes the package may have (its pinned or signed size)" <<<"$log_text" ||
        fail "no line about the bound: $log_text"
      assert_nothing_installed "an endless answer"

      # A server that announces a byte more than it has, sends what it has,
      # then hangs up: to the pinned installer that is an answer longer than
      # the package, refused at once in each of the three passes, then exit
      # 2, where the file's start and end used to alternate for ever.
      remove_installation
      plan ok+overlong
      started=$SECONDS
      run_unattended 120 /S /NAME=Box
      [ "$status" = 2 ] || fail "a server that fails after its last byte: exit code $status, not 2"
      echo "a server that fails after its last byte: exit code 2 after $((SECONDS - started)) s, $(requests | grep -c .) requests"
      [ "$(requests | grep -c .)" = 3 ] || fail "not one request a pass: $(requests)"
      assert_nothing_installed "a server that fails after its last byte"

      # A folder that stands on a read-only disk: refused before the
      # download, with the cause, and not blamed on the network.
      if mount_disk r 4m; then
        ro=$disk_point
        mkdir "$ro/Box"
        mount -o remount,ro "$ro"
        plan ok
        early=$(early_log); [ -z "$early" ] || rm -f "$early"
        run_unattended 60 /S /NAME=Box '/D=R:\'
        [ "$status" = 3 ] || fail "a read-only folder: exit code $status, not 3"
        [ -z "$(requests)" ] || fail "a read-only folder still asked the package server: $(requests)"
        text=$(early_text) || fail "no log of the read-only folder"
        grep -Eq '\(exit code 3\): 创建文件夹失败：(磁盘被写保护|没有写入权限)' <<<"$text" || fail "the read-only folder's line: $text"
        grep -Eq 'error (5|19)\)' "$work/wine.log" || fail "nothing on standard error: $(tail -3 "$work/wine.log")"
      else
        echo "SKIP: the read-only disk (no tmpfs can be mounted here)"
      fi

      # Zeros without end to the installer without a pin, on a small disk:
      # the download stops short of the disk's free space, the installation
      # stops, and the disk is left as free as it was.
      if mount_disk t 24m; then
        small=$disk_point
        plan endless
        started=$SECONDS
        pinned=$installer installer=$build/tests/InstallUnpinned.exe
        run_unattended 120 /S /NAME=Box '/D=T:\'
        installer=$pinned
        [ "$status" = 2 ] || fail "an endless answer on a small disk: exit code $status, not 2"
        used=$(df --output=used -B1 "$small" | tail -1)
        echo "an endless answer on a 24 MiB disk: exit code 2 after $((SECONDS - started)) s, $used bytes left in use"
        [ ! -e "$small/Box/temp.zip" ] || fail "temp.zip left on the small disk"
        [ "$used" -lt $((2 << 20)) ] || fail "the small disk was left with $used bytes in use: $(ls -la "$small/Box")"
        log_text=$(iconv -f GBK -t UTF-8 "$small/Box/logs/InstallRotating.txt")
        grep -q "bytes the package may have (the disk's free space)" <<<"$log_text" || fail "no line about the disk: $log_text"
        [ "$(requests | grep -c '^endless ')" = 1 ] || fail "fetched again although the disk stays small: $(requests)"
      else
        echo "SKIP: the endless answer on a small disk (no tmpfs can be mounted here)"
      fi

      # The same server to the installer without a pin: the range at the
      # file's end gets 416 with the length held, so the file is whole, and
      # it installs.
      remove_installation
      plan ok+overlong
      pinned=$installer installer=$build/tests/InstallUnpinned.exe
      run_unattended 120 /S /NAME=Box
      installer=$pinned
      [ "$status" = 0 ] || fail "a server that fails after its last byte, unpinned: exit code $status, not 0"
      requests | grep -q "^ok+overlong bytes=$size-\$" || fail "no request for the range at the end: $(requests)"
      check_installed no
      ;;
    silenthttps)
      # Each refusal ends the unattended installation with exit code 2 after
      # three attempts, nothing extracted, and the log names the cause.
      refuse() { # description cause-in-log
        remove_installation
        local started=$SECONDS
        run_unattended 120 /S /NAME=Box
        [ "$status" = 2 ] || fail "$1: exit code $status, not 2"
        echo "$1: exit code 2 after $((SECONDS - started)) s"
        assert_nothing_installed "$1"
        [ ! -e "$target/data" ] || fail "$1: something was extracted"
        local text; text=$(iconv -f GBK -t UTF-8 "$target/logs/InstallRotating.txt")
        grep -q "$2" <<<"$text" || fail "$1: the log does not say \"$2\": $text"
        grep -q 'download refused 3 times in a row' <<<"$text" || fail "$1: not three refusals: $text"
      }
      tls_serve untrusted
      refuse "an untrusted certificate" "is issued by an authority this system does not trust"
      tls_serve expired
      refuse "an expired certificate" "is expired or not yet valid"
      tls_serve wronghost
      refuse "a certificate for another host" "is issued for another host name"
      tls_serve tohttp
      refuse "a redirect to plain http" "a redirect to a protocol not allowed"
      tls_serve good
      start_proxy proxyrefuse "ConnectPort 443"
      set_proxy 2 "127.0.0.1:$proxy_port"
      refuse "a proxy that refuses the tunnel" "the proxy refused the connection"
      start_proxy proxyauth "BasicAuth alice secret"
      set_proxy 2 "127.0.0.1:$proxy_port"
      refuse "a proxy that wants a login" "the proxy wants a login that was not given"
      clear_proxy
      # The first address refuses the connection; the mirror serves.
      remove_installation
      installer=$build/tests/InstallMirrors.exe
      run_unattended 120 /S /NAME=Box
      [ "$status" = 0 ] || fail "the mirror: exit code $status: $(tail -5 "$work/wine.log")"
      check_installed no
      grep -q "next attempt from https://127.0.0.1:$(cache_value BOX_TLS_PORT)/Orrery2.zip" <<<"$log_text" ||
        fail "the mirror was not logged: $log_text"
      ;;
    silentmanifest)
      manifest=$servers_dir/www/Orrery2.zip.sig.json
      # Each refused: three passes, exit code 2, nothing extracted, and the
      # log names the check that failed.
      refuse() { # description check-in-log
        remove_installation
        run_unattended 120 /S /NAME=Box
        [ "$status" = 2 ] || fail "$1: exit code $status, not 2"
        assert_nothing_installed "$1"
        [ ! -e "$target/data" ] || fail "$1: something was extracted"
        local text; text=$(iconv -f GBK -t UTF-8 "$target/logs/InstallRotating.txt")
        [ "$(grep -c "$2" <<<"$text")" = 3 ] || fail "$1: not three passes failing \"$2\": $text"
        echo "$1: refused ($2)"
      }
      served_package=$served
      cp "$served_package" "$work/original.zip"
      # One byte of the package changed after signing.
      python3 - "$served_package" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 0x01
open(sys.argv[1], "wb").write(data)
PY
      refuse "a package changed after signing" "package check failed: SHA-256"
      cp "$work/original.zip" "$served_package"
      sign_manifest other "$served_package" "$version_floor" "+30 days" "$manifest"
      refuse "a manifest signed by another key" "manifest check failed: signature"
      sign_manifest release "$served_package" "$version_floor" "2020-01-01" "$manifest"
      refuse "an expired manifest" "manifest check failed: expired"
      sign_manifest release "$served_package" "$((version_floor - 1))" "+30 days" "$manifest"
      refuse "a version under the floor" "manifest check failed: version"
      # A valid manifest of another, older package: its size and hash are not
      # the package's.
      head -c 300000 /dev/urandom >"$work/older.zip"
      sign_manifest release "$work/older.zip" "$version_floor" "+30 days" "$manifest"
      # (Its size bounds the download: the longer package is refused as it
      # comes.)
      refuse "a valid manifest of another package" "the answer is longer than the 300000 bytes"
      # One byte of the manifest changed: its signature no longer holds.
      sign_manifest release "$served_package" "$version_floor" "+30 days" "$manifest"
      python3 - "$manifest" <<'PY'
import base64, json, sys
envelope = json.load(open(sys.argv[1]))
signed = bytearray(base64.b64decode(envelope["manifest"]))
signed[signed.index(b'"version":') + 10] ^= 0x01  # 5 becomes 4, 4 becomes 5...
envelope["manifest"] = base64.b64encode(bytes(signed)).decode()
open(sys.argv[1], "w").write(json.dumps(envelope))
PY
      refuse "a manifest with one byte changed" "manifest check failed: signature"
      # The second key of the build signs as well as the first.
      sign_manifest second "$served_package" "$((version_floor + 1))" "+30 days" "$manifest"
      remove_installation
      run_unattended 120 /S /NAME=Box
      [ "$status" = 0 ] || fail "the second key's manifest: exit code $status"
      check_installed no
      grep -q "manifest check passed: version $((version_floor + 1)), signed by release key 2" <<<"$log_text" ||
        fail "the second key's manifest was not logged: $log_text"
      ;;
    silentusage)
      # The one window of the command line: the usage box, closed with Enter.
      remove_installation
      (cd "$work" && exec env WINEDEBUG=${BOX_E2E_WINEDEBUG:--all,err+winediag} "$BOX_WINE" "$installer" '/?') \
        >"$work/wine.log" 2>&1 &
      installer_pid=$!
      wait_for 120 "Wine to start Install.exe" running
      usage_box() { xdotool search --onlyvisible --pid "$installer_pid" 2>/dev/null | head -1 | grep .; }
      wait_for 60 "the usage box" usage_box
      box_window=$(usage_box)
      sleep 1
      shot silent-usage
      geometry=$(xdotool getwindowgeometry "$box_window" | sed -n 's/.*Geometry: //p')
      echo "usage box $geometry"
      xdotool windowfocus "$box_window" 2>/dev/null || true
      xdotool key --window "$box_window" Return
      wait_for 30 "the installer to end" bash -c "! kill -0 $installer_pid 2>/dev/null"
      wait "$installer_pid" && status=0 || status=$?
      installer_pid=
      [ "$status" = 0 ] || fail "exit code $status after the usage box"
      assert_nothing_installed "the usage box" folder
      ;;
    *) fail "no such scenario: $scenario" ;;
  esac
  echo "PASS $scenario"
  exit 0
fi

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
          mswsock.dll netapi32.dll wininet.dll urlmon.dll oleacc.dll winhttp.dll credui.dll sspicli.dll
          schannel.dll ncrypt.dll"
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
wait_for 120 "Wine to start $(basename "$installer")" running
alive_or_fail() {
  kill -0 "$installer_pid" 2>/dev/null && return 0
  wait "$installer_pid" && status=0 || status=$?
  installer_pid=
  fail "Install.exe ended (exit code $status) before its window showed: $(tail -5 "$work/wine.log")"
}
window_or_end() { alive_or_fail; has_window "$@"; }
# The Chinese texts the framework draws must be the same glyphs whatever the
# system's code page: code page 936 draws them (its reference crops are kept),
# the others must draw the same pixels, not empty boxes. A crop of a window:
chinese_glyphs() { # window what WxH+X+Y (logical pixels; the prefix is at 96 DPI)
  local crop=$shots/chinese-$2-$instance.png reference=$shots/chinese-$2-chinese_936.png differing
  import -window "$1" "$work/$2.png" 2>/dev/null || fail "no screenshot of the $2"
  convert "$work/$2.png" -crop "$3" +repage "$crop"
  [ "$instance" = chinese_936 ] && return 0
  [ -f "$reference" ] || fail "no reference crop from code page 936 ($reference)"
  differing=$(compare -metric AE -fuzz 10% "$reference" "$crop" null: 2>&1) || true
  # A few pixels of anti-aliasing may differ; empty boxes differ in hundreds.
  [ "${differing%%.*}" -le 40 ] 2>/dev/null ||
    fail "the $2 is drawn otherwise than on code page 936 ($differing pixels differ): $crop"
  echo "the $2 is drawn as on code page 936 ($differing pixels differ)"
}

wait_for 60 "the name window" window_or_end 711 462
name=$(window_of_size 711 462)
sleep 1
[ "$scenario" = full ] && shot 01-name-window
# The field's hint, in the font of the status line too.
[ "$scenario" = chinese ] && chinese_glyphs "$name" hint 348x41+313+293

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
    # Characters that no key carries: through the field's accessible object
    # (xdotool would remap a key for each, and under load Wine reads some
    # after the mapping has changed again; the keyboard scenario types).
    "$BOX_WINE" "$build/tests/screen_reader.exe" name "$box" "Z:${work//\//\\}\\name.txt" >/dev/null 2>&1 ||
      fail "the name could not be set: $(cat "$work/name.txt" 2>/dev/null)"
  else
    xdotool type --delay 80 "$box"
  fi
  sleep 0.5
  if [ "$scenario" = dpi ]; then
    shot_window "$name" "dpi-$dpi-name-window"
    # Two pixels left of 立即安装 (391..572 x 371..437): nothing opens.
    click "$name" 389 404
    sleep 1.5
    has_window 647 449 && fail "a click beside 立即安装 opened the wizard"
  fi
  click "$name" 482 405        # 立即安装
fi
wait_for 60 "the wizard" has_window 647 449
wizard=$(window_of_size 647 449)
sleep 1
# The folder field, 我的盒子 in its path (up to the browse button).
[ "$scenario" = chinese ] && chinese_glyphs "$wizard" folder 346x25+123+376

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
  click "$prompt" 323 182      # 确认 on the prompt
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
  # extracted, no pass is tried again, the page says why, and the package
  # goes from the disk.
  stopped() { grep -q 'not enough disk space: needs' "$target/logs/InstallRotating.txt" 2>/dev/null; }
  wait_for 60 "the installation to stop on the small disk" stopped
  sleep 2
  kill -0 "$installer_pid" 2>/dev/null || fail "the installer ended"
  [ ! -e "$target/temp.zip" ] || fail "the package stayed on the full disk"
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
  dpi)
    shot_window "$wizard" "dpi-$dpi-directory-page"
    # Two pixels right of 确认 (516..604 x 375..403): nothing starts.
    click "$wizard" 606 389
    sleep 1.5
    [ ! -e "$target" ] || fail "a click beside 确认 started the installation"
    click "$wizard" 560 389    # 确认 (Next)
    ;;
  *)
    click "$wizard" 560 389    # 确认 (Next)
    ;;
esac

if [ "$scenario" = broken ]; then
  # Three passes of at least 3 s each, each ending in a failed extraction;
  # then the window stays on the progress page with the last status text
  # (shown with D).
  # (Each pass fetches the signed manifest and then the package, 3 s apart.)
  sleep 24
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
  [ "$(grep -c '\] range0-' <<<"$log_text")" = 3 ] || fail "not three downloads: $log_text"
  if [ -n "$(cache_value BOX_PACKAGE_SHA256)" ]; then
    # The pinned installer refuses the bytes before it would try to unpack them.
    [ "$(grep -c 'package check failed' <<<"$log_text")" = 3 ] || fail "not three failed package checks: $log_text"
  fi
  echo "PASS broken"
  exit 0
fi

if [ "$scenario" = httpsrefused ]; then
  # Two attempts refused, each told on the page; then Escape.
  refused() { grep -c 'is issued by an authority this system does not trust' "$target/logs/InstallRotating.txt" 2>/dev/null | grep -qv '^[01]$'; }
  wait_for 60 "two refused attempts" refused
  sleep 1
  shot https-untrusted-progress-page
  kill -0 "$installer_pid" 2>/dev/null || fail "the installer ended"
  [ ! -e "$target/temp.zip" ] || [ ! -s "$target/temp.zip" ] || fail "bytes of a refused server were kept"
  for f in Corvina.exe Box.exe data cvnname.dat; do [ ! -e "$target/$f" ] || fail "$f is there"; done
  # Escape while it still tries asks first; 确定 (the first button) leaves.
  xdotool key --window "$wizard" Escape
  box_id=$(wait_for_question)
  sleep 0.5
  xdotool windowfocus "$box_id" 2>/dev/null || true
  xdotool key --window "$box_id" shift+Tab Return
  escaped=$SECONDS
  wait_for 10 "the installer to end after Escape" bash -c "! kill -0 $installer_pid 2>/dev/null"
  installer_pid=
  echo "the installer ended $((SECONDS - escaped)) s after Escape"
  echo "PASS $scenario"
  exit 0
fi

if [ "$scenario" = httpslogin ]; then
  # The proxy wants a login: the system's dialog, owned by the wizard.
  login_dialog() { # the visible window of the installer that is not the wizard, on standard output
    local id
    for id in $(xdotool search --onlyvisible --pid "$installer_pid" 2>/dev/null); do
      [ "$id" = "$wizard" ] || { echo "$id"; return 0; }
    done
    return 1
  }
  type_login() { # user password
    wait_for 60 "the proxy login dialog" login_dialog >/dev/null
    local dialog; dialog=$(login_dialog)
    sleep 1
    shot "proxy-login-$2"
    # Into the user name's field, then the password's; keys as a user
    # types them (Wine takes no synthetic events sent to one window).
    click "$dialog" 245 120
    xdotool type --delay 50 "$1"
    xdotool key Tab
    xdotool type --delay 50 "$2"
    sleep 0.3
    shot "proxy-login-$2-typed"
    xdotool key Return
    wait_for 30 "the dialog to close" bash -c "! xdotool search --onlyvisible --pid $installer_pid 2>/dev/null | grep -qx $dialog"
  }
  type_login alice wrong
  type_login alice secret
fi

if [ "$scenario" = escapereport ]; then
  # The report goes to a server that never answers; Escape as it arrives.
  reported() { curl -s "http://127.0.0.1:$api_port/_log?tag=default" | grep -q '^valid '; }
  wait_for 120 "the report on the server" reported
  xdotool key --window "$wizard" Escape
  escaped=$SECONDS
  # The window goes at once: nothing waits for the report on its thread.
  wizard_gone() { ! xdotool search --onlyvisible --pid "$installer_pid" 2>/dev/null | grep -q .; }
  wait_for 5 "the wizard to close after Escape" wizard_gone
  echo "the wizard closed $((SECONDS - escaped)) s after Escape"
  # The installation finishes without it, once the report has waited out
  # its bound, and the process ends with it.
  wait_for 60 "the installer to end" bash -c "! kill -0 $installer_pid 2>/dev/null"
  wait "$installer_pid" && status=0 || status=$?
  installer_pid=
  [ "$status" = 0 ] || fail "exit code $status"
  echo "the installer ended $((SECONDS - escaped)) s after Escape"
  check_installed no
  echo "PASS $scenario"
  exit 0
fi

# The progress page mid-way: the download starts after a 3 s pause.
if [ "$scenario" = full ]; then
  sleep 5
  shot 03-progress-page
  # Escape during the download asks first; Escape again answers "stay", and
  # the installation goes on.
  xdotool key --window "$wizard" Escape
  box_id=$(wait_for_question)
  sleep 0.5
  shot 10-leave-question
  xdotool windowfocus "$box_id" 2>/dev/null || true
  xdotool key --window "$box_id" Escape
  question_gone() { [ "$(question_box)" != "$box_id" ]; }
  wait_for 10 "the question to go" question_gone
  kill -0 "$installer_pid" 2>/dev/null || fail "the installer ended although the user chose to stay"
fi
wait_for 120 "the finish page (name file)" test -f "$target/cvnname.dat"
sleep 1
[ "$scenario" = full ] && shot 04-finish-page
rm -f "$target/started.marker"
if [ "$scenario" = keyboard ]; then
  xdotool windowfocus "$wizard" 2>/dev/null || true
  xdotool key Return           # 安装完成, which has the focus
else
  if [ "$scenario" = dpi ]; then
    shot_window "$wizard" "dpi-$dpi-finish-page"
    # Two pixels left of 安装完成 (254..394 x 378..413): the page stays.
    click "$wizard" 252 395
    sleep 1.5
    kill -0 "$installer_pid" 2>/dev/null || fail "a click beside 安装完成 ended the installer"
    [ ! -e "$target/started.marker" ] || fail "a click beside 安装完成 started the program"
  fi
  click "$wizard" 324 395      # 安装完成 (Finish)
fi
wait_for 30 "the installer to end" bash -c "! kill -0 $installer_pid 2>/dev/null"
wait "$installer_pid" && status=0 || status=$?
installer_pid=
[ "$status" = 0 ] || fail "exit code $status"

check_installed yes

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

if [ "$scenario" = dpi ] || [ "$scenario" = full ]; then
  # Each window told the log the scale it drew at, the art it drew from and
  # the heights its fonts were made with (the skins' 13, 14, 16, 17 scaled).
  case "$dpi" in 96) art=1x ;; 192) art=2x ;; *) art="2x, filtered" ;; esac
  fonts="0:$(sc 16) 1:$(sc 13) 2:$(sc 13) 3:$(sc 13) 4:$(sc 14) 5:$(sc 17)"
  for window in name wizard; do
    grep -aq "window $window: $dpi DPI ($(((dpi * 100 + 48) / 96)) %), art $art" <<<"$log_text" ||
      fail "no scale line for the $window window: $(grep -a 'window ' <<<"$log_text")"
  done
  grep -aq "window wizard: .*, size $(sc 647)x$(sc 449), font heights $fonts\b" <<<"$log_text" ||
    fail "the wizard's size or fonts: $(grep -a 'window wizard' <<<"$log_text")"
  grep -aq "window name: .*, size $(sc 711)x$(sc 462), " <<<"$log_text" ||
    fail "the name window's size: $(grep -a 'window name' <<<"$log_text")"
  if [ "$dpi" = 192 ]; then
    python3 "$root/tests/e2e/crispness.py" "$root/skin/images" "$shots/dpi-$dpi-name-window.png" \
      "$shots/dpi-$dpi-directory-page.png" || fail "not drawn from the 2x art"
  fi
fi

if [ "$scenario" = upgrade ]; then
  # The new executables, each exactly once: Finish started the new Box.exe.
  cmp -s "$target/Box.exe" <(unzip -p "$package" Corvina.exe) || fail "Box.exe is still the old version"
  cmp -s "$target/BoxM.exe" <(unzip -p "$package" CorvinaMain.exe) || fail "BoxM.exe is still the old version"
  cmp -s "$target/BoxA.exe" <(unzip -p "$package" CvnBrowserAide.exe) || fail "BoxA.exe is still the old version"
  grep -q 'exe=C:\\Program Files\\Box\\Box.exe' "$target/started.marker" || fail "started: $(cat "$target/started.marker")"
fi

if [ "$scenario" = https ] || [ "$scenario" = httpslogin ]; then
  # Both went through the proxy: the package's tunnel to the HTTPS server,
  # and the report.
  proxy_log=$(cat "$work/proxies/"*.log)
  grep -q "CONNECT 127.0.0.1:$(cache_value BOX_TLS_PORT) " <<<"$proxy_log" || fail "no tunnel to the package: $proxy_log"
  grep -q "GET http://127.0.0.1:$api_port/api/systemcvn/incInstallNum?" <<<"$proxy_log" ||
    fail "the report did not go through the proxy: $proxy_log"
  grep -q 'route to 127.0.0.1: http://127.0.0.1:[0-9]* (named)' <<<"$log_text" || fail "no route logged: $log_text"
  if [ "$scenario" = httpslogin ]; then
    ! grep -rq secret "$work/wine.log" "$target/logs" || fail "the proxy password is in a log"
  fi
fi

if [ "$scenario" = planted ]; then
  loaded_probes=$(ls "$markers")
  [ -z "$loaded_probes" ] || fail "planted DLLs were loaded: $loaded_probes"
fi

echo "PASS $scenario"
