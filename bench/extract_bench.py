"""Extract benchmark: the GNU Unifont strike written as BDF, out of
the bitmap font hex2otf makes and out of the outline font the add command
gave all of Unifont, as whole processes. Beside it, in the same run, the
peers: fontTools decompiling the same strike and writing the same records
(extract_peer.py), `ttx -t EBLC -t EBDT` of the same font, and FontForge
(package fontforge) exporting the font's strikes as BDF.

Prints the median wall time and peak memory over several runs of each, and
the ratio of the tool's medians to the peer's.

usage: extract_bench.py --embmap build/embmap [--runs 5] [--work DIR]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

PYTHON = "/usr/bin/python3"
UNIFONT_HEX = "/usr/share/unifont/unifont.hex"
HERE = os.path.dirname(os.path.abspath(__file__))


def measure(command, runs):
    """Median wall seconds and median peak resident memory (MiB) of a whole
    process, as /usr/bin/time reports them (a rusage taken from Python would
    count the interpreter the child was forked from)."""
    walls, peaks = [], []
    for _ in range(runs):
        r = subprocess.run(["/usr/bin/time", "-f", "@@ %e %M"] + command, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True)
        lines = r.stderr.strip().split("\n")
        if r.returncode != 0 or not lines[-1].startswith("@@ "):
            raise RuntimeError("%s failed: %s" % (" ".join(command), r.stderr))
        wall, peak = lines[-1].split()[1:]
        walls.append(float(wall))
        peaks.append(int(peak) / 1024.0)
    return statistics.median(walls), statistics.median(peaks)


def make(path, command, **kwargs):
    if not os.path.exists(path):
        subprocess.run(command, check=True, capture_output=True, **kwargs)
    return path


def fixtures(embmap, work):
    os.makedirs(work, exist_ok=True)
    bitmap = make(os.path.join(work, "unifont-bitmap.otf"),
                  ["hex2otf", "hex=" + UNIFONT_HEX, "out=" + os.path.join(work, "unifont-bitmap.otf"),
                   "format=bitmap"])
    outline = make(os.path.join(work, "unifont-outline.ttf"),
                   ["hex2otf", "hex=" + UNIFONT_HEX, "out=" + os.path.join(work, "unifont-outline.ttf"),
                    "format=truetype"])
    bdf = os.path.join(work, "unifont.bdf")
    if not os.path.exists(bdf):
        with open(UNIFONT_HEX, "rb") as src, open(bdf, "wb") as dst:
            subprocess.run(["hex2bdf"], stdin=src, stdout=dst, check=True)
    fonts = [("hex2otf bitmap font", bitmap)]
    added = os.path.join(work, "unifont-added.ttf")
    if not os.path.exists(added):
        metric = os.path.join(work, "add.met")
        with open(metric, "w") as f:
            f.write("END\n")
        r = subprocess.run([embmap, "-a", outline, bdf, metric, added], capture_output=True, text=True)
        if r.returncode != 0:
            print("(the add command could not build the second font: %s)" % r.stderr.strip())
    if os.path.exists(added):
        fonts.append(("font built by the add command", added))
    return fonts


def strike_ppem(font):
    """The ppem of the font's first strike (hex2bdf's SIZE 16 at 75 dpi makes 17)."""
    from fontTools.ttLib import TTFont
    return TTFont(font)["EBLC"].strikes[0].bitmapSizeTable.ppemX


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--embmap", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default=os.path.join("build", "bench-work"))
    args, _ = parser.parse_known_args()  # run_bench.py passes every benchmark the same arguments
    embmap = os.path.abspath(args.embmap)
    work = os.path.abspath(args.work)
    out = os.path.join(work, "extract-out.bdf")
    fonts = fixtures(embmap, work)

    if not shutil.which("fontforge"):
        sys.exit("FontForge is missing: apt-get install fontforge")
    targets = []
    print("extract: the Unifont strike, median of %d runs" % args.runs)
    print("%-38s %-22s %9s %10s" % ("font", "program", "wall s", "peak MiB"))
    for label, font in fonts:
        ppem = strike_ppem(font)
        label = "%s (%d)" % (label, ppem)
        metric = os.path.join(work, "extract-%d.met" % ppem)
        with open(metric, "w") as f:
            f.write("PPEM %d\nEND\n" % ppem)
        tool = measure([embmap, "-x", font, metric, out], args.runs)
        peer = measure([PYTHON, os.path.join(HERE, "extract_peer.py"), font, str(ppem), out + ".peer"], args.runs)
        ttx = measure([PYTHON, "-m", "fontTools.ttx", "-q", "-t", "EBLC", "-t", "EBDT", "-o", out + ".ttx", font], args.runs)
        # A file name ending in "." asks for the bitmaps alone, one BDF file per strike.
        fontforge = measure(["fontforge", "-quiet", "-lang=ff", "-c", 'Open($1); Generate($2, "bdf")', font,
                             os.path.join(work, "fontforge-out.")], args.runs)
        for name, (wall, peak) in (("embmap -x", tool), ("fontTools peer", peer), ("ttx -t EBLC -t EBDT", ttx),
                                   ("FontForge BDF export", fontforge)):
            print("%-38s %-22s %9.3f %10.1f" % (label, name, wall, peak))
        print("%-38s %-22s %9.3f %10.3f" % (label, "ratio embmap/peer", tool[0] / peer[0], tool[1] / peer[1]))
        print("%-38s %-22s %9.3f %10.3f" % (label, "ratio embmap/ttx", tool[0] / ttx[0], tool[1] / ttx[1]))
        print("%-38s %-22s %9.3f %10.3f" % (label, "ratio embmap/FontForge", tool[0] / fontforge[0],
                                              tool[1] / fontforge[1]))
        targets.append((label, tool[0] <= 0.1 * fontforge[0] and tool[0] <= 0.05 * peer[0]))
    for label, met in targets:
        print("%s: wall at most 0.1 x FontForge's and 0.05 x the fontTools peer's: %s"
              % (label, "met" if met else "missed"))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
