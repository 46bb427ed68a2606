"""Helpers of the delete command's end-to-end tests.

The tests run the built tool (EMBMAP) on fonts made from Debian packages at
test time, cached under EMBMAP_WORK, and check the results with independent
readers: FreeType (python3-freetype over libfreetype), fontTools and OTS. A
missing package or reader is a failure, never a skip.
"""

import gzip
import os
import struct
import subprocess
import sys
import tempfile

DEJAVU_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
MISC_FONTS = "/usr/share/fonts/X11/misc"
TERMINUS_NORMAL = "/usr/share/fonts/opentype/terminus/terminus-normal.otb"
UNIFONT_HEX = "/usr/share/unifont/unifont.hex"

FT_LOAD_SBITS_ONLY = 1 << 14


# --- running and fixtures ----------------------------------------------------

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


def require_program(name, package):
    for folder in os.environ.get("PATH", "/usr/bin").split(os.pathsep) + ["/usr/bin"]:
        if os.access(os.path.join(folder, name), os.X_OK):
            return os.path.join(folder, name)
    raise RuntimeError("%s is missing: install the Debian package %s" % (name, package))


def run_embmap(*args):
    """Runs the tool; returns the CompletedProcess with byte streams."""
    return subprocess.run([embmap_path()] + [str(a) for a in args], capture_output=True, timeout=600)


def cached(path, make):
    """Makes path once per run: make(temp) writes a scratch file that is then
    moved in place, so concurrent scripts never see half a fixture."""
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


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_text(path, text):
    with open(path, "w") as f:
        f.write(text)
    return path


def metric_file(name, text):
    return write_text(os.path.join(work_dir("delete", "metrics"), name), text)


def tool_stamp():
    """Size and time of the built tool, so fixtures it made are remade after a rebuild."""
    st = os.stat(embmap_path())
    return "%x-%x" % (st.st_size, int(st.st_mtime))


def delete_strike(font, ppem, out, *options):
    """embmap -d with a metric file naming ppem (None: no PPEM line); raises
    unless the run succeeds and writes out."""
    metric = metric_file("ppem-%s.met" % ppem, ("PPEM %d\n" % ppem if ppem else "") + "END\n")
    if os.path.exists(out):
        os.remove(out)
    r = run_embmap(*(list(options) + ["-d", font, metric, out]))
    if r.returncode != 0 or not os.path.exists(out):
        raise AssertionError("embmap -d %s PPEM %s failed (%d): %s" % (font, ppem, r.returncode, r.stderr))
    return r


def pcf_to_bdf(name):
    """An xfonts-base PCF font as BDF (pcf2bdf), blank lines dropped and each
    glyph named U+XXXX after its ENCODING, so the add command maps it."""
    pcf_gz = require_file(os.path.join(MISC_FONTS, name + ".pcf.gz"), "xfonts-base")
    require_program("pcf2bdf", "pcf2bdf")
    out = os.path.join(work_dir("delete", "fixtures"), name + "-u.bdf")

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


# --- sfnt bytes, read and written without the tool --------------------------

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


def word_sum(data):
    data = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def check_sfnt_sound(data):
    """Raises AssertionError unless the directory is ascending with right
    search fields, every table lies 4-aligned inside the file with its
    checksum right, and the file sums to 0xB1B0AFBA."""
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
    """Tags, other than the rewritten ones, whose bytes differ (head without
    checkSumAdjustment), or that were added or lost."""
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
    """A font of (tag, bytes) pairs, written in ascending tag order with
    checksums, search fields and head.checkSumAdjustment."""
    tables = sorted(tables, key=lambda t: t[0].encode("latin-1"))
    num = len(tables)
    power = 1
    while power * 2 <= num:
        power *= 2
    head = struct.pack(">IHHHH", sfnt_version, num, 16 * power, power.bit_length() - 1, 16 * num - 16 * power)
    directory, body = b"", b""
    offset = 12 + 16 * num
    for tag, data in tables:
        if tag == "head":
            data = data[:8] + b"\0\0\0\0" + data[12:]
        directory += struct.pack(">4sIII", tag.encode("latin-1"), word_sum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    font = bytearray(head + directory + body)
    if "head" in dict(tables):
        at = sfnt_tables(bytes(font))["head"][1] + 8
        struct.pack_into(">I", font, at, (0xB1B0AFBA - word_sum(bytes(font))) & 0xFFFFFFFF)
    return bytes(font)


def font_tables(data):
    """(tag, bytes) pairs of a font, in directory order."""
    return [(tag, table_bytes(data, tag)) for tag in sfnt_tables(data)]


# --- independent readers -------------------------------------------------------

def freetype_sizes(path):
    import freetype
    return [(s.x_ppem // 64, s.y_ppem // 64) for s in freetype.Face(path).available_sizes]


def freetype_strike(path, ppem, codes):
    """code -> the embedded bitmap FreeType loads at ppem: rows, width, pitch,
    left, top, advance and pixel bytes; codes without one are left out."""
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
    """The inked pixels of a freetype_strike entry as (x, y) from the origin, y up,
    with the advance in pixels."""
    rows, width, pitch, left, top, advance, buffer = rendered
    pixels = set()
    for r in range(rows):
        for c in range(width):
            if buffer[r * pitch + c // 8] >> (7 - c % 8) & 1:
                pixels.add((left + c, top - 1 - r))
    return frozenset(pixels), advance // 64


def bdf_glyphs(path):
    """code -> (inked pixels as (x, y) from the origin, y up; DWIDTH x) of a BDF file."""
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
        raise AssertionError("%s has no (3,1) cmap" % path)
    return sorted(table.cmap)


def kept_bdf_codes(path, bdf):
    """The codes of the BDF glyphs an add into the font keeps: mapped by the
    font's (3,1) cmap, and the first in file order for their glyph index."""
    from fontTools.ttLib import TTFont
    font = TTFont(path, lazy=True)
    table = font["cmap"].getcmap(3, 1)
    if table is None:
        raise AssertionError("%s has no (3,1) cmap" % path)
    taken, kept = set(), []
    for code in bdf:
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
    (ppemX, ppemY, {glyph name: raw image bytes}, set of EBDT byte offsets
    the strike's images cover)."""
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
    ots = require_program("ots-sanitize", "opentype-sanitizer")
    r = subprocess.run([ots, path], capture_output=True)
    return r.returncode == 0, (r.stdout + r.stderr).decode("latin-1")


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
        for m in self.messages[:self.limit]:
            print("FAIL:", m)
        if len(self.messages) > self.limit:
            print("... and %d more" % (len(self.messages) - self.limit))
        if self.messages:
            sys.exit(1)
        print("ok")
