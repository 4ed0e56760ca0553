#!/usr/bin/env python3
"""Makes the benchmark packages (deterministic contents, seed 1).

    tools/bench-package.py large <out.zip> [megabytes]
    tools/bench-package.py small <out.zip>

large: MEGABYTES (default 200) in files of 10 MB, compressing to about 64%:
some of each file is incompressible (like executables' packed sections),
the rest text. small: 5,000 small text files in nested folders.
"""
import random
import sys
import zipfile

rng = random.Random(1)
words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(2000)]


def text(size):
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rng.choice(words) for _ in range(12)) + b"\n"
    return bytes(out[:size])


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("large", "small"):
        sys.exit(__doc__)
    kind, out = sys.argv[1], sys.argv[2]
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        if kind == "large":
            megabytes = int(sys.argv[3]) if len(sys.argv) > 3 else 200
            size = 10 * 1000 * 1000
            for i in range(max(1, megabytes // 10)):
                data = rng.randbytes(size * 6 // 10) + text(size - size * 6 // 10)
                z.writestr(f"bin/part{i:02d}.dat", data)
        else:
            for i in range(5000):
                z.writestr(f"res/d{i // 500}/s{(i // 50) % 10}/f{i:04d}.txt", text(rng.randint(500, 8000)))


if __name__ == "__main__":
    main()
