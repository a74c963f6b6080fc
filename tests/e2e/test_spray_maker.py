"""Making a spray as a player would: the spray list's context menu opens the
Make Spray window, an image is chosen in the file dialog, Save writes the
spray into the folder, and Change installs it for the game."""

import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import zlib
from pathlib import Path

import harness
from harness import SessionTestCase, find, wait_until

SOURCE = Path(__file__).resolve().parents[2]
SPRAY_TOOL = os.environ.get("TAGSWAP_SPRAY", "")


def png(width, height):
    """A small picture with a transparent border, written without any library."""
    rows = b""
    for y in range(height):
        rows += b"\0"
        for x in range(width):
            inside = 4 <= x < width - 4 and 4 <= y < height - 4
            rows += bytes((255, x * 4 % 256, y * 4 % 256, 255 if inside else 0))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


class MakeSpray(SessionTestCase):
    def test_a_spray_made_in_the_window_is_installed_by_change(self):
        game = self.sandbox.make_game()
        self.sandbox.write_settings(BeenRun="True", HLDir=game)
        pictures = self.sandbox.root / "pictures"
        pictures.mkdir()
        (pictures / "logo.png").write_bytes(png(90, 60))
        app = self.start()
        main, main_xid = app.window("Tagswap Beta")
        self.choose_in_list_menu(main, main_xid, "Make a spray from an image...")

        maker, maker_xid = app.window("Make Spray")
        app.press(maker, "Image...")
        _, dialog_xid = app.window("Choose an Image")
        self.session.focus(dialog_xid)
        self.session.type_text(str(pictures / "logo.png"))
        self.session.key("Return")
        app.wait_gone("Choose an Image")

        def save_ready():
            button = find(app.window("Make Spray")[0], "push button", "Save")
            return button if button.get_state_set().contains(
                harness.Atspi.StateType.ENABLED) else None
        self.session.click(wait_until(save_ready, "Save to be ready", timeout=60))
        spray = self.sandbox.work / "logo.wad"
        wait_until(spray.exists, "logo.wad to be written")
        wait_until(lambda: app.spray_names() == ["logo.wad"], "logo.wad in the list")
        app.press(app.window("Make Spray")[0], "Close")
        app.wait_gone("Make Spray")

        # Saved and chosen: Change installs it, with no question, as a real spray.
        app.press(app.main_window(), "Change")
        for name in ("pldecal.wad", "tempdecal.wad"):
            target = game / "valve" / name
            wait_until(lambda: target.exists() and target.read_bytes() == spray.read_bytes(),
                       f"valve/{name} to hold logo.wad")
        self.assertEqual([w.get_name() for w in app.windows()], ["Tagswap Beta"])
        data = spray.read_bytes()
        self.assertEqual(data[:4], b"WAD3")
        self.assertLessEqual(len(data), 20480)



class SprayTool(unittest.TestCase):
    """The built tagswap-spray on real files; it needs no display."""

    def test_install_a_photo(self):
        """install photo.jpg: the spray made as make makes it, installed as Change
        installs it, the game's own spray kept, and each of these said."""
        if not SPRAY_TOOL or not os.access(SPRAY_TOOL, os.X_OK):
            self.skipTest("TAGSWAP_SPRAY does not name the built tagswap-spray")
        root = Path(tempfile.mkdtemp(prefix="tagswap-spray-"))
        self.addCleanup(shutil.rmtree, root, ignore_errors=True)
        work, game = root / "work", root / "Half Life"
        (game / "valve").mkdir(parents=True)
        work.mkdir()
        (game / "hl_linux").write_bytes(b"ELF")
        (game / "valve" / "pldecal.wad").write_bytes(b"the game's own")
        shutil.copy(SOURCE / "fuzz/corpus/spray_maker/photo.jpg", work)
        env = dict(os.environ, HOME=str(root), XDG_DATA_HOME=str(root / "data"),
                   QT_QPA_PLATFORM="offscreen")

        def spray_tool(*args):
            return subprocess.run([SPRAY_TOOL, *args], cwd=work, env=env, capture_output=True,
                                  timeout=60)
        done = spray_tool("install", "photo.jpg", "--game", str(game), "--mod", "valve")
        self.assertEqual((done.returncode, done.stderr), (0, b""))
        lines = done.stdout.decode().splitlines()
        self.assertEqual(lines[:3], ["wrote photo.wad", f"wrote {game}/valve/pldecal.wad",
                                     f"wrote {game}/valve/tempdecal.wad"])
        self.assertEqual(len(lines), 4)
        kept = Path(lines[3].removeprefix("kept the replaced spray as "))
        self.assertEqual(kept.parent, root / "data/Tagswap/replaced")
        self.assertEqual(kept.read_bytes(), b"the game's own")

        spray = (work / "photo.wad").read_bytes()
        for name in ("pldecal.wad", "tempdecal.wad"):
            self.assertEqual((game / "valve" / name).read_bytes(), spray)
        self.assertEqual((game / "valve" / "tempdecal.wad").stat().st_mode & 0o222, 0)
        self.assertTrue(spray_tool("info", "photo.wad").stdout.decode().endswith(", ok\n"))
        spray_tool("make", "photo.jpg", "-o", "made.wad")
        self.assertEqual((work / "made.wad").read_bytes(), spray)


if __name__ == "__main__":
    harness.main()
