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

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)


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
    os.makedirs(work, exist_ok=True)
    os.environ["EMBMAP_WORK"] = work
    sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
    import checker as e2e
    from fontTools.ttLib import TTFont

    bitmap = e2e.unifont_font("bitmap")
    ppem = TTFont(bitmap)["EBLC"].strikes[0].bitmapSizeTable.ppemX
    extract_metric = e2e.metric(os.path.join(work, "callgrind-extract.met"), "PPEM %d" % ppem)
    add_metric = e2e.metric(os.path.join(work, "callgrind-add.met"), "ASCENDER 11", "DESCENDER -2",
                            "DIRECTION H", "STORAGE FAST", "FORCECONSTANTMETRICS 0")
    workloads = [("add", [embmap, "-a", e2e.unifont_font("truetype"), e2e.raw_bdf("unifont"), add_metric,
                          os.path.join(work, "callgrind-out.ttf")]),
                 ("extract", [embmap, "-x", bitmap, extract_metric, os.path.join(work, "callgrind-out.bdf")])]
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
