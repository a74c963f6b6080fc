"""Keeping a spray seen in game, as a player would: the spray list's context
menu opens "Sprays seen in game" on the cache of the chosen mod, a spray is
chosen and Add to my sprays copies it into the spray folder, where the main
list shows it chosen. The game's cache is left exactly as it was."""

import hashlib
import shutil
from pathlib import Path

import harness
from harness import SessionTestCase, find, find_all, has_state, wait_until

DEMO = Path(__file__).resolve().parents[2] / "demo"


class SeenSprays(SessionTestCase):
    # The context menu is caught as the spray maker's test catches it.

    def seen_item(self, app, size):
        """The row of the window's list whose spray is of this size."""
        rows = find_all(find(app.window("Sprays seen in game")[0], "list"), "list item")
        return next(row for row in rows if row.get_name().startswith(size))

    def test_a_spray_seen_in_game_is_added_to_the_folder_and_chosen(self):
        game = self.sandbox.make_game()
        cache = game / "valve" / "custom.hpk"
        shutil.copyfile(DEMO / "Half-Life" / "valve" / "custom.hpk", cache)
        before = cache.read_bytes()
        shutil.copyfile(DEMO / "heart.wad", self.sandbox.work / "heart.wad")
        self.sandbox.write_settings(BeenRun="True", HLDir=game)
        app = self.start()
        main, main_xid = app.window("Tagswap Beta")
        self.choose_in_list_menu(main, main_xid, "Sprays seen in game...")

        window, _ = app.window("Sprays seen in game")
        rows = [row.get_name() for row in find_all(find(window, "list"), "list item")]
        self.assertEqual(len(rows), 4, rows)
        self.assertIn("In your sprays", self.seen_item(app, "64 × 64").get_name())
        gg = self.seen_item(app, "128 × 96")
        self.assertEqual(gg.get_name(), "128 × 96, colour\n17,176 bytes")
        self.session.click(gg)
        wait_until(lambda: has_state(self.seen_item(app, "128 × 96"),
                                     harness.Atspi.StateType.SELECTED), "the spray to be chosen")
        app.press(app.window("Sprays seen in game")[0], "Add to my sprays")

        wanted = (DEMO / "gg.wad").read_bytes()
        name = f"seen-{hashlib.md5(wanted).hexdigest()[:8]}.wad"
        added = self.sandbox.work / name
        wait_until(added.exists, f"{name} to be written")
        self.assertEqual(added.read_bytes(), wanted)
        wait_until(lambda: app.spray_names() == ["heart.wad", name], f"{name} in the list")
        wait_until(lambda: has_state(find(find(app.main_window(), "list"), "list item", name),
                                     harness.Atspi.StateType.SELECTED), f"{name} to be chosen")
        wait_until(lambda: "In your sprays" in self.seen_item(app, "128 × 96").get_name(),
                   "the spray to be marked as in the folder")
        self.assertEqual(cache.read_bytes(), before)
        self.assertEqual(sorted(p.name for p in cache.parent.iterdir()), ["custom.hpk"])


if __name__ == "__main__":
    harness.main()
