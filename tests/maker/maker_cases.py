#!/usr/bin/env python3
"""velmorin-edid end to end: refusals, the attach round trip, the same bytes
on every platform, where -o writes, --attach and the README's recipe for
streaming hosts.

  bad_input   every refusal: one stderr line naming the problem, its exit
              status, nothing written; nor does an interrupted write leave
              anything (under Wine the rows that are Windows' own)
  roundtrip   "velmorin /d" on written files (binary and text) passes its
              checks and sends the file's bytes to the driver emulator, which
              listens on a private socket; "/l" lists the preferred mode
  same_bytes  the Windows build (under Wine) writes the samples' bytes, and
              the bytes the native build writes when there is one
  paths       where -o puts the EDID: standard output, new folders, long
              names, links, FIFOs and devices, a file system without hard
              links, and on Windows (under Wine) pipes and the names that the
              platform would otherwise rewrite
  attach      --attach: each exit status with its one line, and the request,
              byte for byte the one "velmorin /d" sends for the same EDID
  recipe      the README's do and undo lines for a streaming host, run as the
              host runs them (sh -c; under Wine cmd /C) with its variables set
Under Wine (--wine) the programs run as Windows programs on the named pipe.
"""

import argparse
import glob
import hashlib
import os
import re
import shlex
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time

# The end-to-end harness: the programs natively or under Wine, a driver socket of each case's own.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

# args, exit status (None: ended by the interrupt, silently), words the message
# must hold; "{dir}" is a scratch folder. Optionally how the run is arranged
# (see arranged_run) and its platforms (POSIX unless said).
BAD_INPUT = [
    ([], 2, "no MODE"),
    (["2560x1600"], 2, "not WIDTHxHEIGHTxREFRESH"),
    (["2560X1600X165"], 2, "not WIDTHxHEIGHTxREFRESH"),
    (["2560x1600x165.5"], 2, "nothing may follow"),
    (["2560x1600x165x"], 2, "nothing may follow"),
    ([" 2560x1600x165"], 2, "not WIDTHxHEIGHTxREFRESH"),
    (["+2560x1600x165"], 2, "no sign or leading zero"),
    (["0x1600x165"], 2, "has a zero"),
    (["2560x0x165"], 2, "has a zero"),
    (["2560x1600x0"], 2, "has a zero"),
    (["02560x1600x165"], 2, "leading zero"),
    (["-2560x1600x165"], 2, "negative"),
    (["2560x-1600x165"], 2, "negative"),
    (["99999999x1600x165"], 2, "at most 6 digits"),
    (["40000x1600x60"], 2, "beyond what a timing descriptor carries"),
    (["640x480x2500"], 2, "no reduced-blanking timing"),
    (["64x64x300"], 2, "below 10 MHz"),
    (["38x528x2"], 2, "within 0.05 %"),
    (["32x24x90"], 2, "mode 32x24x90 cannot come first: no detailed timing descriptor holds it, nor a stand-in"),
    (["1920x1080x60", "1920x1080x60"], 2, "given twice"),
    (["1920x1080x60", "--bogus"], 2, "unknown option"),
    (["1920x1080x60", "-o"], 2, "needs a file or folder"),
    (["1920x1080x60", "--name", "ABCDEFGHIJKLMN"], 2, "1 to 13 characters"),
    (["1920x1080x60", "--name", "Caf\u00e9"], 2, "printable ASCII"),
    (["1920x1080x60", "--name", "abc "], 2, '--name "abc " may not begin or end with a space'),
    (["1920x1080x60", "--name", " "], 2, "may not begin or end with a space"),
    (["1920x1080x60", "--size", "big"], 2, "not a diagonal"),
    (["1920x1080x60", "--size", "900"], 2, "out of range"),
    (["1920x1080x60", "--size", "239133931.042529"], 2, "screen size 5293951424 x 2977847676 mm is out of range"),
    (["1920x1080x60", "--size", "99999999999"], 2, "screen size 2213801864274 x 1245263548654 mm"),
    (["1920x1080x60", "--mm", "600"], 2, "not WIDTHxHEIGHT in millimetres"),
    (["1920x1080x60", "--size", "27", "--mm", "600x340"], 2, "cannot be given together"),
    (["3840x2160x120", "3840x2160x144", "2560x1600x165", "3440x1440x144", "5120x1440x240", "7680x4320x60"],
     2, "too many modes for 256 bytes: the first 5 of 6"),
    (["1920x1080x%d" % r for r in range(30, 47)], 2, "at most 16"),
    (["1920x1080x60", "1920x1080x50", "1280x720x60", "1280x720x50", "1024x768x60", "800x600x60", "1280x720x300"],
     2, "mode 1280x720x300 has no form left: the six detailed timing descriptors are taken"),
    (["3840x2160x120", "3840x2160x144", "2560x1600x165", "3440x1440x144", "5120x1440x240", "7680x4320x60",
      "--hdr", "--audio"], 2, "too many modes for 256 bytes"),
    (["1920x1080x60", "-o", "{dir}/taken/1920x1080x60.bin/"], 1, "cannot make the folder"),
    (["1920x1080x60", "-o", "{dir}/missing/x.bin"], 1, "no such folder"),
    (["1920x1080x60", "-o", "{dir}/locked/"], 1, "cannot write"),
    (["1920x1080x60", "-o", "{dir}/taken/"], 1, "exists; add --force"),
    (["1920x1080x60", "--text", "-o", "{dir}/taken/"], 1, "exists; add --force"),
    (["1920x1080x60", "-o", "{dir}/fifo"], 1, "is a FIFO or device; add --force"),
    (["1920x1080x60", "-o", "{dir}/fifo", "--force"], 1, "nobody reads this FIFO"),
    (["1920x1080x60", "-o", "{dir}/loop", "--force"], 1, "loop of symbolic links"),
    (["1920x1080x60", "-o", "{dir}/disk", "--force"], 1, "is a block device"),
    (["1920x1080x60", "-o", "-"], 1, "cannot write to standard output: it is closed", "stdout_closed"),
    (["1920x1080x60", "-o", "{dir}/fifo", "--force"], 1, "cannot write {dir}/fifo: nobody read it within 10 s",
     "reader_full"),
    (["1920x1080x60", "-o", "{dir}/fifo", "--force"], 1, "cannot write {dir}/fifo: its reader went away",
     "reader_leaves"),
    (["1920x1080x60", "-o", "{dir}/link", "--force"], 1, "cannot look at {dir}/link: Permission denied",
     "stat_denied"),
    (["1920x1080x60", "-o", "new.bin"], None, "", "interrupt", ("posix", "windows")),
    (["1920x1080x60", "-o", "//?/C:", "--force"], 1, "//?/C: is a block device", None, ("windows",)),
]

# The maker run by strace: a leak check cannot run under ptrace, so a sanitizer build's is off there.
STRACE = ["strace", "-qqq", "-o", "/dev/null", "-E",
          "ASAN_OPTIONS=" + re.sub(r"detect_leaks=1", "detect_leaks=0", os.environ.get("ASAN_OPTIONS", "detect_leaks=0"))]
# Writes held in place: each fsync waits 5 s.
HOLD_FSYNC = STRACE + ["-f", "-e", "inject=fsync:delay_enter=5000000"]


def listing(folder):
    """Every entry below `folder`: a regular file's digest, else its kind (never opened)."""
    found = {}
    for root, folders, files in os.walk(folder):
        for name in files + folders:
            path = os.path.join(root, name)
            mode = os.lstat(path).st_mode
            if stat.S_ISREG(mode):
                with open(path, "rb") as f:
                    found[os.path.relpath(path, folder)] = hashlib.sha256(f.read()).hexdigest()
            elif not stat.S_ISDIR(mode):
                found[os.path.relpath(path, folder)] = stat.S_IFMT(mode)
    return found


def make_specials(folder):
    """A FIFO nobody reads, a link loop, a link to a file, as root a block device node (the loop device's)."""
    os.mkfifo(os.path.join(folder, "fifo"))
    os.symlink("loop", os.path.join(folder, "loop"))
    os.symlink("taken/1920x1080x60.bin", os.path.join(folder, "link"))
    if os.geteuid() == 0:
        os.mknod(os.path.join(folder, "disk"), stat.S_IFBLK | 0o600, os.makedev(7, 0))


def arranged_run(env, command, folder, how):
    """Runs `command` in `folder` as `how` says; returns its status, stdout and stderr.
      stdout_closed  standard output closed
      reader_full    the FIFO held open by a reader that reads nothing, its buffer full;
      reader_leaves  the same reader, gone after a second
      stat_denied    looking at the link fails with EACCES, as fs.protected_symlinks answers
      interrupt      SIGINT once the temporary file is there; under Wine SIGKILL, as a
                     closed window or TerminateProcess ends a program (a Ctrl+C reaches
                     a Windows program under Wine only after the held call)"""
    reader, preexec = None, None
    if how in ("reader_full", "reader_leaves"):
        reader = os.open(os.path.join(folder, "fifo"), os.O_RDWR | os.O_NONBLOCK)
        try:
            while True:
                os.write(reader, b"\0" * 4096)
        except BlockingIOError:
            pass
    if how == "stdout_closed":
        preexec = lambda: os.close(1)  # noqa: E731
    if how == "stat_denied":
        command = STRACE + ["-P", os.path.join(folder, "link"),
                   "-e", "inject=%%stat:error=EACCES"] + command
    if how == "interrupt":
        command = HOLD_FSYNC + command
    proc = subprocess.Popen(command, cwd=folder, env=env.environ, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, preexec_fn=preexec)
    if how == "reader_leaves":
        time.sleep(1)
        os.close(reader)
        reader = None
    if how == "interrupt":
        deadline = time.monotonic() + 60
        while not glob.glob(os.path.join(folder, "velmorin-edid-*.tmp")) and time.monotonic() < deadline:
            time.sleep(0.01)
        with open(f"/proc/{proc.pid}/task/{proc.pid}/children") as f:
            for child in f.read().split():  # the maker, run by strace
                os.kill(int(child), signal.SIGKILL if env.platform == "windows" else signal.SIGINT)
    out, err = proc.communicate(timeout=120)
    if reader is not None:
        os.close(reader)
    # strace's own note on a -P path that is a link
    return proc.returncode, out, "".join(line for line in err.splitlines(True) if not line.startswith("strace: "))


def bad_input(args, failures):
    env = harness.Env("windows" if args.wine else "posix", None, None, args.scratch, args.wine)
    for index, (argv, status, words, *arranged) in enumerate(BAD_INPUT):
        how, platforms = arranged + [None, POSIX][len(arranged):]
        if env.platform not in platforms:
            continue
        folder = tempfile.mkdtemp(dir=args.scratch)
        os.makedirs(os.path.join(folder, "locked"))
        os.makedirs(os.path.join(folder, "taken"))
        for name in ("1920x1080x60.bin", "1920x1080x60.txt"):
            with open(os.path.join(folder, "taken", name), "wb") as f:
                f.write(b"old")
        os.chmod(os.path.join(folder, "locked"), 0o555)
        make_specials(folder)
        before = listing(folder)
        argv = [a.replace("{dir}", folder) for a in argv]
        words = words.replace("{dir}", folder)
        returncode, stdout, stderr = arranged_run(env, env.command(args.maker, argv), folder, how)
        after = listing(folder)
        label = f"case {index} {argv}"
        if (words == "cannot write" and os.geteuid() == 0) or (words == "is a block device" and os.geteuid() != 0):
            continue  # root writes anywhere; only root makes device nodes
        if status is None and (returncode >= 0 or stderr):
            failures.append(f"{label}: exit {returncode} {stderr!r}, expected the end by the interrupt")
        if status is not None and returncode != status:
            failures.append(f"{label}: exit {returncode}, expected {status}")
        if status is not None and (not stderr.startswith("velmorin-edid: ") or stderr.count("\n") != 1
                                   or words not in stderr):
            failures.append(f"{label}: message {stderr!r} should be one line with {words!r}")
        if stdout:
            failures.append(f"{label}: printed {stdout!r}")
        if after != before:
            failures.append(f"{label}: files changed: {sorted(k for k in set(after) | set(before) if after.get(k) != before.get(k))}")
        os.chmod(os.path.join(folder, "locked"), 0o755)
        shutil.rmtree(folder)
    if env.platform == "windows":
        return
    # --force replaces, and only the named file.
    folder = tempfile.mkdtemp(dir=args.scratch)
    target = os.path.join(folder, "1920x1080x60.bin")
    with open(target, "wb") as f:
        f.write(b"old")
    result = subprocess.run([args.maker, "1920x1080x60", "--force"], cwd=folder, capture_output=True, text=True)
    if result.returncode != 0 or os.path.getsize(target) != 256 or sorted(os.listdir(folder)) != ["1920x1080x60.bin"]:
        failures.append(f"--force: exit {result.returncode} {result.stderr!r} {os.listdir(folder)}")
    # A file name that asks for another mode gets a note, and is still written.
    result = subprocess.run([args.maker, "2560x1600x165", "-o", "monitor.bin"], cwd=folder,
                            capture_output=True, text=True)
    if result.returncode != 0 or "reads the mode 1920x1080x60" not in result.stderr \
            or not os.path.exists(os.path.join(folder, "monitor.bin")):
        failures.append(f"-o monitor.bin: exit {result.returncode} {result.stderr!r}")
    shutil.rmtree(folder)


ROUND_TRIP = [
    ["2560x1600x165"], ["1920x1080x60"], ["2560x1440x144", "--text"], ["7680x4320x60", "3840x2160x60", "--hdr"],
    ["3840x2160x120", "1920x1080x60", "--audio"], ["1920x1080x144", "1280x720x60", "--hdr", "--audio", "--text"],
    ["5120x1440x240"], ["1280x1024x60", "1024x768x60", "800x600x60"],
]


def ranges_agree(edid, report):
    """The report's range limits against edid-decode's (v min, v max, h min, h max); True without edid-decode."""
    if shutil.which("edid-decode") is None:
        return True
    decoded = subprocess.run(["edid-decode"], input=edid, capture_output=True).stdout.decode()
    theirs = re.findall(r"Monitor ranges \(.*\): (\d+)-(\d+) Hz V, (\d+)-(\d+) kHz H", decoded)
    ours = [(v_min, v_max, h_min, h_max) for h_min, h_max, v_min, v_max in
            re.findall(r"\tHorizSync (\d+)-(\d+)\n\tVertRefresh (\d+)-(\d+)\n", report)]
    return ours == theirs


def round_trip(args, failures):
    for index, argv in enumerate(ROUND_TRIP):
        folder = tempfile.mkdtemp(dir=args.scratch)
        result = subprocess.run([args.maker] + argv, cwd=folder, capture_output=True, text=True)
        name = argv[0] + (".txt" if "--text" in argv else ".bin")
        if result.returncode != 0:
            failures.append(f"{argv}: maker exit {result.returncode} {result.stderr!r}")
            continue
        with open(os.path.join(folder, name), "rb") as f:
            written = f.read()
        expected = bytes.fromhex(written.decode("ascii")) if name.endswith(".txt") else written
        env = dict(os.environ)
        env["VELMORIN_DRIVER_SOCKET"] = os.path.join(folder, "driver.sock")
        save = os.path.join(folder, "saved")
        ready = os.path.join(folder, "ready")
        os.makedirs(save)
        emulator = subprocess.Popen([args.emulator, "--ready", ready, "--requests", "1", "--timeout", "30",
                                     "--save", save, "--log", os.path.join(folder, "log")],
                                    env=env, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while not os.path.exists(ready) and time.monotonic() < deadline and emulator.poll() is None:
            time.sleep(0.05)
        if not os.path.exists(env["VELMORIN_DRIVER_SOCKET"]):
            failures.append(f"{argv}: the emulator does not listen on the private socket")
        attach = subprocess.run([args.velmorin, "/d", name], cwd=folder, env=env, capture_output=True,
                                text=True, timeout=60)
        try:
            emulator.wait(30)
        except subprocess.TimeoutExpired:
            emulator.kill()
            emulator.wait()
        saved = [open(os.path.join(save, n), "rb").read() for n in sorted(os.listdir(save))]
        mode = argv[0].split("x")
        if attach.stderr or "checksum wrong" in attach.stdout:
            failures.append(f"{argv}: /d complained: {attach.stdout!r} {attach.stderr!r}")
        if not ranges_agree(expected, attach.stdout):
            failures.append(f"{argv}: /d states other range limits than edid-decode: {attach.stdout!r}")
        # The request: eight 32-bit words (payload size, then width, height and
        # refresh last), then the payload.
        fields = struct.unpack_from("<8i", saved[0]) if len(saved) == 1 and len(saved[0]) >= 32 else None
        if not fields or saved[0][32:32 + fields[4]] != expected or tuple(fields[5:8]) != tuple(map(int, mode)):
            failures.append(f"{argv}: the driver did not receive the mode and the file's bytes: {fields}")
        listed = subprocess.run([args.velmorin, "/l", folder], capture_output=True, text=True, timeout=60)
        if "checksum wrong" in listed.stdout or listed.stderr:
            failures.append(f"{argv}: /l complained: {listed.stdout!r} {listed.stderr!r}")
        shutil.rmtree(folder)


def sample_arguments(samples):
    """The argument lists of make_samples.sh, one per sample."""
    with open(os.path.join(samples, "make_samples.sh")) as f:
        return [shlex.split(line)[1:] for line in f if line.startswith("sample ")]


def same_bytes(args, failures):
    """The samples are what the native maker writes (samples_current holds
    that); the Windows maker must write them too, binary and text alike.
    With a native maker at hand, more cases are compared directly."""
    env = dict(os.environ, WINEDEBUG="-all", LC_ALL="C.UTF-8")
    windows = [args.wine, args.maker]
    for argv in sample_arguments(args.samples):
        for form in ([], ["--text"]):
            folder = tempfile.mkdtemp(dir=args.scratch)
            result = subprocess.run(windows + argv + form, cwd=folder, capture_output=True, env=env, timeout=300)
            name = argv[0] + (".txt" if form else ".bin")
            with open(os.path.join(args.samples, name), "rb") as f:
                expected = f.read()
            written = os.path.join(folder, name)
            actual = open(written, "rb").read() if os.path.exists(written) else None
            if result.returncode != 0 or actual != expected:
                failures.append(f"{argv + form}: the Windows maker wrote something else ({result.returncode}, "
                                f"{result.stderr!r})")
            shutil.rmtree(folder)
    if not (args.native and os.path.exists(args.native)):
        print("no native velmorin-edid beside this build: compared with the samples only")
        return
    cases = [["2560x1600x165"], ["7680x4320x60", "1920x1080x60", "--hdr", "--audio"], ["1920x1080x60", "--text"],
             ["3840x2160x144", "2560x1440x60", "--name", "Wine Test", "--size", "31.5"],
             ["1280x1024x75", "1360x768x240", "--mm", "700x300"], ["4096x2x120", "2560x1440x165", "1920x1080x540"]]
    for argv in cases:
        outputs = []
        for command in ([args.native], windows):
            folder = tempfile.mkdtemp(dir=args.scratch)
            result = subprocess.run(command + argv, cwd=folder, capture_output=True, env=env, timeout=300)
            outputs.append((result.returncode, listing(folder)))
            shutil.rmtree(folder)
        if outputs[0] != outputs[1] or outputs[0][0] != 0:
            failures.append(f"{argv}: native {outputs[0]} and Windows {outputs[1]} differ")


BOTH, POSIX, WINDOWS = ("posix", "windows"), ("posix",), ("windows",)
# A file system without hard links, whose rename cannot refuse to replace either.
NO_HARD_LINKS = STRACE + ["-f", "-e", "inject=link,linkat:error=EPERM", "-e", "inject=renameat2:error=EINVAL"]
LONG_NAME = "1920x1080x60" + "a" * 234 + ".bin"  # 250 bytes: legal everywhere
# platforms, arguments after the mode, where the EDID lands ("-": standard
# output, None: a device, "pipe": the pipe {pipe} that a velmorin-pipe-reader
# serves), the path that "wrote" names, and optionally a command that runs the
# maker. Every row runs in a fresh folder holding the entries paths_setup
# makes; {z} is that folder as Windows spells it with forward slashes.
PATHS = [
    (BOTH, ["-o", "-"], "-", None),
    (BOTH, ["-o", "-", "--text"], "-", None),  # CR LF as in the file, not CR CR LF
    (BOTH, ["-o", "edids/", "--text"], "edids/1920x1080x60.txt", "edids/1920x1080x60.txt"),
    (BOTH, ["-o", LONG_NAME], LONG_NAME, LONG_NAME),
    (BOTH, ["-o", "link.bin", "--force"], "real.bin", "link.bin"),
    (BOTH, ["-o", "dangling.bin"], "made/new.bin", "dangling.bin"),
    (POSIX, ["-o", "new.bin"], "new.bin", "new.bin", NO_HARD_LINKS),
    (POSIX, ["-o", "fifo", "--force"], "fifo", "fifo"),
    (POSIX, ["-o", "null", "--force"], None, "null"),
    (WINDOWS, ["-o", "out."], "out.", "out."),
    (WINDOWS, ["-o", "sub./"], "sub./1920x1080x60.bin", "sub./1920x1080x60.bin"),
    (WINDOWS, ["-o", "nul.bin"], "nul.bin", "nul.bin"),
    (WINDOWS, ["-o", "taken/nul.bin", "--force"], "taken/nul.bin", "taken/nul.bin"),
    (WINDOWS, ["-o", "Z:"], "1920x1080x60.bin", "Z:1920x1080x60.bin"),  # Z:'s current folder, not its root
    (WINDOWS, ["-o", "//?/{z}/t."], "t.", "//?/{z}/t."),
    (WINDOWS, ["-o", "//./NUL", "--force"], None, "//./NUL"),
    (WINDOWS, ["-o", "//./pipe/{pipe}", "--force"], "pipe", "//./pipe/{pipe}"),
]


def paths_setup(folder):
    """A folder named "sub.", a file in the way, a link to a file; on POSIX a
    dangling link, a FIFO and (as root) a null device node."""
    os.makedirs(os.path.join(folder, "sub."))
    os.makedirs(os.path.join(folder, "taken"))
    os.makedirs(os.path.join(folder, "made"))
    for name in ("real.bin", "taken/nul.bin"):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"old")
    os.symlink("real.bin", os.path.join(folder, "link.bin"))
    os.symlink("made/new.bin", os.path.join(folder, "dangling.bin"))
    os.mkfifo(os.path.join(folder, "fifo"))
    if os.geteuid() == 0:
        os.mknod(os.path.join(folder, "null"), stat.S_IFCHR | 0o666, os.makedev(1, 3))


def decode_problem(data):
    """None when edid-decode passes the EDID (raw or text form) without a word of warning."""
    result = subprocess.run(["edid-decode", "--check"], input=data, capture_output=True, timeout=60)
    out = result.stdout.decode("latin-1")
    if result.returncode != 0 or "EDID conformity: PASS" not in out or "Warning" in out:
        return out[-400:] or "edid-decode failed"
    return None


def paths(args, failures):
    env = harness.Env("windows" if args.wine else "posix", None, None, args.scratch, args.wine)
    for platforms, argv, where, shown, *runner in PATHS:
        if env.platform not in platforms or (where is None and env.platform == "posix" and os.geteuid() != 0):
            continue
        folder = tempfile.mkdtemp(dir=args.scratch)
        paths_setup(folder)
        z, pipe = "Z:" + folder, f"velmorin-test-{os.getpid()}-{os.path.basename(folder)}"
        argv = ["1920x1080x60"] + [a.replace("{z}", z).replace("{pipe}", pipe) for a in argv]
        shown = shown and shown.replace("{pipe}", pipe)
        kinds = {rel: value for rel, value in listing(folder).items() if isinstance(value, int)}
        reader = os.open(os.path.join(folder, "fifo"), os.O_RDONLY | os.O_NONBLOCK) if where == "fifo" else None
        server = None
        if where == "pipe":
            server = subprocess.Popen(env.command(args.pipe_reader, [pipe, "ready", "pipe"]), cwd=folder,
                                      env=env.environ)
            deadline = time.monotonic() + 60
            while not os.path.exists(os.path.join(folder, "ready")) and time.monotonic() < deadline:
                time.sleep(0.05)
        result = subprocess.run(sum(runner, []) + env.command(args.maker, argv), cwd=folder, capture_output=True,
                                env=env.environ, timeout=300)
        try:
            server and server.wait(30)
        except subprocess.TimeoutExpired:
            harness.stop_process(server)
        label = f"{env.platform} {argv}"
        written = result.stdout if where == "-" else b""
        if reader is not None:
            written = os.read(reader, 4096)
            os.close(reader)
        elif where and where != "-" and os.path.isfile(os.path.join(folder, where)):
            with open(os.path.join(folder, where), "rb") as f:
                written = f.read()
        wrote = "" if where == "-" else env.expected("wrote %s: 1920x1080 at 60 Hz as a detailed timing\n"
                                                     % shown.replace("{z}", z))
        if result.returncode != 0 or result.stderr or (where != "-" and result.stdout.decode("latin-1") != wrote):
            failures.append(f"{label}: exit {result.returncode} {result.stdout[:200]!r} {result.stderr!r}")
        elif where and decode_problem(written):
            failures.append(f"{label}: {where} does not hold the EDID: {decode_problem(written)}")
        after = listing(folder)
        changed = [rel for rel, kind in kinds.items() if after.get(rel) != kind]
        if changed:
            failures.append(f"{label}: replaced {changed}; links, FIFOs and devices must stay as they are")
        shutil.rmtree(folder)


# A driver whose pipe is there but refuses the connect: a socket file nobody
# listens on; on Windows a pipe open for reading only. (options, error code)
CONNECT_FAILS = {"posix": (["--stale"], 111), "windows": (["--inbound-only"], 5)}
NOT_SENT = "velmorin-edid: 1920x1080x60 not sent: "
# maker arguments; emulator options (None: no driver at all); exit status,
# stdout, stderr ({endpoint}, {error}); whether the driver hears a request.
ATTACH = [
    (["2560x1600x165", "3840x2160x60", "--hdr=TRUE", "--attach"], [], 0,
     "sent 2560x1600x165 to the driver: status 0\n", "", True),
    (["7680x4320x60", "--audio", "--text", "-o", "out/", "--attach"], [], 0,
     "sent 7680x4320x60 to the driver: status 0\n", "", True),
    (["1920x1080x60", "--attach"], ["--status", "5"], 3, "sent 1920x1080x60 to the driver: status 5\n", "", True),
    (["1920x1080x60", "--attach"], None, 4, "", NOT_SENT + "no driver answers at {endpoint}\n", False),
    (["1920x1080x60", "--attach"], CONNECT_FAILS, 4, "",
     NOT_SENT + "connecting to the driver at {endpoint} failed, error {error}\n", False),
    (["1920x1080x60", "-o", "taken.bin", "--attach"], [], 1, "",
     "velmorin-edid: taken.bin exists; add --force to replace it\n", False),
    (["1920x1080x60", "--hdr=maybe", "--attach"], [], 2, "",
     "velmorin-edid: --hdr=\"maybe\" is not one of true/false, 1/0, yes/no, on/off\n", False),
]

SENT_BUT = "velmorin-edid: 1920x1080x60 sent, but %s; the monitor may be attached\n"
ACCEPTED = "sent 1920x1080x60 to the driver: status 0\n"
# Each way the emulator breaks the exchange, a driver that never replies, and
# a pipe that stays busy or is freed within the 2 s:
# its options, the (exit status, line) pairs allowed, whether it logs an
# attach. --close-early races the write: "not sent" when it hangs up before
# the request is taken, else closed without a reply.
FAULTS = [
    (["--short", "8"], [(5, SENT_BUT % "the reply was short (8 of 16 bytes)")], True),
    (["--bad-magic"], [(5, SENT_BUT % "the reply had the wrong magic or markers")], True),
    (["--bad-marker"], [(5, SENT_BUT % "the reply had the wrong magic or markers")], True),
    (["--garbage"], [(5, SENT_BUT % "the reply had the wrong magic or markers")], True),
    (["--close"], [(5, SENT_BUT % "the driver closed the connection without replying")], True),
    (["--silent"], [(5, SENT_BUT % "no reply came within 10 s")], True),
    (["--long"], [(0, ACCEPTED)], True),
    (["--split"], [(0, ACCEPTED)], True),
    (["--busy"], [(4, NOT_SENT + "the driver's pipe at {endpoint} stayed busy for 2 s\n")], False),
    (["--busy-for", "1000"], [(0, ACCEPTED)], True),
    (["--close-early"], [(4, NOT_SENT + "the driver at {endpoint} closed the connection before taking the request\n"),
                         (5, SENT_BUT % "the driver closed the connection without replying")], False),
]


def run(env, ctx, program, argv, environ=None):
    done = subprocess.run(env.command(program, argv), cwd=ctx.dir, env=environ or ctx.environ, capture_output=True,
                          timeout=300)
    return done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")


def cleanup(ctx):
    for folder in (ctx.dir, ctx.socket_extra):
        if folder:
            shutil.rmtree(folder)


def attach(args, failures):
    env = harness.Env("windows" if args.wine else "posix", args.velmorin, args.emulator, args.scratch, args.wine)
    for argv, options, status, stdout, stderr, sends in ATTACH:
        ctx = harness.Context(env, tempfile.mkdtemp(dir=args.scratch))
        os.makedirs(ctx.path("out"))
        harness.write(ctx, "taken.bin", b"old")
        options, error = CONNECT_FAILS[env.platform] if options is CONNECT_FAILS else (options, 0)
        driver = harness.Emulator(options or [], requests=2 if sends else 1, served=2 if sends else 0)
        proc, problem = harness.start_emulator(env, ctx, driver) if options is not None else (None, None)
        got = run(env, ctx, args.maker, argv)
        want = (status, env.expected(stdout), env.expected(stderr.format(endpoint=ctx.endpoint, error=error)))
        if problem or got != want:
            failures.append(f"{argv} {options}: {problem or ''} got {got}, expected {want}")
        if sends:  # then "velmorin /d" on the EDID of the same arguments, named by the first mode
            plain = [a for i, a in enumerate(argv) if a != "--attach" and "-o" not in argv[max(i - 1, 0):i + 1]]
            os.makedirs(ctx.path("ref"))
            run(env, ctx, args.maker, plain + ["-o", "ref/"])
            name = os.listdir(ctx.path("ref"))[0]
            run(env, ctx, args.velmorin, ["/d", "ref/" + name])
            if "-o" in argv and harness.file_holds("out/" + name, open(ctx.path("ref", name), "rb").read())(ctx):
                failures.append(f"{argv}: the file written is not the EDID of the same arguments")
        problem = harness.finish_emulator(proc, driver) if proc else None
        saved = ctx.saved_requests()
        if problem or (sends and (len(saved) != 2 or saved[0] != saved[1])) or (not sends and saved):
            failures.append(f"{argv}: {problem or ''} the driver received {[r[:32].hex() for r in saved]}, "
                            f"expected {'the request of velmorin /d twice' if sends else 'nothing'}")
        cleanup(ctx)
    for options, endings, attaches in FAULTS:
        ctx = harness.Context(env, tempfile.mkdtemp(dir=args.scratch))
        driver = harness.Emulator(options, served=0 if "--busy" in options else 1)
        proc, problem = harness.start_emulator(env, ctx, driver)
        got = run(env, ctx, args.maker, ["1920x1080x60", "--attach"])
        wants = [(status, *((line, "") if status == 0 else ("", line))) for status, line in endings]
        wants = [tuple(env.expected(w.format(endpoint=ctx.endpoint)) if isinstance(w, str) else w for w in want)
                 for want in wants]
        problem = problem or (harness.finish_emulator(proc, driver) if proc else None)
        attached = "attach payload_size=256" in ctx.emulator_log()
        if problem or got not in wants or attached != attaches:
            failures.append(f"{options}: {problem or ''} got {got}, expected one of {wants}; the driver "
                            f"{'logged' if attached else 'did not log'} an attach:\n{ctx.emulator_log()}")
        cleanup(ctx)


def readme_recipe(readme):
    """The do and undo lines of the README's "Scripts and streaming hosts": {"bat": [...], "sh": [...]}."""
    with open(readme, encoding="utf-8") as f:
        section = f.read().split("\n## Scripts and streaming hosts\n", 1)[1].split("\n## ", 1)[0]
    blocks = {}
    for kind, body in re.findall(r"```(bat|sh)\n(.*?)```", section, re.S):
        blocks.setdefault(kind, [line for line in body.splitlines() if line and not line.startswith(("rem ", "#"))])
    return blocks


def readme_socket_line(args, failures):
    """The README's socket example names a private socket whether or not XDG_RUNTIME_DIR is set."""
    with open(args.readme, encoding="utf-8") as f:
        line = next(l for l in f if l.startswith("export VELMORIN_DRIVER_SOCKET="))
    for runtime, want in (("", os.path.join(args.scratch, "kovra.sock")), ("/run/user/7", "/run/user/7/kovra.sock")):
        got = subprocess.run(["sh", "-c", line + '\nprintf %s "$VELMORIN_DRIVER_SOCKET"'], capture_output=True,
                             text=True, env=dict(os.environ, XDG_RUNTIME_DIR=runtime, HOME=args.scratch)).stdout
        if got != want:
            failures.append(f"the README's socket line gives {got!r} with XDG_RUNTIME_DIR={runtime!r}, not {want!r}")


def recipe(args, failures):
    """A client connects (do) and leaves (undo): the driver gets the client's mode with HDR, then a remove."""
    env = harness.Env("windows" if args.wine else "posix", args.velmorin, args.emulator, args.scratch, args.wine)
    ctx = harness.Context(env, tempfile.mkdtemp(dir=args.scratch))
    host = dict(ctx.environ, SUNSHINE_CLIENT_WIDTH="2560", SUNSHINE_CLIENT_HEIGHT="1440", SUNSHINE_CLIENT_FPS="120",
                SUNSHINE_CLIENT_HDR="true")
    folders = sorted({os.path.dirname(args.maker), os.path.dirname(args.velmorin)})
    if args.wine:
        host["WINEPATH"] = ";".join(env.native(f) for f in folders)
        # A host starts cmd /C "LINE": the quotes are the command line's, around cmd's one argument.
        runs = [[args.wine, "cmd", "/C", re.sub(r'^cmd /C "(.*)"$', r"\1", line)]
                for line in readme_recipe(args.readme)["bat"]]
    else:
        readme_socket_line(args, failures)
        host["PATH"] = os.pathsep.join(folders + [host["PATH"]])
        runs = [["sh", "-c", line] for line in readme_recipe(args.readme)["sh"]]
    driver = harness.Emulator(requests=2)
    proc, problem = harness.start_emulator(env, ctx, driver)
    got = [subprocess.run(r, cwd=ctx.dir, env=host, capture_output=True, timeout=300) for r in runs]
    got = [(r.returncode, r.stdout.decode("latin-1"), r.stderr.decode("latin-1")) for r in got]
    want = [(0, env.expected("sent 2560x1440x120 to the driver: status 0\n"), ""),
            (0, env.expected("Remove Monitor1...\nAlready have a named Pipe  !!!\nconnect success!\n"
                             "get a message from indirect display: status=0\r\n"), "")]
    problem = problem or (harness.finish_emulator(proc, driver) if proc else None)
    if problem or got != want:
        failures.append(f"{problem or ''} do and undo printed {got}, expected {want}")
    run(env, ctx, args.maker, ["2560x1440x120", "--hdr"])
    saved = ctx.saved_requests()
    # Eight 32-bit words (the command fourth: 1 attach, 2 remove; the mode last), then the payload.
    if len(saved) != 2 or harness.file_holds("2560x1440x120.bin", saved[0][32:32 + 256])(ctx) \
            or struct.unpack_from("<3i", saved[0], 20) != (2560, 1440, 120) or saved[1][12] != 2:
        failures.append(f"the driver did not receive the client's mode with HDR, then a remove: "
                        f"{[r[:32].hex() for r in saved]}")
    cleanup(ctx)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--group", required=True,
                        choices=["bad_input", "roundtrip", "same_bytes", "paths", "attach", "recipe"])
    parser.add_argument("--maker", required=True)
    parser.add_argument("--velmorin")
    parser.add_argument("--emulator")
    parser.add_argument("--native", help="the native maker, for same_bytes")
    parser.add_argument("--wine")
    parser.add_argument("--samples", help="the samples folder, for same_bytes")
    parser.add_argument("--readme", help="the README whose recipe the recipe group runs")
    parser.add_argument("--pipe-reader", help="velmorin-pipe-reader, for the paths group under Wine")
    parser.add_argument("--scratch", required=True)
    args = parser.parse_args()
    for name in ("maker", "velmorin", "emulator", "native", "pipe_reader"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))
    os.makedirs(args.scratch, exist_ok=True)
    failures = []
    {"bad_input": bad_input, "roundtrip": round_trip, "same_bytes": same_bytes, "paths": paths, "attach": attach,
     "recipe": recipe}[args.group](args, failures)
    for failure in failures:
        print("FAIL:", failure)
    print(f"{args.group}: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
