#!/usr/bin/env python3
"""Checks the shipped i686 files as files, without running them: what only they can show.

    check_shipped.py BUILD_DIR

setup.exe: PE32, i386, Windows GUI; only system DLLs imported; string 109, icon group 130
(16 x 16 and 32 x 32 in 256 colours), accelerators 109 and the manifest (x86, Common
Controls 6.0.0.0, run as the invoker without UI access, the supported Windows versions 7 to
11, UTF-8 as the ANSI code page); at most 96 KiB beside its two embedded images, each a word
a byte. UnzDll.dll: PE32, i386, a DLL; only system DLLs imported; exactly the two exports,
undecorated. setup.exe, UnzDll.dll and Zav.exe: a version resource that names the
product and version of install/shell/Product.h (setup.exe's file version ending in the setup
version number), and no time stamp of the build in their headers or directories.
Prints one line per failed check; exits 1 when any failed.
"""
import os
import re
import struct
import sys
import time
import xml.etree.ElementTree as ElementTree

MACHINE_I386 = 0x014C
MAGIC_PE32 = 0x010B
SUBSYSTEM_GUI = 2
FILE_DLL = 0x2000
RT_ICON, RT_STRING, RT_GROUP_ICON, RT_ACCELERATOR, RT_VERSION, RT_MANIFEST = 3, 6, 14, 9, 16, 24
FALT, FVIRTKEY = 0x10, 0x01
# What setup.exe may weigh beyond its payload: the two images, stored as 16-bit words.
OWN_BYTES_LIMIT = 96 * 1024
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "shell32.dll",
               "shlwapi.dll", "ole32.dll", "advapi32.dll", "msvcrt.dll"}

PRODUCT_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "install", "shell",
                              "Product.h")
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
VS_FF_PRERELEASE = 0x2
VFT_APP, VFT_DLL = 1, 2
LANGUAGE_EN_US, CODE_PAGE_UNICODE = 0x0409, 1200
DIRECTORY_EXPORT, DIRECTORY_RESOURCE, DIRECTORY_DEBUG, DIRECTORY_LOAD_CONFIG = 0, 2, 6, 10
DEBUG_ENTRY_SIZE = 28

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


class Image:
    """A PE file read from disk: headers, sections and virtual-address reads."""

    def __init__(self, path):
        self.name = os.path.basename(path)
        with open(path, "rb") as f:
            self.data = f.read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        check(self.data[pe:pe + 4] == b"PE\0\0", f"{self.name}: no PE signature")
        (self.machine, sections, self.time_stamp, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", self.data, optional)[0]
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
        # The data directories: at 96 in PE32, at 112 in PE32+ (64-bit fields before them).
        first = optional + (96 if self.magic == MAGIC_PE32 else 112)
        self.directories = [struct.unpack_from("<II", self.data, first + 8 * i) for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, vsize, va, raw_size, raw = struct.unpack_from("<8sIIII", self.data, table + 40 * i)
            self.sections.append((va, max(vsize, raw_size), raw))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(f"{self.name}: address {rva:#x} in no section")

    def u16(self, rva):
        return struct.unpack_from("<H", self.data, self.offset(rva))[0]

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def bytes(self, rva, size):
        start = self.offset(rva)
        return self.data[start:start + size]

    def imports(self):
        rva, _ = self.directories[1]
        names = []
        while rva and self.u32(rva + 12):
            names.append(self.text(self.u32(rva + 12)))
            rva += 20
        return names

    def exports(self):
        rva, _ = self.directories[0]
        if not rva:
            return []
        count, names = self.u32(rva + 24), self.u32(rva + 32)
        return [self.text(self.u32(names + 4 * i)) for i in range(count)]

    def resource(self, kind, name):
        """The data of resource KIND/NAME (integer ids), first language; None if missing."""
        base, _ = self.directories[2]
        if not base:
            return None
        entry = base
        for wanted in (kind, name, None):
            named, ids = self.u16(entry + 12), self.u16(entry + 14)
            found = None
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, self.offset(entry + 16 + 8 * i))
                if wanted is None or (not ident & 0x80000000 and ident == wanted):
                    found = target
                    break
            if found is None:
                return None
            if not found & 0x80000000:
                data_rva, size = self.u32(base + found), self.u32(base + found + 4)
                return self.bytes(data_rva, size)
            entry = base + (found & 0x7FFFFFFF)
        return None


def check_i386(image, dll):
    check(image.machine == MACHINE_I386, f"{image.name}: machine {image.machine:#x}, not i386")
    check(image.magic == MAGIC_PE32, f"{image.name}: optional header {image.magic:#x}, not PE32")
    check(bool(image.characteristics & FILE_DLL) == dll, f"{image.name}: DLL flag is {not dll}")
    imports = image.imports()
    check(imports, f"{image.name}: imports nothing")
    for name in imports:
        check(name.lower() in SYSTEM_DLLS, f"{image.name}: imports {name}, not a system DLL")


def check_setup(path):
    image = Image(path)
    check_i386(image, dll=False)
    check(image.subsystem == SUBSYSTEM_GUI, f"setup.exe: subsystem {image.subsystem}, not GUI")

    # String 109 is the 14th string (109 % 16 = 13) of block 7: counted UTF-16 strings.
    block = image.resource(RT_STRING, 109 // 16 + 1)
    strings = []
    at = 0
    while block is not None and at < len(block):
        length = struct.unpack_from("<H", block, at)[0]
        strings.append(block[at + 2:at + 2 + 2 * length].decode("utf-16-le"))
        at += 2 + 2 * length
    check(len(strings) > 109 % 16 and strings[109 % 16] == "INSTALL", "setup.exe: string 109 is not INSTALL")

    group = image.resource(RT_GROUP_ICON, 130)
    sizes = set()
    if check(group is not None and len(group) >= 6, "setup.exe: no icon group 130"):
        for i in range(struct.unpack_from("<H", group, 4)[0]):
            width, height, _, _, _, bits, _, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            icon = image.resource(RT_ICON, ident)
            header_bits = struct.unpack_from("<H", icon, 14)[0] if icon and len(icon) >= 40 else None
            check(bits == 8 and header_bits == 8, f"setup.exe: icon {width}x{height} is not 256 colours")
            sizes.add((width, height))
    check(sizes == {(16, 16), (32, 32)}, f"setup.exe: icon sizes {sorted(sizes)}, not 16 and 32")

    table = image.resource(RT_ACCELERATOR, 109)
    keys = set()
    if check(table is not None, "setup.exe: no accelerator table 109"):
        for at in range(0, len(table), 8):
            flags, key, command = struct.unpack_from("<HHH", table, at)
            if check(command == 104 and flags & FALT and not flags & FVIRTKEY,
                     f"setup.exe: accelerator {key} is not Alt+character for 104"):
                keys.add(chr(key))
    check(keys == {"?", "/"}, f"setup.exe: accelerator keys {sorted(keys)}, not ? and /")

    check_manifest(image.resource(RT_MANIFEST, 1))


# The manifest's namespaces, and the ids of Windows 7, 8, 8.1 and 10/11 in its compatibility list.
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SETTINGS_2019 = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # Windows 10 and 11
}


def check_manifest(data):
    """The manifest as the loader reads it: elements in their namespaces, not text that looks right."""
    try:
        root = ElementTree.fromstring(data or b"")
    except ElementTree.ParseError as error:
        check(False, f"setup.exe: the manifest is no XML ({error})")
        return
    check(root.tag == ASM_V1 + "assembly", f"setup.exe: the manifest's root is {root.tag}")

    controls = [identity.attrib for identity in
                root.findall(f"{ASM_V1}dependency/{ASM_V1}dependentAssembly/{ASM_V1}assemblyIdentity")
                if identity.get("name") == "Microsoft.Windows.Common-Controls"]
    if check(len(controls) == 1, "setup.exe: the manifest lacks the Common Controls dependency"):
        for name, value in (("type", "win32"), ("version", "6.0.0.0"), ("processorArchitecture", "X86"),
                            ("publicKeyToken", "6595b64144ccf1df"), ("language", "*")):
            check(controls[0].get(name) == value,
                  f"setup.exe: Common Controls {name} is {controls[0].get(name)}, not {value}")
    check(b"amd64" not in (data or b""), "setup.exe: the manifest names amd64")

    levels = root.findall(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                          f"{ASM_V3}requestedExecutionLevel")
    if check(len(levels) == 1, "setup.exe: the manifest requests no execution level"):
        check(levels[0].get("level") == "asInvoker",
              f"setup.exe: execution level {levels[0].get('level')}, not asInvoker")
        check(levels[0].get("uiAccess") == "false", f"setup.exe: uiAccess {levels[0].get('uiAccess')}, not false")

    supported = {os.get("Id", "").lower() for os in
                 root.findall(f"{COMPATIBILITY}compatibility/{COMPATIBILITY}application/{COMPATIBILITY}supportedOS")}
    check(supported == SUPPORTED_OS, f"setup.exe: supported Windows ids {sorted(supported)}")

    pages = root.findall(f"{ASM_V3}application/{ASM_V3}windowsSettings/{SETTINGS_2019}activeCodePage")
    check(len(pages) == 1 and (pages[0].text or "").strip() == "UTF-8",
          "setup.exe: the manifest does not make UTF-8 the ANSI code page")


def check_library(path):
    image = Image(path)
    check_i386(image, dll=True)
    exports = image.exports()
    check(sorted(exports) == ["GetUnzDllVersion", "UnzDllExec"],
          f"UnzDll.dll: exports {exports}, not exactly the two undecorated names")


def product_constants():
    """What install/shell/Product.h names: the product, its version text and numbers, the setup number."""
    with open(PRODUCT_HEADER, encoding="utf-8") as f:
        header = f.read()
    name = re.search(r'ProductVersionName\[\] = "([^ "]+) (([0-9]+)\.([0-9]+)(?: beta ([0-9]+))?)"', header)
    number = re.search(r"SetupVersionNumber = ([0-9]+)", header)
    if not name or not number:
        sys.exit(f"check_shipped: {PRODUCT_HEADER} names no product version or setup version number")
    return {"product": name[1], "version": name[2], "beta": name[5] is not None, "setup": int(number[1]),
            "numbers": (int(name[3]), int(name[4]), 0, int(name[5] or 0))}


def version_node(data, at):
    """One node of a VS_VERSIONINFO tree: (key, value bytes, children, length)."""
    length, value_length, is_text = struct.unpack_from("<HHH", data, at)
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value = data[value_at:value_at + (2 * value_length if is_text else value_length)]
    children = []
    child = (value_at + len(value) + 3) & ~3
    while child < at + length:
        node = version_node(data, child)
        children.append(node)
        child = (child + node[3] + 3) & ~3
    return key, value, children, length


def version_text(value):
    return value.decode("utf-16-le").rstrip("\0")


def check_version(image, file_type, file_build=None):
    """The version resource names the product, its version and the file, in U.S. English."""
    expected = product_constants()
    data = image.resource(RT_VERSION, 1)
    if not check(data is not None and len(data) > 6, f"{image.name}: no version resource"):
        return
    key, fixed, children, _ = version_node(data, 0)
    check(key == "VS_VERSION_INFO" and len(fixed) == 52, f"{image.name}: the version resource is no VS_VERSIONINFO")
    (signature, _, file_ms, file_ls, product_ms, product_ls, flags_mask, flags, _, kind,
     _, _, _) = struct.unpack_from("<13I", fixed.ljust(52, b"\0"))
    check(signature == VS_FIXEDFILEINFO_SIGNATURE, f"{image.name}: no VS_FIXEDFILEINFO signature")
    numbers = expected["numbers"]
    file_numbers = numbers[:3] + (file_build,) if file_build is not None else numbers
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    check(split(product_ms, product_ls) == numbers,
          f"{image.name}: product version {split(product_ms, product_ls)}, not {numbers}")
    check(split(file_ms, file_ls) == file_numbers,
          f"{image.name}: file version {split(file_ms, file_ls)}, not {file_numbers}")
    check(bool(flags & flags_mask & VS_FF_PRERELEASE) == expected["beta"],
          f"{image.name}: the pre-release flag does not say whether this is a beta")
    check(kind == file_type, f"{image.name}: file type {kind}, not {file_type}")

    blocks = {node[0]: node for node in children}
    tables = blocks.get("StringFileInfo", (None, None, [], 0))[2]
    strings = {}
    for table in tables:
        check(table[0].upper() == "040904B0", f"{image.name}: strings for {table[0]}, not U.S. English in Unicode")
        strings.update((node[0], version_text(node[1])) for node in table[2])
    wanted = {"ProductName": expected["product"], "ProductVersion": expected["version"],
              "FileVersion": ".".join(map(str, file_numbers)), "OriginalFilename": image.name}
    for name, value in wanted.items():
        check(strings.get(name) == value, f"{image.name}: {name} is {strings.get(name)!r}, not {value!r}")
    check(expected["product"] in strings.get("FileDescription", ""),
          f"{image.name}: FileDescription {strings.get('FileDescription')!r} does not name the product")
    variables = blocks.get("VarFileInfo", (None, None, [], 0))[2]
    translations = [node[1] for node in variables if node[0] == "Translation"]
    check(translations == [struct.pack("<HH", LANGUAGE_EN_US, CODE_PAGE_UNICODE)],
          f"{image.name}: the translation is not U.S. English in Unicode")


def time_stamps(image):
    """Every time stamp in the file's header and directories, as (where, value)."""
    stamps = [("file header", image.time_stamp)]
    rva, _ = image.directories[DIRECTORY_EXPORT]
    if rva:
        stamps.append(("export directory", image.u32(rva + 4)))
    base, _ = image.directories[DIRECTORY_RESOURCE]
    tables = [base] if base else []
    while tables:
        table = tables.pop()
        stamps.append(("resource directory", image.u32(table + 4)))
        for i in range(image.u16(table + 12) + image.u16(table + 14)):
            target = image.u32(table + 16 + 8 * i + 4)
            if target & 0x80000000:
                tables.append(base + (target & 0x7FFFFFFF))
    rva, size = image.directories[DIRECTORY_DEBUG]
    for entry in range(rva, rva + size if rva else rva, DEBUG_ENTRY_SIZE):
        stamps.append(("debug directory", image.u32(entry + 4)))
    rva, _ = image.directories[DIRECTORY_LOAD_CONFIG]
    if rva:
        stamps.append(("load configuration", image.u32(rva + 4)))
    return stamps


def check_time_stamps(image):
    """No time of the build in the file: each stamp is the fixed 0, so that builds compare equal."""
    for where, value in time_stamps(image):
        check(value == 0, f"{image.name}: {where} time stamp {value:#x} "
                          f"({time.strftime('%Y-%m-%d %H:%M:%S', time.gmtime(value))} UTC), not 0")


def check_module_identity(path, file_type, file_build=None):
    image = Image(path)
    check_version(image, file_type, file_build)
    check_time_stamps(image)


def check_size(build):
    setup, library, archive = (os.path.getsize(os.path.join(build, name))
                               for name in ("setup.exe", "UnzDll.dll", "zav.zip"))
    own = setup - 2 * (library + archive)
    check(own <= OWN_BYTES_LIMIT, f"setup.exe: {own} bytes beside its payload, over {OWN_BYTES_LIMIT}")


def main():
    build = sys.argv[1]
    check_setup(os.path.join(build, "setup.exe"))
    check_library(os.path.join(build, "UnzDll.dll"))
    check_size(build)
    setup_number = product_constants()["setup"]
    check_module_identity(os.path.join(build, "setup.exe"), VFT_APP, file_build=setup_number)
    check_module_identity(os.path.join(build, "UnzDll.dll"), VFT_DLL)
    check_module_identity(os.path.join(build, "product", "Zav.exe"), VFT_APP)
    for failure in failures:
        print(failure)
    print(f"shipped files: {len(failures)} failed checks")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
