"""Runs one group of end-to-end cases: python3 run_e2e.py --group remove --velmorin ... --emulator ..."""

import argparse
import os
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import harness  # noqa: E402


def groups():
    import cases_attach
    import cases_endpoint
    import cases_list
    import cases_names
    import cases_pipe
    import cases_unreadable
    return {"dispatch": cases_pipe.DISPATCH, "remove": cases_pipe.REMOVE, "attach": cases_attach.ATTACH,
            "list": cases_list.LIST, "names": cases_names.NAMES, "unreadable": cases_unreadable.UNREADABLE,
            "endpoint": cases_endpoint.ENDPOINT, "default_socket": cases_endpoint.DEFAULT}


def watch_default_path(stop, seen):
    """Until `stop` is set, looks every 20 ms for a server at the default path that is none of ours."""
    while not stop.wait(0.02):
        try:
            if harness.foreign_default_server():
                seen.set()
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--group", required=True, choices=["dispatch", "remove", "attach", "list", "names", "unreadable",
                                                         "endpoint", "default_socket"])
    parser.add_argument("--velmorin", required=True, help="the tool under test")
    parser.add_argument("--emulator", required=True, help="the driver emulator")
    parser.add_argument("--scratch", required=True, help="a folder for the cases' files (emptied per case)")
    parser.add_argument("--platform", choices=["posix", "windows"], default="posix")
    parser.add_argument("--wine", default="wine", help="how to run Windows programs")
    parser.add_argument("--case", action="append", help="run only this case (may repeat)")
    args = parser.parse_args()
    skipped = "SKIPPED: something else served %s %s; the cases that use the default path do not count"
    default_path = args.group == "default_socket"
    if default_path and harness.default_socket_served():
        print(skipped % (harness.DEFAULT_SOCKET, "before the test"))
        return 77
    env = harness.Env(args.platform, os.path.abspath(args.velmorin), os.path.abspath(args.emulator),
                      os.path.join(args.scratch, args.group), args.wine)
    # Another program may take the default path at any moment of the test, not only before it.
    stop, seen = threading.Event(), threading.Event()
    watch = threading.Thread(target=watch_default_path, args=(stop, seen))
    if default_path:
        watch.start()
    passed = harness.run_cases(env, groups()[args.group], args.case)
    if default_path:
        stop.set()
        watch.join()
        if seen.is_set():
            print(skipped % (harness.DEFAULT_SOCKET, "during the test"))
            return 77
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
