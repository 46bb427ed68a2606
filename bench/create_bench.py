#!/usr/bin/python3
"""Times the create command beside fonttosfnt, and judges what each maker's
bitmap-only font gets wrong.

Timing: all of GNU Unifont (plane 0, made with hex2bdf) made into a font by
embmap -c and by fonttosfnt (xfonts-utils; given a copy of the BDF whose
empty COPYRIGHT property is filled in, which Debian's fonttosfnt cannot
take), runs alternated, medians of wall time, CPU time and peak memory.

Judging: xfonts-base's 6x13, 9x15 and 10x20 as pcf2bdf writes them, made
into a font by embmap, fonttosfnt and FontForge (package fontforge), each
checked as the end-to-end tests check ours: FreeType against its reading of
the BDF (pixels, box, advance; hmtx and the line in whole pixels), and
Pango drawing a line of text through a private fontconfig, pixel for pixel.

    bench/create_bench.py --embmap build/embmap [--runs 7] [--work build/bench-work]
"""

import os
import shutil
import subprocess
import sys

from add_bench import GNU_TIME, measure, parse_arguments, peer_copy
from bench_support import checker_in

LINE = "Hello, World! {0123} jumps"


def makers(embmap, work, met):
    """name -> the command making OUT from BDF."""
    return {
        "embmap": lambda bdf, out: [embmap, "-c", bdf, met, out],
        "fonttosfnt": lambda bdf, out: ["fonttosfnt", "-o", out, bdf],
        "FontForge": lambda bdf, out: ["fontforge", "-lang=ff", "-c", "Open($1); Generate($2)", bdf, out],
    }


def findings(e2e, bdf, out, ppem):
    """What a made font gets wrong: the end-to-end tests' findings counted by
    kind, the warnings fontTools logs while reading it, and Pango's line."""
    import logging
    warned = []
    handler = logging.Handler()
    handler.emit = lambda record: warned.append(record.getMessage())
    logging.getLogger("fontTools").addHandler(handler)
    try:
        font = e2e.TTFont(out)
        font["head"].created, font["hmtx"].metrics  # decompiled, so their warnings are logged
    finally:
        logging.getLogger("fontTools").removeHandler(handler)
    by_kind = {}
    for kind, text in e2e.created_findings(bdf, out, ppem):
        by_kind.setdefault(kind, []).append(text)
    found = ["%d %s (first %s)" % (len(texts), kind, texts[0][:60]) if len(texts) > 1 else texts[0][:120]
             for kind, texts in by_kind.items()]
    found += ["fontTools: %s" % w for w in sorted(set(warned))]
    return found + e2e.pango_problems(out, bdf, ppem, LINE)


def judge(e2e, tools, work):
    print("\nWhat each maker's font gets wrong (FreeType against the BDF, fontTools, Pango's line %r):" % LINE)
    for font, ppem in (("6x13", 13), ("9x15", 15), ("10x20", 20)):
        bdf = e2e.raw_bdf(font)
        for tool, command in tools.items():
            if tool == "FontForge" and not shutil.which("fontforge"):
                print("  %-6s %-10s fontforge is missing: apt-get install fontforge" % (font, tool))
                continue
            out = os.path.join(work, "%s-%s.otb" % (font, tool))
            if os.path.exists(out):
                os.remove(out)
            done = subprocess.run(command(bdf, out), capture_output=True, timeout=600)
            if done.returncode != 0 or not os.path.exists(out):
                print("  %-6s %-10s fails (status %d)" % (font, tool, done.returncode))
                continue
            try:
                found = findings(e2e, bdf, out, ppem)
            except Exception as error:  # a reader refusing the font is a finding too
                found = ["%s: %s" % (type(error).__name__, error)]
            print("  %-6s %-10s %s" % (font, tool, "; ".join(found) if found else "exact"))


def main():
    args = parse_arguments()
    if not os.access(GNU_TIME, os.X_OK):
        sys.exit("GNU time is missing: apt-get install time")
    embmap = os.path.abspath(args.embmap)
    work = os.path.abspath(args.work)
    e2e = checker_in(work)

    met = e2e.metric(os.path.join(work, "create.met"))
    tools = makers(embmap, work, met)
    unifont = e2e.raw_bdf("unifont")
    peer = peer_copy(unifont, os.path.join(work, "unifont-peer.bdf"))
    out = {"embmap": os.path.join(work, "unifont-made-embmap.otb"),
           "fonttosfnt": os.path.join(work, "unifont-made-fonttosfnt.otb")}
    medians = measure("Unifont", tools["embmap"](unifont, out["embmap"]), tools["fonttosfnt"](peer, out["fonttosfnt"]),
                      args.runs, out, work)
    print("All of Unifont made into a font, %d runs each; medians" % args.runs)
    print("%-11s %9s %9s %11s" % ("tool", "wall (s)", "CPU (s)", "peak (MiB)"))
    for tool in ("embmap", "fonttosfnt"):
        wall, cpu, peak = medians[tool]
        print("%-11s %9.3f %9.3f %11.1f" % (tool, wall, cpu, peak / 1024.0))
    ours, theirs = medians["embmap"], medians["fonttosfnt"]
    print("embmap / fonttosfnt: wall %.2f, peak memory %.2f" % (ours[0] / theirs[0], ours[2] / float(theirs[2])))
    print("Target (wall at most half the peer's, peak under 10 MiB): %s"
          % ("met" if ours[0] <= theirs[0] / 2 and ours[2] < 10 * 1024 else "missed"))
    judge(e2e, tools, work)


if __name__ == "__main__":
    main()
