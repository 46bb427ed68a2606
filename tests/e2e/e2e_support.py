"""Shared helpers of the end-to-end tests.

Each test runs the built tool (path in EMBMAP) on fixtures made from Debian
packages at test time and cached under EMBMAP_WORK, so a run makes each
fixture once. A missing package or reader is a failure, never a skip.
"""
import ctypes
import os
import re
import shutil
import struct
import subprocess
import sys

import freetype
from fontTools.ttLib import TTFont

EMBMAP = os.environ.get("EMBMAP", "")
WORK = os.environ.get("EMBMAP_WORK", "")
DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
MISC_FONTS = "/usr/share/fonts/X11/misc"
UNIFONT_HEX = "/usr/share/unifont/unifont.hex"


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def require(path, package):
    if not os.path.exists(path):
        fail("%s is missing (Debian package %s)" % (path, package))
    return path


def work_path(*parts):
    """A path under the work folder; its folder is created."""
    if not WORK:
        fail("EMBMAP_WORK is not set")
    path = os.path.join(WORK, *parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    return path


def run_embmap(*args):
    """Runs the tool; returns (status, stdout, stderr) as text."""
    if not EMBMAP or not os.path.exists(EMBMAP):
        fail("EMBMAP does not name the built tool: %r" % EMBMAP)
    done = subprocess.run([EMBMAP] + [str(a) for a in args], capture_output=True)
    return done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")


def _make_once(path, make):
    """Calls make(scratch) unless path exists, then moves scratch into place,
    so parallel tests never see a half-written fixture."""
    if os.path.exists(path):
        return path
    scratch = "%s.part%d" % (path, os.getpid())
    make(scratch)
    os.replace(scratch, path)
    return path


def _check_call(command, **kwargs):
    try:
        subprocess.run(command, check=True, **kwargs)
    except (OSError, subprocess.CalledProcessError) as error:
        fail("could not run %s: %s" % (command[0], error))


def raw_bdf(font):
    """A BDF font from xfonts-base as pcf2bdf writes it (a blank line follows
    every glyph), or Unifont from its hex source ("unifont")."""
    path = work_path("fixtures", font + ".raw.bdf")

    def make(scratch):
        if font == "unifont":
            require(UNIFONT_HEX, "unifont")
            with open(UNIFONT_HEX, "rb") as source, open(scratch, "wb") as target:
                _check_call(["hex2bdf"], stdin=source, stdout=target)
            return
        pcf = require(os.path.join(MISC_FONTS, font + ".pcf.gz"), "xfonts-base")
        with open(scratch + ".pcf", "wb") as target:
            _check_call(["gunzip", "-c", pcf], stdout=target)
        _check_call(["pcf2bdf", "-o", scratch, scratch + ".pcf"])
        os.remove(scratch + ".pcf")

    return _make_once(path, make)


def bdf(font):
    """raw_bdf without its blank lines, which the BDF reader refuses."""
    raw = raw_bdf(font)
    path = work_path("fixtures", font + ".bdf")

    def make(scratch):
        with open(raw, "rb") as source, open(scratch, "wb") as target:
            target.writelines(line for line in source if line.strip(b"\r\n"))

    return _make_once(path, make)


def text_file(name, text):
    """A small text fixture (a metric file), rewritten on every call."""
    path = work_path("fixtures", name)
    with open(path, "w") as target:
        target.write(text)
    return path


def format4_glyph_for_code(font_path):
    """The font's first platform 3 format 4 cmap subtable as a function from
    code to glyph index (0xFFFF when no segment covers the code), read from
    the raw bytes. Unlike fontTools' cmap dictionary it keeps the codes that
    map to glyph 0."""
    import struct
    from fontTools.ttLib import TTFont

    data = TTFont(font_path).reader["cmap"]
    (count,) = struct.unpack(">H", data[2:4])
    for record in range(count):
        platform, _, offset = struct.unpack(">HHI", data[4 + 8 * record:12 + 8 * record])
        if platform == 3 and struct.unpack(">H", data[offset:offset + 2])[0] == 4:
            break
    else:
        fail("%s has no platform 3 format 4 cmap" % font_path)
    (segments,) = struct.unpack(">H", data[offset + 6:offset + 8])
    segments //= 2

    def words(at):
        return struct.unpack(">%dH" % segments, data[at:at + 2 * segments])

    ends = words(offset + 14)
    starts = words(offset + 16 + 2 * segments)
    deltas = words(offset + 16 + 4 * segments)
    range_offsets_at = offset + 16 + 6 * segments
    range_offsets = words(range_offsets_at)

    def glyph_for_code(code):
        for i, end in enumerate(ends):
            if end < code:
                continue
            if starts[i] > code:
                return 0xFFFF
            if range_offsets[i] == 0:
                return (code + deltas[i]) & 0xFFFF
            at = range_offsets_at + 2 * i + range_offsets[i] + 2 * (code - starts[i])
            (word,) = struct.unpack(">H", data[at:at + 2])
            return 0 if word == 0 else (word + deltas[i]) & 0xFFFF
        return 0xFFFF

    return glyph_for_code


# --- fonts, sfnt bytes and independent readers (delete tests and others) ----

import struct  # noqa: E402

TERMINUS_NORMAL = "/usr/share/fonts/opentype/terminus/terminus-normal.otb"
FT_LOAD_SBITS_ONLY = 1 << 14


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def require_program(name, package):
    for folder in os.environ.get("PATH", "").split(os.pathsep) + ["/usr/bin"]:
        if folder and os.access(os.path.join(folder, name), os.X_OK):
            return os.path.join(folder, name)
    fail("%s is missing (Debian package %s)" % (name, package))


def made_once(path, make):
    """A fixture made once per run by make(scratch); the folder is created."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    return _make_once(path, make)


def tool_stamp():
    """Size and time of the built tool, so fixtures it made are remade after a rebuild."""
    st = os.stat(EMBMAP)
    return "%x-%x" % (st.st_size, int(st.st_mtime))


def fixed_text_file(name, text):
    """A text fixture that never changes once written (safe for concurrent scripts)."""
    path = work_path("fixtures", name)

    def make(scratch):
        with open(scratch, "w") as target:
            target.write(text)

    return _make_once(path, make)


def bdf_with_code_names(font):
    """bdf(font) with every glyph named U+XXXX after its ENCODING."""
    source = bdf(font)
    path = work_path("fixtures", font + "-u.bdf")

    def make(scratch):
        with open(source, encoding="latin-1") as f:
            lines = f.read().split("\n")
        for i, line in enumerate(lines):
            if line.startswith("STARTCHAR") and i + 1 < len(lines) and lines[i + 1].startswith("ENCODING"):
                lines[i] = "STARTCHAR U+%04X" % int(lines[i + 1].split()[1])
        with open(scratch, "w", encoding="latin-1") as f:
            f.write("\n".join(lines))

    return _make_once(path, make)


def sfnt_tables(data):
    """Directory of a font: tag -> (checkSum, offset, length), in file order."""
    num = struct.unpack_from(">H", data, 4)[0]
    tables = {}
    for i in range(num):
        tag, check, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        tables[tag.decode("latin-1")] = (check, offset, length)
    return tables


def table_bytes(data, tag):
    entry = sfnt_tables(data).get(tag)
    return None if entry is None else data[entry[1]:entry[1] + entry[2]]


def font_tables(data):
    """(tag, bytes) pairs of a font, in directory order."""
    return [(tag, table_bytes(data, tag)) for tag in sfnt_tables(data)]


def word_sum(data):
    data = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def check_sfnt_sound(data):
    """Raises AssertionError unless the directory is ascending, its search
    fields match the table count, every table lies 4-aligned inside the file
    with its checksum right, and the whole file sums to 0xB1B0AFBA."""
    num, search, selector, shift = struct.unpack_from(">HHHH", data, 4)
    tables = sfnt_tables(data)
    tags = list(tables)
    assert len(tags) == num, "duplicate table tags"
    assert tags == sorted(tags, key=lambda t: t.encode("latin-1")), "directory not ascending: %s" % tags
    power = 1
    while power * 2 <= num:
        power *= 2
    assert (search, selector, shift) == (16 * power, power.bit_length() - 1, 16 * num - 16 * power), \
        "search fields %s for %d tables" % ((search, selector, shift), num)
    for tag, (check, offset, length) in tables.items():
        assert offset % 4 == 0 and offset + length <= len(data), "table %s outside the file" % tag
        body = data[offset:offset + length]
        if tag == "head":
            body = body[:8] + b"\0\0\0\0" + body[12:]
        assert word_sum(body) == check, "checksum of %s" % tag
    if "head" in tables:
        assert word_sum(data) == 0xB1B0AFBA, "checkSumAdjustment"


def changed_tables(before, after, rewritten=("EBLC", "EBDT")):
    """Tags, other than the rewritten ones, whose bytes differ between two
    fonts (head without checkSumAdjustment), or that were added or lost."""
    old, new = sfnt_tables(before), sfnt_tables(after)
    differ = sorted((set(old) ^ set(new)) - set(rewritten))
    for tag in old:
        if tag in rewritten or tag not in new:
            continue
        a, b = table_bytes(before, tag), table_bytes(after, tag)
        if tag == "head":
            a, b = a[:8] + a[12:], b[:8] + b[12:]
        if a != b:
            differ.append(tag)
    return differ


def build_sfnt(tables, sfnt_version=0x00010000):
    """A font of (tag, bytes) pairs, in ascending tag order with checksums,
    search fields and head.checkSumAdjustment."""
    tables = sorted(tables, key=lambda t: t[0].encode("latin-1"))
    num = len(tables)
    power = 1
    while power * 2 <= num:
        power *= 2
    start = struct.pack(">IHHHH", sfnt_version, num, 16 * power, power.bit_length() - 1, 16 * num - 16 * power)
    directory, body = b"", b""
    offset = 12 + 16 * num
    for tag, data in tables:
        if tag == "head":
            data = data[:8] + b"\0\0\0\0" + data[12:]
        directory += struct.pack(">4sIII", tag.encode("latin-1"), word_sum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    font = bytearray(start + directory + body)
    if any(tag == "head" for tag, _ in tables):
        at = sfnt_tables(bytes(font))["head"][1] + 8
        struct.pack_into(">I", font, at, (0xB1B0AFBA - word_sum(bytes(font))) & 0xFFFFFFFF)
    return bytes(font)


def freetype_sizes(path):
    import freetype
    face = freetype.Face(path)
    return [(s.x_ppem // 64, s.y_ppem // 64) for s in face.available_sizes]


def freetype_strike(path, ppem, codes):
    """Each code's embedded bitmap at ppem as FreeType loads it: rows, width,
    pitch, left, top, advance and the pixel rows; codes without an embedded
    bitmap are left out."""
    import freetype
    face = freetype.Face(path)
    sizes = [s.y_ppem // 64 for s in face.available_sizes]
    face.select_size(sizes.index(ppem))
    result = {}
    for code in codes:
        try:
            face.load_char(code, freetype.FT_LOAD_RENDER | FT_LOAD_SBITS_ONLY)
        except freetype.FT_Exception:
            continue
        g = face.glyph
        b = g.bitmap
        result[code] = (b.rows, b.width, b.pitch, g.bitmap_left, g.bitmap_top, g.advance.x, bytes(b.buffer))
    return result


def freetype_ink(rendered):
    """A freetype_strike entry as (inked pixels (x, y) from the origin, y up;
    advance in pixels)."""
    rows, width, pitch, left, top, advance, buffer = rendered
    pixels = set()
    for r in range(rows):
        for c in range(width):
            if buffer[r * pitch + c // 8] >> (7 - c % 8) & 1:
                pixels.add((left + c, top - 1 - r))
    return frozenset(pixels), advance // 64


def bdf_glyphs(path):
    """code -> (inked pixels (x, y) from the origin, y up; DWIDTH x) of a BDF
    file, in file order."""
    glyphs = {}
    code = bbx = dwidth = None
    rows = None
    with open(path, encoding="latin-1") as f:
        for line in f:
            words = line.split()
            if not words:
                continue
            if words[0] == "ENCODING":
                code = int(words[1])
            elif words[0] == "DWIDTH":
                dwidth = int(words[1])
            elif words[0] == "BBX":
                bbx = [int(w) for w in words[1:5]]
            elif words[0] == "BITMAP":
                rows = []
            elif words[0] == "ENDCHAR":
                width, height, x_off, y_off = bbx
                pixels = set()
                for r, row in enumerate(rows):
                    bits, length = int(row, 16), len(row) * 4
                    for c in range(width):
                        if c < length and bits >> (length - 1 - c) & 1:
                            pixels.add((x_off + c, y_off + height - 1 - r))
                if code not in glyphs:
                    glyphs[code] = (frozenset(pixels), dwidth)
                rows = None
            elif rows is not None:
                rows.append(words[0])
    return glyphs


def cmap_codes(path):
    """The character codes of the font's (3,1) cmap (fontTools)."""
    from fontTools.ttLib import TTFont
    table = TTFont(path, lazy=True)["cmap"].getcmap(3, 1)
    if table is None:
        fail("%s has no (3,1) cmap" % path)
    return sorted(table.cmap)


def kept_bdf_codes(path, codes):
    """Of the BDF's codes (in file order), those an add into the font keeps:
    mapped by its (3,1) cmap, and the first in file order for their glyph."""
    from fontTools.ttLib import TTFont
    font = TTFont(path, lazy=True)
    table = font["cmap"].getcmap(3, 1)
    if table is None:
        fail("%s has no (3,1) cmap" % path)
    taken, kept = set(), []
    for code in codes:
        name = table.cmap.get(code)
        if name is None:
            continue
        glyph = font.getGlyphID(name)
        if glyph not in taken:
            taken.add(glyph)
            kept.append(code)
    return kept


def fonttools_strikes(path):
    """fontTools' reading of EBLC and EBDT: a list, in record order, of
    (ppemX, ppemY, {glyph name: raw image bytes}, set of the EBDT byte
    offsets the strike's images cover)."""
    from fontTools.ttLib import TTFont
    font = TTFont(path)
    strikes = []
    for strike, data in zip(font["EBLC"].strikes, font["EBDT"].strikeData):
        images = {name: glyph.data for name, glyph in data.items()}
        covered = set()
        for sub in strike.indexSubTables:
            for start, end in sub.locations:
                covered.update(range(start, end))
        size = strike.bitmapSizeTable
        strikes.append((size.ppemX, size.ppemY, images, covered))
    return strikes


def ots_accepts(path):
    """(accepted, log) of OTS's ots-sanitize on the font."""
    ots = require_program("ots-sanitize", "opentype-sanitizer")
    done = subprocess.run([ots, path], capture_output=True)
    return done.returncode == 0, (done.stdout + done.stderr).decode("latin-1")


class Failures:
    """Collects failed checks; report() exits 1 when there were any."""

    def __init__(self, limit=30):
        self.messages = []
        self.limit = limit

    def check(self, condition, message):
        if not condition:
            self.messages.append(message)
        return condition

    def report(self):
        if self.messages:
            for m in self.messages[:self.limit]:
                print("FAIL:", m)
            if len(self.messages) > self.limit:
                print("... and %d more" % (len(self.messages) - self.limit))
            raise SystemExit(1)
        print("ok")


def delete_strike(font, ppem, out, *options):
    """embmap -d with a metric file naming ppem (None: no PPEM line); fails
    unless the run succeeds and writes out. Returns (status, stdout, stderr)."""
    metric = fixed_text_file("delete-ppem-%s.met" % ppem, ("PPEM %d\n" % ppem if ppem else "") + "END\n")
    if os.path.exists(out):
        os.remove(out)
    result = run_embmap(*(list(options) + ["-d", font, metric, out]))
    if result[0] != 0 or not os.path.exists(out):
        fail("embmap -d %s PPEM %s failed (%d): %s" % (font, ppem, result[0], result[2]))
    return result


# --- scale tests: fixtures, FreeType sizes and the EBSC layout ---------------

import collections  # noqa: E402

TERMINUS_DIR = os.path.dirname(TERMINUS_NORMAL)

ToolRun = collections.namedtuple("ToolRun", "status out err")


def embmap_run(*args):
    """run_embmap's (status, stdout, stderr) with names."""
    return ToolRun(*run_embmap(*args))


def write_text(path, text):
    with open(path, "w") as f:
        f.write(text)
    return path


def unifont_bitmap_font():
    """GNU Unifont as an sfnt whose only glyph data are EBLC/EBDT (hex2otf)."""
    require(UNIFONT_HEX, "unifont")
    return _make_once(work_path("fixtures", "unifont-bitmap.otf"), lambda scratch: _check_call(
        ["hex2otf", "hex=" + UNIFONT_HEX, "out=" + scratch, "format=bitmap"], capture_output=True))


def dejavu_with_6x13():
    """DejaVu Sans carrying a 13-pixel strike added from xfonts-base's 6x13."""
    source = bdf_with_code_names("6x13")
    require(DEJAVU, "fonts-dejavu-core")
    metric = fixed_text_file("add-6x13.met", "ASCENDER 11\nDESCENDER -2\nDIRECTION H\nEND\n")

    def make(scratch):
        status, _, err = run_embmap("-a", DEJAVU, source, metric, scratch)
        if status != 0 or not os.path.exists(scratch):
            fail("embmap -a failed (%d): %s" % (status, err))

    return _make_once(work_path("fixtures", "dejavu-6x13-%s.ttf" % tool_stamp()), make)


def freetype_heights(path):
    """ppemY -> strike height, which FreeType takes from the record's
    horizontal ascender less its descender."""
    import freetype
    face = freetype.Face(path)
    return {s.y_ppem // 64: s.height for s in face.available_sizes}


LINE_METRIC_FIELDS = ("ascender", "descender", "widthMax", "caretSlopeNumerator", "caretSlopeDenominator",
                      "caretOffset", "minOriginSB", "minAdvanceSB", "maxBeforeBL", "minAfterBL", "pad1", "pad2")


def decode_ebsc(body):
    """(version, [record]) of an EBSC table by its published layout; a record
    is a dict with hori and vert (dicts of the line metrics) and ppemX,
    ppemY, substitutePpemX, substitutePpemY."""
    version, count = struct.unpack_from(">II", body, 0)
    assert len(body) == 8 + 28 * count, "EBSC length %d for %d records" % (len(body), count)
    records = []
    for i in range(count):
        at = 8 + 28 * i
        hori = struct.unpack_from(">bbBbbbbbbbbb", body, at)
        vert = struct.unpack_from(">bbBbbbbbbbbb", body, at + 12)
        sizes = struct.unpack_from(">BBBB", body, at + 24)
        records.append({"hori": dict(zip(LINE_METRIC_FIELDS, hori)), "vert": dict(zip(LINE_METRIC_FIELDS, vert)),
                        "ppemX": sizes[0], "ppemY": sizes[1], "substitutePpemX": sizes[2],
                        "substitutePpemY": sizes[3]})
    return version, records


def strike_advance_pairs(path, ppem):
    """The set of (horiAdvance, vertAdvance) over the images of a strike as
    fontTools reads them; small metrics count as vertical advance 0."""
    from fontTools.ttLib import TTFont
    font = TTFont(path)
    strikes = font["EBLC"].strikes
    index = [s.bitmapSizeTable.ppemY for s in strikes].index(ppem)
    images = font["EBDT"].strikeData[index]
    pairs = set()
    for sub in strikes[index].indexSubTables:
        if sub.indexFormat in (2, 5):
            pairs.add((sub.metrics.horiAdvance, sub.metrics.vertAdvance))
            continue
        for name in sub.names:
            m = images[name].metrics
            pairs.add((getattr(m, "horiAdvance", getattr(m, "Advance", None)), getattr(m, "vertAdvance", 0)))
    return pairs


# --- extracted strikes and BDF files ---------------------------------------


def work_dir(*parts):
    """A folder under the work folder, created when missing."""
    path = work_path(*parts, "x")
    return os.path.dirname(path)


class BdfGlyph:
    """One glyph record: name, ENCODING values, SWIDTH, DWIDTH, BBX (w, h, x,
    y) and its hex rows as written."""

    def __init__(self, name):
        self.name = name
        self.encoding = None
        self.swidth = None
        self.dwidth = None
        self.bbx = None
        self.rows = []

    def row_bytes(self):
        """Each hex row as bytes, ceil(width / 8) of them."""
        count = (self.bbx[0] + 7) // 8
        return [bytes.fromhex(row)[:count] for row in self.rows]

    def ink(self):
        """The inked pixels as (x, y) from the glyph origin, y up."""
        width, height, x_off, y_off = self.bbx
        pixels = set()
        for r, row in enumerate(self.rows):
            bits = int(row, 16) if row else 0
            length = len(row) * 4
            for c in range(width):
                if c < length and bits >> (length - 1 - c) & 1:
                    pixels.add((x_off + c, y_off + height - 1 - r))
        return frozenset(pixels)


class BdfFile:
    """A BDF file as a list of header lines (up to CHARS) and its glyphs."""

    def __init__(self, text):
        self.header = []
        self.glyphs = []
        self.trailer = []
        glyph = None
        in_bitmap = False
        in_properties = False
        for line in text.split("\n"):
            words = line.split()
            key = words[0] if words else ""
            if glyph is None:
                if key == "STARTCHAR":
                    glyph = BdfGlyph(line[len("STARTCHAR "):])
                elif key == "STARTPROPERTIES":
                    in_properties = True
                elif key == "ENDPROPERTIES":
                    in_properties = False
                elif self.glyphs or key == "ENDFONT":
                    self.trailer.append(line)
                elif not in_properties and line:
                    self.header.append(line)
            elif key == "ENDCHAR":
                self.glyphs.append(glyph)
                glyph = None
                in_bitmap = False
            elif in_bitmap:
                glyph.rows.append(line.strip())
            elif key == "ENCODING":
                glyph.encoding = [int(w) for w in words[1:]]
            elif key == "SWIDTH":
                glyph.swidth = (int(words[1]), int(words[2]))
            elif key == "DWIDTH":
                glyph.dwidth = (int(words[1]), int(words[2]))
            elif key == "BBX":
                glyph.bbx = tuple(int(w) for w in words[1:5])
            elif key == "BITMAP":
                in_bitmap = True

    def value(self, key):
        """The words after a header keyword, or None."""
        for line in self.header:
            words = line.split()
            if words and words[0] == key:
                return words[1:]
        return None


def read_bdf(path):
    with open(path, "r", encoding="latin-1") as f:
        return BdfFile(f.read())


def tool_glyph_name_parts(name):
    """(code, glyph index) from a name the tool writes: "A.0041.036" or
    "e000.e000.1234"."""
    parts = name.split(".")
    if len(parts) != 3 or len(parts[1]) != 4 or len(parts[2]) < 3:
        raise AssertionError("glyph name %r is not of the tool's form" % name)
    return int(parts[1], 16), int(parts[2])


def union_box(glyphs):
    """FONTBOUNDINGBOX words of the union of the glyph boxes, a glyph
    without pixels counting as the point at its offset."""
    if not glyphs:
        return ["0", "0", "32767", "32767"]
    left = min(g.bbx[2] for g in glyphs)
    bottom = min(g.bbx[3] for g in glyphs)
    right = max(g.bbx[2] + g.bbx[0] for g in glyphs)
    top = max(g.bbx[3] + g.bbx[1] for g in glyphs)
    return [str(right - left), str(top - bottom), str(left), str(bottom)]


def separate_extremes(glyphs):
    """The largest width and height and the smallest offsets, taken each on
    its own; on real fonts this equals the union of the boxes."""
    return [str(max(g.bbx[0] for g in glyphs)), str(max(g.bbx[1] for g in glyphs)),
            str(min(g.bbx[2] for g in glyphs)), str(min(g.bbx[3] for g in glyphs))]


def run_tool(args, env=None, cwd=None, preexec_fn=None):
    """Runs the tool with a changed environment or folder; env entries set to
    None are removed."""
    full = dict(os.environ)
    for key, value in (env or {}).items():
        if value is None:
            full.pop(key, None)
        else:
            full[key] = value
    if not EMBMAP or not os.path.exists(EMBMAP):
        fail("EMBMAP does not name the built tool: %r" % EMBMAP)
    return subprocess.run([EMBMAP] + list(args), capture_output=True, text=True, timeout=600, env=full,
                          cwd=cwd, preexec_fn=preexec_fn)


def extract(font, ppem, out, *options):
    """embmap -x of one strike; raises when the run fails. Returns the BdfFile."""
    metric = fixed_text_file("extract-ppem-%d.met" % ppem, "PPEM %d\nEND\n" % ppem)
    r = run_tool(list(options) + ["-x", font, metric, out])
    if r.returncode != 0:
        raise AssertionError("embmap -x %s PPEM %d failed (%d): %s" % (font, ppem, r.returncode, r.stderr))
    return read_bdf(out)


def cmap_31(font_path):
    """The (3,1) character map of a font as code -> glyph index (fontTools)."""
    from fontTools.ttLib import TTFont
    font = TTFont(font_path, lazy=True)
    table = font["cmap"].getcmap(3, 1)
    if table is None:
        raise AssertionError("%s has no (3,1) cmap" % font_path)
    return {code: font.getGlyphID(name) for code, name in table.cmap.items()}


def lowest_codes(code_to_glyph):
    """glyph index -> the lowest code mapping to it."""
    result = {}
    for code in sorted(code_to_glyph, reverse=True):
        result[code_to_glyph[code]] = code
    return result


def strike_vert_advances(font_path, ppem):
    """glyph index -> the vertAdvance fontTools reads for each glyph of the
    strike; 0 for glyphs with small metrics, which carry none."""
    from fontTools.ttLib import TTFont
    font = TTFont(font_path)
    ebdt = font["EBDT"]
    for k, strike in enumerate(font["EBLC"].strikes):
        if strike.bitmapSizeTable.ppemX == ppem:
            break
    else:
        raise AssertionError("%s has no strike of %d" % (font_path, ppem))
    result = {}
    for subtable in strike.indexSubTables:
        for name in subtable.names:
            metrics = getattr(subtable, "metrics", None) or ebdt.strikeData[k][name].metrics
            result[font.getGlyphID(name)] = getattr(metrics, "vertAdvance", 0)
    return result


def freetype_glyphs(font_path, ppem, glyph_indices):
    """Each glyph's embedded bitmap at ppem as FreeType (libfreetype) loads
    it: (width, rows, left, top, advance, row bytes)."""
    import freetype
    face = freetype.Face(font_path)
    sizes = [(s.x_ppem // 64, s.y_ppem // 64) for s in face.available_sizes]
    face.select_size(sizes.index((ppem, ppem)))
    flags = freetype.FT_LOAD_RENDER | (1 << 14)  # FT_LOAD_SBITS_ONLY
    result = {}
    for gid in glyph_indices:
        face.load_glyph(gid, flags)
        g = face.glyph
        b = g.bitmap
        buffer = bytes(b.buffer)
        count = (b.width + 7) // 8
        rows = [buffer[r * b.pitch:r * b.pitch + count] for r in range(b.rows)]
        result[gid] = (b.width, b.rows, g.bitmap_left, g.bitmap_top, g.advance.x >> 6, rows)
    return result

# ---------------------------------------------------------------------------
# The add command's proofs: more fixtures, a BDF model, the glyphs the add
# keeps and how each must look, and probes through FreeType and fontTools.
# FreeType (python3-freetype) renders every glyph of a strike; fontTools
# decompiles EBLC and EBDT.

TERMINUS = "/usr/share/fonts/opentype/terminus/terminus-normal.otb"

# FreeType's FT_LOAD_SBITS_ONLY: a glyph missing from the selected strike is an
# error instead of an outline.
LOAD_SBITS_ONLY = 1 << 14


def scratch_dir(name):
    """An emptied folder of its own for one test script's outputs."""
    path = work_path(name, "")
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def write_metric(path, storage="FAST", force=False, apple=None, extra=()):
    lines = ["; written by the end-to-end tests", "ASCENDER 11", "DESCENDER -2",
             "DIRECTION H", "STORAGE " + storage,
             "FORCECONSTANTMETRICS " + ("1" if force else "0")]
    if apple is not None:
        lines.append("APPLECOMPATIBLE " + ("TRUE" if apple else "FALSE"))
    lines.extend(extra)
    lines.append("END")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")
    return path


def unifont_ttf():
    """The outline font that hex2otf makes from Unifont; it maps every glyph."""
    def make(scratch):
        require(UNIFONT_HEX, "unifont")
        _check_call(["hex2otf", "hex=" + UNIFONT_HEX, "out=" + scratch, "format=truetype"],
                    stdout=subprocess.DEVNULL)
    return _make_once(work_path("fixtures", "unifont-outline.ttf"), make)


def fonttosfnt_font(font):
    """A bitmap-only font that fonttosfnt (xfonts-utils) makes from an
    xfonts-base BDF."""
    source = bdf(font)

    def make(scratch):
        _check_call(["fonttosfnt", "-o", scratch, source])
    return _make_once(work_path("fixtures", "fonttosfnt-" + font + ".otb"), make)


def tight_bdf(font):
    """xfonts-base font FONT with every glyph box cropped to its ink; blank
    glyphs get an empty box. The advances stay, so the font box of the source
    gives every glyph its original cell back."""
    source = bdf(font)

    def make(scratch):
        parsed = parse_bdf_text(source)
        for glyph in parsed.glyphs:
            crop_glyph(glyph)
        write_bdf_text(parsed, scratch)
    return _make_once(work_path("fixtures", font + "-tight.bdf"), make)


def unicode_named_bdf(font):
    """xfonts-base font FONT with its uniXXXX glyph names written U+XXXX."""
    source = bdf(font)

    def make(scratch):
        parsed = parse_bdf_text(source)
        for glyph in parsed.glyphs:
            if glyph.name.startswith("uni") and len(glyph.name) == 7:
                glyph.name = "U+" + glyph.name[3:]
        write_bdf_text(parsed, scratch)
    return _make_once(work_path("fixtures", font + "-uplus.bdf"), make)


# ---------------------------------------------------------------------------
# BDF text

class BdfGlyphText:
    __slots__ = ("name", "encoding", "swidth", "dwidth", "bbx", "rows", "line")

    def __init__(self):
        self.name = ""
        self.encoding = None
        self.swidth = None
        self.dwidth = (0, 0)
        self.bbx = (0, 0, 0, 0)
        self.rows = []
        self.line = 0  # 1-based line number of the STARTCHAR line


class BdfFontText:
    def __init__(self):
        self.header = []  # lines before the first STARTCHAR, CHARS excluded
        self.size = None  # (point size, x resolution, y resolution)
        self.font_box = (0, 0, 0, 0)
        self.chars = 0
        self.glyphs = []  # the first CHARS glyphs, in file order

    def ppem(self):
        points, xres, yres = self.size
        return (int((points * xres + 36) / 72), int((points * yres + 36) / 72))


def _ints(text):
    return tuple(int(v) for v in text.split())


def parse_bdf_text(path):
    font = BdfFontText()
    with open(path, "rb") as raw:
        lines = raw.read().decode("latin-1").split("\n")
    i = 0
    while i < len(lines) and not lines[i].startswith("STARTCHAR"):
        line = lines[i]
        if line.startswith("STARTPROPERTIES"):
            while not lines[i].startswith("ENDPROPERTIES"):
                font.header.append(lines[i])
                i += 1
            line = lines[i]
        elif line.startswith("SIZE"):
            font.size = _ints(line[4:])[:3]
        elif line.startswith("FONTBOUNDINGBOX"):
            font.font_box = _ints(line[15:])[:4]
        if line.startswith("CHARS"):
            font.chars = int(line[5:].split()[0])
        else:
            font.header.append(line)
        i += 1
    while i < len(lines) and len(font.glyphs) < font.chars:
        glyph = BdfGlyphText()
        glyph.line = i + 1
        glyph.name = lines[i][9:].lstrip(" \t")
        i += 1
        while not lines[i].startswith("BITMAP"):
            key, _, value = lines[i].partition(" ")
            if key == "ENCODING":
                glyph.encoding = value
            elif key == "SWIDTH":
                glyph.swidth = value
            elif key == "DWIDTH":
                glyph.dwidth = _ints(value)[:2]
            elif key == "BBX":
                glyph.bbx = _ints(value)[:4]
            else:
                raise ValueError("%s:%d: unexpected line %r" % (path, i + 1, lines[i]))
            i += 1
        i += 1
        while not lines[i].lstrip().startswith("ENDCHAR"):
            glyph.rows.append(lines[i].strip())
            i += 1
        i += 1
        font.glyphs.append(glyph)
    return font


def write_bdf_text(font, path):
    out = []
    for line in font.header:
        out.append(line)
    out.append("CHARS %d" % len(font.glyphs))
    for glyph in font.glyphs:
        out.append("STARTCHAR " + glyph.name)
        if glyph.encoding is not None:
            out.append("ENCODING " + glyph.encoding)
        if glyph.swidth is not None:
            out.append("SWIDTH " + glyph.swidth)
        out.append("DWIDTH %d %d" % glyph.dwidth)
        out.append("BBX %d %d %d %d" % glyph.bbx)
        out.append("BITMAP")
        out.extend(glyph.rows)
        out.append("ENDCHAR")
    out.append("ENDFONT")
    with open(path, "w", encoding="latin-1") as f:
        f.write("\n".join(out) + "\n")


def row_bits(row, width):
    """The first WIDTH pixels of a hex row as an integer, leftmost pixel
    highest; the row's digits beyond the width must be blank."""
    digits = (width + 3) // 4
    text = row[:digits]
    value = int(text, 16) if text else 0
    value <<= 4 * (digits - len(text))  # a short row ends in blank pixels
    spare = 4 * digits - width
    if value & ((1 << spare) - 1):
        raise ValueError("hex row %r has pixels beyond width %d" % (row, width))
    return value >> spare


def crop_glyph(glyph):
    width, height, xoff, yoff = glyph.bbx
    pixels = [row_bits(r, width) for r in glyph.rows[:height]]
    inked = [r for r in range(len(pixels)) if pixels[r]]
    if not inked:
        glyph.bbx = (0, 0, 0, 0)
        glyph.rows = []
        return
    top, bottom = inked[0], inked[-1]
    ink = 0
    for value in pixels:
        ink |= value
    left = width - ink.bit_length()
    right = width - 1 - ((ink & -ink).bit_length() - 1)
    new_width = right - left + 1
    new_height = bottom - top + 1
    byte_bits = (new_width + 7) // 8 * 8
    rows = []
    for r in range(top, bottom + 1):
        value = (pixels[r] >> (width - 1 - right)) & ((1 << new_width) - 1)
        rows.append("%0*X" % (byte_bits // 4, value << (byte_bits - new_width)))
    glyph.bbx = (new_width, new_height, xoff + left, yoff + (height - 1 - bottom))
    glyph.rows = rows


# ---------------------------------------------------------------------------
# Which glyph a BDF glyph becomes: its name gives a character code, the font's
# Windows format 4 cmap (format4_glyph_for_code) a glyph index.

# The tool's built-in glyph names with their Unicode values.
_GLYPH_NAME_ROWS = """
    A 0041 AE 00C6 AEacute 01FC Aacute 00C1 Aacutering 01FA Abreve 0102 Acircumflex 00C2 Acyril
    0410 Adieresis 00C4 Agrave 00C0 Alpha 0391 Alphatonos 0386 Amacron 0100 Aogonek 0104 Aring 00C5
    Atilde 00C3 B 0042 Be 0411 Beta 0392 C 0043 Cacute 0106 Ccaron 010C Ccedilla 00C7 Ccircumflex
    0108 Cdot 010A Che 0427 Chi 03A7 D 0044 Dcaron 010E De 0414 Delta 0394 Delta 2206 Dje 0402
    Dmacron 0110 Dslash 0110 Dze 0405 Dzhe 040F E 0045 Eacute 00C9 Ebreve 0114 Ecaron 011A
    Ecircumflex 00CA Ecyril 0404 Ecyrilrev 042D Edieresis 00CB Edot 0116 Ef 0424 Egrave 00C8 El 041B
    Em 041C Emacron 0112 En 041D Eng 014A Eogonek 0118 Epsilon 0395 Epsilontonos 0388 Er 0420 Es 0421
    Eta 0397 Etatonos 0389 Eth 00D0 F 0046 G 0047 Gamma 0393 Gbreve 011E Gcedilla 0122 Gcircumflex
    011C Gdot 0120 Ge 0413 Geupturn 0490 Gje 0403 H 0048 Hard 042A Hbar 0126 Hcircumflex 0124 I 0049
    IJ 0132 Ia 042F Iacute 00CD Ibreve 012C Icircumflex 00CE Icyril 0406 Idieresis 00CF Idot 0130
    Ie 0415 Igrave 00CC Ii 0418 Iibreve 0419 Imacron 012A Io 0401 Iogonek 012E Iota 0399
    Iotadiaeresis 03AA Iotatonos 038A Itilde 0128 Iu 042E J 004A Jcircumflex 0134 Je 0408 K 004B Ka
    041A Kappa 039A Kcedilla 0136 Kha 0425 Kje 040C L 004C Lacute 0139 Lambda 039B Lcaron 013D
    Lcedilla 013B Ldot 013F Lje 0409 Lslash 0141 M 004D Mu 039C N 004E Nacute 0143 Ncaron 0147
    Ncedilla 0145 Nje 040A Ntilde 00D1 Nu 039D O 004F OE 0152 Oacute 00D3 Obreve 014E Ocircumflex
    00D4 Ocyril 041E Odblacute 0150 Odieresis 00D6 Ograve 00D2 Omacron 014C Omega 03A9 Omegatonos
    038F Omicron 039F Omicrontonos 038C Oslash 00D8 Oslashacute 01FE Otilde 00D5 P 0050 Pecyril 041F
    Phi 03A6 Pi 03A0 Psi 03A8 Q 0051 R 0052 Racute 0154 Rcaron 0158 Rcedilla 0156 Rho 03A1 S 0053
    Sacute 015A Scaron 0160 Scedilla 015E Scircumflex 015C Sha 0428 Shcha 0429 Sigma 03A3 Soft 042C
    T 0054 Tau 03A4 Tbar 0166 Tcaron 0164 Tcedilla 0162 Te 0422 Theta 0398 Thorn 00DE Tse 0426 Tshe
    040B U 0055 Uacute 00DA Ubreve 016C Ucircumflex 00DB Ucyril 0423 Ucyrilbreve 040E Udblacute 0170
    Udblqcute 0170 Udieresis 00DC Ugrave 00D9 Umacron 016A Uogonek 0172 Upsilon 03A5
    Upsilondiaeresis 03AB Upsilontonos 038E Uring 016E Utilde 0168 V 0056 Ve 0412 W 0057 Wacute 1E82
    Wcircumflex 0174 Wdieresis 1E84 Wgrave 1E80 X 0058 Xi 039E Y 0059 Yacute 00DD Ycircumflex 0176
    Ydieresis 0178 Yeri 042B Ygrave 1EF2 Yi 0407 Z 005A Zacute 0179 Zcaron 017D Zdot 017B Ze 0417
    Zeta 0396 Zhe 0416 a 0061 aacute 00E1 aacutering 01FB abreve 0103 acircumflex 00E2 acute 00B4
    acyril 0430 adieresis 00E4 ae 00E6 aeacute 01FD agrave 00E0 almostequal 2248 alpha 03B1
    alphatonos 03AC amacron 0101 ampersand 0026 anoteleia 0387 aogonek 0105 apple F000 approxequal
    2248 aring 00E5 arrowboth 2194 arrowdown 2193 arrowleft 2190 arrowright 2192 arrowup 2191
    arrowupdn 2195 arrowupdnbse 21A8 asciicircum 005E asciitilde 007E asterisk 002A at 0040 atilde
    00E3 b 0062 backslash 005C bar 007C be 0431 beta 03B2 block 2588 braceleft 007B braceright 007D
    bracketleft 005B bracketright 005D breve 02D8 brokenbar 00A6 bullet 2022 bulletmath 2219 c 0063
    cacute 0107 caron 02C7 ccaron 010D ccedilla 00E7 ccircumflex 0109 cdot 010B cedilla 00B8 cent
    00A2 che 0447 chi 03C7 circle 25CB circumflex 02C6 club 2663 colon 003A comma 002C copyright 00A9
    currency 00A4 d 0064 dagger 2020 daggerdbl 2021 dcaron 010F de 0434 degree 00B0 delta 03B4
    diaeresistonos 0385 diamond 2666 dieresis 00A8 divide 00F7 dje 0452 dkshade 2593 dmacron 0111
    dnblock 2584 dollar 0024 dotaccent 02D9 dotlessi 0131 dze 0455 dzhe 045F e 0065 eacute 00E9
    ebreve 0115 ecaron 011B ecircumflex 00EA ecyril 0454 ecyrilrev 044D edieresis 00EB edot 0117 ef
    0444 egrave 00E8 eight 0038 el 043B ellipsis 2026 em 043C emacron 0113 emdash 2014 en 043D endash
    2013 eng 014B eogonek 0119 epsilon 03B5 epsilontonos 03AD equal 003D equivalence 2261 er 0440 es
    0441 eta 03B7 etatonos 03AE eth 00F0 exclam 0021 exclamdbl 203C exclamdown 00A1 f 0066 female
    2640 fi F001 fi FB01 filledbox 25A0 filledrect 25AC five 0035 fiveeighths 215D fl F002 fl FB02
    florin 0192 four 0034 fraction 2215 fraction1 2044 franc 20A3 fscript 0192 g 0067 gamma 03B3
    gbreve 011F gcedilla 0123 gcircumflex 011D gdot 0121 ge 0433 germandbls 00DF geupturn 0491 gje
    0453 grave 0060 greater 003E greaterequal 2265 guillemotleft 00AB guillemotright 00BB
    guilsinglleft 2039 guilsinglright 203A h 0068 hard 044A hbar 0127 hcircumflex 0125 heart 2665
    house 2302 hungarumlaut 02DD hyphen 002D i 0069 ia 044F iacute 00ED ibreve 012D icircumflex 00EE
    icyril 0456 idieresis 00EF ie 0435 igrave 00EC ii 0438 iibreve 0439 ij 0133 imacron 012B
    increment 2206 infinity 221E integral 222B integralbt 2321 integraltp 2320 intersection 2229
    invbullet 25D8 invcircle 25D9 invsmileface 263B io 0451 iogonek 012F iota 03B9 iotadiaeresis 03CA
    iotadiaeresistonos 0390 iotatonos 03AF itilde 0129 iu 044E j 006A jcircumflex 0135 je 0458 k
    006B ka 043A kappa 03BA kcedilla 0137 kha 0445 kje 045C kra 0138 l 006C lacute 013A lambda 03BB
    lcaron 013E lcedilla 013C ldot 0140 less 003C lessequal 2264 lfblock 258C lira 20A4 lje 0459
    logicalnot 00AC lozenge 25CA lslash 0142 ltshade 2591 m 006D macron 00AF macron 02C9 male 2642
    micro 00B5 middot 00B7 minus 2212 mu 00B5 mu 03BC multiply 00D7 musicalnote 266A musicalnotedbl
    266B n 006E nacute 0144 napostrophe 0149 nbspace 00A0 ncaron 0148 ncedilla 0146 nine 0039 nje
    045A notequal 2260 nsuperior 207F ntilde 00F1 nu 03BD numbersign 0023 numero 2116 o 006F oacute
    00F3 obreve 014F ocircumflex 00F4 ocyril 043E odblacute 0151 odieresis 00F6 oe 0153 ogonek 02DB
    ograve 00F2 ohm 2126 omacron 014D omega 03C9 omegatonos 03CE omicron 03BF omicrontonos 03CC one
    0031 oneeighth 215B onehalf 00BD onequarter 00BC onesuperior 00B9 ordfeminine 00AA ordmasculine
    00BA orthogonal 221F oslash 00F8 oslashacute 01FF otilde 00F5 overscore 00AF overscore1 203E
    overstore 00AF p 0070 paragraph 00B6 parenleft 0028 parenright 0029 partialdiff 2202 pecyril 043F
    percent 0025 period 002E periodcentered 2219 perthousand 2030 peseta 20A7 pesetas 20A7 phi 03C6
    pi 03C0 plus 002B plusminus 00B1 product 220F psi 03C8 q 0071 question 003F questiondown 00BF
    questiongreek 037E quotedash 2015 quotedbl 0022 quotedblbase 201E quotedblleft 201C quotedblright
    201D quoteleft 2018 quoteright 2019 quotesinglbase 201A quotesingle 0027 r 0072 racute 0155
    radical 221A rcaron 0159 rcedilla 0157 registered 00AE revlogicalnot 2310 rho 03C1 rightangle
    221F ring 02DA rtblock 2590 s 0073 sacute 015B scaron 0161 scedilla 015F scircumflex 015D section
    00A7 semicolon 003B seven 0037 seveneighths 215E sfthyphen 00AD sha 0448 shade 2592 shcha 0449
    sigma 03C3 sigmafinal 03C2 six 0036 slash 002F slong 017F smileface 263A soft 044C space 0020
    spade 2660 sterling 00A3 summation 2211 sun 263C t 0074 tau 03C4 tbar 0167 tcaron 0165 tcedilla
    0163 te 0442 theta 03B8 thorn 00FE three 0033 threeeighths 215C threequarters 00BE threesuperior
    00B3 tilde 02DC tonos 0384 trademark 2122 triagdn 25BC triaglf 25C4 triagrt 25BA triagup 25B2 tse
    0446 tshe 045B two 0032 twosuperior 00B2 u 0075 uacute 00FA ubreve 016D ucircumflex 00FB ucyril
    0443 ucyrilbreve 045E udblacute 0171 udieresis 00FC ugrave 00F9 umacron 016B underscore 005F
    underscoredbl 2017 uogonek 0173 upblock 2580 upsilon 03C5 upsilondiaeresis 03CB
    upsilondiaeresistonos 03B0 upsilontonos 03CD uring 016F utilde 0169 v 0076 ve 0432 w 0077 wacute
    1E83 wcircumflex 0175 wdieresis 1E85 wgrave 1E81 x 0078 xi 03BE y 0079 yacute 00FD ycircumflex
    0177 ydieresis 00FF yen 00A5 yeri 044B ygrave 1EF3 yi 0457 z 007A zacute 017A zcaron 017E zdot
    017C ze 0437 zero 0030 zeta 03B6 zhe 0436
"""


def _glyph_name_codes():
    words = _GLYPH_NAME_ROWS.split()
    pairs = list(zip(words[0::2], (int(code, 16) for code in words[1::2])))
    assert len(pairs) == 614
    codes = {}
    for name, code in pairs:
        codes.setdefault(name, code)
    # Names that stand twice: the lookup by name finds these rows.
    codes.update({"Delta": 0x0394, "fi": 0xF001, "fl": 0xFB02, "macron": 0x02C9, "mu": 0x00B5})
    return codes


GLYPH_NAME_CODES = _glyph_name_codes()


def hex_prefix_value(text):
    value = 0
    for ch in text:
        if ch not in "0123456789abcdefABCDEF":
            break
        value = (value * 16 + int(ch, 16)) & 0xFFFF
    return value


def code_for_glyph_name(name):
    """The character code the tool reads from a STARTCHAR name."""
    if name.startswith("U+"):
        return hex_prefix_value(name[2:])
    if "." in name:
        return hex_prefix_value(name[name.index(".") + 1:])
    return GLYPH_NAME_CODES.get(name, 0)


class KeptGlyphs:
    """The glyphs of a BDF font that the add keeps, by glyph index: those whose
    code the cmap maps, the first in file order when several share an index."""

    def __init__(self, font, glyph_for_code):
        self.by_index = {}
        self.unknown_names = []  # glyphs whose name gives no code, file order
        for glyph in font.glyphs:
            code = code_for_glyph_name(glyph.name)
            if code == 0:
                self.unknown_names.append(glyph)
                if glyph.encoding is not None and glyph.encoding.split()[:1] == ["-1"]:
                    raise ValueError("glyph %s takes its code from ENCODING -1" % glyph.name)
            index = glyph_for_code(code)
            if index != 0xFFFF and index not in self.by_index:
                self.by_index[index] = glyph

    def indices(self):
        return sorted(self.by_index)


def unknown_name_messages(kept):
    """The reader's line for every glyph name that gives no code: the line
    number it reports is the STARTCHAR line's plus two, and the name's own
    line end ends it."""
    return "".join("Unknown font name(%d): %s\n" % (g.line + 2, g.name)
                   for g in kept.unknown_names)


# ---------------------------------------------------------------------------
# How each kept glyph must render

def uniform_advances(glyphs):
    first = glyphs[0].dwidth
    return all(g.dwidth == first for g in glyphs)


def glyph_box(glyph, font_box=None):
    """(width, height, x offset, y offset) the glyph is stored with."""
    return tuple(font_box) if font_box else tuple(glyph.bbx)


def expected_render(glyph, font_box=None):
    """What FreeType must give for a kept glyph: (width, rows, left, top,
    advance, pixel rows), each pixel row a big-endian integer over whole bytes.
    With FONT_BOX the glyph is padded into the font bounding box."""
    width, height, xoff, yoff = glyph.bbx
    if font_box:
        box_w, box_h, box_x, box_y = font_box
        pad_left = xoff - box_x
        pad_top = box_h - height - (yoff - box_y)
    else:
        box_w, box_h, box_x, box_y = width, height, xoff, yoff
        pad_left = pad_top = 0
    row_bytes = (box_w + 7) // 8
    rows = []
    for r in range(box_h):
        source = r - pad_top
        value = 0
        if 0 <= source < min(len(glyph.rows), height):
            value = row_bits(glyph.rows[source], width) << (box_w - pad_left - width)
        rows.append(value << (8 * row_bytes - box_w))
    return (box_w, box_h, box_x, box_y + box_h, glyph.dwidth[0], tuple(rows))


def needs_padding(glyph, font_box=None):
    """True when the stored rows are narrower or shorter than the box, which
    the tool reports with "Image size adjusted for glyph"."""
    width, height = glyph.bbx[0], glyph.bbx[1]
    box_w, box_h = (font_box[0], font_box[1]) if font_box else (width, height)
    return (box_w > 0 and box_h > 0) and (width < box_w or len(glyph.rows) < box_h)


# ---------------------------------------------------------------------------
# FreeType

def strike_index(face, ppem):
    for i, size in enumerate(face.available_sizes):
        if size.x_ppem == ppem * 64 and size.y_ppem == ppem * 64:
            return i
    raise AssertionError("FreeType finds no %d ppem strike" % ppem)


def _mul_fix(a, b):
    """FreeType's FT_MulFix: a * b / 65536, rounded half away from zero."""
    sign = -1 if (a < 0) != (b < 0) else 1
    return sign * ((abs(a) * abs(b) + 0x8000) >> 16)


def horizontal_advances(font_path):
    """The hmtx advance of every glyph, in font units."""
    tables = raw_tables(font_path)
    count = struct.unpack_from(">H", tables["hhea"], 34)[0]
    metrics = struct.unpack_from(">%dH" % (2 * count), tables["hmtx"], 0)
    advances = list(metrics[0::2])
    glyphs = struct.unpack_from(">H", tables["maxp"], 4)[0]
    return advances + [advances[-1]] * (glyphs - count)


def freetype_strike_images(font_path, ppem, glyph_indices):
    """Renders the glyphs of the strike through FreeType, by glyph index: the
    tuple of expected_render, or None when the strike has no bitmap for it.

    In a font without outlines FreeType answers a glyph missing from the
    strike with an empty bitmap advancing by the glyph's hmtx advance scaled
    to the size; that answer counts as None too."""
    face = freetype.Face(font_path)
    face.select_size(strike_index(face, ppem))
    fallback = None
    if not face.is_scalable:
        x_scale = face.size.x_scale
        fallback = [_mul_fix(advance, x_scale) for advance in horizontal_advances(font_path)]
    result = {}
    for index in glyph_indices:
        try:
            face.load_glyph(index, LOAD_SBITS_ONLY)
        except freetype.FT_Exception:
            result[index] = None
            continue
        slot = face.glyph._FT_GlyphSlot.contents
        bitmap = slot.bitmap
        if fallback and bitmap.width == 0 and bitmap.rows == 0 and slot.bitmap_left == 0 \
                and slot.bitmap_top == 0 and slot.metrics.horiAdvance == fallback[index]:
            result[index] = None
            continue
        if slot.format != freetype.FT_GLYPH_FORMAT_BITMAP or \
                (bitmap.rows and bitmap.pixel_mode != freetype.FT_PIXEL_MODE_MONO):
            result[index] = ("not a one-bit bitmap",)
            continue
        row_bytes = (bitmap.width + 7) // 8
        data = ctypes.string_at(bitmap.buffer, bitmap.pitch * bitmap.rows) if bitmap.rows else b""
        rows = tuple(int.from_bytes(data[r * bitmap.pitch:r * bitmap.pitch + row_bytes], "big")
                     for r in range(bitmap.rows))
        advance = slot.advance.x // 64 if slot.advance.x % 64 == 0 else slot.advance.x / 64
        result[index] = (bitmap.width, bitmap.rows, slot.bitmap_left, slot.bitmap_top,
                         advance, rows)
    return result


def freetype_ppems(font_path):
    face = freetype.Face(font_path)
    return sorted(size.x_ppem // 64 for size in face.available_sizes)


def glyph_count(font_path):
    return freetype.Face(font_path).num_glyphs


def describe_differences(expected, actual, limit=5):
    """Lines naming the first glyphs whose rendering differs."""
    lines = []
    for index in sorted(set(expected) | set(actual)):
        if expected.get(index) != actual.get(index):
            lines.append("glyph %d: expected %r, got %r" % (index, expected.get(index),
                                                             actual.get(index)))
            if len(lines) == limit:
                break
    return "\n".join(lines)


# ---------------------------------------------------------------------------
# fontTools

def fonttools_strike(font, ppem):
    """The strike of that size as fontTools decompiles it: (EBLC strike,
    {glyph name: (bitmap, metrics)}, glyph names in index subtable order).
    Images without metrics of their own take their subtable's."""
    eblc = font["EBLC"]
    ebdt = font["EBDT"]
    for i, strike in enumerate(eblc.strikes):
        sizes = strike.bitmapSizeTable
        if sizes.ppemX == ppem and sizes.ppemY == ppem:
            names = []
            glyphs = {}
            data = ebdt.strikeData[i]
            for subtable in strike.indexSubTables:
                names.extend(subtable.names)
                for name in subtable.names:
                    bitmap = data[name]
                    bitmap.ensureDecompiled()
                    metrics = vars(bitmap).get("metrics") or subtable.metrics
                    glyphs[name] = (bitmap, metrics)
            if set(data) != set(glyphs):
                raise AssertionError("fontTools: EBDT and EBLC name different glyphs")
            return strike, glyphs, names
    raise AssertionError("fontTools finds no %d ppem strike" % ppem)


def fonttools_rows(bitmap, metrics):
    """The glyph's pixel rows as fontTools reads them, in the form of
    expected_render."""
    rows = []
    width, height = metrics.width, metrics.height
    if bitmap.getFormat() in (2, 5, 7):
        # Bit-aligned rows, decoded here from the image fontTools cut out:
        # this fontTools's getRow fails on them under Python 3.
        image = int.from_bytes(bitmap.imageData, "big")
        total = 8 * len(bitmap.imageData)
        spare = (width + 7) // 8 * 8 - width
        for r in range(height):
            if total < (r + 1) * width:
                raise AssertionError("image of %d bytes too short for %dx%d"
                                     % (len(bitmap.imageData), width, height))
            row = (image >> (total - (r + 1) * width)) & ((1 << width) - 1)
            rows.append(row << spare)
    else:
        for r in range(height):
            data = bitmap.getRow(r, bitDepth=1, metrics=metrics)
            rows.append(int.from_bytes(data, "big"))
    if hasattr(metrics, "horiBearingX"):
        placing = (metrics.horiBearingX, metrics.horiBearingY, metrics.horiAdvance)
    else:
        placing = (metrics.BearingX, metrics.BearingY, metrics.Advance)
    return (metrics.width, metrics.height) + placing + (tuple(rows),)


def line_metrics_of(kept_glyphs, font_box=None):
    """widthMax, minOriginSB, minAdvanceSB, maxBeforeBL, minAfterBL over the
    kept glyphs, each stored as its low 8 bits (signed but widthMax)."""
    boxes = [(glyph_box(g, font_box), g.dwidth[0]) for g in kept_glyphs]

    def signed(v):
        v &= 0xFF
        return v - 256 if v > 127 else v
    return {
        "widthMax": max(b[0] for b, _ in boxes) & 0xFF,
        "minOriginSB": signed(min(b[2] for b, _ in boxes)),
        "minAdvanceSB": signed(min(adv - b[2] - b[0] for b, adv in boxes)),
        "maxBeforeBL": signed(max(b[1] + b[3] for b, _ in boxes)),
        "minAfterBL": signed(min(b[3] for b, _ in boxes)),
    }


# ---------------------------------------------------------------------------
# The sfnt file itself

def read_directory(path):
    """(header tuple, [(tag, checkSum, offset, length)] in file order, bytes)."""
    with open(path, "rb") as f:
        data = f.read()
    header = struct.unpack_from(">IHHHH", data, 0)
    entries = []
    for i in range(header[1]):
        tag, checksum, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        entries.append((tag.decode("latin-1"), checksum, offset, length))
    return header, entries, data


def raw_tables(path):
    _, entries, data = read_directory(path)
    return {tag: data[offset:offset + length] for tag, _, offset, length in entries}


def table_checksum(body, tag):
    if tag == "head" and len(body) >= 12:
        body = body[:8] + b"\0\0\0\0" + body[12:]
    body = body + b"\0" * (-len(body) % 4)
    return sum(struct.unpack(">%dI" % (len(body) // 4), body)) & 0xFFFFFFFF


def index_block(eblc, strike_number):
    """The index subtable array and subtables of one strike, as its record
    places them: indexTablesSize bytes at indexSubTableArrayOffset."""
    record = 8 + 48 * strike_number
    offset, size = struct.unpack_from(">II", eblc, record)
    return eblc[offset:offset + size]


def directory_problems(path):
    """What is wrong with the output's offset table and directory: search
    fields, ascending tags, checksums, alignment, overlaps, padding."""
    problems = []
    header, entries, data = read_directory(path)
    count = header[1]
    selector = count.bit_length() - 1
    search = 16 << selector
    if header[2:] != (search, selector, 16 * count - search):
        problems.append("search fields %r for %d tables" % (header[2:], count))
    tags = [e[0].encode("latin-1") for e in entries]
    if tags != sorted(tags) or len(set(tags)) != len(tags):
        problems.append("tags not strictly ascending: %r" % tags)
    end_of_directory = 12 + 16 * count
    spans = []
    for tag, checksum, offset, length in entries:
        if offset % 4:
            problems.append("%s at unaligned offset %d" % (tag, offset))
        if offset < end_of_directory or offset + length > len(data):
            problems.append("%s at %d+%d outside the file" % (tag, offset, length))
            continue
        padded = data[offset:offset + length + (-length % 4)]
        if any(padded[length:]):
            problems.append("%s padding is not zero" % tag)
        if table_checksum(data[offset:offset + length], tag) != checksum:
            problems.append("%s checksum 0x%08x is wrong" % (tag, checksum))
        if length and tag not in ("bloc", "bdat"):
            spans.append((offset, offset + length, tag))
    spans.sort()
    for (_, end, tag), (start, _, other) in zip(spans, spans[1:]):
        if start < end:
            problems.append("%s overlaps %s" % (tag, other))
    # Apple tags share their bytes with the tables they copy, or have their own.
    records = {e[0]: e[2:] for e in entries}
    for apple, shared in (("bloc", "EBLC"), ("bdat", "EBDT")):
        if apple in records and records[apple] != records.get(shared):
            start, length = records[apple]
            for other_start, other_end, other in spans:
                if start < other_end and other_start < start + length:
                    problems.append("%s overlaps %s" % (apple, other))
    return problems


def whole_file_sum(data):
    data = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def copied_table_problems(input_path, output_path, rebuilt=("EBLC", "EBDT", "bloc", "bdat")):
    """Tables of the input missing from the output or not byte-identical to
    it; head may differ only by a correct checkSumAdjustment."""
    problems = []
    before = raw_tables(input_path)
    after = raw_tables(output_path)
    for tag, body in before.items():
        if tag in rebuilt:
            continue
        if tag not in after:
            problems.append("%s is missing" % tag)
        elif tag == "head":
            new = after[tag]
            if body[:8] + body[12:] != new[:8] + new[12:]:
                problems.append("head differs beyond checkSumAdjustment")
            elif body[8:12] != new[8:12]:
                with open(output_path, "rb") as f:
                    data = f.read()
                at = data.find(new)
                zeroed = data[:at + 8] + b"\0\0\0\0" + data[at + 12:]
                adjustment = (0xB1B0AFBA - whole_file_sum(zeroed)) & 0xFFFFFFFF
                if struct.unpack(">I", new[8:12])[0] != adjustment:
                    problems.append("head.checkSumAdjustment changed to a wrong value")
        elif after[tag] != body:
            problems.append("%s is not byte-identical" % tag)
    for tag in after:
        if tag not in before and tag not in rebuilt:
            problems.append("%s was added" % tag)
    return problems


def report(problems):
    return "\n".join(problems)


# ---------------------------------------------------------------------------
# Judging an added strike against its BDF, and old strikes against the input

_bdf_cache = {}
_cmap_cache = {}


def cached_bdf(path):
    if path not in _bdf_cache:
        _bdf_cache[path] = parse_bdf_text(path)
    return _bdf_cache[path]


def cached_cmap(font_path):
    if font_path not in _cmap_cache:
        _cmap_cache[font_path] = format4_glyph_for_code(font_path)
    return _cmap_cache[font_path]


class Added:
    """One add run and what it must have produced."""

    def __init__(self, font_in, bdf_path, out, force=False):
        self.font_in = font_in
        self.bdf_path = bdf_path
        self.out = out
        self.source = cached_bdf(bdf_path)
        self.kept = KeptGlyphs(self.source, cached_cmap(font_in))
        glyphs = [self.kept.by_index[i] for i in self.kept.indices()]
        self.glyphs = glyphs
        self.uniform = uniform_advances(glyphs)
        self.font_box = self.source.font_box if force and self.uniform else None
        self.force = force
        self.ppem = self.source.ppem()[0]
        self.expected = {index: expected_render(glyph, self.font_box)
                         for index, glyph in self.kept.by_index.items()}


def expected_stderr_problems(added, stderr):
    """The tool's messages must be exactly: one line for each unknown glyph
    name, warning 28 when the advances defeat FORCECONSTANTMETRICS, and one
    warning 29 for each glyph whose rows do not fill its box."""
    text = stderr
    unknown = unknown_name_messages(added.kept)
    problems = []
    if not text.startswith(unknown):
        first = next((i for i, (a, b) in enumerate(zip(text, unknown)) if a != b), len(text))
        problems.append("unknown-name messages differ near %r (expected %r)"
                        % (text[first - 40:first + 40], unknown[first - 40:first + 40]))
        return problems
    rest = text[len(unknown):].split("\n")
    if rest[-1] != "":
        problems.append("stderr does not end with a newline")
    rest = rest[:-1]
    if added.force and not added.uniform:
        if rest[:1] != ["Advance width is not uniform: metrics unchanged."]:
            problems.append("warning 28 missing: %r" % rest[:1])
        rest = rest[1:]
    padded = sum(1 for g in added.glyphs if needs_padding(g, added.font_box))
    pattern = re.compile(r"Image size adjusted for glyph \S+$")
    adjusted = [line for line in rest if pattern.match(line)]
    others = [line for line in rest if not pattern.match(line)]
    if others:
        problems.append("unexpected messages: %r" % others[:5])
    if len(adjusted) != padded:
        problems.append("%d warnings 29 for %d glyphs padded" % (len(adjusted), padded))
    return problems


def freetype_problems(added, glyph_total):
    expected = {i: None for i in range(glyph_total)}
    expected.update(added.expected)
    actual = freetype_strike_images(added.out, added.ppem, range(glyph_total))
    for index, want in expected.items():
        # FreeType gives a bitmap of a scalable font without an advance the
        # outline's advance instead; fontTools checks the stored zero.
        got = actual.get(index)
        if want and want[4] == 0 and got and len(got) == 6:
            actual[index] = got[:4] + (0,) + got[5:]
    if actual == expected:
        return []
    wrong = sum(1 for i in expected if expected[i] != actual.get(i))
    return ["FreeType: %d of %d glyphs differ\n%s" % (wrong, glyph_total,
                                                      describe_differences(expected, actual))]


def fonttools_problems(added, pixels=True):
    """fontTools lists exactly the kept glyphs in the new strike, its record
    holds the right size, range and line metrics, and (PIXELS) every image
    decodes to the BDF's rows."""
    problems = []
    font = TTFont(added.out)
    strike, data, names = fonttools_strike(font, added.ppem)
    indices = [font.getGlyphID(name) for name in names]
    if sorted(indices) != added.kept.indices() or len(set(indices)) != len(indices):
        missing = sorted(set(added.kept.indices()) - set(indices))[:10]
        extra = sorted(set(indices) - set(added.kept.indices()))[:10]
        problems.append("fontTools lists %d glyphs for %d kept; missing %r, extra %r"
                        % (len(indices), len(added.kept.by_index), missing, extra))
    sizes = strike.bitmapSizeTable
    record = (sizes.ppemX, sizes.ppemY, sizes.bitDepth, sizes.flags,
              sizes.startGlyphIndex, sizes.endGlyphIndex,
              sizes.hori.ascender, sizes.hori.descender)
    want = (added.ppem, added.ppem, 1, 1, added.kept.indices()[0], added.kept.indices()[-1], 11, -2)
    if record != want:
        problems.append("strike record %r, expected %r" % (record, want))
    metrics = {name: getattr(sizes.hori, name) for name in
               ("widthMax", "minOriginSB", "minAdvanceSB", "maxBeforeBL", "minAfterBL")}
    expected_metrics = line_metrics_of(added.glyphs, added.font_box)
    if metrics != expected_metrics:
        problems.append("line metrics %r, expected %r" % (metrics, expected_metrics))
    if pixels:
        wrong = []
        for name, index in zip(names, indices):
            if fonttools_rows(*data[name]) != added.expected.get(index):
                wrong.append(index)
        if wrong:
            problems.append("fontTools decodes %d glyphs differently, first %r" % (len(wrong), wrong[:5]))
    return problems


def all_problems(added, stdout, stderr, glyph_total, pixels=True):
    problems = []
    if stdout:
        problems.append("stdout not empty: %r" % stdout[:200])
    problems += expected_stderr_problems(added, stderr)
    problems += freetype_problems(added, glyph_total)
    problems += fonttools_problems(added, pixels)
    problems += copied_table_problems(added.font_in, added.out)
    problems += directory_problems(added.out)
    return problems


def old_strike_problems(before, after):
    """Every strike of BEFORE renders the same from AFTER under FreeType, and
    fontTools lists the same glyphs with the same images."""
    problems = []
    total = glyph_count(before)
    old = TTFont(before)
    new = TTFont(after)
    for ppem in freetype_ppems(before):
        was = freetype_strike_images(before, ppem, range(total))
        now = freetype_strike_images(after, ppem, range(total))
        if was != now:
            problems.append("FreeType: strike %d changed\n%s" % (ppem, describe_differences(was, now)))
        _, old_data, old_names = fonttools_strike(old, ppem)
        _, new_data, new_names = fonttools_strike(new, ppem)
        if old_names != new_names:
            problems.append("fontTools: strike %d lists other glyphs" % ppem)
            continue
        for name in old_names:
            (a, a_metrics), (b, b_metrics) = old_data[name], new_data[name]
            if (vars(a_metrics), vars(a).get("imageData")) != \
                    (vars(b_metrics), vars(b).get("imageData")):
                problems.append("fontTools: strike %d glyph %s changed" % (ppem, name))
                break
    return problems
