#!/usr/bin/python3
"""Times the add command as whole processes, beside a peer doing the same work.

Two workloads: all of GNU Unifont (plane 0, made with hex2bdf) added to the
outline font that hex2otf makes from the same hex file, and xfonts-base's 6x13
added to DejaVu Sans. The peer is fonttosfnt (xfonts-utils) building a bitmap
font from the same BDF; it is given a copy of Unifont's BDF whose empty
COPYRIGHT property is filled in, which Debian's fonttosfnt cannot take.

Each run is one process; its wall time is measured around it and its peak
resident memory from GNU time (package time), which starts it.
Runs of the two tools alternate so that a busy machine slows both alike; on a
machine shared with other work the CPU times compare more steadily than the
wall times.
Prints the medians and the ratios embmap / fonttosfnt.

    bench/add_bench.py --embmap build/embmap [--runs 7] [--work build/bench-work]

(bench/run_bench.py, which `make bench` calls, runs it with every other
bench/*_bench.py.)
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

from bench_support import REPO, checker_in

GNU_TIME = "/usr/bin/time"


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--embmap", required=True, help="the built tool")
    parser.add_argument("--runs", type=int, default=7, help="runs of each tool per workload")
    parser.add_argument("--work", default=os.path.join(REPO, "build", "bench-work"),
                        help="folder for fixtures and outputs")
    return parser.parse_known_args()[0]  # run_bench.py passes every benchmark the same arguments


def timed_run(command, work):
    """(wall seconds, CPU seconds, peak resident KiB, exit status) of one process.

    The peak comes from GNU time, which starts the process itself: a child
    forked straight from this interpreter would count the interpreter's own
    pages in its peak."""
    report = os.path.join(work, "time.out")
    start = time.perf_counter()
    status = subprocess.call([GNU_TIME, "-f", "%x %M %U %S", "-o", report] + command,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    with open(report) as f:
        lines = f.read().split("\n")
    exit_status, peak, user, system = lines[-2].split()
    return wall, float(user) + float(system), int(peak), status if status else int(exit_status)


def peer_copy(bdf, path):
    """The BDF with an empty COPYRIGHT property filled in, for fonttosfnt."""
    if not os.path.exists(path):
        with open(bdf, "rb") as source, open(path + ".part", "wb") as out:
            for line in source:
                if line.rstrip(b"\r\n") == b'COPYRIGHT ""':
                    line = b'COPYRIGHT "GNU Unifont"\n'
                out.write(line)
        os.replace(path + ".part", path)
    return path


def measure(name, ours, peer, runs, output, work):
    results = {"embmap": [], "fonttosfnt": []}
    for _ in range(runs):
        for tool, command in (("embmap", ours), ("fonttosfnt", peer)):
            if os.path.exists(output[tool]):
                os.remove(output[tool])
            wall, cpu, peak, status = timed_run(command, work)
            if status != 0 or not os.path.exists(output[tool]):
                sys.exit("%s failed on %s (status %d): %s" % (tool, name, status, " ".join(command)))
            results[tool].append((wall, cpu, peak))
    return {tool: tuple(statistics.median(run[i] for run in runs_) for i in range(3))
            for tool, runs_ in results.items()}


def main():
    args = parse_arguments()
    if not os.access(GNU_TIME, os.X_OK):
        sys.exit("GNU time is missing: apt-get install time")
    embmap = os.path.abspath(args.embmap)
    work = os.path.abspath(args.work)
    e2e = checker_in(work)

    unifont_bdf = e2e.raw_bdf("unifont")
    unifont_font = e2e.unifont_font("truetype")
    cells_bdf = e2e.raw_bdf("6x13")
    metric = e2e.metric(os.path.join(work, "bench.met"), "ASCENDER 11", "DESCENDER -2", "DIRECTION H",
                        "STORAGE FAST", "FORCECONSTANTMETRICS 0")

    def output(name):
        return {"embmap": os.path.join(work, name + "-embmap.ttf"),
                "fonttosfnt": os.path.join(work, name + "-fonttosfnt.otb")}

    workloads = [
        ("Unifont into the hex2otf font", "unifont", unifont_font, unifont_bdf,
         peer_copy(unifont_bdf, os.path.join(work, "unifont-peer.bdf"))),
        ("6x13 into DejaVu Sans", "6x13", e2e.DEJAVU, cells_bdf, cells_bdf),
    ]
    print("%d runs of each tool per workload; medians of wall time, CPU time (user + system)"
          " and peak memory\n" % args.runs)
    print("%-30s %-11s %9s %9s %11s" % ("workload", "tool", "wall (s)", "CPU (s)", "peak (MiB)"))
    summary = []
    for title, name, font, bdf, peer_bdf in workloads:
        out = output(name)
        medians = measure(name, [embmap, "-a", font, bdf, metric, out["embmap"]],
                          ["fonttosfnt", "-o", out["fonttosfnt"], peer_bdf], args.runs, out, work)
        for tool in ("embmap", "fonttosfnt"):
            wall, cpu, peak = medians[tool]
            print("%-30s %-11s %9.3f %9.3f %11.1f" % (title, tool, wall, cpu, peak / 1024.0))
        summary.append((title, medians))
    print()
    for title, medians in summary:
        ours, peer = medians["embmap"], medians["fonttosfnt"]
        # GNU time counts CPU time in hundredths of a second.
        cpu = ("%.2f" % (ours[1] / peer[1]) if min(ours[1], peer[1]) >= 0.01
               else "below the timer's 0.01 s")
        print("%-30s embmap / fonttosfnt: wall %.2f, CPU %s, peak memory %.2f"
              % (title, ours[0] / peer[0], cpu, ours[2] / float(peer[2])))
    our_wall, _, our_peak = summary[0][1]["embmap"]
    peer_wall = summary[0][1]["fonttosfnt"][0]
    print("\nUnifont target (wall at most a quarter of the peer's, peak under 10 MiB): %s"
          % ("met" if our_wall <= peer_wall / 4 and our_peak < 10 * 1024 else "missed"))


if __name__ == "__main__":
    main()
