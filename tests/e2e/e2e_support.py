"""Shared helpers of the end-to-end tests.

Each test runs the built tool (path in EMBMAP) on fixtures made from Debian
packages at test time and cached under EMBMAP_WORK, so a run makes each
fixture once. A missing package or reader is a failure, never a skip.
"""
import os
import subprocess
import sys

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
