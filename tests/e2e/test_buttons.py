"""Help, About and Refresh."""

import os

import harness
from harness import SessionTestCase, read_recording, recording_program, wait_until


class Buttons(SessionTestCase):
    def test_help_shows_the_same_text_each_time(self):
        app = self.start()
        app.press(app.main_window(), "Help")
        text = app.dismiss("Help")
        lines = text.split("\n")
        self.assertEqual(lines[0], "I think this is a fairly easy to use this program, but I'll go "
                                   "through all the steps of setting up a color spraypaint for "
                                   "Team Fortress.")
        self.assertEqual(len(lines), 8)
        self.assertEqual((lines[1], lines[6]), ("", ""))
        self.assertNotIn("\r", text)
        app.press(app.main_window(), "Help")
        self.assertEqual(app.dismiss("Help"), text)

    def test_about_opens_readme_of_the_working_folder(self):
        tools = self.sandbox.root / "bin"
        tools.mkdir()
        record = self.sandbox.root / "viewer"
        recording_program(tools / "xdg-open", record)
        app = self.start(path_prefix=tools)
        app.press(app.main_window(), "About")
        cwd, args = read_recording(record)
        self.assertEqual(args, [b"readme.txt"])
        self.assertEqual(os.path.realpath(cwd), os.path.realpath(self.sandbox.work))
        # Nothing to report, and the window is still there to use.
        app.assert_running()
        self.assertEqual([w.get_name() for w in app.windows()], ["Tagswap Beta"])

    def test_refresh_shows_sprays_added_and_drops_sprays_removed(self):
        game = self.sandbox.make_game()
        self.sandbox.write_settings(BeenRun="True", HLDir=game)
        self.sandbox.add_spray("alpha.wad")
        self.sandbox.add_spray("bravo.wad")
        app = self.start()
        self.assertEqual(app.spray_names(), ["alpha.wad", "bravo.wad"])

        (self.sandbox.work / "alpha.wad").unlink()
        added = self.sandbox.add_spray("charlie.wad")
        app.press(app.main_window(), "Refresh")
        wait_until(lambda: app.spray_names() == ["bravo.wad", "charlie.wad"],
                   "the list to show the folder as it is now")

        app.select_spray("charlie.wad")
        app.press(app.main_window(), "Change")
        app.install_anyway("charlie.wad")
        target = game / "valve" / "pldecal.wad"
        wait_until(lambda: target.exists() and target.read_bytes() == added,
                   "the newly listed spray to be installed")


if __name__ == "__main__":
    harness.main()
