#!/usr/bin/env bash
# Orrery2.zip as the installer will see it: intact, the four programs at the
# root (Windows executables for this build's processor), the data folders,
# two Chinese names (UTF-8 flagged, then code page 936 bytes unflagged), and
# nothing else.
set -euo pipefail
zip=$1 objdump=$2 arch=$3
export LC_ALL=C

unzip -tq "$zip" >/dev/null || { echo "archive fails its own test"; exit 1; }

expected="Corvina.exe
CorvinaMain.exe
CvnBrowserAide.exe
Uninstall.exe
data/
data/cache/
data/config/
data/config/locale/
data/config/locale/en-US.txt
data/config/locale/zh-CN.txt
data/config/settings.json
data/media/
data/media/sample.bin
data/skins/
data/skins/default/
data/skins/default/colors.ini
data/skins/default/readme.txt
docs/
docs/README.txt
docs/licenses/
docs/licenses/NOTICE.txt
plugins/
plugins/browser/
plugins/browser/aide.ini
docs/使用说明.txt
$(printf 'docs/\xd6\xd0\xce\xc4\xcb\xb5\xc3\xf7.ini')"
if ! diff <(echo "$expected") <(unzip -Z1 "$zip"); then
  echo "unexpected entries (< expected, > found)"
  exit 1
fi

case "$arch" in
  i686) format=pei-i386 ;;
  *)    format=pei-x86-64 ;;
esac
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unzip -q "$zip" '*.exe' -d "$tmp"
for exe in "$tmp"/*.exe; do
  "$objdump" -f "$exe" | grep -q "file format $format" || { echo "$(basename "$exe") is not $format"; exit 1; }
done
echo "Orrery2.zip: $(unzip -Z1 "$zip" | wc -l) entries as expected"
