"""Any file name, any folder depth: names outside the ASCII range, folders
past MAX_PATH, and on Windows the names and spellings that the platform
treats specially (devices, trailing dots and blanks, files in use, read-only
copies, relative and drive-relative paths).

The tool prints paths as the bytes it was given or found: UTF-8 on POSIX and,
through the programs' manifest, on Windows too. The harness reads output as
Latin-1, so every expectation that holds a name goes through u8().

Wine delivers a folder's entries sorted without regard to case and POSIX in
byte order; the names below are chosen so that both orders agree.
"""

import os
import subprocess
import time

import edid_builder as eb
import images as im
from cases_list import setup_tree, tree_arg
from harness import Case, Emulator, Step, file_holds, write
from texts import NO_PIPE, attach_ok, attach_request

ONE_SIZES = [(1920, 1080, 60)]
TWO_SIZES = [(2560, 1440, 144), (1920, 1080, 60), (1280, 720, 60), (3840, 2160, 60)]
NONAME_SIZES = [(1280, 720, 60)]
THREE_SIZES = [(3840, 2160, 60)]

KOVRA = lambda image: eb.with_name(image, "KovraMonitor")


def u8(text):
    """What UTF-8 output looks like to the harness."""
    return text.encode("utf-8").decode("latin-1")


def size_line(image):
    return "The EDID size is %d bytes. \n" % len(image)


def summary(path, sizes):
    return "".join("path %s: DTD %d: %d %d %d\n" % (u8(path), i, w, h, r) for i, (w, h, r) in enumerate(sizes))


def joined(ctx, top, rel):
    """The path the walk builds: the folder as typed, then one separator per level."""
    return top + ctx.sep + ctx.sep.join(rel.split("/"))


def listing(top_of, entries):
    """Expected stdout of "/l": entries are (relative path, report, sizes, text before the report)."""
    def text(ctx):
        top = top_of(ctx)
        return "".join(before + report + summary(joined(ctx, top, rel), sizes) for rel, report, sizes, before in entries)
    return text


def all_checks(*checks):
    def check(ctx):
        problems = []
        for c in checks:
            problems += c(ctx) or []
        return problems
    return check


def expect_request(request):
    def check(ctx):
        saved = ctx.saved_requests()
        return [] if saved == [request] else ["the driver received %d request(s), not the one expected" % len(saved)]
    return check


# --- Names in Cyrillic, CJK, accented Latin and emoji (both platforms) --------

# (case, folder, file, image, its report, mode read from the name)
UNICODE_ATTACHES = [
    ("attach_cyrillic_folder_accented_file", "Мониторы", "2560x1440x144 écran.txt", im.TWO, im.TWO_REPORT,
     (2560, 1440, 144)),
    ("attach_cjk_names", "显示器", "1920x1080x60 モニター.txt", im.ONE, im.ONE_REPORT, (1920, 1080, 60)),
    ("attach_emoji_names", "📺 Größe", "3840x2160x60 🖥️.txt", im.THREE, im.THREE_REPORT, (3840, 2160, 60)),
]


def unicode_attach(name, folder, file_name, image, report, mode):
    """/d on a text-form file: the report, the exchange, and the copy under its Unicode name."""
    rel = folder + "/" + file_name
    return Case(name, [Step(lambda ctx: ["/d", ctx.arg(folder, file_name)],
                            size_line(image) + report + attach_ok(min(len(image), 256)))],
                emulator=Emulator(), setup=lambda ctx: write(ctx, rel, im.text_form(image)),
                check=all_checks(expect_request(attach_request(KOVRA(image), *mode)),
                                 file_holds(rel + ".bin", image)))


UNICODE_TREE = {
    "1 Мониторы.bin": im.ONE,
    "2 显示器/1 écran.txt": im.text_form(im.NONAME),
    "2 显示器/2 📺/1 🖥️ Größe.bin": im.TWO,
}
UNICODE_FIRST_RUN = [
    ("1 Мониторы.bin", im.ONE_REPORT, ONE_SIZES, ""),
    ("2 显示器/1 écran.txt", im.NONAME_REPORT, NONAME_SIZES, size_line(im.NONAME)),
    ("2 显示器/2 📺/1 🖥️ Größe.bin", im.TWO_REPORT, TWO_SIZES, ""),
]
# The copy written by the first run is listed by the second, under its own name.
UNICODE_SECOND_RUN = UNICODE_FIRST_RUN[:2] + [("2 显示器/1 écran.txt.bin", im.NONAME_REPORT, NONAME_SIZES, "")] + \
    UNICODE_FIRST_RUN[2:]


UNICODE = [unicode_attach(*entry) for entry in UNICODE_ATTACHES] + [
    Case("list_unicode_tree", [Step(lambda ctx: ["/l", tree_arg(ctx)], listing(tree_arg, UNICODE_FIRST_RUN)),
                               Step(lambda ctx: ["/l", tree_arg(ctx)], listing(tree_arg, UNICODE_SECOND_RUN))],
         setup=setup_tree(UNICODE_TREE), check=file_holds("tree/2 显示器/1 écran.txt.bin", im.NONAME)),
]


# --- Files at about 300 and 1100 characters (both platforms) -----------------

FOLDER = "Мониторы " + "p" * 91


def long_layout(ctx):
    """Folders of 100 characters below tree/; a file whose path is exactly 300
    characters long, and further down one of exactly 1100. File names start
    with an ASCII letter, so each comes before its sibling folder."""
    base = len(tree_arg(ctx)) + 1

    def place(target, letter, suffix):
        levels = (target - base - 12) // (len(FOLDER) + 1)
        name_length = target - base - levels * (len(FOLDER) + 1)
        return "/".join([FOLDER] * levels + [letter + "0" * (name_length - 1 - len(suffix)) + suffix])

    return place(300, "a", ".bin"), place(1100, "b", ".txt")


def setup_long(ctx):
    short, deep = long_layout(ctx)
    write(ctx, "tree/" + short, im.ONE)
    write(ctx, "tree/" + deep, im.text_form(im.NONAME))


def long_listing(ctx):
    short, deep = long_layout(ctx)
    top = tree_arg(ctx)
    assert len(joined(ctx, top, short)) == 300 and len(joined(ctx, top, deep)) == 1100
    return (im.ONE_REPORT + summary(joined(ctx, top, short), ONE_SIZES) +
            size_line(im.NONAME) + im.NONAME_REPORT + summary(joined(ctx, top, deep), NONAME_SIZES))


def long_copy_written(ctx):
    return file_holds("tree/" + long_layout(ctx)[1] + ".bin", im.NONAME)(ctx)


DEPTH = [
    Case("list_files_at_300_and_1100_characters", [Step(lambda ctx: ["/l", tree_arg(ctx)], long_listing)],
         setup=setup_long, check=long_copy_written),
]


# --- Names Windows treats specially (Windows only) ---------------------------

WINDOWS = ("windows",)

# Reserved device names as files and folders: each is the file of that name.
DEVICE_TREE = {"AUX": im.ONE, "COM1.bin": im.NONAME, "CON": im.TWO, "LPT1/a.bin": im.NONAME, "NUL": im.ONE,
               "nul.txt": im.text_form(im.ONE), "Prn.old/b.bin": im.THREE}
DEVICE_LISTING = [("AUX", im.ONE_REPORT, ONE_SIZES, ""), ("COM1.bin", im.NONAME_REPORT, NONAME_SIZES, ""),
                  ("CON", im.TWO_REPORT, TWO_SIZES, ""), ("LPT1/a.bin", im.NONAME_REPORT, NONAME_SIZES, ""),
                  ("NUL", im.ONE_REPORT, ONE_SIZES, ""), ("nul.txt", im.ONE_REPORT, ONE_SIZES, size_line(im.ONE)),
                  ("Prn.old/b.bin", im.THREE_REPORT, THREE_SIZES, "")]

# Names ending in a dot or a blank, which Windows programs can only make
# through \\?\ (here they are made from the POSIX side, to the same effect).
DOT_TREE = {".../d.bin": im.ONE, "a.bin.": im.NONAME, "b.txt ": im.text_form(im.ONE), "sub./c.bin ": im.TWO}
DOT_LISTING = [(".../d.bin", im.ONE_REPORT, ONE_SIZES, ""), ("a.bin.", im.NONAME_REPORT, NONAME_SIZES, ""),
               ("b.txt ", im.ONE_REPORT, ONE_SIZES, size_line(im.ONE)), ("sub./c.bin ", im.TWO_REPORT, TWO_SIZES, "")]


def relative_tree(ctx):
    return "tree"


HOSTILE_NAMES = [
    # Listed through a relative folder, so the exact names are found from the current folder.
    Case("device_names_are_files",
         [Step(lambda ctx: ["/l", "tree"], listing(relative_tree, DEVICE_LISTING)),
          Step(lambda ctx: ["/d", ctx.arg("tree", "COM1.bin")], im.NONAME_REPORT + NO_PIPE),
          Step(lambda ctx: ["/d", ctx.arg("tree", "CON")], im.TWO_REPORT + NO_PIPE)],
         setup=setup_tree(DEVICE_TREE), no_pipe=True, platforms=WINDOWS,
         check=all_checks(file_holds("tree/nul.txt.bin", im.ONE), file_holds("tree/NUL", im.ONE))),
    Case("trailing_dots_and_blanks",
         [Step(lambda ctx: ["/l", tree_arg(ctx)], listing(tree_arg, DOT_LISTING)),
          Step(lambda ctx: ["/d", ctx.arg("tree", "sub.", "c.bin ")], im.TWO_REPORT + NO_PIPE)],
         setup=setup_tree(DOT_TREE), no_pipe=True, platforms=WINDOWS,
         check=all_checks(file_holds("tree/b.txt .bin", im.ONE), file_holds("tree/b.txt ", im.text_form(im.ONE)))),
]


# --- Files in use and read-only copies (Windows only) -------------------------

def start_holder(ctx, rel):
    """Another Windows program opens tree/<rel> with no sharing and keeps it open."""
    helper = os.environ.get("VELMORIN_HOLD_FILE")
    if not helper:
        raise RuntimeError("VELMORIN_HOLD_FILE does not name the file-holding helper")
    ready, release = ctx.path("holder.ready"), ctx.path("holder.release")
    args = [ctx.arg("tree", *rel.split("/")), ctx.native(ready), ctx.native(release)]
    ctx.holder = subprocess.Popen(ctx.env.command(helper, args), stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=ctx.env.environ)
    deadline = time.monotonic() + 60
    while not os.path.exists(ready):
        if ctx.holder.poll() is not None or time.monotonic() > deadline:
            raise RuntimeError("the helper did not take hold of " + rel)
        time.sleep(0.05)


def release_holder(ctx):
    open(ctx.path("holder.release"), "w").close()
    try:
        ctx.holder.wait(30)
    except subprocess.TimeoutExpired:
        ctx.holder.kill()
        ctx.holder.wait()
        return ["the helper did not let go"]
    return []


def held(rel, *checks):
    """Releases the held file after the steps, then checks that nothing was lost."""
    def check(ctx):
        return release_holder(ctx) + all_checks(*checks)(ctx)
    return check


def make_read_only(rel):
    def setup(ctx):
        os.chmod(ctx.path("tree", *rel.split("/")), 0o444)  # Wine shows it as FILE_ATTRIBUTE_READONLY
    return setup


def copy_refused(rel):
    return lambda ctx: "Velmorin: could not write %s\n" % u8(joined(ctx, tree_arg(ctx), rel))


IN_USE = [
    # The file in use is skipped like any unreadable entry; nothing waits for it.
    Case("file_in_use_skipped",
         [Step(lambda ctx: ["/l", tree_arg(ctx)],
               listing(tree_arg, [("a.bin", im.ONE_REPORT, ONE_SIZES, ""), ("c.bin", im.NONAME_REPORT, NONAME_SIZES, "")]),
               timeout=30)],
         setup=setup_tree({"a.bin": im.ONE, "b.bin": im.TWO, "c.bin": im.NONAME},
                          then=lambda ctx: start_holder(ctx, "b.bin")),
         platforms=WINDOWS, check=held("b.bin", file_holds("tree/b.bin", im.TWO))),
    # A copy in use cannot be written: the report goes on, the old copy stays whole.
    Case("copy_in_use_kept",
         [Step(lambda ctx: ["/l", tree_arg(ctx)],
               listing(tree_arg, [("m.txt", im.ONE_REPORT, ONE_SIZES, size_line(im.ONE))]),
               copy_refused("m.txt.bin"), timeout=30)],
         setup=setup_tree({"m.txt": im.text_form(im.ONE), "m.txt.bin": b"an older copy"},
                          then=lambda ctx: start_holder(ctx, "m.txt.bin")),
         platforms=WINDOWS, check=held("m.txt.bin", file_holds("tree/m.txt.bin", b"an older copy"))),
    Case("read_only_copy_kept",
         [Step(lambda ctx: ["/d", ctx.arg("tree", "m.txt")], size_line(im.ONE) + im.ONE_REPORT + NO_PIPE,
               copy_refused("m.txt.bin"))],
         setup=setup_tree({"m.txt": im.text_form(im.ONE), "m.txt.bin": b"a read-only copy"},
                          then=make_read_only("m.txt.bin")),
         no_pipe=True, platforms=WINDOWS, check=file_holds("tree/m.txt.bin", b"a read-only copy")),
]


# --- Spellings of a path (Windows only) ---------------------------------------

def unix_rooted(ctx):
    """The case folder as a path from the root of the current drive (Z: maps /)."""
    return ctx.arg("tree")[2:]


SPELLING_TREE = {"a.bin": im.ONE}
A_LISTING = [("a.bin", im.ONE_REPORT, ONE_SIZES, "")]


def forward(ctx):
    return ctx.arg("tree").replace("\\", "/")


SPELLINGS = [
    # Forward slashes throughout; the mode still comes from the base name.
    Case("attach_forward_slashes",
         [Step(lambda ctx: ["/d", forward(ctx) + "/2560x1440x144.txt"],
               size_line(im.TWO) + im.TWO_REPORT + attach_ok(256))],
         emulator=Emulator(), setup=setup_tree({"2560x1440x144.txt": im.text_form(im.TWO)}), platforms=WINDOWS,
         check=all_checks(expect_request(attach_request(KOVRA(im.TWO), 2560, 1440, 144)),
                          file_holds("tree/2560x1440x144.txt.bin", im.TWO))),
    Case("list_spellings",
         [Step(lambda ctx: ["/l", forward(ctx) + "/"], listing(lambda ctx: forward(ctx) + "/", A_LISTING)),
          Step(lambda ctx: ["/l", "Z:tree"], listing(lambda ctx: "Z:tree", A_LISTING)),
          Step(lambda ctx: ["/l", ".\\tree\\..\\tree"], listing(lambda ctx: ".\\tree\\..\\tree", A_LISTING)),
          Step(lambda ctx: ["/l", unix_rooted(ctx)], listing(unix_rooted, A_LISTING))],
         setup=setup_tree(SPELLING_TREE), platforms=WINDOWS),
    Case("attach_relative_and_drive_relative",
         [Step(lambda ctx: ["/d", "tree\\a.bin"], im.ONE_REPORT + NO_PIPE),
          Step(lambda ctx: ["/d", "Z:tree\\a.bin"], im.ONE_REPORT + NO_PIPE),
          Step(lambda ctx: ["/d", unix_rooted(ctx) + "\\a.bin"], im.ONE_REPORT + NO_PIPE)],
         setup=setup_tree(SPELLING_TREE), no_pipe=True, platforms=WINDOWS),
]

NAMES = UNICODE + DEPTH + HOSTILE_NAMES + IN_USE + SPELLINGS
