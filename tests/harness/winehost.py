"""Runs Windows programs under Wine on a private Xvfb display, for tests.

Each WineHost owns a fresh folder under $VELMORA_TEST_OUTPUT/prefixes, an Xvfb
display and a Wine prefix of the architecture under test ($VELMORA_ARCH: i686
runs in a 32-bit prefix through the 32-bit loader, x86_64 in a 64-bit one).
Leaving the `with` block ends every process it started and checks that none
is left. Coordinates are Windows screen coordinates; there is no window
manager, so they are X root coordinates as well.
"""

import ctypes
import glob
import json
import os
import random
import re
import shutil
import signal
import subprocess
import tempfile
import time

from Xlib import X, display as xdisplay

ARCH = os.environ.get("VELMORA_ARCH", "x86_64")
LOADER, SERVER, WINEARCH = {
    "i686": ("/usr/lib/wine/wine", "/usr/lib/wine/wineserver32", "win32"),
    "x86_64": ("/usr/lib/wine/wine64", "/usr/lib/wine/wineserver64", "win64"),
}[ARCH]


def poll(check, timeout, failure):
    """Calls check() until it returns something true; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while not (value := check()):
        if time.monotonic() > deadline:
            raise AssertionError(failure() if callable(failure) else failure)
        time.sleep(0.1)
    return value


def processes_of_prefix(prefix):
    """Pids of live processes whose environment names this WINEPREFIX."""
    needle, found = b"\0WINEPREFIX=" + os.fsencode(prefix) + b"\0", []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as f, open(f"/proc/{pid}/stat", "rb") as s:
                live = needle in b"\0" + f.read() + b"\0" and s.read().rsplit(b")", 1)[1].split()[0] \
                    not in (b"Z", b"X")
        except OSError:
            continue
        if live and int(pid) != os.getpid():
            found.append(int(pid))
    return found


class WineHost:
    width, height = 1024, 768

    def __init__(self, name):
        root = os.path.join(os.environ.get("VELMORA_TEST_OUTPUT", "test-output"), "prefixes")
        os.makedirs(root, exist_ok=True)
        self.workdir = tempfile.mkdtemp(prefix=name + "-", dir=os.path.abspath(root))
        self.prefix = os.path.join(self.workdir, "prefix")
        self.windows_dir = os.path.join(self.prefix, "drive_c", "windows")
        self.probe_exe = os.environ.get("VELMORA_PROBE")
        self._procs = []
        self._log = open(os.path.join(self.workdir, "wine.log"), "ab")

    def __enter__(self):
        try:
            self._start_xvfb()
            self.env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=self.prefix,
                            WINEARCH=WINEARCH, WINEDEBUG="-all", WINELOADER=LOADER,
                            WINESERVER=SERVER,
                            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
            self.env.pop("XAUTHORITY", None)
            if self.wait_process(self._popen([LOADER, "wineboot", "-i"]), 180) != 0:
                raise AssertionError(f"wineboot failed, see {self._log.name}")
            self._kill_server()
            self.wait_process(self._popen([SERVER, "-w"]), 60)
            # One persistent server keeps the prefix's services up between programs.
            self._server = self._popen([SERVER, "-f", "-p"])
            # A crash ends the program at once; no window manager means unmanaged windows.
            for key, name, kind, data in [
                    (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
                    (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N")]:
                self.run(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"])
        except BaseException:
            self.__exit__(True, None, None)
            raise
        return self

    def _kill_server(self):
        subprocess.run([SERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL, timeout=30)

    def __exit__(self, failed, exc, tb):
        if hasattr(self, "env"):
            self._kill_server()
        if hasattr(self, "x"):
            self.x.close()
        for proc in self._procs:  # a terminated Xvfb removes its socket and lock file
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGTERM)
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
        self._log.close()
        # A Wine program that was still starting may outlive its server (and
        # start another): whatever of the prefix is left is killed until none is.
        deadline = time.monotonic() + 15
        while True:
            wine = processes_of_prefix(self.prefix)
            left = wine + [p.pid for p in self._procs if p.poll() is None]
            if not left or time.monotonic() > deadline:
                break
            for pid in wine:
                os.kill(pid, signal.SIGKILL)
            time.sleep(0.2)
        shutil.rmtree(self.prefix if failed else self.workdir, ignore_errors=True)
        if left and not failed:
            raise AssertionError(f"processes outlived their host: {left}")
        return False

    def _start_xvfb(self):
        # A display number of our own choosing, free of the sockets and lock
        # files that a killed server leaves behind; another test may take the
        # same one at the same moment, so one that does not answer is retried.
        for number in random.sample(range(100, 1000), 20):
            if glob.glob(f"/tmp/.X{number}-lock") + glob.glob(f"/tmp/.X11-unix/X{number}"):
                continue
            xvfb = self._popen(["Xvfb", f":{number}", "-screen", "0",
                                f"{self.width}x{self.height}x24", "-nolisten", "tcp", "-noreset"],
                               env=os.environ)

            def answers():
                try:
                    self.x = xdisplay.Display(f":{number}")
                    return "yes"
                except Exception:
                    return "no" if xvfb.poll() is not None else None

            if poll(answers, 30, f"Xvfb :{number} did not answer within 30 s") == "yes":
                self.display = f":{number}"
                return
        raise AssertionError("Xvfb gave no usable display")

    def _popen(self, argv, env=None, **kw):
        for stream in ("stdout", "stderr"):
            kw.setdefault(stream, self._log)
        # In the child: SIGKILL it when the test process dies (PR_SET_PDEATHSIG).
        proc = subprocess.Popen(argv, env=env or self.env, start_new_session=True,
                                stdin=kw.pop("stdin", subprocess.DEVNULL),
                                cwd=kw.pop("cwd", self.workdir), **kw,
                                preexec_fn=lambda: ctypes.CDLL(None).prctl(1, signal.SIGKILL))
        self._procs.append(proc)
        return proc

    # ----------------------------------------------------------------------- programs

    def start(self, argv, **kw):
        """Starts a Windows program (argv[0] a Linux path of the .exe, or a builtin)."""
        return self._popen([LOADER] + [os.fspath(a) for a in argv], **kw)

    def wait_process(self, proc, timeout=30):
        """The program's exit code; kills it and fails when it runs past timeout."""
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            raise AssertionError(f"{proc.args[1:]} did not end within {timeout} s")

    def run(self, argv, timeout=60):
        """Runs a program to its end; returns (exit code, stdout text)."""
        with tempfile.TemporaryFile() as out:
            code = self.wait_process(self.start(argv, stdout=out), timeout)
            out.seek(0)
            return code, out.read().decode(errors="replace")

    def windows_path(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def probe(self, *args):
        code, out = self.run([self.probe_exe] + list(args))
        if code not in (0, 1):
            raise AssertionError(f"winprobe {args} failed with {code}")
        return [json.loads(line) for line in out.splitlines() if line.startswith("{")]

    def _wait_seen(self, kind, match, timeout, what, proc=None):
        """The first of the probe's `kind` (windows, dialogs) that match() takes;
        fails at once when `proc` ends first."""
        def found():
            if proc is not None and proc.poll() is not None:
                raise AssertionError(f"the program ended with {proc.returncode} before {what}")
            return next((seen for seen in self.probe(kind) if match(seen)), None)

        return poll(found, timeout, lambda: f"no {what} within {timeout} s; seen: "
                    f"{[s.get('title', s.get('caption')) for s in self.probe(kind)]}")

    def wait_for_window(self, title, proc=None, timeout=20):
        """The visible top-level window with this title."""
        return self._wait_seen("windows", lambda w: w["visible"] and w["title"] == title,
                               timeout, f"window {title!r}", proc)

    def wait_for_dialog(self, caption, timeout=20):
        return self._wait_seen("dialogs", lambda d: d["caption"] == caption, timeout,
                               f"message box {caption!r}")

    def wait_for_no_dialog(self, caption, timeout=20):
        poll(lambda: all(d["caption"] != caption for d in self.probe("dialogs")), timeout,
             f"message box {caption!r} still open after {timeout} s")

    # -------------------------------------------------------------------------- input

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, timeout=20)

    def move_mouse(self, x, y):
        self.xdotool("mousemove", "--sync", x, y)

    def click(self):
        self.xdotool("click", 1)

    def key(self, *names, title):
        """Presses keys in the window with this title (X focus follows nothing here)."""
        def focused():
            ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                  f"^{re.escape(title)}$"], env=self.env, capture_output=True,
                                 text=True).stdout.split()
            for wid in ids:
                subprocess.run(["xdotool", "windowfocus", "--sync", wid], env=self.env,
                               capture_output=True, timeout=5)
            return ids
        poll(focused, 20, f"no X window named {title!r} to type into")
        self.xdotool("key", "--delay", 60, *names)

    # ----------------------------------------------------------------------- pictures

    def pixels(self):
        """A function (x, y) -> (r, g, b) over the screen as it is now."""
        data = self.x.screen().root.get_image(0, 0, self.width, self.height, X.ZPixmap,
                                              0xFFFFFFFF).data
        return lambda x, y: tuple(data[4 * (y * self.width + x) + i] for i in (2, 1, 0))

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, timeout=60)
