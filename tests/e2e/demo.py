"""The main job from end to end: attach a sample monitor, then remove it.

Starts the driver emulator, runs `velmorin /d <copy of samples/2560x1440x144.txt>`
and `velmorin /c 1`, stops the emulator and prints everything on the way.
Ends with status 1 if the driver did not accept both requests.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

import harness


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--velmorin", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--sample", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--platform", choices=["posix", "windows"], default="posix")
    parser.add_argument("--wine", default="wine")
    args = parser.parse_args()

    windows = args.platform == "windows"
    env = dict(os.environ)
    if windows:
        env["WINEDEBUG"] = "-all"
    scratch = os.path.abspath(args.scratch)
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    socket_extra = None
    if not windows:
        # A socket of the demo's own: another driver or test on this machine is never reached.
        env[harness.SOCKET_VARIABLE], socket_extra = harness.private_socket(scratch)

    def native(path):
        return "Z:" + path.replace("/", "\\") if windows else path

    def command(program, program_args):
        return ([args.wine] if windows else []) + [program] + program_args

    def say(text=""):
        print(text, flush=True)

    sample = os.path.join(scratch, os.path.basename(args.sample))
    shutil.copyfile(args.sample, sample)
    ready = os.path.join(scratch, "emulator.ready")
    log = os.path.join(scratch, "emulator.log")

    say("== The sample EDID, in hexadecimal text form: %s" % sample)
    with open(sample, "r", errors="replace") as f:
        say(f.read().rstrip())
    say()
    say("== Starting the driver emulator (a stand-in for the indirect display driver)")
    emulator = subprocess.Popen(
        command(args.emulator, ["--ready", native(ready), "--log", native(log), "--requests", "2", "--timeout", "60"]),
        stdin=subprocess.DEVNULL, env=env)
    deadline = time.monotonic() + 60
    while not os.path.exists(ready) and emulator.poll() is None and time.monotonic() < deadline:
        time.sleep(0.05)
    if not os.path.exists(ready):
        say("the driver emulator did not start")
        emulator.kill()
        return 1

    accepted = 0
    for tool_args in (["/d", native(sample)], ["/c", "1"]):
        say()
        say("== $ velmorin " + " ".join(tool_args))
        done = subprocess.run(command(args.velmorin, tool_args), stdin=subprocess.DEVNULL, capture_output=True,
                              env=env, timeout=60)
        sys.stdout.write(done.stdout.decode("latin-1").replace("\r\n", "\n"))
        sys.stderr.write(done.stderr.decode("latin-1").replace("\r\n", "\n"))
        sys.stdout.flush()
        if b"get a message from indirect display: status=0" in done.stdout:
            accepted += 1

    say()
    say("== Stopping the driver emulator")
    try:
        emulator.wait(20)
    except subprocess.TimeoutExpired:
        emulator.kill()
        emulator.wait()
    say("What the driver received:")
    with open(log, "r", errors="replace") as f:
        say(f.read().rstrip())
    copy = sample + ".bin"
    say()
    say("The binary copy written beside the text file: %s (%d bytes)" %
        (copy, os.path.getsize(copy) if os.path.exists(copy) else 0))
    if socket_extra:
        shutil.rmtree(socket_extra, ignore_errors=True)
    if accepted != 2:
        say("FAILED: the driver accepted %d of the 2 requests" % accepted)
        return 1
    say("The monitor was attached and removed again.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
