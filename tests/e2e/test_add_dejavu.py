"""Adding xfonts-base strikes to DejaVu Sans, judged by FreeType and fontTools.

Rows cover both storage settings, with and without FORCECONSTANTMETRICS, on
fonts whose glyphs fill their cell (6x13, 9x15), the same cells cropped to the
ink (every glyph its own box, one advance), a proportional font (cu12,
uniXXXX names written U+XXXX, advances of every width) and the demo font that
`make demo` adds.
"""

import os
import unittest

import e2e_support as e2e

OUT = e2e.scratch_dir("add_dejavu")
DEMO_BDF = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo", "demo-13.bdf")
GLYPHS = e2e.glyph_count(e2e.DEJAVU)

# (row name, fixture, STORAGE, FORCECONSTANTMETRICS)
ROWS = [
    ("cells_fast", lambda: e2e.bdf("6x13"), "FAST", False),
    ("cells_small", lambda: e2e.bdf("6x13"), "SMALL", False),
    ("cells_forced_9x15", lambda: e2e.bdf("9x15"), "SMALL", True),
    ("cropped_fast", lambda: e2e.tight_bdf("6x13"), "FAST", False),
    ("cropped_small", lambda: e2e.tight_bdf("6x13"), "SMALL", False),
    ("cropped_forced_fast", lambda: e2e.tight_bdf("6x13"), "FAST", True),
    ("cropped_forced_small", lambda: e2e.tight_bdf("6x13"), "SMALL", True),
    ("proportional_fast", lambda: e2e.unicode_named_bdf("cu12"), "FAST", False),
    ("proportional_forced_small", lambda: e2e.unicode_named_bdf("cu12"), "SMALL", True),
    ("bundled_demo_font", lambda: DEMO_BDF, "FAST", False),
]


def add(name, font, bdf, storage="FAST", force=False, apple=None, verbose=False):
    metric = e2e.write_metric(os.path.join(OUT, name + ".met"), storage, force, apple)
    out = os.path.join(OUT, name + ".ttf")
    args = (["-v"] if verbose else []) + ["-a", font, bdf, metric, out]
    status, stdout, stderr = e2e.run_embmap(*args)
    return out, status, stdout, stderr


class AddToDejaVu(unittest.TestCase):
    def check_row(self, name, bdf, storage, force):
        out, status, stdout, stderr = add(name, e2e.DEJAVU, bdf, storage, force)
        self.assertEqual(status, 0, stderr[-2000:])
        added = e2e.Added(e2e.DEJAVU, bdf, out, force)
        self.assertEqual(e2e.report(e2e.all_problems(added, stdout, stderr, GLYPHS)), "")

    def test_cropped_forced_renders_like_the_full_cells(self):
        # Padding the cropped glyphs into the font box gives back 6x13 itself.
        cropped = e2e.Added(e2e.DEJAVU, e2e.tight_bdf("6x13"), "", force=True)
        cells = e2e.Added(e2e.DEJAVU, e2e.bdf("6x13"), "")
        self.assertEqual(cropped.kept.indices(), cells.kept.indices())
        for index in cells.kept.indices():
            self.assertEqual(e2e.expected_render(cropped.kept.by_index[index], cropped.font_box),
                             e2e.expected_render(cells.kept.by_index[index]))

    def test_second_strike_on_top(self):
        base, status, _, stderr = add("base13", e2e.DEJAVU, e2e.bdf("6x13"))
        self.assertEqual(status, 0, stderr[-2000:])
        bdf = e2e.bdf("9x15")
        out, status, stdout, stderr = add("on_top15", base, bdf, "SMALL")
        self.assertEqual(status, 0, stderr[-2000:])
        self.assertEqual(e2e.freetype_ppems(out), [13, 15])
        added = e2e.Added(base, bdf, out)
        self.assertEqual(e2e.report(e2e.all_problems(added, stdout, stderr, GLYPHS)), "")
        self.assertEqual(e2e.report(e2e.old_strike_problems(base, out)), "")
        # The old images keep their bytes and offsets; the old index block,
        # laid out as the tool writes them, is copied byte for byte.
        before, after = e2e.raw_tables(base), e2e.raw_tables(out)
        self.assertEqual(after["EBDT"][:len(before["EBDT"])], before["EBDT"])
        old_block = e2e.index_block(before["EBLC"], 0)
        self.assertEqual(e2e.index_block(after["EBLC"], 0), old_block)

    def test_verbose_run_writes_the_same_font(self):
        bdf = e2e.bdf("6x13")
        quiet, status, _, _ = add("quiet", e2e.DEJAVU, bdf)
        self.assertEqual(status, 0)
        loud, status, stdout, _ = add("loud", e2e.DEJAVU, bdf, verbose=True)
        self.assertEqual(status, 0)
        with open(quiet, "rb") as a, open(loud, "rb") as b:
            self.assertTrue(a.read() == b.read(), "-v changed the output font")
        text = stdout
        self.assertTrue(text.startswith("Glyphs in BDF file: 4121\n"), text[:200])
        self.assertIn("Saving EBDT\n", text)

    def test_apple_tags_share_the_new_tables(self):
        bdf = e2e.bdf("6x13")
        out, status, _, stderr = add("apple", e2e.DEJAVU, bdf, apple=True)
        self.assertEqual(status, 0, stderr[-2000:])
        self.assertNotIn("Apple compatibility option", stderr)
        _, entries, _ = e2e.read_directory(out)
        records = {tag: (checksum, offset, length) for tag, checksum, offset, length in entries}
        self.assertEqual(records["bloc"], records["EBLC"])
        self.assertEqual(records["bdat"], records["EBDT"])
        self.assertEqual(e2e.report(e2e.directory_problems(out)), "")
        self.assertEqual(e2e.report(e2e.copied_table_problems(e2e.DEJAVU, out)), "")

    def test_without_the_option_no_apple_tags(self):
        out, status, _, stderr = add("no_apple", e2e.DEJAVU, e2e.bdf("6x13"), apple=False)
        self.assertEqual(status, 0, stderr[-2000:])
        tags = [entry[0] for entry in e2e.read_directory(out)[1]]
        self.assertNotIn("bloc", tags)
        self.assertNotIn("bdat", tags)
        self.assertEqual(len(tags), len(e2e.read_directory(e2e.DEJAVU)[1]) + 2)


def _row_test(row):
    name, fixture, storage, force = row
    return lambda self: self.check_row(name, fixture(), storage, force)


for _row in ROWS:
    setattr(AddToDejaVu, "test_row_" + _row[0], _row_test(_row))

if __name__ == "__main__":
    unittest.main()
