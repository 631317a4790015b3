#!/usr/bin/env python3
"""velmorin-control, the real window under Wine on an X server of its own (Xvfb), driven by its access keys
through xdotool and read from outside by a small probe (velmorin-control-probe): without a driver Attach and
Remove are off and the window says why; with the emulator a typed mode and Enter send exactly the request
`velmorin-display attach MODE` sends (under Wine no display of ours arrives, so it is rolled back: a remove
follows), the wait shows its seconds, Remove and Restore desk say what velmorin-display says, "Show all
displays" lists Wine's monitor, the choices are remembered, and a close during a command waits for it.
A screenshot of the window is kept in the scratch folder.

The case has a Wine prefix, an X display and a driver pipe of its own (Wine's pipes belong to its prefix).
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
import wine_desktop  # noqa: E402

# The window's control ids (control/control_window.cpp).
MODE, ATTACH, REMOVE, DISPLAYS, DRIVER, STATUS = 101, 108, 109, 112, 115, 116
WAIT = 10  # the window's --wait
ROLLED = ("the driver took 2560x1440x120, but Windows showed no new display of ours within 10 s; rolled back: the "
          "monitor was removed and the desk is as it was")


class Window:
    def __init__(self, args, desk, scratch):
        self.args, self.desk, self.scratch = args, desk, scratch
        self.env = dict(desk.env, VELMORIN_STATE_DIR="Z:" + os.path.join(scratch, "state").replace("/", "\\"))
        self.proc = None

    def start(self):
        self.proc = subprocess.Popen(self.desk.wine_command(self.args.control), env=self.env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self.wait(DRIVER, "driver", 60)

    def probe(self, *argv, timeout=90):
        done = subprocess.run(self.desk.wine_command(self.args.probe, [str(a) for a in argv]), env=self.env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        return done.returncode, done.stdout.decode("utf-8", "replace").replace("\r\n", "\n").rstrip("\n")

    def wait(self, control, text, seconds):
        return self.probe("wait", control, text, seconds * 1000, timeout=seconds + 60)

    def keys(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "50"] + list(keys), env=self.desk.env, check=True, timeout=30)
        time.sleep(0.3)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "50", text], env=self.desk.env, check=True, timeout=30)

    def closed(self, seconds):
        try:
            self.proc.wait(seconds)
            return True
        except subprocess.TimeoutExpired:
            return False


def check(failures, label, got, want):
    if got != want:
        failures.append(f"{label}: got {got!r}, expected {want!r}")


def requests(folder):
    names = sorted((n for n in os.listdir(folder) if n.startswith("request-")), key=lambda n: int(n[8:-4]))
    data = []
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            data.append(f.read())
    return data


def play(args, desk, failures):
    scratch = desk.folder
    window = Window(args, desk, scratch)
    # No driver: Attach and Remove are off, and the window says why.
    check(failures, "driver line without a driver", window.start()[1].startswith("No driver: \\\\.\\pipe\\kovra_idd_pipe"), True)
    check(failures, "Attach and Remove without a driver", [window.probe("enabled", i)[1] for i in (ATTACH, REMOVE)], ["0", "0"])
    root_only = os.path.join(scratch, "root-only.png")
    window.keys("Escape")
    check(failures, "Esc closes", window.closed(30), True)
    desk.screenshot(root_only)

    saved = os.path.join(scratch, "requests")
    os.makedirs(saved)
    emulator = subprocess.Popen(desk.wine_command(args.emulator, ["--timeout", "300", "--save", "Z:" + saved.replace("/", "\\")]),
                                env=desk.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        check(failures, "driver line", window.start(), (0, "The driver's pipe \\\\.\\pipe\\kovra_idd_pipe is there."))
        # A mode the maker refuses is refused before anything is sent, in the maker's words.
        window.keys("alt+m", "ctrl+a", "BackSpace")
        window.type("640x480x2500")
        window.keys("Return")
        maker = subprocess.run(desk.wine_command(args.maker, ["640x480x2500", "--attach"]), env=desk.env, timeout=120,
                               stdin=subprocess.DEVNULL, capture_output=True)
        refused = maker.stderr.decode().strip().replace("velmorin-edid: ", "", 1)
        check(failures, "a mode refused", (maker.returncode, window.probe("text", STATUS)[1]), (2, refused))
        # A mode typed and Enter (the default button): the attach, its wait in seconds, its roll-back.
        window.keys("alt+m", "ctrl+a", "BackSpace")
        window.type("2560x1440x120")
        window.keys("Return")
        check(failures, "the wait shows its seconds", window.wait(STATUS, "s left", 20)[0], 0)
        check(failures, "attach", window.wait(STATUS, "rolled back", WAIT + 30), (0, ROLLED))
        # The same request as the maker's for that mode, which velmorin-display attach sends too (its own case).
        subprocess.run(desk.wine_command(args.maker, ["2560x1440x120", "--attach"]), env=desk.env, timeout=120,
                       stdin=subprocess.DEVNULL, capture_output=True)
        got = requests(saved)
        if len(got) != 3 or got[0] != got[2] or got[1][12] != 2:
            failures.append(f"the window sent {[r[:32].hex() for r in got]}: expected the maker's attach request, "
                            "then the roll-back's remove")
        window.keys("alt+r")
        check(failures, "remove", window.wait(STATUS, "removed", 60), (0, "removed a display of ours; no layout was saved"))
        check(failures, "the remove request", [r[12] for r in requests(saved)][3:], [2])
        window.keys("alt+s")
        check(failures, "restore desk", window.wait(STATUS, "no layout", 60), (0, "no layout was saved"))
        window.keys("alt+l")
        time.sleep(1)
        rows = window.probe("rows", DISPLAYS)[1].split("\n")
        check(failures, "show all displays", [r.split("\t")[:2] for r in rows], [["\\\\.\\DISPLAY1", "-"]])
        desk.screenshot(os.path.join(scratch, "control-window.png"))
        # A close during a command waits for the command (bounded) to end.
        window.keys("alt+a")
        window.wait(STATUS, "s left", 20)
        window.keys("Escape")
        check(failures, "closing waits for the command", (window.closed(3), window.probe("text", STATUS)[1]),
              (False, "Closing once the command has ended..."))
        check(failures, "the command ended, then the window", window.closed(WAIT + 30), True)
        check(failures, "the roll-back of the closed window's attach", len(requests(saved)), 6)
        # The choices are remembered.
        window.start()
        check(failures, "remembered mode", window.probe("text", MODE), (0, "2560x1440x120"))
        window.keys("Escape")
        window.closed(30)
    finally:
        emulator.kill()
        emulator.wait(60)
    shot = os.path.join(scratch, "control-window.png")
    if not os.path.exists(shot) or not desk.differs(shot, root_only):
        failures.append("the screenshot shows no window")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    for name in ("control", "probe", "emulator", "maker", "wine", "scratch"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--keep-screenshot", help="copy the window's screenshot here")
    args = parser.parse_args()
    for name in ("control", "probe", "emulator", "maker", "scratch"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if not wine_desktop.available():
        print("no Xvfb, xdotool or ImageMagick: skipped")
        return 77
    shutil.rmtree(args.scratch, ignore_errors=True)
    os.makedirs(args.scratch)
    failures = []
    with wine_desktop.WineDesktop(args.wine, args.scratch, screens=["1280x800x24"]) as desk:
        if desk.problem:
            failures.append(desk.problem)
        else:
            play(args, desk, failures)
    if args.keep_screenshot and os.path.exists(os.path.join(args.scratch, "control-window.png")):
        # The window alone, cut from the screen around it.
        subprocess.run(["convert", os.path.join(args.scratch, "control-window.png"), "-trim", "+repage",
                        args.keep_screenshot], check=True, timeout=60)
    for failure in failures:
        print("FAIL:", failure)
    print(f"control: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
