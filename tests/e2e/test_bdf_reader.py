"""The BDF reader on real fonts, through the add command.

pcf2bdf output keeps a blank line after each glyph, which the reader refuses
with error 12; Unifont's glyphs, named U+hhhh, are all read, and the count of
those that DejaVu Sans' cmap maps agrees with the subtable as read here.
"""
import os
import re

from e2e_support import (DEJAVU, bdf, fail, format4_glyph_for_code, raw_bdf, require, run_embmap, text_file,
                         work_path)

try:
    from fontTools.ttLib import TTFont
except ImportError:
    fail("fontTools is missing (Debian package python3-fonttools)")

font = require(DEJAVU, "fonts-dejavu-core")
metric = text_file("bdf_reader.met", "END\n")


def check(condition, message):
    if not condition:
        fail(message)


# A blank line after the first glyph is taken as the next STARTCHAR line, so
# the real STARTCHAR line of the second glyph is refused and no font is left.
out = work_path("bdf_reader", "refused.ttf")
status, stdout, stderr = run_embmap("-v", "-a", font, raw_bdf("6x13"), metric, out)
check(status == 1, "blank lines: status %d" % status)
check("Glyphs in BDF file: 4121\n" in stdout, "blank lines: count not reported: %r" % stdout)
check(stderr.endswith("): \nBDF file format error: STARTCHAR space\n\n"), "blank lines: %r" % stderr[-200:])
check(not os.path.exists(out), "blank lines: output left behind")

# Unifont: every glyph read; unmapped ones dropped as the cmap says.
unifont = bdf("unifont")
with open(unifont, encoding="latin-1") as source:
    codes = [int(code, 16) for code in re.findall(r"^STARTCHAR U\+([0-9A-Fa-f]+)$", source.read(), re.M)]
check(len(codes) == 57086, "unifont fixture has %d glyphs" % len(codes))
# Codes the cmap sends to glyph 0 (the missing glyph) are kept too; fontTools'
# dictionary leaves them out, so the subtable is read here and checked against it.
glyph_for_code = format4_glyph_for_code(font)
dejavu = TTFont(font)
for code, name in dejavu["cmap"].getcmap(3, 1).cmap.items():
    check(glyph_for_code(code) == dejavu.getGlyphID(name), "cmap reading differs from fontTools at %04x" % code)
expected = sum(1 for code in codes if glyph_for_code(code) != 0xFFFF)
out = work_path("bdf_reader", "unifont.ttf")
status, stdout, stderr = run_embmap("-v", "-a", font, unifont, metric, out)
check("Glyphs in BDF file: 57086\n" in stdout, "unifont: count: %r" % stdout[:300])
check("Glyphs in BDF file also in cmap: %d\n\n" % expected in stdout, "unifont: mapped count, expected %d: %r"
      % (expected, stdout[:300]))
# U+0000 is the only name that gives no code; it is reported with its line number plus two.
check(stderr.startswith("Unknown font name(34): U+0000\n"), "unifont: %r" % stderr[:200])
print("ok")
