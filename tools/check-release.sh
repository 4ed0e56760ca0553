#!/usr/bin/env bash
# Checks the i686 Install.exe of a build as a release must be:
#
#   tools/check-release.sh <build-dir> [<ca.crt>]
#
#   1. dated: its PE header carries SOURCE_DATE_EPOCH (common.sh: the commit's
#      date), not the time of the link;
#   2. signed, when the build signs (BOX_SIGN_PKCS12 in its CMake cache):
#      `osslsigncode verify` accepts it against <ca.crt> and refuses a copy
#      with one byte of code changed; the signing time is SOURCE_DATE_EPOCH;
#      without its signature it is, byte for byte, the file as linked;
#   3. reproducible: the same sources copied to another folder
#      (build/repro/src), built again there with the same options and
#      dependency cache but in another time zone, locale and umask (the
#      Install target only), give the same bytes, unsigned and signed. On a mismatch
#      it says which header fields and sections differ, and how the link
#      maps differ.
#
# Prints the SHA-256 of both builds' files. tools/test.sh runs it on the
# signed build the Windows tests then run.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=$(realpath "${1:?build directory}")
ca=${2:-}
exe=$build/bin/Install.exe
[ -f "$exe" ] && [ -f "$build/CMakeCache.txt" ] || { log "no Install.exe built in $build"; exit 1; }
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
pkcs12=$(cache_value BOX_SIGN_PKCS12)
timestamp_url=$(cache_value BOX_SIGN_TIMESTAMP_URL)
epoch=${SOURCE_DATE_EPOCH:?no SOURCE_DATE_EPOCH and no git commit to take it from}
export LC_ALL=C
status=0
fail() { log "FAILED: $*"; status=1; }

pe_date() { # file -> the PE header's TimeDateStamp
  local pe
  pe=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  od -An -t u4 -j $((pe + 8)) -N 4 "$1" | tr -d ' '
}

# The file as linked: the signing step keeps it beside the signed one.
unsigned_of() { # build-dir
  if [ -n "$pkcs12" ]; then echo "$1/unsigned/Install.exe"; else echo "$1/bin/Install.exe"; fi
}

same_bytes() { # what first second first-build second-build
  local what=$1 a=$2 b=$3
  if cmp -s "$a" "$b"; then
    log "$what: identical in both builds"
    return
  fi
  fail "$what differs between the two builds"
  python3 "$box_root/tools/pe-diff.py" "$a" "$b" || true
  # The maps name the build folders; with those made equal, what remains
  # says which objects moved or changed size.
  echo "link maps (build folders replaced by BUILD, sources by SRC):"
  diff <(sed -e "s|$build|BUILD|g" -e "s|$box_root|SRC|g" "$4/Install.map") \
       <(sed -e "s|$5|BUILD|g" -e "s|$src|SRC|g" "$5/Install.map") | head -40 || true
}

# 1. The date.
date=$(pe_date "$(unsigned_of "$build")")
if [ "$date" = "$epoch" ]; then
  log "PE date: $(date -u -d "@$date") (SOURCE_DATE_EPOCH)"
else
  fail "PE date is $(date -u -d "@$date"), not SOURCE_DATE_EPOCH $(date -u -d "@$epoch")"
fi

# 2. The signature.
if [ -n "$pkcs12" ]; then
  [ -n "$ca" ] || { log "the build signs: name the certificate authority to verify against"; exit 1; }
  command -v osslsigncode >/dev/null || { log "osslsigncode is missing (apt-get install osslsigncode)"; exit 1; }
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  if osslsigncode verify -CAfile "$ca" -in "$exe" >"$scratch/verify" 2>&1; then
    signed_at=$(sed -n 's/^\s*Signing time: //p' "$scratch/verify")
    log "signature verified against $ca (signed $signed_at)"
    grep -q 'Message digest algorithm *: SHA256' "$scratch/verify" || fail "the signature's digest is not SHA-256"
    want=$(date -u -d "@$epoch" '+%b %e %H:%M:%S %Y GMT')
    [ "$signed_at" = "$want" ] || fail "signing time is '$signed_at', not SOURCE_DATE_EPOCH ($want)"
  else
    cat "$scratch/verify"
    fail "osslsigncode verify refused $exe"
  fi
  # A verifier that says yes to anything proves nothing: one flipped bit in
  # the code must be caught.
  python3 - "$exe" "$scratch/tampered.exe" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
table = pe + 24 + struct.unpack_from("<H", data, pe + 20)[0]
text_offset = struct.unpack_from("<I", data, table + 20)[0]  # the first section: .text
data[text_offset + 0x100] ^= 1
open(sys.argv[2], "wb").write(data)
PY
  if osslsigncode verify -CAfile "$ca" -in "$scratch/tampered.exe" >/dev/null 2>&1; then
    fail "osslsigncode verify accepted a copy with a changed byte"
  fi
  osslsigncode remove-signature -in "$exe" -out "$scratch/stripped.exe" >/dev/null
  if cmp -s "$scratch/stripped.exe" "$(unsigned_of "$build")"; then
    log "without its signature, Install.exe is the file as linked"
  else
    fail "Install.exe without its signature is not the file as linked"
  fi
fi

# 3. A second build elsewhere. Only the files the build reads are copied
# (tracked and new ones, as they are in the work tree), and they get today's
# dates.
repro=$(box_build_dir repro)
src=$repro/src
rm -rf "$repro"
mkdir -p "$src"
if git -C "$box_root" rev-parse --show-toplevel >/dev/null 2>&1; then
  (cd "$box_root" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar --null -T - -cf -) | tar -xmf - -C "$src"
else
  tar -C "$box_root" --exclude=./build -cf - . | tar -xmf - -C "$src"
fi
log "building Install.exe again in $repro (time zone UTC+13, C locale, umask 077)"
t0=$SECONDS
(
  export BOX_CACHE=$box_cache BOX_BUILD_ROOT=$repro BOX_INSTALLER_ONLY=1
  export BOX_BUILD_TYPE=$(cache_value CMAKE_BUILD_TYPE)
  export BOX_PACKAGE_SHA256=$(cache_value BOX_PACKAGE_SHA256) BOX_PACKAGE_SIZE=$(cache_value BOX_PACKAGE_SIZE)
  export BOX_RELEASE_KEYS=$(cache_value BOX_RELEASE_KEYS) BOX_PACKAGE_VERSION_FLOOR=$(cache_value BOX_PACKAGE_VERSION_FLOOR)
  export BOX_SIGN_PKCS12=$pkcs12 BOX_SIGN_PASSWORD_FILE=$(cache_value BOX_SIGN_PASSWORD_FILE)
  export BOX_SIGN_TIMESTAMP_URL=$timestamp_url
  export TZ=XST-13 LC_ALL=C
  umask 077
  bash "$src/tools/setup.sh" >"$repro/build.log" 2>&1
) || { tail -30 "$repro/build.log"; fail "the second build failed ($repro/build.log)"; exit 1; }
log "second build: $((SECONDS - t0)) s"
second=$repro/i686

same_bytes "Install.exe as linked" "$(unsigned_of "$build")" "$(unsigned_of "$second")" "$build" "$second"
if [ -n "$pkcs12" ] && [ -z "$timestamp_url" ]; then
  same_bytes "signed Install.exe" "$exe" "$second/bin/Install.exe" "$build" "$second"
elif [ -n "$pkcs12" ]; then
  log "signed files not compared: a time stamp differs on every signing"
fi
{
  echo "SHA-256:"
  files=("$(unsigned_of "$build")" "$(unsigned_of "$second")")
  [ -n "$pkcs12" ] && files+=("$exe" "$second/bin/Install.exe")
  for f in "${files[@]}"; do echo "  $(sha256sum "$f" | cut -c1-64)  ${f#"$box_root"/}"; done
} >&2
# What users download must stay small: 2 MiB, signature included (the 2x
# pictures for high-DPI screens take a third of it).
limit=2097152
size=$(stat -c %s "$exe")
if [ "$size" -gt "$limit" ]; then
  fail "Install.exe is $size bytes, over the $limit bytes it may have (tools/size-report.py $build shows where they go)"
else
  log "Install.exe is $size bytes ($((limit - size)) under the 2 MiB it may have)"
fi

[ $status = 0 ] && log "Install.exe is dated, signed as configured and reproducible"
exit $status
