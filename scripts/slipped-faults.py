#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Clipwren+ developers

"""Slips one small fault at a time into the sources and sees which test catches it.

Each fault in the list (scripts/slipped-faults.txt) is one exact-string replacement in one
file under src/ or peer/, named by its base name only and found with `git ls-files`, so the
list survives files moving between folders. For each fault the file is changed and the tests
run, fastest first (or, with --first-from, the one that caught it last time first), each
built just before it runs, until one fails; the file is then put back as it was, whatever
happens (a failed build, Ctrl-C, SIGTERM). A file left changed by a run that was killed
outright is put back at the next start from the copy kept in the build folder.

Results: "caught by <test>" (the first test that failed, and failed again when run once
more: a test that fails only once proves nothing and is noted beside the result), "survived",
"code removed" (the snippet or the file is gone), "does not build" (the fault list needs
mending), "not unique" (the snippet occurs more than once: the list needs mending).

Tests left out of every run:
  fuzz_smoke, tst_package, licence_headers: they do not exercise the behaviour under test
    (fuzzers' crash smoke, the package's files, licence lines);
  *_sway, *_kwin, *_gnome, *_wayland: the same test programs again on other desktops;
    tst_pasteboard and tst_e2e run once, on X11.
So a fault that only the Wayland runs would see survives here.

Each fault takes the build lock (shared with everyone building on this machine) for its own
build and tests only, and gives it back before the next.

Usage, from the top of the tree:
  scripts/slipped-faults.py --build DIR [--only N,M,P-Q] [--out FILE] [--first-from FILE]
                            [--jobs-lock /tmp/clipwren-build.lock] [--timeout 120]
  scripts/slipped-faults.py --check      (only looks for every snippet; builds nothing)
"""

import argparse
import fcntl
import os
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

EXCLUDED = r"^(fuzz_smoke|tst_package|licence_headers)$|_(sway|kwin|gnome|wayland)$"
BUILD_TIME_LIMIT_S = 3600


@dataclass
class Fault:
    number: int
    file: str
    description: str = ""
    original: str = ""
    replacement: str = ""


class Interrupted(Exception):
    pass


def on_signal(signum, _frame):
    raise Interrupted(signal.Signals(signum).name)


def parse_faults(path):
    """Blocks of:
    == <number> <file base name>
    what: <one-line description>
    find: <original>       (lines that follow starting with "    |" continue it)
    into: <replacement>    (empty for a deletion; "    |" continues it too)
    Lines starting with # are comments."""
    faults, current, field = [], None, None
    for lineno, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith("#"):
            continue
        if line.startswith("== "):
            parts = line[3:].split()
            if len(parts) != 2 or not parts[0].isdigit():
                sys.exit(f"{path}:{lineno}: expected '== <number> <file>'")
            current = Fault(int(parts[0]), parts[1])
            faults.append(current)
            field = None
        elif line.startswith("    |") and current and field:
            setattr(current, field, getattr(current, field) + "\n" + line[5:])
        elif current and line[:6] in ("what: ", "find: ", "into: ", "into:"):
            key = line[:4]
            field = {"what": "description", "find": "original", "into": "replacement"}[key]
            setattr(current, field, line[6:] if len(line) > 5 else "")
            if key == "what":
                field = None
        elif line.strip():
            sys.exit(f"{path}:{lineno}: cannot read {line!r}")
    numbers = [f.number for f in faults]
    duplicates = {n for n in numbers if numbers.count(n) > 1}
    if duplicates:
        sys.exit(f"{path}: numbers used twice: {sorted(duplicates)}")
    for fault in faults:
        if not fault.original or not fault.description:
            sys.exit(f"{path}: fault {fault.number} lacks 'what:' or 'find:'")
        if fault.original == fault.replacement:
            sys.exit(f"{path}: fault {fault.number} changes nothing")
    return faults


def source_files():
    listed = subprocess.run(["git", "ls-files", "--", "src", "peer"], check=True,
                            capture_output=True, text=True).stdout.split()
    by_name = {}
    for path in listed:
        by_name.setdefault(Path(path).name, []).append(Path(path))
    return by_name


def locate(fault, by_name):
    """(path, text, problem): problem is None when the fault can be slipped in."""
    paths = by_name.get(fault.file, [])
    if not paths:
        return None, None, "code removed"
    if len(paths) > 1:
        return None, None, "not unique"  # two files of that name: the list must say which
    text = paths[0].read_bytes().decode("utf-8")
    count = text.count(fault.original)
    if count == 0:
        return paths[0], text, "code removed"
    if count > 1:
        return paths[0], text, "not unique"
    return paths[0], text, None


class BuildLock:
    def __init__(self, path):
        self.path = path
        self.handle = None

    def __enter__(self):
        self.handle = open(self.path, "a")
        fcntl.flock(self.handle, fcntl.LOCK_EX)
        return self

    def __exit__(self, *_):
        fcntl.flock(self.handle, fcntl.LOCK_UN)
        self.handle.close()


def run(command, log, time_limit):
    """Runs command in a session of its own (so that all of it can be stopped); its output
    goes to log. Returns the exit status, or None when it ran out of time."""
    log.write(f"$ {' '.join(command)}\n")
    log.flush()
    process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT,
                               start_new_session=True)
    try:
        return process.wait(timeout=time_limit)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return None
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise


class Runner:
    def __init__(self, args):
        self.build = Path(args.build).resolve()
        self.lock = args.jobs_lock
        self.timeout = args.timeout
        self.excluded = re.compile(EXCLUDED + (f"|{args.exclude}" if args.exclude else ""))
        self.logs = self.build / "slipped-faults"
        self.logs.mkdir(parents=True, exist_ok=True)
        self.backup = self.logs / "original"
        self.tests = []

    def restore_leftover(self):
        """Puts back a file that a killed run left changed."""
        if not self.backup.exists():
            return
        record = self.backup.read_bytes().decode("utf-8")
        path, _, text = record.partition("\n")
        Path(path).write_bytes(text.encode("utf-8"))
        self.backup.unlink()
        print(f"put back {path}, left changed by an earlier run", flush=True)

    def build_tree(self, log):
        return run(["nice", "-n", "10", "cmake", "--build", str(self.build)], log,
                   BUILD_TIME_LIMIT_S) == 0

    def build_test(self, name, log):
        """Builds only what one test needs (its program has the test's name), so that a fault
        caught by the first test tried costs one program's link, not the whole tree's."""
        return run(["nice", "-n", "10", "cmake", "--build", str(self.build), "--target", name],
                   log, BUILD_TIME_LIMIT_S) == 0

    def run_test(self, name, log):
        # Not niced: a test starved by others' work beside it fails for the wrong reason.
        status = run(["ctest", "--test-dir", str(self.build), "-R",
                      f"^{re.escape(name)}$", "--timeout", str(self.timeout),
                      "--output-on-failure"], log, self.timeout * 3 + 60)
        return status == 0

    def list_tests(self):
        listed = subprocess.run(["ctest", "--test-dir", str(self.build), "-N"], check=True,
                                capture_output=True, text=True).stdout
        names = re.findall(r"Test\s+#\d+: (\S+)", listed)
        return [n for n in names if not self.excluded.search(n)]

    def baseline(self):
        """Builds the tree as it is and times every test; all must pass, or no fault's result
        would mean anything. The fastest then run first for every fault."""
        times = {}
        with BuildLock(self.lock), open(self.logs / "baseline.log", "w") as log:
            if not self.build_tree(log):
                sys.exit(f"the tree does not build as it is: see {log.name}")
            for name in self.list_tests():
                for _ in range(2):
                    started = time.monotonic()
                    if self.run_test(name, log):
                        break
                else:
                    sys.exit(f"{name} fails on the tree as it is (twice): see {log.name}; "
                             "mend it or leave it out with --exclude")
                times[name] = time.monotonic() - started
        self.tests = sorted(times, key=times.get)
        print("tests, fastest first: " +
              ", ".join(f"{n} {times[n]:.0f}s" for n in self.tests), flush=True)
        return times

    def try_fault(self, fault, path, text, first=None):
        mutated = text.replace(fault.original, fault.replacement, 1)
        with BuildLock(self.lock), open(self.logs / f"fault-{fault.number}.log", "w") as log:
            self.backup.write_bytes(f"{path.resolve()}\n{text}".encode("utf-8"))
            try:
                path.write_bytes(mutated.encode("utf-8"))
                order = ([first] if first in self.tests else []) + \
                    [n for n in self.tests if n != first]
                flaky = []
                for name in order:
                    if not self.build_test(name, log):
                        return "does not build"
                    if self.run_test(name, log):
                        continue
                    # Caught only by a failure that comes again: a test that fails once and
                    # then passes proves nothing about the fault.
                    if not self.run_test(name, log):
                        return f"caught by {name}"
                    flaky.append(name)
                return "survived" + (f" ({', '.join(flaky)} failed once, then passed)"
                                     if flaky else "")
            finally:
                path.write_bytes(text.encode("utf-8"))
                self.backup.unlink()

    def rebuild_clean(self):
        with BuildLock(self.lock), open(self.logs / "final.log", "w") as log:
            self.build_tree(log)


def tally_lines(results):
    kinds = ["caught", "survived", "code removed", "does not build", "not unique"]
    counts = {k: 0 for k in kinds}
    for result in results:
        counts[next(k for k in kinds if result.startswith(k))] += 1
    shown = [f"{k} {counts[k]}" for k in kinds if counts[k] or k in kinds[:4]]
    return [f"tally: {len(results)} faults: " + ", ".join(shown)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", help="the build folder (configured and built once)")
    parser.add_argument("--only", help="fault numbers and ranges, as in 3,7,40-52")
    parser.add_argument("--jobs-lock", default="/tmp/clipwren-build.lock")
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test")
    parser.add_argument("--out", help="also write the results to this file")
    parser.add_argument("--list", default="scripts/slipped-faults.txt")
    parser.add_argument("--exclude", help="a regular expression of more tests to leave out")
    parser.add_argument("--first-from", help="an earlier run's results: the test that caught "
                        "each fault there is tried first")
    parser.add_argument("--check", action="store_true",
                        help="only look for every fault's file and snippet")
    args = parser.parse_args()
    if not args.check and not args.build:
        parser.error("--build DIR is needed (or --check)")

    faults = parse_faults(Path(args.list))
    if args.only:
        wanted = set()
        for part in args.only.split(","):
            first, _, last = part.partition("-")
            wanted.update(range(int(first), int(last or first) + 1))
        faults = [f for f in faults if f.number in wanted]
    by_name = source_files()
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    runner = None
    if not args.check:
        runner = Runner(args)
        runner.restore_leftover()
        runner.baseline()

    out = open(args.out, "w", encoding="utf-8") if args.out else None

    def say(line):
        print(line, flush=True)
        if out:
            out.write(line + "\n")
            out.flush()

    catchers = {}
    if args.first_from:
        for line in Path(args.first_from).read_text(encoding="utf-8").splitlines():
            found = re.match(r"\s*(\d+)\s.*->  caught by (\S+)", line)
            if found:
                catchers[int(found.group(1))] = found.group(2)

    results = []
    started = time.monotonic()
    try:
        for fault in faults:
            path, text, result = locate(fault, by_name)
            fault_started = time.monotonic()
            if result is None:
                result = "ready" if args.check else runner.try_fault(fault, path, text,
                                                                     catchers.get(fault.number))
            results.append(result)
            seconds = time.monotonic() - fault_started
            say(f"{fault.number:3d}  {fault.file:24s} {fault.description}  ->  {result}"
                + ("" if args.check else f"  ({seconds:.0f} s)"))
    except Interrupted as stop:
        say(f"stopped by {stop} after {len(results)} faults; every file is back as it was")
    finally:
        if runner:
            try:
                runner.rebuild_clean()  # the binaries were built from the last fault
            except Interrupted:
                say("the build folder still holds the last fault's binaries: build it again")
    if not args.check:
        for line in tally_lines(results):
            say(line)
        say(f"time: {(time.monotonic() - started) / 60:.1f} min for {len(results)} faults")
    elif any(r != "ready" for r in results):
        sys.exit(1)


if __name__ == "__main__":
    main()
