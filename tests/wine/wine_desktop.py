"""A Wine desktop of a test's own: an Xvfb server on a display number it picks itself (-displayfd), and a fresh
Wine prefix whose server and desktop process start with that DISPLAY, so that windows and screens are real and
two test runs never meet. Screenshots come from the X server (xwd, ImageMagick's convert)."""

import os
import shutil
import subprocess

QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def available():
    return all(shutil.which(tool) for tool in ("Xvfb", "xdotool", "xwd", "convert", "compare"))


def start_xvfb(screens, log):
    """An Xvfb with `screens` (geometries) on a display number it picks itself; returns the process and the number
    (None when it never said one). Xvfb reports the number as two writes, the digits and then a newline, and
    exits at once if the second finds the pipe closed: the pipe stays open until the whole line is in."""
    read, write = os.pipe()
    arguments = ["+xinerama", "-extension", "RANDR"] if len(screens) > 1 else []
    for number, geometry in enumerate(screens):
        arguments += ["-screen", str(number), geometry]
    # -noreset: the server keeps serving after its last client leaves, as between two Wine programs.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-noreset", "-nolisten", "tcp"] + arguments,
                            pass_fds=(write,), stdin=subprocess.DEVNULL, stdout=log, stderr=log)
    os.close(write)
    said = b""
    with os.fdopen(read, "rb", buffering=0) as pipe:
        while not said.endswith(b"\n"):
            chunk = pipe.read(64)
            if not chunk:
                break  # Xvfb ended, or closed the pipe without a whole line
            said += chunk
    number = said.decode("ascii", "replace").strip()
    return xvfb, number if said.endswith(b"\n") and number.isdigit() else None


class WineDesktop:
    """`problem` says what went wrong when the desktop could not be made; `gone()` whether Xvfb has ended since."""

    def __init__(self, wine, folder, screens, environ=None):
        self.wine, self.folder, self.screens = wine, folder, screens
        self.base = dict(environ if environ is not None else os.environ)
        self.log_path = os.path.join(folder, "xvfb.log")
        self.xvfb = None
        self.env = None
        self.problem = None

    def __enter__(self):
        with open(self.log_path, "wb") as log:
            self.xvfb, number = start_xvfb(self.screens, log)
        if number is None:
            self.xvfb.terminate()
            self.problem = f"Xvfb reported no display number (status {self.xvfb.wait()}): {self.said()!r}"
            return self
        prefix = os.path.join(self.folder, "wine-prefix")
        os.makedirs(prefix, exist_ok=True)
        self.env = dict(self.base, DISPLAY=":" + number, WINEPREFIX=prefix, WINEDEBUG="-all", LC_ALL="C.UTF-8",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        # Every stream on /dev/null: the server and Wine's services outlive the calls. wineboot is the prefix's
        # first program to need the desktop window: it starts Wine's desktop process with its own environment
        # (DISPLAY) and waits until that process has read the X screens and is ready.
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=60, **QUIET)
        subprocess.run([self.wine, "wineboot", "-i"], env=self.env, timeout=300, **QUIET)
        self.problem = self.gone()
        return self

    def said(self):
        with open(self.log_path, errors="replace") as f:
            return f.read().strip()

    def gone(self):
        """A failure when Xvfb no longer runs: Wine then falls back to its one default monitor."""
        if self.xvfb is None or self.xvfb.poll() is None:
            return None
        return f"Xvfb ended with status {self.xvfb.returncode} before the case was done: {self.said()!r}"

    def wine_command(self, program, argv=()):
        return [self.wine, program] + list(argv)

    def screenshot(self, path):
        shot = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True, timeout=60, check=True)
        subprocess.run(["convert", "xwd:-", path], input=shot.stdout, env=self.env, timeout=60, check=True)

    def differs(self, path, other):
        """True when two screenshots differ, and the first is more than one colour."""
        colours = subprocess.run(["convert", path, "-format", "%k", "info:"], capture_output=True, timeout=60)
        compared = subprocess.run(["compare", "-metric", "AE", path, other, "null:"], capture_output=True, timeout=60)
        pixels = compared.stderr.decode().split()[0] if compared.stderr else "0"
        return colours.stdout.decode().strip() not in ("", "1") and float(pixels) > 0

    def __exit__(self, *exc):
        if self.env is not None:
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60, **QUIET)  # every program of the prefix
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()
        return False
