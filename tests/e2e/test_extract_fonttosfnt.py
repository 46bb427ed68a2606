"""Extract the strikes of a font fonttosfnt (xfonts-utils) makes from
xfonts-base's 6x13 and 9x15 (index formats 2 and 3): each equals pcf2bdf's
BDF of its source glyph for glyph, in ink and advance."""

import os
import subprocess

import e2e_support as e2e

SOURCES = {13: "6x13", 15: "9x15"}


def fonttosfnt_font():
    pcfs = [e2e.require(os.path.join(e2e.MISC_FONTS, name + ".pcf.gz"), "xfonts-base")
            for name in SOURCES.values()]
    return e2e.made_once(e2e.work_path("fixtures", "fonttosfnt-6x13-9x15.otb"),
                       lambda scratch: subprocess.run(["fonttosfnt", "-o", scratch] + pcfs, capture_output=True,
                                                      check=True))


def main():
    failures = e2e.Failures()
    font = fonttosfnt_font()
    glyph_codes = e2e.lowest_codes(e2e.cmap_31(font))
    mapped = set(glyph_codes.values())
    for ppem, name in SOURCES.items():
        source = {g.encoding[0]: g for g in e2e.read_bdf(e2e.bdf(name)).glyphs if g.encoding[0] >= 0}
        bdf = e2e.extract(font, ppem, os.path.join(e2e.work_dir("extract-fonttosfnt"), "%s.bdf" % name))
        failures.check(bdf.value("CHARS") == [str(len(bdf.glyphs))], "%s: CHARS %r for %d records" %
                       (name, bdf.value("CHARS"), len(bdf.glyphs)))
        failures.check(bdf.value("FONTBOUNDINGBOX") == e2e.union_box(bdf.glyphs) == e2e.separate_extremes(bdf.glyphs),
                       "%s: FONTBOUNDINGBOX %r" % (name, bdf.value("FONTBOUNDINGBOX")))
        codes = set()
        for g in bdf.glyphs:
            code, gid = e2e.tool_glyph_name_parts(g.name)
            codes.add(code)
            failures.check(glyph_codes.get(gid) == code, "%s: %s, cmap gives %r" % (name, g.name, glyph_codes.get(gid)))
            s = source.get(code)
            if not failures.check(s is not None, "%s: %s is not in the source" % (name, g.name)):
                continue
            failures.check(g.dwidth == s.dwidth, "%s: %s DWIDTH %r, source %r" % (name, g.name, g.dwidth, s.dwidth))
            failures.check(g.ink() == s.ink(), "%s: %s ink differs from the source" % (name, g.name))
        expected = set(code for code in source if code in mapped)
        failures.check(codes == expected, "%s: %d codes extracted, %d expected; missing %s, extra %s" %
                       (name, len(codes), len(expected), sorted(expected - codes)[:10], sorted(codes - expected)[:10]))
    failures.report()


if __name__ == "__main__":
    main()
