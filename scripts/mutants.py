#!/usr/bin/env python3
"""Runs the mutation list (scripts/mutants.txt) against the default test suite.

Each mutant is one small fault: a run of lines of one file replaced by others. The tree is copied
once (tracked files and untracked ones git does not ignore) into build/mutants/tree and built
there; then each mutant is applied alone, the tree rebuilt, the suite run, and the file put back.
A mutant is killed when the build of the mutated tree passes and a test fails; it survives when
every test passes. The suite runs in two rounds, the quick tests first and the slow ones only for
a mutant the quick ones did not kill, each round stopping at its first failure.

  scripts/mutants.sh                 every mutant of the list
  scripts/mutants.sh reader paging   only the mutants whose family is named
  scripts/mutants.sh --check         only that every mutant's lines stand once in the tree
  MUTANTS_KEEP_TREE=1 ...            reuse the copy and its build from an earlier run
"""

import os
import re
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "build" / "mutants"
TREE = WORK / "tree"
# Laid out like the checkout and configured with its preset, so that ccache (base_dir set to a
# folder above both) serves the copy's first build from the checkout's.
BUILD = TREE / "build" / "default"

# The tests that take seconds each, left to the second round.
SLOW_TESTS = r"(stress|Stress|browser|Installed|integration|Integration|fault_matrix|FaultMatrix|Bench|cli\.|sandbox\.)"
TEST_TIMEOUT_S = 300


@dataclass
class Mutant:
    family: str
    name: str
    path: str
    old: list = field(default_factory=list)
    new: list = field(default_factory=list)


def read_list(path):
    """Reads the list: "## family: name", the file's path, "- " lines to find, "+ " lines instead."""
    mutants = []
    for raw in path.read_text(encoding="utf-8").splitlines():
        line = raw.rstrip()
        if line.startswith("## "):
            family, _, name = line[3:].partition(":")
            mutants.append(Mutant(family.strip(), name.strip(), ""))
        elif not mutants or not line or line.startswith("#"):
            continue
        elif line.startswith("- ") or line == "-":
            mutants[-1].old.append(line[2:].strip())
        elif line.startswith("+ ") or line == "+":
            mutants[-1].new.append(line[2:])
        else:
            mutants[-1].path = line.strip()
    for m in mutants:
        if not m.path or not m.old:
            sys.exit(f"mutants: '{m.name}' needs a file and lines to replace")
    return mutants


def apply(m, text):
    """The text with the mutant's lines replaced, matched on their trimmed form; None unless the
    lines stand in the file exactly once."""
    lines = text.split("\n")
    trimmed = [l.strip() for l in lines]
    n = len(m.old)
    hits = [i for i in range(len(lines) - n + 1) if trimmed[i:i + n] == m.old]
    if len(hits) != 1:
        return None
    i = hits[0]
    indent = re.match(r"\s*", lines[i]).group(0)
    replacement = [indent + l.strip() if l.strip() else "" for l in m.new]
    return "\n".join(lines[:i] + replacement + lines[i + n:])


def run(cmd, cwd, log, timeout=None):
    with open(log, "w", encoding="utf-8") as out:
        try:
            return subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return -1


def copy_tree():
    files = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"],
                           cwd=ROOT, check=True, capture_output=True, text=True).stdout.split("\n")
    if TREE.exists():
        shutil.rmtree(TREE)
    for rel in filter(None, files):
        src = ROOT / rel
        if not src.is_file():
            continue
        dst = TREE / rel
        dst.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(src, dst)


def configure_and_build():
    if run(["cmake", "--preset", "default"], TREE, WORK / "configure.log") != 0:
        sys.exit(f"mutants: configuring the copy failed, see {WORK / 'configure.log'}")
    # The browser test's npm package (the HAR schema), as scripts/test.sh installs it.
    if run(["scripts/npm-ci.sh", str(BUILD)], TREE, WORK / "npm.log") != 0:
        sys.exit(f"mutants: installing the browser test's package failed, see {WORK / 'npm.log'}")
    if build() != 0:
        sys.exit(f"mutants: the unmutated copy does not build, see {WORK / 'build.log'}")


def build():
    return run(["cmake", "--build", str(BUILD), "-j", str(os.cpu_count() or 2)], TREE,
               WORK / "build.log")


def first_failure(log):
    for line in Path(log).read_text(encoding="utf-8", errors="replace").splitlines():
        m = re.search(r"\d+/\d+ Test\s+#\d+: (\S+) .*\*\*\*(Failed|Timeout|Exception)", line)
        if m:
            return m.group(1)
    return "(see log)"


def suite():
    """None when every test passes, else the name of the first test that failed."""
    jobs = str(os.cpu_count() or 2)
    base = ["ctest", "--test-dir", str(BUILD), "-j", jobs, "--stop-on-failure",
            "--timeout", str(TEST_TIMEOUT_S)]
    for n, select in enumerate((["-E", SLOW_TESTS], ["-R", SLOW_TESTS])):
        log = WORK / f"ctest{n}.log"
        if run(base + select, TREE, log) != 0:
            return first_failure(log)
    return None


def check(mutants):
    stale = [m for m in mutants if apply(m, (ROOT / m.path).read_text(encoding="utf-8")) is None]
    for m in stale:
        print(f"mutants: the lines of '{m.family}: {m.name}' do not stand once in {m.path}")
    print(f"mutants: {len(mutants) - len(stale)} of {len(mutants)} apply")
    return 1 if stale else 0


def main(argv):
    only_check = "--check" in argv
    families = set(argv) - {"--check"}
    mutants = [m for m in read_list(ROOT / "scripts" / "mutants.txt")
               if not families or m.family in families]
    if only_check:
        return check(mutants)
    WORK.mkdir(parents=True, exist_ok=True)
    if not (os.environ.get("MUTANTS_KEEP_TREE") and TREE.exists()):
        copy_tree()
    configure_and_build()
    if suite() is not None:
        sys.exit("mutants: the unmutated tree fails its own suite; fix that first")

    rows = []
    for k, m in enumerate(mutants, 1):
        target = TREE / m.path
        original = target.read_text(encoding="utf-8")
        mutated = apply(m, original)
        started = time.monotonic()
        if mutated is None:
            outcome, detail = "NOT FOUND", "the lines are not in the file once"
        else:
            target.write_text(mutated, encoding="utf-8")
            try:
                if build() != 0:
                    outcome, detail = "NO BUILD", "the mutated tree does not compile"
                else:
                    failed = suite()
                    outcome, detail = ("killed", failed) if failed else ("SURVIVED", "")
            finally:
                target.write_text(original, encoding="utf-8")
        rows.append((m, outcome, detail))
        print(f"[{k}/{len(mutants)}] {outcome:9} {m.family}: {m.name} "
              f"({time.monotonic() - started:.0f} s) {detail}", flush=True)
    build()

    print()
    print("| # | family | mutant | outcome | first failing test |")
    print("|---|---|---|---|---|")
    for k, (m, outcome, detail) in enumerate(rows, 1):
        print(f"| {k} | {m.family} | {m.name} (`{m.path}`) | {outcome} | {detail} |")
    killed = sum(1 for _, o, _ in rows if o == "killed")
    print(f"\nmutants: {killed} killed, {len(rows) - killed} not killed, of {len(rows)}")
    return 0 if killed == len(rows) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
