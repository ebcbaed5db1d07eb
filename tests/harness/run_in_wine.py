#!/usr/bin/python3
"""Runs one Windows console program (e.g. a cross-built GoogleTest executable) in a fresh
WineHost and exits with its exit code.

    run_in_wine.py --root DIR --name NAME [--probe PATH] [--timeout SECONDS]
                   [--virtual-desktop] -- program.exe [args...]

The program's stdout and stderr are passed straight through. It runs in the caller's
working directory. With --probe, the program finds the window probe's Windows path in the
environment variable VELMORA_PROBE.

Exit code: the program's; 124 when it ran longer than --timeout (default 600 s); 125
when the Wine environment could not be set up; 2 for a wrong command line.
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from winehost import WineHost  # noqa: E402

TIMED_OUT = 124
HARNESS_FAILED = 125


def parse_args(argv):
    if "--" not in argv:
        options, program = argv, []
    else:
        split = argv.index("--")
        options, program = argv[:split], argv[split + 1 :]
    parser = argparse.ArgumentParser(
        prog="run_in_wine.py", usage="%(prog)s --root DIR --name NAME [--probe PATH] "
        "[--timeout SECONDS] [--virtual-desktop] -- program.exe [args...]")
    parser.add_argument("--root", required=True, help="folder for the Wine prefix")
    parser.add_argument("--name", required=True, help="name of the run (prefix folder)")
    parser.add_argument("--probe", help="winprobe.exe, handed to the program as VELMORA_PROBE")
    parser.add_argument("--timeout", type=float, default=600.0)
    parser.add_argument("--virtual-desktop", action="store_true")
    args = parser.parse_args(options)
    if not program:
        parser.error("no program given after --")
    return args, program


def run_program(host, args, program):
    env = {}
    if args.probe:
        env["VELMORA_PROBE"] = host.to_windows_path(args.probe)
    started = time.monotonic()
    proc = host.start(program, env=env, cwd=os.getcwd())
    try:
        code = host.wait_process(proc, args.timeout)
    except AssertionError:
        print(f"run_in_wine: {program[0]} ran longer than {args.timeout:g} s; killed",
              file=sys.stderr)
        return TIMED_OUT
    print(f"run_in_wine: {os.path.basename(program[0])} exited with {code} after "
          f"{time.monotonic() - started:.1f} s (Wine set-up {host.timings['create']:.1f} s)",
          file=sys.stderr)
    return code


def main(argv=None):
    args, program = parse_args(sys.argv[1:] if argv is None else argv)
    if os.path.exists(program[0]):
        program[0] = os.path.abspath(program[0])
    sys.stdout.flush()
    sys.stderr.flush()
    entered = False
    try:
        with WineHost(args.root, args.name, virtual_desktop=args.virtual_desktop,
                      probe_exe=args.probe) as host:
            entered = True
            return run_program(host, args, program)
    except (AssertionError, OSError) as e:
        if entered:
            raise
        print(f"run_in_wine: could not set up Wine: {e}", file=sys.stderr)
        return HARNESS_FAILED


if __name__ == "__main__":
    sys.exit(main())
