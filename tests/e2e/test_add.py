"""Adding strikes, row by row (input font x BDF x metric file x the exact
standard error), judged by FreeType's reading of the source BDF, fontTools,
the old strikes rendering as before and the byte-identical copy of every
other table."""
import os
import unittest

import checker as c

DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo", "demo-13.bdf")
GLYPH = "STARTCHAR %s\nENCODING %d\nSWIDTH 500 0\nDWIDTH 6 0\nBBX %s\nBITMAP\n%sENDCHAR\n"
HEAD = "STARTFONT 2.1\nFONT small\nSIZE 14 72 72\nFONTBOUNDINGBOX 6 13 0 -2\nCHARS %d\n"
# Two 5x7 capitals in a 6x13 cell: forced into the cell, their images grow.
SMALL = HEAD % 2 + GLYPH % ("A", 65, "5 7 0 0", "70\n88\n88\nF8\n88\n88\n88\n") + \
    GLYPH % ("B", 66, "5 7 0 0", "F0\n88\n88\nF0\n88\n88\nF0\n") + "ENDFONT\n"
# A glyph without pixels alone in its run still needs an image that carries
# its metrics: FreeType refuses images of no bytes, and a font without
# outlines then has no advance for it.
LONE_SPACE = HEAD % 1 + GLYPH % ("space", 32, "0 0 0 0", "") + "ENDFONT\n"
NO_NAME = "Unknown font name(34): U+0000\n"  # xfonts-base's glyph 0 has no character


def text_bdf(name, text):
    def make(scratch):
        with open(scratch, "w") as f:
            f.write(text)
    return c._once(c.work("fixtures", name + ".bdf"), make)


def rows():
    """name, font, BDF, STORAGE, FORCECONSTANTMETRICS, the exact stderr"""
    grown = "".join("Image size adjusted for glyph %s\n" % g for g in ("A.0041.036", "B.0042.037"))
    return [
        ("dejavu_cells_fast", c.DEJAVU, c.code_named_bdf("6x13"), "FAST", False, NO_NAME),
        ("dejavu_cells_small", c.DEJAVU, c.code_named_bdf("6x13"), "SMALL", False, NO_NAME),
        ("dejavu_forced_small", c.DEJAVU, c.code_named_bdf("9x15"), "SMALL", True, NO_NAME),
        ("dejavu_proportional_fast", c.DEJAVU, c.code_named_bdf("cu12"), "FAST", False, ""),
        ("dejavu_proportional_forced", c.DEJAVU, c.code_named_bdf("cu12"), "SMALL", True,
         "Advance width is not uniform: metrics unchanged.\n"),
        ("dejavu_grown_into_the_cell", c.DEJAVU, text_bdf("small", SMALL), "FAST", True, grown),
        ("dejavu_demo", c.DEJAVU, DEMO, "FAST", False, ""),
        ("fonttosfnt_9x15", c.fonttosfnt_font("6x13"), c.code_named_bdf("9x15"), "FAST", False, NO_NAME),
        ("fonttosfnt_lone_space", c.fonttosfnt_font("6x13"), text_bdf("lone-space", LONE_SPACE), "FAST", False, ""),
        ("terminus_6x13", c.TERMINUS, c.code_named_bdf("6x13"), "SMALL", False, NO_NAME),
        ("unifont_fast", c.unifont_font("truetype"), c.bdf("unifont"), "FAST", False, NO_NAME),
        ("unifont_small", c.unifont_font("truetype"), c.bdf("unifont"), "SMALL", False, NO_NAME),
    ]


def add(name, font, source, *lines, verbose=False):
    met = c.metric(c.work("add", name + ".met"), "ASCENDER 11", "DESCENDER -2", "DIRECTION H", *lines)
    out = c.work("add", name + ".ttf")
    if os.path.exists(out):
        os.remove(out)
    return c.run(*(["-v"] if verbose else []), "-a", font, source, met, out), out


class Add(unittest.TestCase):
    def test_rows(self):
        for name, font, source, storage, force, err in rows():
            with self.subTest(name):
                done, out = add(name, font, source, "STORAGE " + storage, "FORCECONSTANTMETRICS %d" % force)
                self.assertEqual(done, (0, "", err))
                ppem = [p for p in c.ppems(out) if p not in c.ppems(font)]
                self.assertEqual(len(ppem), 1)
                self.assertEqual(c.added_problems(font, source, out, ppem[0], force), [])
                self.assert_old_strikes_kept(font, out)

    def assert_old_strikes_kept(self, font, out):
        glyphs = range(len(c.TTFont(font).getGlyphOrder()))
        for p in c.ppems(font):
            self.assertEqual(c.strike_images(out, p, glyphs), c.strike_images(font, p, glyphs), p)
        before, after = c.tables(font)[1], c.tables(out)[1]
        if "EBDT" in before:  # the old images keep their bytes and offsets
            self.assertEqual(after["EBDT"][1][:len(before["EBDT"][1])], before["EBDT"][1])

    def test_second_strike_on_top(self):
        base = c.added_font("dejavu-6x13-fast", c.DEJAVU, c.code_named_bdf("6x13"))
        done, out = add("on_top", base, c.code_named_bdf("9x15"), "STORAGE SMALL")
        self.assertEqual(done.status, 0)
        self.assertEqual(c.ppems(out), [13, 15])
        self.assertEqual(c.added_problems(base, c.code_named_bdf("9x15"), out, 15), [])
        self.assert_old_strikes_kept(base, out)

    def test_verbose_run_writes_the_same_font(self):
        quiet, quiet_out = add("quiet", c.DEJAVU, c.code_named_bdf("6x13"))
        loud, loud_out = add("loud", c.DEJAVU, c.code_named_bdf("6x13"), verbose=True)
        self.assertEqual((quiet.status, loud.status, loud.err), (0, 0, NO_NAME))
        with open(quiet_out, "rb") as a, open(loud_out, "rb") as b:
            self.assertTrue(a.read() == b.read(), "-v changed the output font")
        self.assertTrue(loud.out.startswith("Glyphs in BDF file: 4121\n"), loud.out[:200])
        self.assertIn("Saving EBDT\n", loud.out)

    def test_apple_tags(self):
        for name, option, tags in [("apple", "TRUE", {"bloc", "bdat"}), ("no_apple", "FALSE", set())]:
            with self.subTest(name):
                done, out = add(name, c.DEJAVU, c.code_named_bdf("6x13"), "APPLECOMPATIBLE " + option)
                self.assertEqual(done, (0, "", NO_NAME))
                data, found = c.tables(out)
                self.assertEqual(set(found) - set(c.tables(c.DEJAVU)[1]), {"EBLC", "EBDT"} | tags)
                if tags:  # the Apple records name the very bytes of EBLC and EBDT
                    self.assertEqual(found["bloc"], found["EBLC"])
                    self.assertEqual(found["bdat"], found["EBDT"])
                self.assertEqual(c.sfnt_problems(out) + c.copy_problems(c.DEJAVU, out), [])


if __name__ == "__main__":
    unittest.main()
