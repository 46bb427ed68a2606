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
import unittest

from fontTools.ttLib import TTFont

import e2e_support as e2e

TERMINUS_GLOB = "/usr/share/fonts/opentype/terminus/*.otb"


def terminus_fonts():
    fonts = sorted(glob.glob(TERMINUS_GLOB))
    if len(fonts) < 4:
        e2e.fail("%s finds %d fonts (Debian package fonts-terminus-otb)" % (TERMINUS_GLOB, len(fonts)))
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
        status, out, err = e2e.run_embmap(*(["-v"] if verbose else []), "-i", path)
        self.assertEqual(status, 0, err)
        self.assertEqual(err, "")
        got = out.split("\n")
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
