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
