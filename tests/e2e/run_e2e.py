"""Runs one group of end-to-end cases: python3 run_e2e.py --group remove --velmorin ... --emulator ..."""

import argparse
import os
import sys

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
    if args.group == "default_socket" and harness.default_socket_served():
        print("SKIPPED: something else serves %s; the cases that use the default path were not run"
              % harness.DEFAULT_SOCKET)
        return 77
    env = harness.Env(args.platform, os.path.abspath(args.velmorin), os.path.abspath(args.emulator),
                      os.path.join(args.scratch, args.group), args.wine)
    return 0 if harness.run_cases(env, groups()[args.group], args.case) else 1


if __name__ == "__main__":
    sys.exit(main())
