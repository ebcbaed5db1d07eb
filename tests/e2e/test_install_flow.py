"""Install and uninstall with the real installer (x86_64 build) in a fresh Wine
prefix, driven with keys and the mouse, and the installed screensaver run as
Windows runs screensavers."""

import configparser
import os
import shutil
import unittest

from e2e_support import (Installer, answer_box, caption_width, first_caption_pixels, new_host,
                         output_dir, poll_until, required_path)

TARGET_NAME = "Velmora.scr"
SAVER_CLASS = "VelmoraSaver"


class InstallFlow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = required_path("VELMORA_EXE_X86_64")
        cls.saver = required_path("VELMORA_SAVER_X86_64")
        with open(cls.saver, "rb") as f:
            cls.saver_bytes = f.read()
        cls.host = new_host("install-flow").__enter__()
        cls.target = os.path.join(cls.host.windows_dir, TARGET_NAME)

    @classmethod
    def tearDownClass(cls):
        cls.host.__exit__(None, None, None)

    def start(self):
        installer = Installer(self.host, self.exe)
        self.addCleanup(self._end, installer.process)
        installer.wait_for_highlight(1)
        return installer

    def _end(self, process):
        if process.poll() is None:
            process.kill()
            process.wait()

    def answer(self, caption, text, key=None, button=None, installer=None):
        """Answers the message box; after a click on it, the pointer rests away
        from the menu's buttons again."""
        rest_at = installer.screen_point((300, 300)) if installer is not None else None
        return answer_box(self, self.host, caption, text, key=key, button=button, rest_at=rest_at)

    def system_ini_setting(self):
        ini = configparser.ConfigParser(strict=False, interpolation=None)
        ini.read(os.path.join(self.host.windows_dir, "system.ini"), encoding="latin-1")
        return ini.get("boot", "SCRNSAVE.EXE", fallback=None)

    def test_1_install_by_keys_and_restart_reads_reinstall(self):
        self.assertFalse(os.path.exists(self.target))
        installer = self.start()
        install_caption = first_caption_pixels(installer)

        installer.keys("Return")
        self.answer(" Installation completed ", " Program installed in desired manner",
                    key="Return", installer=installer)
        with open(self.target, "rb") as f:
            self.assertTrue(f.read() == self.saver_bytes, "installed file differs from the build")
        self.assertEqual(TARGET_NAME, self.system_ini_setting())

        # The caption changes in place: the first button now reads "Reinstall",
        # which is wider than "Install" in the same font.
        poll_until(lambda: first_caption_pixels(installer) != install_caption, 20,
                   "first button's caption did not change after Install")
        reinstall_caption = first_caption_pixels(installer)
        self.assertGreater(caption_width(reinstall_caption),
                           caption_width(install_caption) + 8)
        installer.keys("Escape")
        self.assertEqual(0, installer.wait_for_exit())

        # A new start finds the file: the same "Reinstall" pixels from the start.
        installer = self.start()
        self.assertEqual(reinstall_caption, first_caption_pixels(installer))
        installer.keys("Escape")
        self.assertEqual(0, installer.wait_for_exit())

    def test_2_uninstall_by_mouse_cancel_then_ok(self):
        shutil.copyfile(self.saver, self.target)
        installer = self.start()
        question = "This will remove Velmora from the system."

        installer.point_at(2)
        self.host.click()
        box = self.answer(" Uninstallation", question, button=2, installer=installer)
        self.assertEqual({1, 2}, {b["id"] for b in box["buttons"]})
        self.assertTrue(os.path.exists(self.target))

        # Enter on the question chooses Cancel, its default.
        installer.point_at(2)
        self.host.click()
        self.answer(" Uninstallation", question, key="Return", installer=installer)
        self.assertTrue(os.path.exists(self.target))

        installer.point_at(2)
        self.host.click()
        self.answer(" Uninstallation", question, button=1)
        self.answer(" Completed", " Software removed from your system.", key="Return",
                    installer=installer)
        self.assertFalse(os.path.exists(self.target))
        # system.ini keeps naming the file.
        self.assertEqual(TARGET_NAME, self.system_ini_setting())

        installer.point_at(2)
        self.host.click()
        self.answer(" File not found", " Setup did not find the installed file(s) on your system",
                    key="Return", installer=installer)

        installer.point_at(3)
        self.host.click()
        self.assertEqual(0, installer.wait_for_exit())

    def test_3_installed_screensaver_covers_the_screen_and_ends_on_a_key(self):
        shutil.copyfile(self.saver, self.target)
        self.host.move_mouse(self.host.width // 2, self.host.height // 2)
        process = self.host.start([self.target, "/s"])
        self.addCleanup(self._end, process)
        window = self.host.wait_for_window(cls=SAVER_CLASS, timeout=60)
        rect = window["rect"]
        self.assertEqual((0, 0, self.host.width, self.host.height),
                         (rect["left"], rect["top"], rect["right"], rect["bottom"]))
        # It draws a picture over the whole screen, not one flat colour.
        poll_until(lambda: len({self.host.pixels().pixel(x, y)
                                for x in range(0, 1024, 64) for y in range(0, 768, 64)}) > 8,
                   20, "the screensaver drew no picture")
        self.host.screenshot(os.path.join(output_dir("artifacts"), "screensaver.png"))
        self.host.key("a", title="Velmora")
        self.assertEqual(0, self.host.wait_process(process, 30))

    def test_4_screensaver_options_say_there_are_none(self):
        shutil.copyfile(self.saver, self.target)
        process = self.host.start([self.target, "/c"])
        self.addCleanup(self._end, process)
        self.answer("Velmora", "Velmora has no options to set.", key="Return")
        self.assertEqual(0, self.host.wait_process(process, 30))


if __name__ == "__main__":
    unittest.main()
