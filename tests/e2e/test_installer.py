"""The real installer in a fresh Wine prefix on a 1024 x 768 display, driven with
keys and the mouse as a person would: one whole installation under Wine posing as
each Windows it can, from a prefix where "(None)" was chosen to the installed
screensaver running (on 98 with its password, answered by a stand-in for the
system's password.cpl and mpr.dll), Uninstall, and the end of the program."""

import configparser
import os
import shutil
import unittest

from winehost import ARCH, WineHost, poll

EXE = os.environ.get("VELMORA_EXE", "")
TITLE = " Setup"
SELECTED, NORMAL = (176, 176, 240), (32, 32, 117)  # button fills
FILL_POINTS = {1: (40, 55), 2: (40, 115), 3: (40, 175)}  # clear of the captions
CENTRES = {1: (72, 45), 2: (72, 105), 3: (72, 165)}
REST = (300, 300)  # on the picture, away from the buttons
CAPTION_BOX = (36, 34, 110, 57)  # where the first button's caption is drawn
QUESTION = "This will remove Velmora from the system."


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

    def answer(self, test, caption, text, button=None):
        """Checks the message box's text and answers it with Return or a click
        on the button with that id."""
        box = self.host.wait_for_dialog(caption)
        test.assertEqual(text, box["text"])
        if button is None:
            self.host.key("Return", title=caption)
        else:
            left, top, right, bottom = next(b for b in box["buttons"] if b["id"] == button)["rect"]
            self.host.move_mouse((left + right) // 2, (top + bottom) // 2)
            self.host.click()
        self.host.wait_for_no_dialog(caption)
        self.host.move_mouse(*self.at(REST))


# 95/98/ME exist only as 32-bit systems.
VERSIONS = ["win98", "win2k", "winxp", "win7", "win10"] if ARCH == "i686" else [
    "winxp64", "win7", "win10"]
MAPPING = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\IniFileMapping\system.ini\boot"
DESKTOP = r"HKCU\Control Panel\Desktop"
STANDIN = os.environ.get("VELMORA_PASSWORD_STANDIN", "")


class EachWindowsVersion(unittest.TestCase):
    def test_install_makes_it_active_it_runs_and_uninstall_removes_it(self):
        for version in VERSIONS:
            with self.subTest(version), WineHost(version) as host:
                nine = version == "win98"
                host.run(["reg", "add", r"HKCU\Software\Wine", "/v", "Version", "/d", version, "/f"])
                if not nine:
                    host.run(["reg", "add", MAPPING, "/v", "SCRNSAVE.EXE", "/d",
                              r"USR:Control Panel\Desktop", "/f"])
                # "Password protected", which only 95/98/ME leave to the screensaver;
                # on 10 also a 4K screen at 200 %, which Wine does not scale; and
                # the screen saver switched off, as "(None)" in its settings leaves it.
                for name, kind, value in [("ScreenSaveUsePassword", "REG_DWORD", "1"),
                                          ("ScreenSaveActive", "REG_SZ", "0")] + (
                        [("LogPixels", "REG_DWORD", "192")] if version == "win10" else []):
                    host.run(["reg", "add", DESKTOP, "/v", name, "/t", kind, "/d", value, "/f"])
                for name in ("password.cpl", "mpr.dll") if nine else ("password.cpl",):
                    shutil.copy(STANDIN, os.path.join(host.windows_dir, "system32", name))
                target = os.path.join(host.windows_dir, "Velmora.scr")
                installer = Installer(host)
                # 600 x 450 and a title bar higher, framed; centred on 1024 x 768.
                left, top, right, bottom = installer.window["rect"]
                title_bar = installer.top - top - (installer.left - left)
                self.assertEqual((212, 159, 600, 450 + title_bar),
                                 (left, top, right - left, bottom - top))
                installer.wait_for_highlight(1)
                host.screenshot(artifact(f"installer-window-{version}.png"))
                install_caption = installer.caption_pixels()
                installer.keys("Return")
                installer.answer(self, " Installation completed ",
                                 " Program installed in desired manner")
                poll(lambda: installer.caption_pixels() != install_caption, 20,
                     "the first button still reads as before the install")
                self.assertEqual("Velmora.scr", self.active_screensaver(host, nine))
                self.assertEqual("1", self.desktop_value(host, "ScreenSaveActive"))

                self.run_screensaver(host, target, artifact(f"screensaver-{version}.png"), nine)

                installer.click(2)
                installer.answer(self, " Uninstallation", QUESTION, button=1)
                installer.answer(self, " Completed", " Software removed from your system.")
                self.assertFalse(os.path.exists(target))
                # Ended by Esc, by Alt+F4, or closed from outside, version by version.
                end = ["Escape", "alt+F4", None][VERSIONS.index(version) % 3]
                installer.keys(end) if end else host.probe("close-window", TITLE)
                self.assertEqual(0, host.wait_process(installer.proc))

    def run_screensaver(self, host, target, screenshot, nine):
        """Full screen, it goes on drawing after a two-pixel move. On 98 a key asks
        the password: the wrong one keeps it running; the right one, asked when
        the installer's window takes the activation, ends it. Elsewhere a key or
        the lost activation ends it. /c shows its options box; on 98, /a hands
        the change of the password to the system."""
        drive = os.path.join(host.prefix, "drive_c")
        host.move_mouse(512, 384)
        proc = self.start_saver(host, target)
        poll(lambda: len(self.grid(host)) > 8, 20, "the screensaver drew no picture")
        host.screenshot(screenshot)
        host.move_mouse(514, 385)
        self.goes_on_drawing(host, proc, "a two-pixel move")
        if nine:
            self.write(drive, "password-answer.txt", "0")
            host.key("a", title="Velmora")
            poll(lambda: self.password_calls(drive), 20, "the password was not asked for")
            self.goes_on_drawing(host, proc, "the wrong password")
            self.write(drive, "password-answer.txt", "1")
        else:
            host.key("a", title="Velmora")
            self.assertEqual(0, host.wait_process(proc))
            proc = self.start_saver(host, target)
            self.goes_on_drawing(host, proc, "its start")  # it has taken the activation
        # The installer's window takes the activation, again should the focus
        # have come before the screensaver had the activation to lose.
        poll(lambda: proc.poll() is not None or host.key("Down", title=TITLE), 20,
             "the screensaver stayed on top of the installer's window")
        self.assertEqual(0, host.wait_process(proc))
        self.assertEqual(["VerifyScreenSavePwd window"] * (2 if nine else 0),
                         self.password_calls(drive))

        proc = host.start([target, "/c"])
        self.assertEqual("Velmora has no options to set.", host.wait_for_dialog("Velmora")["text"])
        host.key("Return", title="Velmora")
        self.assertEqual(0, host.wait_process(proc))
        if nine:  # Wine's own mpr.dll goes first unless told otherwise
            env = dict(host.env, WINEDLLOVERRIDES=host.env["WINEDLLOVERRIDES"] + ";mpr=n")
            self.assertEqual(0, host.wait_process(host.start([target, "/a"], env=env)))
            self.assertEqual("PwdChangePasswordA SCRSAVE", self.password_calls(drive)[-1][:26])

    def start_saver(self, host, target):
        proc = host.start([target, "/s"])
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        host.wait_for_window("Velmora", proc)
        return proc

    @staticmethod
    def grid(host):
        pixel = host.pixels()
        return {pixel(x, y) for x in range(0, host.width, 64) for y in range(0, host.height, 64)}

    def goes_on_drawing(self, host, proc, after):
        for _ in range(2):  # two more frames drawn
            before = self.grid(host)
            poll(lambda: self.grid(host) != before, 20, f"the screensaver stopped after {after}")
        self.assertIsNone(proc.poll(), f"the screensaver ended on {after}")

    @staticmethod
    def write(drive, name, text):
        with open(os.path.join(drive, name), "w") as f:
            f.write(text)

    @staticmethod
    def password_calls(drive):
        path = os.path.join(drive, "password-calls.txt")
        return open(path).read().splitlines() if os.path.exists(path) else []

    @classmethod
    def active_screensaver(cls, host, nine):
        if nine:
            ini = configparser.ConfigParser(strict=False, interpolation=None)
            ini.read(os.path.join(host.windows_dir, "system.ini"), encoding="latin-1")
            return ini.get("boot", "SCRNSAVE.EXE", fallback=None)
        return cls.desktop_value(host, "SCRNSAVE.EXE")

    @staticmethod
    def desktop_value(host, name):
        code, out = host.run(["reg", "query", DESKTOP, "/v", name])
        value = [line.split()[-1] for line in out.splitlines() if name in line]
        return value[0] if code == 0 and value else None


if __name__ == "__main__":
    unittest.main()
