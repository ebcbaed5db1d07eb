"""What the end-to-end tests share: the built programs, the output folder, and
the installer window's geometry as a person sees it on the screen."""

import configparser
import json
import os
import select
import subprocess
import time
import unittest

from winehost import WineHost

SETUP_TITLE = " Setup"
SETUP_CLASS = "Velmora 2.01 installation setup"

# Button fills as the menu paints them (RGB), and a point inside each
# button's fill clear of its caption and rounded corners (client coordinates).
SELECTED_FILL = (176, 176, 240)
NORMAL_FILL = (32, 32, 117)
FILL_POINTS = {1: (40, 55), 2: (40, 115), 3: (40, 175)}
REST_POINT = (300, 300)
BUTTON_CENTRES = {1: (72, 45), 2: (72, 105), 3: (72, 165)}


def required_path(variable):
    path = os.environ.get(variable)
    if not path or not os.path.exists(path):
        raise unittest.SkipTest(f"{variable} does not name a built file (run through ctest)")
    return path


def poll_until(check, timeout, failure):
    deadline = time.monotonic() + timeout
    while not check():
        if time.monotonic() >= deadline:
            raise AssertionError(f"{failure} (waited {timeout} s)")
        time.sleep(0.1)


def output_dir(*parts):
    root = os.environ.get("VELMORA_TEST_OUTPUT") or os.path.join(os.getcwd(), "test-output")
    path = os.path.join(root, *parts)
    os.makedirs(path, exist_ok=True)
    return path


def new_host(name, **options):
    return WineHost(output_dir("prefixes"), name, probe_exe=required_path("VELMORA_PROBE"),
                    **options)


class Installer:
    """One run of the installer under a WineHost."""

    def __init__(self, host, exe):
        self.host = host
        # A pointer left over a button by an earlier run would choose it.
        # (A virtual desktop has no X window to point into before a program
        # runs; those hosts run one program each.)
        if not host.virtual_desktop:
            host.move_mouse(host.width - 1, host.height - 1)
        self.process = host.start([exe])
        self.window = host.wait_for_window(title=SETUP_TITLE, cls=SETUP_CLASS, timeout=60)
        self.client = self.window["client"]
        # Rest the pointer on the picture, away from the buttons. Wine learns
        # where the pointer is only from moves over its own windows, and key
        # messages carry that point, which the menu judges as a hover.
        self.host.move_mouse(*self.screen_point(REST_POINT))

    def screen_point(self, client_point):
        return (self.client["left"] + client_point[0], self.client["top"] + client_point[1])

    def button_fills(self, shot=None):
        shot = shot or self.host.pixels()
        return {n: shot.pixel(*self.screen_point(p)) for n, p in FILL_POINTS.items()}

    def highlighted(self):
        """The number of the one light button, or None while the menu is not
        (yet) painted as it should be."""
        fills = self.button_fills()
        light = [n for n, colour in fills.items() if colour == SELECTED_FILL]
        dark = [n for n, colour in fills.items() if colour == NORMAL_FILL]
        if len(light) == 1 and len(dark) == 2:
            return light[0]
        return None

    def wait_for_highlight(self, entry, timeout=20):
        deadline = time.monotonic() + timeout
        seen = None
        while time.monotonic() < deadline:
            seen = self.highlighted()
            if seen == entry:
                return
            time.sleep(0.1)
        raise AssertionError(f"button {entry} not highlighted within {timeout} s "
                             f"(last seen: {seen}, fills {self.button_fills()})")

    def point_at(self, entry):
        self.host.move_mouse(*self.screen_point(BUTTON_CENTRES[entry]))

    def keys(self, *names):
        self.host.key(*names, title=SETUP_TITLE)

    def wait_for_exit(self, timeout=30):
        return self.host.wait_process(self.process, timeout)


# ----------------------------------------------------------------------------
# Faults from outside the installer: a program holding a file, the installed
# file's state, the installer's own process.

# Where the first button's caption is drawn (client coordinates, inclusive).
FIRST_CAPTION_BOX = (36, 34, 109, 56)


def answer_box(test, host, caption, text, key=None, button=None, rest_at=None):
    """Waits for the message box, checks its text and answers it with a key or
    a click on the button with that id; after a click the pointer goes back to
    rest_at (screen coordinates) when given. Returns the box as the probe saw it.
    (Only after a click: a synchronous move to where the pointer already is
    waits for a motion that never comes.)"""
    box = host.wait_for_dialog(caption, timeout=30)
    test.assertEqual(text, box["text"])
    if key is not None:
        host.key(key, title=caption)
    else:
        rect = [b for b in box["buttons"] if b["id"] == button][0]["rect"]
        host.move_mouse((rect["left"] + rect["right"]) // 2, (rect["top"] + rect["bottom"]) // 2)
        host.click()
    host.wait_for_no_dialog(caption, timeout=30)
    if button is not None and rest_at is not None:
        host.move_mouse(*rest_at)
    return box


def first_caption_pixels(installer, shot=None):
    """The first button's caption area as rows of pixels."""
    shot = shot or installer.host.pixels()
    left, top, right, bottom = FIRST_CAPTION_BOX
    return [[shot.pixel(*installer.screen_point((x, y))) for x in range(left, right + 1)]
            for y in range(top, bottom + 1)]


def caption_width(rows):
    """How many columns the highlighted caption's white text spans."""
    columns = [x for x in range(len(rows[0])) if any(min(row[x]) >= 250 for row in rows)]
    return columns[-1] - columns[0] + 1 if columns else 0


def system_ini_setting(windows_dir, section="boot", key="SCRNSAVE.EXE"):
    """A value of the prefix's system.ini as the file holds it, or None."""
    ini = configparser.ConfigParser(strict=False, interpolation=None)
    ini.read(os.path.join(windows_dir, "system.ini"), encoding="latin-1")
    return ini.get(section, key, fallback=None)


def process_cpu_seconds(pid):
    """User plus system CPU time that the Unix process `pid` has used so far."""
    with open(f"/proc/{pid}/stat", "rb") as f:
        stat = f.read()
    # Fields after the parenthesised command name; utime and stime are the
    # 14th and 15th fields of the whole line.
    fields = stat[stat.rfind(b")") + 2 :].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def process_command_line(pid):
    with open(f"/proc/{pid}/cmdline", "rb") as f:
        return [part.decode(errors="replace") for part in f.read().split(b"\0") if part]


class FileHolder:
    """Another Windows program (winprobe hold-file) that keeps a file open
    without sharing until release() or the end of the host."""

    def __init__(self, host, windows_path, timeout=30):
        self.host = host
        self.process = host.start([host.probe_exe, "hold-file", "--path", windows_path],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        # Read one line with a deadline, never up to the end of the pipe: Wine's
        # helper processes may inherit it.
        line = b""
        deadline = time.monotonic() + timeout
        fd = self.process.stdout.fileno()
        while not line.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                self.release()
                raise AssertionError(f"hold-file printed nothing within {timeout} s")
            chunk = os.read(fd, 4096)
            if not chunk:
                break
            line += chunk
        self.report = json.loads(line) if line.strip() else {}
        if not self.report.get("held"):
            self.release()
            raise AssertionError(f"hold-file could not open {windows_path}: {self.report}")

    def release(self, timeout=30):
        """Lets the file go; returns the holder's exit code."""
        if self.process.stdin and not self.process.stdin.closed:
            self.process.stdin.close()
        code = self.host.wait_process(self.process, timeout)
        self.process.stdout.close()
        return code
