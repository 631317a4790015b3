#!/usr/bin/env python3
"""Prints the benchmark summary (Markdown) from the results that run.sh left.

  summarize.py WORK_FOLDER VELMORIN_BINARY

Ratios are taken between commands of the same hyperfine run, as a ratio of
the means (with the spread of both) and as a ratio of the fastest runs,
which other load on the machine disturbs least.
"""
import json
import math
import os
import platform
import subprocess
import sys


def load_run(work, name):
    with open(os.path.join(work, name + ".json")) as f:
        return {r["command"]: r for r in json.load(f)["results"]}


def load_work(work):
    """System calls and reported files per tree size, when run.sh could count them."""
    path = os.path.join(work, "scaling-work.tsv")
    if not os.path.exists(path):
        return {}
    done = {}
    with open(path) as f:
        next(f)
        for line in f:
            count, calls, reported = line.split()
            done[count] = {"calls": int(calls), "reported": int(reported)}
    return done


def ms(result):
    return "%.2f ± %.2f" % (result["mean"] * 1e3, result["stddev"] * 1e3)


def ratio(a, b):
    r = a["mean"] / b["mean"]
    spread = r * math.hypot(a["stddev"] / a["mean"], b["stddev"] / b["mean"])
    return r, spread, a["min"] / b["min"]


def machine(velmorin):
    def run(*cmd):
        try:
            return subprocess.run(cmd, capture_output=True, text=True).stdout.strip()
        except OSError:
            return "?"

    model = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    compiler = "?"
    cache = os.path.join(os.path.dirname(velmorin), "CMakeCache.txt")
    if os.path.exists(cache):
        with open(cache) as f:
            for line in f:
                if line.startswith("CMAKE_CXX_COMPILER:"):
                    compiler = run(line.split("=", 1)[1].strip(), "--version").splitlines()[0]
    linking = "static" if "not a dynamic executable" in run("sh", "-c", "ldd %s 2>&1" % velmorin) else "dynamic"
    return [
        ("cores (nproc)", run("nproc")),
        ("CPU", model),
        ("kernel", platform.release()),
        ("compiler", compiler),
        ("velmorin", "%s, linked %s, %d bytes" % (velmorin, linking, os.path.getsize(velmorin))),
        ("load average at the end", " ".join(open("/proc/loadavg").read().split()[:3])),
    ]


def main():
    work, velmorin = sys.argv[1], sys.argv[2]
    listing = load_run(work, "list-binary")
    text = load_run(work, "list-text")
    attach = load_run(work, "attach")
    scaling = load_run(work, "scaling")
    maker = load_run(work, "maker-attach")
    maker_no_driver = load_run(work, "maker-attach-no-driver")
    memory = {}
    with open(os.path.join(work, "memory.tsv")) as f:
        next(f)
        for line in f:
            command, kib = line.rstrip("\n").split("\t")
            memory[command] = int(kib)

    print("## Machine\n")
    for key, value in machine(velmorin):
        print("- %s: %s" % (key, value))

    print("\n## Times (ms, mean ± σ of one hyperfine run)\n")
    print("| run | command | time (ms) | runs |")
    print("|---|---|---|---|")
    for name, results in (("list-binary", listing), ("list-text", text), ("attach", attach),
                          ("maker-attach", maker), ("maker-attach-no-driver", maker_no_driver), ("scaling", scaling)):
        for command, r in results.items():
            print("| %s | %s | %s | %d |" % (name, command, ms(r), len(r["times"])))

    print("\n## Targets\n")
    print("| measure | ratio of means | ratio of fastest runs | target | met |")
    print("|---|---|---|---|---|")

    def row(label, a, b, target, met_if):
        r, spread, fastest = ratio(a, b)
        met = "yes" if met_if(r) else "NO"
        print("| %s | %.2f ± %.2f | %.2f | %s | %s |" % (label, r, spread, fastest, target, met))

    row("/l 1000 binary ÷ cat (floor)", listing["velmorin /l"], listing["cat (floor)"], "≤ 2",
        lambda r: r <= 2)
    row("edid-decode per file ÷ /l 1000 binary", listing["edid-decode per file"],
        listing["velmorin /l"], "≥ 50", lambda r: r >= 50)
    row("/d without driver ÷ true", attach["velmorin /d"], attach["true (floor)"], "≤ 1.5",
        lambda r: r <= 1.5)
    row("velmorin-edid --attach ÷ velmorin /d, same EDID, driver", maker["velmorin-edid --attach, driver"],
        maker["velmorin /d, driver"], "≈ 1.1 or less", lambda r: r <= 1.1)
    peak = memory["velmorin /l, 1000 binary"]
    print("| peak RSS of /l 1000 binary | %d KiB (%.2f MiB) | | < 4 MiB | %s |"
          % (peak, peak / 1024, "yes" if peak < 4096 else "NO"))
    row("/l 10000 ÷ /l 1000 (budget of 1000 entries)", scaling["velmorin /l, 10000"],
        scaling["velmorin /l, 1000"], "≈ 1, no growth", lambda r: r <= 1.25)
    work_done = load_work(work)
    if work_done:
        grown = work_done["10000"]["calls"] / work_done["1000"]["calls"]
        print("| system calls of /l 10000 ÷ /l 1000 | %.3f | | ≈ 1, no growth | %s |"
              % (grown, "yes" if grown <= 1.01 else "NO"))

    print("\n## Other ratios\n")
    print("| measure | ratio of means | ratio of fastest runs |")
    print("|---|---|---|")

    def other(label, a, b):
        r, spread, fastest = ratio(a, b)
        print("| %s | %.2f ± %.2f | %.2f |" % (label, r, spread, fastest))

    other("/l 1000 text ÷ cp -R (read+write floor)", text["velmorin /l"], text["cp -R (read+write floor)"])
    other("/l 1000 text ÷ cat (read floor)", text["velmorin /l"], text["cat (read floor)"])
    other("/l 1000 text, copies already there ÷ cp -R", text["velmorin /l, copies already there"],
          text["cp -R (read+write floor)"])
    other("velmorin-edid --attach ÷ velmorin /d, no driver", maker_no_driver["velmorin-edid --attach, no driver"],
          maker_no_driver["velmorin /d, no driver"])
    other("/l 1000 ÷ /l 100", scaling["velmorin /l, 1000"], scaling["velmorin /l, 100"])
    other("cat 10000 ÷ cat 1000", scaling["cat, 10000"], scaling["cat, 1000"])
    other("/l 100 ÷ cat 100", scaling["velmorin /l, 100"], scaling["cat, 100"])
    other("/l 10000 ÷ cat 10000", scaling["velmorin /l, 10000"], scaling["cat, 10000"])

    if work_done:
        print("\n## Work done by /l at each tree size (strace -c)\n")
        print("| files in tree | system calls | files reported |")
        print("|---|---|---|")
        for count, done in work_done.items():
            print("| %s | %d | %d |" % (count, done["calls"], done["reported"]))

    print("\n## Peak memory (maximum resident set size, KiB)\n")
    print("| command | KiB |")
    print("|---|---|")
    for command, kib in memory.items():
        print("| %s | %d |" % (command, kib))


if __name__ == "__main__":
    main()
