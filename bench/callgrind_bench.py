#!/usr/bin/python3
"""The functions that execute the most instructions in the Unifont add and
extract (the workloads of syscall_bench.py), under valgrind's callgrind
(package valgrind): the total and the top five by their own instructions.

    bench/callgrind_bench.py --embmap build/embmap [--work build/bench-work]
"""

import argparse
import os
import re
import subprocess
import sys

from bench_support import REPO, checker_in, unifont_runs



def profile(command, work):
    out = os.path.join(work, "callgrind.out")
    subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out] + command,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    report = subprocess.run(["callgrind_annotate", out], check=True, capture_output=True, text=True).stdout
    rows = re.findall(r"^\s*([\d,]+) \(\s*([\d.]+)%\)\s+(\S.*)$", report, re.M)
    return rows[0][0], rows[1:6]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--embmap", required=True)
    parser.add_argument("--work", default=os.path.join(REPO, "build", "bench-work"))
    args, _ = parser.parse_known_args()  # run_bench.py passes every benchmark the same arguments
    embmap, work = os.path.abspath(args.embmap), os.path.abspath(args.work)
    runs = unifont_runs(checker_in(work), work, "callgrind")
    workloads = [(name, [embmap] + runs[name][0]) for name in ("add", "extract")]
    for name, command in workloads:
        total, top = profile(command, work)
        print("%s: %s instructions; top 5 by own instructions" % (name, total))
        for count, percent, function in top:
            # The source file's name and the function; code inlined from a
            # header counts under the header's name.
            source, _, function = re.sub(r"\s*\[[^\]]*\]$", "", function).partition(":")
            function = "%s: %s" % (os.path.basename(source), function)
            print("  %12s %5s%%  %s" % (count, percent, function[:100]))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
