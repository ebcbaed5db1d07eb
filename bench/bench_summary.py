#!/usr/bin/python3
"""Prints the closing summary of scripts/bench.sh: every figure beside its reference and
the ratio of the two, from the decoder benchmark's output and the JSON files that
startup_bench.py and size_bench.py wrote.

    bench_summary.py --decode decode.txt --startup startup.json --size size.json
"""

import argparse
import json
import re
import sys


def decode_figures(path):
    """(decode us, memset us, ratio) from rld_decode_bench's closing lines; the two
    times are None when only the ratio line is there."""
    with open(path) as f:
        text = f.read()
    ratio = re.search(r"^RldDecode / memset ratio: ([0-9.]+)\s*$", text, re.M)
    if not ratio:
        raise SystemExit(f"bench_summary.py: no 'RldDecode / memset ratio' line in {path}")
    times = re.search(r"^RldDecode: ([0-9.]+) us, memset: ([0-9.]+) us", text, re.M)
    if times:
        return float(times.group(1)), float(times.group(2)), float(ratio.group(1))
    return None, None, float(ratio.group(1))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--decode", required=True)
    parser.add_argument("--startup", required=True)
    parser.add_argument("--size", required=True)
    args = parser.parse_args()
    decode_us, memset_us, decode_ratio = decode_figures(args.decode)
    with open(args.startup) as f:
        startup = json.load(f)
    with open(args.size) as f:
        size = json.load(f)
    setup = startup["programs"]["VelmoraSetup.exe"]["painted"]["median_ms"]
    minimal = startup["programs"]["minimal_window.exe"]["painted"]["median_ms"]
    setup_mapped = startup["programs"]["VelmoraSetup.exe"]["mapped"]["median_ms"]

    rows = [
        ("RldDecode, whole picture",
         f"{decode_us:.1f} us" if decode_us is not None else "-",
         f"memset of the same bytes {memset_us:.1f} us" if memset_us is not None
         else "memset of the same bytes", decode_ratio),
        ("Start-up to first paint (median)", f"{setup:.1f} ms",
         f"minimal window program {minimal:.1f} ms", startup["ratio"]),
    ]
    nsis = startup["programs"].get("NSIS installer")  # where 32-bit programs run
    if nsis is not None:
        nsis_ms = nsis["mapped"]["median_ms"]
        rows.append(("Start-up to window shown (median)", f"{setup_mapped:.1f} ms",
                     f"NSIS installer {nsis_ms:.1f} ms", setup_mapped / nsis_ms))
    rows += [
        ("Size of VelmoraSetup.exe (i686)", f"{size['velmora_setup']} bytes",
         f"NSIS installer {size['nsis_installer']} bytes", size["ratio"]),
        ("Size without picture and payload", f"{size['velmora_without_data']} bytes",
         f"NSIS stub {size['nsis_stub_name']} {size['nsis_stub']} bytes", size["bare_ratio"]),
    ]
    print("Summary (figure, reference, ratio figure / reference):")
    for what, figure, reference, ratio in rows:
        print(f"  {what:<34} {figure:>14}   {reference:<44} {ratio:6.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
