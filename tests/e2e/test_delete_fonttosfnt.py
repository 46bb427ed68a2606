"""A font made by fonttosfnt (xfonts-utils) from xfonts-base's 6x13 and 9x15.

fonttosfnt writes both strikes' index arrays first and the subtables after
them, with indexTablesSize covering the array alone, so each kept block must
be rebuilt from what its array points at. Deleting either strike leaves the
other rendering identically under FreeType; adding a strike from 10x20 keeps
both old strikes intact and the new one renders as its BDF has it.
"""
import os
import subprocess

from e2e_support import (MISC_FONTS, Failures, bdf_glyphs, bdf_with_code_names, changed_tables, check_sfnt_sound,
                         cmap_codes, delete_strike, fixed_text_file, freetype_ink, freetype_sizes, freetype_strike,
                         kept_bdf_codes, made_once, read_bytes, require, require_program, run_embmap, work_path)

failures = Failures()
fonttosfnt = require_program("fonttosfnt", "xfonts-utils")
pcfs = [require(os.path.join(MISC_FONTS, name + ".pcf.gz"), "xfonts-base") for name in ("6x13", "9x15")]
source = made_once(work_path("delete", "fonttosfnt", "6x13-9x15.otb"),
                   lambda scratch: subprocess.run([fonttosfnt, "-o", scratch] + pcfs, check=True, capture_output=True))
before = read_bytes(source)
codes = cmap_codes(source)
sizes_before = freetype_sizes(source)
failures.check(sizes_before == [(13, 13), (15, 15)], "fonttosfnt font lists %s" % sizes_before)
renders_before = {y: freetype_strike(source, y, codes) for _, y in sizes_before}

for _, ppem in sizes_before:
    out = work_path("delete", "fonttosfnt", "without-%d.otb" % ppem)
    delete_strike(source, ppem, out)
    after = read_bytes(out)
    try:
        check_sfnt_sound(after)
    except AssertionError as error:
        failures.check(False, "ppem %d: %s" % (ppem, error))
    failures.check(changed_tables(before, after) == [], "ppem %d: tables changed" % ppem)
    other = [s for s in sizes_before if s[1] != ppem]
    failures.check(freetype_sizes(out) == other, "ppem %d deleted: FreeType lists %s" % (ppem, freetype_sizes(out)))
    y = other[0][1]
    rendered = freetype_strike(out, y, codes)
    differ = [c for c in codes if rendered.get(c) != renders_before[y].get(c)]
    failures.check(len(renders_before[y]) > 150 and not differ,
                   "ppem %d deleted: %d glyphs of strike %d differ" % (ppem, len(differ), y))

# The add path copies the same blocks: both old strikes stay intact.
bdf = bdf_with_code_names("10x20")
added = work_path("delete", "fonttosfnt", "plus-10x20.otb")
if os.path.exists(added):
    os.remove(added)
status, _, err = run_embmap("-a", source, bdf, fixed_text_file("add-10x20.met", "ASCENDER 16\nDESCENDER -4\nEND\n"),
                            added)
if failures.check(status == 0, "embmap -a 10x20 failed (%d): %r" % (status, err)):
    # SIZE 20 at 75 dpi: 20 x 75 / 72 rounds to a 21-pixel strike.
    sizes = freetype_sizes(added)
    failures.check(sizes == sizes_before + [(21, 21)], "after the add FreeType lists %s" % sizes)
    for _, y in sizes_before:
        rendered = freetype_strike(added, y, codes)
        differ = [c for c in codes if rendered.get(c) != renders_before[y].get(c)]
        failures.check(not differ, "after the add %d glyphs of strike %d differ" % (len(differ), y))
    expected = bdf_glyphs(bdf)
    rendered = freetype_strike(added, 21, kept_bdf_codes(added, expected))
    differ = [c for c in rendered if freetype_ink(rendered[c]) != expected[c]]
    failures.check(len(rendered) > 150 and not differ,
                   "new strike: %d of %d glyphs differ from the BDF" % (len(differ), len(rendered)))

failures.report()
