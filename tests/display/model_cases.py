#!/usr/bin/env python3
"""velmorin-display end to end over the display model: the real program (velmorin-display-model, the model in
place of Windows) against the driver emulator, whose --desk connects a display of ours in the model for each
attach it accepts. One row per path: what each command prints and ends with, and the desk the model holds
afterwards. Each row has a folder, a driver socket, a state folder and a model file of its own.
"""

import argparse
import copy
import fcntl
import json
import os
import shutil
import subprocess
import sys
import threading
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

DELL = "\\\\?\\DISPLAY#DEL4321#5&1a&0&UID256#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}"
SAM = "\\\\?\\DISPLAY#SAM0F99#5&1a&0&UID257#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}"
LG = "\\\\?\\DISPLAY#GSM5B09#5&1a&0&UID258#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}"
# A desk of two physical monitors, the primary in HDR.
TWO = {"adapter": 1, "monitors": [
    {"path": DELL, "name": "DELL U2720Q", "modes": ["3840x2160x60", "1920x1080x60"], "active": True,
     "mode": "3840x2160x60", "x": 0, "y": 0, "hdr_capable": True, "hdr": True},
    {"path": SAM, "name": "LS27A600U", "modes": ["2560x1440x60", "1920x1080x60"], "active": True,
     "mode": "2560x1440x60", "x": 3840, "y": 0}]}
P = "velmorin-display: "
ROLLED = "; rolled back: the monitor was removed and the desk is as it was\n"
SAVED = "the saved layout stays in {saved} (velmorin-display restore puts it back)"


def model(**changes):
    m = copy.deepcopy(TWO)
    m.update(changes)
    return m


def desk(m):
    """What the user sees of a model: each monitor's place, mode and HDR, and which are ours."""
    return [(x["path"], x.get("active"), x.get("mode") if x.get("active") else None, x.get("x") if x.get("active") else None,
             x.get("y") if x.get("active") else None, x.get("hdr", False)) for x in m["monitors"] if not x.get("ours")] + \
           [("ours", x.get("active")) for x in m["monitors"] if x.get("ours")]


class Step:
    def __init__(self, argv, status, out="", err="", before=None, background=False):
        self.argv, self.status, self.out, self.err, self.before, self.background = argv, status, out, err, before, background


class Row:
    def __init__(self, name, start, steps, end="as it was", requests=8, aside=0, saved=False):
        self.name, self.start, self.steps, self.requests = name, start, steps, requests
        self.end = end        # "as it was", or a callable(model) -> problem
        self.aside = aside    # set-aside desks expected in the state folder
        self.saved = saved    # whether saved-layout.txt is left


class Run:
    def __init__(self, args, env, row):
        self.folder = os.path.join(args.scratch, row.name.replace(" ", "_"))
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        self.args, self.env, self.row = args, env, row
        self.ctx = harness.Context(env, self.folder)
        self.model_path = self.ctx.path("desk.json")
        self.state = self.ctx.path("state")
        self.ctx.environ.update(VELMORIN_DESK_MODEL=self.model_path, VELMORIN_STATE_DIR=self.state)
        self.saved = os.path.join(self.state, "saved-layout.txt")
        open(self.model_path, "w").close()
        self.write(row.start)

    def read(self):
        # Locked as the programs lock it: they rewrite it in place.
        with open(self.model_path) as f:
            fcntl.flock(f, fcntl.LOCK_EX)
            return json.load(f)

    def write(self, m):
        with open(self.model_path, "r+") as f:
            fcntl.flock(f, fcntl.LOCK_EX)
            f.truncate()
            json.dump(m, f)

    def edit(self, **changes):
        def change(run):
            m = run.read()
            m.update(changes)
            run.write(m)
        return change

    def command(self, argv):
        return subprocess.Popen([self.args.display_model] + argv, cwd=self.folder, env=self.ctx.environ,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def words(self, text):
        return text.replace("{sock}", self.ctx.environ.get("VELMORIN_DRIVER_SOCKET", "")).replace("{saved}", self.saved)


def finish(proc):
    out, err = proc.communicate(timeout=120)
    return proc.returncode, out.decode(), err.decode()


def play(args, env, row, failures):
    run = Run(args, env, row)
    emulator = harness.Emulator(["--desk", run.model_path], requests=row.requests, served=0, timeout=120)
    proc, problem = harness.start_emulator(env, run.ctx, emulator)
    if problem:
        failures.append(f"{row.name}: {problem}")
        return
    waiting = []
    try:
        for step in row.steps:
            if step.before:
                step.before(run)
            started = run.command(step.argv)
            if step.background:
                waiting.append((step, started))
                # It holds the lock once the driver took its monitor, which the model shows on its way.
                deadline = time.monotonic() + 60
                while not any(x.get("arrives_at_ms") for x in run.read()["monitors"]) and time.monotonic() < deadline:
                    time.sleep(0.05)
                continue
            check(run, step, finish(started), failures)
        for step, started in waiting:
            check(run, step, finish(started), failures)
    finally:
        harness.finish_emulator(proc, emulator)
    m = run.read()
    if row.end == "as it was":
        if desk(m) != desk(row.start):
            failures.append(f"{row.name}: the desk is {desk(m)}, not as it was: {desk(row.start)}")
    elif row.end is not None:
        problem = row.end(m)
        if problem:
            failures.append(f"{row.name}: {problem}: {desk(m)}")
    asides = [n for n in os.listdir(run.state) if n.startswith("saved-layout-")] if os.path.isdir(run.state) else []
    if len(asides) != row.aside or os.path.exists(run.saved) != row.saved:
        failures.append(f"{row.name}: state folder holds {sorted(os.listdir(run.state)) if os.path.isdir(run.state) else []}, "
                        f"expected {row.aside} set aside and saved-layout.txt {'kept' if row.saved else 'gone'}")


def check(run, step, got, failures):
    want = (step.status, run.words(step.out), step.err if callable(step.err) else run.words(step.err))
    if callable(step.err):
        want = (step.status, run.words(step.out), step.err(got[2], run))
    if got != want:
        failures.append(f"{run.row.name}: {' '.join(step.argv)}: got {got}, expected {want}")


def saved_desk_without_paths(run):
    """The saved desk made empty: every path, mode and monitor line dropped, the checksum made again."""
    with open(run.saved) as f:
        lines = [l for l in f.read().splitlines(True) if not l.startswith(("path ", "mode ", "monitor ", "checksum "))]
    body = "".join(lines)
    with open(run.saved, "w") as f:
        f.write(body + "checksum %08x\n" % zlib.crc32(body.encode()))


def monitors_replaced(run):
    """Both physical monitors unplugged and another plugged in: none of the saved desk is connected."""
    m = run.read()
    m["monitors"] = [x for x in m["monitors"] if x.get("ours")] + [
        {"path": LG, "name": "LG ULTRAGEAR", "modes": ["2560x1440x144"], "active": False}]
    run.write(m)


def offers(run, path, modes):
    """The monitor `path` offers other modes now (a new driver, another cable)."""
    m = run.read()
    for x in m["monitors"]:
        if x["path"] == path:
            x["modes"] = modes
    run.write(m)


def garbage_saved_desk(run):
    os.makedirs(run.state, exist_ok=True)
    with open(run.saved, "w") as f:
        f.write("velmorin-display layout format 1\ngarbage\n")


def starts_with(prefix):
    def test(err, run):
        start = run.words(prefix)
        return err if err.startswith(start) and err.count("\n") == 1 else start + "... (one line)"
    return test


def only(path, mode):
    """The model ends with `path` alone active, at 0,0 in `mode`."""
    def test(m):
        active = [(x["path"], x["mode"], x["x"], x["y"]) for x in m["monitors"] if x.get("active")]
        return None if active == [(path, mode, 0, 0)] else f"expected {path} alone at 0,0 in {mode}"
    return test


OURS3 = "\\\\.\\DISPLAY3"
ROWS = [
    Row("attach only and detach", TWO, [
        Step(["attach", "2560x1440x120", "--only", "--hdr"], 0,
             f"attached 2560x1440x120 as {OURS3}: 2560x1440 at 120.000 Hz, HDR on, the only active display\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n")]),
    Row("attach primary and detach", TWO, [
        Step(["attach", "1920x1080x60", "--primary"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, the primary display\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n")]),
    Row("no display within the wait", model(arrival_ms=3000), [
        Step(["attach", "1920x1080x60", "--wait", "0"], 6, "",
             P + "the driver took 1920x1080x60, but Windows showed no new display of ours within 0 s" + ROLLED)]),
    Row("layout refused", model(apply="refused"), [
        Step(["attach", "1920x1080x60", "--only"], 6, "",
             P + f"Windows did not make {OURS3} the only active display (Windows refused the layout, error 31)" + ROLLED)]),
    Row("layout answered but not applied", model(apply="ignored"), [
        Step(["attach", "1920x1080x60", "--primary"], 6, "",
             P + f"Windows did not make {OURS3} the primary display (\\\\.\\DISPLAY1 is at 0,0, not -6400,0)" + ROLLED)]),
    Row("not added to the desk", model(arrival="inactive", apply="refused"), [
        Step(["attach", "1920x1080x60"], 6, "",
             P + "Windows did not add \\\\?\\DISPLAY#KVR0000#1&2b3c4d&0&UID256#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7} to "
             "the desk (Windows refused it, error 31)" + ROLLED)]),
    Row("a mode not offered by use", TWO, [
        Step(["use", "2", "3840x2160x60"], 6, "",
             P + "\\\\.\\DISPLAY2 does not offer 3840x2160 at 60 Hz; rolled back: the desk is as it was\n")]),
    Row("arriving inactive", model(arrival="inactive"), [
        Step(["attach", "1920x1080x60"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, added to the desk\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n")]),
    Row("no HDR here", model(our_hdr=False), [
        Step(["attach", "2560x1440x120", "--hdr"], 0,
             f"attached 2560x1440x120 as {OURS3}: 2560x1440 at 120.000 Hz, HDR off (it cannot do HDR here), "
             "layout unchanged\n",
             P + f"{OURS3} cannot do HDR here: Windows reports no advanced colour for it (indirect displays need a "
             "recent Windows and driver); it stays in SDR\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n")]),
    Row("an HDR switch that does not take", model(hdr_switch="ignored"), [
        Step(["attach", "2560x1440x120", "--hdr", "--only"], 0,
             f"attached 2560x1440x120 as {OURS3}: 2560x1440 at 120.000 Hz, HDR off (Windows did not switch it on), "
             "the only active display\n",
             P + f"Windows did not switch HDR on for {OURS3}; it stays in SDR\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n")]),
    Row("HDR put back is checked", TWO, [
        Step(["use", "1", "--hdr=off"], 0, "\\\\.\\DISPLAY1: 3840x2160 at 60.000 Hz, HDR off, layout unchanged\n"),
        Step(["restore"], 6, "", P + "Windows did not put the saved layout back (" + DELL + " has HDR off, not on); "
             "rolled back: the desk is as it was; " + SAVED + "\n", before=lambda run: run.edit(hdr_switch="ignored")(run)),
        Step(["restore"], 0, "the saved layout is back\n", before=lambda run: run.edit(hdr_switch="works")(run))]),
    Row("a roll-back that fails", model(arrival="never"), [
        Step(["attach", "1920x1080x60", "--wait", "1"], 8, "",
             P + "the driver took 1920x1080x60, but Windows showed no new display of ours within 1 s; rolling back, "
             "remove request not sent: no driver answers at {sock}; the monitor may stay attached (velmorin-display "
             "detach removes it and puts the saved layout back)\n")], requests=1, saved=True),
    Row("keep", model(arrival="never"), [
        Step(["attach", "1920x1080x60", "--wait", "0", "--keep"], 6, "",
             P + "the driver took 1920x1080x60, but Windows showed no new display of ours within 0 s; the monitor "
             "stays attached and the saved layout stays saved (--keep)\n")], saved=True),
    Row("detach at the lock screen", TWO, [
        Step(["attach", "2560x1440x120", "--only"], 0,
             f"attached 2560x1440x120 as {OURS3}: 2560x1440 at 120.000 Hz, HDR off, the only active display\n"),
        Step(["detach", "--wait", "1"], 8, "",
             P + "Windows refuses access to the display configuration here (a service, another session, the lock "
             "screen, or the first seconds after logon); the remove request was sent, and Windows arranges the "
             "monitors left as it remembers them; " + SAVED + "\n", before=lambda run: run.edit(access="denied")(run)),
        Step(["restore"], 0, "the saved layout is back\n", before=lambda run: run.edit(access="allowed")(run))]),
    Row("an empty saved desk", TWO, [
        Step(["attach", "1920x1080x60", "--only"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, the only active display\n"),
        Step(["detach"], 0, "removed a display of ours; none of the saved monitors is connected; the layout Windows "
             "remembers for the monitors now connected was applied\n", before=saved_desk_without_paths)],
        end=only(DELL, "3840x2160x60")),
    Row("none of the saved monitors connected", TWO, [
        Step(["attach", "1920x1080x60", "--only"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, the only active display\n"),
        Step(["detach"], 0, "removed a display of ours; none of the saved monitors is connected; the layout Windows "
             "remembers for the monitors now connected was applied\n", before=monitors_replaced)],
        end=only(LG, "2560x1440x144")),
    Row("a stale saved desk", TWO, [
        Step(["use", "2", "--primary"], 0, "\\\\.\\DISPLAY2: 2560x1440 at 60.000 Hz, no HDR, the primary display\n"),
        Step(["attach", "1920x1080x60"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, layout unchanged\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n")],
        end=lambda m: None if [x["x"] for x in m["monitors"]] == [-3840, 0] else "the desk of the use is not back",
        aside=1),
    Row("an unreadable saved desk", TWO, [
        Step(["attach", "1920x1080x60"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, layout unchanged\n",
             starts_with(P + "the saved layout {saved} cannot be read back (is truncated"), before=garbage_saved_desk),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n")], aside=1),
    Row("reads that fail while a display arrives", model(read_failures=40, arrival_ms=500), [
        Step(["attach", "1920x1080x60", "--only"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, the only active display\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n",
             before=lambda run: run.edit(read_failures=20)(run))]),
    Row("saved timings no longer offered", TWO, [
        Step(["attach", "1920x1080x60", "--only"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, the only active display\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n",
             before=lambda run: offers(run, DELL, ["3840x2160x30", "1920x1080x60"]))],
        end=lambda m: None if [(x["mode"], x["x"]) for x in m["monitors"]] == [("3840x2160x30", 0), ("2560x1440x60", 3840)]
        else "the desk is not back in the modes offered now"),
    Row("a restart between attach and detach", TWO, [
        Step(["attach", "1920x1080x60", "--only"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, the only active display\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n",
             before=lambda run: run.edit(adapter=7)(run))]),
    Row("two commands at once", model(arrival_ms=2500), [
        Step(["attach", "1920x1080x60", "--only"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, the only active display\n",
             background=True),
        Step(["detach", "--wait", "0"], 4, "", P + "another velmorin-display is changing the displays; nothing removed\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back\n")]),
    Row("two attaches and detach all", TWO, [
        Step(["attach", "1920x1080x60"], 0,
             f"attached 1920x1080x60 as {OURS3}: 1920x1080 at 60.000 Hz, HDR off, layout unchanged\n"),
        Step(["attach", "2560x1440x60", "--only"], 0,
             "attached 2560x1440x60 as \\\\.\\DISPLAY4: 2560x1440 at 60.000 Hz, HDR off, the only active display\n"),
        Step(["detach"], 0, "removed a display of ours; the saved layout is back; 1 other display of ours stays "
             "(velmorin-display detach --all removes every one)\n"),
        Step(["attach", "2560x1440x60", "--primary"], 0,
             "attached 2560x1440x60 as \\\\.\\DISPLAY3: 2560x1440 at 60.000 Hz, HDR off, the primary display\n"),
        Step(["detach", "--all"], 0, "removed 2 displays of ours; the saved layout is back\n")]),
    Row("the driver had none", TWO, [
        Step(["use", "2", "--primary"], 0, "\\\\.\\DISPLAY2: 2560x1440 at 60.000 Hz, no HDR, the primary display\n"),
        Step(["detach"], 3, "", P + "the driver had no display to remove; the saved layout is back\n")]),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--display-model", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--row", help="only the rows whose name holds this")
    args = parser.parse_args()
    args.display_model = os.path.abspath(args.display_model)
    os.makedirs(args.scratch, exist_ok=True)
    env = harness.Env("posix", None, os.path.abspath(args.emulator), args.scratch)
    env.environ["LC_ALL"] = "C.UTF-8"
    rows = [r for r in ROWS if not args.row or args.row in r.name]
    failures = []
    # The rows are independent: two at a time, as the machine has cores for.
    lock = threading.Lock()

    def worker(queue):
        while True:
            with lock:
                if not queue:
                    return
                row = queue.pop(0)
            mine = []
            try:
                play(args, env, row, mine)
            except Exception as error:  # a broken row is a failure, never a silent pass
                mine.append(f"{row.name}: {error!r}")
            with lock:
                failures.extend(mine)

    queue = list(rows)
    threads = [threading.Thread(target=worker, args=(queue,)) for _ in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for failure in failures:
        print("FAIL:", failure)
    print(f"model: {len(rows)} rows, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
