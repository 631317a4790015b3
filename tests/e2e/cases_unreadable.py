"""Files and folders that cannot be read: one line on standard error names
them (the path exactly as typed), standard output stays as it was, and
entries inside a listed folder stay silent."""

import os

import images as im
from harness import Case, OTHER_USER, Step, write

# Run as OTHER_USER, a file or folder of root's with mode 0700 / 0600 cannot be read.


def could_not_read(path):
    return "Velmorin: could not read %s\n" % path


def could_not_read_folder(path):
    return "Velmorin: could not read folder %s\n" % path


def sparse(ctx, rel, size):
    with open(ctx.path(rel), "wb") as f:
        f.truncate(size)


def short_read_file():
    """A file whose measured size is a whole number of blocks but that gives
    fewer bytes when read: the kernel's attribute files say 4096 and hold a line."""
    for path in ("/sys/devices/system/cpu/online", "/sys/kernel/mm/transparent_hugepage/enabled",
                 "/sys/kernel/uevent_seqnum"):
        try:
            size = os.stat(path).st_size
            with open(path, "rb") as f:
                got = len(f.read(2048))
        except OSError:
            continue
        if size > 0 and size % 128 == 0 and got < min(size, 1024):
            return path
    return None


SHORT_READ = short_read_file()


def attach_unreadable(name, arg, setup=None, platforms=("posix", "windows"), user=None):
    """`/d` on something that cannot be read: nothing on stdout, one line naming it on stderr."""
    return Case(name, [Step(lambda ctx: ["/d", arg(ctx)], "", lambda ctx: could_not_read(arg(ctx)), user=user)],
                setup=setup, platforms=platforms)


def list_unreadable(name, arg, setup=None, platforms=("posix", "windows"), user=None):
    return Case(name, [Step(lambda ctx: ["/l", arg(ctx)], "", lambda ctx: could_not_read_folder(arg(ctx)), user=user)],
                setup=setup, platforms=platforms)


def make_private_tree(ctx):
    """tree/ holds a readable EDID and, around it, entries the other user cannot read."""
    write(ctx, "tree/a.bin", im.ONE)
    write(ctx, "tree/b.bin", im.ONE, mode=0o600)
    os.makedirs(ctx.path("tree", "c"))
    write(ctx, "tree/c/d.bin", im.ONE)
    os.chmod(ctx.path("tree", "c"), 0o700)
    os.mkfifo(ctx.path("tree", "e.bin"))


def listed_private_tree(ctx):
    top = ctx.arg("tree")
    return im.ONE_REPORT + "path %s/a.bin: DTD 0: 1920 1080 60\n" % top


ATTACH = [
    attach_unreadable("attach_missing_file", lambda ctx: ctx.arg("missing.bin")),
    attach_unreadable("attach_missing_relative", lambda ctx: "missing.bin"),
    attach_unreadable("attach_folder", lambda ctx: ctx.arg("folder.bin"),
                      setup=lambda ctx: os.makedirs(ctx.path("folder.bin"))),
    # Forward slashes stay as typed in the line.
    attach_unreadable("attach_missing_forward_slashes", lambda ctx: ctx.arg("missing.bin").replace("\\", "/"),
                      platforms=("windows",)),
    # Bigger than a signed 32-bit size: refused, never wrapped.
    attach_unreadable("attach_size_refused", lambda ctx: ctx.arg("2560x1440x144.bin"),
                      setup=lambda ctx: sparse(ctx, "2560x1440x144.bin", 2 ** 31 + 256)),
    attach_unreadable("attach_fifo", lambda ctx: ctx.arg("pipe.bin"),
                      setup=lambda ctx: os.mkfifo(ctx.path("pipe.bin")), platforms=("posix",)),
    attach_unreadable("attach_device", lambda ctx: "/dev/null", platforms=("posix",)),
    attach_unreadable("attach_no_permission", lambda ctx: ctx.arg("private.bin"),
                      setup=lambda ctx: write(ctx, "private.bin", im.ONE, mode=0o600), platforms=("posix",),
                      user=OTHER_USER),
    attach_unreadable("attach_short_read", lambda ctx: SHORT_READ, platforms=("posix",) if SHORT_READ else ()),
]

LIST = [
    list_unreadable("list_missing_folder", lambda ctx: ctx.arg("missing")),
    list_unreadable("list_missing_relative", lambda ctx: "missing"),
    list_unreadable("list_file_as_folder", lambda ctx: ctx.arg("one.bin"),
                    setup=lambda ctx: write(ctx, "one.bin", im.ONE)),
    list_unreadable("list_no_permission", lambda ctx: ctx.arg("private"),
                    setup=lambda ctx: (os.makedirs(ctx.path("private")), os.chmod(ctx.path("private"), 0o700)),
                    platforms=("posix",), user=OTHER_USER),
    # An empty folder can be listed: nothing at all.
    Case("list_empty_folder_silent", [Step(lambda ctx: ["/l", ctx.arg("empty")], "")],
         setup=lambda ctx: os.makedirs(ctx.path("empty"))),
    # Inside a listed folder: a file and a folder the user may not read, a FIFO; all silent.
    Case("list_entries_inside_stay_silent",
         [Step(lambda ctx: ["/l", ctx.arg("tree")], listed_private_tree, user=OTHER_USER)],
         setup=make_private_tree, platforms=("posix",)),
]

UNREADABLE = ATTACH + LIST
