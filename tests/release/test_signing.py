"""A release signed with a throwaway key: the installer and the screensaver it
carries verify against the key's certificate, the screensaver it carries is the signed
one, and the key's password reaches neither a command line nor the
build tree."""

import contextlib
import os
import re
import secrets
import shutil
import subprocess
import tempfile
import unittest
import zlib
from pathlib import Path

SOURCE = Path(os.environ["VELMORA_SOURCE_DIR"])
ARCH = os.environ["VELMORA_ARCH"]
PASSWORD = "pw-" + secrets.token_hex(12)
# Stands in for osslsigncode on the build's PATH and records every command line.
RECORDER = '#!/bin/sh\nprintf "%s\\n" "$*" >> "$0.argv"\nexec {real} "$@"\n'


def run(*argv, **kw):
    result = subprocess.run([str(a) for a in argv], capture_output=True, text=True, **kw)
    if result.returncode != 0:
        raise AssertionError(f"{argv[:3]} failed:\n{result.stdout[-3000:]}{result.stderr[-3000:]}")
    return result.stdout + result.stderr


def make_key(d):
    """A self-signed code-signing certificate (it is its own CA), as PKCS#12 under PASSWORD."""
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
        "-subj", "/CN=Throwaway Signer", "-addext", "keyUsage=critical,digitalSignature",
        "-addext", "extendedKeyUsage=codeSigning", "-keyout", d / "signer.key",
        "-out", d / "ca.pem")
    run("openssl", "pkcs12", "-export", "-in", d / "ca.pem", "-inkey", d / "signer.key",
        "-passout", "env:KEY_PASSWORD", "-out", d / "key.p12",
        env=dict(os.environ, KEY_PASSWORD=PASSWORD))


class SignedRelease(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(os.environ["VELMORA_TEST_OUTPUT"], exist_ok=True)
        temp = tempfile.TemporaryDirectory(prefix="signing-", dir=os.environ["VELMORA_TEST_OUTPUT"])
        cls.addClassCleanup(temp.cleanup)
        d = cls.dir = Path(temp.name)
        make_key(d)
        cls.ca, key, build = d / "ca.pem", d / "key.p12", d / "build"
        (d / "bin").mkdir()
        recorder = d / "bin/osslsigncode"
        recorder.write_text(RECORDER.format(real=shutil.which("osslsigncode")))
        recorder.chmod(0o755)
        env = dict(os.environ, VELMORA_SIGN_PASSWORD=PASSWORD, PATH=f"{d / 'bin'}:{os.environ['PATH']}")
        # The Windows side alone, signed as the release is: the cross build signs
        # the screensaver before the installer carries it, Dist.cmake the installer.
        cls.log = run("cmake", "-S", SOURCE, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                      f"-DCMAKE_TOOLCHAIN_FILE={SOURCE}/cmake/mingw-{ARCH}.cmake",
                      f"-DVELMORA_RLD_ENCODE={os.environ['VELMORA_RLD_ENCODE']}",
                      f"-DVELMORA_PAYLOAD_EMBED={os.environ['VELMORA_PAYLOAD_EMBED']}",
                      f"-DVELMORA_SIGN_PKCS12={key}", env=env)
        cls.log += run("cmake", "--build", build, "--target", "VelmoraSetup", "--parallel", "2",
                       "--verbose", env=env)
        cls.log += run("cmake", f"-DEXE={build}/VelmoraSetup.exe", f"-DSAVER={build}/Velmora.scr",
                       f"-DDIST={d}/dist", f"-DSIGN_PKCS12={key}", f"-DSIGN_NOTE={d}/signed",
                       "-P", SOURCE / "cmake/Dist.cmake", env=env)
        cls.exe, cls.saver = d / "dist/VelmoraSetup.exe", d / "dist/Velmora.scr"
        cls.sign_calls = Path(f"{recorder}.argv").read_text().splitlines()

    def test_installer_and_screensaver_verify_and_the_installer_carries_the_signed_one(self):
        for path in (self.exe, self.saver):
            with self.subTest(path.name):
                result = subprocess.run(["osslsigncode", "verify", "-CAfile", self.ca, "-in", path],
                                        capture_output=True, text=True)
                self.assertEqual(0, result.returncode, result.stdout + result.stderr)
                self.assertIn("Message digest algorithm  : SHA256", result.stdout)
                self.assertIn("Text description: Velmora", result.stdout)
        run("sha256sum", "--check", "--strict", "VelmoraSetup.exe.sha256", cwd=self.exe.parent)
        # Install writes what the zlib stream inside the installer inflates to.
        exe, saver, carried = self.exe.read_bytes(), self.saver.read_bytes(), set()
        for at in (m.start() for m in re.finditer(b"\x78[\x01\x5e\x9c\xda]", exe)):
            with contextlib.suppress(zlib.error):
                carried.add(zlib.decompressobj().decompress(exe[at:], len(saver) + 1))
        self.assertIn(saver, carried, "the installer does not carry the signed screensaver")

    def test_password_stays_off_command_lines_and_out_of_the_build_tree(self):
        self.assertEqual(2, sum(c.startswith("sign ") for c in self.sign_calls), self.sign_calls)
        self.assertNotIn(PASSWORD, "\n".join(self.sign_calls))
        self.assertNotIn(PASSWORD, self.log)
        leaks = [p for p in self.dir.rglob("*")
                 if p.is_file() and PASSWORD.encode() in p.read_bytes()]
        self.assertEqual([], leaks)


if __name__ == "__main__":
    unittest.main()
