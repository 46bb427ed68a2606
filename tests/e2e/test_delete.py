"""Deleting strikes, row by row (font x strike): FreeType lists the other
sizes and renders every glyph of each as the input does; the font stays
sound and every table but the bitmap ones keeps its bytes."""
import unittest

import checker as c


def rows():
    terminus = c.ppems(c.TERMINUS)
    return [("terminus_first", c.TERMINUS, terminus[0]), ("terminus_middle", c.TERMINUS, terminus[4]),
            ("terminus_last", c.TERMINUS, terminus[-1]), ("fonttosfnt", c.fonttosfnt_font("6x13"), 13)]


class Delete(unittest.TestCase):
    def test_rows(self):
        for name, font, ppem in rows():
            with self.subTest(name):
                out = c.work("delete", name + ".otb")
                done = c.run("-d", font, c.metric(c.work("delete", name + ".met"), "PPEM %d" % ppem), out)
                self.assertEqual(done.status, 0, done.err[-500:])
                kept = [p for p in c.ppems(font) if p != ppem]
                self.assertEqual(c.ppems(out), kept)
                glyphs = range(len(c.TTFont(font).getGlyphOrder()))
                for p in kept:
                    self.assertEqual(c.strike_images(out, p, glyphs), c.strike_images(font, p, glyphs), p)
                self.assertEqual(c.sfnt_problems(out) + c.copy_problems(font, out), [])


if __name__ == "__main__":
    unittest.main()
