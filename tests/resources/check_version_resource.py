#!/usr/bin/python3
"""Compiles Tagswap's Windows resource script and reads back what Windows will.

    check_version_resource.py WINDRES RC_FILE|EXE_FILE ICO_FILE

The script goes through Debian's MinGW resource compiler, which compiles the
script or reads back what a built Tagswap.exe carries, and the .res is taken
apart field by field: the version
information Explorer shows under Properties, and the icon Explorer and Qt load
by name.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

# The values players see in the file's properties. They change only with a
# release, and then here on purpose.
EXPECTED_FIXED_VERSION = (0, 1, 0, 0)
EXPECTED_STRINGS = {
    "FileVersion": "0.01",
    "ProductVersion": "0.01",
    "ProductName": "Tagswap",
    "InternalName": "Tagswap",
    "OriginalFilename": "Tagswap.exe",
}
ENGLISH_US = 0x0409
UTF16_CODE_PAGE = 1200
VFT_APP = 0x1
VS_FFI_SIGNATURE = 0xFEEF04BD

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16

failures = []
from_program = False


def expect(condition, message):
    if not condition:
        failures.append(message)
    return condition


def align4(offset):
    return (offset + 3) & ~3


def read_id(data, at):
    """A resource type or name: an ordinal, or a NUL-terminated UTF-16 string."""
    if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def read_res(data):
    """The resources of a .res file as (type, name, language, bytes)."""
    resources, at = [], 0
    while at < len(data):
        data_size, header_size = struct.unpack_from("<II", data, at)
        kind, after = read_id(data, at + 8)
        name, after = read_id(data, after)
        after = align4(after)
        _, _, language = struct.unpack_from("<IHH", data, after)
        body = data[at + header_size:at + header_size + data_size]
        if data_size or kind != 0:  # the file opens with an empty entry
            resources.append((kind, name, language, body))
        at = align4(at + header_size + data_size)
    return resources


def read_version_node(data, at=0):
    """One node of the version tree: (key, value bytes, is text, children)."""
    length, value_length, is_text = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while struct.unpack_from("<H", data, key_end)[0] != 0:
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = align4(key_end + 2)
    value_size = value_length * 2 if is_text else value_length
    value = data[value_at:value_at + value_size]
    children, child = [], align4(value_at + value_size)
    while child < end:
        node, child_length = read_version_node(data, child)
        children.append(node)
        child = align4(child + child_length)
    return (key, value, is_text, children), length


def check_version(resources):
    versions = [r for r in resources if r[0] == RT_VERSION]
    if not expect(len(versions) == 1, f"expected one version resource, found {len(versions)}"):
        return
    _, _, language, body = versions[0]
    # windres reads a built program's resources back without their language.
    expect(language in (ENGLISH_US, 0) if from_program else language == ENGLISH_US,
           f"version resource language is {language:#06x}, not 0x0409")
    (key, fixed, _, children), _ = read_version_node(body)
    expect(key == "VS_VERSION_INFO", f"version root is named {key!r}")
    (signature, _, file_ms, file_ls, product_ms, product_ls, _, flags, file_os,
     file_type, _, _, _) = struct.unpack_from("<13I", fixed)
    expect(signature == VS_FFI_SIGNATURE, f"fixed file info signature is {signature:#x}")

    def quad(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    expect(quad(file_ms, file_ls) == EXPECTED_FIXED_VERSION,
           f"file version is {quad(file_ms, file_ls)}, expected {EXPECTED_FIXED_VERSION}")
    expect(quad(product_ms, product_ls) == EXPECTED_FIXED_VERSION,
           f"product version is {quad(product_ms, product_ls)}, expected {EXPECTED_FIXED_VERSION}")
    expect(flags == 0, f"file flags are {flags:#x}: a release is neither debug nor prerelease")
    expect(file_type == VFT_APP, f"file type is {file_type:#x}, not an application")
    expect(file_os & 0x4 == 0x4, f"file OS {file_os:#x} is not 32-bit Windows")

    blocks = {node[0]: node for node in children}
    expect(set(blocks) == {"StringFileInfo", "VarFileInfo"},
           f"version blocks are {sorted(blocks)}")
    if "StringFileInfo" in blocks:
        tables = blocks["StringFileInfo"][3]
        names = [t[0] for t in tables]
        expect(names == ["040904B0"], f"string tables are {names}, expected ['040904B0']")
        for table in tables[:1]:
            strings = {}
            for name, value, is_text, _ in table[3]:
                expect(is_text == 1, f"{name} is not stored as text")
                text = value.decode("utf-16-le")
                expect(text.endswith("\0"), f"{name} lacks its terminating NUL")
                strings[name] = text.rstrip("\0")
            expect(strings == EXPECTED_STRINGS,
                   f"version strings are {strings}, expected {EXPECTED_STRINGS}")
    if "VarFileInfo" in blocks:
        variables = {v[0]: v[1] for v in blocks["VarFileInfo"][3]}
        translation = variables.get("Translation", b"")
        pairs = [struct.unpack_from("<HH", translation, i) for i in range(0, len(translation), 4)]
        expect(pairs == [(ENGLISH_US, UTF16_CODE_PAGE)],
               f"translations are {pairs}, expected [(0x0409, 1200)]")


def check_icon(resources, ico):
    groups = [r for r in resources if r[0] == RT_GROUP_ICON]
    names = [g[1] for g in groups]
    # Qt on Windows loads the window icon by exactly this name.
    if not expect(names == ["IDI_ICON1"], f"icon groups are {names}, expected ['IDI_ICON1']"):
        return
    icons = {r[1]: r[3] for r in resources if r[0] == RT_ICON}
    group = groups[0][3]
    _, _, count = struct.unpack_from("<HHH", group, 0)
    _, _, ico_count = struct.unpack_from("<HHH", ico, 0)
    expect(count == ico_count, f"icon group holds {count} images, the .ico {ico_count}")
    for i in range(min(count, ico_count)):
        width, height, _, _, _, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        _, _, _, _, _, _, ico_size, ico_offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        image = icons.get(icon_id)
        label = f"icon image {i} ({width}x{height}, {bits} bits)"
        if expect(image is not None, f"{label} names a missing icon resource {icon_id}"):
            expect(image == ico[ico_offset:ico_offset + ico_size] and size == ico_size,
                   f"{label} differs from the .ico's")


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    windres, rc_file, ico_file = argv[1:]
    if shutil.which(windres) is None:
        sys.exit(f"{windres} is missing; install the Debian package binutils-mingw-w64-x86-64")
    with tempfile.TemporaryDirectory() as temp:
        res_file = os.path.join(temp, "tagswap.res")
        global from_program
        from_program = rc_file.lower().endswith(".exe")
        if from_program:
            command = [windres, "-i", rc_file, "-O", "res", "-o", res_file]
        else:
            # The MinGW C compiler, windres's usual preprocessor, is a large
            # package of its own; the resource script needs only comments removed.
            command = [windres, "--preprocessor=cpp", "-i", rc_file, "-O", "res", "-o", res_file]
        compiled = subprocess.run(command, capture_output=True, text=True)
        if compiled.returncode != 0:
            sys.exit(f"{' '.join(command)} failed:\n{compiled.stdout}{compiled.stderr}")
        with open(res_file, "rb") as f:
            resources = read_res(f.read())
    with open(ico_file, "rb") as f:
        ico = f.read()
    check_version(resources)
    check_icon(resources, ico)
    for failure in failures:
        print(f"FAIL: {failure}")
    if failures:
        sys.exit(1)
    print("version information and icon resources as expected")


if __name__ == "__main__":
    main(sys.argv)
