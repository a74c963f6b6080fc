"""Change: copying the chosen spray over a mod's pldecal.wad."""


import harness
from harness import SessionTestCase, wait_until


class Change(SessionTestCase):
    def setUp(self):
        super().setUp()
        self.game = self.sandbox.make_game()
        self.sandbox.write_settings(BeenRun="True", HLDir=self.game)
        (self.sandbox.work / "mods.txt").write_bytes(b"valve\r\ntfc\r\n")

    def test_copies_the_selected_spray_into_the_chosen_mod(self):
        self.sandbox.add_spray("alpha.wad", size=700)
        wanted = self.sandbox.add_spray("bravo.wad", size=1234)
        old = self.game / "tfc" / "pldecal.wad"
        old.write_bytes(b"the previous spray, longer than nothing" * 100)
        app = self.start()
        app.select_spray("bravo.wad")
        app.choose_mod("tfc")
        app.press(app.main_window(), "Change")
        # These test files are no pictures, so Change asks first.
        app.install_anyway("bravo.wad")
        wait_until(lambda: old.read_bytes() == wanted, "tfc/pldecal.wad to hold bravo.wad")
        self.assertFalse((self.game / "valve" / "pldecal.wad").exists())
        # A successful copy says nothing and leaves the choices as they were.
        self.assertEqual([w.get_name() for w in app.windows()], ["Tagswap Beta"])
        self.assertEqual(app.mod_box().get_name(), "tfc")

        # Another spray into the default mod, in the same run.
        app.select_spray("alpha.wad")
        app.choose_mod("valve")
        app.press(app.main_window(), "Change")
        app.install_anyway("alpha.wad")
        valve = self.game / "valve" / "pldecal.wad"
        wait_until(lambda: valve.exists() and valve.read_bytes()
                   == (self.sandbox.work / "alpha.wad").read_bytes(),
                   "valve/pldecal.wad to hold alpha.wad")
        self.assertEqual(old.read_bytes(), wanted)

    def test_started_in_the_mod_folder_keeps_the_replaced_spray(self):
        # The working folder is the mod folder: the game's own files are listed
        # as sprays, and their bytes are no copy of what Change replaces.
        game, mod = self.sandbox.root, self.sandbox.work
        (game / "hl.exe").write_text("#!/bin/sh\nexit 0\n")
        self.sandbox.write_settings(BeenRun="True", HLDir=game)
        (mod / "mods.txt").write_bytes(mod.name.encode() + b"\r\n")
        heart = b"heart" * 700
        for name in ("pldecal.wad", "tempdecal.wad"):
            (mod / name).write_bytes(heart)
        star = self.sandbox.add_spray("star.wad", size=2000)
        app = self.start()
        app.select_spray("star.wad")
        app.press(app.main_window(), "Change")
        app.install_anyway("star.wad")
        wait_until(lambda: (mod / "tempdecal.wad").read_bytes() == star,
                   "tempdecal.wad to hold star.wad")
        self.assertEqual((mod / "pldecal.wad").read_bytes(), star)
        replaced = self.sandbox.home / ".local/share/Tagswap/replaced"
        self.assertEqual([f.read_bytes() for f in replaced.iterdir()], [heart])

    def test_enter_on_the_list_presses_change(self):
        wanted = self.sandbox.add_spray("only.wad")
        app = self.start()
        app.select_spray("only.wad")
        self.session.focus(self.session.visible_windows("Tagswap Beta")[0])
        self.session.key("Return")
        app.install_anyway("only.wad")
        target = self.game / "valve" / "pldecal.wad"
        wait_until(lambda: target.exists() and target.read_bytes() == wanted,
                   "valve/pldecal.wad after Enter")

    def test_without_a_selection_asks_for_a_spray(self):
        self.sandbox.add_spray("alpha.wad")
        app = self.start()
        app.press(app.main_window(), "Change")
        text = app.dismiss("Tagswap")
        self.assertEqual(text, "Please choose a spraypaint.")
        self.assertFalse((self.game / "valve" / "pldecal.wad").exists())
        # Asking again shows the same box again.
        app.press(app.main_window(), "Change")
        self.assertEqual(app.dismiss("Tagswap"), "Please choose a spraypaint.")

    def test_missing_mod_folder_is_reported_and_the_program_goes_on(self):
        (self.sandbox.work / "mods.txt").write_bytes(b"cstrike\r\ntfc\r\n")
        wanted = self.sandbox.add_spray("alpha.wad")
        app = self.start()
        app.select_spray("alpha.wad")
        app.press(app.main_window(), "Change")
        app.install_anyway("alpha.wad")
        text, box = app.message("Tagswap")
        self.assertIn(str(self.game / "cstrike" / "pldecal.wad"), text)
        self.assertFalse((self.game / "cstrike").exists())
        app.dismiss("Tagswap")
        app.assert_running()

        app.choose_mod("tfc")
        app.press(app.main_window(), "Change")
        app.install_anyway("alpha.wad")
        target = self.game / "tfc" / "pldecal.wad"
        wait_until(lambda: target.exists() and target.read_bytes() == wanted,
                   "tfc/pldecal.wad after the failed copy")

    def test_spray_deleted_after_start_is_reported(self):
        self.sandbox.add_spray("gone.wad")
        app = self.start()
        app.main_window()
        (self.sandbox.work / "gone.wad").unlink()
        app.select_spray("gone.wad")
        app.press(app.main_window(), "Change")
        text = app.dismiss("Tagswap")
        self.assertIn("gone.wad", text)
        self.assertFalse((self.game / "valve" / "pldecal.wad").exists())
        app.assert_running()


if __name__ == "__main__":
    harness.main()
