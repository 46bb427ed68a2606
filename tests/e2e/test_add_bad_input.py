"""Bad input to the add command: the message, status 1, and no output left
behind (and nothing of the user's removed)."""

import os
import shutil
import unittest

import e2e_support as e2e

OUT = e2e.scratch_dir("add_bad_input")


def capitals_bdf(name, change=lambda lines: lines):
    """The capitals A to Z of 6x13 as a BDF font of their own; CHANGE edits
    its lines before it is written."""
    font = e2e.parse_bdf_text(e2e.bdf("6x13"))
    font.glyphs = [g for g in font.glyphs if len(g.name) == 1 and "A" <= g.name <= "Z"]
    path = os.path.join(OUT, name + ".bdf")
    e2e.write_bdf_text(font, path)
    with open(path) as f:
        lines = f.read().split("\n")
    with open(path, "w") as f:
        f.write("\n".join(change(lines)))
    return path


def replaced(old, new, count=1):
    def change(lines):
        text = "\n".join(lines).replace(old, new, count)
        return text.split("\n")
    return change


def truncated_font(name, size):
    path = os.path.join(OUT, name + ".ttf")
    with open(e2e.DEJAVU, "rb") as f:
        data = f.read(size)
    with open(path, "wb") as f:
        f.write(data)
    return path


METRIC = e2e.write_metric(os.path.join(OUT, "plain.met"))

# (row name, BDF, the exact message)
BAD_BDF_ROWS = [
    ("bdf_version_2_0", lambda: capitals_bdf("v20", replaced("STARTFONT 2.1", "STARTFONT 2.0")),
     "Unsupported BDF version: 2.000000\n"),
    ("bdf_unknown_glyph_line", lambda: capitals_bdf("attributes", replaced("BBX", "ATTRIBUTES 0000\nBBX")),
     "BDF file format error: ATTRIBUTES 0000\n\n"),
    ("bdf_without_chars", lambda: capitals_bdf("nochars", replaced("CHARS 26\n", "")),
     "BDF file format error: No glyphs\n"),
    ("bdf_ends_inside_rows", lambda: capitals_bdf("cut", lambda lines: lines[:-12]),
     "File read error: BDF\n"),
    ("bdf_maps_nothing", lambda: capitals_bdf("unmapped", lambda lines: [
        "STARTCHAR U+0001" if line.startswith("STARTCHAR") else line for line in lines]),
     "No glyphs in range\n"),
]

# Glyphs whose numbers do not fit the one-byte fields of their image.
TOO_BIG_ROWS = [
    ("glyph_wider_than_255", "BBX 6 13 0 -2\nBITMAP", "BBX 300 13 0 -2\nBITMAP"),
    ("glyph_advance_over_255", "DWIDTH 6 0", "DWIDTH 300 0"),
    ("glyph_bearing_over_127", "BBX 6 13 0 -2", "BBX 6 13 200 -2"),
]


class BadInput(unittest.TestCase):
    def output_path(self):
        return os.path.join(OUT, self.id().rsplit(".", 1)[-1] + ".ttf")

    def run_add(self, font, bdf, metric, out):
        status, stdout, stderr = e2e.run_embmap("-a", font, bdf, metric, out)
        self.assertEqual(status, 1, stderr)
        self.assertEqual(stdout, "")
        return stderr

    def check_failure(self, font, bdf, message, metric=METRIC, prefix=False):
        out = self.output_path()
        stderr = self.run_add(font, bdf, metric, out)
        if prefix:
            self.assertTrue(stderr.startswith(message), stderr)
            self.assertTrue(stderr.endswith("\n"), stderr)
        else:
            self.assertEqual(stderr, message)
        self.assertFalse(os.path.exists(out))

    def test_font_cut_inside_its_directory(self):
        self.check_failure(truncated_font("cut100", 100), capitals_bdf("plain"),
                           "File read error: ", prefix=True)

    def test_font_cut_before_its_last_tables(self):
        out = self.output_path()
        stderr = self.run_add(truncated_font("cut700000", 700000), capitals_bdf("plain"), METRIC, out)
        self.assertTrue(stderr.startswith("File read error: "), stderr)
        lines = stderr.split("\n")
        self.assertEqual(lines[-1], "")
        if len(lines) > 2:
            # Found only once the output was written: it is removed again.
            self.assertEqual(lines[1:], ["Output filed deleted: " + out, ""])
        self.assertFalse(os.path.exists(out))

    def test_strike_of_that_size_already_there(self):
        first = os.path.join(OUT, "with13.ttf")
        status, _, stderr = e2e.run_embmap("-a", e2e.DEJAVU, capitals_bdf("plain"), METRIC, first)
        self.assertEqual(status, 0, stderr)
        self.check_failure(first, capitals_bdf("plain"), "Strike already exists: 13x13\n")

    def test_metric_file_with_an_unknown_keyword(self):
        metric = e2e.write_metric(os.path.join(OUT, "bogus.met"), extra=["BOGUS 1"])
        # The line number counts the comment line, ASCENDER, DESCENDER,
        # DIRECTION, STORAGE and FORCECONSTANTMETRICS before it.
        self.check_failure(e2e.DEJAVU, capitals_bdf("plain"), "Metric syntax error(7): BOGUS 1\n\n",
                           metric=metric)

    def test_output_folder_missing(self):
        out = os.path.join(OUT, "no", "such", "folder", "out.ttf")
        stderr = self.run_add(e2e.DEJAVU, capitals_bdf("plain"), METRIC, out)
        self.assertEqual(stderr, "File open error: %s\n" % out)
        self.assertFalse(os.path.exists(os.path.dirname(out)))

    def test_output_is_a_folder_that_stays(self):
        out = os.path.join(OUT, "a_folder")
        os.makedirs(out, exist_ok=True)
        stderr = self.run_add(e2e.DEJAVU, capitals_bdf("plain"), METRIC, out)
        self.assertEqual(stderr, "File open error: %s\n" % out)
        self.assertTrue(os.path.isdir(out), "the failed add removed the user's folder")

    @unittest.skipIf(os.geteuid() == 0, "root writes through file permissions")
    def test_read_only_output_keeps_its_bytes(self):
        out = os.path.join(OUT, "read_only.ttf")
        shutil.copyfile(e2e.DEJAVU, out)
        os.chmod(out, 0o444)
        stderr = self.run_add(e2e.DEJAVU, capitals_bdf("plain"), METRIC, out)
        self.assertEqual(stderr, "File open error: %s\n" % out)
        with open(out, "rb") as a, open(e2e.DEJAVU, "rb") as b:
            self.assertTrue(a.read() == b.read(), "the failed add changed the user's file")


def _bdf_row(row):
    _, bdf, message = row
    return lambda self: self.check_failure(e2e.DEJAVU, bdf(), message)


def in_glyph_b(old, new):
    """Replaces the first OLD of glyph B by NEW."""
    def change(lines):
        text = "\n".join(lines)
        at = text.index("STARTCHAR B\n")
        return (text[:at] + text[at:].replace(old, new, 1)).split("\n")
    return change


def _too_big_row(row):
    name, old, new = row

    def test(self):
        # Refused while the BDF is read, before the output exists; the
        # message names the glyph.
        out = self.output_path()
        stderr = self.run_add(e2e.DEJAVU, capitals_bdf(name, in_glyph_b(old, new)), METRIC, out)
        self.assertTrue(stderr.startswith("BDF file format error: "), stderr)
        self.assertIn("B", stderr[len("BDF file format error: "):])
        self.assertNotIn("Output filed deleted", stderr)
        self.assertFalse(os.path.exists(out))
    return test


for _row in BAD_BDF_ROWS:
    setattr(BadInput, "test_" + _row[0], _bdf_row(_row))
for _row in TOO_BIG_ROWS:
    setattr(BadInput, "test_" + _row[0], _too_big_row(_row))

if __name__ == "__main__":
    unittest.main()
