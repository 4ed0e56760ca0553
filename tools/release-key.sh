#!/usr/bin/env bash
# Makes a release key pair for signing package manifests (ECDSA P-256), with
# openssl:
#
#   tools/release-key.sh <folder>
#
# <folder>/release.key is the private key: keep it offline, never in the
# repository or a build. <folder>/release.pub is its public half, and the
# line printed (also in <folder>/release.pub.b64) is what the build embeds:
#
#   cmake ... -DBOX_RELEASE_KEYS=<that line>[;<a second key's line>]
set -euo pipefail
dir=${1:?folder for the key pair}
mkdir -p "$dir"
if [ -e "$dir/release.key" ]; then
  echo "$dir/release.key exists; not overwritten" >&2
else
  (umask 077 && openssl ecparam -name prime256v1 -genkey -noout -out "$dir/release.key")
fi
openssl ec -in "$dir/release.key" -pubout -out "$dir/release.pub" 2>/dev/null
# The public point's X and Y, 32 bytes each: the last 64 bytes of the key's
# DER form (after the 0x04 that marks an uncompressed point).
openssl ec -in "$dir/release.key" -pubout -outform DER 2>/dev/null | tail -c 64 | base64 -w0 >"$dir/release.pub.b64"
cat "$dir/release.pub.b64"
echo
