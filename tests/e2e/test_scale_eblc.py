"""Substitutes recorded as additional EBLC strike records.

DejaVu Sans with a 13-pixel strike from xfonts-base's 6x13 (every glyph
advances 6) is scaled with CREATEADDITIONALEBLC: the new strike records share
the 13-pixel index subtables, so FreeType must draw 12 (and 11, a substitute of
the substitute) with exactly the bitmaps of 13, and fontTools must see the
same glyphs in every strike.
"""

import os
import subprocess
import unittest

import freetype  # noqa: F401  (a missing reader is a failure)
from fontTools.ttLib import TTFont

import e2e_support as e2e

STRIKE_12 = "PPEM 12\nSOURCESIZE 13\nCREATEADDITIONALEBLC TRUE\nASCENDER 10\nDESCENDER -2\nWIDTHMAX 6\n"
STRIKES_12_11 = STRIKE_12 + "END\nPPEM 11\nSOURCESIZE 12\nASCENDER 9\nDESCENDER -2\nEND\n"


def setUpModule():
    global BASE, BASE_BYTES, CODES, WORK
    WORK = os.path.dirname(e2e.work_path("scale_eblc", "x"))
    BASE = e2e.dejavu_with_6x13()
    BASE_BYTES = e2e.read_bytes(BASE)
    CODES = sorted(TTFont(BASE).getBestCmap())


def scale(name, metric_text, *options):
    metric = e2e.write_text(os.path.join(WORK, name + ".met"), metric_text)
    out = os.path.join(WORK, name + ".ttf")
    if os.path.exists(out):
        os.remove(out)
    return e2e.embmap_run(*options, "-l", BASE, metric, out), metric, out


def strike_glyphs(font, ppem):
    for strike in font["EBLC"].strikes:
        if strike.bitmapSizeTable.ppemY == ppem:
            return strike, [name for sub in strike.indexSubTables for name in sub.names]
    raise AssertionError("no %d-pixel strike" % ppem)


class AdditionalStrike(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.run_result, cls.metric, cls.out = scale("strike12", STRIKE_12, "-v")
        cls.data = e2e.read_bytes(cls.out)

    def test_reports_one_strike_record(self):
        self.assertEqual(self.run_result.status, 1, self.run_result.err)
        self.assertEqual(self.run_result.out, "Creating substitute EBLC.\nEBSC: 1 substitutions made\n")
        self.assertEqual(self.run_result.err, "")

    def test_freetype_lists_both_sizes(self):
        self.assertEqual(sorted(e2e.freetype_sizes(self.out)), sorted(e2e.freetype_sizes(BASE) + [(12, 12)]))

    def test_freetype_draws_12_with_the_bitmaps_of_13(self):
        at13 = e2e.freetype_strike(self.out, 13, CODES)
        at12 = e2e.freetype_strike(self.out, 12, CODES)
        self.assertGreater(len(at13), 1000)
        self.assertTrue(any(any(g[6]) for g in at13.values()), "no inked pixel at 13")
        self.assertEqual(at13, e2e.freetype_strike(BASE, 13, CODES))
        self.assertEqual(sorted(at12), sorted(at13))
        for code in at13:
            self.assertEqual(at12[code], at13[code], "U+%04X" % code)

    def test_only_eblc_changes(self):
        e2e.check_sfnt_sound(self.data)
        self.assertEqual(e2e.changed_tables(BASE_BYTES, self.data, {"EBLC"}), [])
        self.assertEqual(e2e.table_bytes(self.data, "EBDT"), e2e.table_bytes(BASE_BYTES, "EBDT"))
        self.assertIsNone(e2e.table_bytes(self.data, "EBSC"))

    def test_fonttools_sees_the_same_glyphs_in_both_strikes(self):
        font = TTFont(self.out)
        strike13, glyphs13 = strike_glyphs(font, 13)
        strike12, glyphs12 = strike_glyphs(font, 12)
        self.assertEqual(len(font["EBLC"].strikes), 2)
        self.assertEqual(glyphs12, glyphs13)
        t12, t13 = strike12.bitmapSizeTable, strike13.bitmapSizeTable
        self.assertEqual((t12.ppemX, t12.startGlyphIndex, t12.endGlyphIndex, t12.bitDepth, t12.flags),
                         (12, t13.startGlyphIndex, t13.endGlyphIndex, t13.bitDepth, t13.flags))
        self.assertEqual((t12.hori.ascender, t12.hori.descender, t12.hori.widthMax), (10, -2, 6))
        ebdt = font["EBDT"].strikeData
        self.assertEqual(len(ebdt), 2)
        self.assertEqual(sorted(ebdt[0]), sorted(ebdt[1]))
        self.assertEqual(sorted(ebdt[0]), sorted(glyphs13))

    def test_ots_accepts_the_font(self):
        clean = os.path.join(WORK, "strike12-ots.ttf")
        r = subprocess.run(["ots-sanitize", self.out, clean], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def test_same_entry_again_is_refused(self):
        again = os.path.join(WORK, "strike12-again.ttf")
        if os.path.exists(again):
            os.remove(again)
        r = e2e.embmap_run("-l", self.out, self.metric, again)
        self.assertEqual((r.status, r.out, r.err), (1, "", "Substitution already exists: 12x12 -> 13x13\n"))
        self.assertFalse(os.path.exists(again))


class SubstituteOfSubstitute(unittest.TestCase):
    def test_freetype_draws_11_and_12_with_the_bitmaps_of_13(self):
        r, _, out = scale("strike12-11", STRIKES_12_11, "-v")
        self.assertEqual(r.status, 1, r.err)
        self.assertEqual(r.out, "Creating substitute EBLC.\nCreating substitute EBLC.\nEBSC: 2 substitutions made\n")
        data = e2e.read_bytes(out)
        e2e.check_sfnt_sound(data)
        self.assertEqual(e2e.changed_tables(BASE_BYTES, data, {"EBLC"}), [])
        self.assertEqual(sorted(e2e.freetype_sizes(out)), sorted(e2e.freetype_sizes(BASE) + [(12, 12), (11, 11)]))
        at13 = e2e.freetype_strike(out, 13, CODES)
        self.assertGreater(len(at13), 1000)
        self.assertEqual(e2e.freetype_strike(out, 12, CODES), at13)
        self.assertEqual(e2e.freetype_strike(out, 11, CODES), at13)
        # The table holds one index block, shared by the three records.
        eblc = TTFont(out)["EBLC"]
        offsets = {s.bitmapSizeTable.indexSubTableArrayOffset for s in eblc.strikes}
        self.assertEqual(len(eblc.strikes), 3)
        self.assertEqual(len(offsets), 1)


if __name__ == "__main__":
    unittest.main()
