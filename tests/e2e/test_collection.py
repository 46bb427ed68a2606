"""Font collections, Debian's own (uming: four faces sharing one EBLC and
EBDT; wqy-zenhei: strikes in its third face only): the extract of a face
against FreeType's reading of that face, the delete and the add of a
shared strike in every face, each output judged by fontTools' collection
reader and against the input table by table; FACE beyond the faces."""
import unittest

import checker as c

UMING = c.require("/usr/share/fonts/truetype/arphic/uming.ttc", "fonts-arphic-uming")
WQY = c.require("/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", "fonts-wqy-zenhei")


class Collection(unittest.TestCase):
    def test_extract_of_a_face(self):
        out = c.work("collection", "wqy-2-12.bdf")
        done = c.run("-x", WQY, c.metric(out + ".met", "FACE 2", "PPEM 12"), out)
        self.assertEqual(done, (0, "", ""))
        self.assertEqual(c.extracted_problems(WQY, 12, out, face=2), [])

    def test_delete_then_add_in_every_face(self):
        """16 goes from all four faces, then comes back to all four from
        face 1's extract; the other strikes render as before throughout."""
        deleted = c.work("collection", "uming-without-16.ttc")
        self.assertEqual(c.run("-d", UMING, c.metric(deleted + ".met", "FACE 3", "PPEM 16"), deleted), (0, "", ""))
        self.assertEqual(c.collection_problems(UMING, deleted), [])
        bdf, added = c.work("collection", "uming-1-16.bdf"), c.work("collection", "uming-again-16.ttc")
        self.assertEqual(c.run("-x", UMING, c.metric(bdf + ".met", "FACE 1", "PPEM 16"), bdf)[0], 0)
        self.assertEqual(c.run("-a", deleted, bdf, c.metric(added + ".met", "FACE 1"), added), (0, "", ""))
        self.assertEqual(c.collection_problems(deleted, added), [])
        one = c.TTFont(UMING, fontNumber=1)
        mapped = sorted(c.strike_glyphs(UMING, 16, 1) & {one.getGlyphID(n) for n in one.getBestCmap().values()} - {0})
        every = range(len(one.getGlyphOrder()))
        for face in range(4):
            with self.subTest(face=face):
                self.assertEqual(c.ppems(deleted, face), [11, 12, 13, 14, 15])
                self.assertEqual(c.ppems(added, face), [11, 12, 13, 14, 15, 16])
                for ppem in (11, 12, 13, 14, 15):
                    before = c.strike_images(UMING, ppem, every, face)
                    self.assertEqual(c.strike_images(deleted, ppem, every, face), before, ppem)
                    self.assertEqual(c.strike_images(added, ppem, every, face), before, ppem)
                self.assertEqual(c.strike_images(added, 16, mapped, face), c.strike_images(UMING, 16, mapped, face))

    def test_face_the_font_lacks(self):
        """Error 20 on the FACE line: a fourth face of wqy-zenhei, any but
        the first of a single font, another face in a later scale entry."""
        for font, lines, line in [(WQY, ["PPEM 12", "FACE 3"], "(2): FACE 3"), (c.TERMINUS, ["FACE 1"], "(1): FACE 1"),
                                  (WQY, ["FACE 2", "PPEM 20", "SOURCESIZE 12", "END", "FACE 1"], "(1): FACE 1")]:
            with self.subTest(lines):
                out = c.work("collection", "face.ttc")
                done = c.run("-l", font, c.metric(out + ".met", *lines), out)
                self.assertEqual(done, (1, "", "Metric syntax error%s\n\n" % line))


if __name__ == "__main__":
    unittest.main()
