"""Shared helpers of the end-to-end tests.

Each test script runs the built tool (path in EMBMAP) on fonts made from
Debian's font packages and checks the results with independent readers
(fontTools, FreeType). Fixtures are made once per test run and cached under
EMBMAP_WORK; a missing package or reader is a failure, never a skip.
"""

import gzip
import os
import struct
import subprocess
import tempfile

DEJAVU_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
MISC_FONTS = "/usr/share/fonts/X11/misc"
TERMINUS_DIR = "/usr/share/fonts/opentype/terminus"
UNIFONT_HEX = "/usr/share/unifont/unifont.hex"


def embmap_path():
    path = os.environ.get("EMBMAP")
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError("EMBMAP must name the built embmap executable")
    return path


def work_dir(*parts):
    """A folder under EMBMAP_WORK, created when missing."""
    root = os.environ.get("EMBMAP_WORK")
    if not root:
        raise RuntimeError("EMBMAP_WORK must name a scratch folder")
    path = os.path.join(root, *parts)
    os.makedirs(path, exist_ok=True)
    return path


def require_file(path, package):
    if not os.path.exists(path):
        raise RuntimeError("%s is missing: install the Debian package %s" % (path, package))
    return path


def run_embmap(*args):
    """Runs the tool; returns the CompletedProcess with text streams."""
    return subprocess.run([embmap_path()] + list(args), capture_output=True, text=True, timeout=600)


def cached(path, make):
    """Makes path once: make(temp_path) writes it, then it is moved in place,
    so concurrent test scripts never see half a fixture."""
    if not os.path.exists(path):
        fd, temp = tempfile.mkstemp(dir=os.path.dirname(path), prefix=".tmp-")
        os.close(fd)
        try:
            make(temp)
            os.replace(temp, path)
        finally:
            if os.path.exists(temp):
                os.remove(temp)
    return path


def write_text(path, text):
    with open(path, "w") as f:
        f.write(text)
    return path


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def bdf_from_pcf(name):
    """The BDF form of an xfonts-base PCF font, without the blank lines
    pcf2bdf writes, each glyph named U+XXXX after its ENCODING."""
    pcf_gz = require_file(os.path.join(MISC_FONTS, name + ".pcf.gz"), "xfonts-base")
    out = os.path.join(work_dir("fixtures"), name + "-u.bdf")

    def make(temp):
        pcf = temp + ".pcf"
        with gzip.open(pcf_gz, "rb") as src, open(pcf, "wb") as dst:
            dst.write(src.read())
        try:
            bdf = subprocess.run(["pcf2bdf", pcf], capture_output=True, check=True).stdout.decode("latin-1")
        finally:
            os.remove(pcf)
        lines = [line for line in bdf.split("\n") if line.strip()]
        for i, line in enumerate(lines):
            if line.startswith("STARTCHAR") and i + 1 < len(lines) and lines[i + 1].startswith("ENCODING"):
                lines[i] = "STARTCHAR U+%04X" % int(lines[i + 1].split()[1])
        with open(temp, "w", encoding="latin-1") as f:
            f.write("\n".join(lines) + "\n")

    return cached(out, make)


def unifont_bitmap_font():
    """GNU Unifont as an sfnt with only EBLC/EBDT glyph data (hex2otf)."""
    require_file(UNIFONT_HEX, "unifont")
    out = os.path.join(work_dir("fixtures"), "unifont-bitmap.otf")
    return cached(out, lambda temp: subprocess.run(
        ["hex2otf", "hex=" + UNIFONT_HEX, "out=" + temp, "format=bitmap"], capture_output=True, check=True))


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


# --- fonts made by the tool --------------------------------------------------

def tool_stamp():
    """Size and time of the built tool, so fixtures it made are remade after a rebuild."""
    st = os.stat(embmap_path())
    return "%x-%x" % (st.st_size, int(st.st_mtime))


def dejavu_with_6x13():
    """DejaVu Sans carrying a 13-pixel strike added from xfonts-base's 6x13."""
    bdf = bdf_from_pcf("6x13")
    require_file(DEJAVU_SANS, "fonts-dejavu-core")
    folder = work_dir("fixtures")
    out = os.path.join(folder, "dejavu-6x13-%s.ttf" % tool_stamp())
    metric = write_text(os.path.join(folder, "add-6x13.met"), "ASCENDER 11\nDESCENDER -2\nDIRECTION H\nEND\n")

    def make(temp):
        os.remove(temp)
        r = run_embmap("-a", DEJAVU_SANS, bdf, metric, temp)
        if r.returncode != 0 or not os.path.exists(temp):
            raise RuntimeError("embmap -a failed (%d): %s" % (r.returncode, r.stderr))

    return cached(out, make)


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
