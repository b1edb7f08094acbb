#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the sources compile for Windows, as far as can be checked here.

Debian has no Qt for MinGW, so no Windows binary can be built; instead every
C++ source of a configured build (its compile_commands.json) is run through
x86_64-w64-mingw32-g++ -fsyntax-only against the installed Qt headers, with
the build's own definitions, include paths and warning options. Code that
only compiles on POSIX (unguarded <unistd.h>, ::mkfifo, ::kill, ...) fails.

    tools/mingw-syntax-check.py [BUILD_DIR [PATH...]]
        BUILD_DIR defaults to build-ci; PATHs limit the check to sources whose
        path contains one of them.

Needs the Debian package g++-mingw-w64-x86-64-posix; exits 1 on any failure.
"""
import atexit
import json
import os
import shlex
import re
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

COMPILER = "x86_64-w64-mingw32-g++-posix"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


# moc's output for sources that include it: empty stand-ins where the build
# has not run moc yet, since meta-object code never changes what parses.
STUBS = tempfile.mkdtemp(prefix="mingw-moc-")


def stub_mocs(path):
    with open(path, encoding="utf-8") as f:
        for name in re.findall(r'^#include "(\w+\.moc)"', f.read(), re.M):
            open(os.path.join(STUBS, name), "a").close()


def windows_command(entry):
    stub_mocs(entry["file"])
    words = shlex.split(entry["command"])
    out = [COMPILER, "-fsyntax-only", "-D_WIN32_WINNT=0x0A00", "-idirafter", STUBS]
    skip = False
    for word in words[1:]:
        if skip:
            skip = False
            continue
        if word in ("-o", "-c"):
            skip = True
            continue
        if word in ("-fPIC", entry["file"]) or word.startswith("-fsanitize"):
            continue
        # The Windows platform definitions instead of Linux's.
        out.append(word.replace("mkspecs/linux-g++", "mkspecs/win32-g++"))
    return out + [entry["file"]]


def check(entry):
    result = subprocess.run(windows_command(entry), cwd=entry["directory"],
                            capture_output=True, text=True)
    return entry["file"], result.returncode, result.stderr


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-ci"))
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = [e for e in json.load(f)
                   if e["file"].startswith(ROOT + "/") and not e["file"].startswith(build + "/")
                   and (len(sys.argv) < 3 or any(p in e["file"] for p in sys.argv[2:]))]
    failures = 0
    atexit.register(shutil.rmtree, STUBS, True)
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for path, code, errors in pool.map(check, entries):
            if code != 0:
                failures += 1
                print(f"FAIL {os.path.relpath(path, ROOT)}\n{errors}")
    print(f"{len(entries) - failures} of {len(entries)} sources compile for Windows (MinGW)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
