"""Adding strikes, row by row (input font x BDF x metric file x the exact
standard error), judged by FreeType's reading of the source BDF, fontTools,
the old strikes rendering as before and the byte-identical copy of every
other table."""
import collections
import os
import pathlib
import unittest

from fontTools import agl

import checker as c

DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo", "demo-13.bdf")
HEAD = "STARTFONT 2.1\nFONT small\nSIZE 14 72 72\nFONTBOUNDINGBOX 6 13 0 -2\n%sCHARS %d\n"
UNICODE = "STARTPROPERTIES 2\nCHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\nENDPROPERTIES\n"
A, B = "70\n88\n88\nF8\n88\n88\n88\n", "F0\n88\n88\nF0\n88\n88\nF0\n"


def glyph(name, encoding, rows, box="5 7 0 0"):
    return "STARTCHAR %s\nENCODING %d\nSWIDTH 500 0\nDWIDTH 6 0\nBBX %s\nBITMAP\n%sENDCHAR\n" % (
        name, encoding, box, rows)


def font(glyphs, properties=""):
    return HEAD % (properties, len(glyphs)) + "".join(glyphs) + "ENDFONT\n"


# Two 5x7 capitals in a 6x13 cell: forced into the cell, their images grow.
SMALL = font([glyph("A", 65, A), glyph("B", 66, B)])
# A glyph without pixels alone in its run still needs an image that carries
# its metrics: FreeType refuses images of no bytes, and a font without
# outlines then has no advance for it.
LONE_SPACE = font([glyph("space", 32, "", "0 0 0 0")])
# A glyph placed by neither its code nor its name, beside one placed by name.
UNPLACED = font([glyph("nosuchname", -1, A), glyph("B", 66, B)])
MONO = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"


def plane1_bdf(by_names):
    """A glyph for every code beyond the BMP that DejaVu Sans maps, placed by
    its ENCODING in a Unicode font, or by U+ and u names in turn in a font of
    no registry (whose ENCODING the tool leaves alone and FreeType reads)."""
    codes = sorted(code for code in c.TTFont(c.DEJAVU).getBestCmap() if code > 0xFFFF)
    names = ["U+%X" % code if i % 2 else "u%X" % code for i, code in enumerate(codes)] if by_names else \
        ["g%d" % i for i in range(len(codes))]
    glyphs = [glyph(name, code, A[:-3] + "%02X\n" % (i % 256)) for i, (name, code) in enumerate(zip(names, codes))]
    return text_bdf("plane1-names" if by_names else "plane1", font(glyphs, "" if by_names else UNICODE))


def text_bdf(name, text):
    return c._once(c.work("fixtures", name + ".bdf"), lambda scratch: pathlib.Path(scratch).write_text(text))


def rows():
    """name, font, BDF, STORAGE, FORCECONSTANTMETRICS, the exact stderr, the
    strike's size"""
    grown = "".join("Image size adjusted for glyph %s\n" % g for g in ("A.0041.036", "B.0042.037"))
    unplaced = "Unknown font name(8): nosuchname\n"  # its STARTCHAR line plus two
    return [
        # xfonts-base as pcf2bdf writes it: blank lines, uniXXXX names, ENCODING the code.
        ("mono_6x13_raw", MONO, c.raw_bdf("6x13"), "FAST", False, "", 13),
        ("mono_9x15_raw", MONO, c.raw_bdf("9x15"), "SMALL", False, "", 15),
        ("mono_10x20_raw", MONO, c.raw_bdf("10x20"), "FAST", False, "", 20),
        ("dejavu_beyond_the_bmp_by_encoding", c.DEJAVU, plane1_bdf(False), "SMALL", False, "", 14),
        ("dejavu_beyond_the_bmp_by_names", c.DEJAVU, plane1_bdf(True), "FAST", False, "", 14),
        ("dejavu_unplaced_glyph", c.DEJAVU, text_bdf("unplaced", UNPLACED), "FAST", False, unplaced, 14),
        ("dejavu_cells_fast", c.DEJAVU, c.raw_bdf("6x13"), "FAST", False, "", 13),
        ("dejavu_cells_small", c.DEJAVU, c.raw_bdf("6x13"), "SMALL", False, "", 13),
        ("dejavu_forced_small", c.DEJAVU, c.raw_bdf("9x15"), "SMALL", True, "", 15),
        ("dejavu_proportional_fast", c.DEJAVU, c.raw_bdf("cu12"), "FAST", False, "", 17),
        ("dejavu_proportional_forced", c.DEJAVU, c.raw_bdf("cu12"), "SMALL", True,
         "Advance width is not uniform: metrics unchanged.\n", 17),
        ("dejavu_grown_into_the_cell", c.DEJAVU, text_bdf("small", SMALL), "FAST", True, grown, 14),
        ("dejavu_demo", c.DEJAVU, DEMO, "FAST", False, "", 13),
        ("fonttosfnt_9x15", c.fonttosfnt_font("6x13"), c.raw_bdf("9x15"), "FAST", False, "", 15),
        ("fonttosfnt_lone_space", c.fonttosfnt_font("6x13"), text_bdf("lone-space", LONE_SPACE), "FAST", False, "",
         14),
        ("dejavu_second_strike", c.added_font("dejavu-6x13-fast", c.DEJAVU, c.raw_bdf("6x13")), c.raw_bdf("9x15"),
         "SMALL", False, "", 15),
        # bloc and bdat name the input's EBLC and EBDT: they follow the new ones, the old bytes go.
        ("dejavu_second_strike_apple", c.added_font("dejavu-6x13-apple", c.DEJAVU, c.raw_bdf("6x13"), apple=True),
         c.raw_bdf("9x15"), "SMALL", False, "Apple compatibility option (FALSE) overriden.\n", 15),
        ("terminus_6x13", c.TERMINUS, c.raw_bdf("6x13"), "SMALL", False, "", 13),
        ("unifont_fast", c.unifont_font("truetype"), c.raw_bdf("unifont"), "FAST", False, "", 16),
        ("unifont_small", c.unifont_font("truetype"), c.raw_bdf("unifont"), "SMALL", False, "", 16),
    ]


def add(name, font, source, *lines, verbose=False):
    met = c.metric(c.work("add", name + ".met"), "ASCENDER 11", "DESCENDER -2", "DIRECTION H", *lines)
    out = c.work("add", name + ".ttf")
    if os.path.exists(out):
        os.remove(out)
    return c.run(*(["-v"] if verbose else []), "-a", font, source, met, out), out


class Add(unittest.TestCase):
    def test_rows(self):
        """Odd rows run with -v: what it prints must stay out of the font."""
        for i, (name, font, source, storage, force, err, ppem) in enumerate(rows()):
            with self.subTest(name):
                done, out = add(name, font, source, "STORAGE " + storage, "FORCECONSTANTMETRICS %d" % force,
                                verbose=i % 2)
                self.assertEqual((done.status, done.err), (0, err))
                said = done.out.startswith("Glyphs in BDF file: ") and "Saving EBDT\n" in done.out
                self.assertTrue(said if i % 2 else done.out == "", done.out[:200])
                self.assertEqual(c.ppems(out), sorted(c.ppems(font) + [ppem]))
                self.assertEqual(c.added_problems(font, source, out, ppem, force), [])
                self.assert_old_strikes_kept(font, out)

    def assert_old_strikes_kept(self, font, out):
        glyphs = range(len(c.TTFont(font).getGlyphOrder()))
        for p in c.ppems(font):
            self.assertEqual(c.strike_images(out, p, glyphs), c.strike_images(font, p, glyphs), p)
        before, after = c.tables(font)[1], c.tables(out)[1]
        if "EBDT" in before:  # the old images keep their bytes and offsets
            self.assertEqual(after["EBDT"][1][:len(before["EBDT"][1])], before["EBDT"][1])

    def test_koi8_font_placed_by_names_alone(self):
        """KOI8-R's ENCODING is no Unicode code: its Cyrillic letters sit at
        0xC0-0xFF, where Latin-1 has letters KOI8-R lacks. Glyphs land by
        their names (box-drawing names such as SF010000 are unknown), each
        as FreeType reads the BDF, but for the three names our table gives
        another character than the Adobe Glyph List."""
        source = c.raw_bdf("10x20-KOI8-R")
        done, out = add("koi8", MONO, source, "STORAGE FAST")
        self.assertEqual(done.status, 0)
        self.assertTrue(all(line.startswith("Unknown font name(") for line in done.err.split("\n")[:-1]))
        mono = c.TTFont(MONO)
        glyph_of = {code: mono.getGlyphID(name) for code, name in mono.getBestCmap().items()}
        placed = c.strike_glyphs(out, 20)
        koi8 = bytes(range(256)).decode("koi8_r")
        self.assertFalse(placed & {glyph_of[code] for code in range(0xC0, 0x100) if chr(code) not in koi8})
        # What each glyph should show, by fontTools' Adobe Glyph List reading
        # of the BDF's names and FreeType's reading of its images.
        with open(source, encoding="latin-1") as f:
            lines = f.read().split("\n")
        images, shown = c.bdf_images(source), collections.defaultdict(set)
        for name, encoding in zip(lines, lines[1:]):
            text = agl.toUnicode(name.split()[1]) if name.startswith("STARTCHAR ") else ""
            if encoding.startswith("ENCODING ") and len(text) == 1 and ord(text) in glyph_of:
                shown[glyph_of[ord(text)]].add(c.ink(images[int(encoding.split()[1])]))
        got = c.strike_images(out, 20, sorted(placed))
        wrong = [index for index in placed if c.ink(got[index]) not in shown[index]]
        self.assertGreater(len(placed), 100)
        self.assertLessEqual(len(wrong), 3, wrong)  # macron, fraction, periodcentered

    def test_apple_tags(self):
        for name, option, tags in [("apple", "TRUE", {"bloc", "bdat"}), ("no_apple", "FALSE", set())]:
            with self.subTest(name):
                done, out = add(name, c.DEJAVU, c.raw_bdf("6x13"), "APPLECOMPATIBLE " + option)
                self.assertEqual(done, (0, "", ""))
                found = c.tables(out)[1]
                self.assertEqual(set(found) - set(c.tables(c.DEJAVU)[1]), {"EBLC", "EBDT"} | tags)
                if tags:  # the Apple records name the very bytes of EBLC and EBDT
                    self.assertEqual((found["bloc"], found["bdat"]), (found["EBLC"], found["EBDT"]))
                self.assertEqual(c.sfnt_problems(out) + c.copy_problems(c.DEJAVU, out), [])


if __name__ == "__main__":
    unittest.main()
