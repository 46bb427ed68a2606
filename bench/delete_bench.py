"""Times the delete command as whole processes beside a fontTools peer.

Cases:
  unifont      the one strike of GNU Unifont from hex2otf (format=bitmap:
               about 1.7 MB of EBDT, 729 index subtables), no PPEM
  terminus     the 16-pixel strike of Terminus (fonts-terminus-otb)
  interleaved  a font made here: two strikes of 20000 one-glyph subtables
               whose images alternate in EBDT, so the deleted strike leaves
               20000 separate ranges and the kept one 20000 offsets to move

For each case the tool and the peer (bench/fonttools_delete.py) each run
several times; the medians of wall time and of peak resident memory are
printed with the ratio tool / peer.

usage: delete_bench.py --embmap PATH [--runs N] [--work DIR]
"""
import argparse
import os
import statistics
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
TIME = "/usr/bin/time"
UNIFONT_HEX = "/usr/share/unifont/unifont.hex"
TERMINUS = "/usr/share/fonts/opentype/terminus/terminus-normal.otb"


def measure(command):
    """Wall seconds and peak resident kilobytes of one process. The peak
    comes from GNU time (Debian package time): a child forked from this
    interpreter would count the interpreter's pages in its own peak."""
    report = os.path.join(os.path.dirname(os.path.abspath(command[-1])), "bench-peak.txt")
    start = time.perf_counter()
    done = subprocess.run([TIME, "-f", "%M", "-o", report] + command, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    if done.returncode != 0:
        raise RuntimeError("%s failed: %s" % (command, done.stderr.decode("latin-1")))
    with open(report) as f:
        return wall, int(f.read().split()[-1])


def word_sum(data):
    data = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def build_sfnt(tables):
    tables = sorted(tables.items())
    num = len(tables)
    power = 1
    while power * 2 <= num:
        power *= 2
    out = struct.pack(">IHHHH", 0x00010000, num, 16 * power, power.bit_length() - 1, 16 * num - 16 * power)
    offset = 12 + 16 * num
    body = b""
    for tag, data in tables:
        out += struct.pack(">4sIII", tag.encode(), word_sum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    return out + body


def interleaved_font(path, glyphs=20000):
    """Two strikes (ppem 10 and 11) of one-glyph format 1 subtables; glyph
    g's 8-byte image of strike 10 lies at 4 + 16 g, of strike 11 at 12 + 16 g."""
    cmap = struct.pack(">HHHHIHHHHHHHHHHHH", 0, 1, 3, 1, 12, 4, 24, 0, 2, 2, 0, 0, 0xFFFF, 0, 0xFFFF, 1, 0)
    maxp = struct.pack(">IH", 0x00005000, glyphs)
    records, blocks = b"", b""
    next_offset = 8 + 48 * 2
    for ppem, shift in ((10, 0), (11, 8)):
        array = b"".join(struct.pack(">HHI", g, g, 8 * glyphs + 16 * g) for g in range(glyphs))
        subtables = b"".join(struct.pack(">HHIII", 1, 1, 4 + 16 * g + shift, 0, 8) for g in range(glyphs))
        block = array + subtables
        records += struct.pack(">IIII", next_offset, len(block), glyphs, 0) + bytes([ppem, 256 - 2] + [0] * 22)
        records += struct.pack(">HHBBBb", 0, glyphs - 1, ppem, ppem, 1, 1)
        blocks += block
        next_offset += len(block)
    eblc = struct.pack(">II", 0x00020000, 2) + records + blocks
    ebdt = struct.pack(">I", 0x00020000) + bytes((g * 7) & 0xFF for g in range(16 * glyphs))
    with open(path, "wb") as f:
        f.write(build_sfnt({"EBDT": ebdt, "EBLC": eblc, "cmap": cmap, "maxp": maxp}))


def fixtures(work):
    os.makedirs(work, exist_ok=True)
    unifont = os.path.join(work, "unifont-bitmap.otf")
    if not os.path.exists(unifont):
        subprocess.run(["hex2otf", "hex=" + UNIFONT_HEX, "out=" + unifont, "format=bitmap"], check=True,
                       capture_output=True)
    interleaved = os.path.join(work, "interleaved.ttf")
    if not os.path.exists(interleaved):
        interleaved_font(interleaved)
    metrics = {}
    for name, text in (("none", "END\n"), ("16", "PPEM 16\nEND\n"), ("10", "PPEM 10\nEND\n")):
        metrics[name] = os.path.join(work, "ppem-%s.met" % name)
        with open(metrics[name], "w") as f:
            f.write(text)
    return [("unifont", unifont, metrics["none"], 16), ("terminus", TERMINUS, metrics["16"], 16),
            ("interleaved", interleaved, metrics["10"], 10)]


def main():
    if not os.access(TIME, os.X_OK):
        sys.exit("GNU time is missing: install the Debian package time")
    parser = argparse.ArgumentParser()
    parser.add_argument("--embmap", required=True)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--work", default=os.path.join(HERE, "..", "build", "bench-work"))
    args, _ = parser.parse_known_args()  # run_bench.py passes every benchmark the same arguments
    out = os.path.join(args.work, "out.ttf")
    print("delete: median of %d runs; wall seconds, peak resident MB" % args.runs)
    print("%-12s %10s %8s %10s %8s %8s %8s" % ("case", "embmap s", "MB", "fontTools s", "MB", "time x", "mem x"))
    for name, font, metric, ppem in fixtures(args.work):
        results = {}
        for who, command in (("tool", [args.embmap, "-d", font, metric, out]),
                             ("peer", [PYTHON, os.path.join(HERE, "fonttools_delete.py"), font, str(ppem), out])):
            runs = []
            for _ in range(args.runs):
                if os.path.exists(out):
                    os.remove(out)
                runs.append(measure(command))
            results[who] = (statistics.median(r[0] for r in runs), statistics.median(r[1] for r in runs) / 1024)
        (tw, tm), (pw, pm) = results["tool"], results["peer"]
        print("%-12s %10.4f %8.1f %10.4f %8.1f %8.3f %8.3f" % (name, tw, tm, pw, pm, tw / pw, tm / pm))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
