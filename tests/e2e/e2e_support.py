"""What the end-to-end tests share: the built programs, the output folder, and
the installer window's geometry as a person sees it on the screen."""

import os
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
