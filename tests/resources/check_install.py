#!/usr/bin/python3
"""Installs the build into a scratch prefix and checks what a desktop needs.

    check_install.py CMAKE APPSTREAMCLI BUILD_DIR SOURCE_DIR APP_ID PROJECT_VERSION

A menu finds the program through the desktop entry, the entry names its
icon and launcher, software centres read the AppStream file, which names the
entry and the screenshots: each link must land on a file that is installed
(or, for the screenshots, committed). AppStream's own tree check reads the
installed files together as a software centre does.
"""

import configparser
import os
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
    return condition


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def is_executable(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def check(prefix, source_dir, app_id, version):
    share = os.path.join(prefix, "share")
    expect(is_executable(os.path.join(prefix, "bin", "tagswap")), "bin/tagswap is not installed")
    expect(is_executable(os.path.join(prefix, "bin", "tagswap-spray")),
           "bin/tagswap-spray is not installed")

    desktop_path = os.path.join(share, "applications", f"{app_id}.desktop")
    if expect(os.path.isfile(desktop_path), f"{desktop_path} is not installed"):
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str
        entry.read(desktop_path, encoding="utf-8")
        group = entry["Desktop Entry"]
        expect(group.get("Icon") == app_id, f"the entry's Icon is {group.get('Icon')!r}, not {app_id!r}")
        program = group.get("Exec", "").split()
        expect(len(program) == 1,
               f"the entry passes arguments ({group.get('Exec')!r}); Tagswap's belong to the game")
        if program:
            expect(is_executable(os.path.join(prefix, "bin", program[0])),
                   f"the entry starts {program[0]}, which is not installed in bin/")
        categories = group.get("Categories", "").split(";")
        expect("Game" in categories and "Utility" in categories,
               f"the entry's categories are {categories}")

    for size in ICON_SIZES:
        icon = os.path.join(share, "icons", "hicolor", f"{size}x{size}", "apps", f"{app_id}.png")
        if expect(os.path.isfile(icon), f"no {size}x{size} icon installed"):
            expect(png_size(icon) == (size, size),
                   f"the {size}x{size} icon is {png_size(icon)} pixels")
    scalable = os.path.join(share, "icons", "hicolor", "scalable", "apps", f"{app_id}.svg")
    if expect(os.path.isfile(scalable), "no scalable icon installed"):
        root = ElementTree.parse(scalable).getroot()
        expect(root.tag == "{http://www.w3.org/2000/svg}svg", "the scalable icon is not an SVG")

    metainfo_path = os.path.join(share, "metainfo", f"{app_id}.metainfo.xml")
    if expect(os.path.isfile(metainfo_path), f"{metainfo_path} is not installed"):
        component = ElementTree.parse(metainfo_path).getroot()
        expect(component.findtext("id") == app_id, f"AppStream id is {component.findtext('id')!r}")
        expect(component.findtext("launchable") == f"{app_id}.desktop",
               f"AppStream launches {component.findtext('launchable')!r}")
        releases = [r.get("version") for r in component.iter("release")]
        expect(version in releases, f"AppStream releases {releases} miss {version}")
        images = [i.text.strip() for i in component.iter("image")]
        expect(images, "AppStream names no screenshot")
        for url in images:
            # Served from the repository, so the file must be committed there.
            relative = url.split("/raw/main/", 1)[-1]
            expect(os.path.isfile(os.path.join(source_dir, relative)),
                   f"screenshot {url} has no file {relative} in the repository")

    readme = os.path.join(share, "doc", "tagswap", "readme.txt")
    expect(os.path.isfile(readme), "the players' readme.txt is not installed")


def main(argv):
    if len(argv) != 7:
        sys.exit(__doc__)
    cmake, appstreamcli, build_dir, source_dir, app_id, version = argv[1:]
    with tempfile.TemporaryDirectory() as prefix:
        installed = subprocess.run([cmake, "--install", build_dir, "--prefix", prefix],
                                   capture_output=True, text=True)
        if installed.returncode != 0:
            sys.exit(f"cmake --install failed:\n{installed.stdout}{installed.stderr}")
        check(prefix, source_dir, app_id, version)
        tree = subprocess.run([appstreamcli, "validate-tree", "--no-net", "--explain", prefix],
                              capture_output=True, text=True)
        expect(tree.returncode == 0,
               f"appstreamcli validate-tree failed:\n{tree.stdout}{tree.stderr}")
    for failure in failures:
        print(f"FAIL: {failure}")
    if failures:
        sys.exit(1)
    print("installed files are complete and name each other correctly")


if __name__ == "__main__":
    main(sys.argv)
