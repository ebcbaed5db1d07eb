"""The shipped executables as files: both installers and both screensavers are
Windows GUI programs for their machine that need only Windows' own DLLs, ask
for ASLR and DEP, have no section both writable and executable, and the
installer asks for administrator rights (it writes into the Windows directory)."""

import os
import unittest

import pefile

SYSTEM_DLLS = {"kernel32", "user32", "gdi32", "advapi32", "shell32", "ole32", "oleaut32",
               "msvcrt", "shlwapi", "comctl32"}
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA = 0x40, 0x100, 0x20
WRITE_AND_EXECUTE = 0x80000000 | 0x20000000
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
                self.assertLessEqual(dlls, SYSTEM_DLLS)
                wanted = DYNAMIC_BASE | NX_COMPAT | (HIGH_ENTROPY_VA if machine == 0x8664 else 0)
                self.assertEqual(wanted, pe.OPTIONAL_HEADER.DllCharacteristics & wanted)
                self.assertGreater(pe.OPTIONAL_HEADER.DATA_DIRECTORY[5].Size, 0, "no relocations")
                self.assertEqual([], [s.Name for s in pe.sections
                                      if s.Characteristics & WRITE_AND_EXECUTE
                                      == WRITE_AND_EXECUTE])

    def test_installer_asks_for_administrator_rights(self):
        for variable, _ in FILES[:2]:
            with open(os.environ[variable], "rb") as f:
                self.assertIn(b'level="requireAdministrator"', f.read(), variable)


if __name__ == "__main__":
    unittest.main()
