#!/usr/bin/env bash
# Copies a prepared Wine prefix and sets its display scale:
#
#   tools/wine-dpi-prefix.sh <prefix> <copy> <dpi>
#
# Wine reads HKCU\Control Panel\Desktop\LogPixels once per process, and its
# desktop process keeps what it read, so the value goes into the copy's
# registry file before any program runs in it. The source's wineserver may
# be running: its registry on disk is at most a few seconds old, which
# nothing here depends on.
set -euo pipefail
source="${1:?prefix}" copy="${2:?copy}" dpi="${3:?dpi}"
python3 "$(dirname "$0")/wine-copy-prefix.py" "$source" "$copy"
python3 - "$copy/user.reg" "$dpi" <<'PY'
import re
import sys

path, dpi = sys.argv[1], int(sys.argv[2])
text = open(path, encoding="utf-8", errors="surrogateescape").read()
head = text.index("[Control Panel\\\\Desktop]")
end = text.find("\n[", head + 1)
section = re.sub(r'\n"LogPixels"=dword:[0-9a-f]+', "", text[head:end])
first = section.index("\n", section.index("\n") + 1)  # after the #time line
section = section[:first + 1] + '"LogPixels"=dword:%08x\n' % dpi + section[first + 1:]
open(path, "w", encoding="utf-8", errors="surrogateescape").write(text[:head] + section + text[end:])
PY
