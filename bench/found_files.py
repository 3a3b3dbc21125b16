#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quenby Works
"""What a large number of found files costs: for 100,000 and 1,000,000 files found (every
path 62 bytes long, 1,000 files a folder, every file taken), each beside the headless scan of
the same tree in the same run:

  headless   build/bench/fernwick_scan: the scan alone, nothing kept but the listing
  preview    fernwick --preview: the scan with the found list the unattended run keeps
  wizard     build/bench/fernwick_scan_interactive: the scan page's list filled as the wizard
             fills it, then the selection page's list, with the event loop watched

Peak memory (the process's maximum resident set), wall time, and for the wizard the longest
wait of the event loop (a timer that records how late it fires). Bytes per file are the
peak less the same program's peak on an empty tree, over the files, less the path.

Each figure is the median of ROUNDS runs (3), the programs taking turns; the longest wait is
also given as the worst of the rounds.

  BENCH=/tmp/fwbench-found SIZES=100000,1000000 ROUNDS=3 bench/found_files.py build
The trees are made on first use (1,000,000 files take about 4 GiB of inodes, none of data).
"""
import os
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
BENCH = os.environ.get("BENCH", "/tmp/fwbench-found")
SIZES = [int(s) for s in os.environ.get("SIZES", "100000,1000000").split(",")]
PER_FOLDER = 1000
PATH_LEN = 62
ROUNDS = int(os.environ.get("ROUNDS", "3"))


def tree_of(count):
    return os.path.join(BENCH, "t%d" % count)


def file_path(tree, i):
    folder = os.path.join(tree, "d%05d" % (i // PER_FOLDER))
    stem = os.path.join(folder, "f%07d-" % i)
    pad = PATH_LEN - len(stem) - len(".tmp")
    if pad < 1:
        sys.exit("BENCH is too long for %d-byte paths" % PATH_LEN)
    return stem + "x" * pad + ".tmp"


def make_tree(count):
    tree = tree_of(count)
    done = os.path.join(tree, ".complete")
    if os.path.exists(done):
        return tree
    print("building %d files under %s ..." % (count, tree), flush=True)
    for i in range(count):
        if i % PER_FOLDER == 0:
            os.makedirs(os.path.dirname(file_path(tree, i)), exist_ok=True)
        open(file_path(tree, i), "w").close()
    open(done, "w").close()
    return tree


def run(argv, env=None):
    """Wall seconds, peak RSS in MiB and standard output of one run."""
    with tempfile.TemporaryFile() as out:
        t0 = time.monotonic()
        proc = subprocess.Popen(argv, stdout=out, stderr=subprocess.PIPE, env=env)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.monotonic() - t0
        proc.returncode = os.waitstatus_to_exitcode(status)
        err = proc.stderr.read().decode(errors="replace")
        if proc.returncode != 0:
            sys.exit("%s failed (%d): %s" % (argv[0], proc.returncode, err))
        # Only the end: the listing of a million files is not kept here. A child's peak
        # counts what it had before exec, so this process keeps small.
        size = out.seek(0, os.SEEK_END)
        out.seek(max(0, size - 4096))
        return wall, usage.ru_maxrss / 1024.0, out.read().decode(errors="replace")


def preview_env(tree, home):
    os.makedirs(os.path.join(home, "program"), exist_ok=True)
    with open(os.path.join(home, "program", "settings.dat"), "w") as f:
        f.write("Fernwick 2.0, Data Stream Version 1.1\n1\nFound\n1068\n1\n%s\n1\n*.tmp\n"
                "0\n0\n0\n0\n1\n1\n1980\n" % tree)
    env = dict(os.environ)
    env.update(FERNWICK_HOME=os.path.join(home, "program"), HOME=home,
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_DATA_HOME=os.path.join(home, "data"), QT_QPA_PLATFORM="offscreen")
    return env


def measure(tree, home):
    env = preview_env(tree, home)
    headless = run([os.path.join(BUILD, "bench", "fernwick_scan"), "--pattern", "*.tmp", tree])
    preview = run([os.path.join(BUILD, "app", "fernwick"), "--preview", '/pFound '], env)
    wizard = run([os.path.join(BUILD, "bench", "fernwick_scan_interactive"), "--once", tree],
                 env)
    return headless, preview, wizard


def median(values):
    return sorted(values)[len(values) // 2]


def medians(runs):
    """The median wall time and peak of (wall, peak, out) runs, with the first run's output."""
    return (median([r[0] for r in runs]), median([r[1] for r in runs]), runs[0][2])


def main():
    empty = os.path.join(BENCH, "empty")
    os.makedirs(empty, exist_ok=True)
    with tempfile.TemporaryDirectory() as home:
        base = measure(empty, home)
        rows = []
        for count in SIZES:
            tree = make_tree(count)
            rounds = [measure(tree, home) for _ in range(ROUNDS)]
            headless, preview, wizard = (medians([r[k] for r in rounds]) for k in range(3))
            all_stats = [dict(l.split("=", 1) for l in r[2][2].split() if "=" in l)
                         for r in rounds]
            for r, stats in zip(rounds, all_stats):
                found = int(r[1][2].strip().splitlines()[-1].split()[1])
                if found != count or int(stats["rows"]) != count or \
                        int(stats["selected"]) != count:
                    sys.exit("expected %d files, preview found %d, wizard %s" %
                             (count, found, stats["rows"]))
            stats = {k: str(median([float(s[k]) for s in all_stats]))
                     for k in ("scan_s", "headless_s", "select_s", "longest_wait_ms")}
            stats["worst_wait_ms"] = max(float(s["longest_wait_ms"]) for s in all_stats)
            stats["ratio"] = median([float(s["scan_s"]) / float(s["headless_s"])
                                     for s in all_stats])
            per = lambda run, b: (run[1] - b[1]) * 1048576 / count - PATH_LEN
            rows.append((count, headless, preview, wizard, stats,
                         per(preview, base[1]), per(wizard, base[2])))
    print("| found files | headless s | preview s | preview peak MiB | preview B/file "
          "| interactive scan s | selection page s | wizard peak MiB | wizard B/row "
          "| interactive / headless | longest event wait ms (worst) |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for count, h, p, w, stats, pb, wb in rows:
        scan_s = float(stats["scan_s"])
        print("| {:,} | {:.2f} | {:.2f} | {:.0f} | {:.0f} | {:.2f} | {:.2f} | {:.0f} | {:.0f} "
              "| {:.2f} | {:.0f} ({:.0f}) |".format(count, h[0], p[0], p[1], pb, scan_s,
                                                 float(stats["select_s"]), w[1], wb,
                                                 stats["ratio"],
                                                 float(stats["longest_wait_ms"]),
                                                 stats["worst_wait_ms"]))


if __name__ == "__main__":
    main()
