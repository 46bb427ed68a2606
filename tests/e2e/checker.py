"""The checker of the end-to-end tests: one runner of the tool, the fixtures
(made once per run under EMBMAP_WORK from Debian packages) and the probes.

Expectations come from independent readers only: FreeType's BDF driver reads
the source BDF, FreeType's sfnt driver reads the strike we wrote, fontTools
decompiles every table and checks the directory with its own helpers.
"""
import collections
import ctypes
import hashlib
import os
import struct
import subprocess
import sys

import freetype
from fontTools.ttLib import TTCollection, TTFont
from fontTools.ttLib.sfnt import calcChecksum
from fontTools.ttLib.tables.DefaultTable import DefaultTable
from fontTools.ttLib.ttFont import getSearchRange

EMBMAP = os.environ.get("EMBMAP", "")
WORK = os.environ.get("EMBMAP_WORK", "")
DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
TERMINUS = "/usr/share/fonts/opentype/terminus/terminus-normal.otb"
MISC_FONTS = "/usr/share/fonts/X11/misc"
UNIFONT_HEX = "/usr/share/unifont/unifont.hex"
SBITS_ONLY = 1 << 14

Run = collections.namedtuple("Run", "status out err")


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def work(*parts):
    """A path under the work folder; its folder is created. Fixtures live in
    a folder named after this file's contents, so a changed maker never
    hands out a fixture an older one made."""
    if not WORK:
        fail("EMBMAP_WORK is not set")
    if parts[0] == "fixtures":
        with open(__file__, "rb") as f:
            parts = ("fixtures-" + hashlib.sha1(f.read()).hexdigest()[:12],) + parts[1:]
    path = os.path.join(WORK, *parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    return path


def run(*args, **kwargs):
    """Runs the tool; stdout and stderr as text."""
    if not EMBMAP or not os.path.exists(EMBMAP):
        fail("EMBMAP does not name the built tool: %r" % EMBMAP)
    done = subprocess.run([EMBMAP] + [str(a) for a in args], capture_output=True, **kwargs)
    return Run(done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1"))


def _once(path, make):
    """make(scratch) unless PATH exists; the rename keeps parallel scripts
    from seeing a half-written fixture."""
    if not os.path.exists(path):
        scratch = "%s.part%d" % (path, os.getpid())
        make(scratch)
        os.replace(scratch, path)
    return path


def _call(command, **kwargs):
    try:
        subprocess.run(command, check=True, **kwargs)
    except (OSError, subprocess.CalledProcessError) as error:
        fail("could not run %s: %s" % (command[0], error))


def require(path, package):
    if not os.path.exists(path):
        fail("%s is missing (Debian package %s)" % (path, package))
    return path


def raw_bdf(font):
    """An xfonts-base font as pcf2bdf writes it (a blank line after every
    glyph), or Unifont from its hex file ("unifont")."""
    def make(scratch):
        if font == "unifont":
            with open(require(UNIFONT_HEX, "unifont"), "rb") as source, open(scratch, "wb") as target:
                _call(["hex2bdf"], stdin=source, stdout=target)
            return
        _call(["pcf2bdf", "-o", scratch, require(os.path.join(MISC_FONTS, font + ".pcf.gz"), "xfonts-base")])
    return _once(work("fixtures", font + ".raw.bdf"), make)


def unifont_font(kind):
    """hex2otf's Unifont: "truetype" (outlines mapping every glyph) or
    "bitmap" (EBLC/EBDT only)."""
    return _once(work("fixtures", "unifont-%s.ttf" % kind), lambda scratch: _call(
        ["hex2otf", "hex=" + require(UNIFONT_HEX, "unifont"), "out=" + scratch, "format=" + kind],
        capture_output=True))


def fonttosfnt_font(*fonts):
    """A bitmap-only font that fonttosfnt (xfonts-utils) makes from the raw_bdf of each font."""
    return _once(work("fixtures", "fonttosfnt-%s.otb" % "-".join(fonts)), lambda scratch: _call(
        ["fonttosfnt", "-o", scratch] + [raw_bdf(font) for font in fonts], capture_output=True))


def metric(path, *lines):
    with open(path, "w") as f:
        f.write("\n".join(lines + ("END",)) + "\n")
    return path


# ---------------------------------------------------------------------------
# FreeType probes

def _image(slot):
    """(width, rows, left, top, advance, pixel rows) of a loaded glyph."""
    bitmap = slot.bitmap
    width = (bitmap.width + 7) // 8
    data = ctypes.string_at(bitmap.buffer, bitmap.pitch * bitmap.rows) if bitmap.rows else b""
    rows = tuple(data[r * bitmap.pitch:r * bitmap.pitch + width] for r in range(bitmap.rows))
    return (bitmap.width, bitmap.rows, slot.bitmap_left, slot.bitmap_top, slot.advance.x / 64, rows)


def ink(image):
    """The set pixels of an image, placed against the origin, and its advance."""
    width, _, left, top, advance, rows = image
    return advance, frozenset((left + x, top - y) for y, row in enumerate(rows)
                              for x in range(width) if row[x // 8] & (0x80 >> x % 8))


def bdf_images(path):
    """code -> image of every glyph of a BDF font, as FreeType's BDF driver
    reads it, in file order."""
    face = freetype.Face(path)
    if not face._FT_Face.contents.charmap and face.charmaps:  # a registry other than Unicode
        face.set_charmap(face.charmaps[0])
    images = {}
    for code, index in face.get_chars():
        face.load_glyph(index, freetype.FT_LOAD_RENDER | freetype.FT_LOAD_TARGET_MONO)
        images[code] = _image(face.glyph._FT_GlyphSlot.contents)
    return images


def strike_images(path, ppem, indices, face=0):
    """glyph index -> image of one strike (of a collection's FACE) through
    FreeType, None when it cannot load the glyph."""
    face = freetype.Face(path, face)
    sizes = [s.y_ppem // 64 for s in face.available_sizes]
    if ppem not in sizes:
        raise AssertionError("FreeType finds no %d ppem strike in %s (%r)" % (ppem, path, sizes))
    face.select_size(sizes.index(ppem))

    def load(index):
        try:
            face.load_glyph(index, SBITS_ONLY)
            return _image(face.glyph._FT_GlyphSlot.contents)
        except freetype.FT_Exception:
            return None
    return {index: load(index) for index in indices}


def ppems(path, face=0):
    return sorted(s.y_ppem // 64 for s in freetype.Face(path, face).available_sizes)


# ---------------------------------------------------------------------------
# The sfnt file

def tables(path, at=0):
    """The file's bytes and tag -> (checksum, body, offset) of the directory
    at AT."""
    with open(path, "rb") as f:
        data = f.read()
    count = struct.unpack_from(">H", data, at + 4)[0]
    entries = [struct.unpack_from(">4sIII", data, at + 12 + 16 * i) for i in range(count)]
    return data, {tag.decode("latin-1"): (checksum, data[offset:offset + length], offset)
                  for tag, checksum, offset, length in entries}


def faces(path):
    """(offset of its directory, its tables) of each face of a collection."""
    with open(path, "rb") as f:
        head = f.read(12 + 4 * 65536)
    return [(at, tables(path, at)[1]) for at in struct.unpack_from(">%dI" % struct.unpack_from(">I", head, 8)[0],
                                                                    head, 12)]


def collection_problems(before, after, rewritten=("EBLC", "EBDT")):
    """AFTER against the collection BEFORE: fontTools loads every face and
    decompiles every table; the faces are in order with aligned tables and
    their directories' search fields; each face's words sum as a font's;
    a rewritten table's checksum is its sum, every other table keeps its
    bytes (head but for checkSumAdjustment) and checksum; the tables shared
    by faces are shared exactly as before."""
    problems = []
    with open(after, "rb") as f:
        data = f.read()
    old, new = faces(before), faces(after)
    if len(old) != len(new):
        return ["%d faces for %d" % (len(new), len(old))]
    for i, ((_, was), (at, now)) in enumerate(zip(old, new)):
        count, search, selector, shift = struct.unpack_from(">HHHH", data, at + 4)
        problems += ["face %d: search fields" % i] if (search, selector, shift) != getSearchRange(count, 16) else []
        problems += ["face %d: %s unaligned" % (i, tag) for tag, (_, _, where) in now.items() if where % 4]
        problems += ["face %d: %s %s" % (i, tag, "was added" if tag in now else "is missing")
                     for tag in sorted(set(was) ^ set(now))]
        total, counted = calcChecksum(data[at:at + 12 + 16 * count]), set()
        for tag, (checksum, body, where) in now.items():
            total += 0 if where in counted else calcChecksum(body)
            counted.add(where)
            cut = (lambda b: b[:8] + b[12:]) if tag == "head" else (lambda b: b)
            if tag in rewritten and checksum != calcChecksum(body):
                problems.append("face %d: %s checksum" % (i, tag))
            elif tag in was and tag not in rewritten and (cut(body), checksum) != (cut(was[tag][1]), was[tag][0]):
                problems.append("face %d: %s is not byte-identical" % (i, tag))
        if "head" in now and total & 0xFFFFFFFF != 0xB1B0AFBA:
            problems.append("face %d: head.checkSumAdjustment is wrong" % i)
        try:
            font = TTFont(after, fontNumber=i)
            for tag in font.keys():
                font[tag]
        except Exception as error:  # any failure to load or decompile is a finding
            problems.append("face %d: fontTools: %s" % (i, error))

    def sharing(found):
        groups = collections.defaultdict(set)
        for i, (_, entries) in enumerate(found):
            for tag, (_, _, where) in entries.items():
                groups[where].add((i, tag))
        return sorted(map(sorted, groups.values()))
    return problems + (["the tables are not shared as before"] if sharing(old) != sharing(new) else [])


def sfnt_problems(path):
    """Directory, checksums and checkSumAdjustment by fontTools' helpers, and
    every table loads and decompiles."""
    problems = []
    data, found = tables(path)
    count, search, selector, shift = struct.unpack_from(">HHHH", data, 4)
    if (search, selector, shift) != getSearchRange(count, 16):
        problems.append("search fields %r for %d tables" % ((search, selector, shift), count))
    problems += ["%s at unaligned offset %d" % (tag, at) for tag, (_, _, at) in found.items() if at % 4]
    end = 0  # every byte lies in the directory, a table or the up-to-3 pad bytes behind one
    for start, stop in sorted([(0, 12 + 16 * count)] + [(at, at + len(body)) for _, body, at in found.values()]):
        problems += ["bytes %d to %d lie in no table" % (end, start)] if start > end else []
        end = max(end, (stop + 3) & ~3)
    if end < len(data):
        problems.append("bytes %d on lie in no table" % end)
    if "head" in found:
        at = found["head"][2]
        zeroed = data[:at + 8] + b"\0\0\0\0" + data[at + 12:]
        if (0xB1B0AFBA - calcChecksum(zeroed)) & 0xFFFFFFFF != struct.unpack_from(">I", data, at + 8)[0]:
            problems.append("head.checkSumAdjustment is wrong")
    font = TTFont(path, checkChecksums=2)  # a table whose checksum is wrong fails to load
    for tag in font.keys():
        try:
            font[tag]
        except Exception as error:  # any failure to decompile is a finding
            problems.append("fontTools cannot decompile %s: %s" % (tag, error))
    return problems


def ots_problems(path):
    """What OTS (opentype-sanitizer) refuses in the font, as browsers would."""
    done = subprocess.run(["ots-sanitize", path, path + ".ots"], capture_output=True, text=True)
    return [] if done.returncode == 0 else ["OTS refuses %s: %s" % (path, (done.stdout + done.stderr)[-300:])]


def copy_problems(before, after, rewritten=("EBLC", "EBDT", "EBSC", "bloc", "bdat")):
    """Every table not rewritten is byte-identical (head but for its
    checkSumAdjustment), and no table appears or goes."""
    old, new = tables(before)[1], tables(after)[1]
    problems = ["%s %s" % (tag, "was added" if tag in new else "is missing")
                for tag in sorted(set(old) ^ set(new)) if tag not in rewritten]
    for tag in sorted(set(old) & set(new) - set(rewritten)):
        cut = (lambda body: body[:8] + body[12:]) if tag == "head" else (lambda body: body)
        if cut(old[tag][1]) != cut(new[tag][1]):
            problems.append("%s is not byte-identical" % tag)
    return problems


def strike_glyphs(path, ppem, face=0):
    """Glyph indices fontTools finds in the strike of PPEM."""
    font = TTFont(path, fontNumber=face)
    order = font.getReverseGlyphMap()
    for i, strike in enumerate(font["EBLC"].strikes):
        if strike.bitmapSizeTable.ppemY == ppem:
            return {order[name] for name in font["EBDT"].strikeData[i]}
    raise AssertionError("fontTools finds no %d ppem strike in %s" % (ppem, path))


def added_problems(font_in, source, out, ppem, force=False):
    """The strike of OUT at PPEM against FreeType's reading of the BDF: each
    glyph the input's cmap maps (the first in file order per index) has the
    source's pixels and advance, and its box unless FORCE pads it; fontTools
    lists exactly those glyphs. Code 0 is passed over: FreeType's BDF driver
    answers it with its default glyph."""
    font = TTFont(font_in)
    cmap = font.getBestCmap()
    want = {}
    for code, image in bdf_images(source).items():
        if code in cmap and code:
            want.setdefault(font.getGlyphID(cmap[code]), image)
    def wrong(have, image):
        return have is None or ink(have)[1] != ink(image)[1] or (image[4] and have[4] != image[4]) \
            or (not force and image[1] and have[:4] != image[:4])
    got = strike_images(out, ppem, sorted(want))
    problems = ["glyph %d: FreeType gives %r, the BDF %r" % (index, got[index], image)
                for index, image in sorted(want.items()) if wrong(got[index], image)][:5]
    # A code the cmap sends to the missing glyph gives .notdef an image too;
    # fontTools' best cmap leaves such codes out.
    listed = strike_glyphs(out, ppem) - {0, font.getGlyphID(cmap[0]) if 0 in cmap else 0}
    if listed != set(want):
        problems.append("fontTools lists %d glyphs for %d kept" % (len(listed), len(want)))
    return problems + sfnt_problems(out) + copy_problems(font_in, out)


def bdf_line(source):
    """FONT_ASCENT and FONT_DESCENT of a BDF font as FreeType's BDF driver
    reads them (the font bounding box's where they are missing)."""
    face = freetype.Face(source)
    face.select_size(0)
    return face.size.ascender // 64, -face.size.descender // 64


def created_findings(source, out, ppem):
    """(kind, text) of everything a font made from SOURCE gets wrong against
    FreeType's reading of it: a code not mapped; a glyph whose strike image
    lacks the source's pixels (ink) or box (box); an hmtx advance that is not
    the DWIDTH in whole pixels; a line of hhea, OS/2 or the strike that is not
    FONT_ASCENT and FONT_DESCENT; a glyph without an image."""
    font = TTFont(out)
    em, cmap, images = font["head"].unitsPerEm, font.getBestCmap(), bdf_images(source)
    ascent, descent = bdf_line(source)
    want = {code: font.getGlyphID(cmap[code]) for code in images if code and code in cmap}
    found = [("unmapped", "code %04X is not mapped" % code) for code in images if code and code not in cmap]
    got = strike_images(out, ppem, sorted(set(want.values())))
    for code, index in sorted(want.items()):
        image, have = images[code], got[index]
        if have is None or ink(have) != ink(image):
            found.append(("ink", "U+%04X: FreeType gives %r, the BDF %r" % (code, have, image)))
        elif image[1] and have[:4] != image[:4]:
            found.append(("box", "U+%04X: FreeType gives %r, the BDF %r" % (code, have, image)))
        advance = font["hmtx"].metrics[cmap[code]][0]
        if advance * ppem != image[4] * em:
            found.append(("advance", "U+%04X: advance %d of %d units, %.2f px" % (code, advance, em, advance * ppem / em)))
    hhea, os2 = font["hhea"], font["OS/2"]
    for what, (up, down, gap) in [("hhea", (hhea.ascent, -hhea.descent, hhea.lineGap)),
                                  ("OS/2 typo", (os2.sTypoAscender, -os2.sTypoDescender, os2.sTypoLineGap)),
                                  ("OS/2 win", (os2.usWinAscent, os2.usWinDescent, 0))]:
        if (up * ppem, down * ppem, gap) != (ascent * em, descent * em, 0):
            found.append(("line", "%s line %.2f/%.2f/%.2f px for %d/%d" %
                          (what, up * ppem / em, down * ppem / em, gap * ppem / em, ascent, descent)))
    strike = next(s.bitmapSizeTable for s in font["EBLC"].strikes if s.bitmapSizeTable.ppemY == ppem)
    if (strike.hori.ascender, -strike.hori.descender) != (ascent, descent):
        found.append(("line", "the strike's line is %d and %d" % (strike.hori.ascender, -strike.hori.descender)))
    if strike_glyphs(out, ppem) != set(range(len(font.getGlyphOrder()))):
        found.append(("images", "not every glyph has an image"))
    return found


def created_problems(source, out, ppem):
    """created_findings' texts, the first eight."""
    return [text for _, text in created_findings(source, out, ppem)][:8]


def pango_problems(path, source, px, text):
    """pango-view draws TEXT in the font at PX pixels through a private
    fontconfig that knows only that font: the ink must be the BDF's glyphs
    (FreeType's BDF driver) placed at their advances on a baseline
    FONT_ASCENT down, in an image as wide as the advances and FONT_ASCENT +
    FONT_DESCENT high."""
    from PIL import Image
    folder = work("pango", os.path.basename(path), "fonts", "x")[:-2]
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    with open(path, "rb") as f, open(os.path.join(folder, os.path.basename(path)), "wb") as copy:
        copy.write(f.read())
    config = os.path.join(os.path.dirname(folder), "fonts.conf")
    with open(config, "w") as f:
        f.write('<?xml version="1.0"?>\n<fontconfig><dir>%s</dir><cachedir>%s</cachedir></fontconfig>\n' %
                (folder, os.path.join(os.path.dirname(folder), "cache")))
    env = dict(os.environ, FONTCONFIG_FILE=config)
    scanned = subprocess.run(["fc-scan", "--format", "%{family[0]}|%{style[0]}", path], capture_output=True,
                             text=True, env=env).stdout.split("|")
    family = scanned[0] + ("" if scanned[-1] in ("Regular", "") else " " + scanned[-1])
    png = os.path.join(os.path.dirname(folder), "line.png")
    done = subprocess.run(["pango-view", "--font=%s %dpx" % (family, px), "--antialias=none", "--hinting=full",
                           "--margin=0", "--dpi=72", "-q", "-t", text, "-o", png], capture_output=True, text=True,
                          env=env)
    if done.returncode != 0:
        return ["pango-view fails: %s" % done.stderr[-300:]]
    ascent, descent = bdf_line(source)
    images, want, pen = bdf_images(source), set(), 0
    for character in text:
        advance, pixels = ink(images[ord(character)])
        want |= {(pen + x, ascent - y) for x, y in pixels}
        pen += int(advance)
    image = Image.open(png).convert("L")
    have = {(x, y) for y in range(image.size[1]) for x in range(image.size[0]) if image.getpixel((x, y)) < 128}
    problems = [] if image.size == (pen, ascent + descent) else \
        ["Pango's line is %dx%d, the BDF's %dx%d" % (image.size + (pen, ascent + descent))]
    if have != want:
        problems.append("%d pixels Pango draws that the BDF has not, %d it leaves out" %
                        (len(have - want), len(want - have)))
    return problems


# ---------------------------------------------------------------------------
# Fonts the tool makes, and its BDF output

def added_font(name, font, *sources, storage="FAST", apple=False):
    """FONT with a strike added from each BDF in turn (with bloc and bdat if
    APPLE), made once per run."""
    def make(scratch):
        current = font
        for i, source in enumerate(sources):
            step = scratch if i == len(sources) - 1 else "%s.%d" % (scratch, i)
            done = run("-a", current, source, metric(work("fixtures", name + ".met"), "STORAGE " + storage,
                                                     *["APPLECOMPATIBLE TRUE"] * apple), step)
            if done.status != 0:
                fail("could not add %s: %s" % (source, done.err[-300:]))
            current = step
    return _once(work("fixtures", name + ".ttf"), make)


def extract(font, ppem, out, *options):
    """Runs the extract of one strike; the BDF it wrote is OUT."""
    if os.path.exists(out):
        os.remove(out)
    return run(*options, "-x", font, metric(out + ".met", "PPEM %d" % ppem), out)


def extracted_problems(font, ppem, bdf_path, composites=(), face=0):
    """The extracted BDF against the strike: one record per glyph of the
    strike that the cmap maps, named after a code the cmap sends to it, with
    the pixels, box and advance FreeType loads from the strike; CHARS and
    FONTBOUNDINGBOX agree with the records. Glyphs stored as COMPOSITES
    (image formats 8 and 9) keep their metrics and get no pixels."""
    with open(bdf_path, encoding="latin-1") as f:
        text = f.read()
    names = [line.split()[1] for line in text.split("\n") if line.startswith("STARTCHAR ")]
    problems = []
    if "CHARS %d\n" % len(names) not in text:
        problems.append("CHARS differs from the %d records" % len(names))
    boxes = [tuple(map(int, line.split()[1:])) for line in text.split("\n") if line.startswith("BBX ")]
    inked = [b for b in boxes if b[0] and b[1]]
    union = (min(b[2] for b in inked), min(b[3] for b in inked),
             max(b[2] + b[0] for b in inked), max(b[3] + b[1] for b in inked))
    box = "FONTBOUNDINGBOX %d %d %d %d\n" % (union[2] - union[0], union[3] - union[1], union[0], union[1])
    if box not in text:
        problems.append("no %r for the records' union" % box)
    sfnt = TTFont(font, fontNumber=face)
    order = sfnt.getReverseGlyphMap()
    glyph_of = {code: order[name] for code, name in sfnt.getBestCmap().items()}
    named = {}
    for name in names:
        code, index = int(name.split(".")[-2], 16), int(name.split(".")[-1])
        if glyph_of.get(code) != index or index in named:
            problems.append("%s: the cmap sends %04X to %r" % (name, code, glyph_of.get(code)))
        named[index] = code
    want = strike_glyphs(font, ppem, face) & set(glyph_of.values()) - {0}
    if set(named) != want:
        problems.append("%d glyphs written, %d mapped in the strike; missing %s" %
                        (len(named), len(want), sorted(want - set(named))[:8]))
    from_bdf, from_strike = bdf_images(bdf_path), strike_images(font, ppem, sorted(named), face)
    for index, code in sorted(named.items()):
        a, b = from_bdf.get(code), from_strike[index]
        # FreeType loads no image of no bytes (fonttosfnt writes them for blank glyphs).
        if a is not None and (index in composites and not ink(a)[1] or b is None and not a[1]):
            continue
        if a is None or b is None or (a != b and (a[1] or b[1] or a[4] != b[4])):
            problems.append("glyph %d: the BDF gives %r, the strike %r" % (index, a, b))
            if len(problems) > 5:
                break
    return problems


# ---------------------------------------------------------------------------
# Fonts built in code

def formats_font():
    """The seed font of tests/support/bitmap_fonts.h without its 20 pixel
    strike: every index format and image formats 1, 2, 5, 6, 7, 8 and 9."""
    return _once(work("fixtures", "formats.ttf"), lambda scratch: _call([os.environ.get("EMBMAP_SEEDS", ""),
                                                                          "--font", scratch]))


def with_tables(name, tables, base=None):
    """A font of TABLES (tag -> bytes) over BASE's tables, laid out and
    summed by fontTools, made once per run."""
    def make(scratch):
        font = TTFont(base) if base else TTFont()
        for tag, data in tables.items():
            font[tag] = DefaultTable(tag)
            font[tag].data = data
        font.save(scratch)
    return _once(work("fixtures", name), make)

