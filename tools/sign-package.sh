#!/usr/bin/env bash
# Writes the signed manifest of a package, to be published next to it:
#
#   tools/sign-package.sh <release.key> <package.zip> <version> <expires> [<out>]
#
# <version>: a whole number, higher than the last release's (installers
# refuse one below the floor they were built with). <expires>: when the
# manifest stops being accepted, as `date -d` reads it ("2027-06-30",
# "+90 days"). <out> defaults to <package.zip>.sig.json, the name the
# installer fetches. The private key is only read, with openssl.
set -euo pipefail
key=${1:?release.key} package=${2:?package} version=${3:?version} expires=${4:?expires}
out=${5:-$package.sig.json}
[[ "$version" =~ ^(0|[1-9][0-9]*)$ ]] || { echo "the version must be a whole number: $version" >&2; exit 1; }
if [[ "$expires" == +* ]]; then expires_at=$(date -u -d "now $expires" +%s); else expires_at=$(date -u -d "$expires" +%s); fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
size=$(stat -c %s "$package")
sha=$(sha256sum "$package" | cut -d' ' -f1)
printf '{"package":"%s","size":%s,"sha256":"%s","version":%s,"expires":%s}' \
  "$(basename "$package")" "$size" "$sha" "$version" "$expires_at" >"$work/manifest"
openssl dgst -sha256 -sign "$key" -out "$work/signature.der" "$work/manifest"
python3 - "$work/manifest" "$work/signature.der" "$out" <<'PY'
import base64, sys
manifest = open(sys.argv[1], "rb").read()
der = open(sys.argv[2], "rb").read()
# ECDSA's DER signature, SEQUENCE { INTEGER r, INTEGER s }, as the 64 bytes
# r || s that CNG takes.
def integer(data, at):
    assert data[at] == 0x02
    length = data[at + 1]
    value = data[at + 2:at + 2 + length]
    return int.from_bytes(value, "big"), at + 2 + length
assert der[0] == 0x30
at = 2 if der[1] < 0x80 else 2 + (der[1] & 0x7F)
r, at = integer(der, at)
s, at = integer(der, at)
signature = r.to_bytes(32, "big") + s.to_bytes(32, "big")
text = '{"manifest":"%s","signature":"%s"}\n' % (base64.b64encode(manifest).decode(), base64.b64encode(signature).decode())
open(sys.argv[3], "w").write(text)
PY
echo "$out: $(basename "$package"), $size bytes, version $version, expires $(date -u -d "@$expires_at" '+%Y-%m-%d %H:%M UTC')"
