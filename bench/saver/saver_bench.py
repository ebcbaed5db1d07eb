#!/usr/bin/python3
"""Screensaver benchmark: what Velmora.scr costs while it runs full screen (/s) under
Wine on Xvfb, at 1024x768, 1920x1080 and 3840x2160, for the architecture the tests run.

Each size gets its own WineHost (an Xvfb of that size, a fresh prefix, one wineserver).
Each saver given runs in turn in it, started with /s and left alone for a warm-up, then
watched over a measured window:

  CPU      utime + stime from /proc/<pid>/stat over the window, as a share of one core,
           for the saver, its X server (the Xvfb) and the prefix's wineserver;
  memory   the saver's peak resident set (VmHWM) at the end of the window;
  frames   what reached the screen, seen from outside through the X DAMAGE extension on
           the saver's X window: each update Wine puts to the server is one batch of
           damage (one server time stamp). An update that touches rows above the
           horizon (row 318 of 450) counts as a frame of the sky, one that touches the
           lake as a frame of the water; one full-screen update is a frame of both.

At one size (--off-size, 1920x1080) it then tells the saver that the display went off,
as Windows does (display_state.exe, built beside the saver, delivers the message), and
measures the same over --off-seconds: what a saver costs while nobody can see it. Back
on, the frames must come again. It then ends the saver with a key (exit code 0
expected). Several savers (e.g. an older build) can be compared side by side:
--saver LABEL=PATH, repeated.

    saver_bench.py --build-dir BUILD [--saver LABEL=PATH ...] [--seconds 10] [--json out]
"""

import argparse
import json
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "harness"))

import winehost  # noqa: E402

try:
    from Xlib import X, display as xdisplay  # noqa: E402
    from Xlib.ext import damage  # noqa: E402
except ImportError:
    sys.exit("saver_bench.py needs python3-xlib (Debian package), run with /usr/bin/python3")

SIZES = [(1024, 768), (1920, 1080), (3840, 2160)]
TITLE = "Velmora"
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def peak_resident_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def saver_pid(host, proc, path):
    """The pid of the Windows process running the saver (the loader's own pid, as a rule)."""
    name = os.path.basename(path).encode()

    def find():
        for pid in winehost.processes_of_prefix(host.prefix):
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    if name in f.read():
                        return pid
            except OSError:
                pass
        return None

    return winehost.poll(find, 20, f"no process runs {path}")


def x_window(conn, title):
    """The mapped top-level X window named title, or None."""
    for child in conn.screen().root.query_tree().children:
        try:
            if child.get_wm_name() == title and child.get_attributes().map_state == X.IsViewable:
                return child
        except Exception:
            continue
    return None


class DamageWatch:
    """Counts the updates that reach one X window, split into sky and water."""

    def __init__(self, display_name, title, horizon):
        self.conn = xdisplay.Display(display_name)
        self.conn.damage_query_version()
        self.window = winehost.poll(lambda: x_window(self.conn, title), 20,
                                    f"no mapped X window {title!r}")
        self.horizon = horizon
        self.damage = self.window.damage_create(damage.DamageReportRawRectangles)
        self.conn.sync()
        self.event = self.conn.extension_event.DamageNotify

    def collect(self, seconds):
        """Watches for `seconds`; returns (sky updates, water updates)."""
        self._drain(lambda _: None)
        stamps = {}
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            self._drain(lambda e: stamps.setdefault(e.timestamp, []).append(e.area))
            time.sleep(0.005)
        sky = sum(any(a.y < self.horizon for a in areas) for areas in stamps.values())
        water = sum(any(a.y + a.height > self.horizon for a in areas) for areas in stamps.values())
        return sky, water

    def _drain(self, note):
        while self.conn.pending_events():
            event = self.conn.next_event()
            if event.type == self.event:
                note(event)

    def close(self):
        self.conn.damage_destroy(self.damage)
        self.conn.close()


def cpu_shares(pids, watch, seconds):
    """CPU shares (% of a core) of each pid over `seconds`, with the updates seen."""
    before = {k: cpu_seconds(p) for k, p in pids.items()}
    start = time.monotonic()
    sky, water = watch.collect(seconds)
    elapsed = time.monotonic() - start
    after = {k: cpu_seconds(p) for k, p in pids.items()}
    return {k: 100 * (after[k] - before[k]) / elapsed for k in pids}, sky / elapsed, \
        water / elapsed, elapsed


def display_off(host, helper, pids, watch, seconds):
    """The saver's and its X server's shares with the display off, and the frames a
    second that reach the screen then and in the second after it is back on."""
    code = host.run([helper, "off"])[0]
    time.sleep(1)
    shares, sky, water, _ = cpu_shares(pids, watch, seconds)
    host.run([helper, "on"])
    back = watch.collect(2)
    return {"told": code == 0, "off_saver": shares["saver"], "off_x": shares["x"],
            "off_fps": max(sky, water), "back_fps": max(back) / 2}


def measure(host, label, path, width, height, warmup, seconds, off=None):
    host.move_mouse(width // 2, height // 2)
    proc = host.start([path, "/s"])
    try:
        host.wait_for_window(TITLE, proc, timeout=60)
        pid = saver_pid(host, proc, path)
        xvfb = next(p.pid for p in host._procs if p.args[0] == "Xvfb")
        server = host._server.pid
        watch = DamageWatch(host.display, TITLE, round(318 * height / 450))
        time.sleep(warmup)  # the measured window starts after the warm-up
        pids = {"saver": pid, "x": xvfb, "wineserver": server}
        result, sky_fps, water_fps, elapsed = cpu_shares(pids, watch, seconds)
        result.update(label=label, size=f"{width}x{height}", rss_mb=peak_resident_mb(pid),
                      sky_fps=sky_fps, water_fps=water_fps, seconds=elapsed)
        if off is not None:
            result.update(display_off(host, off[0], pids, watch, off[1]))
        watch.close()
        host.key("Escape", title=TITLE)
        code = host.wait_process(proc, 30)
        if code != 0:
            raise AssertionError(f"{label} ended with exit code {code}")
        return result
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--saver", action="append", default=[],
                        help="LABEL=PATH of a Velmora.scr (default: the build's)")
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--warmup", type=float, default=3)
    parser.add_argument("--sizes", default=",".join(f"{w}x{h}" for w, h in SIZES))
    parser.add_argument("--off-size", default="1920x1080")
    parser.add_argument("--off-seconds", type=float, default=30)
    parser.add_argument("--json")
    options = parser.parse_args()
    build = os.path.abspath(options.build_dir)
    arch = os.environ.get("VELMORA_ARCH", winehost.ARCH)
    windows = os.path.join(build, f"windows-{arch}")
    savers = [s.split("=", 1) for s in options.saver] or [["Velmora.scr",
                                                           os.path.join(windows, "Velmora.scr")]]
    helper = os.path.join(windows, "display_state.exe")
    os.environ.setdefault("VELMORA_PROBE", os.path.join(windows, "winprobe.exe"))
    os.environ.setdefault("VELMORA_TEST_OUTPUT", os.path.join(build, "bench-output"))
    bits = "32" if arch == "i686" else "64"
    print(f"Screensaver full screen (/s), {arch} under {bits}-bit Wine on Xvfb: "
          f"{options.warmup:g} s warm-up, {options.seconds:g} s measured")
    print(f"{'saver':<14} {'size':>10} {'saver %':>8} {'X %':>6} {'together':>9} "
          f"{'wineserver %':>13} {'peak RSS MB':>12} {'sky fps':>8} {'water fps':>10}")
    results = []
    for size in options.sizes.split(","):
        width, height = map(int, size.split("x"))
        host = winehost.WineHost(f"saver-bench-{size}")
        host.width, host.height = width, height
        with host:
            for label, path in savers:
                off = (helper, options.off_seconds) if size == options.off_size else None
                r = measure(host, label, os.path.abspath(path), width, height, options.warmup,
                            options.seconds, off)
                results.append(r)
                print(f"{label:<14} {r['size']:>10} {r['saver']:>8.1f} {r['x']:>6.1f} "
                      f"{r['saver'] + r['x']:>9.1f} {r['wineserver']:>13.1f} "
                      f"{r['rss_mb']:>12.0f} {r['sky_fps']:>8.1f} {r['water_fps']:>10.1f}",
                      flush=True)
                if off is not None:
                    print(f"{'':<14} display off ({options.off_seconds:g} s, "
                          f"{'message delivered' if r['told'] else 'message not delivered'}): saver {r['off_saver']:.2f} %, "
                          f"X {r['off_x']:.2f} %, {r['off_fps']:.1f} updates/s; "
                          f"back on: {r['back_fps']:.1f} frames/s", flush=True)
    if options.json:
        with open(options.json, "w") as f:
            json.dump(results, f, indent=1)


if __name__ == "__main__":
    main()
