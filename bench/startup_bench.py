#!/usr/bin/python3
"""Start-up benchmark: time from process start to the first painted window, for the
installer (VelmoraSetup.exe) against the smallest Win32 program that registers a class
and shows a window (bench/startup/minimal_window.exe, same build settings), both of the
architecture the tests run (i686 under 32-bit Wine where this kernel runs 32-bit code).
Under 32-bit Wine the NSIS installer that size_bench.py builds runs as a third program;
its first window counts as painted when it is mapped, and it is ended by a kill.

Both run under the same Wine, on the same Xvfb display, in one WineHost (one prefix,
one warm wineserver), interleaved, the order turning each round: warm-up runs first
(one of each, not counted; they also measure where each window's client area lies
inside its X window), then the counted runs. Each run:

  t0 = just before the process is spawned;
  "mapped"  = a mapped top-level X window with the program's title exists;
  "painted" = the two probe points of its client area show the program's own paint:
              for the installer, the colours of its picture at those points (decoded
              from the build's RLD file); for the minimal program, its class colour.

Everything is observed from outside through the X server (python3-xlib): MapNotify
events on the root window, then 1x1 GetImage requests, polled with a deadline. The
program is then ended with Esc and must exit with code 0. Before that, the peak resident
set of the program's process (VmHWM) is read: its memory up to its first paint.

Another build of the installer (e.g. an earlier version, built in a scratch tree) runs
interleaved with the others when named with --setup LABEL=PATH (repeatable).

    startup_bench.py --build-dir BUILD [--setup LABEL=PATH ...] [--runs 15] [--json results.json]
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "harness"))
sys.path.insert(0, HERE)

import winehost  # noqa: E402
from size_bench import make_nsis  # noqa: E402
from rld_picture import decode_rld, matches_ppm  # noqa: E402

try:
    from Xlib import X, display as xdisplay  # noqa: E402
except ImportError:
    sys.exit("startup_bench.py needs python3-xlib (Debian package), run with /usr/bin/python3")

SETUP_TITLE = " Setup"
MINIMAL_TITLE = "Velmora minimal window"
# bench/startup/minimal_window.cpp paints its client area with this colour.
MINIMAL_COLOUR = (0x2E, 0x8B, 0x57)
# Client points (x, y) checked for the first paint: off the buttons (left column
# x 35-110, y 30-180) and the title (lower right), one high, one low in the picture.
PROBE_CANDIDATES = [(300, 220), (560, 20), (480, 120), (250, 400), (200, 300)]
POLL_INTERVAL = 0.001
RUN_DEADLINE = 30.0


class Program:
    def __init__(self, label, exe, title):
        self.label = label
        self.exe = exe
        self.title = title
        self.client_offset = None  # client area's origin inside the X window
        self.expected = None  # [((x, y), (r, g, b)), ...] in client coordinates
        self.mapped = []
        self.painted = []
        self.peak_mb = []
        self.killed = False
        self.title_is_prefix = False  # the title bar carries more, as NSIS's page names


class XWatch:
    """One X connection that sees every top-level window mapped on the display."""

    def __init__(self, display_name):
        self.display = xdisplay.Display(display_name)
        screen = self.display.screen()
        self.root = screen.root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self._pixel_format(screen.root_depth)
        self.display.sync()
        self.mapped = set()

    def _pixel_format(self, depth):
        formats = {f.depth: f.bits_per_pixel for f in self.display.display.info.pixmap_formats}
        self.bytes_per_pixel = formats[depth] // 8
        visual = next(v for d in self.display.screen().allowed_depths if d.depth == depth
                      for v in d.visuals if v.visual_id == self.display.screen().root_visual)
        self.masks = (visual.red_mask, visual.green_mask, visual.blue_mask)
        self.byte_order = ("little" if self.display.display.info.image_byte_order == X.LSBFirst
                           else "big")

    def forget_events(self):
        self._drain()
        self.mapped.clear()

    def _drain(self):
        while self.display.pending_events():
            event = self.display.next_event()
            if event.type == X.MapNotify:
                self.mapped.add(event.window.id)
            elif event.type in (X.UnmapNotify, X.DestroyNotify):
                self.mapped.discard(event.window.id)

    def find_mapped(self, title, prefix=False):
        """The X window id of a mapped top-level window named `title` (or, with
        prefix, whose name starts with it), or None."""
        self._drain()
        for wid in list(self.mapped):
            window = self.display.create_resource_object("window", wid)
            try:
                name = window.get_wm_name()
            except Exception:  # gone between the event and the request
                self.mapped.discard(wid)
                continue
            if name == title or (prefix and isinstance(name, str) and name.startswith(title)):
                return wid
        return None

    def origin(self, wid):
        geometry = self.display.create_resource_object("window", wid).get_geometry()
        return geometry.x, geometry.y

    def pixel(self, x, y):
        """(r, g, b) of the screen at root coordinates (x, y)."""
        image = self.root.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF)
        value = int.from_bytes(image.data[: self.bytes_per_pixel], self.byte_order)
        rgb = []
        for mask in self.masks:
            shift = (mask & -mask).bit_length() - 1
            rgb.append((value & mask) >> shift)
        return tuple(rgb)


def choose_probes(picture, client_size):
    """Two client points whose picture colour is neither white (the class brush), black
    nor the minimal program's colour, inside the visible client area."""
    width, height = client_size
    chosen = []
    for point in PROBE_CANDIDATES:
        x, y = point
        if x >= min(width, picture.width) or y >= min(height, picture.height):
            continue
        colour = picture.pixel(x, y)
        if colour in ((255, 255, 255), (0, 0, 0), MINIMAL_COLOUR):
            continue
        chosen.append((point, colour))
        if len(chosen) == 2:
            return chosen
    raise AssertionError(f"no two usable probe points among {PROBE_CANDIDATES} "
                         f"in a {width}x{height} client area")


def time_one_run(host, watch, program):
    """Starts the program, returns (mapped, painted) seconds after t0, then ends it."""
    watch.forget_events()
    t0 = time.monotonic()
    proc = host.start([program.exe])
    deadline = t0 + RUN_DEADLINE
    mapped_at = None
    wid = None
    seen = None
    while True:
        now = time.monotonic()
        if wid is None:
            wid = watch.find_mapped(program.title, program.title_is_prefix)
            if wid is not None:
                mapped_at = time.monotonic() - t0
        if wid is not None and program.expected is not None:
            ox, oy = watch.origin(wid)
            cx, cy = program.client_offset
            seen = [watch.pixel(ox + cx + x, oy + cy + y) for (x, y), _ in program.expected]
            if seen == [colour for _, colour in program.expected]:
                painted_at = time.monotonic() - t0
                break
        elif wid is not None:
            # Warm-up before the client area is known: the window alone ends the wait.
            painted_at = mapped_at
            break
        if proc.poll() is not None:
            raise AssertionError(f"{program.label} ended with {proc.returncode} before "
                                 f"its window was painted")
        if now > deadline:
            raise AssertionError(
                f"{program.label}: no painted window within {RUN_DEADLINE} s "
                f"(window {'found' if wid else 'not found'}; probe colours seen {seen}, "
                f"expected {program.expected})")
        time.sleep(POLL_INTERVAL)
    return proc, wid, mapped_at, painted_at


def peak_resident_mb(host, program):
    """VmHWM of the Windows process running the program (the loader's own, as a rule)."""
    for pid in winehost.processes_of_prefix(host.prefix):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if os.fsencode(program.exe) not in f.read():
                    continue
            with open(f"/proc/{pid}/status") as f:
                return next(int(line.split()[1]) / 1024 for line in f
                            if line.startswith("VmHWM:"))
        except (OSError, StopIteration):
            pass
    raise AssertionError(f"{program.label}: no process of the prefix runs {program.exe}")


def end_program(host, program, proc):
    if program.killed:
        proc.kill()
        proc.wait()
        return
    host.key("Escape", title=program.title)
    code = host.wait_process(proc, RUN_DEADLINE)
    if code != 0:
        raise AssertionError(f"{program.label} ended with exit code {code} after Esc")


def warm_up(host, watch, program, picture):
    """One uncounted run: loads the files into the cache and measures, through the
    window probe, where the client area lies inside the X window."""
    proc, wid, _, _ = time_one_run(host, watch, program)
    window = host.wait_for_window(program.title, proc)
    ox, oy = watch.origin(wid)
    left, top, right, bottom = window["client"]
    program.client_offset = (left - ox, top - oy)
    client_size = (right - left, bottom - top)
    end_program(host, program, proc)
    return client_size


def summarise(values):
    ms = [v * 1000.0 for v in values]
    return {"median_ms": statistics.median(ms), "min_ms": min(ms), "max_ms": max(ms),
            "runs": len(ms)}


def make_rld(build_dir, workdir):
    """The carried picture as the build encodes it, as a file."""
    path = os.path.join(workdir, "background.rld")
    subprocess.run([os.path.join(build_dir, "tools", "rld_encode"), "--raw",
                    os.path.join(ROOT, "src", "data", "background.ppm"), path], check=True)
    with open(path, "rb") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.environ.get("VELMORA_BUILD_DIR",
                                                              os.path.join(ROOT, "build")))
    parser.add_argument("--setup", action="append", default=[], metavar="LABEL=PATH",
                        help="another VelmoraSetup.exe to measure beside the build's")
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    build_dir = os.path.abspath(args.build_dir)
    windows_dir = os.path.join(build_dir, "windows-" + winehost.ARCH)
    setup = Program("VelmoraSetup.exe", os.path.join(windows_dir, "VelmoraSetup.exe"),
                    SETUP_TITLE)
    minimal = Program("minimal_window.exe",
                      os.path.join(windows_dir, "bench", "startup", "minimal_window.exe"),
                      MINIMAL_TITLE)
    probe = os.path.join(windows_dir, "winprobe.exe")
    for path in (setup.exe, minimal.exe, probe):
        if not os.path.isfile(path):
            sys.exit(f"startup_bench.py: {path} is missing; build first (scripts/build.sh)")

    with tempfile.TemporaryDirectory(prefix="startup-bench-") as workdir:
        picture = decode_rld(make_rld(build_dir, workdir))
    if not matches_ppm(picture, os.path.join(ROOT, "src", "data", "background.ppm")):
        sys.exit("startup_bench.py: the decoded RLD picture differs from background.ppm")

    os.environ.update(VELMORA_TEST_OUTPUT=os.path.join(build_dir, "bench-output"),
                      VELMORA_PROBE=probe)
    others = [Program(label, os.path.abspath(path), SETUP_TITLE)
              for label, path in (item.split("=", 1) for item in args.setup)]
    programs = [setup] + others + [minimal]
    if winehost.ARCH == "i686":
        nsis_exe = make_nsis(os.path.join(windows_dir, "Velmora.scr"), tempfile.mkdtemp())[0]
        programs.append(Program("NSIS installer", nsis_exe, SETUP_TITLE))
        programs[-1].killed = True
        programs[-1].title_is_prefix = True  # " Setup: Installing", then " Setup: Completed"
    with winehost.WineHost("startup-bench") as host:
        watch = XWatch(host.display)
        setup_client = warm_up(host, watch, setup, picture)
        minimal_client = warm_up(host, watch, minimal, picture)
        setup.expected = choose_probes(picture, setup_client)
        minimal.expected = [(point, MINIMAL_COLOUR) for point, _ in setup.expected]
        for point, _ in setup.expected:
            if point[0] >= minimal_client[0] or point[1] >= minimal_client[1]:
                raise AssertionError(f"probe point {point} lies outside the minimal "
                                     f"window's {minimal_client} client area")
        for other in others:
            other.client_offset, other.expected = setup.client_offset, setup.expected
            end_program(host, other, time_one_run(host, watch, other)[0])  # warm-up
        if programs[-1].killed:
            time_one_run(host, watch, programs[-1])[0].kill()  # warm-up
        # The order turns each round: no program always follows the same one
        # (the NSIS installer's kill, for one, ends while the next starts).
        for turn in range(args.runs):
            for program in programs[turn % len(programs):] + programs[:turn % len(programs)]:
                proc, _, mapped_at, painted_at = time_one_run(host, watch, program)
                program.mapped.append(mapped_at)
                program.painted.append(painted_at)
                program.peak_mb.append(peak_resident_mb(host, program))
                end_program(host, program, proc)

    wine_version = subprocess.run([winehost.LOADER, "--version"], capture_output=True, text=True,
                                  check=False).stdout.strip()
    results = {"wine": wine_version, "runs": args.runs, "programs": {}}
    print(f"Start-up to the first painted window, {wine_version}, {winehost.ARCH} builds, one prefix "
          f"with a warm wineserver, one Xvfb display; {args.runs} runs each, interleaved, "
          f"after one warm-up run each; polled every {POLL_INTERVAL * 1000:g} ms")
    print("  probe points (client x, y) -> installer colour: " + ", ".join(
        f"{p} -> #{c[0]:02x}{c[1]:02x}{c[2]:02x}" for p, c in setup.expected)
        + f"; minimal colour #{MINIMAL_COLOUR[0]:02x}{MINIMAL_COLOUR[1]:02x}"
          f"{MINIMAL_COLOUR[2]:02x}")
    for program in programs:
        painted = summarise(program.painted)
        mapped = summarise(program.mapped)
        peak = statistics.median(program.peak_mb)
        results["programs"][program.label] = {"painted": painted, "mapped": mapped,
                                              "painted_ms": [v * 1000 for v in program.painted],
                                              "peak_mb": peak}
        print(f"  {program.label:<20} painted: median {painted['median_ms']:7.1f} ms  "
              f"min {painted['min_ms']:7.1f}  max {painted['max_ms']:7.1f}   "
              f"(window mapped: median {mapped['median_ms']:7.1f} ms; "
              f"peak memory {peak:.1f} MB)")
    ratio = (results["programs"][setup.label]["painted"]["median_ms"]
             / results["programs"][minimal.label]["painted"]["median_ms"])
    results["ratio"] = ratio
    print(f"  ratio installer / minimal (medians, painted): {ratio:.2f}")
    for other in others:
        other_ratio = (results["programs"][other.label]["painted"]["median_ms"]
                       / results["programs"][minimal.label]["painted"]["median_ms"])
        results["programs"][other.label]["ratio"] = other_ratio
        print(f"  ratio {other.label} / minimal (medians, painted): {other_ratio:.2f}")
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
