"""The driver endpoint on POSIX: the socket path that VELMORIN_DRIVER_SOCKET
chooses, the refusal of a server of another user, and an emulator that never
takes over a live socket and serves its own user only. On both platforms: the
emulator started bare, and a second emulator for a served endpoint.

The cases that switch users need root (CI runs as root) and are reported
skipped otherwise. The default path /tmp/kovra_idd_pipe is used only by the
DEFAULT group, which skips itself when something else serves that path.
"""

import os
import signal
import socket
import stat
import subprocess
import threading

import edid_builder as eb
import images as im
from harness import (DEFAULT_SOCKET, OTHER_USER, OWN_EMULATORS, SOCKET_VARIABLE, Case, Emulator, Step, as_user,
                     run_step, stop_process)
from texts import CONNECTED, HAVE_PIPE, NO_PIPE, REMOVE_REQUEST, attach_request, remove_ok

REFUSED = HAVE_PIPE + "connect failed! error=13\n"
NOTICE = "Remove Monitor1...\n"
KOVRA_ONE = eb.with_name(im.ONE, "KovraMonitor")


def write_monitor(ctx):
    with open(ctx.path("monitor.bin"), "wb") as f:
        f.write(im.ONE)


def sent_nothing(ctx):
    saved = ctx.saved_requests()
    return ["the driver received %d request(s), expected none" % len(saved)] if saved else []


def sent(*requests):
    def check(ctx):
        saved = ctx.saved_requests()
        return [] if saved == list(requests) else ["the driver received %r" % [r[:16].hex() for r in saved]]
    return check


def run_emulator(ctx, environ=None, user=None, timeout=60):
    """Runs a second emulator to its end; returns (status, its output)."""
    env = dict(ctx.environ)
    env.update(environ or {})
    command = ctx.env.command(ctx.emulator, ["--requests", "1", "--timeout", "5"])
    done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, env=env, cwd=ctx.dir, timeout=timeout,
                          preexec_fn=as_user(user) if user else None)
    return done.returncode, (done.stdout + done.stderr).decode("latin-1")


def expect_refused_start(ctx, path, words, environ=None, user=None):
    """A second emulator for `path` must end at once with status 1, naming the path."""
    try:
        status, output = run_emulator(ctx, environ, user)
    except subprocess.TimeoutExpired:
        return ["the emulator for %s did not end at once" % path]
    problems = []
    if status != 1:
        problems.append("the emulator for %s ended with %d, expected 1: %r" % (path, status, output))
    if path not in output or words not in output:
        problems.append("the emulator's message does not name %s (%s): %r" % (path, words, output))
    return problems


def bind_stale(path):
    """A socket file that nobody listens on, as a crashed driver leaves it."""
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.bind(path)
    sock.close()


def bind_listening(folder, name):
    """A listening socket at folder/name, bound relative to the folder so that
    the whole path may pass the length limit of a socket address."""
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    here = os.getcwd()
    os.chdir(folder)
    try:
        sock.bind(name)
    finally:
        os.chdir(here)
    sock.listen(1)
    return sock


# -- D22: the variable chooses the path --------------------------------------

def elsewhere(ctx):
    return {SOCKET_VARIABLE: ctx.path("elsewhere.sock")}


D22 = [
    # The tool and the emulator meet at the case's own socket; another value
    # of the variable is another, empty place.
    Case("variable_chooses_the_socket",
         [Step(["/c", "1"], NOTICE + NO_PIPE, environ=elsewhere),
          Step(["/c", "1"], NOTICE + remove_ok(-1))],
         emulator=Emulator(), check=sent(REMOVE_REQUEST)),
]


# -- D23: a server of another user hears nothing ------------------------------

D23 = [
    # Root's tool and an emulator of another user: refused after the connect, nothing written.
    Case("server_of_another_user_refused",
         [Step(["/c", "1"], NOTICE + REFUSED),
          Step(lambda ctx: ["/d", ctx.arg("monitor.bin")], im.ONE_REPORT + REFUSED)],
         emulator=Emulator(user=OTHER_USER, served=0), setup=write_monitor, check=sent_nothing),
    # The same user on both ends, not root: accepted.
    Case("server_of_the_same_user_accepted",
         [Step(lambda ctx: ["/d", ctx.arg("monitor.bin")],
               im.ONE_REPORT + HAVE_PIPE + CONNECTED + "payload size=128\r\n"
               + "get a message from indirect display: status=0\r\n", user=OTHER_USER)],
         emulator=Emulator(user=OTHER_USER), setup=write_monitor,
         check=sent(attach_request(KOVRA_ONE, 1920, 1080, 60))),
]


# -- D24: the emulator's socket ------------------------------------------------

def socket_is_private(ctx):
    status = os.lstat(ctx.socket)
    problems = []
    if not stat.S_ISSOCK(status.st_mode):
        problems.append("%s is no socket" % ctx.socket)
    if stat.S_IMODE(status.st_mode) != 0o600:
        problems.append("socket mode %o, expected 600" % stat.S_IMODE(status.st_mode))
    if status.st_uid != os.geteuid():
        problems.append("socket owned by %d" % status.st_uid)
    return problems


def second_emulator_refused(ctx, user=None, words="a driver already answers at"):
    if ctx.platform == "windows":
        return expect_refused_start(ctx, ctx.endpoint, words)
    before = os.lstat(ctx.socket).st_ino
    problems = expect_refused_start(ctx, ctx.socket, words, user=user)
    if not os.path.lexists(ctx.socket) or os.lstat(ctx.socket).st_ino != before:
        problems.append("the live socket was replaced")
    return problems


def other_users_emulator_refused(ctx):
    # The folder lets the other user delete the socket file: only the emulator's care keeps it.
    os.chmod(os.path.dirname(ctx.socket), 0o777)
    return second_emulator_refused(ctx, OTHER_USER, "cannot tell whether a driver answers")


def not_a_socket(ctx):
    with open(ctx.socket, "w") as f:
        f.write("keep\n")


def not_a_socket_refused(ctx):
    problems = expect_refused_start(ctx, ctx.socket, "not a socket")
    with open(ctx.socket) as f:
        if f.read() != "keep\n":
            problems.append("the file at the socket path was changed")
    return problems


D24 = [
    # Read and write for its own user only: another user cannot connect; root can.
    Case("socket_for_its_own_user_only",
         [Step(["/c", "1"], NOTICE + REFUSED, user=OTHER_USER),
          Step(["/c", "1"], NOTICE + remove_ok(-1))],
         emulator=Emulator(), during=socket_is_private, check=sent(REMOVE_REQUEST)),
    # A second emulator at the same path (on Windows: for the same pipe) ends
    # at once and leaves the first one serving: its look at the socket is not
    # counted as a client.
    Case("live_socket_not_taken_over", [Step(["/c", "1"], NOTICE + remove_ok(-1))],
         emulator=Emulator(), during=second_emulator_refused, check=sent(REMOVE_REQUEST)),
    # Another user's emulator may not even try root's socket: it leaves it alone too.
    Case("live_socket_of_another_user_not_taken_over", [Step(["/c", "1"], NOTICE + remove_ok(-1))],
         emulator=Emulator(), during=other_users_emulator_refused, check=sent(REMOVE_REQUEST), other_user=True),
    # A socket file that nobody answers on is replaced.
    Case("stale_socket_replaced", [Step(["/c", "1"], NOTICE + remove_ok(-1))],
         emulator=Emulator(), setup=lambda ctx: bind_stale(ctx.socket), check=sent(REMOVE_REQUEST)),
    # Before it is replaced, the tool finds the stale socket and cannot connect.
    Case("stale_socket_refuses_the_tool", [Step(["/c", "1"], NOTICE + HAVE_PIPE + "connect failed! error=111\n")],
         setup=lambda ctx: bind_stale(ctx.socket)),
    # Anything but a socket at the path is never deleted.
    Case("file_at_the_path_left_alone", [Step(["/c", "1"], NOTICE + NO_PIPE)],
         setup=not_a_socket, during=not_a_socket_refused),
]


# -- The length limit of a socket address (107 bytes of path) -----------------

def long_folder(ctx):
    """A folder whose path, with a socket name, passes the limit."""
    folder = ctx.path("l" * max(1, 120 - len(ctx.dir)))
    os.makedirs(folder)
    return folder


def long_socket(ctx):
    return os.path.join(ctx.path("l" * max(1, 120 - len(ctx.dir))), "driver.sock")


def long_path_env(ctx):
    return {SOCKET_VARIABLE: long_socket(ctx)}


def emulator_refuses_long_path(ctx):
    long_folder(ctx)
    return expect_refused_start(ctx, long_socket(ctx), "at most 107 bytes", long_path_env(ctx))


def serve_at_long_path(ctx):
    ctx.held = bind_listening(long_folder(ctx), "driver.sock")
    return []


LONG = [
    # Nothing there: the tool finds no pipe, and the emulator will not serve such a path.
    Case("socket_path_too_long_nothing_there", [Step(["/c", "1"], NOTICE + NO_PIPE, environ=long_path_env)],
         during=emulator_refuses_long_path),
    # A socket that exists there cannot be connected to by its path: the connect fails.
    Case("socket_path_too_long_served", [Step(["/c", "1"], NOTICE + HAVE_PIPE + "connect failed! error=36\n",
                                              environ=long_path_env)],
         during=serve_at_long_path, check=lambda ctx: ctx.held.close()),
]

# -- The emulator as a user starts it: no options ------------------------------

def bare_start(ctx):
    """Started bare, the emulator names its endpoint in one line, serves request
    after request, and ends at SIGTERM (POSIX) or Ctrl+C (Windows: Wine turns
    SIGINT into the console's Ctrl+C)."""
    proc = subprocess.Popen(ctx.env.command(ctx.emulator, []), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, env=ctx.environ, cwd=ctx.dir)
    OWN_EMULATORS.add(proc.pid)
    guard = threading.Timer(120, proc.kill)  # a line that never comes must not hang the test
    guard.start()
    try:
        line = proc.stdout.readline().decode("latin-1")
        want = ctx.env.expected("kovra-driver-emulator: serving %s; Ctrl+C stops it\n" % ctx.endpoint)
        problems = [] if line == want else ["the emulator's first line is %r, expected %r" % (line, want)]
        for _ in range(2):
            problems += run_step(ctx.env, ctx, Step(["/c", "1"], NOTICE + remove_ok(-1)))
        proc.send_signal(signal.SIGTERM if ctx.platform == "posix" else signal.SIGINT)
        try:
            proc.wait(30)
        except subprocess.TimeoutExpired:
            problems.append("the emulator did not stop when told to")
        if ctx.platform == "posix" and proc.returncode != 0:
            problems.append("the emulator ended with %s after SIGTERM, expected 0" % proc.returncode)
        return problems
    finally:
        guard.cancel()
        stop_process(proc)
        proc.stdout.close()


EMULATOR = [
    # Once stopped, nothing is left at the endpoint.
    Case("emulator_started_bare", [Step(["/c", "1"], NOTICE + NO_PIPE)], during=bare_start),
]

ENDPOINT = D22 + D23 + D24 + LONG + EMULATOR


# -- The default path, only when nothing else serves it -------------------------

def default_left_clean(ctx):
    return ["%s was left behind" % DEFAULT_SOCKET] if os.path.lexists(DEFAULT_SOCKET) else []


def then(*checks):
    return lambda ctx: [p for c in checks for p in (c(ctx) or [])]


DEFAULT = [
    Case("default_when_unset", [Step(["/c", "1"], NOTICE + remove_ok(-1))], emulator=Emulator(), socket=None,
         check=then(sent(REMOVE_REQUEST), default_left_clean)),
    Case("default_when_empty", [Step(["/c", "1"], NOTICE + remove_ok(-1))], emulator=Emulator(), socket="",
         check=then(sent(REMOVE_REQUEST), default_left_clean)),
]

# Windows has a fixed pipe name and no such sockets: there only the emulator's own cases run.
for _case in ENDPOINT + DEFAULT:
    if _case.name not in ("live_socket_not_taken_over", "emulator_started_bare"):
        _case.platforms = ("posix",)
