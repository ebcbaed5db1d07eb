"""The real installer in a fresh Wine prefix on a 1024 x 768 display, driven
with the mouse as a person would; a file another program holds; the window
closed from outside. The cases share one prefix. (test_versions: one whole
installation under each Windows version, by keys.)"""

import json
import os
import pathlib
import select
import subprocess
import unittest

from winehost import WineHost, poll

EXE = os.environ.get("VELMORA_EXE", "")
SAVER = os.environ.get("VELMORA_SAVER", "")
TITLE = " Setup"
SELECTED, NORMAL = (176, 176, 240), (32, 32, 117)  # button fills
FILL_POINTS = {1: (40, 55), 2: (40, 115), 3: (40, 175)}  # clear of the captions
CENTRES = {1: (72, 45), 2: (72, 105), 3: (72, 165)}
REST = (300, 300)  # on the picture, away from the buttons
CAPTION_BOX = (36, 34, 110, 57)  # where the first button's caption is drawn
QUESTION = "This will remove Velmora from the system."
NOT_FOUND = " Setup did not find the installed file(s) on your system"
OLD_COPY = b"an installed copy that must not be lost\r\n" * 64


def artifact(name):
    folder = os.path.join(os.environ.get("VELMORA_TEST_OUTPUT", "test-output"), "artifacts")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, name)


class Installer:
    def __init__(self, host):
        self.host = host
        host.move_mouse(host.width - 1, host.height - 1)
        self.proc = host.start([EXE])
        self.window = host.wait_for_window(TITLE, self.proc)
        self.left, self.top = self.window["client"][:2]
        # Wine learns where the pointer is only from moves over its windows,
        # and the menu judges every message's point as a hover.
        host.move_mouse(*self.at(REST))

    def at(self, point):
        return (self.left + point[0], self.top + point[1])

    def highlighted(self):
        pixel = self.host.pixels()
        fills = {n: pixel(*self.at(p)) for n, p in FILL_POINTS.items()}
        light = [n for n, fill in fills.items() if fill == SELECTED]
        dark = [n for n, fill in fills.items() if fill == NORMAL]
        return light[0] if len(light) == 1 and len(dark) == 2 else None

    def wait_for_highlight(self, entry):
        poll(lambda: self.highlighted() == entry, 20,
             lambda: f"button {entry} not highlighted (seen: {self.highlighted()})")

    def caption_pixels(self):
        pixel = self.host.pixels()
        left, top, right, bottom = CAPTION_BOX
        return [pixel(*self.at((x, y))) for y in range(top, bottom) for x in range(left, right)]

    def keys(self, *names):
        self.host.key(*names, title=TITLE)

    def click(self, entry):
        self.host.move_mouse(*self.at(CENTRES[entry]))
        self.host.click()

    def answer(self, test, caption, text, key="Return", button=None):
        """Checks the message box's text and answers it with a key or a click
        on the button with that id; returns the box as seen."""
        box = self.host.wait_for_dialog(caption)
        test.assertEqual(text, box["text"])
        if button is None:
            self.host.key(key, title=caption)
        else:
            left, top, right, bottom = next(b for b in box["buttons"] if b["id"] == button)["rect"]
            self.host.move_mouse((left + right) // 2, (top + bottom) // 2)
            self.host.click()
        self.host.wait_for_no_dialog(caption)
        self.host.move_mouse(*self.at(REST))
        return box

    def exit_code(self):
        return self.host.wait_process(self.proc, 30)


class InstallerCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = WineHost("installer").__enter__()
        cls.target = os.path.join(cls.host.windows_dir, "Velmora.scr")
        with open(SAVER, "rb") as f:
            cls.saver = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.host.__exit__(None, None, None)

    def setUp(self):
        if os.path.lexists(self.target):
            os.unlink(self.target)

    def start(self):
        installer = Installer(self.host)
        self.addCleanup(lambda: installer.proc.poll() is None and installer.proc.kill())
        installer.wait_for_highlight(1)
        return installer

    def read_target(self):
        return pathlib.Path(self.target).read_bytes()

    # ------------------------------------------------------------ from outside

    def test_a_file_held_by_another_program_is_never_lost(self):
        with open(self.target, "wb") as f:
            f.write(OLD_COPY)
        installer = self.start()
        holder = self.host.start([self.host.probe_exe, "hold-file", "C:\\windows\\Velmora.scr"],
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.addCleanup(lambda: holder.poll() is None and holder.kill())
        ready = select.select([holder.stdout], [], [], 20)[0]
        self.assertTrue(ready and json.loads(holder.stdout.readline())["held"])
        installer.click(2)
        installer.answer(self, " Uninstallation", QUESTION, button=1)
        installer.answer(self, " Error", " Failed to remove the file.")
        installer.click(1)
        installer.answer(self, " Error", " Failed to create the file :\rC:\\windows\\Velmora.scr")
        self.assertEqual(OLD_COPY, self.read_target())
        holder.stdin.close()
        self.assertEqual(0, self.host.wait_process(holder))
        # The check after the failed install could not open the held file, so
        # it counts as not installed; once it is free, Install replaces it.
        installer.click(2)
        installer.answer(self, " File not found", NOT_FOUND)
        installer.click(1)
        installer.answer(self, " Installation completed ", " Program installed in desired manner")
        self.assertTrue(self.read_target() == self.saver, "the old copy was not replaced")
        installer.keys("Escape")
        self.assertEqual(0, installer.exit_code())

    def test_closing_the_window_from_outside_ends_with_0(self):
        for close in (lambda: self.host.probe("close-window", TITLE),
                      lambda: installer.keys("alt+F4")):
            installer = self.start()
            close()
            self.assertEqual(0, installer.exit_code())


if __name__ == "__main__":
    unittest.main()
