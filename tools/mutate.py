#!/usr/bin/env python3
"""Measures what the tests catch: applies small faults to the production code
one at a time, rebuilds what changed, runs the tests that cover the fault's
folder and records whether they noticed.

  tools/mutate.py [--count N] [--seed S] [--results FILE] [--list] [--only ID...]

The faults: a comparison flipped, a `+ 1` or `- 1` dropped, a condition
negated, a call removed, a constant changed. The sample is drawn once, by the
seed, spread over the folders in proportion to their lines, and kept in
tools/mutants.tsv with the text of each fault's line: later runs find the line
by its text, so the same faults are measured while the code around them
changes (a fault whose line is gone counts as stale). Each result is one line
of the results file (default build/mutation/results.tsv: id, folder,
file:line, fault, outcome, and the first test that failed), written as soon as
it is known, so a run that is stopped goes on where it stopped; `--list`
prints the sample, and a finished run prints the counts and writes the
survivors beside the results. Run it in a worktree of its own: the files are
changed in place (and put back, also after a run that was killed, from the
copy kept beside the results).
"""
import argparse
import collections
import fnmatch
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Folder -> the tests that exercise it: host unit programs, the Windows unit
# program, and Wine scripts (name patterns in tests/wine). The host tree is
# rebuilt only for folders it compiles, the Windows tree for the others.
FOLDERS = {
    "base": ("host win32", "unit narrow win", ["startup", "install-files", "install-unattended"]),
    "inflate": ("host win32", "unit narrow", ["startup", "install-files"]),
    "setupdata": ("host win32", "unit win", ["startup", "install-files"]),
    "uninstlog": ("host win32", "unit win", ["uninstall-*"]),
    "install": ("win32", "win", ["install-*"]),
    "wizard": ("win32", "win", ["wizard-*"]),
    "startup": ("win32", "win", ["startup", "install-unattended"]),
    "uninstaller": ("host win32", "unit win", ["uninstall-*"]),
    "authoring": ("host", "unit", ["install-files", "install-signed"]),
}
HOST_TARGETS = ["setvik", "setvik_tests", "setvik_narrow_tests"]
TEST_SECONDS = 600

COMPARISONS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
KEYWORDS = {"return", "if", "while", "for", "switch", "case", "sizeof", "delete", "new", "else", "do",
            "static_assert", "using", "typedef", "goto", "throw"}


def masked(line):
    """The line with string and character literals and a trailing comment
    blanked, so that faults are only looked for in code."""
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            if c == quote:
                quote = None
                out.append(c)
            else:
                out.append(" ")
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)[: len(line)]


def matching_paren(text, start):
    depth = 0
    for i in range(start, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def sites(line):
    """(fault, column, old, new) for each fault the line can take."""
    code = masked(line)
    stripped = code.strip()
    if not stripped or stripped.startswith(("#", "*", "/*")) or "static_assert" in code:
        return []
    found = []
    for m in re.finditer(r"(?<=\S) (==|!=|<=|>=|<|>) (?=\S)", code):
        op = m.group(1)
        found.append(("comparison flipped", m.start(1), op, COMPARISONS[op]))
    for m in re.finditer(r" ([+-]) 1\b(?![.\w])", code):
        found.append(("%s 1 dropped" % m.group(1), m.start(), m.group(0), ""))
    for m in re.finditer(r"\b(if|while) \(", code):
        open_at = m.end() - 1
        close_at = matching_paren(code, open_at)
        if close_at > 0:
            inner = line[open_at + 1 : close_at]
            found.append(("condition negated", open_at + 1, inner, "!(" + inner + ")"))
    m = re.match(r"^(\s*)([A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*)\(.*\);\s*$", code)
    if m and m.group(2).split(":")[0] not in KEYWORDS and matching_paren(code, m.end(2)) == len(code.rstrip()) - 2:
        body = line[m.end(1) : len(line.rstrip())]
        found.append(("call removed", m.end(1), body, ";"))
    for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.'])", code):
        if code[: m.start()].rstrip().endswith(("[", "operator")):
            continue
        value = int(m.group(1))
        found.append(("constant changed", m.start(), m.group(1), str(value + 1)))
    return found


def production_files():
    files = collections.defaultdict(list)
    for folder in FOLDERS:
        for base, _, names in os.walk(os.path.join(ROOT, folder)):
            for name in sorted(names):
                if name.endswith((".cpp", ".h")) and not name.endswith("Posix.cpp"):
                    files[folder].append(os.path.relpath(os.path.join(base, name), ROOT))
    return files


def sample(count, seed):
    files = production_files()
    lines = {f: sum(len(open(os.path.join(ROOT, p)).readlines()) for p in ps) for f, ps in files.items()}
    total = sum(lines.values())
    rng = random.Random(seed)
    mutants = []
    for folder in FOLDERS:
        candidates = []
        for path in files[folder]:
            with open(os.path.join(ROOT, path)) as f:
                for number, line in enumerate(f, 1):
                    for fault, column, old, new in sites(line.rstrip("\n")):
                        candidates.append((path, number, fault, column, old, new))
        share = max(1, round(count * lines[folder] / total))
        for c in rng.sample(candidates, min(share, len(candidates))):
            mutants.append((folder,) + c)
    mutants.sort()
    return [("m%03d" % i,) + m for i, m in enumerate(mutants)]


def run(command, seconds=TEST_SECONDS, env=None):
    try:
        return subprocess.run(command, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=seconds, env=env).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def build(trees):
    ok = True
    if "host" in trees:
        ok = run(["cmake", "--build", "build/host", "-j", "2", "--target"] + HOST_TARGETS)
    if ok and "win32" in trees:
        ok = run(["cmake", "--build", "build/win32", "-j", "2"])
    return ok


def wine_scripts(patterns):
    names = sorted(n[:-3] for n in os.listdir(os.path.join(ROOT, "tests/wine")) if n.endswith(".sh"))
    return [n for n in names if any(fnmatch.fnmatch(n, p) for p in patterns)]


def caught(folder):
    """The first test covering the folder that fails, the cheapest run
    first ("unit", "narrow", "windows-unit" or a Wine script's name); None
    when every one passes."""
    _, units, patterns = FOLDERS[folder]
    host = os.path.join(ROOT, "build/host")
    if "unit" in units and not run([host + "/setvik_tests", "--gtest_fail_fast", "--gtest_brief=1"]):
        return "unit"
    if "narrow" in units and not run([host + "/setvik_narrow_tests", "--gtest_fail_fast", "--gtest_brief=1"]):
        return "narrow"
    if "win" in units and not run(["tests/wine/windows-unit.sh"]):
        return "windows-unit"
    return next((name for name in wine_scripts(patterns) if not run(["tests/wine/%s.sh" % name])), None)


def line_of(path, number):
    with open(os.path.join(ROOT, path)) as f:
        return f.readlines()[number - 1].rstrip("\n")


def apply(path, number, text, column, old, new):
    """Applies the fault to the line that reads text, the one nearest to where
    it was drawn; False when no line reads so any more."""
    full = os.path.join(ROOT, path)
    if not os.path.exists(full):
        return False
    with open(full) as f:
        lines = f.readlines()
    matches = [i for i, line in enumerate(lines) if line.rstrip("\n") == text]
    if not matches or text[column : column + len(old)] != old:
        return False
    at = min(matches, key=lambda i: abs(i + 1 - number))
    lines[at] = text[:column] + new + text[column + len(old) :] + "\n"
    with open(full, "w") as f:
        f.writelines(lines)
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--count", type=int, default=160)
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--results", default=os.path.join(ROOT, "build/mutation/results.tsv"))
    parser.add_argument("--sample", default=os.path.join(ROOT, "tools/mutants.tsv"))
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--only", nargs="*")
    args = parser.parse_args()
    if not os.path.exists(args.sample):
        with open(args.sample, "w") as f:
            for m in sample(args.count, args.seed):
                f.write("\t".join(str(x) for x in m) + "\t" + line_of(m[2], m[3]) + "\n")
    mutants = []
    for row in open(args.sample):
        ident, folder, path, number, fault, column, old, new, text = row.rstrip("\n").split("\t")
        mutants.append((ident, folder, path, int(number), fault, int(column), old, new, text))
    if args.list:
        for m in mutants:
            print("%s %-11s %s:%d %s: %r -> %r" % (m[0], m[1], m[2], m[3], m[4], m[6], m[7]))
        return 0
    os.makedirs(os.path.dirname(args.results), exist_ok=True)
    backup = args.results + ".original"
    if os.path.exists(backup):  # a run killed inside a mutant: put the file back
        path = open(backup + ".path").read()
        shutil.copy(backup, os.path.join(ROOT, path))
        os.remove(backup)
        os.remove(backup + ".path")
    done = {}
    if os.path.exists(args.results):
        for row in open(args.results):
            parts = row.rstrip("\n").split("\t")
            done[parts[0]] = parts[4]
    for ident, folder, path, number, fault, column, old, new, text in mutants:
        if ident in done or (args.only and ident not in args.only):
            continue
        full = os.path.join(ROOT, path)
        shutil.copy(full, backup)
        with open(backup + ".path", "w") as f:
            f.write(path)
        started = time.time()
        by = ""
        try:
            if not apply(path, number, text, column, old, new):
                outcome = "stale"
            elif not build(FOLDERS[folder][0]):
                outcome = "not built"
            else:
                by = caught(folder) or ""
                outcome = "killed" if by else "survived"
        finally:
            shutil.copy(backup, full)
            os.remove(backup)
            os.remove(backup + ".path")
        done[ident] = outcome
        with open(args.results, "a") as f:
            f.write("\t".join([ident, folder, "%s:%d" % (path, number), fault, outcome, by]) + "\n")
        print("%s %s:%d %s: %s %s(%ds)" % (ident, path, number, fault, outcome, by and "by %s " % by,
                                            time.time() - started), flush=True)
    build({"host", "win32"})  # the trees as the code is
    counts = collections.Counter(done[m[0]] for m in mutants if m[0] in done)
    print("mutants %d: killed %d, survived %d, not built %d" %
          (len(mutants), counts["killed"], counts["survived"], counts["not built"]))
    with open(os.path.splitext(args.results)[0] + "-survivors.txt", "w") as f:
        for m in mutants:
            if done.get(m[0]) == "survived":
                f.write("%s %s:%d %s: %r -> %r\n" % (m[0], m[2], m[3], m[4], m[6], m[7]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
