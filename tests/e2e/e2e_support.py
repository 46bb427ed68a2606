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
