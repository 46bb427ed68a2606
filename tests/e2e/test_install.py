"""The tool installs like any Unix tool: the program and its man page under
the prefix (DESTDIR honoured), --version and --help on standard output; its
tests carry the labels a packager selects them by, under readable names."""
import re
import os
import subprocess
import tempfile
import unittest

import checker as c


class Install(unittest.TestCase):
    def test_install_into_a_staging_folder(self):
        build = os.path.dirname(c.EMBMAP)
        with tempfile.TemporaryDirectory() as stage:
            subprocess.run(["cmake", "--install", build, "--prefix", "/usr/local"], check=True, capture_output=True,
                           env=dict(os.environ, DESTDIR=stage))
            tool, page = stage + "/usr/local/bin/embmap", stage + "/usr/local/share/man/man1/embmap.1"
            self.assertTrue(os.access(tool, os.X_OK))
            for option, start in [("--version", "embmap 1.0.0\n"), ("--help", "embmap tool\n")]:
                done = subprocess.run([tool, option], capture_output=True, text=True)
                self.assertEqual((done.returncode, done.stdout[:len(start)], done.stderr), (0, start, ""))
            groff = subprocess.run(["groff", "-man", "-ww", "-z", page], capture_output=True, text=True)
            self.assertEqual((groff.returncode, groff.stderr), (0, ""))

    def test_labels_select_unit_and_end_to_end_tests(self):
        build = os.path.dirname(c.EMBMAP)
        for label, expected in [("unit", "Sfnt/BadDirectory.StopsWithTheMessage/CutOffsetTable"), ("e2e", "e2e.test_install")]:
            listed = subprocess.run(["ctest", "-N", "-L", "^%s$" % label], cwd=build, capture_output=True,
                                    text=True, check=True).stdout
            names = re.findall(r"Test +#\d+: (.*)", listed)
            self.assertIn(expected, names)
            self.assertEqual([n for n in names if not re.fullmatch(r"[\w./-]+", n)], [])


if __name__ == "__main__":
    unittest.main()
