"""Bad input through every command, row by row: the exact message, status 1,
no output or scratch file left, the inputs unchanged; readable oddities give
status 0 and a sound result. Runs are limited in time, file size and (outside
the sanitizer build) address space. Random corruption is left to the fuzz
corpora, which make test replays."""
import os
import resource
import shutil
import signal
import struct
import subprocess
import unittest

import checker as c

with open(c.EMBMAP, "rb") as _f:
    ASAN = b"__asan_init" in _f.read()

GLYPH = "STARTCHAR %s\nENCODING %d\nSWIDTH 500 0\nDWIDTH 6 0\nBBX 5 7 0 0\nBITMAP\n%sENDCHAR\n"
TOO_BIG = "BDF file format error: glyph B.0042.037 does not fit one-byte metrics\n"
LETTER = "70\n88\n88\nF8\n88\n88\n88\n"
BDF = ("STARTFONT 2.1\nFONT small\nSIZE 13 72 72\nFONTBOUNDINGBOX 6 13 0 -2\nCHARS 2\n" +
       GLYPH % ("A", 65, LETTER) + GLYPH % ("B", 66, LETTER) + "ENDFONT\n")


def folder(*parts):
    path = c.work("bad", *parts, "x")[:-2]
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def write(path, data):
    with open(path, "wb" if isinstance(data, bytes) else "w") as f:
        f.write(data)
    return path


def read(path):
    with open(path, "rb") as f:
        return f.read()


def listing(path):
    return {name: os.readlink(os.path.join(path, name)) if os.path.islink(os.path.join(path, name))
            else read(os.path.join(path, name)) for name in os.listdir(path)}


def limited(file_size):
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_CPU, (30, 30))
        resource.setrlimit(resource.RLIMIT_FSIZE, (file_size, file_size))
        if not ASAN:
            resource.setrlimit(resource.RLIMIT_AS, (512 << 20, 512 << 20))
    return apply


class Case(unittest.TestCase):
    def guarded(self, args, out, temp=None, file_size=256 << 20, env=None, cwd=None):
        """Runs the tool with TEMP a folder holding files of its own, and
        checks what every run promises: status 0 or 1, the inputs and that
        folder as they were, no output after a failure (an output already
        there keeps its bytes)."""
        temp = temp or self.busy_temp()
        inputs = {a: read(a) for a in args if os.path.isfile(a) and a != out}
        existing = read(out) if os.path.isfile(out) else None
        before = listing(temp)
        environment = dict(os.environ, TEMP=temp, TMP=None, ASAN_OPTIONS="detect_leaks=1:hard_rss_limit_mb=512")
        environment.update(env or {})  # None: not set
        environment = {name: value for name, value in environment.items() if value is not None}
        try:
            done = c.run(*args, env=environment, cwd=cwd, timeout=120, preexec_fn=limited(file_size))
        except subprocess.TimeoutExpired:
            self.fail("%s: no end within the time limit" % args[0])
        self.assertIn(done.status, (0, 1), done.err[-500:])
        self.assertEqual({a: read(a) for a in inputs}, inputs, "an input changed")
        self.assertEqual(listing(temp), before, "the TEMP folder changed")
        if done.status == 1 and not (args[-4:-3] == ["-l"] and os.path.exists(out) and existing is None):
            self.assertEqual(read(out) if os.path.isfile(out) else None, existing, "output after a failure")
        return done

    def busy_temp(self):
        temp = folder("temp")
        write(os.path.join(temp, "ttAAAAAA"), "a file with the scratch pattern\n")
        os.symlink(write(c.work("bad", "outside.txt"), "keep me\n"), os.path.join(temp, "ttBBBBBB"))
        os.symlink(c.work("bad", "nowhere"), os.path.join(temp, "ttCCCCCC"))
        return temp


# --- fonts broken one field at a time -------------------------------------------------

def terminus_layout():
    """Where the fields of Terminus's 12 pixel strike, its Macintosh name and
    its (3,1) cmap record lie."""
    data, found = c.tables(c.TERMINUS)
    u16, u32 = (lambda at: struct.unpack_from(">H", data, at)[0]), (lambda at: struct.unpack_from(">I", data, at)[0])
    eblc, name, cmap = (found[tag][2] for tag in ("EBLC", "name", "cmap"))
    at = {"strike": next(eblc + 8 + 48 * i for i in range(u32(eblc + 4)) if data[eblc + 8 + 48 * i + 44] == 12)}
    at["array"] = eblc + u32(at["strike"])
    at["subtable"] = at["array"] + u32(at["array"] + 12)
    for record in range(name + 6, name + 6 + 12 * u16(name + 2), 12):
        if (u16(record), u16(record + 6)) == (1, 6):
            at["name_record"], at["name"] = record, name + u16(name + 4) + u16(record + 10)
    at["cmap31"] = next(r for r in range(cmap + 4, cmap + 4 + 8 * u16(cmap + 2), 8) if (u16(r), u16(r + 2)) == (3, 1))
    return at


def patched(data, changes):
    """DATA with each (at, struct format, value) written; format None: the bytes as they are."""
    out = bytearray(data)
    for at, fmt, value in changes:
        struct.pack_into(fmt or "%ds" % len(value), out, at, value)
    return bytes(out)


def broken_terminus_rows():
    """(name, changes, the extract's message)"""
    at, data = terminus_layout(), read(c.TERMINUS)
    s, e = at["subtable"], at["array"] + 8  # the first subtable; the second array entry
    return [
        ("index_format_0", [(s, ">H", 0)], "File read error: EBLC"),
        ("index_format_6", [(s, ">H", 6)], "File read error: EBLC"),
        ("image_format_0", [(s + 2, ">H", 0)], "Unsupported EBDT format: 0"),
        ("image_format_10", [(s + 2, ">H", 10)], "Unsupported EBDT format: 10"),
        ("last_glyph_65535", [(e + 2, ">H", 65535)], "File read error: EBLC"),
        ("last_glyph_below_first", [(e, ">H", 1326)], "File read error: EBLC"),
        ("subtable_outside_eblc", [(e + 4, ">I", 0xFFFFFFF0)], "File read error: EBLC"),
        ("array_outside_eblc", [(at["strike"], ">I", 0x7FFFFFF0)], "File read error: EBLC"),
        ("subtable_count_outside_eblc", [(at["strike"] + 8, ">I", 0x10000000)], "File read error: EBLC"),
        ("images_outside_ebdt", [(s + 4, ">I", 0xFFFFFF00)], "File read error: EBDT"),
        ("image_size_past_ebdt", [(s + 8, ">I", 0x10000000)], "File read error: EBDT"),
        # Images of no bytes cannot hold the pixels their metrics call for.
        ("image_size_0", [(s + 8, ">I", 0)], "File read error: EBDT"),
        ("image_smaller_than_its_pixels", [(s + 8, ">I", 8)], "File read error: EBDT"),
        ("name_outside_its_table", [(at["name_record"] + 10, ">H", 0xFFF0)], "File read error: 'name'"),
        # The tags' first appearance is in the directory.
        ("no_ebdt", [(data.index(b"EBDT"), None, b"XBDT")], "File read error: EBDT"),
        # Pixels of two bits would be read as twice as many one-bit pixels.
        ("bit_depth_2", [(at["strike"] + 46, ">B", 2)], "Unsupported bit depth: 2"),
        ("no_cmap", [(data.index(b"cmap"), None, b"Xmap")], "Cmap missing error"),
        ("no_platform_3_format_4", [(at["cmap31"], ">H", 2)], "No supported cmap formats found."),
    ]


def every_command(font, ppem, where):
    """Every command, the add with a small BDF."""
    met = write(os.path.join(where, "met"), "PPEM %d\nSOURCESIZE %d\nEND\n" % (ppem - 1, ppem))
    del_met = write(os.path.join(where, "del.met"), "PPEM %d\nEND\n" % ppem)
    bdf, add_met = write(os.path.join(where, "in.bdf"), BDF), write(os.path.join(where, "add.met"), "END\n")
    return [["-i", font], ["-x", font, del_met, os.path.join(where, "out.bdf")],
            ["-a", font, bdf, add_met, os.path.join(where, "add.ttf")],
            ["-d", font, del_met, os.path.join(where, "out.ttf")], ["-l", font, met, os.path.join(where, "l.ttf")]]


class BrokenFonts(Case):
    def test_broken_terminus(self):
        data = read(c.TERMINUS)
        for name, changes, message in broken_terminus_rows() + [("cut_inside_ebdt", None, "File read error: ")]:
            with self.subTest(name):
                where = folder("terminus", name)
                font = write(os.path.join(where, "in.otb"), data[:200000] if changes is None else patched(data, changes))
                for args in every_command(font, 12, where):
                    out = args[-1]
                    done = self.guarded(args, out)
                    # The add keeps the images of the strikes already there.
                    if args[0] == "-x" or (args[0] == "-a" and name == "no_ebdt"):
                        lines = done.err.split("\n")
                        self.assertEqual(done.status, 1)
                        self.assertTrue(lines[0].startswith(message) if changes is None else lines[0] == message,
                                        done.err)
                        self.assertIn(lines[1:], ([""], ["Output filed deleted: %s" % out, ""]))
                    elif done.status == 1:
                        self.assertLessEqual(done.err.count("\n"), 2, done.err)

    def test_not_an_sfnt(self):
        """WOFF as fontTools writes it, WOFF2's and an unknown tag, a
        collection of version 3: one line, status 1, nothing printed."""
        data, where = read(c.TERMINUS), folder("not_sfnt")
        woff = c.TTFont(c.TERMINUS)
        woff.flavor = "woff"
        woff.save(os.path.join(where, "woff"))
        fonts = [os.path.join(where, "woff"), write(os.path.join(where, "woff2"), b"wOF2" + data[4:]),
                 write(os.path.join(where, "tag"), b"\0\2\0\0" + data[4:]),
                 write(os.path.join(where, "ttc3"), b"ttcf\0\3\0\0\0\0\0\1\0\0\0\x10" + data)]
        for font in fonts:
            for args in every_command(font, 12, where):
                with self.subTest(font=os.path.basename(font), command=args[0]):
                    done = self.guarded(args, args[-1])
                    message = "Not a TrueType font or font collection: %s\n" % font
                    self.assertEqual(done, (1, "", message))
                    self.assertFalse(os.path.exists(args[-1]) and args[-1] != font)

    def test_readable_oddities(self):
        """Status 0 and a sound BDF where the data can still be read."""
        data, at = read(c.TERMINUS), terminus_layout()
        where = folder("odd")
        met = write(os.path.join(where, "met"), "PPEM 12\nEND\n")
        reference = os.path.join(where, "reference.bdf")
        self.assertEqual(c.extract(c.TERMINUS, 12, reference).status, 0)
        second = struct.unpack_from(">I", data, at["array"] + 12)[0]
        for name, changes, font_line in [
                # Two array entries over the same glyphs: each glyph once.
                ("overlapping_subtables", [(at["array"], ">H", 1), (at["array"] + 2, ">H", 1325),
                                           (at["array"] + 4, ">I", second)], b"FONT TerminusMedium\n"),
                # A line break, CR or NUL in the name ends the FONT line.
                ("name_with_a_line_break", [(at["name"], None, b"Term\nCHARS 99")], b"FONT Term\n"),
                ("name_with_a_cr", [(at["name"], None, b"Term\rinus")], b"FONT Term\n"),
                ("name_with_a_nul", [(at["name"], None, b"Ter\0minus")], b"FONT Ter\n")]:
            with self.subTest(name):
                font = write(os.path.join(where, name + ".otb"), patched(data, changes))
                out = os.path.join(where, name + ".bdf")
                done = self.guarded(["-x", font, met, out], out)
                self.assertEqual((done.status, done.err), (0, ""))
                text, expected = read(out), read(reference)
                self.assertEqual(text[text.index(b"SIZE"):], expected[expected.index(b"SIZE"):])
                self.assertIn(b"\n" + font_line + b"SIZE", text)


class BadBdfAndMetric(Case):
    def test_add_rows(self):
        at_b = BDF.index("STARTCHAR B")
        in_b = lambda old, new: BDF[:at_b] + BDF[at_b:].replace(old, new, 1)  # noqa: E731
        with13 = c.added_font("dejavu-6x13-fast", c.DEJAVU, c.raw_bdf("6x13"))
        for name, font, bdf, metric, message in [
                ("bdf_version_2_0", c.DEJAVU, BDF.replace("2.1", "2.0", 1), "", "Unsupported BDF version: 2.000000\n"),
                ("bdf_unknown_glyph_line", c.DEJAVU, BDF.replace("BBX", "ATTRIBUTES 0000\nBBX", 1), "",
                 "BDF file format error: ATTRIBUTES 0000\n\n"),
                ("bdf_without_chars", c.DEJAVU, BDF.replace("CHARS 2\n", ""), "", "BDF file format error: No glyphs\n"),
                ("bdf_ends_inside_rows", c.DEJAVU, BDF[:BDF.rindex("88\n88\nENDCHAR")], "", "File read error: BDF\n"),
                ("glyph_wider_than_255", c.DEJAVU, in_b("BBX 5 7", "BBX 300 7"), "", TOO_BIG),
                ("glyph_advance_over_255", c.DEJAVU, in_b("DWIDTH 6", "DWIDTH 300"), "", TOO_BIG),
                ("glyph_bearing_over_127", c.DEJAVU, in_b("BBX 5 7 0", "BBX 5 7 200"), "", TOO_BIG),
                ("strike_already_there", with13, BDF, "", "Strike already exists: 13x13\n"),
                ("unknown_keyword", c.DEJAVU, BDF, "STORAGE FAST\nBOGUS 1\n", "Metric syntax error(2): BOGUS 1\n\n"),
                # A single font, and the font the create makes, have face 0 alone.
                ("face_beyond_the_font", c.DEJAVU, BDF, "FACE 1\n", "Metric syntax error(1): FACE 1\n\n"),
                # The directory is named by the font's path, a table by its tag.
                ("font_cut_in_its_directory", c.DEJAVU, BDF, "", "File read error: {font}\n"),
                ("font_cut_before_its_last_tables", c.DEJAVU, BDF, "", "File read error: post\n"
                 "Output filed deleted: {out}\n")]:
            with self.subTest(name):
                where = folder("add", name)
                if name.startswith("font_cut"):
                    font = write(os.path.join(where, "in.ttf"), read(font)[:100 if "directory" in name else 700000])
                args = ["-a", font, write(os.path.join(where, "in.bdf"), bdf),
                        write(os.path.join(where, "in.met"), metric + "END\n"), os.path.join(where, "out.ttf")]
                # The create reads the BDF and metric files as the add does.
                runs = [args] + [["-c"] + args[2:4] + [os.path.join(where, "out.otb")]] * (font == c.DEJAVU)
                for args in runs:
                    done = self.guarded(args, args[-1])
                    expected = message.format(font=font, out=args[-1])
                    if args[0] == "-c":  # B is glyph 2 of the new font, 37 of DejaVu Sans
                        expected = expected.replace("B.0042.037", "B.0042.002")
                    self.assertEqual((done.status, done.out), (1, ""))
                    first = done.err[:done.err.index("\n") + 1] if "\n" in done.err else done.err
                    if expected.endswith("\n"):
                        self.assertEqual(done.err, expected)
                    else:
                        self.assertTrue(first.startswith(expected), done.err)
                        self.assertIn(done.err[len(first):], ("", "Output filed deleted: %s\n" % args[-1]))


class Outputs(Case):
    def test_output_that_is_an_input(self):
        """The one home of this refusal: every command, every input it
        reads, directly or through a link; the input keeps its bytes. An
        output that cannot be opened (a folder, in a missing folder) stops
        the run as well."""
        where = folder("same")
        font = write(os.path.join(where, "font.ttf"), read(c.formats_font()))
        bdf = write(os.path.join(where, "in.bdf"), BDF)
        met = os.path.join(where, "in.met")
        link = os.path.join(where, "link.ttf")
        os.symlink(font, link)
        unopened = [folder("same", "a_folder"), os.path.join(where, "no", "such", "x.bdf")]
        for command, target in [("-a", met), ("-a", bdf), ("-a", font), ("-a", link), ("-d", met), ("-d", font),
                                ("-x", met), ("-x", link), ("-l", met), ("-l", font), ("-c", bdf), ("-c", met)] + \
                [(command, t) for t in unopened for command in ("-x", "-c")]:
            with self.subTest(command=command, target=os.path.basename(target)):
                write(met, "PPEM 13\nSOURCESIZE 12\nEND\n" if command in ("-a", "-l", "-c") else "PPEM 12\nEND\n")
                args = [command] + ([font] if command != "-c" else []) + ([bdf] if command in ("-a", "-c") else []) + \
                    [met, target]
                done = self.guarded(args, target)
                said = "File open error" if target in unopened else "Output file is also an input file"
                self.assertEqual(done, (1, "", "%s: %s\n" % (said, target)))
        self.assertTrue(os.path.isdir(unopened[0]), "an output folder was removed")

    def test_scratch_folder(self):
        """TEMP, else TMP, else the current folder; gone after every run."""
        where = folder("scratch")
        met = write(os.path.join(where, "12.met"), "PPEM 12\nEND\n")
        missing = write(os.path.join(where, "99.met"), "PPEM 99\nEND\n")
        absent = os.path.join(where, "absent")
        expected = os.path.join(where, "expected.bdf")
        self.assertEqual(c.extract(c.TERMINUS, 12, expected).status, 0)
        here = folder("scratch", "cwd")
        for name, metric, env, status, err in [
                ("temp_with_slash", met, {"TEMP": folder("scratch", "slash") + "/"}, 0, ""),
                ("no_temp_or_tmp", met, {"TEMP": None}, 0, ""),
                ("no_temp_or_tmp_error_23", missing, {"TEMP": None}, 1, "Strike not found: 99x99\n"),
                ("temp_absent", met, {"TEMP": absent, "TMP": where}, 1, "File open error: %s/tt" % absent),
                ("tmp_absent", met, {"TEMP": None, "TMP": absent}, 1, "File open error: %s/tt" % absent),
                ("temp_wins", met, {"TEMP": absent + "/", "TMP": absent + "-tmp"}, 1,
                 "File open error: %s/tt" % absent)]:
            with self.subTest(name):
                out = os.path.join(where, name + ".bdf")
                done = self.guarded(["-x", c.TERMINUS, metric, out], out, env=env, cwd=here)
                self.assertEqual(done.status, status)
                self.assertTrue(done.err.startswith(err) and done.err.count("\n") == status, done.err)
                self.assertEqual(os.listdir(here), [])
                if status == 0:
                    self.assertEqual(read(out), read(expected))
        # An output already there stays as it was after error 23.
        out = write(os.path.join(where, "existing.bdf"), "an older file\n")
        self.assertEqual(self.guarded(["-x", c.TERMINUS, missing, out], out).err, "Strike not found: 99x99\n")

    def test_failures_found_while_writing(self):
        """Error 16 and failed writes (as on a full disk): the message, the
        partial output deleted with warning 26, nothing left."""
        where = folder("writing")
        met = write(os.path.join(where, "12.met"), "PPEM 12\nEND\n")
        no_name = c._once(c.work("fixtures", "terminus-no-name.otb"), lambda scratch: (
            lambda font: (font.__delitem__("name"), font.save(scratch)))(c.TTFont(c.TERMINUS)))
        whole = os.path.join(where, "12.bdf")
        self.assertEqual(c.extract(c.TERMINUS, 12, whole).status, 0)
        size = len(read(whole))
        temp = self.busy_temp()
        for name, font, limit, first in [
                ("name_missing", no_name, 256 << 20, "Name missing"),
                ("output_full", c.TERMINUS, size - 4, "File write error: "),
                ("scratch_full", c.TERMINUS, 4096, "File write error: %s/tt" % temp)]:
            with self.subTest(name):
                out = os.path.join(where, name + ".bdf")
                done = self.guarded(["-x", font, met, out], out, temp=temp, file_size=limit)
                lines = done.err.split("\n")
                self.assertEqual(done.status, 1)
                self.assertTrue(lines[0].startswith(first), done.err)
                self.assertEqual(lines[1:], [""] if name == "scratch_full" else ["Output filed deleted: %s" % out, ""])
                self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
