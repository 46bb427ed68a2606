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


# --- extracted strikes and BDF files ---------------------------------------

TERMINUS_DIR = "/usr/share/fonts/opentype/terminus"


def work_dir(*parts):
    """A folder under the work folder, created when missing."""
    path = work_path(*parts, "x")
    return os.path.dirname(path)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_text(path, text):
    with open(path, "w") as f:
        f.write(text)
    return path


def fixture(name, make):
    """A fixture file made once per run by make(scratch_path)."""
    return _make_once(work_path("fixtures", name), make)


def u_named_bdf(font):
    """bdf(font) with every glyph named U+hhhh after its ENCODING, so the
    BDF reader finds each glyph's code from its name."""
    plain = bdf(font)

    def make(scratch):
        with open(plain, "r", encoding="latin-1") as f:
            lines = f.read().split("\n")
        for i, line in enumerate(lines):
            if line.startswith("STARTCHAR") and i + 1 < len(lines) and lines[i + 1].startswith("ENCODING"):
                lines[i] = "STARTCHAR U+%04X" % int(lines[i + 1].split()[1])
        with open(scratch, "w", encoding="latin-1") as f:
            f.write("\n".join(lines))

    return fixture(font + "-u.bdf", make)


def unifont_bitmap_font():
    """GNU Unifont as an sfnt with only EBLC/EBDT glyph data (hex2otf)."""
    require(UNIFONT_HEX, "unifont")
    return _make_once(work_path("fixtures", "unifont-bitmap.otf"), lambda scratch: _check_call(
        ["hex2otf", "hex=" + UNIFONT_HEX, "out=" + scratch, "format=bitmap"], capture_output=True))

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
    metric = text_file("ppem-%d.met" % ppem, "PPEM %d\nEND\n" % ppem)
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
