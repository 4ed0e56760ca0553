#!/usr/bin/env python3
"""Says where two builds of a PE file differ, for tools/check-release.sh:

    tools/pe-diff.py A.exe B.exe

Prints the header fields that differ (the date, the checksum, sizes), then per
section the number of differing bytes and the first differing offsets, and
whether what follows the last section (a symbol table, an Authenticode
signature) differs.
Exits 0 when the files are identical, 1 otherwise."""
import struct
import sys

COFF_FIELDS = ("Machine", "NumberOfSections", "TimeDateStamp", "PointerToSymbolTable",
               "NumberOfSymbols", "SizeOfOptionalHeader", "Characteristics")
# The optional header's fields up to the data directories, PE32 and PE32+.
OPTIONAL_LAYOUT = {
    0x10B: ("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII",
            ("Magic", "MajorLinkerVersion", "MinorLinkerVersion", "SizeOfCode", "SizeOfInitializedData",
             "SizeOfUninitializedData", "AddressOfEntryPoint", "BaseOfCode", "BaseOfData", "ImageBase",
             "SectionAlignment", "FileAlignment", "MajorOperatingSystemVersion", "MinorOperatingSystemVersion",
             "MajorImageVersion", "MinorImageVersion", "MajorSubsystemVersion", "MinorSubsystemVersion",
             "Win32VersionValue", "SizeOfImage", "SizeOfHeaders", "CheckSum", "Subsystem", "DllCharacteristics",
             "SizeOfStackReserve", "SizeOfStackCommit", "SizeOfHeapReserve", "SizeOfHeapCommit", "LoaderFlags",
             "NumberOfRvaAndSizes")),
    0x20B: ("<HBBIIIIIQIIHHHHHHIIIIHHQQQQII",
            ("Magic", "MajorLinkerVersion", "MinorLinkerVersion", "SizeOfCode", "SizeOfInitializedData",
             "SizeOfUninitializedData", "AddressOfEntryPoint", "BaseOfCode", "ImageBase",
             "SectionAlignment", "FileAlignment", "MajorOperatingSystemVersion", "MinorOperatingSystemVersion",
             "MajorImageVersion", "MinorImageVersion", "MajorSubsystemVersion", "MinorSubsystemVersion",
             "Win32VersionValue", "SizeOfImage", "SizeOfHeaders", "CheckSum", "Subsystem", "DllCharacteristics",
             "SizeOfStackReserve", "SizeOfStackCommit", "SizeOfHeapReserve", "SizeOfHeapCommit", "LoaderFlags",
             "NumberOfRvaAndSizes")),
}
DIRECTORIES = ("Export", "Import", "Resource", "Exception", "Security", "BaseReloc", "Debug", "Architecture",
               "GlobalPtr", "TLS", "LoadConfig", "BoundImport", "IAT", "DelayImport", "CLR", "Reserved")


class Pe:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError(f"{path}: not an MZ file")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: no PE signature")
        self.fields = {}
        coff = pe + 4
        for name, value, offset, size in self._unpack("<HHIIIHH", COFF_FIELDS, coff):
            self.fields[name] = value
        optional = coff + 20
        magic = struct.unpack_from("<H", d, optional)[0]
        layout, names = OPTIONAL_LAYOUT[magic]
        end = optional
        for name, value, offset, size in self._unpack(layout, names, optional):
            self.fields[name] = value
            end = offset + size
        for i in range(min(self.fields["NumberOfRvaAndSizes"], len(DIRECTORIES))):
            rva, size = struct.unpack_from("<II", d, end + 8 * i)
            name = f"{DIRECTORIES[i]} directory"
            self.fields[name] = (rva, size)
        self.sections = []
        table = optional + self.fields["SizeOfOptionalHeader"]
        self.header_end = table + 40 * self.fields["NumberOfSections"]
        for i in range(self.fields["NumberOfSections"]):
            raw = struct.unpack_from("<8sIIII", d, table + 40 * i)
            name = raw[0].rstrip(b"\0").decode("latin-1")
            self.sections.append((name, raw[4], raw[3]))  # name, file offset, size in the file
        self.image_end = max([o + s for _, o, s in self.sections] + [self.header_end])

    def _unpack(self, layout, names, offset):
        at = offset
        for name, code, value in zip(names, layout[1:], struct.unpack_from(layout, self.data, offset)):
            size = struct.calcsize("<" + code)
            yield name, value, at, size
            at += size

    def region(self, name):
        if name == "(headers)":
            return 0, self.header_end
        if name == "(after the sections: symbols, signature)":
            return self.image_end, len(self.data) - self.image_end
        for n, offset, size in self.sections:
            if n == name:
                return offset, size
        return None


def show(value):
    if isinstance(value, tuple):
        return "rva 0x%x size 0x%x" % value
    return "0x%x" % value


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    a, b = Pe(sys.argv[1]), Pe(sys.argv[2])
    if a.data == b.data:
        print("identical")
        return 0
    print(f"{a.path}: {len(a.data)} bytes; {b.path}: {len(b.data)} bytes")
    for name, value in a.fields.items():
        other = b.fields.get(name)
        if value != other:
            print(f"  header {name}: {show(value)} / {show(other) if other is not None else '-'}")
    names = ["(headers)"] + [n for n, _, _ in a.sections]
    names += [n for n, _, _ in b.sections if n not in names] + ["(after the sections: symbols, signature)"]
    for name in names:
        ra, rb = a.region(name), b.region(name)
        if ra is None or rb is None:
            print(f"  section {name}: only in {a.path if rb is None else b.path}")
            continue
        ca = a.data[ra[0]:ra[0] + ra[1]]
        cb = b.data[rb[0]:rb[0] + rb[1]]
        if ca == cb:
            continue
        at = [i for i in range(min(len(ca), len(cb))) if ca[i] != cb[i]]
        sizes = f", sizes 0x{len(ca):x} / 0x{len(cb):x}" if len(ca) != len(cb) else ""
        first = ", ".join(f"+0x{i:x}" for i in at[:8])
        print(f"  section {name}: {len(at)} bytes differ{sizes}; first at {first or '-'}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
