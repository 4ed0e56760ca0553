#!/usr/bin/env python3
"""Where Install.exe's bytes go, from the linker map the build writes.

    tools/size-report.py <build-dir> [--markdown | --detail "<part>"]

Sums the input sections the linker kept, per origin (our code, libcurl,
fmt/spdlog, zlib/minizip, the C and C++ runtime, resources), split into
code, read-only data, data and unwind tables. What no input section
accounts for (headers, imports, relocations, alignment) is shown apart.
The total is the file's size on disk.
"""
import os
import re
import sys

GROUPS = [
    ("resources", re.compile(r"\.rc\.(res|obj)$|\.res$|\.rc\.res\.obj$")),
    ("our code", re.compile(r"/(app|services|windows|install|ui|skin)/|/lib(app|services|windows|install|skinui|ui)_[^/]*\.a\(")),
    ("libcurl", re.compile(r"libcurl\.a\(")),
    ("fmt/spdlog", re.compile(r"lib(fmt|spdlog)\.a\(")),
    ("zlib/minizip", re.compile(r"lib(z|minizip)\.a\(")),
    ("C++ runtime", re.compile(r"lib(stdc\+\+|supc\+\+|gcc|gcc_eh)\.a\(|/crtbegin\.o|/crtend\.o")),
    ("C runtime, threads", re.compile(r"lib(mingw32|mingwex|msvcrt|moldname|winpthread|pthread)\.a\(|/crt2u?\.o|/crt2\.o")),
    ("system imports", re.compile(r"lib(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|shlwapi|ws2_32|imm32|uuid|msimg32|comctl32|bcrypt|crypt32|version|winmm)\.a\(")),
]
KINDS = {".text": "code", ".rdata": "rdata", ".data": "data", ".eh_frame": "unwind", ".rsrc": "rsrc",
         ".idata": "imports", ".CRT": "data", ".tls": "data", ".pdata": "unwind", ".xdata": "unwind"}
COLUMNS = ["code", "rdata", "data", "unwind", "rsrc"]

# " .text          0x00401000      0x4f0 /path/file.o" or the same split in
# two lines when the section name is long.
ENTRY = re.compile(r"^ (\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
NAME_ONLY = re.compile(r"^ (\.\S+)$")
REST = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
OUTPUT = re.compile(r"^(\.\S+)\s+0x[0-9a-f]+\s+0x[0-9a-f]+")


def group_of(origin):
    for name, pattern in GROUPS:
        if pattern.search(origin):
            return name
    return "other"


def parse(map_path, detail=None):
    """{(group, kind): bytes}; with `detail` (a group), {member: bytes} of it."""
    sizes = {}
    output = None
    pending = None
    with open(map_path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            line = line.rstrip("\n")
            head = OUTPUT.match(line)
            if head:
                output = head.group(1)
                continue
            if line.startswith("/DISCARD/"):
                output = None
                continue
            if output is None or output == ".bss":
                pending = None
                continue
            entry = ENTRY.match(line)
            if entry:
                size, origin = int(entry.group(3), 16), entry.group(4)
            elif pending and REST.match(line):
                rest = REST.match(line)
                size, origin = int(rest.group(2), 16), rest.group(3)
            else:
                pending = NAME_ONLY.match(line)
                continue
            pending = None
            if size == 0 or origin.startswith("*"):
                continue
            kind = KINDS.get(output)
            if kind is None:
                continue
            if detail is not None:
                if group_of(origin) == detail:
                    member = re.sub(r"^.*/", "", origin)
                    sizes[member] = sizes.get(member, 0) + size
                continue
            key = (group_of(origin), kind)
            sizes[key] = sizes.get(key, 0) + size
    return sizes


def pictures(kind):
    """(count, bytes) of the pictures of one set in skin/skins.rc."""
    skin = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "skin")
    count = size = 0
    with open(os.path.join(skin, "skins.rc"), encoding="utf-8") as script:
        for line in script:
            match = re.match(r'^\s*\d+\s+(\S+)\s+"([^"]+)"', line)
            if match and match.group(1) == kind:
                count += 1
                size += os.path.getsize(os.path.join(skin, match.group(2)))
    return count, size


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = sys.argv[1]
    markdown = "--markdown" in sys.argv
    if "--detail" in sys.argv:
        group = sys.argv[sys.argv.index("--detail") + 1]
        members = parse(os.path.join(build, "Install.map"), group)
        for member, size in sorted(members.items(), key=lambda item: -item[1])[:40]:
            print(f"{size / 1024:8.1f} KB  {member}")
        return
    exe = os.path.join(build, "bin", "Install.exe")
    sizes = parse(os.path.join(build, "Install.map"))
    total = os.path.getsize(exe)
    groups = [g for g, _ in GROUPS] + ["other"]
    rows = []
    for group in groups:
        cells = [sizes.get((group, kind), 0) for kind in COLUMNS]
        if sum(cells) >= 512:
            rows.append((group, cells, sum(cells)))
    counted = sum(r[2] for r in rows)
    rows.append(("headers, imports, relocations, alignment", [0] * len(COLUMNS), total - counted))
    # The pictures inside the resources, per set, as the resource script
    # lists them (part of the resources row above, not counted twice).
    at = next((i for i, row in enumerate(rows) if row[0] == "resources"), None)
    if at is not None:
        for kind, name in (("PNG2X", "of which pictures, 2x set"), ("PNG", "of which pictures, 1x set")):
            count, size = pictures(kind)
            rows.insert(at + 1, (f"  {name} ({count})", [0] * (len(COLUMNS) - 1) + [size], size))

    def kb(n):
        return f"{n / 1024:,.0f}" if n else ""

    head = ["part"] + [c + " KB" for c in COLUMNS] + ["total KB", "share"]
    table = [[name] + [kb(c) for c in cells] + [kb(whole), f"{100 * whole / total:.1f}%"] for name, cells, whole in rows]
    table.append(["Install.exe"] + [""] * len(COLUMNS) + [kb(total), f"{total:,} bytes"])
    if markdown:
        print("| " + " | ".join(head) + " |")
        print("|" + "---|" * len(head))
        for row in table:
            print("| " + " | ".join(row) + " |")
    else:
        widths = [max(len(r[i]) for r in [head] + table) for i in range(len(head))]
        for row in [head] + table:
            print("  ".join(cell.ljust(widths[0]) if i == 0 else cell.rjust(widths[i]) for i, cell in enumerate(row)))


if __name__ == "__main__":
    main()
