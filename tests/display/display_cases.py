#!/usr/bin/env python3
"""velmorin-display end to end, against the driver emulator and the display configuration the system
really has: none on Linux, Wine's under Wine.

  driver   attach and detach: the request bytes velmorin-edid --attach sends, the wait that Windows
           never ends under Wine (status 6, rolled back with a remove request); on Linux the driver
           exchange alone and status 7 for the rest
  desk     (Wine) list, use, restore on Wine's one monitor; a mode it does not offer (rolled back), HDR it
           cannot do (a wish), a damaged saved layout (set aside); the README's do and undo lines through cmd /C
  screens  (Wine, Xvfb) two monitors: both listed, the primary marked; --primary and --only never end
           with a false 0 where SetDisplayConfig changes nothing

Each run gets a state folder of its own (VELMORIN_STATE_DIR); under Wine the groups that change the
display take CTest's lock on it.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
import wine_desktop  # noqa: E402

WINE_MONITOR = "\\\\?\\DISPLAY#Default_Monitor#0000&0000#{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}"
NO_CONFIG = "velmorin-display: %s needs Windows' display configuration, which this system does not have%s\n"


def line(mode, primary="primary", name="\\\\.\\DISPLAY1", device=WINE_MONITOR, position="0,0"):
    """A `list --all` line for a monitor whose name Windows did not read from an EDID."""
    return "\t".join([name, "-", mode, position, primary, "no-hdr", device]) + "\n"


class Run:
    """The programs of one case: its folder, its driver endpoint and state folder, the platform's spelling."""

    def __init__(self, args, env, name):
        folder = os.path.join(args.scratch, name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.args, self.env = args, env
        self.ctx = harness.Context(env, folder)
        self.state = self.ctx.path("state")
        self.ctx.environ["VELMORIN_STATE_DIR"] = self.ctx.native(self.state)
        self.saved = os.path.join(self.state, "saved-layout.txt")

    def __call__(self, program, *argv, environ=None):
        done = subprocess.run(self.env.command(program, list(argv)), cwd=self.ctx.dir, env=environ or self.ctx.environ,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")

    def display(self, *argv, environ=None):
        return self(self.args.display, *argv, environ=environ)

    def expect(self, failures, label, got, status, stdout, stderr=""):
        want = (status, self.env.expected(stdout), self.env.expected(stderr))
        if got != want:
            failures.append(f"{label}: got {got}, expected {want}")

    def done(self):
        if self.ctx.socket_extra:
            shutil.rmtree(self.ctx.socket_extra, ignore_errors=True)


def driver(args, env, failures):
    run = Run(args, env, "driver")
    # Under Wine no display of ours ever shows: the attach waits, then rolls back with one remove request.
    requests = 3 if env.platform == "posix" else 4
    emulator = harness.Emulator(requests=requests, timeout=240)
    proc, problem = harness.start_emulator(env, run.ctx, emulator)
    if problem:
        failures.append(problem)
        return
    if env.platform == "posix":
        run.expect(failures, "list", run.display("list"), 7, "", NO_CONFIG % ("list", ""))
        run.expect(failures, "attach --wait", run.display("attach", "1920x1080x60", "--wait", "1"), 7, "",
                   NO_CONFIG % ("attach --wait", "; nothing sent"))
        run.expect(failures, "attach", run.display("attach", "2560x1440x120", "--hdr=true"), 0,
                   "sent 2560x1440x120 to the driver: status 0\n")
    else:
        run.expect(failures, "attach", run.display("attach", "2560x1440x120", "--hdr=true", "--wait", "1"), 6, "",
                   "velmorin-display: the driver took 2560x1440x120, but Windows showed no new display of ours "
                   "within 1 s; rolled back: the monitor was removed and the desk is as it was\n")
        if os.path.exists(run.saved):
            failures.append("a rolled-back attach left the saved layout behind")
    run(args.maker, "2560x1440x120", "--hdr", "--attach")
    said = "removed a display of ours; no layout was saved\n" if env.platform == "windows" else \
        "sent the remove request to the driver: status 0\n"
    run.expect(failures, "detach", run.display("detach"), 0, said)
    problem = harness.finish_emulator(proc, emulator)
    saved = run.ctx.saved_requests()
    # Eight 32-bit words, the command fourth (1 attach, 2 remove), then the payload.
    attach = saved[0] if saved else b""
    commands = [r[12] for r in saved]
    if problem or len(saved) != requests or saved[-2] != attach or commands[-1] != 2 or \
            (env.platform == "windows" and commands[1] != 2):
        failures.append(f"{problem or ''} the driver received {[r[:32].hex() for r in saved]}: expected "
                        "velmorin-edid --attach's request (and under Wine its roll-back's remove), the same again, "
                        "then a remove")
    run.done()
    recipe(args, env, failures)


def desk(args, env, failures):
    run = Run(args, env, "desk")
    run.expect(failures, "list", run.display("list"), 0, "")
    run.expect(failures, "list --json", run.display("list", "--json"), 0, "[]\n")
    run.expect(failures, "list --all", run.display("list", "--all"), 0, line("1024x768x60.000"))
    run.expect(failures, "use a mode", run.display("use", "\\\\.\\DISPLAY1", "800x600x60"), 0,
               "\\\\.\\DISPLAY1: 800x600 at 60.000 Hz, no HDR, layout unchanged\n")
    run.expect(failures, "list after use", run.display("list", "--all"), 0, line("800x600x60.000"))
    run.expect(failures, "a mode not offered", run.display("use", "1", "1000x700x60"), 6, "",
               "velmorin-display: \\\\.\\DISPLAY1 does not offer 1000x700 at 60 Hz; rolled back: the desk is as it "
               "was\n")
    run.expect(failures, "HDR, a wish", run.display("use", WINE_MONITOR, "--hdr"), 0,
               "\\\\.\\DISPLAY1: 800x600 at 60.000 Hz, HDR off (it cannot do HDR here), layout unchanged\n",
               "velmorin-display: \\\\.\\DISPLAY1 cannot do HDR here: Windows reports no advanced colour for it "
               "(indirect displays need a recent Windows and driver); it stays in SDR\n")
    run.expect(failures, "restore", run.display("restore"), 0, "the saved layout is back\n")
    run.expect(failures, "list after restore", run.display("list", "--all"), 0, line("1024x768x60.000"))
    if os.path.exists(run.saved):
        failures.append("restore left the saved layout behind")
    # A damaged file is never applied in part: it is set aside, and Windows' own layout applied.
    os.makedirs(run.state, exist_ok=True)
    with open(run.saved, "w") as f:
        f.write("velmorin-display layout format 1\ngarbage\n")
    got = run.display("restore")
    aside = [n for n in os.listdir(run.state) if n.startswith("saved-layout-")]
    if got[0] != 8 or not got[2].startswith("velmorin-display: the saved layout ") or os.path.exists(run.saved) or \
            len(aside) != 1:
        failures.append(f"a damaged layout: got {got}, expected status 8, a message naming it, the file set aside")
    run.done()


def readme_lines(readme, kind):
    """velmorin-display's do and undo lines (`kind`: bat or sh) from the README's "Scripts and streaming hosts"."""
    with open(readme, encoding="utf-8") as f:
        section = f.read().split("\n## Scripts and streaming hosts\n", 1)[1].split("\n## ", 1)[0]
    lines = [l for body in re.findall(r"```%s\n(.*?)```" % kind, section, re.S) for l in body.splitlines()]
    return [l for l in lines if "velmorin-display" in l and not l.startswith(("rem ", "#"))]


def recipe(args, env, failures):
    """The README's do and undo lines run as a host runs them (sh -c; under Wine cmd /C), with the client's
    variables: under Wine no monitor of ours ever shows, so "do" waits its 10 s and says so."""
    run = Run(args, env, "recipe")
    host = dict(run.ctx.environ, SUNSHINE_CLIENT_WIDTH="1920", SUNSHINE_CLIENT_HEIGHT="1080", SUNSHINE_CLIENT_FPS="60",
                SUNSHINE_CLIENT_HDR="false")
    if args.wine:
        host["WINEPATH"] = env.native(os.path.dirname(args.display))
        runs = [[args.wine, "cmd", "/C", re.sub(r'^cmd /C "(.*)"$', r"\1", l)] for l in readme_lines(args.readme, "bat")]
        want = [6, 3]  # rolled back, and then the driver has no display to remove
    else:
        host["PATH"] = os.pathsep.join([os.path.dirname(args.display), host["PATH"]])
        runs = [["sh", "-c", l] for l in readme_lines(args.readme, "sh")]
        want = [0, 0]
    emulator = harness.Emulator(requests=3 if args.wine else 2, timeout=240)
    proc, problem = harness.start_emulator(env, run.ctx, emulator)
    got = [subprocess.run(r, cwd=run.ctx.dir, env=host, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
           for r in runs[:2]]
    problem = problem or harness.finish_emulator(proc, emulator)
    saved = run.ctx.saved_requests()
    if problem or [g.returncode for g in got] != want or len(saved) != emulator.requests or saved[-1][12] != 2:
        failures.append(f"{problem or ''} the README's do and undo lines {runs[:2]} gave "
                        f"{[(g.returncode, g.stdout, g.stderr) for g in got]} and sent {[r[:32].hex() for r in saved]}")
    run.done()


def screens(args, env, failures):
    """Two X screens: a fresh Wine prefix whose server starts with DISPLAY set, on a display number of its own."""
    if shutil.which("Xvfb") is None:
        print("no Xvfb: skipped")
        sys.exit(77)
    run = Run(args, env, "screens")
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    holder = None
    with wine_desktop.WineDesktop(args.wine, run.ctx.dir, ["1280x1024x24", "800x600x24"], run.ctx.environ) as desk:
        if desk.problem:
            failures.append(desk.problem)
            run.done()
            return
        wine_env = desk.env
        # A Windows program that stays for the whole case, so that Wine's desktop process never ends and
        # starts again, reading the screens anew, between two commands.
        holder = subprocess.Popen([args.wine, args.emulator, "--timeout", "600"], env=wine_env, **quiet)
        second = WINE_MONITOR.replace("0000&0000", "0001&0000")
        both = line("1280x1024x60.000") + line("0x0xunspecified", "-", "\\\\.\\DISPLAY2", second)
        run.expect(failures, "list --all", run.display("list", "--all", environ=wine_env), 0, both)
        for wish, words in (("--primary", "the primary display"), ("--only", "the only active display")):
            got = run.display("use", "2" if wish == "--primary" else "1", wish, environ=wine_env)
            if got[0] != 6 or "did not make \\\\.\\DISPLAY" not in got[2] or words not in got[2]:
                failures.append(f"use {wish}: got {got}, expected status 6 saying Windows did not make it {words}")
        run.expect(failures, "list --all afterwards", run.display("list", "--all", environ=wine_env), 0, both)
        gone = desk.gone()
        if gone:
            failures.append(gone)
    if holder is not None:
        holder.wait(60)  # ended with the prefix's server
    run.done()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--group", required=True, choices=["driver", "desk", "screens"])
    parser.add_argument("--display", required=True)
    parser.add_argument("--maker", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--readme")
    parser.add_argument("--wine")
    parser.add_argument("--scratch", required=True)
    args = parser.parse_args()
    for name in ("display", "maker", "emulator"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    os.makedirs(args.scratch, exist_ok=True)
    env = harness.Env("windows" if args.wine else "posix", None, args.emulator, args.scratch, args.wine)
    env.environ["LC_ALL"] = "C.UTF-8"
    failures = []
    {"driver": driver, "desk": desk, "screens": screens}[args.group](args, env, failures)
    for failure in failures:
        print("FAIL:", failure)
    print(f"{args.group}: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
