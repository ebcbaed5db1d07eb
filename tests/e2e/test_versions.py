"""One whole installation under Wine posing as each Windows it can: Install
makes the screensaver the active one (on the NT family in the registry, where
every Windows maps system.ini's [boot] SCRNSAVE.EXE; on 95/98/ME in system.ini),
the installed screensaver runs, Uninstall with OK removes it, Esc ends with 0."""

import configparser
import os
import unittest

from test_installer import QUESTION, Installer, artifact
from winehost import ARCH, WineHost, poll

# 95/98/ME exist only as 32-bit systems.
VERSIONS = ["win98", "win2k", "winxp", "win7", "win10"] if ARCH == "i686" else [
    "winxp64", "win7", "win10"]
MAPPING = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\IniFileMapping\system.ini\boot"
DESKTOP = r"HKCU\Control Panel\Desktop"


class EachWindowsVersion(unittest.TestCase):
    def test_install_makes_it_active_it_runs_and_uninstall_removes_it(self):
        for version in VERSIONS:
            with self.subTest(version), WineHost(version) as host:
                nine = version == "win98"
                host.run(["reg", "add", r"HKCU\Software\Wine", "/v", "Version", "/d", version, "/f"])
                if not nine:
                    host.run(["reg", "add", MAPPING, "/v", "SCRNSAVE.EXE", "/d",
                              r"USR:Control Panel\Desktop", "/f"])
                target = os.path.join(host.windows_dir, "Velmora.scr")
                installer = Installer(host)
                installer.wait_for_highlight(1)
                installer.keys("Return")
                installer.answer(self, " Installation completed ",
                                 " Program installed in desired manner")
                self.assertEqual("Velmora.scr", self.active_screensaver(host, nine))

                self.run_screensaver(host, target, artifact(f"screensaver-{version}.png"))

                installer.click(2)
                installer.answer(self, " Uninstallation", QUESTION, button=1)
                installer.answer(self, " Completed", " Software removed from your system.")
                self.assertFalse(os.path.exists(target))
                installer.keys("Escape")
                self.assertEqual(0, installer.exit_code())

    def run_screensaver(self, host, target, screenshot):
        """Full screen, it draws and goes on drawing after a two-pixel move (a
        hand resting on the mouse), and ends on a key; /c shows its options box."""
        host.move_mouse(512, 384)
        proc = host.start([target, "/s"])
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        self.assertEqual([0, 0, host.width, host.height],
                         host.wait_for_window("Velmora", proc)["rect"])
        grid = lambda: {host.pixels()(x, y) for x in range(0, host.width, 64)  # noqa: E731
                        for y in range(0, host.height, 64)}
        poll(lambda: len(grid()) > 8, 20, "the screensaver drew no picture")
        host.screenshot(screenshot)
        host.move_mouse(514, 385)
        for _ in range(2):  # two more frames drawn after the small move
            before = grid()
            poll(lambda: grid() != before, 20, "the screensaver stopped drawing")
        self.assertIsNone(proc.poll(), "the screensaver ended on a two-pixel move")
        host.key("a", title="Velmora")
        self.assertEqual(0, host.wait_process(proc))

        proc = host.start([target, "/c"])
        self.assertEqual("Velmora has no options to set.", host.wait_for_dialog("Velmora")["text"])
        host.key("Return", title="Velmora")
        self.assertEqual(0, host.wait_process(proc))

    @staticmethod
    def active_screensaver(host, nine):
        if nine:
            ini = configparser.ConfigParser(strict=False, interpolation=None)
            ini.read(os.path.join(host.windows_dir, "system.ini"), encoding="latin-1")
            return ini.get("boot", "SCRNSAVE.EXE", fallback=None)
        code, out = host.run(["reg", "query", DESKTOP, "/v", "SCRNSAVE.EXE"])
        value = [line.split()[-1] for line in out.splitlines() if "SCRNSAVE.EXE" in line]
        return value[0] if code == 0 and value else None


if __name__ == "__main__":
    unittest.main()
