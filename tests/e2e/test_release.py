"""The shipped executables as files, as Windows reads them: Windows GUI programs
for their machine that need only Windows' own DLLs (no C runtime DLL), with ASLR
and DEP and no section both writable and executable; their manifests and the
installer's icon group; the i686 programs, the ones shipped, importing only what
Windows 95 and NT 4.0 have (tests/release/imports.txt)."""

import os
import struct
import unittest
import xml.etree.ElementTree as ElementTree

import pefile

SYSTEM_DLLS = {"kernel32", "user32", "gdi32", "advapi32", "shell32", "ole32", "oleaut32",
               "shlwapi", "comctl32"}
C_RUNTIME = ("msvcr", "ucrt", "api-ms-win-crt-", "vcruntime", "crtdll")  # msvcrt too
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA = 0x40, 0x100, 0x20
WRITE_AND_EXECUTE = 0x80000000 | 0x20000000
IMPORTS = os.path.join(os.path.dirname(__file__), "..", "release", "imports.txt")
OLD_NT = ("3.1", "3.5", "3.51", "4.0")
FILES = [("VELMORA_EXE_I686", 0x14C), ("VELMORA_EXE_X86_64", 0x8664),
         ("VELMORA_SAVER_I686", 0x14C), ("VELMORA_SAVER_X86_64", 0x8664)]


class ShippedExecutables(unittest.TestCase):
    def test_each_file(self):
        for variable, machine in FILES:
            with self.subTest(variable):
                pe = pefile.PE(os.environ[variable])
                self.assertEqual(machine, pe.FILE_HEADER.Machine)
                self.assertEqual(2, pe.OPTIONAL_HEADER.Subsystem, "not a Windows GUI program")
                dlls = {e.dll.decode().lower().removesuffix(".dll")
                        for e in pe.DIRECTORY_ENTRY_IMPORT}
                self.assertIn("kernel32", dlls)
                self.assertEqual([], [d for d in dlls if d.startswith(C_RUNTIME)], "a C runtime DLL")
                self.assertLessEqual(dlls, SYSTEM_DLLS)
                wanted = DYNAMIC_BASE | NX_COMPAT | (HIGH_ENTROPY_VA if machine == 0x8664 else 0)
                self.assertEqual(wanted, pe.OPTIONAL_HEADER.DllCharacteristics & wanted)
                self.assertGreater(pe.OPTIONAL_HEADER.DATA_DIRECTORY[5].Size, 0, "no relocations")
                self.assertEqual([], [s.Name for s in pe.sections
                                      if s.Characteristics & WRITE_AND_EXECUTE
                                      == WRITE_AND_EXECUTE])

    def test_manifests(self):
        """The application manifest is resource 1 of type 24; Windows takes an
        element only in its own namespace. The installer's fixed 600 x 450
        picture is left for Windows to enlarge on a high-DPI screen, its GDI drawing
        made sharp meanwhile."""
        asm, smi = "{urn:schemas-microsoft-com:asm.v3}", "{http://schemas.microsoft.com/SMI/"
        compat = "{urn:schemas-microsoft-com:compatibility.v1}"
        settings = f"{asm}application/{asm}windowsSettings/{smi}"
        paths = {"level": f"{asm}trustInfo/{asm}security/{asm}requestedPrivileges/"
                          f"{asm}requestedExecutionLevel",
                 "dpiAware": settings + "2005/WindowsSettings}dpiAware",
                 "dpiAwareness": settings + "2016/WindowsSettings}dpiAwareness",
                 "gdiScaling": settings + "2017/WindowsSettings}gdiScaling",
                 "supportedOS": f"{compat}compatibility/{compat}application/{compat}supportedOS"}
        seen = {}
        for variable, _ in FILES:
            pe = pefile.PE(os.environ[variable])
            kind = next(e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == 24)
            (language,) = next(e for e in kind.directory.entries if e.id == 1).directory.entries
            root = ElementTree.fromstring(pe.get_data(language.data.struct.OffsetToData,
                                                      language.data.struct.Size))
            self.assertEqual("{urn:schemas-microsoft-com:asm.v1}assembly", root.tag, variable)
            seen[variable] = {name: [e.get("level") or e.get("Id") or e.text
                                     for e in root.findall(path)] for name, path in paths.items()}
            # uiAccess, read as Windows reads it (a missing one is false): true
            # would have Vista and later refuse to start an unsigned program.
            self.assertEqual(["false"], [e.get("uiAccess", "false").lower()
                                         for e in root.findall(paths["level"])], variable)
        systems = seen["VELMORA_EXE_I686"]["supportedOS"]
        self.assertEqual(4, len(systems))  # 7, 8, 8.1, and 10 and 11
        for variable, manifest in seen.items():
            saver = "SAVER" in variable
            self.assertEqual({"level": ["asInvoker" if saver else "requireAdministrator"],
                              "dpiAware": ["true/pm"] if saver else [],
                              "dpiAwareness": ["PerMonitorV2, PerMonitor"] if saver else [],
                              "gdiScaling": [] if saver else ["true"],
                              "supportedOS": systems}, manifest, variable)

    def test_icon_group(self):
        """SETUP_ICO as Windows reads it to choose an image: each entry of the group
        (size, bits, colours; width 0 is 256) and the image it names."""
        pe = pefile.PE(os.environ["VELMORA_EXE_I686"])

        def resource(kind, name):
            kinds = next(e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == kind)
            (language,) = next(e for e in kinds.directory.entries
                                if name in (e.id, str(e.name))).directory.entries
            return pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
        group, seen = resource(14, "SETUP_ICO"), []
        for at in range(6, 6 + 14 * struct.unpack_from("<H", group, 4)[0], 14):
            width, _, colours, _, _, bits, size, image_id = struct.unpack_from("<BBBBHHIH", group, at)
            image = resource(3, image_id)
            if image.startswith(b"\x89PNG\r\n\x1a\n"):  # the size and RGBA (colour type 6)
                kind = "PNG %dx%d %d,%d" % struct.unpack_from(">IIBB", image, 16)
            else:  # its own size and bits; alpha with smooth edges: values between 0 and 255
                _, w, h, _, depth = struct.unpack_from("<IiiHH", image)
                alphas = set(image[40 + 3:40 + w * w * 4:4]) if depth == 32 else set()
                kind = f"{w}x{h // 2} {depth}" + (" alpha" if len(alphas) > 2 else "")
            seen.append((width or 256, bits, colours, size == len(image), kind))
        self.assertEqual([(256, 32, 0, True, "PNG 256x256 8,6")]
                         + [(n, 32, 0, True, f"{n}x{n} 32 alpha") for n in (48, 32, 24, 16)]
                         + [(n, 4, 16, True, f"{n}x{n} 4") for n in (32, 16)], seen)

    def test_i686_programs_start_on_windows_95_and_nt_4(self):
        allowed = {}
        with open(IMPORTS) as f:
            for line in f:
                if line.strip() and not line.startswith("#"):
                    dll, routine, first_9x, first_nt = line.split()[:4]
                    allowed[dll, routine] = (first_9x, first_nt)
        for variable in ("VELMORA_EXE_I686", "VELMORA_SAVER_I686"):
            pe = pefile.PE(os.environ[variable])
            self.assertLessEqual((pe.OPTIONAL_HEADER.MajorSubsystemVersion,
                                  pe.OPTIONAL_HEADER.MajorOperatingSystemVersion), (4, 4))
            imported = {(e.dll.decode().lower(), i.name.decode() if i.name else f"#{i.ordinal}")
                        for e in pe.DIRECTORY_ENTRY_IMPORT for i in e.imports}
            self.assertEqual([], sorted(imported - allowed.keys()), f"{variable}: not listed")
            too_new = [(dll, r) for dll, r in imported
                       if allowed[dll, r][1] not in OLD_NT or allowed[dll, r][0] != "95"]
            self.assertEqual([], too_new, f"{variable}: newer than Windows 95 and NT 4.0")


if __name__ == "__main__":
    unittest.main()
