#!/usr/bin/python3
"""Runs one cross-built GoogleTest program under Wine and passes only when it really
finished: exit code 0, no premature-exit mark left, and a report in which every test
the program has ran.

    run_in_wine.py program.exe [args...]
"""

import os
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winehost  # noqa: E402


def main():
    program = [os.path.abspath(sys.argv[1])] + sys.argv[2:]
    name = os.path.basename(program[0])
    sys.stdout.flush()
    with winehost.WineHost(os.path.splitext(name)[0]) as host:
        report = os.path.join(host.workdir, "report.xml")
        mark = os.path.join(host.workdir, "premature-exit")
        environment = dict(host.env, GTEST_OUTPUT="xml:" + host.windows_path(report),
                           TEST_PREMATURE_EXIT_FILE=host.windows_path(mark))
        proc = host.start(program, env=environment, stdout=sys.stdout, stderr=sys.stderr,
                          cwd=os.getcwd())
        code = host.wait_process(proc, 600)
        if os.path.exists(mark):
            return fail(f"{name} ended before its tests finished (exit code {code})")
        if not os.path.exists(report):
            return fail(f"{name} wrote no test report (exit code {code})")
        suites = ElementTree.parse(report).getroot()
        ran = sum(1 for case in suites.iter("testcase") if case.get("result") in ("completed", "skipped"))
        total = int(suites.get("tests"))
        bits = "32" if winehost.ARCH == "i686" else "64"
        print(f"run_in_wine: {name} ({winehost.ARCH}) ran {ran} of {total} tests under "
              f"{bits}-bit Wine, exit code {code}")
        if ran != total or total == 0:
            return fail(f"{name} ran {ran} of its {total} tests")
        return code


def fail(message):
    print("run_in_wine: " + message, file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
