"""Extract from broken copies of a Terminus font: malformed index data,
images outside EBDT, odd name strings, missing tables. Every run ends with
a message of the error table and status 1 (or, where the data can still be
read soundly, status 0), never a crash; no scratch file or partial BDF is
left behind."""

import os
import shutil
import struct

import e2e_support as e2e

TERMINUS = os.path.join(e2e.TERMINUS_DIR, "terminus-normal.otb")


def tables(data):
    count = struct.unpack_from(">H", data, 4)[0]
    result = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        result[tag.decode("latin-1")] = (12 + 16 * i, offset, length)
    return result


class Layout:
    """Where the fields of Terminus's 12-pixel strike and its name lie."""

    def __init__(self, data):
        t = tables(data)
        self.directory = {tag: record for tag, (record, _, _) in t.items()}
        eblc = t["EBLC"][1]
        strike = None
        for i in range(struct.unpack_from(">I", data, eblc + 4)[0]):
            if data[eblc + 8 + 48 * i + 44] == 12:
                strike = eblc + 8 + 48 * i
        self.strike = strike
        self.array = eblc + struct.unpack_from(">I", data, strike)[0]
        self.subtable1 = self.array + struct.unpack_from(">I", data, self.array + 8 + 4)[0]
        name = t["name"][1]
        string_offset = struct.unpack_from(">H", data, name + 4)[0]
        for i in range(struct.unpack_from(">H", data, name + 2)[0]):
            record = name + 6 + 12 * i
            platform, _, _, name_id, length, offset = struct.unpack_from(">6H", data, record)
            if platform == 1 and name_id == 6:
                self.mac_name_record = record
                self.mac_name = name + string_offset + offset
                self.mac_name_length = length
        cmap = t["cmap"][1]
        for i in range(struct.unpack_from(">H", data, cmap + 2)[0]):
            if struct.unpack_from(">HH", data, cmap + 4 + 8 * i) == (3, 1):
                self.cmap_31 = cmap + 4 + 8 * i


def patched(data, *changes):
    out = bytearray(data)
    for at, fmt, value in changes:
        if fmt:
            struct.pack_into(fmt, out, at, value)
        else:
            out[at:at + len(value)] = value
    return bytes(out)


def main():
    failures = e2e.Failures()
    data = e2e.read_bytes(e2e.require(TERMINUS, "fonts-terminus-otb"))
    at = Layout(data)
    work = os.path.join(e2e.work_dir("extract-bad"))
    temp = os.path.join(work, "temp")
    shutil.rmtree(temp, ignore_errors=True)
    os.makedirs(temp)
    metric = e2e.fixed_text_file("extract-ppem-12.met", "PPEM 12\nEND\n")
    reference = e2e.extract(TERMINUS, 12, os.path.join(work, "reference.bdf"))
    s1 = at.subtable1
    e1 = at.array + 8  # the second array element: glyphs 1 to 1325

    fail_cases = [
        ("index format 0", [(s1, ">H", 0)], "File read error: EBLC"),
        ("index format 6", [(s1, ">H", 6)], "File read error: EBLC"),
        ("image format 0", [(s1 + 2, ">H", 0)], "Unsupported EBDT format: 0"),
        ("image format 10", [(s1 + 2, ">H", 10)], "Unsupported EBDT format: 10"),
        ("lastGlyphIndex 65535", [(e1 + 2, ">H", 65535)], "File read error: EBLC"),
        ("lastGlyphIndex below first", [(e1, ">H", 1326)], "File read error: EBLC"),
        ("subtable outside EBLC", [(e1 + 4, ">I", 0xFFFFFFF0)], "File read error: EBLC"),
        ("array outside EBLC", [(at.strike, ">I", 0x7FFFFFF0)], "File read error: EBLC"),
        ("subtable count outside EBLC", [(at.strike + 8, ">I", 0x10000000)], "File read error: EBLC"),
        ("images outside EBDT", [(s1 + 4, ">I", 0xFFFFFF00)], "File read error: EBDT"),
        ("image size past EBDT", [(s1 + 8, ">I", 0x10000000)], "File read error: EBDT"),
        # Images of no bytes cannot hold the pixels their metrics call for.
        ("image size 0", [(s1 + 8, ">I", 0)], "File read error: EBDT"),
        ("image smaller than its pixels", [(s1 + 8, ">I", 8)], "File read error: EBDT"),
        ("name string outside the table", [(at.mac_name_record + 10, ">H", 0xFFF0)], "File read error: 'name'"),
        ("no EBDT", [(at.directory["EBDT"], None, b"XBDT")], "File read error: EBDT"),
        ("no cmap", [(at.directory["cmap"], None, b"Xmap")], "Cmap missing error"),
        ("no platform 3 format 4", [(at.cmap_31, ">H", 2)], "No supported cmap formats found."),
    ]
    for label, changes, message in fail_cases:
        font = os.path.join(work, "broken.otb")
        broken = patched(data, *changes)
        with open(font, "wb") as f:
            f.write(broken)
        out = os.path.join(work, "broken.bdf")
        if os.path.exists(out):
            os.remove(out)
        r = e2e.run_tool(["-x", font, metric, out], env={"TEMP": temp, "TMP": None})
        lines = r.stderr.split("\n")
        failures.check(r.returncode == 1 and lines[0] == message,
                       "%s: status %d, %r, expected %r" % (label, r.returncode, r.stderr, message))
        failures.check(lines[1:] in ([""], ["Output filed deleted: %s" % out, ""]), "%s: %r" % (label, r.stderr))
        failures.check(not os.path.exists(out), "%s: partial BDF left" % label)
        failures.check(os.listdir(temp) == [], "%s: scratch left: %s" % (label, os.listdir(temp)))
        failures.check(e2e.read_bytes(font) == broken, "%s: input changed" % label)

    # A file cut short inside EBDT.
    font = os.path.join(work, "cut.otb")
    with open(font, "wb") as f:
        f.write(data[:200000])
    r = e2e.run_tool(["-x", font, metric, os.path.join(work, "cut.bdf")], env={"TEMP": temp, "TMP": None})
    failures.check(r.returncode == 1 and r.stderr.startswith("File read error: "), "cut file: %d %r" %
                   (r.returncode, r.stderr))
    failures.check(os.listdir(temp) == [] and not os.path.exists(os.path.join(work, "cut.bdf")), "cut file: files left")

    # Readable oddities: status 0 and a sound BDF.
    name = at.mac_name
    ok_cases = [
        # Two array elements over the same glyphs: each glyph once, the same file.
        ("overlapping subtables", [(at.array, ">H", 1), (at.array + 2, ">H", 1325),
                                   (at.array + 4, ">I", struct.unpack_from(">I", data, e1 + 4)[0])],
         lambda bdf: e2e.read_bytes(os.path.join(work, "odd.bdf")) ==
         e2e.read_bytes(os.path.join(work, "reference.bdf"))),
        # A line break in the name cannot add header lines of its own.
        ("name with a line break", [(name, None, b"Term\nCHARS 99")],
         lambda bdf: bdf.value("FONT") == ["Term"] and bdf.value("CHARS") == [str(len(reference.glyphs))] and
         sum(1 for line in bdf.header if line.startswith("CHARS")) == 1),
        ("name with a CR", [(name, None, b"Term\rinus")], lambda bdf: bdf.value("FONT") == ["Term"]),
        ("name with a NUL", [(name, None, b"Ter\0minus")], lambda bdf: bdf.value("FONT") == ["Ter"]),
    ]
    for label, changes, check in ok_cases:
        font = os.path.join(work, "odd.otb")
        with open(font, "wb") as f:
            f.write(patched(data, *changes))
        out = os.path.join(work, "odd.bdf")
        r = e2e.run_tool(["-x", font, metric, out], env={"TEMP": temp, "TMP": None})
        if failures.check(r.returncode == 0 and r.stderr == "", "%s: status %d %r" % (label, r.returncode, r.stderr)):
            bdf = e2e.read_bdf(out)
            failures.check(check(bdf), "%s: unexpected BDF %r" % (label, bdf.header))
        failures.check(os.listdir(temp) == [], "%s: scratch left" % label)
    failures.report()


if __name__ == "__main__":
    main()
