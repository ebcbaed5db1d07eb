#!/usr/bin/python3
"""Runs the built installer under Wine in build/run-prefix: the i686 build (the
release product) under 32-bit Wine where this machine can run it, otherwise the
x86_64 build of the same sources under 64-bit Wine.

With a usable $DISPLAY the window opens there and the script returns the
installer's exit code when the user ends it. Without one, it starts a virtual
display (Xvfb), waits for the window, saves a screenshot, says where, and
ends the installer with Esc.

On Windows, run build/windows-i686/VelmoraSetup.exe.
"""

import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("VELMORA_BUILD_DIR", os.path.join(ROOT, "build"))


def configured_arch():
    """The architecture that the build chose for running under Wine."""
    if not os.path.exists(os.path.join(BUILD, "CMakeCache.txt")):
        return "x86_64"
    with open(os.path.join(BUILD, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("VELMORA_TEST_ARCH:"):
                return line.split("=", 1)[1].strip()
    return "x86_64"


I686 = configured_arch() == "i686"
ARCH, LOADER, SERVER = (("i686", "/usr/lib/wine/wine", "/usr/lib/wine/wineserver32") if I686 else
                        ("x86_64", "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver64"))
EXE = os.path.join(BUILD, "windows-" + ARCH, "VelmoraSetup.exe")
PREFIX = os.path.join(BUILD, "run-prefix-" + ARCH)
SCREENSHOT = os.path.join(BUILD, "run-screenshot.png")
TITLE = " Setup"


def wine_environment(display):
    env = dict(os.environ)
    env.update({
        "DISPLAY": display,
        "WINEPREFIX": PREFIX,
        "WINEARCH": "win32" if I686 else "win64",
        "WINELOADER": LOADER,
        "WINESERVER": SERVER,
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
    })
    return env


def display_usable(display):
    if not display:
        return False
    result = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True,
                            env=dict(os.environ, DISPLAY=display))
    return result.returncode == 0


def boot_prefix(env):
    if os.path.exists(os.path.join(PREFIX, "system.reg")):
        return
    print(f"Creating the Wine prefix {PREFIX} ...", flush=True)
    subprocess.run([LOADER, "wineboot", "-i"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def poll(check, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = check()
        if value:
            return value
        time.sleep(0.2)
    raise SystemExit(f"run_installer: {what} within {timeout} s")


def find_window(env):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$"],
                            capture_output=True, text=True, env=env)
    ids = result.stdout.split()
    return ids[0] if ids else None


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                             "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            raise SystemExit("run_installer: Xvfb did not start")
        number += chunk
    os.close(read_end)
    return xvfb, ":" + number.decode().strip()


def run_on_virtual_display():
    xvfb, display = start_xvfb()
    env = wine_environment(display)
    try:
        boot_prefix(env)
        installer = subprocess.Popen([LOADER, EXE], env=env)
        window = poll(lambda: find_window(env), 60, "the installer window did not appear")
        # The menu paints right after the window appears; wait until the
        # screen shows more than the window's white background.
        def painted():
            subprocess.run(["import", "-window", "root", SCREENSHOT], env=env, check=True)
            colours = subprocess.run(
                ["convert", SCREENSHOT, "-crop", "1x1+400+400", "txt:-"],
                capture_output=True, text=True, env=env).stdout
            return "#FFFFFF" not in colours.upper() and "#000000" not in colours.upper()
        poll(painted, 30, "the installer window was not painted")
        print(f"No display: the installer ran on a virtual display.\n"
              f"Screenshot of its window: {SCREENSHOT}")
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env)
        subprocess.run(["xdotool", "key", "Escape"], env=env)
        code = installer.wait(timeout=30)
        print(f"Ended it with Esc; exit code {code}.")
        return code
    finally:
        subprocess.run([SERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
        xvfb.terminate()
        xvfb.wait()


def main():
    if not os.path.exists(EXE):
        raise SystemExit(f"run_installer: {EXE} is not built (run scripts/build.sh)")
    for tool in (LOADER, "xdotool", "Xvfb", "import"):
        if shutil.which(tool) is None:
            raise SystemExit(f"run_installer: {tool} is missing (run scripts/install-deps.sh)")
    display = os.environ.get("DISPLAY", "")
    if display_usable(display):
        env = wine_environment(display)
        boot_prefix(env)
        print(f"Running {EXE} ({ARCH}) on {display} in the prefix {PREFIX}", flush=True)
        return subprocess.run([LOADER, EXE], env=env).returncode
    return run_on_virtual_display()


if __name__ == "__main__":
    sys.exit(main())
