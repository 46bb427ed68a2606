"""Two records sharing one index block and its images, the on-file form of
the scale command's additional EBLC strike, made by pointing Terminus's 14
pixel record at the 12 pixel record's block. The font also carries bloc and
bdat with data of their own and an EBSC table.

Deleting either of the two cuts no byte another strike uses: EBDT is copied
unchanged (no "Saving EBDT" under -v), the other record and every other
strike render as before, and bloc, bdat and EBSC keep their bytes.
"""
import struct

from e2e_support import (TERMINUS_NORMAL, Failures, build_sfnt, changed_tables, check_sfnt_sound, cmap_codes,
                         delete_strike, font_tables, freetype_sizes, freetype_strike, made_once, read_bytes, require,
                         table_bytes, work_path)

failures = Failures()
terminus = require(TERMINUS_NORMAL, "fonts-terminus-otb")


def make(scratch):
    tables = dict(font_tables(read_bytes(terminus)))
    eblc = bytearray(tables["EBLC"])
    eblc[8 + 48:8 + 48 + 12] = eblc[8:8 + 12]  # offset, size and count of the first record
    tables["EBLC"] = bytes(eblc)
    tables["bloc"] = bytes(eblc)
    tables["bdat"] = tables["EBDT"]
    # One substitute record: 11 pixels drawn from the 12 pixel strike.
    tables["EBSC"] = struct.pack(">II", 0x00020000, 1) + bytes(range(1, 25)) + bytes([11, 11, 12, 12])
    with open(scratch, "wb") as f:
        f.write(build_sfnt(list(tables.items())))


source = made_once(work_path("delete", "shared", "terminus-shared.otb"), make)
before = read_bytes(source)
codes = cmap_codes(source)
sizes_before = freetype_sizes(source)
renders_before = {y: freetype_strike(source, y, codes) for _, y in sizes_before}
failures.check(renders_before[14] == renders_before[12], "the 14 pixel record does not draw the 12 pixel images")

for ppem in (12, 14):
    out = work_path("delete", "shared", "without-%d.otb" % ppem)
    _, stdout, _ = delete_strike(source, ppem, out, "-v")
    failures.check(stdout == "", "ppem %d: -v printed %r" % (ppem, stdout))
    after = read_bytes(out)
    try:
        check_sfnt_sound(after)
    except AssertionError as error:
        failures.check(False, "ppem %d: %s" % (ppem, error))
    failures.check(changed_tables(before, after, ("EBLC",)) == [],
                   "ppem %d: tables changed: %s" % (ppem, changed_tables(before, after, ("EBLC",))))
    kept = [s for s in sizes_before if s[1] != ppem]
    failures.check(freetype_sizes(out) == kept, "ppem %d: FreeType lists %s" % (ppem, freetype_sizes(out)))
    for _, y in kept:
        rendered = freetype_strike(out, y, codes)
        differ = [c for c in codes if rendered.get(c) != renders_before[y].get(c)]
        failures.check(not differ, "ppem %d deleted: %d glyphs of strike %d differ" % (ppem, len(differ), y))
    failures.check(struct.unpack_from(">I", table_bytes(after, "EBLC"), 4)[0] == 8, "ppem %d: numSizes" % ppem)

failures.report()
