#!/usr/bin/python3
"""Size benchmark: the i686 installer against an NSIS installer doing the same job.

The NSIS installer comes from bench/size/velmora_nsis.nsi.in, filled in with the build's
i686 Velmora.scr and made with Debian's makensis in a temporary folder (zlib, not solid,
ANSI). Reported:

  * both file sizes and their ratio;
  * our executable without its carried data, i.e. its size less the exact lengths of the
    carried picture (the RLD file rld_encode writes) and of the payload (zlib.compress
    of Velmora.scr, as the build embeds it); both byte strings are first found in the
    executable, or the benchmark fails;
  * against it, the NSIS stub (exehead) that makensis used, from /usr/share/nsis/Stubs.

    size_bench.py --build-dir BUILD [--json results.json]
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
NSIS_TEMPLATE = os.path.join(HERE, "size", "velmora_nsis.nsi.in")
NSIS_STUBS = "/usr/share/nsis/Stubs"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def carried_data(build_dir, exe, workdir):
    """[(what, length)] of the data the executable carries, each checked to be in it."""
    rld_path = os.path.join(workdir, "background.rld")
    subprocess.run([os.path.join(build_dir, "tools", "rld_encode"), "--raw",
                    os.path.join(ROOT, "src", "data", "background.ppm"), rld_path], check=True)
    picture = read(rld_path)
    payload = zlib.compress(read(os.path.join(build_dir, "windows-i686", "Velmora.scr")))
    found = []
    for what, blob in (("picture (RLD)", picture), ("payload (zlib stream)", payload)):
        if exe.count(blob) != 1:
            raise SystemExit(f"size_bench.py: the {what}, {len(blob)} bytes, occurs "
                             f"{exe.count(blob)} times in VelmoraSetup.exe, not once")
        found.append((what, len(blob)))
    return found


def make_nsis(scr_path, workdir):
    """Builds the NSIS installer; returns its path, the stub makensis reported using
    (e.g. "x86-ansi"), (packed, original) sizes of Velmora.scr in it, and the size of
    the exehead as written into it."""
    out_file = os.path.join(workdir, "VelmoraNsisSetup.exe")
    with open(NSIS_TEMPLATE) as f:
        script = f.read()
    script = script.replace("@OUT_FILE@", out_file).replace("@VELMORA_SCR@", scr_path)
    if "@" in re.sub(r";.*", "", script):
        raise SystemExit("size_bench.py: a placeholder in the NSIS script was left unfilled")
    nsi = os.path.join(workdir, "velmora_nsis.nsi")
    with open(nsi, "w") as f:
        f.write(script)
    result = subprocess.run(["makensis", "-V4", "-NOCD", nsi], cwd=workdir,
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit(f"size_bench.py: makensis failed:\n{result.stdout}{result.stderr}")
    # makensis names the exehead it wrote the installer with: "writing output (x86-ansi)".
    match = re.search(r"writing output \(([a-z0-9]+-(?:ansi|unicode))\)", result.stdout)
    if not match:
        raise SystemExit("size_bench.py: makensis did not say which stub it used:\n"
                         + result.stdout)
    stored = re.search(r'File: "Velmora\.scr" \[compress\] (\d+)/(\d+) bytes', result.stdout)
    if not stored:
        raise SystemExit("size_bench.py: makensis did not report Velmora.scr as packed:\n"
                         + result.stdout)
    if "Using zlib compression" not in result.stdout:
        raise SystemExit("size_bench.py: makensis did not use zlib:\n" + result.stdout)
    header = re.search(r"EXE header size:\s+(\d+) / (\d+) bytes", result.stdout)
    if not header:
        raise SystemExit("size_bench.py: makensis did not report its header size:\n"
                         + result.stdout)
    return (out_file, match.group(1), (int(stored.group(1)), int(stored.group(2))),
            int(header.group(1)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.environ.get("VELMORA_BUILD_DIR",
                                                              os.path.join(ROOT, "build")))
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    build_dir = os.path.abspath(args.build_dir)
    exe_path = os.path.join(build_dir, "windows-i686", "VelmoraSetup.exe")
    scr_path = os.path.join(build_dir, "windows-i686", "Velmora.scr")
    for path in (exe_path, scr_path, os.path.join(build_dir, "tools", "rld_encode")):
        if not os.path.isfile(path):
            sys.exit(f"size_bench.py: {path} is missing; build first (scripts/build.sh)")
    if shutil.which("makensis") is None:
        sys.exit("size_bench.py: makensis is missing (Debian package nsis)")

    exe = read(exe_path)
    with tempfile.TemporaryDirectory(prefix="size-bench-") as workdir:
        carried = carried_data(build_dir, exe, workdir)
        nsis_path, stub_name, (nsis_packed, scr_size), header_written = make_nsis(
            scr_path, workdir)
        nsis_size = os.path.getsize(nsis_path)
        with open(nsis_path, "rb") as f:
            if f.read(2) != b"MZ":
                sys.exit("size_bench.py: makensis wrote no Windows executable")
    stub_path = os.path.join(NSIS_STUBS, "zlib-" + stub_name)
    if not os.path.isfile(stub_path):
        sys.exit(f"size_bench.py: makensis used {stub_name}, but {stub_path} is missing")
    stub_size = os.path.getsize(stub_path)
    version = subprocess.run(["makensis", "-VERSION"], capture_output=True,
                             text=True).stdout.strip()

    exe_size = len(exe)
    bare_size = exe_size - sum(length for _, length in carried)
    results = {
        "velmora_setup": exe_size, "nsis_installer": nsis_size, "ratio": exe_size / nsis_size,
        "velmora_without_data": bare_size, "nsis_stub": stub_size,
        "nsis_stub_name": os.path.basename(stub_path), "bare_ratio": bare_size / stub_size,
        "carried": dict(carried), "nsis_packed_scr": nsis_packed, "makensis": version,
    }
    print(f"Size: i686 VelmoraSetup.exe against NSIS {version} (SetCompressor zlib, not solid, "
          f"Unicode false) carrying the same Velmora.scr ({scr_size} bytes)")
    print(f"  VelmoraSetup.exe                   {exe_size:8d} bytes")
    print(f"  NSIS installer                     {nsis_size:8d} bytes"
          f"   (Velmora.scr packed by NSIS: {nsis_packed} bytes; no picture)")
    print(f"  ratio VelmoraSetup / NSIS          {results['ratio']:8.2f}")
    print("  VelmoraSetup.exe without its carried data: file size less the exact lengths of "
          + " and ".join(f"the {what}, {length} bytes" for what, length in carried)
          + " (both found once in the file)")
    print(f"  VelmoraSetup.exe without data      {bare_size:8d} bytes")
    kind = "ANSI" if stub_name.endswith("-ansi") else "Unicode"
    print(f"  NSIS stub {os.path.basename(stub_path):<24} {stub_size:8d} bytes   "
          f"({kind}: makensis reported {stub_name}; it wrote it as {header_written} bytes "
          f"after removing unused resources)")
    print(f"  ratio without data / NSIS stub     {results['bare_ratio']:8.2f}")
    if os.environ.get("VELMORA_ARCH") != "i686":
        print("  The NSIS installer is an x86 (32-bit) program: it cannot run on this machine "
              "(no 32-bit execution), so it was built and measured, not installed.")
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
