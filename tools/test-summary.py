#!/usr/bin/env python3
"""Prints which build and which kind of Wine prefix each Windows test ran in.

    test-summary.py <build-dir> <arch> <prefix-kind>...

Reads CTest's JUnit report of each pass (<build-dir>/ctest-<kind>.xml) and
what the prefix probe said about that prefix (ctest-<kind>.probe). Exits 1
when a pass has no report or a test did not pass.
"""
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path


def results(report):
    for case in ElementTree.parse(report).getroot().iter("testcase"):
        status = case.get("status", "run")
        if case.find("failure") is not None or status == "fail":
            outcome = "FAILED"
        elif status in ("disabled", "notrun") or case.find("skipped") is not None:
            outcome = "not run"
        else:
            outcome = "passed"
        yield case.get("name"), outcome, float(case.get("time") or 0)


def main():
    build, arch, kinds = Path(sys.argv[1]), sys.argv[2], sys.argv[3:]
    rows, ok = [], True
    for kind in kinds:
        report, probe = build / f"ctest-{kind}.xml", build / f"ctest-{kind}.probe"
        seen = probe.read_text().strip() if probe.exists() else "prefix not prepared"
        if not report.exists():
            rows.append(("(no tests ran)", "FAILED", 0.0, arch, kind, seen))
            ok = False
            continue
        for name, outcome, seconds in results(report):
            rows.append((name, outcome, seconds, arch, kind, seen))
            ok &= outcome == "passed"

    width = max(len(row[0]) for row in rows)
    print(f"\nWindows tests: build, prefix kind, and what the system reported in that prefix")
    print(f"{'test':<{width}}  {'result':<7}  {'time':>7}  build   prefix  system")
    for name, outcome, seconds, arch, kind, seen in rows:
        print(f"{name:<{width}}  {outcome:<7}  {seconds:6.1f}s  {arch:<6}  {kind:<6}  {seen}")
    for kind in kinds:
        mine = [row for row in rows if row[4] == kind]
        passed = sum(row[1] == "passed" for row in mine)
        print(f"{arch} build in a {kind} prefix: {passed} of {len(mine)} passed")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
