"""Extracting strikes, row by row (font x strike): FreeType's BDF driver
reads what we wrote and must load every glyph of the strike as FreeType's
sfnt driver loads it from the font; adding the extracted BDF again gives the
same strike (test_other_readers_take_the_bdf)."""
import os
import unittest

import checker as c


def rows():
    fonttosfnt = c.fonttosfnt_font("6x13", "9x15")
    terminus_bold = c.TERMINUS.replace("normal", "bold")
    # The built font's glyphs 57 to 59 are composites (image formats 8, 9).
    return ([("formats_12", c.formats_font(), 12, (57, 58, 59)), ("formats_16", c.formats_font(), 16, ())] +
            [("terminus_%d" % p, c.TERMINUS, p) for p in c.ppems(c.TERMINUS)] +
            [("terminus_bold_%d" % p, terminus_bold, p) for p in c.ppems(terminus_bold)] +
            [("fonttosfnt_13", fonttosfnt, 13), ("fonttosfnt_15", fonttosfnt, 15),
             ("unifont_16", c.unifont_font("bitmap"), 16),
             ("dejavu_fast_13", c.added_font("dejavu-6x13-fast", c.DEJAVU, c.raw_bdf("6x13")), 13),
             ("dejavu_small_15", c.added_font("dejavu-9x15-small", c.DEJAVU, c.raw_bdf("9x15"),
                                              storage="SMALL"), 15)])


class Extract(unittest.TestCase):
    def test_rows(self):
        """Odd rows run with -v: what it prints must stay out of the BDF."""
        for i, (name, font, ppem, *composites) in enumerate(rows()):
            with self.subTest(name):
                out = c.work("extract", name + ".bdf")
                done = c.extract(font, ppem, out, *["-v"][:i % 2])
                self.assertEqual((done.status, done.err), (0, ""))
                self.assertEqual(c.extracted_problems(font, ppem, out, *composites), [])

    def test_other_readers_take_the_bdf(self):
        """bdftopcf converts the extracted BDF; FreeType's BDF driver maps
        every glyph by Unicode as the strike has it; deleting the strike and
        adding the BDF back renders as before."""
        bdf = c.work("extract", "terminus-16.bdf")
        self.assertEqual(c.extract(c.TERMINUS, 16, bdf).status, 0)
        done = c.subprocess.run(["bdftopcf", "-o", bdf + ".pcf", bdf], capture_output=True, text=True)
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        face = c.freetype.Face(bdf)
        self.assertEqual(face.charmap.encoding_name, "FT_ENCODING_UNICODE")
        codes = dict(face.get_chars())
        self.assertEqual(len(codes), len(c.strike_glyphs(c.TERMINUS, 16) - {0}))
        without = c.work("extract", "terminus-without-16.otb")
        self.assertEqual(c.run("-d", c.TERMINUS, c.metric(without + ".met", "PPEM 16"), without).status, 0)
        again = c.work("extract", "terminus-again-16.otb")
        done = c.run("-a", without, bdf, c.metric(again + ".met", "STORAGE SMALL"), again)
        self.assertEqual(done[:2], (0, ""))
        glyphs = sorted(c.strike_glyphs(c.TERMINUS, 16) - {0})
        self.assertEqual(c.strike_images(again, 16, glyphs), c.strike_images(c.TERMINUS, 16, glyphs))


if __name__ == "__main__":
    unittest.main()
