"""Faults around the real installer (x86_64 build) in a Wine prefix, driven
with keys and the mouse as a person would: a disk that fills up while the
screensaver is written, an installed file that another program holds open or
that cannot be written, and the menu window closed from outside while the
installer waits for input.

All scenarios share one prefix; each starts from a prefix without the
screensaver and with the system.ini that the prefix was made with."""

import os
import time
import unittest

from e2e_support import (REST_POINT, SETUP_CLASS, SETUP_TITLE, FileHolder, Installer, answer_box,
                         caption_width, first_caption_pixels, new_host,
                         process_command_line, process_cpu_seconds, required_path,
                         system_ini_setting)

TARGET_NAME = "Velmora.scr"
# The installer forms its paths from the Windows directory that Wine reports.
TARGET_WINDOWS_PATH = "C:\\windows\\Velmora.scr"
# What an existing copy holds before a scenario: not what Install writes, so
# that a file rewritten by mistake cannot pass for one left alone.
OLD_CONTENT = b"an installed copy that must not be lost\r\n" * 64

UNINSTALL_QUESTION = "This will remove Velmora from the system."
NOT_FOUND_TEXT = " Setup did not find the installed file(s) on your system"
REMOVE_FAILED_TEXT = " Failed to remove the file."
CREATE_FAILED_TEXT = " Failed to create the file :\r" + TARGET_WINDOWS_PATH
WRITE_FAILED_TEXT = " Failed to write the file :\r" + TARGET_WINDOWS_PATH

# While the installer waits for input it must sleep in GetMessageA. A loop
# that spins would use about one whole core; the bound is far from both.
IDLE_SPAN = 3.0
IDLE_CPU_SHARE = 0.2

_shared = {}


def setUpModule():
    exe = required_path("VELMORA_EXE_X86_64")
    saver = required_path("VELMORA_SAVER_X86_64")
    with open(saver, "rb") as f:
        saver_bytes = f.read()
    host = new_host("faults").__enter__()
    try:
        ini_path = os.path.join(host.windows_dir, "system.ini")
        ini_bytes = None
        if os.path.exists(ini_path):
            with open(ini_path, "rb") as f:
                ini_bytes = f.read()
        # How the first button reads "Install" (no file in a fresh prefix),
        # highlighted as at every start.
        installer = Installer(host, exe)
        installer.wait_for_highlight(1)
        install_pixels = first_caption_pixels(installer)
        installer.keys("Escape")
        if installer.wait_for_exit() != 0:
            raise AssertionError("the installer did not end with 0 on Esc")
    except BaseException:
        host.__exit__(None, None, None)
        raise
    _shared.update(exe=exe, saver_bytes=saver_bytes, host=host, ini_path=ini_path,
                   ini_bytes=ini_bytes, install_pixels=install_pixels)


def tearDownModule():
    host = _shared.pop("host", None)
    if host is not None:
        host.__exit__(None, None, None)


class FaultCase(unittest.TestCase):
    def setUp(self):
        self.host = _shared["host"]
        self.target = os.path.join(self.host.windows_dir, TARGET_NAME)
        if os.path.lexists(self.target):
            os.unlink(self.target)
        if _shared["ini_bytes"] is None:
            if os.path.exists(_shared["ini_path"]):
                os.unlink(_shared["ini_path"])
        else:
            with open(_shared["ini_path"], "wb") as f:
                f.write(_shared["ini_bytes"])

    def start(self):
        installer = Installer(self.host, _shared["exe"])
        self.addCleanup(self._end, installer.process)
        installer.wait_for_highlight(1)
        return installer

    @staticmethod
    def _end(process):
        if process.poll() is None:
            process.kill()
            process.wait()

    def hold(self, windows_path):
        holder = FileHolder(self.host, windows_path)
        self.addCleanup(lambda: holder.process.poll() is None and holder.release())
        return holder

    def read_target(self):
        with open(self.target, "rb") as f:
            return f.read()

    def choose(self, installer, entry, run=True):
        """Moves the highlight to `entry` with Down, one press at a time, and
        runs it with Enter."""
        current = installer.highlighted()
        self.assertIsNotNone(current, "the menu is not painted as it should be")
        while current != entry:
            current = current % 3 + 1
            installer.keys("Down")
            installer.wait_for_highlight(current)
        if run:
            installer.keys("Return")

    def answer(self, installer, caption, text, key=None, button=None):
        """Answers the message box; back on the menu, the pointer rests on the
        picture, off the buttons."""
        return answer_box(self, self.host, caption, text, key=key, button=button,
                          rest_at=installer.screen_point(REST_POINT))

    def confirm_uninstall(self, installer):
        box = self.answer(installer, " Uninstallation", UNINSTALL_QUESTION, button=1)
        self.assertEqual({1, 2}, {b["id"] for b in box["buttons"]})

    def assert_back_at_menu_without_box(self, installer):
        """The action has returned to the menu and left no message box behind.

        The menu moves its highlight only once the action has returned (a box
        still open would keep it from doing so), so a box that the action
        showed after the last one answered would be on the screen now."""
        current = installer.highlighted()
        self.assertIsNotNone(current, "the menu is not painted as it should be")
        installer.keys("Down")
        installer.wait_for_highlight(current % 3 + 1)
        self.assertEqual([], self.host.dialogs())

    def first_caption(self, installer):
        """The first button's caption, Install or Reinstall, read while it is highlighted."""
        self.choose(installer, 1, run=False)
        pixels = first_caption_pixels(installer)
        if pixels == _shared["install_pixels"]:
            return "Install"
        # "Reinstall" is wider than "Install" in the same font.
        if caption_width(pixels) > caption_width(_shared["install_pixels"]) + 8:
            return "Reinstall"
        return None

    def exit_by_escape(self, installer):
        installer.keys("Escape")
        self.assertEqual(0, installer.wait_for_exit())


class FileFaults(FaultCase):
    def test_disk_full_while_the_screensaver_is_written(self):
        # Every write to /dev/full fails with "no space left on the device",
        # while opening and closing it succeed: a disk that fills up after the
        # file was created.
        os.symlink("/dev/full", self.target)
        installer = self.start()

        installer.keys("Return")
        self.answer(installer, " Error", WRITE_FAILED_TEXT, key="Return")
        self.assert_back_at_menu_without_box(installer)
        # The screensaver is made the active one whatever happened.
        self.assertEqual(TARGET_NAME, system_ini_setting(self.host.windows_dir))
        self.assertEqual("/dev/full", os.readlink(self.target))

        self.choose(installer, 3)
        self.assertEqual(0, installer.wait_for_exit())

    def test_file_held_open_at_start_counts_as_absent_and_is_left_alone(self):
        with open(self.target, "wb") as f:
            f.write(OLD_CONTENT)
        holder = self.hold(TARGET_WINDOWS_PATH)
        installer = self.start()
        self.assertEqual("Install", self.first_caption(installer))

        self.choose(installer, 2)
        self.answer(installer, " File not found", NOT_FOUND_TEXT, key="Return")
        self.choose(installer, 1)
        self.answer(installer, " Error", CREATE_FAILED_TEXT, key="Return")
        self.assert_back_at_menu_without_box(installer)
        self.assertEqual(OLD_CONTENT, self.read_target())
        self.assertEqual("Reinstall", self.first_caption(installer))

        self.exit_by_escape(installer)
        self.assertEqual(0, holder.release())
        self.assertEqual(OLD_CONTENT, self.read_target())

    def test_file_held_open_after_start_is_not_removed_until_released(self):
        with open(self.target, "wb") as f:
            f.write(OLD_CONTENT)
        installer = self.start()
        self.assertEqual("Reinstall", self.first_caption(installer))
        holder = self.hold(TARGET_WINDOWS_PATH)

        self.choose(installer, 2)
        self.confirm_uninstall(installer)
        self.answer(installer, " Error", REMOVE_FAILED_TEXT, key="Return")
        self.assertEqual(OLD_CONTENT, self.read_target())

        # A failed removal changes nothing: once the other program lets the
        # file go, the same entry removes it.
        self.assertEqual(0, holder.release())
        self.assertEqual(2, installer.highlighted())
        installer.keys("Return")
        self.confirm_uninstall(installer)
        self.answer(installer, " Completed", " Software removed from your system.", key="Return")
        self.assertFalse(os.path.lexists(self.target))

        self.exit_by_escape(installer)

    @unittest.skipUnless(os.geteuid() == 0, "Wine's read-only handling worked out as root")
    def test_read_only_attribute(self):
        # Wine keeps FILE_ATTRIBUTE_READONLY as the Unix file's write bits.
        # Opening and truncating go through open(2), which root may do on any
        # file, so the check and Install treat the file as writable (Windows
        # would refuse both). Deleting checks the attribute itself and is refused.
        with open(self.target, "wb") as f:
            f.write(OLD_CONTENT)
        result = self.host.run(["attrib", "+r", TARGET_WINDOWS_PATH])
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertEqual(0, os.stat(self.target).st_mode & 0o222)
        installer = self.start()
        self.assertEqual("Reinstall", self.first_caption(installer))

        self.choose(installer, 2)
        self.confirm_uninstall(installer)
        self.answer(installer, " Error", REMOVE_FAILED_TEXT, key="Return")
        self.assertEqual(OLD_CONTENT, self.read_target())

        # Install really rewrites the file here, so its success message is true.
        self.choose(installer, 1)
        self.answer(installer, " Installation completed ", " Program installed in desired manner",
                    key="Return")
        self.assertTrue(self.read_target() == _shared["saver_bytes"],
                        "installed file differs from the build")
        self.assertEqual(TARGET_NAME, system_ini_setting(self.host.windows_dir))

        # The attribute outlives the rewrite: removing is still refused.
        self.choose(installer, 2)
        self.confirm_uninstall(installer)
        self.answer(installer, " Error", REMOVE_FAILED_TEXT, key="Return")
        self.assertTrue(self.read_target() == _shared["saver_bytes"],
                        "the installed file changed on a failed removal")

        self.exit_by_escape(installer)

    def test_file_that_the_system_refuses_to_write(self):
        # Root ignores a file's write bits, so a read-only attribute stops
        # nothing but deletion here. A read-only /proc file refuses writes even
        # to root: behind the name it stands for a file that cannot be opened
        # for writing, created or deleted.
        proc_file = "/proc/sys/kernel/ostype"
        with open(proc_file, "rb") as f:
            proc_content = f.read()
        os.symlink(proc_file, self.target)
        installer = self.start()
        self.assertEqual("Install", self.first_caption(installer))

        self.choose(installer, 2)
        self.answer(installer, " File not found", NOT_FOUND_TEXT, key="Return")

        self.choose(installer, 1)
        self.answer(installer, " Error", CREATE_FAILED_TEXT, key="Return")
        self.assert_back_at_menu_without_box(installer)
        self.assertEqual(TARGET_NAME, system_ini_setting(self.host.windows_dir))
        self.assertEqual("Reinstall", self.first_caption(installer))

        # Marked installed now, so Uninstall asks, tries and reports the refusal.
        self.choose(installer, 2)
        self.confirm_uninstall(installer)
        self.answer(installer, " Error", REMOVE_FAILED_TEXT, key="Return")
        self.assertEqual(proc_file, os.readlink(self.target))
        with open(proc_file, "rb") as f:
            self.assertEqual(proc_content, f.read())

        installer.point_at(3)
        self.host.click()
        self.assertEqual(0, installer.wait_for_exit())


class WindowClosedFromOutside(FaultCase):
    def close_from_outside(self, how="close"):
        result = self.host.probe("close-window", "--title", SETUP_TITLE, "--class", SETUP_CLASS,
                                 "--how", how)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)

    def test_idle_installer_sleeps_and_ends_when_its_window_is_closed(self):
        installer = self.start()
        pid = installer.process.pid
        command = process_command_line(pid)
        self.assertTrue(command and command[0].endswith("VelmoraSetup.exe"),
                        f"process {pid} is not the installer: {command}")

        # CPU used over a span of waiting for input, with the window up throughout.
        used_before = process_cpu_seconds(pid)
        started = time.monotonic()
        while time.monotonic() - started < IDLE_SPAN:
            self.assertIsNone(installer.process.poll(), "the installer ended by itself")
            time.sleep(0.1)
        wall = time.monotonic() - started
        used = process_cpu_seconds(pid) - used_before
        self.assertLess(used, IDLE_CPU_SHARE * wall,
                        f"the idle installer used {used:.2f} s of CPU in {wall:.2f} s")

        self.close_from_outside("close")
        self.assertEqual(0, installer.wait_for_exit(20))

    def test_close_command_and_alt_f4_end_the_installer(self):
        ways = {
            "WM_SYSCOMMAND SC_CLOSE": lambda: self.close_from_outside("syscommand"),
            "Alt+F4": lambda: self.host.key("alt+F4", title=SETUP_TITLE),
        }
        for name, close in ways.items():
            with self.subTest(name):
                installer = self.start()
                close()
                self.assertEqual(0, installer.wait_for_exit(20))

    def test_window_closed_while_a_message_box_waits(self):
        installer = self.start()
        self.choose(installer, 2)
        self.host.wait_for_dialog(" File not found", timeout=30)
        self.close_from_outside("close")
        # The box's own message loop hands the close to the window, which goes;
        # the box stays until answered, and then the installer ends.
        self.host.wait_for_no_window(title=SETUP_TITLE, cls=SETUP_CLASS, timeout=20)
        self.assertIsNone(installer.process.poll())
        box = self.host.wait_for_dialog(" File not found", timeout=5)
        self.assertEqual(NOT_FOUND_TEXT, box["text"])
        self.host.key("Return", title=" File not found")
        self.assertEqual(0, installer.wait_for_exit(20))


if __name__ == "__main__":
    unittest.main()
