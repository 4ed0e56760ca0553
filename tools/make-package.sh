#!/usr/bin/env bash
# Packs the demo product into the zip the installer downloads:
#
#   tools/make-package.sh <build-dir> <out.zip>
#
# <build-dir>/package/bin must hold the four programs (the build's
# orrery_package target runs this script after building them). The archive
# holds them at its root, the files of package/content in their folders, an
# empty folder (data/cache) and a 1 MiB binary (data/media/sample.bin) so the
# download and the extraction take long enough to watch. Entries are sorted,
# dated 2024-01-01 and given fixed modes, so the same inputs give the same
# archive.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?build directory}
out=$(realpath -m "${2:?output zip}")
bin=$build/package/bin

command -v zip >/dev/null || { echo "make-package: zip is missing (apt-get install zip)" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for program in Corvina CorvinaMain CvnBrowserAide Uninstall; do
  cp "$bin/$program.exe" "$stage/"
done
cp -r "$root/package/content/." "$stage/"
mkdir -p "$stage/data/cache" "$stage/data/media"
# Incompressible, but the same bytes every time.
python3 -c 'import random,sys; sys.stdout.buffer.write(random.Random(2).randbytes(1 << 20))' >"$stage/data/media/sample.bin"

find "$stage" -exec env TZ=UTC touch -h -d '2024-01-01 00:00:00' {} +
# zip keeps Unix modes, which follow the umask of the build and the checkout.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
rm -f "$out.tmp"
mkdir -p "$(dirname "$out")"
# -X: no Unix extra fields, only what a Windows unzipper reads.
(cd "$stage" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -X -q -9 -@ "$out.tmp")
# Two Chinese names as packers write them: flagged UTF-8 (general-purpose bit
# 11, what current zip tools do), and code page 936 bytes without the flag
# (what older Chinese packers did, and existing packages hold).
python3 - "$out.tmp" <<'PY'
import sys, zipfile

class Cp936Name(zipfile.ZipInfo):
    __slots__ = ()

    def _encodeFilenameFlags(self):
        return self.filename.encode("gbk"), self.flag_bits & ~0x800

with zipfile.ZipFile(sys.argv[1], "a", zipfile.ZIP_DEFLATED) as z:
    z.writestr(zipfile.ZipInfo("docs/使用说明.txt", (2024, 1, 1, 0, 0, 0)), "flagged UTF-8 name")
    z.writestr(Cp936Name("docs/中文说明.ini", (2024, 1, 1, 0, 0, 0)), "unflagged code page 936 name")
PY
mv "$out.tmp" "$out"
