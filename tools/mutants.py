#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Mutation check: plants one fault at a time and asks whether the test suite notices.

Each fault is a text replacement in one source file (the text must occur exactly once there).
The tree is copied once to a scratch folder and built there; every fault is then applied,
rebuilt incrementally, tested, and taken back out. To keep a run to minutes, a fault is first
tried against the test programs of its own area (FIRST_TESTS below); one that survives them
meets the whole suite before it counts as surviving.

    tools/mutants.py                 all faults
    tools/mutants.py --list          the faults, numbered
    tools/mutants.py 3 7 12          only these
    tools/mutants.py --keep DIR      scratch folder to use (kept afterwards, so reruns are quick)

It ends with "killed K of N". A fault whose replacement no longer applies, or that does not
compile, is reported as such and not counted. It takes minutes, so it is not part of CI.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from mutant_list import MUTANTS

# The test programs tried first for a fault in a file under each folder.
FIRST_TESTS = {
    "protocol/": ["tst_frame", "tst_record", "tst_assembler", "tst_commandqueue", "tst_events",
                  "tst_session"],
    "records/": ["tst_session", "tst_files", "tst_cli", "tst_window"],
    "session/": ["tst_session", "tst_files", "tst_cli", "tst_window"],
    "common/": ["tst_startup", "tst_translation"],
    "cli/": ["tst_cli"],
    "link/": ["tst_tdrclient", "tst_tdrserver", "tst_session"],
    "app/waveform/": ["tst_measurement", "tst_waveformwindow"],
    "app/": ["tst_startup", "tst_window", "tst_files"],
    "bluetooth/": ["tst_emulator"],
    "viewer/": ["tst_startup"],
}

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)


def run(cmd, cwd, timeout, env=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=timeout, env=env, text=True, errors="replace")
        return p.returncode, p.stdout
    except subprocess.TimeoutExpired as e:
        return -1, (e.stdout or "") if isinstance(e.stdout, str) else "timed out"


def copy_tree(dest):
    """Mirrors the tracked and new files into dest; changed files get a new time so make sees them."""
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=TOP,
                           stdout=subprocess.PIPE, check=True).stdout.split(b"\0")
    wanted = set()
    for rel in filter(None, files):
        rel = rel.decode()
        src = os.path.join(TOP, rel)
        if not os.path.isfile(src):
            continue
        wanted.add(rel)
        dst = os.path.join(dest, rel)
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        if not os.path.exists(dst) or open(src, "rb").read() != open(dst, "rb").read():
            shutil.copy(src, dst)
            shutil.copymode(src, dst)
    for root, _, names in os.walk(dest):
        for name in names:
            path = os.path.join(root, name)
            if os.path.relpath(path, dest) not in wanted:
                os.remove(path)


def failing_test(output):
    for line in output.splitlines():
        found = re.search(r"Test\s+#\d+: (\S+) .*\*\*\*(Failed|Timeout|Exception)", line)
        if found:
            return found.group(1)
    return "?"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("only", nargs="*", type=int, help="fault numbers to run (default: all)")
    ap.add_argument("--list", action="store_true", help="list the faults and stop")
    ap.add_argument("--keep", metavar="DIR", help="scratch folder, kept afterwards")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    args = ap.parse_args()

    if args.list:
        for i, (what, path, _, _) in enumerate(MUTANTS, 1):
            print(f"{i:3} {path}: {what}")
        return 0

    scratch = args.keep or tempfile.mkdtemp(prefix="varnel-mutants-")
    src = os.path.join(scratch, "src")
    build = os.path.join(scratch, "build")
    os.makedirs(src, exist_ok=True)
    copy_tree(src)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    code, out = run(["cmake", "-S", src, "-B", build, "-DVARNEL_BUILD_TESTS=ON",
                     "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], scratch, 600)
    if code != 0:
        print(out)
        return 2
    ctest = ["ctest", "--test-dir", build, "-j", str(args.jobs), "--stop-on-failure",
             "--timeout", "120", "--output-on-failure"]
    build_cmd = ["cmake", "--build", build, "-j", str(args.jobs)]
    code, out = run(build_cmd, scratch, 3600)
    if code == 0:
        code, out = run(ctest, scratch, 1800, env)
    if code != 0:
        print(out[-4000:])
        print("the unmodified tree does not build or pass its tests")
        return 2

    def test(targets):
        """Builds and runs the given test programs (all when None): -2 when it does not build."""
        code, out = run(build_cmd + (["--target"] + targets if targets else []), scratch, 1800)
        if code != 0:
            return -2, out
        pattern = ["-R", "^(" + "|".join(targets) + ")$"] if targets else []
        return run(ctest + pattern, scratch, 1800, env)

    chosen = args.only or list(range(1, len(MUTANTS) + 1))
    killed = counted = 0
    survivors = []
    for n in chosen:
        what, rel, old, new = MUTANTS[n - 1]
        path = os.path.join(src, rel)
        original = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
        if original.count(old) != 1:
            print(f"{n:3} STALE     {rel}: {what} (text found {original.count(old)} times)")
            continue
        start = time.time()
        with open(path, "w", encoding="utf-8") as f:
            f.write(original.replace(old, new))
        try:
            first = next((t for d, t in FIRST_TESTS.items() if rel.startswith(d)), None)
            code, out = test(first) if first else (0, "")
            if code == 0:  # survived its own area's tests: the whole suite decides
                code, out = test(None)
            took = time.time() - start
            if code == -2:
                print(f"{n:3} NO BUILD  {rel}: {what}")
                continue
            counted += 1
            if code != 0:
                killed += 1
                print(f"{n:3} killed    {rel}: {what} [{failing_test(out)}, {took:.0f} s]", flush=True)
            else:
                survivors.append(n)
                print(f"{n:3} SURVIVED  {rel}: {what} [{took:.0f} s]", flush=True)
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
    run(build_cmd, scratch, 3600)
    if survivors:
        print("survived:", " ".join(map(str, survivors)))
    print(f"killed {killed} of {counted}")
    if not args.keep:
        shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
