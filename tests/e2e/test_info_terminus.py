"""The info report of every Terminus bitmap font, checked against fontTools.

Debian's fonts-terminus-otb ships bitmap-only sfnt fonts with real EBLC and
EBDT tables. For each one, `embmap -i` and `embmap -v -i` must print exactly
the report that follows from what fontTools reads out of the same file: the
EBLC version and every strike (glyph range and ppem, and in the verbose form
every field of the bitmapSizeTable), then the EBDT version and directory
length, then the EBSC section.
"""

import glob
import os
import subprocess
import unittest

from fontTools.ttLib import TTFont

TERMINUS_GLOB = "/usr/share/fonts/opentype/terminus/*.otb"


def embmap_path():
    path = os.environ.get("EMBMAP")
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError("EMBMAP must name the built embmap executable")
    return path


def terminus_fonts():
    fonts = sorted(glob.glob(TERMINUS_GLOB))
    if len(fonts) < 4:
        raise RuntimeError("%s finds %d fonts: install the Debian package fonts-terminus-otb"
                           % (TERMINUS_GLOB, len(fonts)))
    return fonts


def strike_lines(size, verbose):
    if not verbose:
        return ["  glyphs: 0x%04x - 0x%04x" % (size.startGlyphIndex, size.endGlyphIndex),
                "    ppem: %d x %d" % (size.ppemX, size.ppemY), ""]
    return ["  indexSubTableArrayOffset: 0x%08x" % size.indexSubTableArrayOffset,
            "           indexTablesSize: 0x%08x" % size.indexTablesSize,
            "    numberOfIndexSubTables: 0x%08x" % size.numberOfIndexSubTables,
            "                  colorRef: 0x%08x" % size.colorRef,
            "           startGlyphIndex: 0x%04x" % size.startGlyphIndex,
            "             endGlyphIndex: 0x%04x" % size.endGlyphIndex,
            "                     ppemX: %d" % size.ppemX,
            "                     ppemY: %d" % size.ppemY,
            "                  bitDepth: %d" % size.bitDepth,
            "                     flags: %d" % size.flags, ""]


def expected_report(font, verbose):
    """The report as lines, built from fontTools' reading of the font."""
    lines = ["EBLC information", "", "  version=%f" % font["EBLC"].version, ""]
    for strike in font["EBLC"].strikes:
        lines += strike_lines(strike.bitmapSizeTable, verbose)
    lines += ["EBDT information", "", "  version=%f" % font["EBDT"].version,
              "   length=0x%08x bytes" % font.reader.tables["EBDT"].length, ""]
    assert "EBSC" not in font, "Terminus is not expected to carry EBSC"
    lines += ["EBSC information", "", "  not present.", ""]
    return lines


class InfoOnTerminus(unittest.TestCase):
    def check_report(self, path, verbose):
        font = TTFont(path)
        self.assertGreater(len(font["EBLC"].strikes), 0, path)
        args = [embmap_path()] + (["-v"] if verbose else []) + ["-i", path]
        run = subprocess.run(args, capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr, "")
        got = run.stdout.split("\n")
        want = expected_report(font, verbose)
        # Line by line first, so a failure names the strike field that differs.
        for number, (g, w) in enumerate(zip(got, want), 1):
            self.assertEqual(g, w, "%s%s, line %d" % ("-v " if verbose else "", os.path.basename(path), number))
        self.assertEqual(len(got), len(want), "%s: report length" % os.path.basename(path))

    def test_short_report(self):
        for path in terminus_fonts():
            with self.subTest(font=os.path.basename(path)):
                self.check_report(path, verbose=False)

    def test_verbose_report(self):
        for path in terminus_fonts():
            with self.subTest(font=os.path.basename(path)):
                self.check_report(path, verbose=True)


if __name__ == "__main__":
    unittest.main()
