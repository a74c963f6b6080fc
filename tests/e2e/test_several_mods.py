"""Installing one spray into several mods, as a player would: the spray list's
context menu opens "Install in several mods" with the main window's mod checked,
another mod is checked, and Install puts the spray into both, byte for byte,
leaving the unchecked mod as it was."""

import shutil
import stat
from pathlib import Path

import harness
from harness import SessionTestCase, find, find_all, has_state, wait_until

DEMO = Path(__file__).resolve().parents[2] / "demo"
TITLE = "Install in several mods"


class SeveralMods(SessionTestCase):
    # The context menu is caught as the spray maker's test catches it.

    def checks(self, app):
        """(name, checked) of each mod's check box, in order."""
        window, _ = app.window(TITLE, role="dialog")
        return [(box.get_name(), has_state(box, harness.Atspi.StateType.CHECKED))
                for box in find_all(window, "check box")]

    def test_a_spray_goes_into_the_checked_mods(self):
        game = self.sandbox.make_game(mods=("valve", "tfc", "cstrike"))
        for mod in ("valve", "tfc", "cstrike"):
            (game / mod / "liblist.gam").write_text('game "x"\n')
        own = (DEMO / "star.wad").read_bytes()
        (game / "cstrike" / "tempdecal.wad").write_bytes(own)
        for spray in ("heart.wad", "star.wad"):
            shutil.copyfile(DEMO / spray, self.sandbox.work / spray)
        (self.sandbox.work / "mods.txt").write_text("tfc\nvalve\ncstrike\n")
        self.sandbox.write_settings(BeenRun="True", HLDir=game)
        app = self.start()
        main, main_xid = app.window("Tagswap Beta")
        app.select_spray("heart.wad")

        def open_menu():
            self.session.focus(main_xid)
            self.session.key("shift+F10")
        menu = self.popup_menu(open_menu)
        find(menu, "menu item", "Install in several mods...").get_action_iface().do_action(0)

        self.assertEqual(self.checks(app), [("cstrike", False), ("tfc", True), ("valve", False)])
        window, _ = app.window(TITLE, role="dialog")
        wait_until(lambda: find_all(app.window(TITLE, role="dialog")[0], "label", "star.wad"),
                   "cstrike's spray to be named")
        self.session.click(find(window, "check box", "valve"))
        wait_until(lambda: self.checks(app) == [("cstrike", False), ("tfc", True),
                                                ("valve", True)], "valve to be checked")
        app.press(window, "Install")

        summary, box = app.message(TITLE)
        self.assertEqual(summary, "heart.wad is installed in tfc, valve.")
        self.session.click(find(box, "push button", "OK"))
        wait_until(lambda: not any(w.get_role_name() == "alert" for w in app.windows()),
                   "the summary to close")
        wanted = (DEMO / "heart.wad").read_bytes()
        for mod in ("tfc", "valve"):
            for name in ("pldecal.wad", "tempdecal.wad"):
                self.assertEqual((game / mod / name).read_bytes(), wanted, f"{mod}/{name}")
            mode = (game / mod / "tempdecal.wad").stat().st_mode
            self.assertFalse(mode & (stat.S_IWUSR | stat.S_IWGRP | stat.S_IWOTH),
                             f"{mod}/tempdecal.wad is not read-only")
        self.assertEqual(sorted(p.name for p in (game / "cstrike").iterdir()),
                         ["liblist.gam", "tempdecal.wad"])
        self.assertEqual((game / "cstrike" / "tempdecal.wad").read_bytes(), own)


if __name__ == "__main__":
    harness.main()
