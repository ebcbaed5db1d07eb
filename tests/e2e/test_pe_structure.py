"""Structural checks of the built installer executables.

Reads the two builds of VelmoraSetup.exe named by the environment:
    VELMORA_EXE_I686    the release build (PE32, i686)
    VELMORA_EXE_X86_64  the build that the Wine tests run (PE32+, x86_64)
and checks their headers, their imports and the resources compiled from
src/res/setup.rc. Run with /usr/bin/python3 (needs the python3-pefile package):

    VELMORA_EXE_I686=... VELMORA_EXE_X86_64=... \
        python3 -m unittest -v tests/e2e/test_pe_structure.py
"""

import os
import re
import struct
import unittest
import xml.etree.ElementTree as ElementTree
import zlib

import pefile

RT_CURSOR = 1
RT_ICON = 3
RT_GROUP_CURSOR = 12
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24

IMAGE_SUBSYSTEM_WINDOWS_GUI = 2

# DLLs that ship with Windows itself; anything else would have to travel
# next to the installer, which is a single file.
SYSTEM_DLLS = {
    "kernel32",
    "user32",
    "gdi32",
    "advapi32",
    "shell32",
    "ole32",
    "oleaut32",
    "comctl32",
    "msvcrt",
    "shlwapi",
}
SYSTEM_DLL_PATTERNS = [re.compile(r"^api-ms-win-crt-[a-z0-9-]+$")]


def is_system_dll(name):
    base = name.lower()
    if base.endswith(".dll"):
        base = base[: -len(".dll")]
    return base in SYSTEM_DLLS or any(p.match(base) for p in SYSTEM_DLL_PATTERNS)


def parse_bitmap_info_header(data):
    """The fields of a BITMAPINFOHEADER at the start of data, as a dict."""
    if len(data) < 40:
        raise AssertionError(f"image data too short for a BITMAPINFOHEADER: {len(data)} bytes")
    fields = struct.unpack_from("<IiiHHIIiiII", data, 0)
    names = (
        "biSize",
        "biWidth",
        "biHeight",
        "biPlanes",
        "biBitCount",
        "biCompression",
        "biSizeImage",
        "biXPelsPerMeter",
        "biYPelsPerMeter",
        "biClrUsed",
        "biClrImportant",
    )
    return dict(zip(names, fields))


def mask_bit(image, x, y):
    """AND-mask bit of pixel (x, y), counted from the top, of a 4-bpp icon image."""
    header = parse_bitmap_info_header(image)
    width = header["biWidth"]
    height = header["biHeight"] // 2
    colours = header["biClrUsed"] or 16
    xor_stride = ((width * 4 + 31) // 32) * 4
    and_stride = ((width + 31) // 32) * 4
    and_start = header["biSize"] + 4 * colours + xor_stride * height
    row = and_start + (height - 1 - y) * and_stride  # bottom-up
    return (image[row + x // 8] >> (7 - x % 8)) & 1


class PeStructureChecks:
    """The checks shared by both builds; subclasses name the build."""

    ENV = None
    MACHINE = None
    MAGIC = None

    @classmethod
    def setUpClass(cls):
        path = os.environ.get(cls.ENV)
        if not path:
            raise AssertionError(f"{cls.ENV} is not set: it must name a built VelmoraSetup.exe")
        if not os.path.isfile(path):
            raise AssertionError(f"{cls.ENV}={path}: no such file")
        cls.path = path
        cls.pe = pefile.PE(path, fast_load=False)

    @classmethod
    def tearDownClass(cls):
        cls.pe.close()

    # --- resource tree helpers -------------------------------------------------

    def resource_type(self, type_id):
        root = getattr(self.pe, "DIRECTORY_ENTRY_RESOURCE", None)
        self.assertIsNotNone(root, f"{self.path}: no resource directory")
        for entry in root.entries:
            if entry.name is None and entry.id == type_id:
                return entry
        found = [str(e.name) if e.name is not None else e.id for e in root.entries]
        self.fail(f"{self.path}: no resource type {type_id}; types present: {found}")

    def resource_data(self, type_id, name):
        """Bytes of resource (type_id, name); name is an int id or the exact stored string."""
        type_entry = self.resource_type(type_id)
        present = []
        for entry in type_entry.directory.entries:
            key = str(entry.name) if entry.name is not None else entry.id
            present.append(key)
            if key == name:
                languages = entry.directory.entries
                self.assertGreaterEqual(len(languages), 1, f"resource {type_id}/{name}: no data")
                data_entry = languages[0].data
                return self.pe.get_data(data_entry.struct.OffsetToData, data_entry.struct.Size)
        self.fail(f"resource type {type_id}: expected an entry named {name!r}, got {present}")

    def group_entries(self, type_id, name):
        """Header type and entries of an icon or cursor group resource."""
        data = self.resource_data(type_id, name)
        self.assertGreaterEqual(len(data), 6, f"group {name}: header truncated")
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        self.assertEqual(reserved, 0, f"group {name}: reserved word")
        self.assertEqual(len(data), 6 + 14 * count, f"group {name}: size for {count} entries")
        entries = [data[6 + 14 * i : 6 + 14 * (i + 1)] for i in range(count)]
        return kind, entries

    # --- headers and imports ---------------------------------------------------

    def test_machine_and_optional_header_format(self):
        machine = self.pe.FILE_HEADER.Machine
        magic = self.pe.OPTIONAL_HEADER.Magic
        self.assertEqual(
            machine, self.MACHINE, f"machine: expected {self.MACHINE:#x}, got {machine:#x}"
        )
        self.assertEqual(
            magic, self.MAGIC, f"optional header magic: expected {self.MAGIC:#x}, got {magic:#x}"
        )

    def test_windows_gui_subsystem(self):
        subsystem = self.pe.OPTIONAL_HEADER.Subsystem
        self.assertEqual(
            subsystem,
            IMAGE_SUBSYSTEM_WINDOWS_GUI,
            f"subsystem: expected {IMAGE_SUBSYSTEM_WINDOWS_GUI} (Windows GUI), got {subsystem}",
        )

    def test_imports_only_system_dlls(self):
        imports = getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", [])
        delayed = getattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])
        names = [entry.dll.decode("ascii", "replace") for entry in list(imports) + list(delayed)]
        self.assertTrue(names, f"{self.path}: no imported DLLs at all")
        self.assertIn("kernel32", {n.lower().removesuffix(".dll") for n in names})
        foreign = sorted({n for n in names if not is_system_dll(n)})
        self.assertEqual(foreign, [], f"DLLs outside Windows itself among the imports {names}")

    # --- cursor and icon -------------------------------------------------------

    def test_hint_cursor(self):
        kind, entries = self.group_entries(RT_GROUP_CURSOR, "HINT_CUR")
        self.assertEqual(kind, 2, "HINT_CUR: group type (2 = cursor)")
        self.assertEqual(len(entries), 1, "HINT_CUR: number of images")
        width, height, _, _, size, cursor_id = struct.unpack("<HHHHIH", entries[0])
        # Cursor directories count the XOR bitmap and the AND mask: height is doubled.
        self.assertEqual((width, height), (32, 64), "HINT_CUR: directory width, height (2 x 32)")

        image = self.resource_data(RT_CURSOR, cursor_id)
        self.assertEqual(len(image), size, f"HINT_CUR: RT_CURSOR {cursor_id} size vs directory")
        hot_x, hot_y = struct.unpack_from("<HH", image, 0)
        self.assertEqual((hot_x, hot_y), (1, 4), "HINT_CUR: hot spot (x, y)")
        bits = image[4:]
        header = parse_bitmap_info_header(bits)
        self.assertEqual(header["biSize"], 40, "HINT_CUR: BITMAPINFOHEADER size")
        self.assertEqual(
            (header["biWidth"], header["biHeight"]), (32, 64), "HINT_CUR: bitmap width, height"
        )
        self.assertEqual(header["biPlanes"], 1, "HINT_CUR: planes")
        self.assertEqual(header["biBitCount"], 4, "HINT_CUR: bits per pixel")
        self.assertEqual(header["biCompression"], 0, "HINT_CUR: compression (BI_RGB)")
        expected_size = 40 + 16 * 4 + 16 * 32 + 4 * 32
        self.assertEqual(len(bits), expected_size, "HINT_CUR: header + palette + XOR + AND size")

        # The tip must be drawn and the background must let the screen through.
        self.assertEqual(mask_bit(bits, 1, 4), 0, "HINT_CUR: hot spot pixel must be opaque")
        self.assertEqual(mask_bit(bits, 0, 0), 1, "HINT_CUR: corner pixel must be transparent")
        self.assertEqual(mask_bit(bits, 31, 31), 1, "HINT_CUR: corner pixel must be transparent")

    def test_setup_icon(self):
        kind, entries = self.group_entries(RT_GROUP_ICON, "SETUP_ICO")
        self.assertEqual(kind, 1, "SETUP_ICO: group type (1 = icon)")
        self.assertEqual(len(entries), 1, "SETUP_ICO: number of images")
        width, height, colours, _, planes, bit_count, size, icon_id = struct.unpack(
            "<BBBBHHIH", entries[0]
        )
        self.assertEqual((width, height), (32, 32), "SETUP_ICO: directory width, height")
        self.assertEqual(colours, 16, "SETUP_ICO: colour count")
        self.assertEqual(bit_count, 4, "SETUP_ICO: directory bits per pixel")

        image = self.resource_data(RT_ICON, icon_id)
        self.assertEqual(len(image), size, f"SETUP_ICO: RT_ICON {icon_id} size vs directory")
        header = parse_bitmap_info_header(image)
        self.assertEqual(header["biSize"], 40, "SETUP_ICO: BITMAPINFOHEADER size")
        self.assertEqual(
            (header["biWidth"], header["biHeight"]), (32, 64), "SETUP_ICO: bitmap width, height"
        )
        self.assertEqual(header["biBitCount"], 4, "SETUP_ICO: bits per pixel")
        self.assertEqual(header["biCompression"], 0, "SETUP_ICO: compression (BI_RGB)")

    # --- version information ---------------------------------------------------

    def test_version_information(self):
        self.resource_type(RT_VERSION)
        fixed_list = getattr(self.pe, "VS_FIXEDFILEINFO", None)
        self.assertTrue(fixed_list, "RT_VERSION: no VS_FIXEDFILEINFO")
        fixed = fixed_list[0]
        self.assertEqual(fixed.Signature, 0xFEEF04BD, "VS_FIXEDFILEINFO signature")

        def dotted(most, least):
            return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"

        file_version = dotted(fixed.FileVersionMS, fixed.FileVersionLS)
        product_version = dotted(fixed.ProductVersionMS, fixed.ProductVersionLS)
        self.assertEqual(file_version, "2.1.0.0", "fixed file version")
        self.assertEqual(product_version, "2.1.0.0", "fixed product version")

        strings = {}
        for file_info in getattr(self.pe, "FileInfo", None) or []:
            for block in file_info:
                if getattr(block, "Key", b"") == b"StringFileInfo":
                    for table in block.StringTable:
                        for key, value in table.entries.items():
                            strings[key.decode("utf-8")] = value.decode("utf-8")
        expected = {
            "ProductName": "Velmora",
            "FileDescription": "Velmora 2.01 installation setup",
            "FileVersion": "2.01",
            "ProductVersion": "2.01",
            "InternalName": "VelmoraSetup.exe",
            "OriginalFilename": "VelmoraSetup.exe",
        }
        got = {key: strings.get(key) for key in expected}
        self.assertEqual(got, expected, "StringFileInfo values")

    # --- manifest --------------------------------------------------------------

    def test_manifest_requires_administrator_without_dpi_awareness(self):
        data = self.resource_data(RT_MANIFEST, 1)
        root = ElementTree.fromstring(data)
        self.assertEqual(root.tag, "{urn:schemas-microsoft-com:asm.v1}assembly", "manifest root")

        def local(tag):
            return tag.rsplit("}", 1)[-1]

        levels = [e for e in root.iter() if local(e.tag) == "requestedExecutionLevel"]
        self.assertEqual(len(levels), 1, "manifest: requestedExecutionLevel elements")
        self.assertEqual(
            dict(levels[0].attrib),
            {"level": "requireAdministrator", "uiAccess": "false"},
            "manifest: requestedExecutionLevel attributes",
        )
        dpi = [local(e.tag) for e in root.iter() if local(e.tag).lower().startswith("dpiaware")]
        self.assertEqual(dpi, [], "manifest: DPI awareness elements")
        self.assertNotIn(b"dpiaware", data.lower(), "manifest: text mentions DPI awareness")


class I686Build(PeStructureChecks, unittest.TestCase):
    ENV = "VELMORA_EXE_I686"
    MACHINE = 0x14C  # IMAGE_FILE_MACHINE_I386
    MAGIC = 0x10B  # PE32


class X8664Build(PeStructureChecks, unittest.TestCase):
    ENV = "VELMORA_EXE_X86_64"
    MACHINE = 0x8664  # IMAGE_FILE_MACHINE_AMD64
    MAGIC = 0x20B  # PE32+


class CarriedScreensavers(unittest.TestCase):
    """Each installer carries the screensaver built for its own machine."""

    BUILDS = [("VELMORA_EXE_I686", "VELMORA_SAVER_I686", 0x14C),
              ("VELMORA_EXE_X86_64", "VELMORA_SAVER_X86_64", 0x8664)]

    def test_each_installer_carries_its_own_screensaver_build(self):
        for exe_env, saver_env, machine in self.BUILDS:
            with self.subTest(saver_env):
                with open(os.environ[exe_env], "rb") as f:
                    installer = f.read()
                with open(os.environ[saver_env], "rb") as f:
                    saver = f.read()
                pe = pefile.PE(data=saver)
                self.assertEqual(machine, pe.FILE_HEADER.Machine)
                self.assertEqual(IMAGE_SUBSYSTEM_WINDOWS_GUI, pe.OPTIONAL_HEADER.Subsystem)
                names = [e.dll.decode("ascii") for e in pe.DIRECTORY_ENTRY_IMPORT]
                self.assertEqual([], [n for n in names if not is_system_dll(n)], names)
                # The stream the build embeds: zlib's default level, as here.
                stream = zlib.compress(saver)
                self.assertEqual(b"\x78\x9c", stream[:2])
                self.assertIn(stream, installer)


IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA = 0x0020
IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100
IMAGE_DIRECTORY_ENTRY_BASERELOC = 5
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMAGE_SCN_MEM_WRITE = 0x80000000


class ReleaseHardening(unittest.TestCase):
    """Every shipped executable asks Windows for ASLR and DEP and has no
    section that is both writable and executable."""

    FILES = ["VELMORA_EXE_I686", "VELMORA_EXE_X86_64", "VELMORA_SAVER_I686", "VELMORA_SAVER_X86_64"]

    @classmethod
    def setUpClass(cls):
        cls.images = []
        for env in cls.FILES:
            with open(os.environ[env], "rb") as f:
                cls.images.append((env, pefile.PE(data=f.read(), fast_load=True)))

    def test_aslr_and_dep_requested(self):
        for env, pe in self.images:
            with self.subTest(env):
                self.check_aslr_and_dep(env, pe)

    def check_aslr_and_dep(self, env, pe):
        flags = pe.OPTIONAL_HEADER.DllCharacteristics
        wanted = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT
        if pe.OPTIONAL_HEADER.Magic == 0x20B:
            wanted |= IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA
            self.assertGreater(pe.OPTIONAL_HEADER.ImageBase, 0xFFFFFFFF, env)
        self.assertEqual(flags & wanted, wanted, f"{env}: DllCharacteristics {flags:#06x}")
        # Without relocations the loader could not move the image at all.
        self.assertFalse(pe.FILE_HEADER.Characteristics & IMAGE_FILE_RELOCS_STRIPPED, env)
        relocations = pe.OPTIONAL_HEADER.DATA_DIRECTORY[IMAGE_DIRECTORY_ENTRY_BASERELOC]
        self.assertGreater(relocations.Size, 0, f"{env}: no base relocations")

    def test_no_section_writable_and_executable(self):
        for env, pe in self.images:
            with self.subTest(env):
                self.check_sections(env, pe)

    def check_sections(self, env, pe):
        both = IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_MEM_WRITE
        offenders = [s.Name.rstrip(b"\0").decode("ascii", "replace")
                     for s in pe.sections if s.Characteristics & both == both]
        self.assertEqual(offenders, [], f"{env}: sections both writable and executable")


if __name__ == "__main__":
    unittest.main()
