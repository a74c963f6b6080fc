"""The spray list as a library: a row's tooltip shows the spray, or why the
game would refuse the file, read through the accessibility tree."""

import shutil
import time
import unittest
from pathlib import Path

from harness import SessionTestCase, find, screen_extents, wait_until

DEMO = Path(__file__).resolve().parents[2] / "demo"


class ToolTips(SessionTestCase):
    def tooltip_text(self):
        """The text of the tooltip now shown, if any."""
        for window in self.app.windows():
            if window.get_role_name() == "tool tip":
                return window.get_name()
        return None

    def hover(self, name):
        """Rests the pointer on the row of name until its tooltip shows; returns its text."""
        # Qt shows tooltips in the active window only, as on any desktop.
        self.session.focus(self.session.visible_windows("Tagswap Beta")[0])
        item = find(find(self.app.main_window(), "list"), "list item", name)
        x, y, width, height = screen_extents(item)
        # Away first, so the tooltip of another row is gone.
        self.session.xdotool("mousemove", 1000, 1000)
        wait_until(lambda: self.tooltip_text() is None, "the last tooltip to go")
        self.session.xdotool("mousemove", x + width // 3, y + height // 2)
        time.sleep(0.2)
        self.session.xdotool("mousemove", x + width // 3 + 1, y + height // 2)
        return wait_until(self.tooltip_text, f"the tooltip of {name}")

    def test_a_row_shows_the_spray_or_why_the_game_refuses_it(self):
        shutil.copyfile(DEMO / "heart.wad", self.sandbox.work / "heart.wad")
        shutil.copyfile(DEMO / "gg.wad", self.sandbox.work / "gg.wad")
        (self.sandbox.work / "notes.wad").write_bytes(b"a text, not a picture\n")
        self.app = self.start()
        self.assertEqual(self.app.spray_names(), ["gg.wad", "heart.wad", "notes.wad"])

        text = self.hover("heart.wad")
        self.assertIn("heart.wad", text)
        self.assertIn("64 × 64, colour, 6,296 bytes", text)

        text = self.hover("gg.wad")
        self.assertIn("128 × 96", text)
        self.assertIn("17,176 bytes", text)

        text = self.hover("notes.wad")
        self.assertIn("notes.wad", text)
        self.assertIn("The game would refuse it: This is not a WAD3 file.", text)
        self.assertNotIn("×", text)


if __name__ == "__main__":
    unittest.main(verbosity=2)
