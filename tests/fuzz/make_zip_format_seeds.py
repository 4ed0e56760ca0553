#!/usr/bin/env python3
"""Writes zip seeds of the archive and skin-zip fuzz targets that use the
parts of the format the tests' own zip writer does not: Zip64 records and
extra fields, data descriptors after streamed entries, comments and extra
fields, methods the reader does not support, the encryption flag, and
deflate streams of every block kind (stored blocks, fixed and dynamic
Huffman codes). Mutations of these reach into minizip's and zlib's branches
that the writer's archives never take.

    python3 tests/fuzz/make_zip_format_seeds.py      (from the repository root)

The output (corpus/<target>/format-*.zip) is committed; run this again only
to change the seeds.
"""
import io
import pathlib
import random
import struct
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
CORPUS = ROOT / "tests" / "fuzz" / "corpus"
# A fixed date and fixed bytes, so that a second run writes the same seeds.
DATE = (2024, 1, 2, 3, 4, 6)
NOISE = random.Random(139).randbytes(600)
TEXT = b"Orrery2 readme: the box installs itself.\r\n" * 12


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


class Unseekable(io.RawIOBase):
    """A stream zipfile cannot seek back in, so it writes data descriptors."""

    def __init__(self):
        self.out = bytearray()

    def writable(self):
        return True

    def write(self, data):
        self.out += data
        return len(data)


def entry(name, compress=zipfile.ZIP_DEFLATED, level=None, extra=b"", comment=b""):
    info = zipfile.ZipInfo(name, DATE)
    info.compress_type = compress
    info.extra = extra
    info.comment = comment
    info._compresslevel = level  # read by ZipFile.writestr (3.7+)
    return info


def archive(entries, comment=b"", force_zip64=False, streamed=False):
    stream = Unseekable() if streamed else io.BytesIO()
    with zipfile.ZipFile(stream, "w") as zip:
        zip.comment = comment
        for info, data in entries:
            if force_zip64 or streamed:
                with zip.open(info, "w", force_zip64=force_zip64) as out:
                    out.write(data)
            else:
                zip.writestr(info, data)
    return bytes(stream.out if streamed else stream.getvalue())


def with_zip64_end(data):
    """The same archive found through a Zip64 end record and its locator,
    with the classic end record's counts and offsets left at their escapes."""
    end = data.rindex(b"PK\x05\x06")
    (_, _, _, entries, _, size, offset, comment_length) = struct.unpack("<IHHHHIIH", data[end:end + 22])
    record = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, entries, entries, size, offset)
    locator = struct.pack("<IIQI", 0x07064B50, 0, end, 1)
    classic = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, comment_length)
    return data[:end] + record + locator + classic + data[end + 22:]


def with_flag(data, name, flag):
    """Sets a general-purpose flag bit of `name` in its local and central headers."""
    out = bytearray(data)
    for signature, flag_at, name_at in ((b"PK\x03\x04", 6, 30), (b"PK\x01\x02", 8, 46)):
        at = out.find(signature)
        while at >= 0:
            length = struct.unpack_from("<H", out, at + name_at - (2 if signature == b"PK\x03\x04" else 18))[0]
            if out[at + name_at:at + name_at + length] == name:
                struct.pack_into("<H", out, at + flag_at, struct.unpack_from("<H", out, at + flag_at)[0] | flag)
            at = out.find(signature, at + 4)
    return bytes(out)


def archive_seeds():
    target = "fuzz_zip_archive"
    # Deflate: stored blocks (level 0, and noise deflate cannot shrink),
    # fixed codes (level 1, short text), dynamic codes (level 9, long text).
    write(target, "format-deflate-blocks.zip", archive([
        (entry("stored-blocks.txt", level=0), TEXT[:200]),
        (entry("fixed.txt", level=1), b"short text, fixed codes"),
        (entry("dynamic.txt", level=9), TEXT),
        (entry("bin/noise.bin", level=6), NOISE[:300]),
    ]))
    write(target, "format-zip64.zip", with_zip64_end(archive([
        (entry("bin/Box.exe"), b"MZ program " * 10),
        (entry("res/"), b""),
        (entry("res/data.bin", zipfile.ZIP_STORED), NOISE[:100]),
    ], force_zip64=True)))
    write(target, "format-descriptors.zip", archive([
        (entry("bin/Box.exe"), b"MZ program " * 10),
        (entry("res/data.bin", zipfile.ZIP_STORED), NOISE[:100]),
    ], streamed=True))
    write(target, "format-comments-extra.zip", archive([
        (entry("readme.txt", extra=struct.pack("<HH", 0x5455, 5) + b"\x01" + struct.pack("<I", 1700000000),
               comment=b"entry comment"), TEXT[:120]),
        (entry("res/a.txt", extra=struct.pack("<HH", 0xCAFE, 3) + b"abc"), b"a"),
    ], comment=b"archive comment"))
    unsupported = archive([
        (entry("bzip2.txt", zipfile.ZIP_BZIP2), TEXT[:100]),
        (entry("lzma.txt", zipfile.ZIP_LZMA), TEXT[:100]),
        (entry("encrypted.txt"), TEXT[:100]),
        (entry("plain.txt"), b"after the others"),
    ])
    write(target, "format-unsupported.zip", with_flag(unsupported, b"encrypted.txt", 0x0001))


def skin_zip_seeds():
    target = "fuzz_skin_zip"
    skin = (ROOT / "skin" / "xml" / "setup_139.xml").read_bytes()
    write(target, "format-zip64-setup_139.xml.zip",
          with_zip64_end(archive([(entry("setup_139.xml", level=9), skin)], force_zip64=True)))
    write(target, "format-descriptor-setup_139.xml.zip",
          archive([(entry("Setup_139.xml", level=1), skin)], streamed=True))
    write(target, "format-blocks.zip", archive([
        (entry("stored-blocks.xml", level=0), skin[:300]),
        (entry("about_132.xml", level=1), (ROOT / "skin" / "xml" / "about_132.xml").read_bytes()),
        (entry("noise.xml", zipfile.ZIP_STORED), NOISE[:200]),
    ], comment=b"skins"))


if __name__ == "__main__":
    archive_seeds()
    skin_zip_seeds()
