"""Runs the real velmorin binary against the real driver emulator.

Each case gets a fresh scratch folder, optionally its own emulator (started
with --ready, --timeout and --requests), and one or more steps: a command
line with the exact stdout and stderr expected on a POSIX build. For the
Windows build, run under Wine, every "\n" of the expectation becomes "\r\n"
because a Windows program's standard streams are in text mode.

On POSIX every case, with or without an emulator, gets a driver socket path of
its own through VELMORIN_DRIVER_SOCKET, so that cases never meet another run's
driver and can run in parallel. The Windows pipe name is fixed; those tests
take a CTest resource lock instead.
"""

import difflib
import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import time

SOCKET_VARIABLE = "VELMORIN_DRIVER_SOCKET"
DEFAULT_SOCKET = "/tmp/kovra_idd_pipe"
PIPE_NAME = "\\\\.\\pipe\\kovra_idd_pipe"
# The emulators the cases started, so that a watch of the default path can tell them from others.
OWN_EMULATORS = set()
# A Unix socket address holds at most 107 bytes of path; stay well below.
SOCKET_PATH_ROOM = 100


def private_socket(folder):
    """A driver socket path of the caller's own: folder/driver.sock when that
    fits in a socket address, else in a new private folder under the system's
    temporary folder. Returns the path and the extra folder to remove (or None)."""
    path = os.path.join(folder, "driver.sock")
    if len(os.fsencode(path)) <= SOCKET_PATH_ROOM:
        return path, None
    extra = tempfile.mkdtemp(prefix="velmorin-")
    return os.path.join(extra, "driver.sock"), extra


def default_listeners():
    """The inodes of the sockets listening at the default path, from the kernel's table."""
    with open("/proc/net/unix") as table:
        rows = table.read().splitlines()[1:]
    # Num RefCount Protocol Flags Type St Inode Path; flag 0x10000: listening.
    return {f[6] for f in (row.split() for row in rows)
            if len(f) >= 8 and f[7] == DEFAULT_SOCKET and int(f[3], 16) & 0x10000}


def sockets_of(pids):
    """The inodes of the sockets that the processes `pids` hold."""
    found = set()
    for pid in pids:
        try:
            for fd in os.listdir("/proc/%d/fd" % pid):
                target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
                if target.startswith("socket:["):
                    found.add(target[len("socket:["):-1])
        except OSError:
            pass  # gone, or going
    return found


def foreign_default_server():
    """True when something that none of our emulators holds listens at the default path. A listener
    must be there before and after our emulators' sockets are read: one of ours may close meanwhile."""
    listeners = default_listeners()
    return bool(listeners and (listeners - sockets_of(OWN_EMULATORS)) & default_listeners())


def default_socket_served():
    """True when something listens at the default path, which no test may then touch.
    Read from the kernel's table where there is one, so the driver never sees us look."""
    try:
        return bool(default_listeners())
    except OSError:
        import socket
        probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            probe.connect(DEFAULT_SOCKET)
            return True
        except OSError:
            return False
        finally:
            probe.close()


def reachable_by(user, path):
    """True when `user` may reach `path` (read and search every folder on the way)."""
    return subprocess.run(["test", "-r", path], preexec_fn=as_user(user), stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def as_user(name):
    """A preexec function that makes the child run as user `name`."""
    entry = pwd.getpwnam(name)

    def switch():
        os.setgroups([])
        os.setgid(entry.pw_gid)
        os.setuid(entry.pw_uid)
    return switch


class Step:
    """One run of velmorin.

    args, stdout and stderr may be callables taking the case context, so that
    they can name files in the case's scratch folder. stdout may also be a
    Matcher, for the few outputs that cannot be spelled out in advance.
    """

    def __init__(self, args, stdout="", stderr="", timeout=60, user=None, environ=None):
        self.args = args
        self.stdout = stdout
        self.stderr = stderr
        self.timeout = timeout
        self.user = user  # run as this user (the case needs root)
        self.environ = environ  # callable(ctx) -> variables that differ for this run only


class Matcher:
    """Checks an output that has no single exact form; returns a problem or None."""

    def __init__(self, description, check):
        self.description = description
        self.check = check


class Emulator:
    """What a case asks of the emulator: extra options and the connections it serves.

    `served` is the number of connections the case expects; when it is smaller
    than `requests` (for instance 0 when nothing must be sent), the emulator is
    stopped after the steps instead of waited for.
    """

    def __init__(self, options=(), requests=1, served=None, timeout=30, user=None):
        self.options = list(options)
        self.requests = requests
        self.served = requests if served is None else served
        self.timeout = timeout
        self.user = user  # run as this user (the case needs root)


PRIVATE = object()  # a case's own driver socket, in its folder
# The user that the cases which need a second user run as (CI runs as root).
OTHER_USER = "nobody"


class Case:
    def __init__(self, name, steps, emulator=None, setup=None, check=None, platforms=("posix", "windows"),
                 no_pipe=False, during=None, socket=PRIVATE, other_user=False):
        self.name = name
        self.steps = steps
        self.emulator = emulator
        self.setup = setup
        self.check = check
        self.platforms = platforms
        self.no_pipe = no_pipe  # documents that no driver may be reached; the private socket sees to it
        self.during = during  # called once the emulator is ready, before the steps; returns problems
        self.socket = socket  # PRIVATE, or the value of VELMORIN_DRIVER_SOCKET (None: unset)
        # Runs something as OTHER_USER, which takes root.
        self.needs_root = other_user or any(s.user for s in steps) or bool(emulator and emulator.user)


class Context:
    """What a case's callables see: its folder, path spelling and the emulator's records."""

    def __init__(self, env, folder, socket=PRIVATE):
        self.env = env
        self.dir = folder
        self.velmorin = env.velmorin
        self.emulator = env.emulator
        self.environ = dict(env.environ)
        self.environ.pop(SOCKET_VARIABLE, None)
        self.socket = None
        self.socket_extra = None
        if env.platform != "windows":
            if socket is PRIVATE:
                self.socket, self.socket_extra = private_socket(folder)
                self.environ[SOCKET_VARIABLE] = self.socket
            else:
                self.socket = socket or DEFAULT_SOCKET
                if socket is not None:
                    self.environ[SOCKET_VARIABLE] = socket
        self.platform = env.platform
        self.endpoint = PIPE_NAME if env.platform == "windows" else self.socket  # as the programs name it
        self.sep = "\\" if env.platform == "windows" else "/"
        self.save_dir = os.path.join(folder, "emulator-saved")
        self.log_path = os.path.join(folder, "emulator.log")

    def path(self, *parts):
        """A path inside the case folder (host spelling)."""
        return os.path.join(self.dir, *parts)

    def native(self, path):
        """The spelling of a host path that the tool under test understands."""
        return self.env.native(path)

    def arg(self, *parts):
        """A path in the case folder spelled for the tool's command line."""
        return self.native(self.path(*parts))

    def saved_requests(self):
        if not os.path.isdir(self.save_dir):
            return []
        names = [n for n in os.listdir(self.save_dir) if n.startswith("request-") and n.endswith(".bin")]
        names.sort(key=lambda n: int(n[len("request-"):-len(".bin")]))
        result = []
        for n in names:
            with open(os.path.join(self.save_dir, n), "rb") as f:
                result.append(f.read())
        return result

    def emulator_log(self):
        try:
            with open(self.log_path, "r", errors="replace") as f:
                return f.read()
        except OSError:
            return ""


class Env:
    def __init__(self, platform, velmorin, emulator, scratch, wine=None):
        self.platform = platform
        self.velmorin = velmorin
        self.emulator = emulator
        self.scratch = os.path.abspath(scratch)
        self.wine = wine
        self.environ = dict(os.environ)
        if platform == "windows":
            self.environ["WINEDEBUG"] = "-all"

    def native(self, path):
        if self.platform == "windows":
            return "Z:" + os.path.abspath(path).replace("/", "\\")
        return path

    def command(self, program, args):
        if self.platform == "windows":
            return [self.wine, program] + list(args)
        return [program] + list(args)

    def expected(self, text):
        """The POSIX expectation as it reaches us from this platform."""
        if self.platform == "windows":
            return text.replace("\n", "\r\n")
        return text


def show(text):
    """Lines of an output with every control character visible."""
    return [repr(line) + "\n" for line in text.splitlines(keepends=True)] or ["(nothing)\n"]


def compare(label, expected, actual):
    if expected == actual:
        return None
    diff = difflib.unified_diff(show(expected), show(actual), "expected " + label, "actual " + label, n=2)
    return "".join(diff)


def start_emulator(env, ctx, driver):
    os.makedirs(ctx.save_dir, exist_ok=True)
    ready = ctx.path("emulator.ready")
    args = ["--ready", ctx.native(ready), "--timeout", str(driver.timeout), "--requests", str(driver.requests),
            "--log", ctx.native(ctx.log_path), "--save", ctx.native(ctx.save_dir)] + driver.options
    preexec = None
    if driver.user:
        # The emulator writes its files in the case folder and its socket beside them.
        entry = pwd.getpwnam(driver.user)
        for folder in [ctx.dir, ctx.save_dir] + ([ctx.socket_extra] if ctx.socket_extra else []):
            os.chown(folder, entry.pw_uid, entry.pw_gid)
        preexec = as_user(driver.user)
    out = open(ctx.path("emulator.out"), "wb")
    proc = subprocess.Popen(env.command(ctx.emulator, args), stdin=subprocess.DEVNULL, stdout=out,
                            stderr=subprocess.STDOUT, env=ctx.environ, cwd=ctx.dir, preexec_fn=preexec)
    OWN_EMULATORS.add(proc.pid)
    out.close()
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        try:
            with open(ready, "r") as f:
                if f.read() == "ready\n":
                    return proc, None
        except OSError:
            pass
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    stop_process(proc)
    with open(ctx.path("emulator.out"), "r", errors="replace") as f:
        return None, "emulator did not become ready: " + f.read()


def stop_process(proc, grace=5):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def finish_emulator(proc, driver):
    """Waits for an emulator that should have served all its connections; stops any other."""
    if driver.served >= driver.requests:
        try:
            proc.wait(15)
        except subprocess.TimeoutExpired:
            stop_process(proc)
            return "emulator still waiting for a connection after the steps"
        if proc.returncode != 0:
            return "emulator ended with status %d" % proc.returncode
        return None
    stop_process(proc)
    return None


def run_step(env, ctx, step):
    args = step.args(ctx) if callable(step.args) else step.args
    try:
        environ = dict(ctx.environ)
        environ.update(step.environ(ctx) if step.environ else {})
        done = subprocess.run(env.command(ctx.velmorin, args), stdin=subprocess.DEVNULL, capture_output=True,
                              env=environ, cwd=ctx.dir, timeout=step.timeout,
                              preexec_fn=as_user(step.user) if step.user else None)
    except subprocess.TimeoutExpired:
        return ["velmorin %s did not end within %d s" % (args, step.timeout)]
    problems = []
    try:
        out = done.stdout.decode("latin-1")
        err = done.stderr.decode("latin-1")
        if done.returncode != 0:
            problems.append("exit status %d, expected 0" % done.returncode)
        if isinstance(step.stdout, Matcher):
            problem = step.stdout.check(ctx, out)
            if problem:
                problems.append("stdout (%s): %s" % (step.stdout.description, problem))
        else:
            want = step.stdout(ctx) if callable(step.stdout) else step.stdout
            problem = compare("stdout", env.expected(want), out)
            if problem:
                problems.append(problem)
        want = step.stderr(ctx) if callable(step.stderr) else step.stderr
        problem = compare("stderr", env.expected(want), err)
        if problem:
            problems.append(problem)
    except Exception as exc:  # a broken expectation must not hide the other cases
        problems.append("expectation failed: %r" % exc)
    if problems:
        problems.insert(0, "velmorin %s" % " ".join(repr(a) for a in args))
    return problems


def run_case(env, case):
    if case.needs_root:
        # Another user takes part: the case runs in a folder of its own under
        # /tmp, which every user can reach wherever the build folder lies.
        folder = tempfile.mkdtemp(prefix="velmorin-e2e-", dir="/tmp")
        os.chmod(folder, 0o755)
    else:
        folder = os.path.join(env.scratch, case.name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    ctx = Context(env, folder, case.socket)
    try:
        if case.needs_root:
            share_programs(ctx, OTHER_USER)
        return run_case_in(env, case, ctx)
    finally:
        if ctx.socket_extra:
            shutil.rmtree(ctx.socket_extra, ignore_errors=True)
        if case.needs_root:
            shutil.rmtree(folder, ignore_errors=True)


def share_programs(ctx, user):
    """Copies the programs into the case folder when `user` cannot reach them where they were built."""
    for attribute in ("velmorin", "emulator"):
        program = getattr(ctx, attribute)
        if not reachable_by(user, program):
            copy = os.path.join(ctx.dir, "programs", os.path.basename(program))
            os.makedirs(os.path.dirname(copy), mode=0o755, exist_ok=True)
            shutil.copy2(program, copy)
            os.chmod(copy, 0o755)
            setattr(ctx, attribute, copy)


def run_case_in(env, case, ctx):
    if case.setup:
        case.setup(ctx)
    problems = []
    proc = None
    if case.emulator is not None:
        proc, problem = start_emulator(env, ctx, case.emulator)
        if problem:
            return [problem]
    try:
        if case.during:
            try:
                problems += case.during(ctx) or []
            except Exception as exc:
                problems.append("while the emulator ran: %r" % exc)
        for step in case.steps:
            problems += run_step(env, ctx, step)
    finally:
        if proc is not None:
            problem = finish_emulator(proc, case.emulator)
            if problem:
                problems.append(problem)
    if case.check:
        try:
            problems += case.check(ctx) or []
        except Exception as exc:
            problems.append("check failed: %r" % exc)
    if problems and case.emulator is not None:
        problems.append("emulator log:\n" + (ctx.emulator_log() or "(empty)"))
    return problems


def run_cases(env, cases, only=None):
    passed = failed = skipped = 0
    for case in cases:
        if only and case.name not in only:
            continue
        if env.platform not in case.platforms or (case.needs_root and os.geteuid() != 0):
            skipped += 1
            continue
        started = time.monotonic()
        problems = run_case(env, case)
        took = time.monotonic() - started
        if problems:
            failed += 1
            print("FAIL %s (%.1f s)" % (case.name, took))
            for p in problems:
                print("    " + p.replace("\n", "\n    ").rstrip())
        else:
            passed += 1
            print("PASS %s (%.1f s)" % (case.name, took))
        sys.stdout.flush()
    line = "%d passed, %d failed" % (passed, failed)
    if skipped:
        line += ", %d skipped" % skipped
    print(line)
    return failed == 0


def file_holds(rel, data):
    """A check that the file at `rel` in the case folder holds exactly `data`."""
    def check(ctx):
        try:
            with open(ctx.path(*rel.split("/")), "rb") as f:
                return [] if f.read() == data else ["%s does not hold the expected bytes" % rel]
        except OSError:
            return ["%s is missing" % rel]
    return check


def write(ctx, rel, data, mode=None):
    """Writes `data` to `rel` ("/"-separated) in the case folder, making its folders; `mode` chmods it."""
    path = ctx.path(*rel.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if mode is not None:
        os.chmod(path, mode)
