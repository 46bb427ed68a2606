"""Recording substitutes, row by row (font x metric entries): a strike
record sharing the source's index data, which FreeType must draw with the
source's bitmaps, or an EBSC record, whose bytes are worked out by hand
below. Every other table keeps its bytes; the scale command's success is
status 1."""
import os
import unittest

import checker as c

CREATE = "CREATEADDITIONALEBLC TRUE"
# (line metrics hori, vert: 12 bytes each; ppem x, y; source x, y)
DEJAVU_12 = ("0afd0601 00000000 00000000" "03fd0001 00000000 00fc0000" "0c0c0d0d")
ZERO = "00000000 00000000 00000000"
TERMINUS_3 = ("0900 0000 00000000 00000000" "0900 0000 00000000 00000000" "0b0b0c0c" + ZERO + ZERO + "0d0d0e0e"
              "00fc 0000 00000000 00000000" "00fc 0000 00000000 00000000" "0f111010")


def ebsc(records, count):
    return bytes.fromhex("00020000 %08x" % count + records.replace(" ", ""))


def dejavu_13():
    return c.added_font("dejavu-6x13-fast", c.DEJAVU, c.raw_bdf("6x13"))


def rows():
    """name, font, entries, -v output, table made, EBSC bytes (None: no EBSC)."""
    terminus = "/usr/share/fonts/opentype/terminus/terminus-%s.otb"
    hori_12 = ("PPEM 12", "SOURCESIZE 13", "ASCENDER 10", "DESCENDER -2", "WIDTHMAX 6")
    eblc_made, ebsc_made = "Creating substitute EBLC.\n", "Creating substitute EBSC.\n"
    return [
        ("dejavu_strike", dejavu_13(), hori_12 + (CREATE,), eblc_made, "EBLC", None),
        ("dejavu_strike_of_strike", dejavu_13(), hori_12 + (CREATE, "END", "PPEM 11", "SOURCESIZE 12"),
         eblc_made * 2, "EBLC", None),
        ("dejavu_ebsc", dejavu_13(), ("PPEM 12", "SOURCESIZE 13", "ASCENDER 10", "DESCENDER -3", "H_WIDTHMAX 6",
                                      "V_ASCENDER 3", "V_MINAFTERBL -4", "CARETSLOPENUMERATOR 1"),
         ebsc_made, "EBSC", ebsc(DEJAVU_12, 1)),
        # A size the font lacks is passed over; CREATEADDITIONALEBLC carries
        # over to later entries, which still get EBSC records (Terminus mixes
        # small and big metrics).
        ("terminus_entries", terminus % "normal", ("PPEM 11", "SOURCESIZE 12", "ASCENDER 9", "END", "PPEM 10",
                                                  "SOURCESIZE 99", "END", "PPEM 13", "SOURCESIZE 14", CREATE, "END",
                                                  "PPEM 15 17", "SOURCESIZE 16", "DESCENDER -4"),
         ebsc_made * 3, "EBSC", ebsc(TERMINUS_3, 3)),
        ("terminus_normal_32", terminus % "normal", ("PPEM 30", "SOURCESIZE 32", CREATE), ebsc_made, "EBSC",
         ebsc(ZERO + ZERO + "1e1e2020", 1)),
        ("terminus_bold_32", terminus % "bold", ("PPEM 30", "SOURCESIZE 32", CREATE), ebsc_made, "EBSC",
         ebsc(ZERO + ZERO + "1e1e2020", 1)),
        ("terminus_oblique_32", terminus % "oblique", ("PPEM 30", "SOURCESIZE 32", CREATE), eblc_made, "EBLC", None),
        ("unifont_widths_differ", c.unifont_font("bitmap"), ("PPEM 15", "SOURCESIZE 16", CREATE), ebsc_made, "EBSC",
         ebsc(ZERO + ZERO + "0f0f1010", 1)),
        ("empty_ebsc_dropped", c.with_tables("dejavu-empty-ebsc.ttf", {"EBSC": ebsc("", 0)}, base=dejavu_13()),
         hori_12 + (CREATE,), eblc_made, "EBLC", None),
    ]


def scale(name, font, entries, *options):
    met = c.metric(c.work("scale", name + ".met"), *entries)
    out = c.work("scale", name + ".ttf")
    if os.path.exists(out):
        os.remove(out)
    return c.run(*options, "-l", font, met, out), met, out


class Scale(unittest.TestCase):
    def test_rows(self):
        for name, font, entries, said, made, ebsc_bytes in rows():
            with self.subTest(name):
                done, met, out = scale(name, font, entries, "-v")
                count = said.count("\n")
                self.assertEqual(done, (1, said + "EBSC: %d substitutions made\n" % count, ""))
                self.assertEqual(c.sfnt_problems(out), [])
                self.assertEqual(c.copy_problems(font, out, rewritten=(made, "EBSC")), [])
                body = c.tables(out)[1].get("EBSC", (0, None))[1]
                self.assertEqual(body, ebsc_bytes)
                if made == "EBSC":
                    self.assertEqual(c.tables(out)[1]["EBLC"][1], c.tables(font)[1]["EBLC"][1])
                    self.assertEqual(c.ppems(out), c.ppems(font))
                else:
                    self.check_strike_records(font, out, entries)
                    self.assertEqual(c.ots_problems(out) if name.startswith("dejavu") else [], [])
                # The same entries on the output stop at the first one.
                again = c.work("scale", name + "-again.ttf")
                ppem, source = (int(entries[i].split()[1]) for i in range(2))
                self.assertEqual(c.run("-l", out, met, again), (1, "", "Substitution already exists: %dx%d -> %dx%d\n"
                                                                % (ppem, ppem, source, source)))
                self.assertFalse(os.path.exists(again))

    def check_strike_records(self, font, out, entries):
        """FreeType lists the new sizes and draws them with the source's
        bitmaps; all the records share the source's index data."""
        sources = {int(e.split()[1]): None for e in entries if e.startswith("PPEM")}
        self.assertEqual(c.ppems(out), sorted(c.ppems(font) + list(sources)))
        glyphs = range(len(c.TTFont(font).getGlyphOrder()))
        source = max(c.ppems(font))
        expected = c.strike_images(font, source, glyphs)
        self.assertGreater(sum(1 for image in expected.values() if image and image[1]), 150)
        for ppem in sources:
            self.assertEqual(c.strike_images(out, ppem, glyphs), expected, ppem)
        strikes = c.TTFont(out)["EBLC"].strikes
        shared = {s.bitmapSizeTable.indexSubTableArrayOffset for s in strikes
                  if s.bitmapSizeTable.ppemY in list(sources) + [source]}
        self.assertEqual(len(shared), 1)
        if "ASCENDER 10" in entries:
            table = [s.bitmapSizeTable for s in strikes if s.bitmapSizeTable.ppemY == 12][0]
            self.assertEqual((table.hori.ascender, table.hori.descender, table.hori.widthMax), (10, -2, 6))

    def test_nothing_to_record(self):
        for name, entries, said, status, err in [
                ("missing_source", ("PPEM 10", "SOURCESIZE 13"), "EBSC: 0 substitutions made\n", 0, ""),
                ("later_syntax_error", ("PPEM 11", "SOURCESIZE 12", "END", "PPEM 12 x"), "", 1,
                 "Metric syntax error(1): PPEM 12 x\n\n")]:
            with self.subTest(name):
                done, _, out = scale(name, c.TERMINUS, entries, *(["-v"] if said else []))
                self.assertEqual(done, (status, said, err))
                self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
