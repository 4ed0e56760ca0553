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
import zlib

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


def deflated(data, level=9, wbits=-15, strategy=zlib.Z_DEFAULT_STRATEGY):
    packer = zlib.compressobj(level, zlib.DEFLATED, wbits, 9, strategy)
    return packer.compress(data) + packer.flush()


def raw_archive(entries, comment=b"", prefix=b""):
    """An archive written field by field, so that any field can lie.
    Each entry is a dict: name, data (as stored), size (uncompressed), crc,
    method, and optionally flag, local_name, central_size, local_extra,
    and zip64 (the directory's sizes and offset in a Zip64 extra field)."""
    out = bytearray(prefix)
    central = bytearray()
    for e in entries:
        offset = len(out) - len(prefix)
        name = e["name"]
        flag = e.get("flag", 0)
        size = e.get("central_size", e["size"])
        local_sizes = (0, 0, 0) if flag & 8 else (e["crc"], len(e["data"]), e["size"])
        local_extra = e.get("local_extra", b"")
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 45 if e.get("zip64") else 20, flag, e["method"], 0x1823,
                           0x5822, *local_sizes, len(e.get("local_name", name)), len(local_extra))
        out += e.get("local_name", name) + local_extra + e["data"]
        if flag & 8:
            out += struct.pack("<IIII", 0x08074B50, e["crc"], len(e["data"]), e["size"])
        extra = b""
        sizes = (len(e["data"]), size, offset)
        if e.get("zip64"):
            extra = struct.pack("<HHQQQ", 1, 24, size, len(e["data"]), offset)
            sizes = (0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 20, flag, e["method"], 0x1823, 0x5822,
                               e["crc"], sizes[0], sizes[1], len(name), len(extra), 0, 0, 0, 0, sizes[2])
        central += name + extra
    start = len(out) - len(prefix)
    out += central
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), start, len(comment))
    return bytes(out + comment)


def file_entry(name, data, method=8, level=9, **more):
    stored = deflated(data, level) if method == 8 else data
    entry = dict(name=name, data=stored, size=len(data), crc=zlib.crc32(data), method=method)
    entry.update(more)
    return entry


def folder_entry(name):
    return dict(name=name, data=b"", size=0, crc=0, method=0)


class Bits:
    """Deflate's bit order: fields from their low bit up, Huffman codes from
    their high bit down."""

    def __init__(self):
        self.value = 0
        self.count = 0

    def put(self, value, bits):
        self.value |= value << self.count
        self.count += bits
        return self

    def code(self, code, bits):
        for k in reversed(range(bits)):
            self.put((code >> k) & 1, 1)
        return self

    def bytes(self):
        return self.value.to_bytes((self.count + 7) // 8 + 1, "little")


CODE_LENGTH_ORDER = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15]


def dynamic_header(literals, distances, code_lengths):
    """A final dynamic block's header up to its code lengths, each 1 (a code
    of one bit) or a run of 11 to 138 zeros. The code-length code gives
    symbols 1 and 18 one bit each: 1 is "0", 18 (a run of zeros) is "1"."""
    bits = Bits().put(1, 1).put(2, 2).put(literals - 257, 5).put(distances - 1, 5).put(14, 4)
    for symbol in CODE_LENGTH_ORDER[:18]:
        bits.put(1 if symbol in (1, 18) else 0, 3)
    for length in code_lengths:
        if length == 1:
            bits.code(0, 1)
        else:
            bits.code(1, 1).put(length - 11, 7)
    return bits.bytes()


def inflate_error_streams():
    """Deflate data that fail each of the inflater's header and code checks."""
    def fixed():
        return Bits().put(1, 1).put(1, 2)
    literal_a = (0x30 + ord("a"), 8)
    return {
        # HLIT of 31: 288 literal/length codes, more than there are.
        "too-many-symbols": Bits().put(1, 1).put(2, 2).put(31, 5).put(0, 5).put(0, 4).bytes(),
        # A code-length code of one code of one bit: incomplete.
        "incomplete-code-length-code": Bits().put(1, 1).put(2, 2).put(0, 5).put(0, 5).put(0, 4).put(0, 9).put(1, 3)
                                             .bytes(),
        # Code-length codes for 16 and 0 of one bit each, then 16 ("1"): a
        # repeat of the previous length before there is one.
        "repeat-first": Bits().put(1, 1).put(2, 2).put(0, 5).put(0, 5).put(0, 4)
                              .put(1, 3).put(0, 3).put(0, 3).put(1, 3).code(1, 1).put(0, 2).bytes(),
        # Literals 0 and 1 only: no end-of-block code.
        "no-end-of-block": dynamic_header(257, 1, [1, 1, 138, 118]),
        # Three literal codes of one bit.
        "literals-oversubscribed": dynamic_header(257, 1, [1, 1, 1, 138, 115, 1, 1]),
        # Three distance codes of one bit.
        "distances-oversubscribed": dynamic_header(257, 3, [1, 138, 117, 1, 1, 1, 1]),
        # Fixed codes: literal/length code 286, which does not exist.
        "fixed-bad-length-code": fixed().code(0b11000110, 8).bytes(),
        # Fixed codes: "a", then length 3 at distance code 30, which does not exist.
        "fixed-bad-distance-code": fixed().code(*literal_a).code(1, 7).code(30, 5).bytes(),
        # Fixed codes: "a", then length 3 at distance 2, before the first byte.
        "fixed-distance-too-far": fixed().code(*literal_a).code(1, 7).code(1, 5).bytes(),
    }


def archive_edge_seeds():
    """Archives at the edges of what the extraction must get right."""
    target = "fuzz_zip_archive"
    skin = (ROOT / "skin" / "xml" / "setup_139.xml").read_bytes()
    prompt = (ROOT / "skin" / "xml" / "prompt_163.xml").read_bytes()
    # Dynamic Huffman blocks: text as packages carry it, and bytes with
    # long and short repeats (lengths and distances of every code range).
    mixed = b"".join(NOISE[i:i + 7] * (1 + i % 5) for i in range(0, 400, 9)) + skin[:300] * 3
    runs = b"\0" * 700 + b"ab" * 300
    write(target, "edge-dynamic-blocks.zip", raw_archive([
        file_entry(b"res/setup_139.xml", skin[:2500]),
        file_entry(b"res/mixed.bin", mixed),
        dict(file_entry(b"res/huffman-only.txt", prompt), data=deflated(prompt, strategy=zlib.Z_HUFFMAN_ONLY)),
        dict(file_entry(b"res/rle.bin", runs), data=deflated(runs, strategy=zlib.Z_RLE)),
    ]))
    # Long runs: the inflater's window and its fast loop (and a little
    # work for the extraction's block loop: 40000 bytes are five blocks).
    zeros = b"\0" * 40000
    write(target, "edge-long-run.zip", raw_archive([file_entry(b"bin/zeros.bin", zeros)]))
    # Matches that reach back across the extraction's 8 KiB blocks, into the
    # inflater's window: 4 KiB of noise, then altered copies of it.
    noise = random.Random(4096).randbytes(4096)
    echoes = noise + b"".join(noise[k * 300:] + noise[:k * 300] for k in range(1, 5))
    write(target, "edge-window.zip", raw_archive([file_entry(b"bin/echoes.bin", echoes)]))
    # Over a mebibyte: the extraction's progress report between blocks.
    write(target, "edge-mebibyte.zip", raw_archive([file_entry(b"bin/big.bin", b"\0" * 1100000)]))
    # Zip64 extra fields in the directory, with the classic fields at their
    # escapes, and extra fields in the local headers only.
    write(target, "edge-zip64-extra.zip", raw_archive([
        file_entry(b"zip64.txt", TEXT[:300], zip64=True),
        file_entry(b"zip64-stored.bin", NOISE[:50], method=0, zip64=True),
    ]))
    write(target, "edge-local-extra.zip", raw_archive([
        file_entry(b"extra.txt", TEXT[:100], local_extra=struct.pack("<HH", 0x5455, 5) + b"\x01" + b"\0" * 4),
        file_entry(b"zip64-local.txt", TEXT[:100], local_extra=struct.pack("<HHQQ", 1, 16, 100, 0)),
    ]))
    # The fuzz target stops the extraction at its first progress report for
    # archives of 13 bytes modulo 16, and fills the disk under it for 11
    # (see ZipArchiveFuzz.cpp): a package padded to each length by its comment.
    def padded(entries, remainder):
        plain = raw_archive(entries)
        return raw_archive(entries, comment=b"#" * ((remainder - len(plain)) % 16))
    package = [folder_entry(b"bin/"), file_entry(b"bin/Corvina.exe", NOISE[:300] + TEXT),
               file_entry(b"res/skin.xml", skin[:1500]), file_entry(b"readme.txt", TEXT[:200], method=0)]
    write(target, "edge-user-stops.zip", padded(package, 13))
    write(target, "edge-disk-fills.zip", padded(package, 11))

    # For 7 modulo 16 a byte cannot be read: the one its last two bytes give
    # (times 97, modulo its length). One in a local header, one in an
    # entry's data, one in the directory.
    def unreadable(entries, where):
        plain = raw_archive(entries)
        length = len(plain) + (7 - len(plain)) % 16
        for value in range(65536):
            if value * 97 % length in where:
                return raw_archive(entries, comment=b"#" * (length - len(plain) - 2) + struct.pack("<H", value))
        raise ValueError("no such position")
    plain = raw_archive(package)
    data_start = plain.index(b"bin/Corvina.exe") + len(b"bin/Corvina.exe")
    directory = plain.index(b"PK\x01\x02")
    for name, where in (("local-header", range(40, 50)), ("data", range(data_start + 100, data_start + 120)),
                        ("directory", range(directory + 60, directory + 80))):
        write(target, f"edge-unreadable-{name}.zip", unreadable(package, where))
    # A checksum that does not match, stored and deflated (one archive each:
    # the first failure ends an extraction).
    write(target, "edge-crc-stored.zip", raw_archive([
        file_entry(b"good.txt", b"fine"),
        dict(file_entry(b"bad.txt", TEXT[:100], method=0), crc=0x12345678),
    ]))
    write(target, "edge-crc-deflated.zip", raw_archive([
        dict(file_entry(b"bad-deflated.txt", TEXT[:100]), crc=0x12345678),
    ]))
    # The central directory cut short: the end record still counts three
    # entries and the directory's full size.
    whole = raw_archive([file_entry(b"a.txt", b"a" * 50), file_entry(b"b.txt", b"b" * 50),
                         file_entry(b"c/d.txt", b"d" * 50)])
    end = whole.rindex(b"PK\x05\x06")
    central = whole.index(b"PK\x01\x02")
    write(target, "edge-truncated-central.zip", whole[:central + (end - central) // 2] + whole[end:])
    # Names: UTF-8 flagged, code page 936 unflagged, a duplicate, a file
    # where a folder must go, parents without entries, an empty file.
    write(target, "edge-names.zip", raw_archive([
        file_entry("文档/说明.txt".encode(), b"utf-8 name", flag=0x800),
        file_entry("盒子.txt".encode("gbk"), b"cp936 name", method=0),
        file_entry(b"same.txt", b"first", method=0),
        file_entry(b"same.txt", b"second, longer"),
        file_entry(b"deep/er/still/x.txt", b"no folder entries"),
        file_entry(b"empty.txt", b"", method=0),
        file_entry(b"empty-deflated.txt", b""),
        folder_entry(b"deep/er/"),
    ]))
    write(target, "edge-file-before-folder.zip", raw_archive([
        file_entry(b"a", b"a file", method=0),
        file_entry(b"a/b.txt", b"inside a file"),
    ]))
    # Sizes: one declared beyond the free space (nothing may be written),
    # data short of the declared size, data beyond it.
    write(target, "edge-declared-huge.zip", raw_archive([
        file_entry(b"first.txt", b"small"),
        dict(file_entry(b"huge.bin", b"x" * 100), central_size=0x7FFFFFF0),
    ]))
    write(target, "edge-data-short.zip", raw_archive([
        dict(file_entry(b"short.txt", TEXT[:200]), size=400, central_size=400),
    ]))
    write(target, "edge-data-long.zip", raw_archive([
        dict(file_entry(b"long.txt", TEXT[:200]), size=100, central_size=100),
    ]))
    # Streamed entries: data descriptors, the local header's sizes zero.
    write(target, "edge-descriptors.zip", raw_archive([
        file_entry(b"streamed.txt", TEXT[:300], flag=8),
        file_entry(b"streamed-stored.bin", NOISE[:64], method=0, flag=8),
    ]))
    # The local header names another file than the directory does.
    write(target, "edge-local-name.zip", raw_archive([
        file_entry(b"central.txt", b"which name?", local_name=b"local-name-longer.txt"),
    ]))
    # A stub before the archive (as in a self-extracting file), and an
    # archive comment holding an end record's signature.
    write(target, "edge-prefixed.zip", raw_archive([file_entry(b"x.txt", b"after a stub")],
                                                    comment=b"self-extracting", prefix=b"MZ" + b"\0" * 62))
    write(target, "edge-comment-signature.zip", raw_archive([file_entry(b"x.txt", b"which end?")],
                                                            comment=b"note PK\x05\x06 inside"))
    # Deflate streams that end early or lie: no final block, stored blocks
    # whose length checks out and does not, a distance into a preset
    # dictionary the reader does not have, a block type that does not exist.
    cut = deflated(TEXT)
    packer = zlib.compressobj(9, zlib.DEFLATED, -15, 9, zlib.Z_DEFAULT_STRATEGY, zdict=TEXT[:200])
    far = packer.compress(TEXT[:150]) + packer.flush()
    streams = {
        "cut": cut[:len(cut) // 2],
        "stored-block": b"\x01\x03\x00\xfc\xff" + b"abc",
        "stored-block-bad-length": b"\x01\x03\x00\x00\x00" + b"abc",
        "far-distance": far,
        "bad-block-type": b"\x07\x00",
    }
    for name, data in streams.items():
        plain = TEXT if name == "cut" else TEXT[:150] if name == "far-distance" else b"abc"
        write(target, f"edge-stream-{name}.zip",
              raw_archive([dict(file_entry(name.encode() + b".txt", plain), data=data)]))
    # Data longer than the reader's 16 KiB input buffer: the inflater stops
    # for input in the middle of codes and stored blocks, and goes on.
    pick = random.Random(16384)
    letters = bytes(pick.choice(b"abcdefghijklmnopqrstuvwxyz ") for _ in range(28000))
    write(target, "edge-input-chunks-deflated.zip", raw_archive([file_entry(b"letters.txt", letters)]))
    write(target, "edge-input-chunks-stored-blocks.zip", raw_archive([
        dict(file_entry(b"stored-blocks.bin", letters[:17000]), data=deflated(letters[:17000], 0))]))
    write(target, "edge-input-chunks-stored.zip", raw_archive([file_entry(b"stored.bin", letters[:17000], method=0)]))
    for name, data in inflate_error_streams().items():
        write(target, f"edge-inflate-{name}.zip",
              raw_archive([dict(file_entry(name.encode() + b".txt", b"abc"), data=data)]))
    # Zip64 throughout, streamed (zipfile writes Zip64 descriptors then).
    write(target, "edge-zip64-streamed.zip", with_zip64_end(archive([
        (entry("bin/Box.exe"), TEXT[:200]),
        (entry("res/data.bin", zipfile.ZIP_STORED), NOISE[:80]),
    ], force_zip64=True, streamed=True)))


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
    archive_edge_seeds()
    skin_zip_seeds()
