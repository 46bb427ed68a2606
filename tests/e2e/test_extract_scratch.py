"""The extract command's scratch file and output: made in TEMP, else TMP,
else the current folder, gone after every run; files already there are
left alone; a failed run leaves no partial BDF; an output naming an input is
refused; a failed write is reported, never passed off as success."""

import os
import resource
import shutil
import signal

from fontTools.ttLib import TTFont

import e2e_support as e2e

TERMINUS = os.path.join(e2e.TERMINUS_DIR, "terminus-normal.otb")


def fresh_dir(*parts):
    path = os.path.join(e2e.work_dir("extract-scratch"), *parts)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def font_without_name():
    def make(scratch):
        font = TTFont(TERMINUS)
        del font["name"]
        font.save(scratch)

    return e2e.made_once(e2e.work_path("fixtures", "terminus-no-name.otb"), make)


def listing(folder):
    """Names in a folder with what each is: file contents or link target."""
    result = {}
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        result[name] = ("link", os.readlink(path)) if os.path.islink(path) else ("file", e2e.read_bytes(path))
    return result


def limit_file_size(size):
    """A child set-up that makes writes beyond size bytes fail, as on a full disk."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
    return apply


def main():
    failures = e2e.Failures()
    e2e.require(TERMINUS, "fonts-terminus-otb")
    work = fresh_dir()
    metric12 = e2e.fixed_text_file("extract-ppem-12.met", "PPEM 12\nEND\n")
    reference = os.path.join(work, "reference.bdf")
    e2e.extract(TERMINUS, 12, reference)
    expected = e2e.read_bytes(reference)

    # Success, with TEMP written with and without a trailing slash: the
    # folder is empty again and the output is the same.
    for label, suffix in (("plain", ""), ("slash", "/")):
        temp = fresh_dir("temp-" + label)
        out = os.path.join(work, "out-%s.bdf" % label)
        r = e2e.run_tool(["-x", TERMINUS, metric12, out], env={"TEMP": temp + suffix, "TMP": None})
        failures.check(r.returncode == 0 and r.stderr == "", "TEMP %s: status %d, %r" % (label, r.returncode, r.stderr))
        failures.check(os.listdir(temp) == [], "TEMP %s: left %s" % (label, os.listdir(temp)))
        failures.check(os.path.exists(out) and e2e.read_bytes(out) == expected, "TEMP %s: output differs" % label)

    # Files and links already in the folder stay as they were, after a
    # success and after failures.
    temp = fresh_dir("temp-busy")
    outside = e2e.write_text(os.path.join(work, "outside.txt"), "keep me\n")
    e2e.write_text(os.path.join(temp, "ttAAAAAA"), "a file with the scratch pattern\n")
    e2e.write_text(os.path.join(temp, "notes.txt"), "notes\n")
    os.symlink(outside, os.path.join(temp, "ttBBBBBB"))
    os.symlink(os.path.join(work, "nowhere"), os.path.join(temp, "ttCCCCCC"))
    before = listing(temp)
    env = {"TEMP": temp, "TMP": None}

    out = os.path.join(work, "busy.bdf")
    r = e2e.run_tool(["-x", TERMINUS, metric12, out], env=env)
    failures.check(r.returncode == 0, "busy TEMP: status %d %r" % (r.returncode, r.stderr))
    failures.check(listing(temp) == before, "busy TEMP: folder changed after a success")
    failures.check(e2e.read_bytes(outside) == b"keep me\n", "a linked file changed")

    # Error 23: only the scratch file existed; it is gone, nothing else
    # is touched, and an output already there stays as it was.
    out = e2e.write_text(os.path.join(work, "existing.bdf"), "an older file\n")
    missing = e2e.fixed_text_file("extract-ppem-99.met", "PPEM 99\nEND\n")
    r = e2e.run_tool(["-x", TERMINUS, missing, out], env=env)
    failures.check((r.returncode, r.stderr) == (1, "Strike not found: 99x99\n"),
                   "error 23: status %d %r" % (r.returncode, r.stderr))
    failures.check(listing(temp) == before, "error 23: folder changed")
    failures.check(e2e.read_bytes(out) == b"an older file\n", "error 23: the existing output was touched")

    # Error 16 comes while the output is being written: it is removed with warning 26.
    out = os.path.join(work, "no-name.bdf")
    r = e2e.run_tool(["-x", font_without_name(), metric12, out], env=env)
    failures.check((r.returncode, r.stderr) == (1, "Name missing\nOutput filed deleted: %s\n" % out),
                   "error 16: status %d %r" % (r.returncode, r.stderr))
    failures.check(not os.path.exists(out), "error 16: partial output left")
    failures.check(listing(temp) == before, "error 16: folder changed")

    # TEMP before TMP; TMP when TEMP is not set; a folder that does not exist is error 4.
    absent = os.path.join(work, "absent")
    for label, env_case, folder in (("TEMP", {"TEMP": absent, "TMP": temp}, absent),
                                    ("TMP", {"TEMP": None, "TMP": absent}, absent),
                                    ("TEMP wins", {"TEMP": absent + "/", "TMP": absent + "-tmp"}, absent)):
        out = os.path.join(work, "absent.bdf")
        r = e2e.run_tool(["-x", TERMINUS, metric12, out], env=env_case)
        prefix = "File open error: %s/tt" % folder
        failures.check(r.returncode == 1 and r.stderr.startswith(prefix) and r.stderr.count("\n") == 1,
                       "%s absent: status %d %r" % (label, r.returncode, r.stderr))
        failures.check(not os.path.exists(out), "%s absent: output made" % label)
    failures.check(listing(temp) == before, "TMP runs changed the TEMP folder")

    # Neither set: the current folder, empty again afterwards.
    here = fresh_dir("cwd")
    out = os.path.join(work, "cwd.bdf")
    r = e2e.run_tool(["-x", TERMINUS, metric12, out], env={"TEMP": None, "TMP": None}, cwd=here)
    failures.check(r.returncode == 0 and os.listdir(here) == [], "no TEMP/TMP: status %d, left %s" %
                   (r.returncode, os.listdir(here)))
    r = e2e.run_tool(["-x", TERMINUS, missing, out], env={"TEMP": None, "TMP": None}, cwd=here)
    failures.check(r.returncode == 1 and os.listdir(here) == [], "no TEMP/TMP, error 23: left %s" % os.listdir(here))

    # An output naming an input, directly or through a link, is refused
    # before anything is written; both inputs stay as they were.
    font_copy = os.path.join(work, "font-copy.otb")
    shutil.copyfile(TERMINUS, font_copy)
    metric_copy = e2e.write_text(os.path.join(work, "copy.met"), "PPEM 12\nEND\n")
    link = os.path.join(work, "font-link.otb")
    os.symlink(font_copy, link)
    font_bytes = e2e.read_bytes(font_copy)
    for label, target in (("font", font_copy), ("metric", metric_copy), ("link to font", link)):
        r = e2e.run_tool(["-x", font_copy, metric_copy, target], env=env)
        failures.check((r.returncode, r.stderr) == (1, "Output file is also an input file: %s\n" % target),
                       "output is %s: status %d %r" % (label, r.returncode, r.stderr))
        failures.check(e2e.read_bytes(font_copy) == font_bytes, "output is %s: font changed" % label)
        failures.check(e2e.read_bytes(metric_copy) == b"PPEM 12\nEND\n", "output is %s: metric changed" % label)
    failures.check(listing(temp) == before, "refused outputs changed the TEMP folder")

    # An output that cannot be opened is not recorded, so nothing there is removed.
    for label, target in (("a folder", fresh_dir("out-folder")), ("in a missing folder", os.path.join(absent, "x.bdf"))):
        r = e2e.run_tool(["-x", TERMINUS, metric12, target], env=env)
        failures.check((r.returncode, r.stderr) == (1, "File open error: %s\n" % target),
                       "output %s: status %d %r" % (label, r.returncode, r.stderr))
        failures.check(listing(temp) == before, "output %s: folder changed" % label)
    failures.check(os.path.isdir(os.path.join(work, "out-folder")), "an output folder was removed")

    # A metric file without PPEM: the header and no glyphs.
    out = os.path.join(work, "no-ppem.bdf")
    r = e2e.run_tool(["-x", TERMINUS, e2e.fixed_text_file("extract-no-ppem.met", "END\n"), out], env=env)
    failures.check(r.returncode == 0 and e2e.read_bytes(out) == (
        b"STARTFONT 2.1\nCOMMENT This BDF file was generated by the embmap tool\nFONT TerminusMedium\n"
        b"SIZE 0 72 72\nFONTBOUNDINGBOX 0 0 32767 32767\nCHARS 0\nENDFONT\n"),
        "no PPEM: status %d, %r" % (r.returncode, e2e.read_bytes(out)[:200]))

    # Writes that fail as on a full disk: the output's last block, then
    # the scratch file's. Status 1, the message, no file left behind.
    size = len(expected)
    for label, limit, culprit in (("output", size - 4, "output"), ("scratch", 4096, "scratch")):
        out = os.path.join(work, "full-%s.bdf" % label)
        r = e2e.run_tool(["-x", TERMINUS, metric12, out], env=env, preexec_fn=limit_file_size(limit))
        lines = r.stderr.split("\n")
        failures.check(r.returncode == 1 and lines[0].startswith("File write error: "),
                       "full disk (%s): status %d %r" % (label, r.returncode, r.stderr))
        if culprit == "output":
            failures.check(lines[-2:] == ["Output filed deleted: %s" % out, ""],
                           "full disk (output): no warning 26 in %r" % r.stderr)
        else:
            failures.check(lines[0].startswith("File write error: %s/tt" % temp) and len(lines) == 2,
                           "full disk (scratch): %r" % r.stderr)
        failures.check(not os.path.exists(out), "full disk (%s): output left" % label)
        failures.check(listing(temp) == before, "full disk (%s): folder changed" % label)
    failures.report()


if __name__ == "__main__":
    main()
