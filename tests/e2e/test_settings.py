"""The settings dialog: choosing the game folder."""


import harness
from harness import SessionTestCase, find, screen_extents, text_of, wait_until

DEFAULT_FOLDER = "C:\\SIERRA\\Half-Life"


class SettingsDialog(SessionTestCase):
    def test_fresh_account_default_position_browse_and_close_box(self):
        app = self.start()
        app.main_window()
        main_xid = self.session.visible_windows("Tagswap Beta")[0]
        # Away from the corner, so a dialog centred on its owner would show.
        self.session.xdotool("windowmove", "--sync", main_xid, 400, 300)
        wait_until(lambda: screen_extents(app.main_window())[:2] == (400, 300), "the main window to move")

        settings = app.open_settings()
        self.assertEqual(self.session.window_position(self.session.visible_windows("Settings")[0]),
                         (0, 0))
        self.assertEqual(text_of(find(settings, "text")), DEFAULT_FOLDER)
        self.assertEqual(find(settings, "label").get_name(), "Half-Life directory:")

        app.enter_directory("/typed/but/not/kept")
        app.press(settings, "...")
        lines = app.dismiss("Browse").split("\n")
        self.assertEqual(len(lines), 2)
        self.assertTrue(lines[0].startswith("A browse feature here seemed useless to me"), lines[0])
        self.assertEqual(text_of(app.directory_field()), "/typed/but/not/kept")

        self.session.send_close(self.session.visible_windows("Settings")[0])
        app.wait_gone("Settings")
        self.assertNotIn("HLDir", self.sandbox.settings())
        settings = app.open_settings()
        self.assertEqual(text_of(find(settings, "text")), DEFAULT_FOLDER)

    def test_accepted_folder_is_stored_shown_again_and_used(self):
        game = self.sandbox.make_game()
        # Only the presence of the file counts, not its contents.
        (game / "hl.exe").write_bytes(b"")
        wanted = self.sandbox.add_spray("mine.wad")
        app = self.start()
        app.open_settings()
        app.enter_directory(f"{game}/")
        app.press(app.window("Settings")[0], "OK")
        app.wait_gone("Settings")
        wait_until(lambda: self.sandbox.settings().get("HLDir") == str(game),
                   "the folder, less its trailing separator, in the settings file")

        settings = app.open_settings()
        self.assertEqual(text_of(find(settings, "text")), str(game))
        self.session.send_close(self.session.visible_windows("Settings")[0])
        app.wait_gone("Settings")

        app.select_spray("mine.wad")
        app.press(app.main_window(), "Change")
        app.install_anyway("mine.wad")
        target = game / "valve" / "pldecal.wad"
        wait_until(lambda: target.exists() and target.read_bytes() == wanted,
                   "the spray in the chosen game folder")

    def test_rejected_folder_is_explained_and_nothing_is_stored(self):
        game = self.sandbox.make_game()
        self.sandbox.write_settings(BeenRun="True", HLDir=game)
        wrong = self.sandbox.root / "not a game"
        wrong.mkdir()
        (wrong / "valve").mkdir()
        app = self.start()
        settings = app.open_settings()
        self.assertEqual(text_of(find(settings, "text")), str(game))

        app.enter_directory(f"{wrong}/")
        app.press(settings, "OK")
        lines = app.dismiss("Error").split("\n")
        self.assertEqual(lines[0], "Error: Not a valid Half-Life directory.")
        self.assertEqual(lines[1], f"Reason: neither hl.exe nor hl_linux resides in {wrong}")
        self.assertEqual(lines[2], "")
        self.assertTrue(lines[3].startswith("Please check your typing"), lines[3])
        self.assertEqual(len(lines), 4)
        # The dialog stays for correcting, with the shortened text.
        settings = app.window("Settings", role="dialog")[0]
        self.assertEqual(text_of(find(settings, "text")), str(wrong))
        self.assertEqual(self.sandbox.settings().get("HLDir"), str(game))

        # The executable's own path is not a folder that holds it.
        app.enter_directory(str(game / "hl.exe"))
        app.press(settings, "OK")
        self.assertEqual(app.dismiss("Error").split("\n")[1],
                         f"Reason: neither hl.exe nor hl_linux resides in {game / 'hl.exe'}")

        self.session.send_close(self.session.visible_windows("Settings")[0])
        app.wait_gone("Settings")
        self.assertEqual(self.sandbox.settings().get("HLDir"), str(game))
        settings = app.open_settings()
        self.assertEqual(text_of(find(settings, "text")), str(game))


if __name__ == "__main__":
    harness.main()
