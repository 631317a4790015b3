#!/usr/bin/env python3
"""Hostile input, end to end: the real velmorin binary against special files,
huge and looping paths, broken output streams and a driver that misbehaves.

Every case must end with exit status 0, no signal, no sanitizer report and
within its own time limit; most also check the exact output. POSIX only.
Each case's tool and emulator meet at a driver socket of the case's own
(VELMORIN_DRIVER_SOCKET), so cases never reach another run's driver.

usage: hostile.py --velmorin PATH [--emulator PATH] [--scratch DIR] [--group NAME] [CASE...]
  groups: files, output, driver (the driver group needs --emulator)
"""

import argparse
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import SOCKET_VARIABLE, private_socket  # noqa: E402

NO_PIPE = "no any named Pipe exist !!!\n"
HAVE_PIPE = "Already have a named Pipe  !!!\n"
CONNECTED = "connect success!\n"
ATTACH_FAILED = "update EDID failed\r\n"
ZERO_SIZE = "The EDID size is 0 bytes. \n"


class Failure(Exception):
    pass


# ---------------------------------------------------------------- EDID images

def checksum_byte(data):
    return (256 - sum(data) % 256) % 256


def valid_edid():
    """A two-block EDID: 1920x1080 at 148.5 MHz, a name, range limits, and a
    CEA-861 block with an HDMI vendor block and basic audio."""
    base = bytearray(128)
    base[0:8] = bytes([0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0])
    base[8:10] = bytes([0x2D, 0xF6])
    base[18], base[19], base[24] = 1, 3, 0xEA
    base[54:72] = bytes([0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40,
                         0x58, 0x2C, 0x45, 0x00, 0x10, 0x09, 0x21, 0x00, 0x00, 0x1E])
    base[72:90] = bytes([0, 0, 0, 0xFC, 0]) + b"Hostile Desk\n"
    base[90:108] = bytes([0, 0, 0, 0xFD, 0, 50, 75, 30, 83, 17, 0, 0x0A]) + b" " * 6
    base[108:126] = bytes([0, 0, 0, 0x10, 0]) + bytes(13)
    base[126] = 1
    base[127] = checksum_byte(base[:127])
    cea = bytearray(128)
    vendor = bytes([(3 << 5) | 5, 0x03, 0x0C, 0x00, 0x10, 0x00])
    cea[0:4] = bytes([0x02, 0x03, 4 + len(vendor), 0x40])
    cea[4:4 + len(vendor)] = vendor
    cea[127] = checksum_byte(cea[:127])
    return bytes(base + cea)


def hex_text(data):
    """Two digits a byte, 16 bytes a line; the size (3 a byte, and one more
    line end) is no whole number of blocks, so it loads as text form."""
    text = "".join("%02X%s" % (b, "\n" if i % 16 == 15 else " ") for i, b in enumerate(data)) + "\n"
    assert len(text) % 128 != 0
    return text


# ------------------------------------------------------------------ running

class Runner:
    def __init__(self, args):
        self.velmorin = os.path.abspath(args.velmorin)
        self.emulator = os.path.abspath(args.emulator) if args.emulator else None
        self.scratch_root = os.path.abspath(args.scratch) if args.scratch else None

    def run(self, argv, timeout, stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec=None, cwd=None):
        """Runs velmorin; fails on a time-out, a signal, a non-zero status or a
        sanitizer report. Returns (stdout, stderr) as text (None when not captured)."""
        try:
            proc = subprocess.run([self.velmorin] + argv, stdin=subprocess.DEVNULL, stdout=stdout,
                                  stderr=stderr, timeout=timeout, preexec_fn=preexec, cwd=cwd)
        except subprocess.TimeoutExpired:
            raise Failure("hung: no end within %d s: %r" % (timeout, argv))
        out = proc.stdout.decode("latin-1") if isinstance(proc.stdout, bytes) else None
        err = proc.stderr.decode("latin-1") if isinstance(proc.stderr, bytes) else None
        if proc.returncode < 0:
            raise Failure("killed by signal %s: %r" % (signal.Signals(-proc.returncode).name, argv))
        if proc.returncode != 0:
            raise Failure("exit status %d: %r\nstderr: %s" % (proc.returncode, argv, err))
        if err is not None and "Sanitizer" in err:
            raise Failure("sanitizer report for %r:\n%s" % (argv, err))
        return out, err


def expect_equal(what, expected, actual):
    if expected != actual:
        raise Failure("%s differs\n  expected: %r\n  actual:   %r" % (what, expected, actual))


def expect_silent(result):
    out, err = result
    expect_equal("stdout", "", out)
    expect_equal("stderr", "", err)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("ascii"))


def report_of(runner, folder, edid):
    """The listing report of `edid` as the tool prints it for a plain file
    (used to compare a hostile run with a friendly one)."""
    os.makedirs(folder)
    write(os.path.join(folder, "plain.bin"), edid)
    out, _ = runner.run(["/l", folder], timeout=30)
    return out.replace(os.path.join(folder, "plain.bin"), "{path}")


# ---------------------------------------------------------------- file cases

def case_fifo(runner, tmp):
    fifo = os.path.join(tmp, "1920x1080x60.bin")
    os.mkfifo(fifo)
    expect_silent(runner.run(["/d", fifo], timeout=10))
    # In a listed folder the FIFO is skipped and the file after it reported.
    good = os.path.join(tmp, "z.bin")
    write(good, valid_edid())
    out, _ = runner.run(["/l", tmp], timeout=10)
    if "path %s: DTD 0: 1920 1080 60\n" % good not in out or fifo in out:
        raise Failure("listing with a FIFO: %r" % out)


def case_device(runner, tmp):
    devices = ["/dev/null", "/dev/zero", "/dev/urandom"]
    made = os.path.join(tmp, "made-null.bin")
    try:
        os.mknod(made, 0o600 | stat.S_IFCHR, os.makedev(1, 3))
        devices.append(made)
    except OSError:
        pass  # no right to make device nodes here: the system's own still count
    os.symlink("/dev/zero", os.path.join(tmp, "zero-link.bin"))
    for device in devices:
        expect_silent(runner.run(["/d", device], timeout=10))
    expect_silent(runner.run(["/l", tmp], timeout=10))


def case_sparse(runner, tmp):
    # Past the signed 32-bit range: refused, never wrapped to a small size.
    for name, size in (("2560x1440x144.bin", 2 ** 31 + 256), ("wraps-to-256.bin", 2 ** 32 + 256),
                       ("odd.txt", 2 ** 31 + 1)):
        path = os.path.join(tmp, name)
        with open(path, "wb") as f:
            f.truncate(size)
        expect_silent(runner.run(["/d", path], timeout=10))
        if os.path.exists(path + ".bin"):
            raise Failure("a copy was written for %s" % name)
    expect_silent(runner.run(["/l", tmp], timeout=10))


def case_white_space(runner, tmp):
    # One byte over 10 MiB, so that the size is no whole number of blocks.
    path = os.path.join(tmp, "blank.txt")
    write(path, b" \t\r\n\v\f" * (10 * 1024 * 1024 // 6) + b" " * (10 * 1024 * 1024 % 6 + 1))
    out, err = runner.run(["/d", path], timeout=30)
    expect_equal("stdout", ZERO_SIZE, out)
    expect_equal("stderr", "", err)
    if os.path.lexists(path + ".bin"):
        raise Failure("an empty copy was written")


def case_symlink_loop(runner, tmp):
    a, b, me = (os.path.join(tmp, n) for n in ("a.bin", "b.bin", "me.bin"))
    os.symlink(b, a)
    os.symlink(a, b)
    os.symlink(me, me)
    for path in (a, me):
        expect_silent(runner.run(["/d", path], timeout=10))
    # A folder link back to its own folder: the walk must still end.
    tree = os.path.join(tmp, "tree")
    os.mkdir(tree)
    os.symlink(tree, os.path.join(tree, "again"))
    write(os.path.join(tree, "x.bin"), valid_edid())
    out, _ = runner.run(["/l", tree], timeout=60)
    if "path %s/x.bin: DTD 0: 1920 1080 60\n" % tree not in out:
        raise Failure("listing through a link loop lost the file: %r" % out[:400])


def make_deep_folder(top, total_length, file_name, data, part=200):
    """Creates nested folders below `top` until the path is about
    `total_length` long, and the file `file_name` in the last, working
    relative to each level so that no single call sees the whole path.
    Returns the full path of the file."""
    os.makedirs(top, exist_ok=True)
    path = top
    fd = os.open(top, os.O_RDONLY)
    try:
        while len(path) < total_length:
            name = "d" * part
            os.mkdir(name, dir_fd=fd)
            new_fd = os.open(name, os.O_RDONLY, dir_fd=fd)
            os.close(fd)
            fd = new_fd
            path = path + "/" + name
        file_fd = os.open(file_name, os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
        with os.fdopen(file_fd, "wb") as f:
            f.write(data)
    finally:
        os.close(fd)
    return path + "/" + file_name


def case_long_path(runner, tmp):
    # A missing file behind a path of 6000 characters.
    expect_silent(runner.run(["/d", tmp + "/" + "n" * 6000 + ".bin"], timeout=10))
    # A text-form file 3000 characters deep loads, and its copy is written.
    text = make_deep_folder(os.path.join(tmp, "near"), 3000, "2560x1440x144.txt", hex_text(valid_edid()).encode())
    out, err = runner.run(["/l", os.path.dirname(text)], timeout=30)
    if not out.startswith("The EDID size is 256 bytes. \n") or "path %s: DTD 0: 1920 1080 60\n" % text not in out:
        raise Failure("deep text file: %r" % out[:300])
    expect_equal("stderr", "", err)
    with open(text + ".bin", "rb") as f:
        expect_equal("copy", valid_edid(), f.read())
    # Deeper than the platform's path limit: nothing loads, nothing breaks,
    # and the walk down to it ends.
    too_deep = make_deep_folder(os.path.join(tmp, "far"), 6000, "1920x1080x60.bin", valid_edid())
    expect_silent(runner.run(["/d", too_deep], timeout=10))
    runner.run(["/l", os.path.join(tmp, "far")], timeout=60)


def case_copy_not_writable(runner, tmp):
    """The ".bin" copy's name is taken by a folder, a FIFO and a link to a
    device (tricks that hold against root): the load still succeeds and one
    line on standard error names the copy."""
    friendly = report_of(runner, os.path.join(tmp, "friendly"), valid_edid())
    blockers = {
        "folder": lambda p: os.mkdir(p),
        "fifo": lambda p: os.mkfifo(p),
        "device": lambda p: os.symlink("/dev/full", p),
    }
    for kind, block in sorted(blockers.items()):
        folder = os.path.join(tmp, kind)
        os.mkdir(folder)
        text = os.path.join(folder, "monitor.txt")
        write(text, hex_text(valid_edid()))
        block(text + ".bin")
        out, err = runner.run(["/l", folder], timeout=10)
        expected = "The EDID size is 256 bytes. \n" + friendly.replace("{path}", text)
        expect_equal("stdout (%s)" % kind, expected, out)
        expect_equal("stderr (%s)" % kind, "Velmorin: could not write %s.bin\n" % text, err)


# -------------------------------------------------------------- output cases

def output_commands(tmp):
    folder = os.path.join(tmp, "edids")
    os.mkdir(folder)
    write(os.path.join(folder, "a.bin"), valid_edid())
    write(os.path.join(folder, "b.txt"), hex_text(valid_edid()))
    write(os.path.join(folder, "c.txt"), "12 34")
    # The attach finds no driver: the case's own socket path is empty.
    return [[], ["/x"], ["/l", folder], ["/d", os.path.join(folder, "a.bin")]]


def no_socket():
    """True when nothing is at the case's own socket path."""
    return not os.path.lexists(os.environ[SOCKET_VARIABLE])


def case_stdout_closed(runner, tmp):
    """With standard output (and error) closed nothing breaks, and no report
    text ends up in a ".bin" copy that took over the free descriptor."""
    commands = output_commands(tmp)
    if not no_socket():
        raise Failure("something is at %s" % os.environ[SOCKET_VARIABLE])
    copy = os.path.join(tmp, "edids", "b.txt.bin")
    closers = [lambda: os.close(1), lambda: (os.close(1), os.close(2))]
    for close in closers:
        for argv in commands:
            runner.run(argv, timeout=30, stdout=None, stderr=None if close is closers[1] else subprocess.PIPE,
                       preexec=close)
            if os.path.exists(copy):
                with open(copy, "rb") as f:
                    expect_equal("copy of b.txt with output closed", valid_edid(), f.read())
                os.unlink(copy)


def case_stdout_full(runner, tmp):
    commands = output_commands(tmp)
    if not no_socket():
        raise Failure("something is at %s" % os.environ[SOCKET_VARIABLE])
    with open("/dev/full", "wb") as full:
        for argv in commands:
            runner.run(argv, timeout=30, stdout=full)
            runner.run(argv, timeout=30, stdout=full, stderr=full)


def case_stdout_reader_gone(runner, tmp):
    """A pipe whose reader has gone: writes fail, the process lives on."""
    for argv in output_commands(tmp)[:3]:
        read_end, write_end = os.pipe()
        os.close(read_end)
        try:
            runner.run(argv, timeout=30, stdout=write_end)
        finally:
            os.close(write_end)


# -------------------------------------------------------------- driver cases

def start_emulator(runner, tmp, options):
    ready = os.path.join(tmp, "emulator.ready")
    if os.path.exists(ready):
        os.unlink(ready)  # the previous emulator's
    log = open(os.path.join(tmp, "emulator.out"), "wb")
    proc = subprocess.Popen([runner.emulator, "--ready", ready, "--timeout", "30", "--requests", "1"] + options,
                            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    log.close()
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if os.path.exists(ready):
            return proc
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    stop(proc)
    raise Failure("emulator %s did not start" % options)


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


# Emulator options and the lines that end the attach exchange.
DRIVER_CASES = [
    ("close_early", ["--close-early"], ATTACH_FAILED),
    ("close_mid_reply", ["--close"], ATTACH_FAILED),
    ("short_0", ["--short", "0"], ATTACH_FAILED),
    ("short_7", ["--short", "7"], ATTACH_FAILED),
    ("short_15", ["--short", "15"], ATTACH_FAILED),
    ("long", ["--long"], "get a message from indirect display: status=0\r\n"),
    ("split", ["--split"], ATTACH_FAILED),
    ("garbage", ["--garbage"], ATTACH_FAILED),
]


def attach_report(runner, tmp):
    """The valid EDID in the case folder, and the report that an attach of it
    prints before the driver exchange (taken from a run without a driver)."""
    if runner.emulator is None:
        raise Failure("the driver cases need --emulator")
    if not no_socket():
        raise Failure("something is already at %s" % os.environ[SOCKET_VARIABLE])
    edid = os.path.join(tmp, "2560x1440x144.bin")
    write(edid, valid_edid())
    report, _ = runner.run(["/d", edid], timeout=30)
    if not report.endswith(NO_PIPE):
        raise Failure("without a driver: %r" % report[-200:])
    return edid, report[:-len(NO_PIPE)]


def exchange_with(runner, tmp, options, argv, expected):
    """Runs velmorin against an emulator started with `options`."""
    proc = start_emulator(runner, tmp, options)
    try:
        out, err = runner.run(argv, timeout=30)
        expect_equal("stdout", expected, out)
        expect_equal("stderr", "", err)
        proc.wait(10)
    except subprocess.TimeoutExpired:
        raise Failure("the emulator was never served its connection")
    finally:
        stop(proc)
    if proc.returncode not in (0, -signal.SIGTERM):
        raise Failure("emulator ended with %s" % proc.returncode)


def driver_case(options, ending):
    def case(runner, tmp):
        edid, report = attach_report(runner, tmp)
        exchange_with(runner, tmp, options, ["/d", edid],
                      report + HAVE_PIPE + CONNECTED + "payload size=256\r\n" + ending)
    return case


def case_remove_close_early(runner, tmp):
    """Removal when the driver hangs up unread: no death by SIGPIPE."""
    attach_report(runner, tmp)
    exchange_with(runner, tmp, ["--close-early"], ["/c", "1"],
                  "Remove Monitor1...\n" + HAVE_PIPE + CONNECTED + "dwread = 0 magic 0 ma 0 0 update EDID failed\r\n")


CASES = {
    "files": [("fifo", case_fifo), ("device", case_device), ("sparse_over_2gib", case_sparse),
              ("ten_mib_white_space", case_white_space), ("symlink_loop", case_symlink_loop),
              ("long_path", case_long_path), ("copy_not_writable", case_copy_not_writable)],
    "output": [("stdout_closed", case_stdout_closed), ("stdout_dev_full", case_stdout_full),
               ("stdout_reader_gone", case_stdout_reader_gone)],
    "driver": [("driver_" + name, driver_case(options, ending)) for name, options, ending in DRIVER_CASES]
              + [("driver_remove_close_early", case_remove_close_early)],
}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--velmorin", required=True)
    parser.add_argument("--emulator")
    parser.add_argument("--scratch", help="folder for the cases' files (default: a temporary folder)")
    parser.add_argument("--group", choices=sorted(CASES), action="append")
    parser.add_argument("cases", nargs="*")
    args = parser.parse_args()
    runner = Runner(args)
    groups = args.group or sorted(CASES)
    selected = [(n, f) for g in groups for (n, f) in CASES[g] if not args.cases or n in args.cases]
    if not selected:
        print("no such case: %s" % " ".join(args.cases))
        return 2
    if runner.scratch_root:
        os.makedirs(runner.scratch_root, exist_ok=True)
    passed = failed = 0
    for name, function in selected:
        tmp = tempfile.mkdtemp(prefix="hostile-%s-" % name, dir=runner.scratch_root)
        socket_path, socket_extra = private_socket(tmp)
        os.environ[SOCKET_VARIABLE] = socket_path
        started = time.monotonic()
        try:
            function(runner, tmp)
            passed += 1
            print("PASS %s (%.1f s)" % (name, time.monotonic() - started))
        except Failure as e:
            failed += 1
            print("FAIL %s\n%s" % (name, e))
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
            if socket_extra:
                shutil.rmtree(socket_extra, ignore_errors=True)
        sys.stdout.flush()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
