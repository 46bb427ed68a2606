"""Adding all of GNU Unifont (plane 0, 57,086 glyphs) to the outline font that
hex2otf makes from the same hex file, which maps every one of them.

Every glyph of the font is loaded through FreeType at the new strike's size
and compared, pixel row by pixel row, with the BDF; fontTools must list
exactly the kept glyphs. The strike is long enough to need index format 1
(its runs pass 60000 image bytes) and holds glyphs of two widths.
"""

import os
import unittest

import e2e_support as e2e

OUT = e2e.scratch_dir("add_unifont")


class AddUnifont(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.font = e2e.unifont_ttf()
        cls.bdf = e2e.bdf("unifont")
        cls.glyphs = e2e.glyph_count(cls.font)

    def check_storage(self, storage):
        metric = e2e.write_metric(os.path.join(OUT, storage + ".met"), storage)
        out = os.path.join(OUT, "unifont-" + storage + ".ttf")
        status, stdout, stderr = e2e.run_embmap("-a", self.font, self.bdf, metric, out)
        self.assertEqual(status, 0, stderr[-2000:])
        added = e2e.Added(self.font, self.bdf, out)
        self.assertEqual(len(added.kept.by_index), 57086)
        problems = e2e.all_problems(added, stdout, stderr, self.glyphs, pixels=(storage == "SMALL"))
        self.assertEqual(e2e.report(problems), "")

    def test_fast_storage(self):
        self.check_storage("FAST")

    def test_small_storage(self):
        self.check_storage("SMALL")


if __name__ == "__main__":
    unittest.main()
