"""One whole installation under Wine posing as each Windows it can: Install
makes the screensaver the active one (on the NT family in the registry, where
every Windows maps system.ini's [boot] SCRNSAVE.EXE; on 95/98/ME in system.ini)
and switches the screen saver on where "(None)" had switched it off,
the installed screensaver runs (on 98 with its password, which a stand-in for
the system's password.cpl and mpr.dll answers), Uninstall with OK removes it,
Esc ends with 0. Also where the window opens, and its first caption changed."""

import configparser
import os
import shutil
import unittest

from test_installer import QUESTION, TITLE, Installer, artifact
from winehost import ARCH, WineHost, poll

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
                installer.keys("Escape")
                self.assertEqual(0, installer.exit_code())

    def run_screensaver(self, host, target, screenshot, nine):
        """Full screen, it draws and goes on drawing after a two-pixel move (a
        hand resting on the mouse). On 98 a key asks for the password: the
        wrong one keeps it running; the right one, asked when another program's
        window takes the activation, ends it. Elsewhere a key ends it without a
        question, and so does the lost activation. /c shows its options box; on
        98, /a hands the change of the password to the system."""
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
        self.assertEqual([0, 0, host.width, host.height],
                         host.wait_for_window("Velmora", proc)["rect"])
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
