#!/usr/bin/python3
"""Self-test of the Wine harness (winehost.py, run_in_wine.py, winprobe.exe).

The Wine scenarios need two x86_64 Windows programs, named by environment variables:
  VELMORA_PROBE_EXE         winprobe.exe (built from winprobe.cpp)
  VELMORA_PROBE_TARGET_EXE  a small GUI program, probe_target.cpp, built with
                            x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -Werror
                            -static -mwindows -o probe_target.exe FILE.cpp
  VELMORA_TEST_OUTPUT       (optional) folder for the Wine prefixes
Without the two programs those scenarios are skipped. Run:
  VELMORA_PROBE_EXE=... VELMORA_PROBE_TARGET_EXE=... /usr/bin/python3 -m unittest -v test_winehost
(from this folder), or /usr/bin/python3 test_winehost.py -v.
"""

import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from winehost import WineHost, parse_ppm, process_alive, processes_of_prefix  # noqa: E402

PROBE_EXE = os.environ.get("VELMORA_PROBE_EXE")
TARGET_EXE = os.environ.get("VELMORA_PROBE_TARGET_EXE")
OUTPUT_ROOT = os.path.join(os.environ.get("VELMORA_TEST_OUTPUT") or tempfile.gettempdir(),
                           "harness-selftest")
HAVE_PROGRAMS = bool(PROBE_EXE and TARGET_EXE and os.path.isfile(PROBE_EXE)
                     and os.path.isfile(TARGET_EXE))
NEEDS_WINE = unittest.skipUnless(
    HAVE_PROGRAMS, "set VELMORA_PROBE_EXE and VELMORA_PROBE_TARGET_EXE to the built programs")

TARGET_TITLE = " Probe me"
TARGET_CLASS = "ProbeTargetClass"
TARGET_WINDOW = (100, 120, 420, 360)  # left, top, right, bottom as created
MARKER = (40, 40, 80, 80)  # red square in client coordinates
GREEN = (10, 200, 30)
RED = (200, 20, 40)
BOX_CAPTION = " Probe box"
BOX_TEXT = ' Line "one" \\ end\r\nsecond\tline '
IDYES, IDNO = 6, 7

def rect_tuple(r):
    return (r["left"], r["top"], r["right"], r["bottom"])


def wine_processes_of_run(name):
    """Live processes whose WINEPREFIX lies in a WineHost folder made for `name`."""
    needle = os.fsencode(f"WINEPREFIX={os.path.abspath(OUTPUT_ROOT)}/{name}-")
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if any(v.startswith(needle) for v in environ) and process_alive(int(entry)):
            found.append(int(entry))
    return found


def run_folders(name):
    if not os.path.isdir(OUTPUT_ROOT):
        return []
    return [d for d in os.listdir(OUTPUT_ROOT) if d.startswith(name + "-")]


def pgrep(name):
    result = subprocess.run(["pgrep", "-x", name], capture_output=True, text=True)
    return {int(p) for p in result.stdout.split()}


class HarnessHelpersTest(unittest.TestCase):
    """Parts that need no Wine."""

    def test_parse_ppm_reads_pixels_row_by_row(self):
        blob = b"P6\n# made by hand\n3 2\n255\n" + bytes(range(18))
        shot = parse_ppm(blob)
        self.assertEqual((shot.width, shot.height), (3, 2))
        self.assertEqual(shot.raw_pixel(0, 0), (0, 1, 2))
        self.assertEqual(shot.raw_pixel(2, 0), (6, 7, 8))
        self.assertEqual(shot.raw_pixel(0, 1), (9, 10, 11))
        self.assertEqual(shot.raw_pixel(2, 1), (15, 16, 17))
        with self.assertRaises(AssertionError):
            shot.raw_pixel(3, 0)
        with self.assertRaises(AssertionError):
            shot.raw_pixel(0, -1)

    def test_parse_ppm_sixteen_bit_keeps_high_byte_and_origin_shifts(self):
        samples = [0x1234, 0xFF00, 0x0001, 0xABCD, 0x0000, 0x7F7F]
        blob = b"P6 2 1 65535\n" + b"".join(v.to_bytes(2, "big") for v in samples)
        shot = parse_ppm(blob)
        self.assertEqual(shot.raw_pixel(0, 0), (0x12, 0xFF, 0x00))
        self.assertEqual(shot.raw_pixel(1, 0), (0xAB, 0x00, 0x7F))
        shot.origin = (1, 0)
        self.assertEqual(shot.pixel(0, 0), (0xAB, 0x00, 0x7F))

    def test_parse_ppm_rejects_other_formats_and_short_data(self):
        with self.assertRaises(ValueError):
            parse_ppm(b"P3\n1 1\n255\n0 0 0\n")
        with self.assertRaises(ValueError):
            parse_ppm(b"P6\n2 2\n255\n" + bytes(5))

    def test_windows_path_goes_through_drive_z(self):
        host = WineHost("/nonexistent", "paths")
        self.assertEqual(host.to_windows_path("/tmp/a b/c.exe"), "Z:\\tmp\\a b\\c.exe")
        self.assertEqual(host.to_windows_path("/tmp/x/../y/"), "Z:\\tmp\\y")

    def test_prefix_processes_match_the_whole_path_only(self):
        base = tempfile.mkdtemp(prefix="prefix-match-")
        self.addCleanup(shutil.rmtree, base, True)
        mine, other = os.path.join(base, "p"), os.path.join(base, "p2")
        proc = subprocess.Popen(["sleep", "60"], env=dict(os.environ, WINEPREFIX=other))
        self.addCleanup(proc.wait)
        self.addCleanup(proc.kill)
        # Until the child has called exec, its environment is still this process's.
        deadline = time.monotonic() + 10
        while proc.pid not in [pid for pid, _ in processes_of_prefix(other)]:
            self.assertLess(time.monotonic(), deadline, "sleep never showed up under p2")
            time.sleep(0.05)
        self.assertNotIn(proc.pid, [pid for pid, _ in processes_of_prefix(mine)])
        proc.kill()
        proc.wait()
        self.assertNotIn(proc.pid, [pid for pid, _ in processes_of_prefix(other)])

    def test_run_in_wine_usage_errors(self):
        script = os.path.join(HERE, "run_in_wine.py")
        for args in ([], ["--name", "x", "--", "a.exe"], ["--root", "/tmp", "--name", "x"],
                     ["--root", "/tmp", "--name", "x", "--timeout", "soon", "--", "a.exe"]):
            with self.subTest(args=args):
                result = subprocess.run([sys.executable, script] + args, capture_output=True,
                                        text=True, timeout=60)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn("usage:", result.stderr)


class _TargetScenarios:
    """Checks that must hold with and without a Wine virtual desktop; subclasses set
    `host` in setUpClass."""

    host = None

    def start_target(self, mode):
        proc = self.host.start([TARGET_EXE, mode])

        def stop():
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            self.host.wait_for_no_window(TARGET_TITLE, timeout=15)
            self.host.wait_for_no_dialog(BOX_CAPTION, timeout=15)

        self.addCleanup(stop)
        return proc

    def test_window_found_with_its_rectangles(self):
        self.start_target("window")
        started = time.monotonic()
        w = self.host.wait_for_window(title=TARGET_TITLE)
        type(self).window_wait = time.monotonic() - started
        self.assertEqual(w["class"], TARGET_CLASS)
        self.assertTrue(w["visible"])
        self.assertEqual(rect_tuple(w["rect"]), TARGET_WINDOW)
        left, top, right, bottom = rect_tuple(w["client"])
        # The client area lies inside the frame, below the caption bar.
        self.assertTrue(TARGET_WINDOW[0] < left < right < TARGET_WINDOW[2], w)
        self.assertTrue(TARGET_WINDOW[1] < top < bottom < TARGET_WINDOW[3], w)
        caption = self.host.screen_metrics()["cycaption"]
        self.assertGreaterEqual(top - TARGET_WINDOW[1], caption)
        by_class = self.host.wait_for_window(cls=TARGET_CLASS)
        self.assertEqual(by_class["hwnd"], w["hwnd"])

    def test_keys_reach_the_window_in_order(self):
        proc = self.start_target("window")
        self.host.wait_for_window(title=TARGET_TITLE)
        self.host.key("Down", "Down", "Escape", title=TARGET_TITLE)
        self.assertEqual(self.host.wait_process(proc, 20), 27)

    def test_click_lands_on_the_client_point(self):
        for x, y, expected in ((60, 60, 3), (MARKER[2] + 20, MARKER[3] + 20, 4)):
            with self.subTest(x=x, y=y):
                proc = self.start_target("window")
                c = self.host.wait_for_window(title=TARGET_TITLE)["client"]
                self.host.move_mouse(c["left"] + x, c["top"] + y)
                self.host.click(1)
                self.assertEqual(self.host.wait_process(proc, 20), expected)
                self.host.wait_for_no_window(TARGET_TITLE)

    def test_pixels_of_the_painted_window(self):
        self.start_target("window")
        c = self.host.wait_for_window(title=TARGET_TITLE)["client"]
        # The window is visible before its first paint; poll for the colours.
        deadline = time.monotonic() + 20
        while self.host.read_pixel(c["left"] + 2, c["top"] + 2) != GREEN:
            self.assertLess(time.monotonic(), deadline, "client area never turned green")
            time.sleep(0.2)
        path = os.path.join(self.host.workdir, "window.png")
        self.host.screenshot(path)
        self.assertTrue(os.path.getsize(path) > 0)
        saved = self.host.pixels(path)
        live = self.host.pixels()
        for shot in (saved, live):
            self.assertEqual((shot.width, shot.height), (self.host.width, self.host.height))
            self.assertEqual(shot.pixel(c["left"] + 2, c["top"] + 2), GREEN)
            self.assertEqual(shot.pixel(c["right"] - 1, c["bottom"] - 1), GREEN)
            self.assertEqual(shot.pixel(c["left"] + MARKER[0], c["top"] + MARKER[1]), RED)
            self.assertEqual(shot.pixel(c["left"] + MARKER[2] - 1, c["top"] + MARKER[3] - 1),
                             RED)
            self.assertEqual(shot.pixel(c["left"] + MARKER[2], c["top"] + MARKER[3]), GREEN)
        self.assertEqual(self.host.read_pixel(c["left"] + 60, c["top"] + 60), RED)

    def test_message_box_listed_and_answered_with_return(self):
        proc = self.start_target("msgbox")
        box = self.host.wait_for_dialog(caption=BOX_CAPTION)
        self.assertEqual(box["caption"], BOX_CAPTION)
        self.assertEqual(box["text"], BOX_TEXT)
        self.assertEqual([(b["id"], b["text"]) for b in box["buttons"]],
                         [(IDYES, "&Yes"), (IDNO, "&No")])
        self.assertIn(box, self.host.dialogs())
        self.host.key("Return", title=BOX_CAPTION)
        self.assertEqual(self.host.wait_process(proc, 20), IDNO)
        self.host.wait_for_no_dialog(BOX_CAPTION)
        self.assertEqual(self.host.dialogs(), [])

    def test_message_box_button_pressed_through_the_probe(self):
        proc = self.start_target("msgbox")
        self.host.wait_for_dialog(caption=BOX_CAPTION)
        self.host.press_button(BOX_CAPTION, IDYES)
        self.assertEqual(self.host.wait_process(proc, 20), IDYES)


class _HostScenario(unittest.TestCase):
    virtual_desktop = False
    width, height = 1024, 768

    @classmethod
    def setUpClass(cls):
        cls.host_cm = WineHost(OUTPUT_ROOT, cls.__name__, width=cls.width, height=cls.height,
                               virtual_desktop=cls.virtual_desktop, probe_exe=PROBE_EXE)
        cls.host = cls.host_cm.__enter__()

    @classmethod
    def tearDownClass(cls):
        host = cls.host
        host.__exit__(None, None, None)
        wait = getattr(cls, "window_wait", None)
        print(f"\n  {cls.__name__}: WineHost created in {host.timings['create']:.1f} s "
              f"(Xvfb {host.timings['xvfb']:.2f} s, wineboot {host.timings['wineboot']:.1f} s), "
              + (f"window found in {wait:.2f} s, " if wait is not None else "")
              + f"clean-up {host.timings['teardown']:.1f} s", file=sys.stderr)
        left = host.leftover_processes()
        if left or os.path.exists(host.workdir):
            raise AssertionError(f"after the host: processes {left}, "
                                 f"workdir kept: {os.path.exists(host.workdir)}")


@NEEDS_WINE
class PlainDisplayTest(_TargetScenarios, _HostScenario):
    """Wine windows as X windows on the bare Xvfb screen."""

    def test_titles_compare_exactly(self):
        self.start_target("window")
        w = self.host.wait_for_window(title=TARGET_TITLE)
        self.assertEqual(self.host.windows(title=TARGET_TITLE.strip()), [])
        self.assertEqual(self.host.windows(title=TARGET_TITLE + " "), [])
        self.assertEqual([x["hwnd"] for x in self.host.windows(title=TARGET_TITLE)], [w["hwnd"]])

    def test_waiting_for_a_missing_window_fails_with_its_name(self):
        started = time.monotonic()
        with self.assertRaises(AssertionError) as caught:
            self.host.wait_for_window(title="No such window", timeout=1.5)
        self.assertGreaterEqual(time.monotonic() - started, 1.5)
        self.assertIn("No such window", str(caught.exception))
        with self.assertRaises(AssertionError):
            self.host.wait_for_dialog(caption="No such box", timeout=0.5)

    def test_process_over_its_time_is_killed(self):
        proc = self.start_target("window")
        self.host.wait_for_window(title=TARGET_TITLE)
        with self.assertRaises(AssertionError):
            self.host.wait_process(proc, 1)
        self.assertIsNotNone(proc.poll())
        self.host.wait_for_no_window(TARGET_TITLE)

    def test_probe_exit_codes_and_screen(self):
        screen = self.host.screen_metrics()
        self.assertEqual((screen["cxscreen"], screen["cyscreen"]), (self.width, self.height))
        missing = self.host.probe("window", "--title", "nothing of that name")
        self.assertEqual((missing.returncode, missing.stdout), (1, ""))
        self.assertEqual(self.host.probe("no-such-command").returncode, 2)
        self.assertEqual(self.host.probe("window", "--title").returncode, 2)
        self.assertEqual(self.host.probe("press-button", "--caption", "x").returncode, 2)
        self.assertEqual(self.host.probe("press-button", "--caption", "none", "--id", "1")
                         .returncode, 1)

    def test_run_reaches_files_through_drive_z_and_returns_the_exit_code(self):
        path = os.path.join(self.host.workdir, "some file.txt")
        with open(path, "w") as f:
            f.write("reached through Z:\n")
        result = self.host.run(["cmd", "/c", "type", self.host.to_windows_path(path), "&",
                                "exit", "9"], timeout=60)
        self.assertEqual(result.returncode, 9)
        self.assertIn("reached through Z:", result.stdout)
        self.assertTrue(os.path.isdir(os.path.join(self.host.windows_dir, "system32")))


@NEEDS_WINE
class VirtualDesktopTest(_TargetScenarios, _HostScenario):
    """The same checks inside a Wine virtual desktop of another size than usual."""

    virtual_desktop = True
    width, height = 800, 600

    def test_desktop_has_the_requested_size(self):
        screen = self.host.screen_metrics()
        self.assertEqual((screen["cxscreen"], screen["cyscreen"]), (800, 600))
        self.assertEqual(self.host.desktop_origin(), (0, 0))


@NEEDS_WINE
class CleanUpTest(unittest.TestCase):
    def test_everything_ends_when_the_body_raised(self):
        host = WineHost(OUTPUT_ROOT, "cleanup", probe_exe=PROBE_EXE)
        with self.assertRaises(RuntimeError):
            with host:
                host.start([TARGET_EXE, "window"])
                host.wait_for_window(title=TARGET_TITLE)
                xvfb_pid, server_pid = host._xvfb.pid, host._server.pid
                self.assertIn(xvfb_pid, pgrep("Xvfb"))
                self.assertTrue(processes_of_prefix(host.prefix))
                raise RuntimeError("test body failed")
        self.addCleanup(shutil.rmtree, host.workdir, True)
        self.assertEqual(host.leftover_processes(), [])
        self.assertNotIn(xvfb_pid, pgrep("Xvfb"))
        self.assertFalse(process_alive(server_pid))
        for pid in pgrep("wineserver64") | pgrep("wineserver"):
            self.assertNotIn(pid, [p for p, _ in processes_of_prefix(host.prefix)])
        self.assertFalse(os.path.exists(f"/tmp/.X11-unix/X{host.display[1:]}"))
        # A failed scenario keeps its log but not the prefix.
        self.assertFalse(os.path.exists(host.prefix))
        self.assertTrue(os.path.isfile(os.path.join(host.workdir, "wine.log")))


    def test_guard_cleans_up_after_a_killed_test_process(self):
        code = (
            "import json, sys, time\n"
            f"sys.path.insert(0, {HERE!r})\n"
            "from winehost import WineHost\n"
            f"with WineHost({OUTPUT_ROOT!r}, 'killed', probe_exe={PROBE_EXE!r}) as h:\n"
            f"    h.start([{TARGET_EXE!r}, 'window'])\n"
            f"    h.wait_for_window(title={TARGET_TITLE!r})\n"
            "    print(json.dumps([h.prefix, h.workdir, h._xvfb.pid, h._server.pid]),"
            " flush=True)\n"
            "    time.sleep(600)\n")
        proc = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(proc.stdout.close)
        self.addCleanup(proc.wait)
        self.addCleanup(proc.kill)
        ready, _, _ = select.select([proc.stdout], [], [], 180)
        self.assertTrue(ready, "the test process did not get its window up")
        prefix, workdir, xvfb_pid, server_pid = json.loads(proc.stdout.readline())
        self.addCleanup(shutil.rmtree, workdir, True)
        self.assertTrue(processes_of_prefix(prefix))
        proc.kill()
        proc.wait()
        deadline = time.monotonic() + 60
        while processes_of_prefix(prefix) or process_alive(xvfb_pid) or os.path.exists(prefix):
            self.assertLess(time.monotonic(), deadline,
                            f"left behind: {processes_of_prefix(prefix)}, Xvfb alive: "
                            f"{process_alive(xvfb_pid)}, prefix kept: {os.path.exists(prefix)}")
            time.sleep(0.2)
        self.assertFalse(process_alive(server_pid))


@NEEDS_WINE
class RunInWineTest(unittest.TestCase):
    script = os.path.join(HERE, "run_in_wine.py")

    def run_script(self, name, *args):
        return subprocess.run([sys.executable, self.script, "--root", OUTPUT_ROOT, "--name",
                               name] + list(args), capture_output=True, text=True, timeout=300)

    def test_exit_code_output_and_probe_variable(self):
        result = self.run_script("riw-code", "--probe", PROBE_EXE, "--", "cmd", "/c",
                                 "echo probe=%VELMORA_PROBE%& exit 5")
        self.assertEqual(result.returncode, 5, result.stderr)
        expected = "Z:" + os.path.abspath(PROBE_EXE).replace("/", "\\")
        self.assertIn(f"probe={expected}", result.stdout)
        self.assertEqual(wine_processes_of_run("riw-code"), [])
        self.assertEqual(run_folders("riw-code"), [])

    def test_time_out_gives_124_and_leaves_nothing(self):
        started = time.monotonic()
        result = self.run_script("riw-timeout", "--timeout", "2", "--", TARGET_EXE, "window")
        self.assertEqual(result.returncode, 124, result.stderr)
        self.assertLess(time.monotonic() - started, 120)
        self.assertIn("ran longer than 2 s", result.stderr)
        self.assertEqual(wine_processes_of_run("riw-timeout"), [])


if __name__ == "__main__":
    unittest.main()
