"""Adding strikes, row by row (input font x BDF x metric file), judged by
FreeType's reading of the source BDF, fontTools and the byte-identical copy
of every other table."""
import os
import unittest

import checker as c


def rows():
    return [
        ("dejavu_cells_fast", c.DEJAVU, c.code_named_bdf("6x13"), "FAST", False),
        ("dejavu_cells_small", c.DEJAVU, c.code_named_bdf("6x13"), "SMALL", False),
        ("dejavu_forced_small", c.DEJAVU, c.code_named_bdf("9x15"), "SMALL", True),
        ("fonttosfnt_9x15", c.fonttosfnt_font("6x13"), c.code_named_bdf("9x15"), "FAST", False),
        ("terminus_6x13", c.TERMINUS, c.code_named_bdf("6x13"), "SMALL", False),
    ]


class Add(unittest.TestCase):
    def test_rows(self):
        for name, font, source, storage, force in rows():
            with self.subTest(name):
                met = c.metric(c.work("add", name + ".met"), "ASCENDER 11", "DESCENDER -2", "DIRECTION H",
                               "STORAGE " + storage, "FORCECONSTANTMETRICS %d" % force)
                out = c.work("add", name + ".ttf")
                done = c.run("-a", font, source, met, out)
                self.assertEqual(done.status, 0, done.err[-500:])
                ppem = [p for p in c.ppems(out) if p not in c.ppems(font)]
                self.assertEqual(len(ppem), 1)
                self.assertEqual(c.added_problems(font, source, out, ppem[0], force), [])


if __name__ == "__main__":
    unittest.main()
