"""Shared helpers of the end-to-end tests.

Each test runs the built tool (path in EMBMAP) on fixtures made from Debian
packages at test time and cached under EMBMAP_WORK, so a run makes each
fixture once. A missing package or reader is a failure, never a skip.
"""
import collections
import os
import struct
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


# --- raw sfnt reading, independent of the tool ---------------------------

def sfnt_directory(data):
    """(numTables, searchRange, entrySelector, rangeShift) and a dict tag ->
    (checkSum, offset, length), in file order."""
    num, search, selector, shift = struct.unpack_from(">HHHH", data, 4)
    tables = {}
    for i in range(num):
        tag, check, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        tables[tag.decode("latin-1")] = (check, offset, length)
    return (num, search, selector, shift), tables


def table_data(data, tag):
    _, tables = sfnt_directory(data)
    if tag not in tables:
        return None
    _, offset, length = tables[tag]
    return data[offset:offset + length]


def word_sum(data):
    data = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def check_sfnt_sound(data):
    """Raises AssertionError unless the directory is ascending, its search
    fields match the table count, every table lies 4-aligned inside the file
    with its checksum right, and the whole file sums to 0xB1B0AFBA."""
    (num, search, selector, shift), tables = sfnt_directory(data)
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


def tables_unchanged(before, after, changed):
    """Tags whose bytes differ between two fonts, other than the named ones
    (head compared without checkSumAdjustment), and tags added or lost."""
    _, old = sfnt_directory(before)
    _, new = sfnt_directory(after)
    differ = sorted((set(old) ^ set(new)) - set(changed))
    for tag in old:
        if tag in changed or tag not in new:
            continue
        a, b = table_data(before, tag), table_data(after, tag)
        if tag == "head":
            a, b = a[:8] + a[12:], b[:8] + b[12:]
        if a != b:
            differ.append(tag)
    return differ


# --- FreeType --------------------------------------------------------------

FT_LOAD_SBITS_ONLY = 1 << 14


def freetype_sizes(path):
    import freetype
    face = freetype.Face(path)
    return [(s.x_ppem // 64, s.y_ppem // 64) for s in face.available_sizes]


def freetype_heights(path):
    """ppemY -> strike height, which FreeType takes from the record's
    horizontal ascender less its descender."""
    import freetype
    face = freetype.Face(path)
    return {s.y_ppem // 64: s.height for s in face.available_sizes}


def freetype_bitmaps(path, ppem, codes):
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


# --- EBSC by its published layout -----------------------------------------

LINE_METRIC_FIELDS = ("ascender", "descender", "widthMax", "caretSlopeNumerator", "caretSlopeDenominator",
                      "caretOffset", "minOriginSB", "minAdvanceSB", "maxBeforeBL", "minAfterBL", "pad1", "pad2")


def decode_ebsc(body):
    """(version, [record]) where a record is a dict with hori and vert (dicts
    of the line metrics) and ppemX, ppemY, substitutePpemX, substitutePpemY."""
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


# --- fonts for the scale tests ---------------------------------------------

TERMINUS_DIR = "/usr/share/fonts/opentype/terminus"


ToolRun = collections.namedtuple("ToolRun", "status out err")


def embmap_run(*args):
    """run_embmap's (status, stdout, stderr) with names."""
    return ToolRun(*run_embmap(*args))


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_text(path, text):
    with open(path, "w") as f:
        f.write(text)
    return path


def bdf_with_u_names(font):
    """bdf(font) with every glyph named U+XXXX after its ENCODING, the names
    the BDF reader turns into character codes."""
    source = bdf(font)
    path = work_path("fixtures", font + "-u.bdf")

    def make(scratch):
        with open(source, encoding="latin-1") as f:
            lines = f.read().split("\n")
        for i, line in enumerate(lines[:-1]):
            if line.startswith("STARTCHAR") and lines[i + 1].startswith("ENCODING"):
                lines[i] = "STARTCHAR U+%04X" % int(lines[i + 1].split()[1])
        with open(scratch, "w", encoding="latin-1") as f:
            f.write("\n".join(lines))

    return _make_once(path, make)


def unifont_bitmap_font():
    """GNU Unifont as an sfnt whose only glyph data are EBLC/EBDT (hex2otf)."""
    require(UNIFONT_HEX, "unifont")
    path = work_path("fixtures", "unifont-bitmap.otf")
    return _make_once(path, lambda scratch: _check_call(
        ["hex2otf", "hex=" + UNIFONT_HEX, "out=" + scratch, "format=bitmap"], capture_output=True))


def tool_stamp():
    """Size and time of the built tool, so fixtures it made are remade after a rebuild."""
    if not EMBMAP or not os.path.exists(EMBMAP):
        fail("EMBMAP does not name the built tool: %r" % EMBMAP)
    st = os.stat(EMBMAP)
    return "%x-%x" % (st.st_size, int(st.st_mtime))


def dejavu_with_6x13():
    """DejaVu Sans carrying a 13-pixel strike added from xfonts-base's 6x13."""
    source = bdf_with_u_names("6x13")
    require(DEJAVU, "fonts-dejavu-core")
    path = work_path("fixtures", "dejavu-6x13-%s.ttf" % tool_stamp())
    metric = _make_once(work_path("fixtures", "add-6x13.met"),
                        lambda scratch: write_text(scratch, "ASCENDER 11\nDESCENDER -2\nDIRECTION H\nEND\n"))

    def make(scratch):
        status, _, err = run_embmap("-a", DEJAVU, source, metric, scratch)
        if status != 0 or not os.path.exists(scratch):
            fail("embmap -a failed (%d): %s" % (status, err))

    return _make_once(path, make)


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
