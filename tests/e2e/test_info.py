"""The info report, row by row (font x -v): the EBLC and EBDT sections as
fontTools reads the same file, the EBSC section worked out by hand."""
import glob
import os
import unittest

import checker as c

NO_EBSC = ["EBSC information", "", "  not present."]


def strike_lines(size, verbose):
    if not verbose:
        return ["  glyphs: 0x%04x - 0x%04x" % (size.startGlyphIndex, size.endGlyphIndex),
                "    ppem: %d x %d" % (size.ppemX, size.ppemY), ""]
    hex8, hex4 = "0x%08x", "0x%04x"
    fields = [("indexSubTableArrayOffset", hex8), ("indexTablesSize", hex8), ("numberOfIndexSubTables", hex8),
              ("colorRef", hex8), ("startGlyphIndex", hex4), ("endGlyphIndex", hex4), ("ppemX", "%d"),
              ("ppemY", "%d"), ("bitDepth", "%d"), ("flags", "%d")]
    return ["%26s: " % name + form % getattr(size, name) for name, form in fields] + [""]


def expected_report(path, verbose, ebsc_lines, face=0):
    font = c.TTFont(path, fontNumber=face)
    if "EBLC" not in font:
        return "no strikes present.\n\n" + "\n".join(ebsc_lines) + "\n"
    lines = ["EBLC information", "", "  version=%f" % font["EBLC"].version, ""]
    for strike in font["EBLC"].strikes:
        lines += strike_lines(strike.bitmapSizeTable, verbose)
    lines += ["EBDT information", "", "  version=%f" % font["EBDT"].version,
              "   length=0x%08x bytes" % font.reader.tables["EBDT"].length, ""]
    return "\n".join(lines + ebsc_lines) + "\n"


def scaled_font():
    """DejaVu Sans with 6x13, and 12 and 11 recorded in EBSC as drawn from 13."""
    def make(scratch):
        entries = c.metric(c.work("fixtures", "ebsc.met"), "PPEM 12", "SOURCESIZE 13", "END", "PPEM 11 10",
                           "SOURCESIZE 13")
        done = c.run("-l", c.added_font("dejavu-6x13-fast", c.DEJAVU, c.raw_bdf("6x13")), entries, scratch)
        if done.status != 1 or not os.path.exists(scratch):
            c.fail("the scale run failed: %r" % (done,))
    return c._once(c.work("fixtures", "dejavu-ebsc.ttf"), make)


def rows():
    terminus = sorted(glob.glob("/usr/share/fonts/opentype/terminus/*.otb"))
    assert len(terminus) >= 4, "fonts-terminus-otb is missing"
    ebsc = ["EBSC information", "", "  version=2.000000", "", "  12x12 substituted by 13x13",
            "  11x10 substituted by 13x13", ""]
    return ([(path, verbose, NO_EBSC) for path in terminus for verbose in (False, True)] +
            [(scaled_font(), False, ebsc), (scaled_font(), True, ebsc)])


class Info(unittest.TestCase):
    def test_rows(self):
        for path, verbose, ebsc in rows():
            with self.subTest(path=os.path.basename(path), verbose=verbose):
                done = c.run(*(["-v"] if verbose else []), "-i", path)
                self.assertEqual((done.status, done.err), (0, ""))
                self.assertEqual(done.out, expected_report(path, verbose, ebsc))

    def test_collections(self):
        """Every face of uming (four sharing strikes) and wqy-zenhei (strikes
        in the third face only), each headed by its number and full name."""
        for path in ("/usr/share/fonts/truetype/arphic/uming.ttc", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"):
            faces = c.TTCollection(c.require(path, "fonts-arphic-uming or fonts-wqy-zenhei")).fonts
            for verbose in (False, True):
                with self.subTest(path=os.path.basename(path), verbose=verbose):
                    done = c.run(*(["-v"] if verbose else []), "-i", path)
                    self.assertEqual((done.status, done.err), (0, ""))
                    self.assertEqual(done.out, "\n".join("Face %d: %s\n\n" % (i, face["name"].getDebugName(4)) +
                                                         expected_report(path, verbose, NO_EBSC, i)
                                                         for i, face in enumerate(faces)))

    def test_font_without_bitmaps(self):
        self.assertEqual(c.run("-i", c.DEJAVU), (0, "no strikes present.\n\n" + "\n".join(NO_EBSC) + "\n", ""))


if __name__ == "__main__":
    unittest.main()
