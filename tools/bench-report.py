#!/usr/bin/env python3
"""Writes docs/benchmarks.md and docs/benchmarks.png from the raw output of
tools/bench-all.sh.

    tools/bench-report.py <raw-dir> <out-dir>
"""
import os
import re
import statistics
import sys


def read(raw, name):
    path = os.path.join(raw, name)
    return open(path, encoding="utf-8").read() if os.path.exists(path) else ""


def numbers(pattern, text):
    return [tuple(float(g) for g in m.groups()) for m in re.finditer(pattern, text)]


def one(pattern, text, default=None):
    found = numbers(pattern, text)
    return found[0] if found else default


def machine_facts(raw):
    facts = {}
    for line in read(raw, "machine.txt").splitlines():
        key, _, value = line.partition(" ")
        facts[key] = value
    return facts


def chart(sweep, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    sizes = [row["mb"] for row in sweep]
    figure, (left, right) = plt.subplots(1, 2, figsize=(10, 4), dpi=100)
    left.plot(sizes, [r["ours-extract"] for r in sweep], "o-", label="ours under Wine")
    left.plot(sizes, [r["unzip"] for r in sweep], "s--", label="Info-ZIP unzip, native")
    left.set_title("Extraction")
    right.plot(sizes, [r["ours-download"] for r in sweep], "o-", label="ours under Wine")
    right.plot(sizes, [r["curl"] for r in sweep], "s--", label="curl, native")
    right.set_title("Download over loopback")
    for axes in (left, right):
        axes.set_xlabel("package contents (MB)")
        axes.set_ylabel("seconds")
        axes.grid(True, alpha=0.3)
        axes.legend()
        axes.set_xlim(left=0)
        axes.set_ylim(bottom=0)
    figure.tight_layout()
    figure.savefig(path)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    raw, out = sys.argv[1], sys.argv[2]
    facts = machine_facts(raw)
    install = read(raw, "install.txt")
    start = read(raw, "start.txt")
    ui = read(raw, "ui.txt")
    sweep_text = read(raw, "sweep.txt")
    size_table = read(raw, "size.md").strip()

    lines = []
    add = lines.append
    add("# Benchmarks")
    add("")
    add(f"Written by `tools/bench-all.sh` on {facts.get('date', '?')}, commit {facts.get('commit', '?')}, in "
        f"{facts.get('seconds', '?')} s. Every figure stands beside a reference measured in the same run on the same "
        "machine, so compare ratios rather than absolute times between machines.")
    add("")
    add("| machine | |")
    add("|---|---|")
    add(f"| processor | {facts.get('cpu', '?')}, {facts.get('cores', '?')} cores |")
    add(f"| memory | {facts.get('memory', '?')} |")
    add(f"| system | {facts.get('kernel', '?')}, {facts.get('wine', '?')} |")
    add(f"| installer | the {facts.get('arch', '?')} build of `Install.exe` under Wine |")
    add("")

    add("## Summary")
    add("")
    add("| figure | ours | reference | ratio | target |")
    add("|---|---|---|---|---|")
    total = re.search(r"\| Install\.exe \|.*\| ([\d,]+) bytes \|", size_table)
    if total:
        size = int(total.group(1).replace(",", ""))
        add(f"| size of `Install.exe` | {size:,} bytes ({size / 1e6:.2f} MB) | | | ≤ 2 MiB (2,097,152 bytes) |")
    for package, what in (("large", "200 MB in 20 files"), ("small", "5,000 small files")):
        found = one(rf"{package} extract: unzip native\s+([\d.]+)\s+ours\s+([\d.]+).*?nsis under Wine\s+([\d.]+)",
                    install)
        if found:
            unzip, ours, nsis = found
            add(f"| extraction, {what} | {ours:.3f} s | unzip native {unzip:.3f} s, NSIS under Wine "
                f"{nsis:.3f} s | {ours / unzip:.2f}× unzip, {ours / nsis:.2f}× NSIS | |")
    download = one(r"download: curl native\s+([\d.]+) MB/s\s+bare Winsock under Wine\s+([\d.]+) MB/s\s+ours\s+([\d.]+)"
                   r" MB/s first request,\s+([\d.]+) MB/s as the installer", install)
    if download:
        curl, floor, first_request, ours = download
        add(f"| download over loopback, as the installer | {ours:.0f} MB/s | curl native {curl:.0f} MB/s, bare Winsock "
            f"under Wine {floor:.0f} MB/s | {ours / curl:.2f}× curl, {ours / floor:.2f}× Winsock | ≥ 0.8× Winsock |")
        add(f"| download over loopback, a process's first request | {first_request:.0f} MB/s | curl native {curl:.0f} MB/s "
            f"| {first_request / curl:.2f}× curl | |")
    https = one(r"https:\s+curl native\s+([\d.]+) MB/s\s+ours\s+([\d.]+) MB/s first request,\s+([\d.]+) MB/s as the installer"
                r"\s+ours over http\s+([\d.]+) MB/s", install)
    if https:
        curl, first_request, ours, plain = https
        add(f"| download over loopback, HTTPS (150 MB), as the installer | {ours:.0f} MB/s | curl native {curl:.0f} MB/s, "
            f"ours over plain HTTP {plain:.0f} MB/s | {ours / curl:.2f}× curl | ≥ 0.7× curl |")
        add(f"| the same, a process's first request | {first_request:.0f} MB/s | curl native {curl:.0f} MB/s | "
            f"{first_request / curl:.2f}× curl | |")
    after = one(r"after it: https ours/curl throughput\s+([\d.]+)\s+http\s+([\d.]+)", install)
    first = one(r"before the first byte \(a 1 KB file\): http curl ([\d.]+) ours ([\d.]+) / ([\d.]+)\s+https curl ([\d.]+)"
                r" ours ([\d.]+) / ([\d.]+)", install)
    if after and first:
        add(f"| HTTPS after the first byte (less a 1 KB download's time) | | curl native | {after[0]:.2f}× curl | |")
        add(f"| time to a 1 KB file over HTTPS, as the installer / a process's first request (handshake, proxy "
            f"settings, chain engine) | {first[5] * 1000:.0f} / {first[4] * 1000:.0f} ms | curl native "
            f"{first[3] * 1000:.0f} ms; ours over http {first[2] * 1000:.0f} / {first[1] * 1000:.0f} ms | | |")
    startup = one(r"name window ([\d.]+), bare window ([\d.]+)", start)
    if startup:
        ours, bare = startup
        add(f"| start-up to the name window's first paint | {ours:.0f} ms | bare window {bare:.0f} ms | "
            f"{ours / bare:.2f}× | ≤ 1.5× |")
    # The floor beside the whole runs: a bare window's loop, and what the host took.
    idle = numbers(r"whole run \(ms\): idle window seconds [\d.]+ messages \d+ busy-worst ([\d.]+)", start)
    steal = numbers(r"whole run \(ms\): host steal ([\d.]+)%", start)
    idle_held = numbers(r"whole run \(ms\): idle window .* held-worst ([\d.]+)", start)
    floor = ""
    if idle:
        floor = f"a bare window's loop beside it: {max(r[0] for r in idle):.1f} ms"
        if steal:
            floor += f"; host steal {min(r[0] for r in steal):.0f}–{max(r[0] for r in steal):.0f}% of busy time"
    for phase in ("download", "extraction"):
        runs = numbers(rf"whole run \(ms\): {phase} seconds ([\d.]+) messages (\d+) busy-worst ([\d.]+) "
                       r"message-worst ([\d.]+) slides (\d+) ticks (\d+) slide-worst ([\d.]+) nominal ([\d.]+) "
                       r"frame-worst ([\d.]+)", start)
        if runs:
            busy = max(r[2] for r in runs)
            slide = max(r[6] for r in runs)
            nominal = runs[0][7]
            frame = max(r[8] for r in runs)
            slides = sum(int(r[4]) for r in runs)
            what = "a 20 MB/s download" if phase == "download" else "the 200 MB extraction"
            add(f"| UI thread, longest busy stretch during {what} (worst of {len(runs)} whole runs) | {busy:.1f} ms "
                f"| one frame, 16 ms{'; ' + floor if floor else ''} | | ≤ 16 ms |")
            # The same stretches less the time the thread waited for a CPU
            # in each (the kernel's account): what the thread itself held.
            held = numbers(rf"whole run \(ms\): {phase} seconds .* held-worst ([\d.]+) \(stretch ([\d.]+) "
                           r"waited ([\d.]+) ran ([\d.]+)\)", start)
            if held:
                worst = max(held, key=lambda r: r[0])
                bare = f"; a bare window's loop: {max(r[0] for r in idle_held):.1f} ms" if idle_held else ""
                add(f"| UI thread, longest stretch less its waits for a CPU during {what} | {worst[0]:.1f} ms "
                    f"(a {worst[1]:.1f} ms stretch: {worst[3]:.1f} ms on a CPU, {worst[2]:.1f} ms waiting for one, "
                    f"the rest waiting for answers or taken by the host) | one frame, 16 ms{bare} | | ≤ 16 ms |")
            add(f"| carousel during {what}: worst of {slides} slides, worst frame | {slide:.0f} ms, {frame:.1f} ms "
                f"| nominal {nominal:.0f} ms, 10 ms | | within 1000 ms |")
    add("")

    add("## Where the bytes of `Install.exe` go")
    add("")
    add("From the linker map (`tools/size-report.py`). Code is built for size, with the hot loops at -O2.")
    add("")
    add(size_table)
    add("")

    add("## Painting the setup window (layered, under Wine)")
    add("")
    add("```")
    add(ui.strip())
    add("```")
    add("")

    add("## Start-up and the carousel")
    add("")
    add("```")
    add(start.strip())
    add("```")
    add("")

    sweep = []
    for m in re.finditer(r"sweep (\d+) (\d+) unzip ([\d.]+) ours-extract ([\d.]+) curl ([\d.]+) ours-download ([\d.]+)",
                         sweep_text):
        mb, packed, unzip, ours_x, curl, ours_d = m.groups()
        sweep.append({"mb": int(mb), "packed": int(packed), "unzip": float(unzip), "ours-extract": float(ours_x),
                      "curl": float(curl), "ours-download": float(ours_d)})
    if sweep:
        add("## Against package size")
        add("")
        add("![Extraction and download time against package size](benchmarks.png)")
        add("")
        add("| contents | package | extraction: ours | unzip native | ratio | download: ours | curl native | ratio |")
        add("|---|---|---|---|---|---|---|---|")
        for r in sweep:
            add(f"| {r['mb']} MB | {r['packed'] / 1e6:.0f} MB | {r['ours-extract']:.3f} s | {r['unzip']:.3f} s | "
                f"{r['ours-extract'] / r['unzip']:.2f} | {r['ours-download']:.3f} s | {r['curl']:.3f} s | "
                f"{r['ours-download'] / r['curl']:.2f} |")
        add("")
        chart(sweep, os.path.join(out, "benchmarks.png"))

    add("## Extraction and download, raw")
    add("")
    add("```")
    add(install.strip())
    add("```")
    add("")
    with open(os.path.join(out, "benchmarks.md"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
