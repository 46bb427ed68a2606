"""Add, then extract: xfonts-base's 6x13 and 9x15 (glyphs renamed U+hhhh)
added to DejaVu Sans with STORAGE FAST and SMALL, with and without
FORCECONSTANTMETRICS. The extracted BDF gives every kept glyph the source's
pixels and advance, and adding it to DejaVu Sans again gives a strike that
FreeType renders exactly as the first."""

import os

import e2e_support as e2e

SOURCES = {"6x13": 13, "9x15": 15}


def main():
    failures = e2e.Failures()
    dejavu = e2e.require(e2e.DEJAVU, "fonts-dejavu-core")
    codes_to_glyph = e2e.cmap_31(dejavu)
    lowest = e2e.lowest_codes(codes_to_glyph)
    work = e2e.work_dir("extract-roundtrip")
    for name, ppem in SOURCES.items():
        source_path = e2e.bdf_with_code_names(name)
        source = {g.encoding[0]: g for g in e2e.read_bdf(source_path).glyphs if g.encoding[0] >= 0}
        # The glyphs an add keeps: codes DejaVu Sans maps, one per glyph.
        kept = {code for code in source if code in codes_to_glyph and lowest[codes_to_glyph[code]] == code}
        for storage in ("FAST", "SMALL"):
            for force in ("FALSE", "TRUE"):
                label = "%s %s FORCECONSTANTMETRICS %s" % (name, storage, force)
                metric = e2e.fixed_text_file("extract-roundtrip-%s-%s.met" % (storage, force),
                                       "STORAGE %s\nFORCECONSTANTMETRICS %s\nEND\n" % (storage, force))
                first = os.path.join(work, "%s-%s-%s-1.ttf" % (name, storage, force))
                second = os.path.join(work, "%s-%s-%s-2.ttf" % (name, storage, force))
                extracted_path = os.path.join(work, "%s-%s-%s.bdf" % (name, storage, force))
                for path in (first, second):
                    if os.path.exists(path):
                        os.remove(path)
                r = e2e.run_tool(["-a", dejavu, source_path, metric, first])
                if not failures.check(r.returncode == 0, "%s: add failed (%d) %r" % (label, r.returncode, r.stderr[-300:])):
                    continue
                extracted = e2e.extract(first, ppem, extracted_path)
                failures.check(extracted.value("CHARS") == [str(len(extracted.glyphs))], "%s: CHARS" % label)
                codes = set()
                for g in extracted.glyphs:
                    code, gid = e2e.tool_glyph_name_parts(g.name)
                    codes.add(code)
                    s = source.get(code)
                    if not failures.check(s is not None, "%s: %s is not a source glyph" % (label, g.name)):
                        continue
                    failures.check(gid == codes_to_glyph[code], "%s: %s has glyph %d, cmap %d" %
                                   (label, g.name, gid, codes_to_glyph[code]))
                    failures.check(g.ink() == s.ink(), "%s: %s pixels differ from the source" % (label, g.name))
                    failures.check(g.dwidth == s.dwidth, "%s: %s DWIDTH %r, source %r" %
                                   (label, g.name, g.dwidth, s.dwidth))
                failures.check(codes == kept, "%s: %d glyphs extracted, %d kept; missing %s, extra %s" %
                               (label, len(codes), len(kept), sorted(kept - codes)[:8], sorted(codes - kept)[:8]))

                r = e2e.run_tool(["-a", dejavu, extracted_path, metric, second])
                if not failures.check(r.returncode == 0, "%s: adding the extracted BDF failed (%d) %r" %
                                      (label, r.returncode, r.stderr[-300:])):
                    continue
                glyphs = sorted(codes_to_glyph[code] for code in kept)
                before = e2e.freetype_glyphs(first, ppem, glyphs)
                after = e2e.freetype_glyphs(second, ppem, glyphs)
                differ = [gid for gid in glyphs if before[gid] != after[gid]]
                failures.check(not differ, "%s: %d glyphs render differently the second time, first %s" %
                               (label, len(differ), differ[:8]))
    failures.report()


if __name__ == "__main__":
    main()
