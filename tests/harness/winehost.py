"""Runs Windows programs under 64-bit Wine on a private Xvfb display, for tests.

    with WineHost(root, "install-fresh", probe_exe=probe) as host:
        proc = host.start([setup_exe])
        win = host.wait_for_window(title=" Setup")
        host.key("Return", title=" Setup")
        box = host.wait_for_dialog(caption=" Error")
        ...
        assert host.wait_process(proc, 30) == 0

Every WineHost owns a fresh directory under `root`, its own Xvfb (the server picks a
free display number through -displayfd) and its own Wine prefix with a persistent
wineserver. Leaving the `with` block, normally or through an exception, ends every
process of that prefix, the wineserver and the Xvfb, and removes the directory; after an
exception only the prefix goes and wine.log (and any screenshots) stay for a look.
VELMORA_KEEP_PREFIX=1 keeps everything. Should the test process die without cleaning up
(SIGKILL), a small watcher process does the same clean-up.

Coordinates: the window helpers report Windows screen coordinates (what the program
sees). move_mouse() and the pixel helpers take the same coordinates; with a Wine virtual
desktop they are translated to the X window of that desktop.

Python standard library only; external tools: Xvfb, wine, wineserver, xdotool,
ImageMagick (import, convert).
"""

import ctypes
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

POLL_INTERVAL = 0.15


def _die_with_parent():
    """Runs in a child before exec: the kernel sends it SIGTERM when the process that
    started it ends, even by SIGKILL, so no Xvfb outlives a killed test."""
    PR_SET_PDEATHSIG = 1
    try:
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)
    except (OSError, AttributeError):
        pass


def _kill_group(proc, sig=signal.SIGKILL):
    """Signals the process group that start() gave `proc` (it leads its own session)."""
    if proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, sig)
    except ProcessLookupError:
        pass
    except PermissionError:
        proc.kill()


def _process_state(pid):
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            stat = f.read()
    except OSError:
        return None
    # The command name sits in parentheses and may itself contain blanks or ')'.
    return stat[stat.rfind(b")") + 2 :][:1].decode()


def process_alive(pid):
    """True while `pid` exists and is not a zombie."""
    state = _process_state(pid)
    return state is not None and state not in ("Z", "X")


def processes_of_prefix(prefix):
    """Live processes (pid, command line) whose environment names WINEPREFIX=prefix.

    Wine programs, explorer, services and the wineserver all inherit the variable from
    the first `wine` started for that prefix.
    """
    needle = b"\0WINEPREFIX=" + os.fsencode(os.path.abspath(prefix)) + b"\0"
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        pid = int(entry)
        if pid == os.getpid():
            continue
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                environ = b"\0" + f.read()
        except OSError:
            continue
        if not environ.endswith(b"\0"):
            environ += b"\0"
        if needle not in environ or not process_alive(pid):
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
        except OSError:
            cmdline = "?"
        found.append((pid, cmdline))
    return found


def end_wine(env, server=None):
    """Ends every Wine process of env's WINEPREFIX: `wineserver -k`, then waits for the
    server to go, then kills whatever is left (a program stuck without its server)."""
    for args in (["wineserver", "-k"], ["wineserver", "-w"]):
        try:
            subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
        except (subprocess.TimeoutExpired, OSError):
            break
    if server is not None:
        try:
            server.wait(timeout=15)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
    deadline = time.monotonic() + 15
    while True:
        left = processes_of_prefix(env["WINEPREFIX"])
        if not left or time.monotonic() > deadline:
            return left
        for pid, _ in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        time.sleep(POLL_INTERVAL)


def _guard_main(command_fd, done_fd, prefix):
    """The watcher of WineHost._start_guard. It leaves the test process's tree first, so
    that a runner killing that tree on a time-out does not kill the watcher too. b"q" on
    the command pipe means the host cleaned up itself; the end of the pipe without it
    means the host's process is gone. The watcher's own end of the done pipe closes when
    it exits."""
    if os.fork() > 0:
        os._exit(0)
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGHUP, signal.SIG_IGN)
    while True:
        try:
            word = os.read(command_fd, 1)
            break
        except InterruptedError:
            continue
    if word == b"q":
        return 0
    env = dict(os.environ, WINEPREFIX=prefix)
    left = end_wine(env)
    if os.environ.get("VELMORA_KEEP_PREFIX") != "1":
        shutil.rmtree(prefix, ignore_errors=True)
    print(f"winehost guard: cleaned up {prefix} after its test process ended"
          + (f"; still alive: {left}" if left else ""), file=sys.stderr)
    return 0


class Screenshot:
    """An RGB picture of the X screen; pixel() takes Windows screen coordinates."""

    def __init__(self, width, height, data, origin=(0, 0)):
        self.width = width
        self.height = height
        self.data = data
        self.origin = origin

    def pixel(self, x, y):
        return self.raw_pixel(x + self.origin[0], y + self.origin[1])

    def raw_pixel(self, x, y):
        """The (r, g, b) at X root coordinates."""
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise AssertionError(
                f"pixel ({x}, {y}) lies outside the {self.width}x{self.height} screen")
        at = 3 * (y * self.width + x)
        return tuple(self.data[at : at + 3])


def parse_ppm(blob):
    """Decodes a binary PPM (P6) into a Screenshot; 16-bit samples keep the high byte."""
    fields = []
    at = 0
    while len(fields) < 4:
        while at < len(blob) and blob[at : at + 1].isspace():
            at += 1
        if blob[at : at + 1] == b"#":
            at = blob.index(b"\n", at) + 1
            continue
        start = at
        while at < len(blob) and not blob[at : at + 1].isspace():
            at += 1
        fields.append(blob[start:at])
    if fields[0] != b"P6":
        raise ValueError("not a binary PPM picture")
    width, height, maxval = (int(v) for v in fields[1:])
    data = blob[at + 1 :]
    if maxval > 255:
        data = data[0 : 6 * width * height : 2]
    if len(data) < 3 * width * height:
        raise ValueError("PPM picture is cut short")
    return Screenshot(width, height, bytes(data[: 3 * width * height]))


class WineHost:
    """One Xvfb display and one Wine prefix, for one test scenario (a context manager)."""

    def __init__(self, root, name, width=1024, height=768, virtual_desktop=False,
                 probe_exe=None, boot_timeout=180):
        self.root = os.path.abspath(root)
        self.name = name
        self.width = width
        self.height = height
        self.virtual_desktop = virtual_desktop
        self.probe_exe = os.path.abspath(probe_exe) if probe_exe else None
        self.boot_timeout = boot_timeout
        self.workdir = None
        self.prefix = None
        self.windows_dir = None
        self.display = None
        self.env = None
        self.timings = {}
        self._xvfb = None
        self._server = None
        self._guard_pipes = None
        self._log = None
        self._procs = []
        self._desktop_origin = None
        self._old_sigterm = None

    # ----------------------------------------------------------------- set-up, clean-up

    def __enter__(self):
        self._catch_sigterm()
        try:
            self._set_up()
        except BaseException:
            try:
                self._tear_down(failed=True)
            finally:
                self._release_sigterm()
            raise
        return self

    def __exit__(self, exc_type, exc, tb):
        try:
            self._tear_down(failed=exc_type is not None)
        finally:
            self._release_sigterm()
        return False

    def _catch_sigterm(self):
        # A test runner that ends the test with SIGTERM gets the normal clean-up.
        if threading.current_thread() is not threading.main_thread():
            return
        if signal.getsignal(signal.SIGTERM) is signal.SIG_DFL:
            def on_sigterm(signum, frame):
                raise SystemExit(128 + signum)

            self._old_sigterm = signal.signal(signal.SIGTERM, on_sigterm)

    def _release_sigterm(self):
        if self._old_sigterm is not None:
            signal.signal(signal.SIGTERM, self._old_sigterm)
            self._old_sigterm = None

    def _set_up(self):
        started = time.monotonic()
        os.makedirs(self.root, exist_ok=True)
        safe = re.sub(r"[^A-Za-z0-9_.-]+", "_", self.name) or "wine"
        self.workdir = tempfile.mkdtemp(prefix=safe + "-", dir=self.root)
        self.prefix = os.path.join(self.workdir, "prefix")
        self.windows_dir = os.path.join(self.prefix, "drive_c", "windows")
        self._log = open(os.path.join(self.workdir, "wine.log"), "ab")
        self._start_xvfb()
        self.timings["xvfb"] = time.monotonic() - started
        env = dict(os.environ)
        for var in ("WAYLAND_DISPLAY", "XAUTHORITY", "WINESERVER", "WINELOADER", "WINEDEBUG"):
            env.pop(var, None)
        env.update({
            "DISPLAY": self.display,
            "WINEPREFIX": self.prefix,
            "WINEARCH": "win64",
            "WINEDEBUG": "-all",
            # No Mono/Gecko installer prompts; no menu builder turning shortcuts that a
            # program creates into desktop entries in the user's home.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
        })
        self.env = env
        self._start_guard()
        self._boot_prefix()
        self.timings["wineboot"] = time.monotonic() - started
        # wineboot leaves a server that quits with its last program, so that every later
        # program would boot the prefix's services again (seconds each). One persistent
        # server, started by us, keeps them running until the clean-up.
        self._kill_wine()
        self._start_server()
        self._write_registry()
        self.timings["create"] = time.monotonic() - started

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 f"{self.width}x{self.height}x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=self._log,
                stderr=subprocess.STDOUT, start_new_session=True, preexec_fn=_die_with_parent)
        finally:
            os.close(write_end)
        try:
            deadline = time.monotonic() + 30
            answer = b""
            while not answer.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or self._xvfb.poll() is not None:
                    raise AssertionError(
                        f"Xvfb reported no display (exit code {self._xvfb.poll()}), "
                        f"see {self._log.name}")
                ready, _, _ = select.select([read_end], [], [], left)
                if ready:
                    chunk = os.read(read_end, 64)
                    if not chunk:
                        raise AssertionError(f"Xvfb closed -displayfd, see {self._log.name}")
                    answer += chunk
        finally:
            os.close(read_end)
        self.display = ":" + answer.decode().strip()

    def _start_guard(self):
        """Starts a watcher that cleans up after this process if it dies without doing so
        itself (SIGKILL, a crash): it waits for the end of a pipe that only this process
        holds. Xvfb ends by itself then; Wine's programs would hang without their server,
        so the watcher ends them with `wineserver -k` and removes the prefix."""
        command_r, command_w = os.pipe()
        done_r, done_w = os.pipe()
        env = {k: v for k, v in self.env.items() if k != "WINEPREFIX"}
        try:
            starter = subprocess.Popen(
                [sys.executable, os.path.abspath(__file__), "--guard", str(command_r),
                 str(done_w), self.prefix], pass_fds=(command_r, done_w), env=env,
                stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT,
                start_new_session=True)
        except BaseException:
            os.close(command_w)
            os.close(done_r)
            raise
        finally:
            os.close(command_r)
            os.close(done_w)
        self._guard_pipes = (command_w, done_r)
        starter.wait(timeout=30)

    def _stop_guard(self):
        if self._guard_pipes is None:
            return
        command_w, done_r = self._guard_pipes
        self._guard_pipes = None
        try:
            os.write(command_w, b"q")
        except OSError:
            pass
        os.close(command_w)
        # The watcher has gone when its end of the done pipe closes.
        select.select([done_r], [], [], 30)
        os.close(done_r)

    def _boot_prefix(self):
        proc = self._popen(["wine", "wineboot", "-i"], stdout=self._log,
                           stderr=subprocess.STDOUT)
        try:
            code = proc.wait(timeout=self.boot_timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"wineboot did not finish within {self.boot_timeout} s")
        finally:
            self._forget(proc)
        if code != 0:
            raise AssertionError(f"wineboot failed with {code}, see {self._log.name}")
        if not os.path.isdir(os.path.join(self.windows_dir, "system32")):
            raise AssertionError(f"wineboot left no {self.windows_dir}")

    def _start_server(self):
        self._server = subprocess.Popen(
            ["wineserver", "-f", "-p"], env=self.env, stdin=subprocess.DEVNULL,
            stdout=self._log, stderr=subprocess.STDOUT, start_new_session=True)
        # A Wine program started before the server listens would start a second one.
        # The server works in a directory named after the prefix's device and inode.
        st = os.stat(self.prefix)
        tag = f"server-{st.st_dev:x}-{st.st_ino:x}"

        def listening():
            if self._server.poll() is not None:
                raise AssertionError(
                    f"wineserver ended at once ({self._server.returncode}), see {self._log.name}")
            try:
                cwd = os.readlink(f"/proc/{self._server.pid}/cwd")
            except OSError:
                return False
            return os.path.basename(cwd) == tag and os.path.exists(os.path.join(cwd, "socket"))

        self._poll(listening, 30, lambda: "wineserver did not open its socket within 30 s")

    def _write_registry(self):
        # A crashing program ends at once instead of waiting behind a crash dialog.
        values = [(r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
                  # There is no window manager on the display: a managed window would wait
                  # about 2 s for one each time it is shown (every message box).
                  (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N")]
        if self.virtual_desktop:
            values += [(r"HKCU\Software\Wine\Explorer", "Desktop", "REG_SZ", "Default"),
                       (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "REG_SZ",
                        f"{self.width}x{self.height}")]
        for key, name, kind, data in values:
            result = self.run(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"],
                              timeout=60)
            if result.returncode != 0:
                raise AssertionError(
                    f"reg add {key} {name} failed: {result.stdout}{result.stderr}")

    def _tear_down(self, failed):
        started = time.monotonic()
        if self.env is not None:
            self._kill_wine()
        for proc in self._procs:
            _kill_group(proc)
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self._procs = []
        for proc in (self._server, self._xvfb):
            if proc is not None and proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        self._stop_guard()
        if self._log is not None:
            self._log.close()
        if self.workdir and os.environ.get("VELMORA_KEEP_PREFIX") != "1":
            # A failed scenario keeps its logs and screenshots where the prefix was.
            shutil.rmtree(self.prefix if failed else self.workdir, ignore_errors=True)
        self.timings["teardown"] = time.monotonic() - started

    def _kill_wine(self):
        """Ends every Wine process of the prefix and waits for its wineserver to go."""
        end_wine(self.env, self._server)

    def leftover_processes(self):
        """Processes of this host still alive (for checks after the `with` block)."""
        left = processes_of_prefix(self.prefix) if self.prefix else []
        for proc, what in ((self._xvfb, "Xvfb " + str(self.display)),
                           (self._server, "wineserver")):
            if proc is not None and process_alive(proc.pid):
                left.append((proc.pid, what))
        return left

    # ------------------------------------------------------------------------ programs

    def to_windows_path(self, posix_path):
        """The path as a Windows program sees it, through drive Z: (the Unix root)."""
        return "Z:" + os.path.abspath(os.fspath(posix_path)).replace("/", "\\")

    def _popen(self, args, env=None, **popen_kw):
        full_env = dict(self.env)
        if env:
            full_env.update(env)
        popen_kw.setdefault("cwd", self.workdir)
        popen_kw.setdefault("stdin", subprocess.DEVNULL)
        proc = subprocess.Popen(args, env=full_env, start_new_session=True, **popen_kw)
        self._procs.append(proc)
        return proc

    def _forget(self, proc):
        if proc.poll() is not None and proc in self._procs:
            self._procs.remove(proc)

    def start(self, argv, **popen_kw):
        """Starts `wine argv...` (argv[0] a Linux path of the .exe). An `env` given here adds
        to the host's environment; the working directory defaults to the host's workdir.

        Wine's helper processes (explorer, services) may be started by this program and
        inherit its stdout/stderr: read pipes given here only while the program runs, or
        use files (as run() does)."""
        return self._popen(["wine"] + [os.fspath(a) for a in argv], **popen_kw)

    def run(self, argv, timeout=120, **popen_kw):
        """Runs `wine argv...` to its end; stdout and stderr come back as text. Output goes
        through files, not pipes, so a Wine helper that keeps them open cannot stall it."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = self.start(argv, stdout=out, stderr=err, **popen_kw)
            code = self.wait_process(proc, timeout)
            texts = []
            for f in (out, err):
                f.seek(0)
                texts.append(f.read().decode("utf-8", errors="replace"))
        return subprocess.CompletedProcess(["wine"] + [os.fspath(a) for a in argv], code,
                                           texts[0], texts[1])

    def wait_process(self, proc, timeout):
        """Waits for `proc` to end and returns its exit code; on time-out kills it and fails."""
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            _kill_group(proc)
            proc.wait()
            raise AssertionError(f"{proc.args} did not end within {timeout} s")
        self._forget(proc)
        return code

    # -------------------------------------------------------------------- window probe

    def probe(self, *args, timeout=60):
        if not self.probe_exe:
            raise AssertionError("this WineHost was made without probe_exe")
        return self.run([self.probe_exe] + [str(a) for a in args], timeout=timeout)

    def _probe_objects(self, *args):
        result = self.probe(*args)
        if result.returncode not in (0, 1):
            raise AssertionError(
                f"winprobe {' '.join(args)} failed with {result.returncode}: {result.stderr}")
        return [json.loads(line) for line in result.stdout.splitlines() if line.strip()]

    def windows(self, title=None, cls=None):
        """Top-level windows with that exact title and/or class (all when neither)."""
        args = ["window"]
        if cls is not None:
            args += ["--class", cls]
        if title is not None:
            args += ["--title", title]
        return self._probe_objects(*args)

    def _poll(self, check, timeout, describe):
        deadline = time.monotonic() + timeout
        while True:
            value = check()
            if value:
                return value
            if time.monotonic() >= deadline:
                raise AssertionError(describe())
            time.sleep(POLL_INTERVAL)

    def _window_list(self):
        try:
            return "; ".join(f"{w['class']!r} {w['title']!r} visible={w['visible']}"
                             for w in self.windows()) or "none"
        except AssertionError as e:
            return f"(probe failed: {e})"

    def wait_for_window(self, title=None, cls=None, timeout=30, visible=True):
        """Polls until a matching top-level window exists (and is visible unless
        visible=False); returns the probe's dict: hwnd, class, title, visible, style,
        exstyle, rect and client (screen coordinates, left/top/right/bottom), pid."""
        started = time.monotonic()

        def found():
            for w in self.windows(title, cls):
                if w["visible"] or not visible:
                    return w
            return None

        window = self._poll(found, timeout, lambda: (
            f"no {'visible ' if visible else ''}window title={title!r} class={cls!r} "
            f"within {timeout} s; top-level windows: {self._window_list()}"))
        self.timings["last_window_wait"] = time.monotonic() - started
        return window

    def wait_for_no_window(self, title=None, cls=None, timeout=30):
        """Polls until no visible window with that title and/or class is left."""
        self._poll(lambda: not any(w["visible"] for w in self.windows(title, cls)), timeout,
                   lambda: f"window title={title!r} class={cls!r} still there after {timeout} s")

    def dialogs(self):
        """Visible message boxes: hwnd, caption, text, rect, buttons (id, text, rect), pid."""
        return self._probe_objects("dialogs")

    def wait_for_dialog(self, caption=None, timeout=30):
        def found():
            for d in self.dialogs():
                if caption is None or d["caption"] == caption:
                    return d
            return None

        return self._poll(found, timeout, lambda: (
            f"no message box caption={caption!r} within {timeout} s; "
            f"top-level windows: {self._window_list()}"))

    def wait_for_no_dialog(self, caption=None, timeout=30):
        self._poll(lambda: not any(caption is None or d["caption"] == caption
                                   for d in self.dialogs()), timeout,
                   lambda: f"message box caption={caption!r} still there after {timeout} s")

    def press_button(self, caption, button_id):
        """Posts the button's WM_COMMAND to the message box (a fallback to key())."""
        result = self.probe("press-button", "--caption", caption, "--id", button_id)
        if result.returncode != 0:
            raise AssertionError(f"no message box {caption!r} to press {button_id} in")

    def screen_metrics(self):
        return self._probe_objects("screen")[0]

    def cursor(self):
        """The pointer's current shape (hcursor, a handle value) and its x, y."""
        shapes = self._probe_objects("cursor")
        return shapes[0] if shapes else None

    # --------------------------------------------------------------------------- input

    def xdotool(self, *args, timeout=20):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                errors="replace", timeout=timeout)
        if result.returncode != 0:
            raise AssertionError(f"xdotool {' '.join(map(str, args))} failed: {result.stderr}")
        return result.stdout

    def desktop_origin(self):
        """Where Windows screen point (0, 0) lies on the X screen."""
        if not self.virtual_desktop:
            return (0, 0)
        if self._desktop_origin is None:
            geometry = self.xdotool("getwindowgeometry", "--shell", self._desktop_x_window())
            values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            self._desktop_origin = (int(values["X"]), int(values["Y"]))
        return self._desktop_origin

    def _desktop_x_window(self, timeout=30):
        def found():
            ids = self._search_x_windows("--name", "Wine desktop")
            return ids[0] if ids else None

        return self._poll(found, timeout, lambda: "no X window of the Wine virtual desktop")

    def _search_x_windows(self, *args):
        result = subprocess.run(["xdotool", "search", "--onlyvisible"] + list(args),
                                env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                                text=True, timeout=20)
        return [line for line in result.stdout.split() if line.isdigit()]

    def move_mouse(self, x, y):
        """Moves the pointer to Windows screen coordinates (x, y)."""
        ox, oy = self.desktop_origin()
        self.xdotool("mousemove", "--sync", int(x) + ox, int(y) + oy)

    def click(self, button=1):
        self.xdotool("click", button)

    def mouse_down(self, button=1):
        self.xdotool("mousedown", button)

    def mouse_up(self, button=1):
        self.xdotool("mouseup", button)

    def focus_window(self, title, timeout=30):
        """Gives X keyboard focus to the X window of the Wine window titled `title` (exact
        match) and returns its X window id. Without a window manager X focus would
        otherwise follow the pointer. With a virtual desktop Wine's windows are child X
        windows of the desktop window; focusing the child works there too."""
        pattern = "^" + re.sub(r"([][.*+?(){}|^$\\])", r"\\\1", title) + "$"

        def target():
            for wid in self._search_x_windows("--name", pattern):
                name = subprocess.run(["xdotool", "getwindowname", wid], env=self.env,
                                      stdin=subprocess.DEVNULL, capture_output=True,
                                      text=True, errors="replace", timeout=20).stdout
                if name.rstrip("\n") == title:
                    return wid
            return None

        def focused():
            wid = target()
            if not wid:
                return None
            try:
                subprocess.run(["xdotool", "windowfocus", "--sync", wid], env=self.env,
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=5)
            except subprocess.TimeoutExpired:
                return None
            now = subprocess.run(["xdotool", "getwindowfocus"], env=self.env,
                                 stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                 timeout=20).stdout.strip()
            return wid if now == wid else None

        return self._poll(focused, timeout,
                          lambda: f"could not give keyboard focus to the window {title!r}")

    def key(self, *names, title=None):
        """Presses and releases keys (xdotool names: Down, Up, Return, Escape, ...), after
        focusing the window titled `title` when given (else to whatever has the focus)."""
        if title is not None:
            self.focus_window(title)
        self.xdotool("key", "--delay", 60, *names)

    # ------------------------------------------------------------------------ pictures

    def screenshot(self, path):
        """Saves the whole X screen (format from the file name, e.g. .png)."""
        self._imagemagick(["import", "-window", "root", os.fspath(path)])
        return path

    def pixels(self, path=None):
        """A Screenshot of the screen now, or of a picture saved earlier by screenshot();
        its pixel(x, y) takes Windows screen coordinates."""
        if path is None:
            blob = self._imagemagick(["import", "-window", "root", "-depth", "8", "ppm:-"])
        else:
            blob = self._imagemagick(["convert", os.fspath(path), "-depth", "8", "ppm:-"])
        shot = parse_ppm(blob)
        shot.origin = self.desktop_origin()
        return shot

    def read_pixel(self, x, y):
        """The (r, g, b) at Windows screen coordinates (x, y), from a fresh screenshot."""
        return self.pixels().pixel(x, y)

    def _imagemagick(self, args):
        result = subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60)
        if result.returncode != 0:
            raise AssertionError(
                f"{' '.join(args)} failed: {result.stderr.decode(errors='replace')}")
        return result.stdout


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "--guard":
        sys.exit(_guard_main(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]))
    sys.exit("winehost.py is a library; see its docstring")
