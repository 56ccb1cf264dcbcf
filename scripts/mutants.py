#!/usr/bin/python3
"""Mutation testing: how many planted faults does the test suite catch?

Lists mutation sites in the core and batch sources, draws a seeded random sample, and for each
mutant plants that one fault in a private copy of the source tree (under the build folder, never
in the checkout), rebuilds incrementally and runs the suite. A mutant that does not compile is
not viable and is replaced by the next one drawn. The same seed on the same sources gives the
same mutants, so runs before and after a change to the tests compare like with like.

    scripts/mutants.py [--mutants N] [--seed S] [--build-dir build] [--jobs 2]
"""
import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDERS = ("core", "analysis", "relief", "model3d", "design", "cli")
SWAPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
         "+": "-", "-": "+", "*": "/", "/": "*", "&&": "||", "||": "&&"}
# clang-format puts one space on each side of a binary operator, and none inside template
# brackets, shifts, arrows, pointer declarators or unary operators, so the spaces pick out
# the binary operators.
OPERATOR = re.compile(r"(?<= )(<=|>=|==|!=|&&|\|\||[<>+\-*/])(?= )")
INTEGER = re.compile(r"(?<![\w.'])(?<![eE][+-])(\d+)([uUlL]*)(?![\w.'])")
GUARD = re.compile(r"\bif \(")
RAW_STRING = re.compile(r'(?<!\w)(?:u8|[uUL])?R"([^()\\\s]*)\(')


def mask(text):
    """The text with comments, preprocessor lines and the insides of string and character
    literals blanked out; same length and same line breaks, so offsets still match."""
    out = list(text)

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
        elif c == "#" and not text[text.rfind("\n", 0, i) + 1:i].strip():
            j = i
            while True:  # a directive ends at a line break without a backslash before it
                j = text.find("\n", j)
                if j < 0 or text[j - 1] != "\\":
                    break
                j += 1
            j = n if j < 0 else j
        elif RAW_STRING.match(text, i):
            raw = RAW_STRING.match(text, i)
            j = text.find(")" + raw.group(1) + '"', raw.end())
            j = n if j < 0 else j
            blank(raw.end(), j)
            i = j + len(raw.group(1)) + 2
            continue
        elif c in "\"'" and not (c == "'" and i and text[i - 1].isalnum()):
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, j)
            i = j + 1
            continue
        else:
            i += 1
            continue
        blank(i, j)
        i = j
    return "".join(out)


def closing_paren(masked, start):
    depth = 0
    for k in range(start, len(masked)):
        depth += {"(": 1, ")": -1}.get(masked[k], 0)
        if depth == 0:
            return k
    return -1


def sites(path, text):
    """(path, offset, length, replacement, description) for every mutation of one file."""
    masked = mask(text)
    found = []
    for m in OPERATOR.finditer(masked):
        op = m.group(1)
        found.append((path, m.start(), len(op), SWAPS[op], f"'{op}' -> '{SWAPS[op]}'"))
    for m in INTEGER.finditer(masked):
        value, suffix = int(m.group(1)), m.group(2)
        for other in (value + 1, value - 1):
            if other >= 0:
                found.append((path, m.start(), len(m.group(0)), f"{other}{suffix}",
                              f"{m.group(0)} -> {other}{suffix}"))
    for m in GUARD.finditer(masked):
        open_paren = m.end() - 1
        close = closing_paren(masked, open_paren)
        rest = masked[close + 1:].lstrip().lstrip("{").lstrip() if close > 0 else ""
        if re.match(r"(return|continue|break|throw)\b", rest):
            semi = masked.rfind(";", open_paren, close)  # after an init statement, if any
            begin = (semi if semi >= 0 else open_paren) + 1
            begin += len(text[begin:close]) - len(text[begin:close].lstrip())
            condition = " ".join(text[begin:close].split())
            found.append((path, begin, close - begin, "false",
                          f"guard made false: if ({condition})"))
    return found


def where(text, offset):
    line = text.count("\n", 0, offset) + 1
    return line, offset - (text.rfind("\n", 0, offset) + 1) + 1


def run(cmd, log, timeout=None):
    """Exit status of cmd (output appended to log), or None when it ran past timeout."""
    with open(log, "a") as out:
        proc = subprocess.Popen(["nice", "-n", "10"] + cmd, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        try:
            return proc.wait(timeout=timeout)
        except BaseException as e:  # a timeout or a stop: its own session sees neither
            os.killpg(proc.pid, signal.SIGTERM)  # the session holds only what it started
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
            if isinstance(e, subprocess.TimeoutExpired):
                return None
            raise


def sync_copy(src):
    """Makes src a copy of the checkout's tracked and unignored files, touching only files whose
    content differs so the build in the copy stays incremental."""
    listed = subprocess.run(["git", "-C", str(ROOT), "ls-files", "-z", "--cached", "--others",
                             "--exclude-standard"], check=True, capture_output=True, text=True)
    for name in sorted(set(listed.stdout.split("\0")) - {""}):
        origin, copy = ROOT / name, src / name
        if not origin.is_file():
            continue
        if copy.is_file() and copy.read_bytes() == origin.read_bytes():
            continue
        copy.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(origin, copy)  # a fresh time stamp, so the build sees the change
        shutil.copymode(origin, copy)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mutants", type=int, default=40, help="viable mutants to run")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--test-timeout", type=int, default=60, help="seconds per test")
    args = parser.parse_args()
    # On a stop request, end the build or suite under way and put the mutated file back.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("mutants: stopped"))

    work = (ROOT / args.build_dir / "mutants").resolve()
    src, build, log = work / "src", work / "build", work / "last.log"
    work.mkdir(parents=True, exist_ok=True)
    sync_copy(src)

    originals = {}
    candidates = []
    for folder in FOLDERS:
        for path in sorted((src / folder).glob("**/*.cpp")):
            name = str(path.relative_to(src))
            originals[name] = path.read_text()
            candidates += sites(name, originals[name])
    random.Random(args.seed).shuffle(candidates)
    revision = subprocess.run(["git", "-C", str(ROOT), "describe", "--always", "--dirty"],
                              capture_output=True, text=True).stdout.strip()
    print(f"mutants: {len(candidates)} candidates in {revision}, seed {args.seed}, "
          f"{args.mutants} viable mutants wanted; copy and build in {work}")

    build_cmd = ["cmake", "--build", str(build), "-j", str(args.jobs)]
    test_cmd = ["ctest", "--test-dir", str(build), "-j", str(args.jobs), "--stop-on-failure",
                "--timeout", str(args.test_timeout)]
    log.write_text("")
    if (run(["cmake", "-S", str(src), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
             "-DPEDAFORM_BENCH=OFF"], log) != 0 or run(build_cmd, log) != 0):
        sys.exit(f"mutants: the unmutated copy does not build; see {log}")
    started = time.monotonic()
    if run(test_cmd, log) != 0:
        sys.exit(f"mutants: the unmutated copy fails its tests; see {log}")
    # Past this a mutant counts as a hang, which the suite would also report as a failure.
    suite_timeout = 60 + 10 * (time.monotonic() - started)

    results, drawn, viable = [], 0, 0  # results: (status, file, line, column, mutation, code)
    while viable < args.mutants and drawn < len(candidates):
        # The next draws run in file order, so consecutive mutants mostly rebuild one file.
        batch = sorted(candidates[drawn:drawn + args.mutants - viable],
                       key=lambda c: (c[0], c[1], c[3]))
        drawn += len(batch)
        for name, offset, length, replacement, description in batch:
            text = originals[name]
            (src / name).write_text(text[:offset] + replacement + text[offset + length:])
            log.write_text("")
            try:
                if run(build_cmd, log) != 0:
                    status = "not viable"
                else:
                    rc = run(test_cmd, log, timeout=suite_timeout)
                    status = "survived" if rc == 0 else "caught (hang)" if rc is None else "caught"
            finally:
                (src / name).write_text(text)
            line, column = where(text, offset)
            source = text.splitlines()[line - 1].strip()
            results.append((status, name, line, column, description, source))
            viable += status != "not viable"
            print(f"  {status:13} {name}:{line}:{column}  {description}", flush=True)

    results.sort(key=lambda r: r[1:4])
    survivors = [r for r in results if r[0] == "survived"]
    caught = viable - len(survivors)
    share = 100.0 * caught / viable if viable else 0.0
    report = [f"caught {caught} of {viable} viable mutants ({share:.1f}%), "
              f"seed {args.seed}, {len(results) - viable} more did not compile, "
              f"{len(candidates)} candidates in {revision}", "", f"survivors ({len(survivors)}):"]
    report += [f"  {r[1]}:{r[2]}:{r[3]}  {r[4]}    | {r[5]}" for r in survivors]
    shown = len(report)
    report += ["", "all mutants:"]
    report += [f"  {r[0]:13} {r[1]}:{r[2]}:{r[3]}  {r[4]}    | {r[5]}" for r in results]
    out = work / f"results-seed{args.seed}-n{args.mutants}.txt"
    out.write_text("\n".join(report) + "\n")
    print("\n".join(report[:shown]))
    print(f"written to {out}")


if __name__ == "__main__":
    main()
