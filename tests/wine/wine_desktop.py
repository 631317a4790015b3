"""A Wine desktop of a test's own: an Xvfb server on a display number it picks itself (-displayfd), and a fresh
Wine prefix whose server and desktop process start with that DISPLAY, so that windows and screens are real and
two test runs never meet. Screenshots come from the X server (xwd, ImageMagick's convert)."""

import os
import shutil
import subprocess

QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def available():
    return all(shutil.which(tool) for tool in ("Xvfb", "xdotool", "xwd", "convert"))


class WineDesktop:
    def __init__(self, wine, folder, screens):
        self.wine, self.folder, self.screens = wine, folder, screens
        self.xvfb = None
        self.env = None
        self.problem = None

    def __enter__(self):
        read, write = os.pipe()
        screens = []
        for number, geometry in enumerate(self.screens):
            screens += ["-screen", str(number), geometry]
        extra = ["+xinerama", "-extension", "RANDR"] if len(self.screens) > 1 else []
        # -noreset: an X server that resets when its last client leaves refuses the next one meanwhile.
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-noreset", "-nolisten", "tcp"] + extra + screens,
                                     pass_fds=(write,), **QUIET)
        os.close(write)
        number = os.read(read, 64).decode().strip()
        os.close(read)
        if not number:
            self.problem = f"Xvfb reported no display number (status {self.xvfb.wait()})"
            return self
        prefix = os.path.join(self.folder, "wine-prefix")
        os.makedirs(prefix, exist_ok=True)
        self.env = dict(os.environ, DISPLAY=":" + number, WINEPREFIX=prefix, WINEDEBUG="-all", LC_ALL="C.UTF-8",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        # Every stream on /dev/null: the server and Wine's services outlive the calls.
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=60, **QUIET)
        subprocess.run([self.wine, "wineboot", "-i"], env=self.env, timeout=300, **QUIET)
        return self

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
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60, **QUIET)
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()
        return False
