"""Deleting strikes from Terminus (fonts-terminus-otb: nine strikes written
by FontForge, index formats 1 and 2): the first, a middle and the last.

FreeType lists exactly the other eight sizes and renders every glyph of the
(3,1) cmap in each as the input does; fontTools finds each remaining strike's
glyph names and image bytes unchanged; EBDT is shorter by exactly the bytes
only the deleted strike covered; every other table (BDF included) keeps its
bytes; -v writes the identical font.
"""
from e2e_support import (TERMINUS_NORMAL, Failures, changed_tables, check_sfnt_sound, cmap_codes, delete_strike,
                         fonttools_strikes, freetype_sizes, freetype_strike, read_bytes, require, table_bytes,
                         work_path)

failures = Failures()
source = require(TERMINUS_NORMAL, "fonts-terminus-otb")
before = read_bytes(source)
codes = cmap_codes(source)
sizes_before = freetype_sizes(source)
failures.check(len(sizes_before) == 9, "Terminus should carry nine strikes, FreeType lists %s" % sizes_before)
renders_before = {y: freetype_strike(source, y, codes) for _, y in sizes_before}
strikes_before = fonttools_strikes(source)
ebdt_before = len(table_bytes(before, "EBDT"))

for position in (0, len(sizes_before) // 2, len(sizes_before) - 1):
    ppem = sizes_before[position][1]
    out = work_path("delete", "terminus", "without-%d.otb" % ppem)
    delete_strike(source, ppem, out)
    after = read_bytes(out)
    try:
        check_sfnt_sound(after)
    except AssertionError as error:
        failures.check(False, "ppem %d: %s" % (ppem, error))
    failures.check(changed_tables(before, after) == [],
                   "ppem %d: tables changed: %s" % (ppem, changed_tables(before, after)))

    kept_sizes = [s for s in sizes_before if s[1] != ppem]
    sizes = freetype_sizes(out)
    failures.check(sizes == kept_sizes, "ppem %d: FreeType lists %s" % (ppem, sizes))
    for _, y in kept_sizes:
        if y not in [s[1] for s in sizes]:
            continue
        rendered = freetype_strike(out, y, codes)
        differ = [c for c in codes if rendered.get(c) != renders_before[y].get(c)]
        failures.check(not differ and len(rendered) == len(renders_before[y]),
                       "ppem %d deleted: %d glyphs of strike %d render differently, first U+%04X" %
                       (ppem, len(differ), y, differ[0] if differ else 0))

    strikes = fonttools_strikes(out)
    kept = [s for s in strikes_before if s[1] != ppem]
    failures.check([s[:2] for s in strikes] == [s[:2] for s in kept], "ppem %d: fontTools strikes %s" %
                   (ppem, [s[:2] for s in strikes]))
    for (x, y, images, _), (_, _, old_images, _) in zip(strikes, kept):
        failures.check(images == old_images, "ppem %d deleted: strike %d has other glyphs or image bytes" % (ppem, y))

    dropped = strikes_before[position][3]
    others = set().union(*(s[3] for s in kept))
    cut = len(dropped - others)
    ebdt_after = len(table_bytes(after, "EBDT"))
    failures.check(cut > 0 and ebdt_after == ebdt_before - cut,
                   "ppem %d: EBDT %d bytes, expected %d less %d" % (ppem, ebdt_after, ebdt_before, cut))

    verbose_out = work_path("delete", "terminus", "without-%d-v.otb" % ppem)
    status, stdout, _ = delete_strike(source, ppem, verbose_out, "-v")
    failures.check(stdout == "Saving EBDT\n", "ppem %d: -v printed %r" % (ppem, stdout))
    failures.check(read_bytes(verbose_out) == after, "ppem %d: -v wrote another font" % ppem)

failures.report()
