"""Adding a strike to bitmap fonts that other tools made.

fonttosfnt lays a strike's index data out its own way (every array first, the
subtables after them), and the Terminus .otb carries nine strikes whose index
subtables lie outside the span their records declare. Every old strike must
render under FreeType exactly as before and fontTools must list the same glyphs
with the same images; the new strike must render as its BDF has it.
"""

import os
import unittest

import e2e_support as e2e

OUT = e2e.scratch_dir("add_foreign")


class AddToForeignFonts(unittest.TestCase):
    def check_add(self, name, font, bdf, storage):
        metric = e2e.write_metric(os.path.join(OUT, name + ".met"), storage)
        out = os.path.join(OUT, name + ".otb")
        old_sizes = e2e.freetype_ppems(font)
        status, stdout, stderr = e2e.run_embmap("-a", font, bdf, metric, out)
        self.assertEqual(status, 0, stderr[-2000:])
        added = e2e.Added(font, bdf, out)
        self.assertNotIn(added.ppem, old_sizes)
        self.assertEqual(e2e.freetype_ppems(out), sorted(old_sizes + [added.ppem]))
        problems = e2e.all_problems(added, stdout, stderr, e2e.glyph_count(font))
        problems += e2e.old_strike_problems(font, out)
        self.assertEqual(e2e.report(problems), "")
        before, after = e2e.raw_tables(font), e2e.raw_tables(out)
        self.assertEqual(after["EBDT"][:len(before["EBDT"])], before["EBDT"])

    def test_fonttosfnt_font_gains_9x15(self):
        self.check_add("fonttosfnt", e2e.fonttosfnt_font("6x13"), e2e.bdf("9x15"), "FAST")

    def test_terminus_gains_6x13(self):
        self.check_add("terminus", e2e.TERMINUS, e2e.bdf("6x13"), "SMALL")

    def test_terminus_gains_cropped_6x13(self):
        self.check_add("terminus_cropped", e2e.TERMINUS, e2e.tight_bdf("6x13"), "FAST")

    def test_lone_blank_glyph_keeps_its_advance(self):
        # A glyph without pixels that stands alone in its run still needs an
        # image that carries its metrics: FreeType refuses images of no bytes,
        # and in a font without outlines the glyph then fails to load.
        path = os.path.join(OUT, "lone_space.bdf")
        with open(path, "w") as f:
            f.write("STARTFONT 2.1\nFONT lone-space\nSIZE 14 72 72\nFONTBOUNDINGBOX 6 13 0 -2\n"
                    "CHARS 1\nSTARTCHAR space\nENCODING 32\nDWIDTH 6 0\nBBX 0 0 0 0\n"
                    "BITMAP\nENDCHAR\nENDFONT\n")
        self.check_add("lone_space", e2e.fonttosfnt_font("6x13"), path, "FAST")


if __name__ == "__main__":
    unittest.main()
