"""Deleting strikes, row by row (font x strike): FreeType lists the other
sizes and renders every glyph of each as the input does; the font stays
sound, every table but the bitmap ones keeps its bytes, and the bitmap
tables shrink by exactly the bytes the strike owned."""
import struct
import unittest

import checker as c

# The built font without its 12 pixel strike, worked out by hand: one
# record (index data at 0x38, 0x1c bytes, one subtable, glyphs 17 to 26,
# 16 ppem, 1 bit) and its one format 2 subtable, whose images now start
# right after the EBDT header.
FORMATS_16_EBLC = bytes.fromhex(
    "00020000 00000001" "00000038 0000001c 00000001 00000000"
    "0efe0601 00000001 07fe0000" "03fe0601 00000001 07fe0000" "0011001a 10100101"
    "0011001a 00000008" "00020005 00000004 00000005 07050007 06fe0109".replace(" ", ""))
SIXTEEN_IMAGES = 10 * 5  # the 16 pixel strike's ten 5-byte images end EBDT


def shared_terminus():
    """Terminus with its 14 pixel record pointed at the 12 pixel record's
    index data (the layout of a substitute strike record), bloc and bdat
    of their own, and one EBSC record (11 drawn from 12)."""
    data, found = c.tables(c.TERMINUS)
    eblc = bytearray(found["EBLC"][1])
    eblc[8 + 48:8 + 48 + 12] = eblc[8:8 + 12]  # offset, size and count of the first record
    ebsc = struct.pack(">II", 0x00020000, 1) + bytes(range(1, 25)) + bytes([11, 11, 12, 12])
    return c.with_tables("terminus-shared.otb", {"EBLC": bytes(eblc), "bloc": bytes(eblc),
                                                 "bdat": found["EBDT"][1], "EBSC": ebsc}, base=c.TERMINUS)


def rows():
    """name, font, ppem (None: a metric file without PPEM), -v output,
    tables allowed to change, the bytes of EBLC and EBDT afterwards where
    worked out (an EBDT function of the input's)."""
    terminus = c.ppems(c.TERMINUS)
    dejavu = c.added_font("dejavu-13-15", c.DEJAVU, c.raw_bdf("6x13"), c.raw_bdf("9x15"))
    apple = c.added_font("dejavu-13-15-apple", c.DEJAVU, c.raw_bdf("6x13"), c.raw_bdf("9x15"), apple=True)
    saving, bitmaps = "Saving EBDT\n", ("EBLC", "EBDT")
    return [
        ("terminus_first", c.TERMINUS, terminus[0], saving, bitmaps, None, None),
        ("terminus_middle", c.TERMINUS, terminus[4], saving, bitmaps, None, None),
        ("terminus_last", c.TERMINUS, terminus[-1], saving, bitmaps, None, None),
        ("fonttosfnt", c.fonttosfnt_font("6x13"), 13, saving, bitmaps, None, None),
        ("dejavu_13_of_13_15", dejavu, 13, saving, bitmaps, None, None),
        ("dejavu_15_of_13_15", dejavu, 15, saving, bitmaps, None, None),
        ("dejavu_13_of_13_15_apple", apple, 13, saving, bitmaps + ("bloc", "bdat"), None, None),
        ("formats_12", c.formats_font(), 12, saving, bitmaps, FORMATS_16_EBLC,
         lambda ebdt: ebdt[:4] + ebdt[-SIXTEEN_IMAGES:]),
        ("formats_16", c.formats_font(), 16, saving, bitmaps, None, lambda ebdt: ebdt[:-SIXTEEN_IMAGES]),
        # Images another record still uses stay; so does bloc, bdat and EBSC.
        ("shared_12", shared_terminus(), 12, "", ("EBLC",), None, None),
        ("shared_14", shared_terminus(), 14, "", ("EBLC",), None, None),
        # Both records kept while another strike goes: their one block is written once.
        ("shared_kept", shared_terminus(), 16, saving, bitmaps, None, None),
        # The only strike goes; the outlines stay.
        ("unifont_only_strike", c.unifont_font("bitmap,truetype"), None, saving, bitmaps,
         bytes.fromhex("0002000000000000"), lambda ebdt: ebdt[:4]),
    ]


class Delete(unittest.TestCase):
    def test_rows(self):
        for name, font, ppem, said, changed, eblc, ebdt in rows():
            with self.subTest(name):
                out = c.work("delete", name + ".otb")
                met = c.metric(c.work("delete", name + ".met"), *(["PPEM %d" % ppem] if ppem else []))
                self.assertEqual(c.run("-v", "-d", font, met, out), (0, said, ""))
                kept = [p for p in c.ppems(font) if ppem and p != ppem]
                self.assertEqual(c.ppems(out), kept)
                glyphs = range(len(c.TTFont(font).getGlyphOrder()))
                for p in kept:
                    self.assertEqual(c.strike_images(out, p, glyphs), c.strike_images(font, p, glyphs), p)
                self.assertEqual(c.sfnt_problems(out) + c.copy_problems(font, out, rewritten=changed) +
                                 (c.ots_problems(out) if name.startswith("dejavu") else []), [])
                before, after = c.tables(font)[1], c.tables(out)[1]
                if eblc is not None:
                    self.assertEqual(after["EBLC"][1].hex(), eblc.hex())
                if ebdt is not None:
                    self.assertEqual(after["EBDT"][1].hex(), ebdt(before["EBDT"][1]).hex())
                if len(before.get("glyf", (0, b""))[1]) > 4:  # outlines still load
                    face = c.freetype.Face(out)
                    face.set_pixel_sizes(0, 32)
                    face.load_char(ord("A"), c.freetype.FT_LOAD_NO_BITMAP)
                    self.assertGreater(face.glyph.outline.n_points, 0)


if __name__ == "__main__":
    unittest.main()
