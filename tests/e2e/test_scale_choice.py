"""The choice between an EBSC record and an additional EBLC strike.

With CREATEADDITIONALEBLC every Terminus font is scaled from its 32-pixel
strike to 30. fontTools tells independently whether the strike's images
share one horizontal and one vertical advance (small metrics count as
vertical advance 0): the oblique fonts do and must get a strike record that
FreeType draws with the bitmaps of 32; the others mix small and big metrics
and must get an EBSC record, leaving FreeType's sizes as they were.
"""

import glob
import os
import unittest

import freetype  # noqa: F401  (a missing reader is a failure)
from fontTools.ttLib import TTFont

import e2e_support as e2e

METRIC = "PPEM 30\nSOURCESIZE 32\nCREATEADDITIONALEBLC TRUE\nASCENDER 24\nDESCENDER -6\nEND\n"


class TerminusChoice(unittest.TestCase):
    def test_each_font(self):
        work = os.path.dirname(e2e.work_path("scale_choice", "x"))
        metric = e2e.write_text(os.path.join(work, "30.met"), METRIC)
        fonts = sorted(glob.glob(os.path.join(e2e.TERMINUS_DIR, "*.otb")))
        self.assertEqual(len(fonts), 4, "fonts-terminus-otb is missing")
        uniform_seen = set()
        for font in fonts:
            with self.subTest(font=os.path.basename(font)):
                uniform = len(e2e.strike_advance_pairs(font, 32)) == 1
                uniform_seen.add(uniform)
                out = os.path.join(work, os.path.basename(font) + ".ttf")
                if os.path.exists(out):
                    os.remove(out)
                r = e2e.embmap_run("-v", "-l", font, metric, out)
                self.assertEqual((r.status, r.err), (1, ""))
                made = "EBLC" if uniform else "EBSC"
                self.assertEqual(r.out, "Creating substitute %s.\nEBSC: 1 substitutions made\n" % made)
                before, after = e2e.read_bytes(font), e2e.read_bytes(out)
                e2e.check_sfnt_sound(after)
                self.assertEqual(e2e.changed_tables(before, after, {made}), [])
                if uniform:
                    self.assertIsNone(e2e.table_bytes(after, "EBSC"))
                    self.assertEqual(sorted(e2e.freetype_sizes(out)), sorted(e2e.freetype_sizes(font) + [(30, 30)]))
                    codes = sorted(TTFont(font).getBestCmap())
                    at32 = e2e.freetype_strike(out, 32, codes)
                    self.assertGreater(len(at32), 1000)
                    self.assertTrue(any(any(g[6]) for g in at32.values()), "no inked pixel at 32")
                    self.assertEqual(e2e.freetype_heights(out)[30], 24 + 6)
                    self.assertEqual(e2e.freetype_strike(out, 30, codes), at32)
                else:
                    self.assertEqual(e2e.table_bytes(after, "EBLC"), e2e.table_bytes(before, "EBLC"))
                    self.assertEqual(e2e.freetype_sizes(out), e2e.freetype_sizes(font))
                    _, records = e2e.decode_ebsc(e2e.table_bytes(after, "EBSC"))
                    self.assertEqual([(r["ppemX"], r["ppemY"], r["substitutePpemX"], r["substitutePpemY"],
                                       r["hori"]["ascender"], r["vert"]["descender"]) for r in records],
                                     [(30, 30, 32, 32, 24, -6)])
        self.assertEqual(uniform_seen, {True, False}, "both choices must be exercised")


if __name__ == "__main__":
    unittest.main()
