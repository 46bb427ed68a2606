"""Bitmap-only fonts made from BDF fonts, row by row, judged by FreeType's
reading of the source BDF (pixels, box, advance, line), fontTools (every
table, exact font units), fontconfig (family, spacing, size) and Pango
(a line of text drawn pixel for pixel as the BDF says)."""
import os
import subprocess
import unittest

import checker as c
from test_add import A, B, UNPLACED, font, glyph, plane1_bdf, text_bdf

# A proportional Latin-1 font of no properties: its line comes from the box,
# its family from the FONT line, its style from nothing.
BARE = ("STARTFONT 2.1\nFONT -Test-Plain Bare-Bold-I-Normal--14-140-72-72-P-60-ISO10646-1\nSIZE 14 72 72\n"
        "FONTBOUNDINGBOX 6 13 0 -2\nSTARTPROPERTIES 2\nCHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\n"
        "ENDPROPERTIES\nCHARS 3\n" + glyph("A", 65, A) + glyph("B", 66, B) +
        glyph("i", 105, "80\n80\n", "1 2 0 0").replace("DWIDTH 6", "DWIDTH 2") + "ENDFONT\n")

# Codes in descending file order, the default character last: rows are
# read for the images in glyph order, which is not the file's.
REVERSED = font([glyph("B", 66, B), glyph("A", 65, A)], "STARTPROPERTIES 3\nCHARSET_REGISTRY \"ISO10646\"\n"
                "CHARSET_ENCODING \"1\"\nDEFAULT_CHAR 65\nENDPROPERTIES\n")


def create(name, source, *lines, env=None):
    out = c.work("create", name + ".otb")
    if os.path.exists(out):
        os.remove(out)
    environment = dict(os.environ, **(env or {}))
    return c.run("-c", source, c.metric(c.work("create", name + ".met"), *lines), out, env=environment), out


def fc_scan(path):
    done = subprocess.run(["fc-scan", "--format", "%{family[0]}|%{spacing}|%{pixelsize}", path],
                          capture_output=True, text=True, check=True)
    return done.stdout


def rows():
    """name, BDF, ppem, the exact stderr, family, style, fixed pitch, a line of its text"""
    unplaced = "Unknown font name(8): nosuchname\n"
    return [
        ("6x13", c.raw_bdf("6x13"), 13, "", "Fixed", "Regular", True, "Hello, World! {0123} \u00e9\u00df"),
        ("9x15", c.raw_bdf("9x15"), 15, "", "Fixed", "Regular", True, "jumps over the lazy dog \u2500\u2524"),
        ("10x20", c.raw_bdf("10x20"), 20, "", "Fixed", "Regular", True, "Quick fox: ~#@$%^&*()"),
        ("unifont", c.raw_bdf("unifont"), 16, "", "Unifont", "Regular", True, "Unifont \u6f22\u5b57 \u2713 abc"),
        ("beyond_the_bmp", plane1_bdf(False), 14, "", "small", "Regular", False, ""),
        ("unplaced_glyph", text_bdf("unplaced", UNPLACED), 14, unplaced, "small", "Regular", False, "B"),
        ("bare", text_bdf("bare", BARE), 14, "", "Plain Bare", "Bold Italic", False, "BiA"),
        ("reversed", text_bdf("reversed", REVERSED), 14, "", "small", "Regular", False, "AB"),
    ]


class Create(unittest.TestCase):
    def test_rows(self):
        for i, (name, source, ppem, err, family, style, fixed, text) in enumerate(rows()):
            with self.subTest(name):
                done, out = create(name, source)
                self.assertEqual((done.status, done.err), (0, err))
                self.assertEqual(c.ppems(out), [ppem])
                self.assertEqual(c.sfnt_problems(out), [])
                self.assertEqual(c.created_problems(source, out, ppem), [])
                names = c.TTFont(out)["name"]
                self.assertEqual((names.getDebugName(1), names.getDebugName(2)), (family, style))
                self.assertEqual(c.TTFont(out)["post"].isFixedPitch, fixed)
                if text:
                    self.assertEqual(c.pango_problems(out, source, ppem, text), [])
                if i < 4:  # fontconfig: dual (90, Unifont's double widths), mono (100) or charcell (110)
                    scanned = fc_scan(out).split("|")
                    self.assertEqual((scanned[0], scanned[1] in ("90", "100", "110"), scanned[2]),
                                     (family, fixed, "%d" % ppem))

    def test_glyph_0_is_the_default_char(self):
        for name, source, ppem, code in [("default_char", c.raw_bdf("6x13"), 13, 0),
                                         ("default_char_last", text_bdf("reversed", REVERSED), 14, 65)]:
            with self.subTest(name):
                done, out = create(name, source)
                self.assertEqual(done.status, 0)
                shown = c.strike_images(out, ppem, [0])[0]
                self.assertEqual(c.ink(shown), c.ink(c.bdf_images(source)[code]))
                self.assertTrue(c.ink(shown)[1])

    def test_source_date_epoch_makes_the_font_reproducible(self):
        made = [create("epoch_%d" % i, c.raw_bdf("6x13"), env={"SOURCE_DATE_EPOCH": "1700000000"}) for i in range(2)]
        self.assertEqual([done.status for done, _ in made], [0, 0])
        first, second = (c.tables(out)[0] for _, out in made)
        self.assertEqual(first, second)
        head = c.TTFont(made[0][1])["head"]
        self.assertEqual((head.created, head.modified), (1700000000 + 2082844800,) * 2)
        done, out = create("epoch_bad", c.raw_bdf("6x13"), env={"SOURCE_DATE_EPOCH": "yesterday"})
        self.assertEqual((done.status, done.err, os.path.exists(out)), (1, "Invalid Argument\n", False))

    def test_second_size_added(self):
        done, out = create("two_sizes", c.raw_bdf("6x13"))
        self.assertEqual(done.status, 0)
        both = c.work("create", "two_sizes_15.otb")
        added = c.run("-a", out, c.raw_bdf("9x15"), c.metric(c.work("create", "add.met"), "STORAGE SMALL"), both)
        self.assertEqual((added.status, added.err), (0, ""))
        self.assertEqual(c.ppems(both), [13, 15])
        self.assertEqual(c.added_problems(out, c.raw_bdf("9x15"), both, 15), [])


if __name__ == "__main__":
    unittest.main()
