#!/usr/bin/env bash
# Install.exe must be a GUI program for the build's processor (32-bit as shipped) that needs no DLL beyond those
# Windows ships.
set -euo pipefail
export LC_ALL=C  # objdump speaks the locale's language
exe=$1 objdump=$2 arch=$3
info=$("$objdump" -p "$exe")
case "$arch" in
  i686) format=pei-i386 ;;
  *)    format=pei-x86-64 ;;
esac
grep -q "file format $format" <<<"$info" || { echo "not $format"; exit 1; }
grep -Eq '^Subsystem\s+0+2\s' <<<"$info" || { echo "not a GUI subsystem program"; exit 1; }
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|ws2_32|msvcrt|version|imm32|msimg32|bcrypt|crypt32|uxtheme|gdiplus|winmm|dbghelp|wldap32|normaliz|iphlpapi|secur32)\.dll$'
status=0
while read -r dll; do
  if ! grep -Eiq "$allowed" <<<"$dll"; then echo "unexpected DLL: $dll"; status=1; fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$info")
exit $status
