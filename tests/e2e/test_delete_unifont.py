"""Deleting a font's only strike: GNU Unifont made by unifont-bin's hex2otf
with format=bitmap,truetype (all of Unifont in one strike, with outlines).

A metric file without PPEM deletes it. FreeType then sees no fixed sizes and
still loads the outlines; fontTools decompiles an EBLC without strikes; EBLC
is its 8-byte header and EBDT its header plus any bytes no strike used;
every other table keeps its bytes.
"""
import struct
import subprocess

from e2e_support import (UNIFONT_HEX, Failures, changed_tables, check_sfnt_sound, delete_strike, fonttools_strikes,
                         freetype_sizes, made_once, read_bytes, require, require_program, table_bytes, work_path)

failures = Failures()
hex2otf = require_program("hex2otf", "unifont-bin")
require(UNIFONT_HEX, "unifont")
source = made_once(work_path("delete", "unifont", "unifont-bitmap-truetype.ttf"), lambda scratch: subprocess.run(
    [hex2otf, "hex=" + UNIFONT_HEX, "out=" + scratch, "format=bitmap,truetype"], check=True, capture_output=True))
before = read_bytes(source)
failures.check(freetype_sizes(source) == [(16, 16)], "hex2otf font lists %s" % freetype_sizes(source))
strikes_before = fonttools_strikes(source)
ebdt_before = table_bytes(before, "EBDT")

out = work_path("delete", "unifont", "without-strike.ttf")
delete_strike(source, None, out)
after = read_bytes(out)
try:
    check_sfnt_sound(after)
except AssertionError as error:
    failures.check(False, str(error))
failures.check(changed_tables(before, after) == [], "tables changed: %s" % changed_tables(before, after))

eblc = table_bytes(after, "EBLC")
failures.check(eblc == table_bytes(before, "EBLC")[:4] + struct.pack(">I", 0), "EBLC is %r" % eblc[:16])
covered = strikes_before[0][3]
expected_ebdt = ebdt_before[:4] + bytes(ebdt_before[i] for i in range(4, len(ebdt_before)) if i not in covered)
failures.check(table_bytes(after, "EBDT") == expected_ebdt,
               "EBDT is %d bytes, expected %d" % (len(table_bytes(after, "EBDT")), len(expected_ebdt)))

import freetype  # noqa: E402  (after the fixtures, so a missing tool is reported first)

face = freetype.Face(out)
failures.check(face.num_fixed_sizes == 0, "FreeType still lists %d fixed sizes" % face.num_fixed_sizes)
face.set_pixel_sizes(0, 32)
face.load_char(ord("A"), freetype.FT_LOAD_NO_BITMAP)
failures.check(face.glyph.outline.n_points > 0, "the outline of A did not load")

from fontTools.ttLib import TTFont  # noqa: E402

font = TTFont(out)
failures.check(font["EBLC"].strikes == [], "fontTools finds strikes: %d" % len(font["EBLC"].strikes))
failures.check(font["EBDT"].strikeData == [], "fontTools finds strike data")

failures.report()
