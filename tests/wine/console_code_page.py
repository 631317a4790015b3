"""The console's output code page around a run of the Windows tool, under Wine.

Runs velmorin-console-check in a console of its own (Wine makes one for a
program whose standard streams are a terminal, so each run gets a pseudo
terminal) and checks what it saw: a console switched to UTF-8 during the run
and given back its code page 850 afterwards, after a normal end and after
Ctrl+C (which ends the tool at once, with the usual status 0xC000013A); a
redirected standard output leaves the console alone. The emulator's
--timeout ends it as Ctrl+C does, code page given back (status 3: nobody came).

  console_code_page.py --wine WINE --helper CHECK.exe --velmorin VELMORIN.exe --emulator EMULATOR.exe --scratch DIR
"""

import argparse
import os
import pty
import select
import sys
import time

# mode -> what the helper must report
EXPECTED = {
    "console": "saw_utf8=1 after=850 exit=0",
    "interrupt": "saw_utf8=1 after=850 exit=c000013a",
    "redirected": "saw_utf8=0 after=850 exit=0",
    "timeout": "saw_utf8=1 after=850 exit=3",
}


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_in_terminal(command, timeout):
    """Runs `command` with a pseudo terminal as its standard streams; False if it outlives `timeout`."""
    pid, fd = pty.fork()
    if pid == 0:
        try:
            os.execvp(command[0], command)
        finally:
            os._exit(127)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.5)
        if ready:
            try:
                if not os.read(fd, 4096):
                    break
            except OSError:  # the terminal closed: the program ended
                break
    else:
        os.kill(pid, 9)
        os.waitpid(pid, 0)
        os.close(fd)
        return False
    os.waitpid(pid, 0)
    os.close(fd)
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--helper", required=True)
    parser.add_argument("--velmorin", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--scratch", required=True)
    args = parser.parse_args()
    os.makedirs(args.scratch, exist_ok=True)
    failures = 0
    for mode, expected in EXPECTED.items():
        result = os.path.join(args.scratch, "console-%s.txt" % mode)
        if os.path.exists(result):
            os.unlink(result)
        program = args.emulator if mode == "timeout" else args.velmorin
        finished = run_in_terminal([args.wine, args.helper, mode, windows_path(result), windows_path(program)], 60)
        try:
            with open(result) as f:
                seen = f.read().strip()
        except OSError:
            seen = "(no result)" if finished else "(velmorin-console-check still running after 60 s)"
        if seen == expected:
            print("PASS %s: %s" % (mode, seen))
        else:
            print("FAIL %s: saw %s, expected %s" % (mode, seen, expected))
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
