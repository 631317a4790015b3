"""The hidden list command: the folder walk and one report per collected file.

Entries come in byte order of their names on POSIX; Wine delivers them
sorted without regard to case, which is the same order for the lower-case
names used here.
"""

import os

import images as im
from harness import Case, Matcher, Step, file_holds, write
from texts import HEADER_COMPLAINT

ONE_SIZES = [(1920, 1080, 60)]
TWO_SIZES = [(2560, 1440, 144), (1920, 1080, 60), (1280, 720, 60), (3840, 2160, 60)]
NONAME_SIZES = [(1280, 720, 60)]


def summary(path, sizes):
    return "".join("path %s: DTD %d: %d %d %d\n" % (path, i, w, h, r) for i, (w, h, r) in enumerate(sizes))


def joined(ctx, top, rel):
    """The path the walk builds: the folder as typed, then one separator per level."""
    return top + ctx.sep + ctx.sep.join(rel.split("/"))


def listing(top_of, entries):
    """Expected stdout of "/l": entries are (relative path, report, sizes or None, text before the report)."""
    def text(ctx):
        top = top_of(ctx)
        out = ""
        for rel, report, sizes, before in entries:
            out += before + report
            if sizes is not None:
                out += summary(joined(ctx, top, rel), sizes)
        return out
    return text


def tree_arg(ctx):
    return ctx.arg("tree")


def setup_tree(files, then=None):
    """Writes `files` (relative path -> bytes) below tree/, then runs `then`."""
    def setup(ctx):
        os.makedirs(ctx.path("tree"), exist_ok=True)
        for rel, data in files.items():
            write(ctx, "tree/" + rel, data)
        if then:
            then(ctx)
    return setup


def list_case(name, files, entries, top=tree_arg, extra_setup=None, stderr="", platforms=("posix", "windows"),
              runs=1, check=None):
    """Writes `files` (relative path -> bytes) below tree/ and lists it `runs` times."""
    setup = setup_tree(files, extra_setup)
    steps = []
    for run in range(runs):
        run_entries = entries[run] if runs > 1 else entries
        steps.append(Step(lambda ctx: ["/l", top(ctx)], listing(top, run_entries), stderr))
    return Case(name, steps, setup=setup, platforms=platforms, check=check)


ORDER_FILES = {"x.bin": im.ONE, "ysub/y.bin": im.NONAME, "z.bin": im.TWO}
ORDER_ENTRIES = [("x.bin", im.ONE_REPORT, ONE_SIZES, ""),
                 ("ysub/y.bin", im.NONAME_REPORT, NONAME_SIZES, ""),
                 ("z.bin", im.TWO_REPORT, TWO_SIZES, "")]

WALK = [
    list_case("order", ORDER_FILES, ORDER_ENTRIES),
    # A trailing separator is kept, so every path carries it doubled.
    list_case("trailing_separator", ORDER_FILES, ORDER_ENTRIES, top=lambda ctx: ctx.arg("tree") + ctx.sep),
    # Forward slashes stay as typed; the walk adds backslashes.
    list_case("forward_slashes", ORDER_FILES, ORDER_ENTRIES, top=lambda ctx: ctx.arg("tree").replace("\\", "/"),
              platforms=("windows",)),
    list_case("relative_folder", ORDER_FILES, ORDER_ENTRIES, top=lambda ctx: "tree"),
    # "..." and ".cache" are folders like any other; hidden files are listed.
    list_case("dot_names", {".../in.bin": im.NONAME, ".cache/c.bin": im.TWO_NAMES, ".hidden.bin": im.ODD_SUMS,
                            "a.bin": im.ONE},
              [(".../in.bin", im.NONAME_REPORT, NONAME_SIZES, ""),
               (".cache/c.bin", im.TWO_NAMES_REPORT, [(720, 480, 60)], ""),
               (".hidden.bin", im.ODD_SUMS_REPORT, ONE_SIZES, ""),
               ("a.bin", im.ONE_REPORT, ONE_SIZES, "")]),
    list_case("empty_folder", {}, []),
    # Folders that cannot be listed: see cases_unreadable.py.
    # Empty subfolders count as entries and print nothing.
    list_case("empty_subfolders", {"a.bin": im.ONE}, [("a.bin", im.ONE_REPORT, ONE_SIZES, "")],
              extra_setup=lambda ctx: [os.makedirs(ctx.path("tree", n)) for n in ("b", "c", "c2")]),
]


def no_file(rel):
    def check(ctx):
        return ["%s was written" % rel] if os.path.lexists(ctx.path(*rel.split("/"))) else []
    return check


TEXT_ENTRY = ("m.txt", im.ONE_REPORT, ONE_SIZES, "The EDID size is 128 bytes. \n")

FILES = [
    # The copy written during the first run is listed only by the second.
    list_case("text_form_copy_next_run", {"m.txt": im.text_form(im.ONE)},
              [[TEXT_ENTRY], [TEXT_ENTRY, ("m.txt.bin", im.ONE_REPORT, ONE_SIZES, "")]], runs=2,
              check=file_holds("tree/m.txt.bin", im.ONE)),
    # An empty file says so on every run and leaves no copy behind.
    list_case("empty_file", {"e.txt": b""},
              [[("e.txt", "", None, "The EDID size is 0 bytes. \n")]] * 2, runs=2, check=no_file("tree/e.txt.bin")),
    list_case("unsupported_text", {"u.txt": b"00FF" * 30},
              [("u.txt", "", None, "The EDID Size: 60 is not supported.\n")], check=no_file("tree/u.txt.bin")),
    # Failed tests: the whole report, no summary; the listing goes on.
    list_case("failed_tests_no_summary", {"bad.bin": im.BAD_SUM_1, "good.bin": im.ONE, "hdr.bin": im.BAD_HEADER},
              [("bad.bin", im.BAD_SUM_1_OUT, None, ""), ("good.bin", im.ONE_REPORT, ONE_SIZES, ""),
               ("hdr.bin", im.BAD_HEADER_OUT, None, "")], stderr=HEADER_COMPLAINT),
    list_case("eight_timings", {"eight.bin": im.EIGHT}, [("eight.bin", im.EIGHT_REPORT, im.EIGHT_SIZES, "")]),
    list_case("fifo_skipped", {"a.bin": im.ONE}, [("a.bin", im.ONE_REPORT, ONE_SIZES, "")],
              extra_setup=lambda ctx: os.mkfifo(ctx.path("tree", "p.fifo")), platforms=("posix",)),
]

# (name, image, report, summary sizes) for reports that need no driver.
REPORTS = [
    ("report_two_blocks", im.TWO, im.TWO_REPORT, TWO_SIZES),
    ("report_three_blocks", im.THREE, im.THREE_REPORT, [(3840, 2160, 60)]),
    ("report_odd_timings", im.ODD_TIMINGS, im.ODD_TIMINGS_REPORT, im.ODD_TIMINGS_SIZES),
    ("report_clock_0a_two_ranges", im.CLOCK_0A, im.CLOCK_0A_REPORT, im.CLOCK_0A_SIZES),
    ("report_first_vendor_block_only", im.NOT_FIRST_HDMI, im.NOT_FIRST_HDMI_REPORT, ONE_SIZES),
    ("report_foreign_extension", im.FOREIGN_EXT, im.FOREIGN_EXT_REPORT, im.FOREIGN_EXT_SIZES),
    ("report_basic_audio", im.BASIC_AUDIO, im.BASIC_AUDIO_REPORT, im.BASIC_AUDIO_SIZES),
    ("report_timings_past_end", im.LATE_DTDS, im.LATE_DTDS_REPORT, im.LATE_DTDS_SIZES),
    ("report_odd_block_sums", im.ODD_SUMS, im.ODD_SUMS_REPORT, ONE_SIZES),
]

REPORT_CASES = [list_case(name, {"e.bin": image}, [("e.bin", report, sizes, "")]) for name, image, report, sizes in REPORTS]


def budget_tree(extra):
    """d0..d9 with 99 files each: 1000 entries. `extra` adds files past the budget."""
    files = {"d%d/f%02d.bin" % (d, f): im.ONE for d in range(10) for f in range(99)}
    for rel in extra:
        files[rel] = im.ONE
    entries = [("d%d/f%02d.bin" % (d, f), im.ONE_REPORT, ONE_SIZES, "") for d in range(10) for f in range(99)]
    return files, entries


BUDGET = [
    list_case("exactly_1000_entries", *budget_tree([])),
    # The 1001st entry is the last file in d9; the top level's z.bin comes later still.
    list_case("over_1000_entries", *budget_tree(["d9/f99.bin", "z.bin"])),
]

def long_folder(ctx):
    """A folder below tree/ whose path is about 240 characters, wherever the scratch folder lies."""
    rel = []
    while len(joined(ctx, tree_arg(ctx), "/".join(rel + ["x"]))) < 230:
        rel.append("s" * min(60, 240 - len(joined(ctx, tree_arg(ctx), "/".join(rel + ["x"])))))
    return "/".join(rel)


LONG_NAME = "l" * 60 + ".bin"


def long_path_case(name, platforms, long_listed):
    """A 300-character file path: its record keeps the whole path, and the file
    is opened through it (on Windows past MAX_PATH, by the wide calls)."""
    def setup(ctx):
        folder = long_folder(ctx)
        os.makedirs(ctx.path("tree", *folder.split("/")))
        write(ctx, "tree/%s/%s" % (folder, LONG_NAME), im.ONE)
        write(ctx, "tree/%s/short.bin" % folder, im.NONAME)

    def expected(ctx):
        folder = long_folder(ctx)
        out = ""
        if long_listed:
            long_rel = folder + "/" + LONG_NAME
            assert len(joined(ctx, tree_arg(ctx), long_rel)) > 259
            out += im.ONE_REPORT + summary(joined(ctx, tree_arg(ctx), long_rel), ONE_SIZES)
        return out + im.NONAME_REPORT + summary(joined(ctx, tree_arg(ctx), folder + "/short.bin"), NONAME_SIZES)

    return Case(name, [Step(lambda ctx: ["/l", tree_arg(ctx)], expected)], setup=setup, platforms=platforms)


def loop_matcher():
    """tree/loop points back at tree: a.bin is met again one level deeper each time,
    until the platform refuses the path or the budget ends the walk."""
    def check(ctx, out):
        top = tree_arg(ctx)
        count = out.count("path ")
        want = "".join(im.ONE_REPORT + summary(top + "/loop" * k + "/a.bin", ONE_SIZES) for k in range(count))
        if out != want:
            return "output is not a.bin reported at ever deeper levels of the loop"
        if not 2 <= count <= 500:
            return "a.bin reported %d times" % count
        return None
    return Matcher("a.bin at each level of the loop", check)


def make_loop(ctx):
    os.symlink(".", ctx.path("tree", "loop"))


SPECIAL = [
    long_path_case("path_over_259_characters", ("posix", "windows"), long_listed=True),
    Case("link_loop_ends", [Step(lambda ctx: ["/l", tree_arg(ctx)], loop_matcher(), timeout=60)],
         setup=lambda ctx: (write(ctx, "tree/a.bin", im.ONE), make_loop(ctx)), platforms=("posix",)),
]

LIST = WALK + FILES + REPORT_CASES + BUDGET + SPECIAL
