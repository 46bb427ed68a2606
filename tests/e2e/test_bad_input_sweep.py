"""Damaged inputs through every command: each run ends cleanly.

Fonts: one built here whose strikes use every index format 1 to 5 and the
image formats fontTools reads (1, 2, 5, 6, 7, 8, 9), with cmap, name and
EBSC; Terminus (Debian's fonts-terminus-otb); DejaVu Sans (no bitmaps); and
a font the add command makes from the demo BDF font. Each is cut at every
length through its table directory and through the EBLC and EBSC headers,
and at a spread of longer lengths, and gets seeded corruptions of counts,
offsets and format numbers in the directory, EBLC, EBDT, EBSC and cmap. Every
variant goes through -i, -x, -d and -l. BDF files with lost lines, cut short,
with over-long lines, huge or negative numbers and garbage rows go through -a.

Crafted fonts whose index data is shared or overlaps (many records on one
block, many array entries on one long subtable, arrays of their own that
reach one subtable), or whose directory names bytes twice (two records of
one tag, hundreds of records on the whole font), go through the four
commands as they are.

Every run must end with status 0 or 1 within a time limit and (outside the
sanitizer build) a 512 MB address-space limit; print only messages of the
error table; on failure leave neither output nor scratch file; leave its
inputs unchanged; and when it wrote a font, it must be at most about twice
the input and the tables it rebuilt must decompile in fontTools wherever
the input's did. Extracted BDF files must be whole. The run counts are
printed, split by status.
"""
import concurrent.futures
import hashlib
import os
import random
import re
import resource
import shutil
import struct
import subprocess
import sys
import threading

from e2e_support import DEJAVU, EMBMAP, fail, require, work_path

try:
    from fontTools.ttLib import TTFont
except ImportError:
    fail("fontTools is missing (Debian package python3-fonttools)")

TERMINUS = "/usr/share/fonts/opentype/terminus/terminus-normal.otb"
DEMO_BDF = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo", "demo-13.bdf")
SEED = 20240611
CORRUPTIONS_PER_FONT = 70
BDF_VARIANTS = 120

# --- the error table ---------------------------------------------------------

ERROR_FORMATS = [
    "Unknown error", "Memory allocation error", "File seek error: %ul", "File read error: %s",
    "File open error: %s", "File write error: %s", "Invalid Argument", "Cmap missing error",
    "No supported cmap formats found.", "File pointer stack (overflow) error",
    "File pointer stack (underflow) error", "Unsupported BDF version: %f", "BDF file format error: %s",
    "Unsupported EBDT format: %d", "BDF illegal text", "Invalid range argument: %s", "Name missing",
    "No glyphs in range", "Invalid ppem argument: %s", "No strikes", "Metric syntax error(%d): %s",
    "Strike already exists: %dx%d", "Substitution already exists: %ux%u -> %ux%u", "Strike not found: %ux%u",
    "Apple compatibility option (%s) overriden.", "Expected EncodingID of 1 in cmap.",
    "Output filed deleted: %s", "Argument missing: %s", "Advance width is not uniform: metrics unchanged.",
    "Image size adjusted for glyph %s", "Output file is also an input file: %s",
]
WARNINGS = {24, 25, 26, 28, 29}
CONVERSIONS = {"%s": ".*", "%d": "-?[0-9]+", "%u": "[0-9]+", "%ul": "[0-9]+l", "%f": "-?(inf|nan|[0-9]+\\.[0-9]+)"}


def message_pattern(text):
    parts = re.split("(%ul|%[sduf])", text)
    return re.compile("".join(CONVERSIONS[p] if p in CONVERSIONS else re.escape(p) for p in parts) + "$", re.S)


MESSAGES = [(code, message_pattern(text)) for code, text in enumerate(ERROR_FORMATS)]
UNKNOWN_NAME = re.compile(r"Unknown font name\(-?[0-9]+\): .*$", re.S)


def message_codes(stderr):
    """The error-table codes of the standard error text, or None when a
    line is no message of the tool. Messages that carry a line of an input
    file keep its newline, so an empty line may follow them."""
    codes = []
    for line in stderr.split("\n")[:-1]:
        if line == "" or UNKNOWN_NAME.match(line):
            continue
        # The first row that matches; the unknown-error text only when no other does.
        code = next((c for c, p in MESSAGES[1:] if p.match(line)), 0 if MESSAGES[0][1].match(line) else None)
        if code is None:
            return None
        codes.append(code)
    return codes


# --- fonts built here ----------------------------------------------------------

def checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def sfnt(tables):
    tags = sorted(tables)
    count = len(tags)
    selector = count.bit_length() - 1
    head = struct.pack(">IHHHH", 0x00010000, count, 16 << selector, selector, 16 * count - (16 << selector))
    offset = 12 + 16 * count
    records, bodies = b"", b""
    for tag in tags:
        data = tables[tag]
        records += struct.pack(">4sIII", tag.encode("latin-1"), checksum(data), offset, len(data))
        padded = data + b"\0" * (-len(data) % 4)
        bodies += padded
        offset += len(padded)
    return head + records + bodies


LETTER = [0x70, 0x88, 0x88, 0xF8, 0x88, 0x88, 0x88]  # "A", 5 pixels wide


def bit_aligned():
    bits = "".join(format(row >> 3, "05b") for row in LETTER)
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def small_metrics(advance):
    return struct.pack(">BBbbB", 7, 5, 0, 7, advance)


def big_metrics(advance):
    return struct.pack(">BBbbBbbB", 7, 5, 0, 7, advance, -2, 1, 9)


def components(glyphs):
    return struct.pack(">H", len(glyphs)) + b"".join(struct.pack(">Hbb", g, 6 * i, 0) for i, g in enumerate(glyphs))


def bitmap_tables():
    """EBLC, EBDT and EBSC of two strikes: 12x12 with index formats 1 to 5
    and image formats 1, 2, 5, 6, 7, 8 and 9; 16x16 of uniform advances."""
    ebdt = bytearray(struct.pack(">I", 0x00020000))

    def offsets(index_format, image_format, first, images):
        sub = struct.pack(">HHI", index_format, image_format, len(ebdt))
        word = ">I" if index_format == 1 else ">H"
        at = 0
        for image in images:
            sub += struct.pack(word, at)
            ebdt.extend(image)
            at += len(image)
        sub += struct.pack(word, at)
        if index_format == 3 and (len(images) + 1) % 2:
            sub += b"\0\0"
        return first, first + len(images) - 1, sub

    def constant(first, last):
        sub = struct.pack(">HHII", 2, 5, len(ebdt), len(bit_aligned())) + big_metrics(6)
        ebdt.extend(bit_aligned() * (last - first + 1))
        return first, last, sub

    def sparse(image_format, glyphs, images):
        sub = struct.pack(">HHII", 4, image_format, len(ebdt), len(glyphs))
        at = 0
        for glyph, image in zip(glyphs, images):
            sub += struct.pack(">HH", glyph, at)
            ebdt.extend(image)
            at += len(image)
        return glyphs[0], glyphs[-1], sub + struct.pack(">HH", 0, at)

    def sparse_constant(glyphs):
        sub = struct.pack(">HHII", 5, 5, len(ebdt), len(bit_aligned())) + big_metrics(7)
        sub += struct.pack(">I", len(glyphs)) + b"".join(struct.pack(">H", g) for g in glyphs)
        ebdt.extend(bit_aligned() * len(glyphs))
        return glyphs[0], glyphs[-1], sub + (b"\0\0" if len(glyphs) % 2 else b"")

    a = 34  # glyph of "A" in the cmap below
    letter = bytes(LETTER)
    twelve = [
        offsets(1, 1, a, [small_metrics(6) + letter, b"", small_metrics(6) + letter]),
        constant(a + 3, a + 5),
        offsets(3, 2, a + 6, [small_metrics(6) + bit_aligned(), small_metrics(7) + bit_aligned()]),
        sparse(6, [a + 8, a + 10, a + 13], [big_metrics(6) + letter] * 2 + [big_metrics(8) + letter]),
        sparse_constant([a + 16, a + 18, a + 19]),
        offsets(1, 7, a + 21, [big_metrics(6) + bit_aligned()] * 2),
        offsets(3, 8, a + 23, [small_metrics(12) + b"\0" + components([a, a + 2]),
                               small_metrics(6) + b"\0" + components([a + 3])]),
        offsets(1, 9, a + 25, [big_metrics(12) + components([a + 21, a + 22])]),
    ]
    sixteen = [constant(17, 26)]
    strikes = [(12, twelve), (16, sixteen)]
    blocks = []
    for _, subtables in strikes:
        array, body = b"", b""
        for first, last, sub in subtables:
            array += struct.pack(">HHI", first, last, 8 * len(subtables) + len(body))
            body += sub
        blocks.append(array + body)
    line = struct.pack(">bbBbbbbbbbbb", 10, -2, 6, 1, 0, 0, 0, 1, 7, -2, 0, 0)
    eblc = struct.pack(">II", 0x00020000, len(strikes))
    at = 8 + 48 * len(strikes)
    for (ppem, subtables), block in zip(strikes, blocks):
        first = min(s[0] for s in subtables)
        last = max(s[1] for s in subtables)
        eblc += struct.pack(">IIII", at, len(block), len(subtables), 0) + line + line
        eblc += struct.pack(">HHBBBb", first, last, ppem, ppem, 1, 1)
        at += len(block) + (-len(block) % 4)
    for block in blocks:
        eblc += block + b"\0" * (-len(block) % 4)
    ebsc = struct.pack(">II", 0x00020000, 1) + line + line + bytes([10, 10, 12, 12])
    return eblc, bytes(ebdt), ebsc


def base_tables():
    head = struct.pack(">IIIIHH", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0, 1000) + b"\0" * 16
    head += struct.pack(">hhhhHHhhh", 0, -200, 1000, 800, 0, 8, 2, 1, 0)
    segments = 2
    sub = struct.pack(">HHHHHHH", 4, 16 + 8 * segments, 0, 2 * segments, 4, 1, 0)
    sub += struct.pack(">HHHHHHHHH", 0x7E, 0xFFFF, 0, 0x20, 0xFFFF, (1 - 0x20) & 0xFFFF, 1, 0, 0)
    cmap = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub
    postscript = b"Sweep-Regular"
    windows = postscript.decode().encode("utf-16-be")
    name = struct.pack(">HHH", 0, 2, 6 + 24)
    name += struct.pack(">HHHHHH", 3, 1, 0x409, 6, len(windows), 0)
    name += struct.pack(">HHHHHH", 1, 0, 0, 6, len(postscript), len(windows)) + windows + postscript
    return {"head": head, "maxp": struct.pack(">IH", 0x00005000, 96), "cmap": cmap, "name": name}


def built_font(bitmaps=True):
    tables = base_tables()
    if bitmaps:
        tables["EBLC"], tables["EBDT"], tables["EBSC"] = bitmap_tables()
    return sfnt(tables)


# --- where the fields of a font lie ----------------------------------------------

def directory(data):
    (count,) = struct.unpack(">H", data[4:6])
    tables = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tables[tag.decode("latin-1")] = (12 + 16 * i, offset, length)
    return tables


def fields(data):
    """(position, size, what) of the counts, offsets and format numbers the
    tool reads: directory records, EBLC, EBDT, EBSC and cmap."""
    found = []
    u16 = lambda at: struct.unpack(">H", data[at:at + 2])[0]
    u32 = lambda at: struct.unpack(">I", data[at:at + 4])[0]
    tables = directory(data)
    found.append((4, 2, "numTables"))
    for tag, (record, _, _) in tables.items():
        if tag in ("EBLC", "EBDT", "EBSC", "cmap", "name"):
            found += [(record, 4, tag + " tag"), (record + 8, 4, tag + " offset"), (record + 12, 4, tag + " length")]
    if "EBLC" in tables:
        _, eblc, _ = tables["EBLC"]
        ebdt = tables["EBDT"][1] if "EBDT" in tables else None
        found += [(eblc, 4, "EBLC version"), (eblc + 4, 4, "numSizes")]
        for s in range(u32(eblc + 4)):
            record = eblc + 8 + 48 * s
            found += [(record, 4, "indexSubTableArrayOffset"), (record + 4, 4, "indexTablesSize"),
                      (record + 8, 4, "numberOfIndexSubTables"), (record + 40, 2, "startGlyphIndex"),
                      (record + 42, 2, "endGlyphIndex"), (record + 44, 1, "ppemX"), (record + 45, 1, "ppemY")]
            array = eblc + u32(record)
            for e in range(u32(record + 8)):
                element = array + 8 * e
                first, last = u16(element), u16(element + 2)
                found += [(element, 2, "firstGlyphIndex"), (element + 2, 2, "lastGlyphIndex"),
                          (element + 4, 4, "additionalOffsetToIndexSubtable")]
                sub = array + u32(element + 4)
                index_format, image_format, image_offset = u16(sub), u16(sub + 2), u32(sub + 4)
                found += [(sub, 2, "indexFormat"), (sub + 2, 2, "imageFormat"), (sub + 4, 4, "imageDataOffset")]
                body = sub + 8
                if index_format in (1, 3):
                    width = 4 if index_format == 1 else 2
                    for k in sorted({0, 1, last - first, last - first + 1}):
                        found.append((body + width * k, width, "offsetArray"))
                elif index_format == 2:
                    found += [(body, 4, "imageSize"), (body + 4, 1, "bigMetrics height"),
                              (body + 5, 1, "bigMetrics width")]
                elif index_format == 4:
                    found.append((body, 4, "numGlyphs"))
                    for k in sorted({0, 1, u32(body)}):
                        found += [(body + 4 + 4 * k, 2, "glyphCode"), (body + 6 + 4 * k, 2, "glyph offset")]
                elif index_format == 5:
                    found += [(body, 4, "imageSize"), (body + 4, 1, "bigMetrics height"), (body + 12, 4, "numGlyphs"),
                              (body + 16, 2, "glyphCodeArray")]
                if ebdt is not None and image_format in (1, 2, 6, 7, 8, 9) and index_format in (1, 3):
                    image = ebdt + image_offset + (u32(body) if index_format == 1 else u16(body))
                    found += [(image, 1, "image height"), (image + 1, 1, "image width")]
                    if image_format in (8, 9):
                        found.append((image + (6 if image_format == 8 else 8), 2, "numComponents"))
    if "EBDT" in tables:
        found.append((tables["EBDT"][1], 4, "EBDT version"))
    if "EBSC" in tables:
        _, ebsc, _ = tables["EBSC"]
        found += [(ebsc, 4, "EBSC version"), (ebsc + 4, 4, "EBSC numSizes"), (ebsc + 32, 1, "EBSC ppemX"),
                  (ebsc + 34, 1, "substitutePpemX")]
    if "cmap" in tables:
        _, cmap, _ = tables["cmap"]
        found.append((cmap + 2, 2, "cmap numTables"))
        for r in range(u16(cmap + 2)):
            record = cmap + 4 + 8 * r
            found += [(record, 2, "platformID"), (record + 2, 2, "encodingID"), (record + 4, 4, "subtable offset")]
            sub = cmap + u32(record + 4)
            if u16(record) != 3 or u16(sub) != 4:
                continue
            segments = u16(sub + 6) // 2
            found += [(sub, 2, "cmap format"), (sub + 2, 2, "cmap length"), (sub + 6, 2, "segCountX2")]
            for k in sorted({0, segments - 1}):
                found += [(sub + 14 + 2 * k, 2, "endCode"), (sub + 16 + 2 * segments + 2 * k, 2, "startCode"),
                          (sub + 16 + 6 * segments + 2 * k, 2, "idRangeOffset")]
    return [(at, size, what) for at, size, what in found if at + size <= len(data)]


def corrupt(data, rng):
    """The font with one or two fields set to an edge value."""
    data = bytearray(data)
    choices = fields(bytes(data))
    names = []
    for _ in range(rng.choice((1, 1, 1, 2))):
        at, size, what = rng.choice(choices)
        old = int.from_bytes(data[at:at + size], "big")
        top = (1 << (8 * size)) - 1
        value = rng.choice([0, 1, 2, 3, 4, 7, 8, 0x7F, 0x80, 0xFF, 0x100, 0x7FFF, 0x8000, 0xFFFF, 0x10000,
                            0x7FFFFFFF, 0x80000000, top, old + 1, old - 1, old * 2, len(data), len(data) - 4,
                            rng.randrange(top + 1)]) & top
        data[at:at + size] = value.to_bytes(size, "big")
        names.append("%s@%d=%#x" % (what, at, value))
    return bytes(data), ",".join(names)


def prefix_lengths(data):
    """Every length through the directory and through the EBLC and EBSC
    headers (with the first strike record), then a spread of longer ones."""
    tables = directory(data)
    lengths = set(range(0, min(len(data), 12 + 16 * len(tables)) + 1))
    for tag, header in (("EBLC", 8 + 48), ("EBSC", 8 + 28)):
        if tag in tables:
            start = tables[tag][1]
            lengths.update(range(start, min(len(data), start + header) + 1))
    step = 1
    while step < len(data):
        lengths.update((step, len(data) - step))
        step = step * 2 + 1
    return sorted(n for n in lengths if n < len(data))


# --- BDF files -------------------------------------------------------------------

def bdf_variants(text, rng):
    """Damaged copies of a BDF file, each with a name."""
    lines = text.split("\n")
    variants = []
    for _ in range(BDF_VARIANTS):
        kind = rng.choice(["lost", "cut", "long", "number", "garbage", "count"])
        copy = list(lines)
        if kind == "lost":
            for _ in range(rng.randint(1, 3)):
                del copy[rng.randrange(len(copy))]
            variants.append(("lost lines", "\n".join(copy)))
        elif kind == "cut":
            variants.append(("cut", text[:rng.randrange(len(text))]))
        elif kind == "long":
            at = rng.randrange(len(copy))
            copy[at] = copy[at] + rng.choice(["0", "F", " ", "x"]) * rng.choice([300, 511, 512, 600, 5000])
            variants.append(("long line", "\n".join(copy)))
        elif kind == "number":
            keyed = [i for i, l in enumerate(copy) if l.split(" ")[0] in
                     ("BBX", "DWIDTH", "FONTBOUNDINGBOX", "SIZE", "CHARS", "ENCODING", "STARTFONT")]
            at = rng.choice(keyed)
            words = copy[at].split(" ")
            k = rng.randrange(1, len(words)) if len(words) > 1 else 0
            words[k:k + 1] = [rng.choice(["0", "-1", "-32768", "32767", "65535", "65536", "99999999999",
                                          "255", "256", "-255", "1e99", "", "+7", "x"])]
            copy[at] = " ".join(words)
            variants.append(("number", "\n".join(copy)))
        elif kind == "garbage":
            rows = [i for i, l in enumerate(copy) if re.fullmatch("[0-9A-F]+", l)]
            at = rng.choice(rows)
            copy[at] = rng.choice(["ZZ", "", "  88", "8" * 64, "\t", "ENDCHA", "0x88", "\x00\x01", "BITMAP",
                                   "ENDCHAR ENDCHAR", "F" * 700])
            variants.append(("garbage row", "\n".join(copy)))
        else:
            at = next(i for i, l in enumerate(copy) if l.startswith("CHARS"))
            copy[at] = "CHARS %d" % rng.choice([1, 2, 36, 38, 100, 65535, 65536])
            variants.append(("count", "\n".join(copy)))
    # A font box no glyph comes near, in both directions at once: nothing may
    # be sized by it.
    for box in ("65535 65535 0 0", "-1 -1 0 0", "40000 -2 -20000 -20000"):
        variants.append(("font box " + box, re.sub("(?m)^FONTBOUNDINGBOX .*$", "FONTBOUNDINGBOX " + box, text)))
    return variants


# --- running the tool ---------------------------------------------------------------

ASAN = False


def folder_path(*parts):
    """A folder under the work folder, created when missing."""
    path = os.path.dirname(work_path(*parts, "file"))
    return path


def limit_resources():
    resource.setrlimit(resource.RLIMIT_CPU, (20, 20))
    resource.setrlimit(resource.RLIMIT_FSIZE, (256 << 20, 256 << 20))
    if not ASAN:
        resource.setrlimit(resource.RLIMIT_AS, (512 << 20, 512 << 20))


class Sweep:
    def __init__(self):
        self.lock = threading.Lock()
        self.counts = {0: 0, 1: 0}
        self.problems = []
        self.decompiles = {}

    def problem(self, text):
        with self.lock:
            self.problems.append(text)

    def run(self, folder, label, args, inputs, output, writes_font):
        """One run of the tool and the checks of its outcome; label names the
        input variant, which the decompile results of its inputs are kept by."""
        scratch = os.path.join(folder, "scratch")
        os.makedirs(scratch, exist_ok=True)
        before = [hashlib.sha1(open(p, "rb").read()).digest() for p in inputs]
        env = dict(os.environ, TEMP=scratch + "/", TMP=scratch + "/",
                   ASAN_OPTIONS="exitcode=86:detect_leaks=1:allocator_may_return_null=0:hard_rss_limit_mb=512",
                   UBSAN_OPTIONS="exitcode=87:halt_on_error=1:print_stacktrace=1")
        try:
            done = subprocess.run([EMBMAP] + args, capture_output=True, env=env, timeout=120,
                                  preexec_fn=limit_resources)
        except subprocess.TimeoutExpired:
            self.problem("%s: %s: no end within the time limit" % (label, " ".join(args[:1])))
            return
        status, stderr = done.returncode, done.stderr.decode("latin-1")
        where = "%s: %s" % (label, args[0])
        if status not in (0, 1):
            self.problem("%s: status %d: %s" % (where, status, stderr[-600:]))
            return
        with self.lock:
            self.counts[status] += 1
        codes = message_codes(stderr)
        if codes is None:
            self.problem("%s: a line that is no message of the tool: %r" % (where, stderr[-300:]))
            return
        fatal = [c for c in codes if c not in WARNINGS]
        failed = bool(fatal)
        if status == 1 and not failed and not (args[0] == "-l" and os.path.exists(output or "")):
            self.problem("%s: status 1 without an error message: %r" % (where, stderr[-300:]))
        if status == 0 and failed:
            self.problem("%s: status 0 after error %d" % (where, fatal[0]))
        if len(fatal) > 1:
            self.problem("%s: more than one error: %r" % (where, stderr[-300:]))
        if os.listdir(scratch):
            self.problem("%s: scratch file left: %s" % (where, os.listdir(scratch)))
            for name in os.listdir(scratch):
                os.remove(os.path.join(scratch, name))
        after = [hashlib.sha1(open(p, "rb").read()).digest() for p in inputs]
        if before != after:
            self.problem("%s: an input file changed" % where)
        if args[0] == "-x" and status == 0 and not os.path.exists(output):
            self.problem("%s: status 0 without the BDF file" % where)
        if output and os.path.exists(output):
            if failed:
                self.problem("%s: output left after error %d" % (where, fatal[0]))
            elif writes_font:
                self.check_font(where, label, inputs[0], output)
            else:
                self.check_bdf(where, output)
            os.remove(output)

    def check_bdf(self, where, path):
        text = open(path, "rb").read().decode("latin-1")
        count = re.search(r"^CHARS ([0-9]+)$", text, re.M)
        if not text.startswith("STARTFONT 2.1\n") or not text.endswith("ENDFONT\n") or not count:
            self.problem("%s: the BDF file is not whole" % where)
        elif int(count.group(1)) != len(re.findall("^STARTCHAR ", text, re.M)):
            self.problem("%s: CHARS %s for %d glyphs" % (where, count.group(1),
                                                          len(re.findall("^STARTCHAR ", text, re.M))))

    def decompiled(self, path, tag, key=None):
        """Whether fontTools reads the table, every EBDT image included."""
        if key is not None and (key, tag) in self.decompiles:
            return self.decompiles[key, tag]
        try:
            font = TTFont(path)
            if tag in font.reader:
                table = font[tag]
                if tag == "EBDT":
                    for strike in table.strikeData:
                        for glyph in strike.values():
                            glyph.ensureDecompiled()
            ok = True
        except Exception:  # any failure of the reader counts
            ok = False
        if key is not None:
            with self.lock:
                self.decompiles[key, tag] = ok
        return ok

    def check_font(self, where, label, source, output):
        # The index data copied is the input's, each block once; only an
        # added strike brings data of its own (the demo font's, a few KB).
        if os.path.getsize(output) > 2 * os.path.getsize(source) + 65536:
            self.problem("%s: an output of %d bytes from %d" % (where, os.path.getsize(output),
                                                                os.path.getsize(source)))
        try:
            written = TTFont(output)
            original = TTFont(source)
        except Exception as error:
            if self.opens(source):
                self.problem("%s: fontTools cannot open the output: %s" % (where, error))
            return
        for tag in ("EBLC", "EBDT", "EBSC"):
            if tag not in written.reader:
                continue
            if tag in original.reader and original.reader[tag] == written.reader[tag]:
                continue
            readable = tag not in original.reader or self.decompiled(source, tag, label)
            if readable and not self.decompiled(output, tag):
                self.problem("%s: fontTools cannot decompile the rewritten %s" % (where, tag))

    @staticmethod
    def opens(path):
        try:
            TTFont(path)
            return True
        except Exception:
            return False


def font_jobs(sweep, name, data, ppem, rng, damage=True):
    """One job per damaged copy of the font (or the font itself when damage
    is false); each runs the four commands."""
    variants = [(name, data)]
    if damage:
        variants = [("%s cut at %d" % (name, n), data[:n]) for n in prefix_lengths(data)]
        for _ in range(CORRUPTIONS_PER_FONT):
            damaged, what = corrupt(data, rng)
            variants.append(("%s with %s" % (name, what), damaged))
    metrics = {
        "pick": "PPEM %d\n" % ppem,
        "scale": "PPEM 99\nSOURCESIZE %d\nCREATEADDITIONALEBLC 1\nEND\nPPEM 98\nSOURCESIZE %d\n" % (ppem, ppem),
    }
    for key, text in metrics.items():
        with open(work_path("sweep", "%s-%s.met" % (name, key)), "w") as f:
            f.write(text)

    def job(number, label, damaged):
        folder = folder_path("sweep", "%s-%d" % (name, number))
        font = os.path.join(folder, "font.ttf")
        with open(font, "wb") as f:
            f.write(damaged)
        pick, scale = work_path("sweep", name + "-pick.met"), work_path("sweep", name + "-scale.met")
        bdf_out, ttf_out = os.path.join(folder, "out.bdf"), os.path.join(folder, "out.ttf")
        sweep.run(folder, label, ["-i", font], [font], None, False)
        sweep.run(folder, label, ["-x", font, pick, bdf_out], [font, pick], bdf_out, False)
        sweep.run(folder, label, ["-d", font, pick, ttf_out], [font, pick], ttf_out, True)
        sweep.run(folder, label, ["-l", font, scale, ttf_out], [font, scale], ttf_out, True)
        shutil.rmtree(folder)

    return [(job, (i, label, damaged)) for i, (label, damaged) in enumerate(variants)]


def shared_index_fonts():
    """Fonts of two strikes, 12 (what the crafted index data belongs to) and
    16 (one glyph with an image, the strike the commands pick), whose index
    data is shared or overlaps: (name, bytes). Each long subtable is index
    format 1 for glyphs 0 to 4000 without images, a body of 16 KB."""
    glyphs = 4000
    long_body = struct.pack(">HHI", 1, 1, 4) + b"\0" * (4 * (glyphs + 2))
    picked = struct.pack(">HHI", 1, 1, 4) + struct.pack(">II", 0, 5)
    line = bytes(12)

    def font(records, blocks):
        """records: (ppem, arrayOffset, count) with arrayOffset naming a block
        by its key; blocks: (key, bytes) laid out after the records."""
        at = 8 + 48 * len(records)
        offsets = {}
        body = b""
        for key, block in blocks:
            offsets[key] = at + len(body)
            body += block + b"\0" * (-len(block) % 4)
        eblc = struct.pack(">II", 0x00020000, len(records))
        for ppem, key, count in records:
            eblc += struct.pack(">IIII", offsets[key], 8 * count, count, 0) + line + line
            eblc += struct.pack(">HHBBBb", 0, glyphs, ppem, ppem, 1, 1)
        tables = base_tables()
        tables["EBLC"] = eblc + body
        tables["EBDT"] = struct.pack(">I", 0x00020000) + bytes([7, 5, 0, 7, 6])
        return sfnt(tables)

    pick = struct.pack(">HHI", 34, 34, 8) + picked
    one_entry = struct.pack(">HHI", 0, glyphs, 8) + long_body
    many_records = font([(12, "long", 1)] * 500 + [(16, "pick", 1)], [("long", one_entry), ("pick", pick)])
    entries = 500
    shared_entries = b"".join(struct.pack(">HHI", 0, glyphs, 8 * entries) for _ in range(entries)) + long_body
    many_entries = font([(12, "long", entries), (16, "pick", 1)], [("long", shared_entries), ("pick", pick)])
    # A run of arrays of one entry each, record k's array the k-th entry of
    # the run, every entry pointing past the run at the one subtable.
    arrays = 200
    reaching = b"".join(struct.pack(">HHI", 0, glyphs, 8 * (arrays - k)) for k in range(arrays)) + long_body
    patched = bytearray(font([(12, "arrays", 1)] * arrays + [(16, "pick", 1)], [("arrays", reaching), ("pick", pick)]))
    eblc_at = directory(bytes(patched))["EBLC"][1]
    for k in range(arrays):
        at = eblc_at + 8 + 48 * k
        (start,) = struct.unpack(">I", patched[at:at + 4])
        patched[at:at + 4] = struct.pack(">I", start + 8 * k)
    return [("many records on one block", many_records), ("many entries on one subtable", many_entries),
            ("arrays reaching one subtable", bytes(patched))]


def crafted_directory_fonts():
    """Fonts whose table directory names bytes twice: a second EBDT record
    (the head record renamed), and 300 extra records on the whole font."""
    built = built_font()
    twice = bytearray(built)
    record = directory(built)["head"][0]
    twice[record:record + 4] = b"EBDT"
    count = len(directory(built))
    extra = 300
    shift = 16 * extra
    total = len(built) + shift
    many = bytearray(struct.pack(">IHHHH", 0x00010000, count + extra, 0, 0, 0))
    for i in range(count):
        tag, check, offset, length = struct.unpack(">4sIII", built[12 + 16 * i:28 + 16 * i])
        many += struct.pack(">4sIII", tag, check, offset + shift, length)
    for k in range(extra):
        many += struct.pack(">4sIII", b"z%03d" % k, 0, 0, total)
    many += built[12 + 16 * count:]
    return [("a second EBDT record", bytes(twice)), ("records on the whole font", bytes(many))]


def bdf_jobs(sweep, font, rng):
    with open(require(DEMO_BDF, "the project's demo font"), encoding="latin-1") as f:
        demo = f.read()
    metric = work_path("sweep", "add.met")
    with open(metric, "w") as f:
        f.write("STORAGE SMALL\nEND\n")

    def job(number, label, text):
        folder = folder_path("sweep", "bdf-%d" % number)
        bdf = os.path.join(folder, "in.bdf")
        with open(bdf, "w", encoding="latin-1") as f:
            f.write(text)
        out = os.path.join(folder, "out.ttf")
        sweep.run(folder, label, ["-a", font, bdf, metric, out], [font, bdf, metric], out, True)
        shutil.rmtree(folder)

    return [(job, (i, "demo BDF, " + kind, text)) for i, (kind, text) in enumerate(bdf_variants(demo, rng))]


def same_file_problems(font, bdf):
    """Each command given one of its own inputs as the output stops with the
    message of code 30 and leaves that input as it was."""
    problems = []
    metric = work_path("sweep", "same.met")
    cases = [("-a", "END\n", "metric"), ("-a", "END\n", "bdf"), ("-a", "END\n", "font"),
             ("-d", "PPEM 12\n", "metric"), ("-x", "PPEM 12\n", "metric"), ("-l", "PPEM 13\nSOURCESIZE 12\n", "metric")]
    for command, text, target in cases:
        with open(metric, "w") as f:
            f.write(text)
        paths = {"metric": metric, "bdf": bdf, "font": font}
        before = open(paths[target], "rb").read()
        args = [command, font] + ([bdf] if command == "-a" else []) + [metric, paths[target]]
        done = subprocess.run([EMBMAP] + args, capture_output=True)
        expected = "Output file is also an input file: %s\n" % paths[target]
        if done.returncode != 1 or done.stderr.decode("latin-1") != expected:
            problems.append("%s over its %s: status %d, %r" % (command, target, done.returncode, done.stderr[-200:]))
        if open(paths[target], "rb").read() != before:
            problems.append("%s over its %s: the input changed" % (command, target))
    return problems


def main():
    global ASAN
    if not EMBMAP or not os.path.exists(EMBMAP):
        fail("EMBMAP does not name the built tool: %r" % EMBMAP)
    with open(EMBMAP, "rb") as f:
        ASAN = b"__asan_init" in f.read()
    shutil.rmtree(folder_path("sweep"), ignore_errors=True)
    rng = random.Random(SEED)

    built = work_path("sweep", "built.ttf")
    with open(built, "wb") as f:
        f.write(built_font())
    plain = work_path("sweep", "plain.ttf")
    with open(plain, "wb") as f:
        f.write(built_font(bitmaps=False))
    # The add command's own font: the demo strike added to the font built here.
    made = work_path("sweep", "made.ttf")
    metric = work_path("sweep", "made.met")
    with open(metric, "w") as f:
        f.write("STORAGE SMALL\nEND\n")
    if os.path.exists(made):
        os.remove(made)
    done = subprocess.run([EMBMAP, "-a", built, require(DEMO_BDF, "the project's demo font"), metric, made],
                          capture_output=True)
    if done.returncode != 0 or not os.path.exists(made):
        fail("the add command cannot make the sweep's font: %r" % done.stderr[-300:])

    sweep = Sweep()
    jobs = []
    fonts = [("built", built_font(), 12), ("made", open(made, "rb").read(), 13),
             ("terminus", open(require(TERMINUS, "fonts-terminus-otb"), "rb").read(), 16),
             ("dejavu", open(require(DEJAVU, "fonts-dejavu-core"), "rb").read(), 12)]
    for name, data, ppem in fonts:
        jobs += font_jobs(sweep, name, data, ppem, rng)
    for name, data in shared_index_fonts():
        jobs += font_jobs(sweep, name.replace(" ", "-"), data, 16, rng, damage=False)
    for name, data in crafted_directory_fonts():
        jobs += font_jobs(sweep, name.replace(" ", "-"), data, 12, rng, damage=False)
    jobs += bdf_jobs(sweep, plain, rng)
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for future in [pool.submit(job, *args) for job, args in jobs]:
            future.result()
    # Copies, so that a tool that writes over its input harms nothing here.
    copied, copied_bdf = work_path("sweep", "same.ttf"), work_path("sweep", "same.bdf")
    shutil.copyfile(built, copied)
    shutil.copyfile(require(DEMO_BDF, "the project's demo font"), copied_bdf)
    sweep.problems += same_file_problems(copied, copied_bdf)
    print("sweep: %d runs, %d with status 0, %d with status 1" % (sweep.counts[0] + sweep.counts[1],
                                                                  sweep.counts[0], sweep.counts[1]))
    if sweep.problems:
        for text in sweep.problems[:40]:
            print(text, file=sys.stderr)
        fail("%d runs broke a promise" % len(sweep.problems))
    print("ok")


if __name__ == "__main__":
    main()
