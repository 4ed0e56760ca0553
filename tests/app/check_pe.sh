#!/usr/bin/env bash
# Install.exe must be a GUI program for the build's processor (32-bit as shipped) whose imports Windows can
# only ever take from the system folder.
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
# Only KnownDLLs (those of both Windows 7 and Windows 10), which Windows
# maps from the system folder whatever lies beside the program. Any other
# import would be looked up in the program's folder (a downloads folder)
# before the program can restrict the search: such DLLs, comctl32 among them
# (at load it pulls in uxtheme by name), are loaded at run time.
allowed='^(advapi32|clbcatq|comdlg32|difxapi|gdi32|imagehlp|imm32|kernel32|msctf|msvcrt|normaliz|nsi|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shell32|shlwapi|user32|wldap32|ws2_32)\.dll$'
status=0
while read -r dll; do
  if ! grep -Eiq "$allowed" <<<"$dll"; then echo "unexpected DLL: $dll"; status=1; fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$info")
exit $status
