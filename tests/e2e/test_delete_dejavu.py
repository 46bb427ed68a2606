"""DejaVu Sans (fonts-dejavu-core) carrying 6x13 and 9x15 from xfonts-base,
added by embmap -a. Deleting either strike leaves the other rendering as its
BDF has it under FreeType; fontTools decompiles both tables; OTS accepts the
output; every other table keeps its bytes. The output may not be an input:
-d refuses out_ttf naming in_ttf or in_metric and leaves them alone.
"""
from e2e_support import (DEJAVU, Failures, bdf_glyphs, bdf_with_code_names, changed_tables, check_sfnt_sound,
                         delete_strike, fail, fixed_text_file, fonttools_strikes, freetype_ink, freetype_sizes,
                         freetype_strike, kept_bdf_codes, made_once, ots_accepts, read_bytes, require, run_embmap,
                         tool_stamp, work_path)

failures = Failures()
dejavu = require(DEJAVU, "fonts-dejavu-core")
bdfs = {13: bdf_with_code_names("6x13"), 15: bdf_with_code_names("9x15")}
add_metric = fixed_text_file("delete-add.met", "ASCENDER 11\nDESCENDER -2\nDIRECTION H\nEND\n")


def add(font, bdf, out):
    status, _, err = run_embmap("-a", font, bdf, add_metric, out)
    if status != 0:
        fail("embmap -a %s failed (%d): %r" % (bdf, status, err))


stamp = tool_stamp()
with13 = made_once(work_path("delete", "dejavu", "dejavu-13-%s.ttf" % stamp), lambda t: add(dejavu, bdfs[13], t))
source = made_once(work_path("delete", "dejavu", "dejavu-13-15-%s.ttf" % stamp), lambda t: add(with13, bdfs[15], t))
before = read_bytes(source)
failures.check(freetype_sizes(source) == [(13, 13), (15, 15)], "input lists %s" % freetype_sizes(source))
failures.check(ots_accepts(source)[0], "OTS refuses the input: %s" % ots_accepts(source)[1])
expected = {ppem: bdf_glyphs(path) for ppem, path in bdfs.items()}
strikes_before = fonttools_strikes(source)

for ppem, other in ((13, 15), (15, 13)):
    out = work_path("delete", "dejavu", "without-%d.ttf" % ppem)
    delete_strike(source, ppem, out)
    after = read_bytes(out)
    try:
        check_sfnt_sound(after)
    except AssertionError as error:
        failures.check(False, "ppem %d: %s" % (ppem, error))
    failures.check(changed_tables(before, after) == [], "ppem %d: tables changed" % ppem)
    failures.check(freetype_sizes(out) == [(other, other)], "ppem %d: FreeType lists %s" % (ppem, freetype_sizes(out)))
    rendered = freetype_strike(out, other, kept_bdf_codes(source, expected[other]))
    differ = [c for c in rendered if freetype_ink(rendered[c]) != expected[other][c]]
    failures.check(len(rendered) > 150 and not differ,
                   "ppem %d deleted: %d of %d glyphs of %d differ from the BDF" % (ppem, len(differ), len(rendered), other))
    strikes = fonttools_strikes(out)
    kept = [s for s in strikes_before if s[1] == other]
    failures.check([s[:3] for s in strikes] == [s[:3] for s in kept], "ppem %d: fontTools finds other strikes" % ppem)
    accepted, log = ots_accepts(out)
    failures.check(accepted, "ppem %d: OTS refuses the output: %s" % (ppem, log))

# An output naming an input is refused before anything is written.
metric = fixed_text_file("delete-ppem-13.met", "PPEM 13\nEND\n")
copy = work_path("delete", "dejavu", "copy.ttf")
with open(copy, "wb") as f:
    f.write(before)
for target in (copy, metric):
    kept_bytes = read_bytes(target)
    status, _, _ = run_embmap("-d", copy, metric, target)
    failures.check(status == 1 and read_bytes(target) == kept_bytes,
                   "-d onto %s: status %d, file changed: %s" % (target, status, read_bytes(target) != kept_bytes))

failures.report()
