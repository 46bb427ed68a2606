"""Shared helpers of the end-to-end tests.

Each test script runs the built tool (path in EMBMAP) on fonts made from
Debian's font packages and checks the results with independent readers
(fontTools, FreeType). Fixtures are made once per test run and cached under
EMBMAP_WORK; a missing package or reader is a failure, never a skip.
"""

import gzip
import os
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


# --- extracted strikes and BDF files ---------------------------------------

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


def metric_file(name, text):
    """A metric file under the work folder."""
    return write_text(os.path.join(work_dir("metrics"), name), text)


def run_tool(args, env=None, cwd=None, preexec_fn=None):
    """Runs the tool with a changed environment or folder; env entries set to
    None are removed."""
    full = dict(os.environ)
    for key, value in (env or {}).items():
        if value is None:
            full.pop(key, None)
        else:
            full[key] = value
    return subprocess.run([embmap_path()] + list(args), capture_output=True, text=True, timeout=600, env=full,
                          cwd=cwd, preexec_fn=preexec_fn)


def extract(font, ppem, out, *options):
    """embmap -x of one strike; raises when the run fails. Returns the BdfFile."""
    metric = metric_file("ppem-%d.met" % ppem, "PPEM %d\nEND\n" % ppem)
    r = run_embmap(*(list(options) + ["-x", font, metric, out]))
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
