"""The real installer (x86_64 build) in a fresh Wine prefix on a 1024 x 768
virtual display, driven with keys and the mouse as a person would."""

import os
import subprocess
import unittest

from e2e_support import (NORMAL_FILL, SELECTED_FILL, SETUP_CLASS, Installer, new_host,
                         output_dir, poll_until, required_path)


class MenuWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = required_path("VELMORA_EXE_X86_64")
        cls.host = new_host("menu-window").__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.host.__exit__(None, None, None)

    def start(self):
        installer = Installer(self.host, self.exe)
        self.addCleanup(self._end, installer)
        installer.wait_for_highlight(1)
        return installer

    def _end(self, installer):
        if installer.process.poll() is None:
            installer.process.kill()
            installer.process.wait()

    def test_window_is_centred_with_its_title_picture_and_buttons(self):
        installer = self.start()
        window = installer.window
        self.assertEqual(SETUP_CLASS, window["class"])
        metrics = self.host.screen_metrics()
        self.assertEqual((1024, 768), (metrics["cxscreen"], metrics["cyscreen"]))
        rect = window["rect"]
        self.assertEqual((212, 159), (rect["left"], rect["top"]))
        self.assertEqual(600, rect["right"] - rect["left"])
        self.assertEqual(450 + metrics["cycaption"], rect["bottom"] - rect["top"])

        shot_path = os.path.join(output_dir("artifacts"), "menu-window.png")
        self.host.screenshot(shot_path)
        shot = self.host.pixels(shot_path)
        fills = installer.button_fills(shot)
        self.assertEqual({1: SELECTED_FILL, 2: NORMAL_FILL, 3: NORMAL_FILL}, fills)
        # The picture fills the client area: not the white class background.
        corner = shot.pixel(*installer.screen_point((300, 300)))
        self.assertNotEqual((255, 255, 255), corner)
        # The title is drawn in ivory in the lower right.
        title_pixels = [
            shot.pixel(*installer.screen_point((x, y)))
            for x in range(434, 584) for y in range(391, 441)
        ]
        self.assertIn((255, 255, 240), title_pixels)

        installer.keys("Escape")
        self.assertEqual(0, installer.wait_for_exit())

    def test_down_down_enter_ends_with_exit_code_0(self):
        installer = self.start()
        installer.keys("Down")
        installer.wait_for_highlight(2)
        installer.keys("Down")
        installer.wait_for_highlight(3)
        installer.keys("Return")
        self.assertEqual(0, installer.wait_for_exit())

    def test_up_from_the_first_entry_wraps_to_exit(self):
        installer = self.start()
        installer.keys("Up")
        installer.wait_for_highlight(3)
        installer.keys("Down")
        installer.wait_for_highlight(1)
        installer.keys("Up", "Return")
        self.assertEqual(0, installer.wait_for_exit())

    def test_escape_ends_from_any_entry(self):
        installer = self.start()
        installer.keys("Down")
        installer.wait_for_highlight(2)
        installer.keys("Escape")
        self.assertEqual(0, installer.wait_for_exit())

    def test_keys_the_menu_ignores_change_nothing(self):
        installer = self.start()
        installer.keys("Left", "Right", "Tab", "space", "a")
        # Down is handled after them: the loop is alive and still on entry 1.
        installer.keys("Down")
        installer.wait_for_highlight(2)
        self.assertIsNone(installer.process.poll())
        installer.keys("Escape")
        self.assertEqual(0, installer.wait_for_exit())

    def test_pointing_highlights_and_clicking_exit_ends(self):
        installer = self.start()
        installer.point_at(2)
        installer.wait_for_highlight(2)
        # The hint cursor is set before the hover redraw, so it shows by now.
        hint = self.host.cursor()["hcursor"]
        # Leaving the buttons keeps the highlight and gives the arrow back; a
        # click there does nothing.
        installer.host.move_mouse(*installer.screen_point((300, 75)))
        poll_until(lambda: self.host.cursor()["hcursor"] != hint, 10,
                   "the pointer kept the hint shape off the buttons")
        installer.host.click()
        installer.point_at(3)
        installer.wait_for_highlight(3)
        self.assertEqual(hint, self.host.cursor()["hcursor"])
        self.assertIsNone(installer.process.poll())
        installer.host.click()
        self.assertEqual(0, installer.wait_for_exit())

    def test_closing_the_window_from_outside_ends_with_exit_code_0(self):
        installer = self.start()
        # Alt+F4 reaches the default window procedure, which destroys the
        # window; the input loop must then end rather than wait on a window
        # that is gone.
        installer.keys("alt+F4")
        self.assertEqual(0, installer.wait_for_exit())

    def test_a_resting_pointer_wins_over_the_arrow_keys(self):
        installer = self.start()
        installer.point_at(3)
        installer.wait_for_highlight(3)
        # Up selects entry 2, but the next wait first judges the pointer,
        # which still rests on button 3: Return then runs Exit.
        installer.keys("Up", "Return")
        self.assertEqual(0, installer.wait_for_exit())


class MenuWindowWithFrame(unittest.TestCase):
    """In a Wine virtual desktop, where Wine draws the window's frame and title
    bar; the screenshot kept from here is the one the README shows."""

    def test_the_framed_window_is_captured_and_ends_on_escape(self):
        exe = required_path("VELMORA_EXE_X86_64")
        with new_host("menu-window-framed", virtual_desktop=True) as host:
            installer = Installer(host, exe)
            installer.wait_for_highlight(1)
            rect = installer.window["rect"]
            self.assertEqual((212, 159), (rect["left"], rect["top"]))
            shot = os.path.join(output_dir("artifacts"), "menu-window-framed.png")
            host.screenshot(shot)
            origin = host.desktop_origin()
            window_shot = os.path.join(output_dir("artifacts"), "installer-window.png")
            crop = "{}x{}+{}+{}".format(rect["right"] - rect["left"], rect["bottom"] - rect["top"],
                                        rect["left"] + origin[0], rect["top"] + origin[1])
            subprocess.run(["convert", shot, "-crop", crop, "+repage", window_shot], check=True)
            # The frame is drawn above the client area: the title bar is not
            # the picture.
            pixels = host.pixels(shot)
            title_bar = pixels.pixel(rect["left"] + 100, rect["top"] + 8)
            self.assertNotEqual(title_bar, pixels.pixel(*installer.screen_point((100, 8))))
            installer.keys("Escape")
            self.assertEqual(0, installer.wait_for_exit())


if __name__ == "__main__":
    unittest.main()
