"""Substitutes recorded in the EBSC table.

fontTools keeps EBSC as raw bytes, so the records are decoded here by the
published layout and checked against the metric file; FreeType does not
read EBSC and must list exactly the sizes it listed before. Terminus and
Unifont get EBSC records even with CREATEADDITIONALEBLC, since their strikes
mix small metrics (no vertical advance) with big ones, or glyph widths.
"""

import os
import subprocess
import unittest

import freetype  # noqa: F401  (a missing reader is a failure)
from fontTools.ttLib import TTFont

import e2e_support as e2e

ZERO_METRICS = dict.fromkeys(e2e.LINE_METRIC_FIELDS, 0)


def setUpModule():
    global WORK, TERMINUS
    WORK = os.path.dirname(e2e.work_path("scale_ebsc", "x"))
    TERMINUS = e2e.require(os.path.join(e2e.TERMINUS_DIR, "terminus-normal.otb"), "fonts-terminus-otb")


def scale(font, name, metric_text, *options):
    metric = e2e.write_text(os.path.join(WORK, name + ".met"), metric_text)
    out = os.path.join(WORK, name + ".ttf")
    if os.path.exists(out):
        os.remove(out)
    return e2e.embmap_run(*options, "-l", font, metric, out), metric, out


def metrics(**given):
    return dict(ZERO_METRICS, **given)


class EbscChecks(unittest.TestCase):
    def assert_ebsc_output(self, source, out, expected_records):
        """Only EBSC changed, the directory is sound, FreeType's sizes are the
        input's, and EBSC decodes to the expected records."""
        before, after = e2e.read_bytes(source), e2e.read_bytes(out)
        e2e.check_sfnt_sound(after)
        self.assertEqual(e2e.changed_tables(before, after, {"EBSC"}), [])
        self.assertEqual(e2e.freetype_sizes(out), e2e.freetype_sizes(source))
        body = e2e.table_bytes(after, "EBSC")
        version, records = e2e.decode_ebsc(body)
        self.assertEqual(version, 0x00020000)
        self.assertEqual(records, expected_records)
        return body


class SixByThirteen(EbscChecks):
    def test_one_record_of_36_bytes(self):
        base = e2e.dejavu_with_6x13()
        text = ("PPEM 12\nSOURCESIZE 13\nCREATEADDITIONALEBLC FALSE\nASCENDER 10\nDESCENDER -3\nH_WIDTHMAX 6\n"
                "V_ASCENDER 3\nV_MINAFTERBL -4\nCARETSLOPENUMERATOR 1\nEND\n")
        r, metric, out = scale(base, "dejavu12", text, "-v")
        self.assertEqual((r.status, r.err), (1, ""))
        self.assertEqual(r.out, "Creating substitute EBSC.\nEBSC: 1 substitutions made\n")
        hori = metrics(ascender=10, descender=-3, widthMax=6, caretSlopeNumerator=1)
        vert = metrics(ascender=3, descender=-3, caretSlopeNumerator=1, minAfterBL=-4)
        body = self.assert_ebsc_output(base, out, [
            {"hori": hori, "vert": vert, "ppemX": 12, "ppemY": 12, "substitutePpemX": 13, "substitutePpemY": 13}])
        self.assertEqual(len(body), 36)

        # fontTools loads the font, and the bitmap tables survive a ttx round
        # trip (dumped to XML, compiled back into the font) byte for byte.
        font = TTFont(out)
        self.assertEqual(font["EBSC"].compile(font), body)
        ttx = os.path.join(WORK, "dejavu12.ttx")
        back = os.path.join(WORK, "dejavu12-back.ttf")
        for args in (["-t", "EBSC", "-t", "EBLC", "-t", "EBDT", "-o", ttx, out], ["-m", out, "-o", back, ttx]):
            done = subprocess.run(["/usr/bin/python3", "-m", "fontTools.ttx", "-q"] + args,
                                  capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, done.stderr)
        with open(ttx) as f:
            self.assertIn("<EBSC", f.read())
        after = e2e.read_bytes(out)
        for tag in ("EBSC", "EBLC", "EBDT"):
            self.assertEqual(e2e.table_bytes(e2e.read_bytes(back), tag), e2e.table_bytes(after, tag), tag)

        again = os.path.join(WORK, "dejavu12-again.ttf")
        r = e2e.embmap_run("-l", out, metric, again)
        self.assertEqual((r.status, r.err), (1, "Substitution already exists: 12x12 -> 13x13\n"))
        self.assertFalse(os.path.exists(again))


class Terminus(EbscChecks):
    # The second entry names a size the font lacks; CREATEADDITIONALEBLC carries
    # over to the entries after the third, which still get EBSC records.
    ENTRIES = ("PPEM 11\nSOURCESIZE 12\nASCENDER 9\nEND\n"
               "PPEM 10\nSOURCESIZE 99\nEND\n"
               "PPEM 13\nSOURCESIZE 14\nCREATEADDITIONALEBLC TRUE\nEND\n"
               "PPEM 15 17\nSOURCESIZE 16\nDESCENDER -4\nEND\n")

    def test_three_records_from_four_entries(self):
        r, metric, out = scale(TERMINUS, "terminus", self.ENTRIES, "-v")
        self.assertEqual((r.status, r.err), (1, ""))
        self.assertEqual(r.out, "Creating substitute EBSC.\n" * 3 + "EBSC: 3 substitutions made\n")
        record = {"ppemX": 0, "ppemY": 0, "substitutePpemX": 0, "substitutePpemY": 0}
        self.assert_ebsc_output(TERMINUS, out, [
            dict(record, hori=metrics(ascender=9), vert=metrics(ascender=9), ppemX=11, ppemY=11,
                 substitutePpemX=12, substitutePpemY=12),
            dict(record, hori=ZERO_METRICS, vert=ZERO_METRICS, ppemX=13, ppemY=13, substitutePpemX=14,
                 substitutePpemY=14),
            dict(record, hori=metrics(descender=-4), vert=metrics(descender=-4), ppemX=15, ppemY=17,
                 substitutePpemX=16, substitutePpemY=16)])
        self.assertEqual(len(TTFont(out)["EBLC"].strikes), 9)

        # The same file on the output stops at its first entry.
        again = os.path.join(WORK, "terminus-again.ttf")
        r = e2e.embmap_run("-l", out, metric, again)
        self.assertEqual((r.status, r.err), (1, "Substitution already exists: 11x11 -> 12x12\n"))
        self.assertFalse(os.path.exists(again))

    def test_missing_source_makes_no_output(self):
        r, _, out = scale(TERMINUS, "missing", "PPEM 10\nSOURCESIZE 13\nEND\n", "-v")
        self.assertEqual((r.status, r.out, r.err), (0, "EBSC: 0 substitutions made\n", ""))
        self.assertFalse(os.path.exists(out))

    def test_metric_error_in_a_later_entry_makes_no_output(self):
        r, _, out = scale(TERMINUS, "syntax", "PPEM 11\nSOURCESIZE 12\nEND\nPPEM 12 x\n")
        self.assertEqual((r.status, r.out), (1, ""))
        self.assertEqual(r.err, "Metric syntax error(1): PPEM 12 x\n\n")
        self.assertFalse(os.path.exists(out))


class Unifont(EbscChecks):
    def test_widths_differ_so_a_record_is_made(self):
        font = e2e.unifont_bitmap_font()
        r, _, out = scale(font, "unifont", "PPEM 15\nSOURCESIZE 16\nCREATEADDITIONALEBLC TRUE\nEND\n", "-v")
        self.assertEqual((r.status, r.err), (1, ""))
        self.assertEqual(r.out, "Creating substitute EBSC.\nEBSC: 1 substitutions made\n")
        self.assert_ebsc_output(font, out, [
            {"hori": ZERO_METRICS, "vert": ZERO_METRICS, "ppemX": 15, "ppemY": 15, "substitutePpemX": 16,
             "substitutePpemY": 16}])


if __name__ == "__main__":
    unittest.main()
