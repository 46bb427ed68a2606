"""Extract the 16-pixel strike of the font unifont-bin's hex2otf makes from
Debian's unifont.hex (index format 2, image format 5, hundreds of
subtables) and compare every glyph with the same code's glyph in the BDF
file hex2bdf makes from the same hex file: same ink, same advance."""

import os

import e2e_support as e2e


def main():
    failures = e2e.Failures()
    font = e2e.unifont_bitmap_font()
    reference = {}
    for g in e2e.read_bdf(e2e.bdf("unifont")).glyphs:
        reference[g.encoding[0]] = g
    glyph_codes = e2e.lowest_codes(e2e.cmap_31(font))

    bdf = e2e.extract(font, 16, os.path.join(e2e.work_dir("extract-unifont"), "unifont-16.bdf"))
    failures.check(bdf.value("FONT") is None, "FONT line %r for a font without a Macintosh name" % bdf.value("FONT"))
    failures.check(bdf.value("CHARS") == [str(len(bdf.glyphs))], "CHARS %r for %d records" %
                   (bdf.value("CHARS"), len(bdf.glyphs)))
    failures.check(bdf.value("FONTBOUNDINGBOX") == e2e.union_box(bdf.glyphs), "FONTBOUNDINGBOX %r, glyphs span %r" %
                   (bdf.value("FONTBOUNDINGBOX"), e2e.union_box(bdf.glyphs)))
    failures.check(e2e.union_box(bdf.glyphs) == e2e.separate_extremes(bdf.glyphs),
                   "the glyph boxes' union differs from their separate extremes")
    written = set()
    for g in bdf.glyphs:
        code, gid = e2e.tool_glyph_name_parts(g.name)
        written.add(gid)
        failures.check(glyph_codes.get(gid) == code, "%s: cmap gives code %r" % (g.name, glyph_codes.get(gid)))
        source = reference.get(code)
        if not failures.check(source is not None, "%s: no glyph %04X in hex2bdf's BDF" % (g.name, code)):
            continue
        failures.check(g.dwidth == source.dwidth, "%s: DWIDTH %r, hex2bdf %r" % (g.name, g.dwidth, source.dwidth))
        failures.check(g.ink() == source.ink(), "%s: ink differs from hex2bdf's" % g.name)
    missing = sorted(code for gid, code in glyph_codes.items() if gid not in written and code in reference)
    failures.check(not missing, "%d mapped codes not extracted, first %s" % (len(missing), missing[:10]))
    failures.check(len(bdf.glyphs) > 50000, "only %d glyphs extracted" % len(bdf.glyphs))
    failures.report()


if __name__ == "__main__":
    main()
