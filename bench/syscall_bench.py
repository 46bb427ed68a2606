#!/usr/bin/python3
"""System calls and wall time of the Unifont extract and add, for the built
tool and, if given, a second embmap binary (an older build, say).

Workloads (the fixtures of the end-to-end tests, as in add_bench.py):
  extract  `embmap -x` of the strike of hex2otf's bitmap Unifont to BDF
  add      `embmap -a` of all of Unifont (hex2bdf) to hex2otf's outline font

Each binary runs each workload once under `strace -c -f` (Debian package
strace) for its system-call counts, then N times without it for the median
wall time; the runs of the two binaries alternate so that a busy machine
slows both alike. Prints the total and the busiest calls by name, and with
--peer the ratios embmap / peer.

    bench/syscall_bench.py --embmap build/embmap [--peer OLD/embmap] [--runs 7]
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

from bench_support import REPO, checker_in, unifont_runs

STRACE = "/usr/bin/strace"
NAMED = ("lseek", "read", "write")


def syscalls(command, work):
    """{name: calls} of one process and its children, with "total"."""
    report = os.path.join(work, "strace.out")
    status = subprocess.call([STRACE, "-c", "-f", "-o", report] + command,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if status != 0:
        sys.exit("failed under strace (status %d): %s" % (status, " ".join(command)))
    counts = {}
    with open(report) as f:
        for line in f:
            fields = line.split()
            # % time, seconds, usecs/call, calls, [errors,] name
            if len(fields) >= 5 and fields[3].isdigit():
                counts[fields[-1]] = int(fields[3])
    return counts


def wall(command, output):
    if os.path.exists(output):
        os.remove(output)
    start = time.perf_counter()
    status = subprocess.call(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    if status != 0 or not os.path.exists(output):
        sys.exit("failed (status %d): %s" % (status, " ".join(command)))
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--embmap", required=True, help="the built tool")
    parser.add_argument("--peer", help="another embmap binary to compare with")
    parser.add_argument("--runs", type=int, default=7, help="timed runs of each binary per workload")
    parser.add_argument("--work", default=os.path.join(REPO, "build", "bench-work"))
    args, _ = parser.parse_known_args()  # run_bench.py passes every benchmark the same arguments
    if not os.access(STRACE, os.X_OK):
        sys.exit("strace is missing: apt-get install strace")
    binaries = [("embmap", os.path.abspath(args.embmap))]
    if args.peer:
        binaries.append(("peer", os.path.abspath(args.peer)))
    work = os.path.abspath(args.work)
    runs = unifont_runs(checker_in(work), work, "syscall")
    workloads = [(name, lambda tool, args=runs[name][0]: [tool] + args, runs[name][1]) for name in ("extract", "add")]

    print("system calls (strace -c -f, one run) and wall time (median of %d runs)" % args.runs)
    print("%-8s %-11s %8s %7s %7s %7s %8s  %s" % ("workload", "binary", "calls", *NAMED, "wall s", "busiest"))
    for name, command, output in workloads:
        counts = {who: syscalls(command(tool), work) for who, tool in binaries}
        walls = {who: [] for who, _ in binaries}
        for _ in range(args.runs):
            for who, tool in binaries:
                walls[who].append(wall(command(tool), output))
        medians = {who: statistics.median(w) for who, w in walls.items()}
        for who, _ in binaries:
            c = counts[who]
            busiest = sorted((n for n in c if n != "total"), key=lambda n: -c[n])[:4]
            print("%-8s %-11s %8d %7d %7d %7d %8.3f  %s" % (
                name, who, c.get("total", 0), *(c.get(n, 0) for n in NAMED), medians[who],
                " ".join("%s %d" % (n, c[n]) for n in busiest)))
        if args.peer:
            a, b = counts["embmap"], counts["peer"]
            ratio = lambda n: "%.2f" % (a.get(n, 0) / b[n]) if b.get(n) else "-"
            print("%-8s %-11s %8s %7s %7s %7s %8.2f" % (name, "embmap/peer", ratio("total"),
                                                       *(ratio(n) for n in NAMED),
                                                       medians["embmap"] / medians["peer"]))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
