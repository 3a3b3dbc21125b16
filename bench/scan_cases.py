#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quenby Works
"""Times the scan against the yardstick of ../shared/bench in two cases, warm and cold:

  one profile with the patterns *.TMP ~*.* *.~* *.BAK and the folder names TEMP and cache;
  five profiles over the same folder that together ask for the same (each one pattern, the
  last two, all five the folder names), walked once and walked profile by profile.

beside the minimal C walker (1 and 8 threads), GNU find and fd given every pattern in one
call. Warm: RUNS rounds, the tools in turn, medians. Cold: the page cache dropped before
every run (root only; skipped with a message otherwise), COLD_RUNS rounds, medians. Every
output is checked against the expected list.

  BENCH=/tmp/fwbench RUNS=7 COLD_RUNS=3 bench/scan_cases.py build/bench/fernwick_scan
The tree and walk_min are made by ../shared/bench/compare.sh (run it once first).
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

BENCH = os.environ.get("BENCH", "/tmp/fwbench")
TREE = os.environ.get("TREE", os.path.join(BENCH, "tree"))
RUNS = int(os.environ.get("RUNS", "7"))
COLD_RUNS = int(os.environ.get("COLD_RUNS", "3"))
FW = sys.argv[1] if len(sys.argv) > 1 else "build/bench/fernwick_scan"
WALK = os.path.join(BENCH, "walk_min")
FD = shutil.which("fdfind") or shutil.which("fd")

ONE = ["--pattern", "*.TMP", "--pattern", "~*.*", "--pattern", "*.~*", "--pattern", "*.BAK",
       "--folder", "TEMP", "--folder", "cache"]
FIVE = []
for patterns in (["*.TMP"], ["~*.*"], ["*.~*"], ["*.BAK"], ["*.TMP", "*.BAK"]):
    FIVE += (["--profile"] if FIVE else []) + ["--folder", "TEMP", "--folder", "cache"]
    for p in patterns:
        FIVE += ["--pattern", p]

FD_RX = (r"^.*/(?:(?:TEMP|cache)/[^/]+|(?i:[^/]*\.tmp|~[^/]*\.[^/]*|[^/]*\.~[^/]*|"
         r"[^/]*\.bak))$")
# name -> (argv, how to turn a line of its output into a path)
TOOLS = {
    "walk_min": ([WALK, "-a", TREE], lambda l: l.split(" ", 2)[2]),
    "walk_min -t 8": ([WALK, "-a", "-t", "8", TREE], lambda l: l.split(" ", 2)[2]),
    "GNU find": (["find", TREE, "-xdev", "-mindepth", "1", "(", "-type", "d", "(", "-path",
                  "*/TEMP/*", "-o", "-path", "*/cache/*", ")", "-prune", ")", "-o", "(",
                  "-type", "f", "(", "-path", "*/TEMP/*", "-o", "-path", "*/cache/*", "-o",
                  "-iname", "*.tmp", "-o", "-iname", "~*.*", "-o", "-iname", "*.~*", "-o",
                  "-iname", "*.bak", ")", "-print", ")"], lambda l: l),
    "Fernwick, 1 profile": ([FW] + ONE + [TREE], lambda l: l.split("\t", 2)[2]),
    "Fernwick, 5 profiles": ([FW] + FIVE + [TREE], lambda l: l.split("\t", 2)[2]),
    "Fernwick, 5 profiles one by one": ([FW, "--alone"] + FIVE + [TREE],
                                        lambda l: l.split("\t", 2)[2]),
}
if FD:
    TOOLS["fd"] = ([FD, "-H", "-I", "-s", "--one-file-system", "--type", "f", "-p", "-E",
                    "**/TEMP/*/", "-E", "**/cache/*/", FD_RX, TREE], lambda l: l)
else:
    print("note: fd is not installed (apt-get install fd-find); its rows are left out")


def drop_caches():
    try:
        os.sync()
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
        return True
    except OSError:
        return False


def run(name):
    argv, to_path = TOOLS[name]
    t0 = time.perf_counter()
    out = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    wall = time.perf_counter() - t0
    paths = sorted({os.path.relpath(to_path(l), TREE)
                    for l in out.stdout.decode("utf-8", "surrogateescape").splitlines()})
    return wall, paths


def main():
    # Fernwick's rule differs from the others' in one point: "~*.*" also takes "~lock".
    expected = {}
    for rule in ("fernwick", "all"):
        with open(os.path.join(BENCH, f"expected_{rule}.txt"), encoding="utf-8",
                  errors="surrogateescape") as f:
            expected[rule] = sorted(l.rstrip("\n") for l in f)
    warm = {n: [] for n in TOOLS}
    cold = {n: [] for n in TOOLS}
    ok = {n: True for n in TOOLS}
    names = list(TOOLS)
    for n in names:  # warm-up
        run(n)
    for r in range(RUNS):
        for n in names[r % len(names):] + names[:r % len(names)]:
            wall, paths = run(n)
            warm[n].append(wall)
            ok[n] &= paths == expected["fernwick" if n.startswith("Fernwick") else "all"]
    can_drop = drop_caches()
    if not can_drop:
        print("note: the page cache cannot be dropped (not root): the cold case is skipped")
    for r in range(COLD_RUNS if can_drop else 0):
        for n in names[r % len(names):] + names[:r % len(names)]:
            drop_caches()
            wall, paths = run(n)
            cold[n].append(wall)
            ok[n] &= paths == expected["fernwick" if n.startswith("Fernwick") else "all"]
    w1 = statistics.median(warm["walk_min"])
    c8 = statistics.median(cold["walk_min -t 8"]) if can_drop else None
    print(f"load average before: {os.getloadavg()[0]:.2f}; warm: median of {RUNS}, "
          f"cold: median of {COLD_RUNS if can_drop else 0}")
    print("| tool | warm s | x walk_min | cold s | x walk_min -t 8 | output |")
    print("|---|---|---|---|---|---|")
    for n in names:
        w = statistics.median(warm[n])
        c = f"{statistics.median(cold[n]):.2f}" if cold[n] else "-"
        cr = f"{statistics.median(cold[n]) / c8:.2f}" if cold[n] else "-"
        print(f"| {n} | {w:.3f} | {w / w1:.2f} | {c} | {cr} | {'OK' if ok[n] else 'DIFFERS'} |")
    return 0 if all(ok.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
