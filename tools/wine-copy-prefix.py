#!/usr/bin/env python3
"""Copies a prepared Wine prefix cheaply, for a test that needs one of its own.

    wine-copy-prefix.py <prefix> <copy> [<old home> <new home>]

Wine's program files, libraries, code page tables and fonts (nearly all of a
prefix's 700 MB) are never written by a program run in it, so the copy shares
them with the prefix by hard links; everything else (the registry, the user
folders, ini files, what tests left) is copied. The user folders that Wine
links into the home directory (Desktop, Documents, ...) are linked into the
new home instead when one is given, so that shortcuts made in the copy land
in a home of its own.
"""
import os
import shutil
import sys

SHARED = {".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".ax", ".tlb", ".nls",
          ".ttf", ".ttc", ".fon", ".msstyles", ".icm", ".com", ".ds"}


def main():
    source, copy = sys.argv[1], sys.argv[2]
    old_home = new_home = None
    if len(sys.argv) == 5:
        old_home, new_home = os.path.abspath(sys.argv[3]), os.path.abspath(sys.argv[4])
    if not os.path.isfile(os.path.join(source, "system.reg")):
        sys.exit(f"{source} is not a Wine prefix")
    shutil.rmtree(copy, ignore_errors=True)
    os.makedirs(copy)
    for directory, dirs, files in os.walk(source):
        relative = os.path.relpath(directory, source)
        target_dir = os.path.normpath(os.path.join(copy, relative))
        for name in dirs + files:
            path, target = os.path.join(directory, name), os.path.join(target_dir, name)
            if os.path.islink(path):
                link = os.readlink(path)
                if old_home and (link == old_home or link.startswith(old_home + os.sep)):
                    link = new_home + link[len(old_home):]
                    os.makedirs(link, exist_ok=True)
                os.symlink(link, target)
            elif os.path.isdir(path):
                os.mkdir(target)
                shutil.copystat(path, target)
            else:
                try:
                    shared = os.path.splitext(name)[1].lower() in SHARED
                    if shared:
                        try:
                            os.link(path, target)
                        except OSError:  # another file system
                            shared = False
                    if not shared:
                        shutil.copy2(path, target)
                except FileNotFoundError:
                    pass  # removed meanwhile by a test still running in the prefix
        # os.walk would descend into linked folders (dosdevices/z: is the root).
        dirs[:] = [d for d in dirs if not os.path.islink(os.path.join(directory, d))]


if __name__ == "__main__":
    main()
