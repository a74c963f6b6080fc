"""Start-up: the first-run notice and what the main window lists."""


import harness
from harness import SessionTestCase, wait_until

NOTICE_FIRST_LINE = "This appears to be your first time running Tagswap."


class FirstRun(SessionTestCase):
    def test_notice_comes_before_the_window_and_only_once(self):
        app = self.start(first_run=True)
        text, _ = app.message("Information")
        lines = text.split("\n")
        self.assertEqual(lines[0], NOTICE_FIRST_LINE)
        self.assertEqual(lines[-1], "This message will only appear once.")
        self.assertNotIn("\r", text)
        # The notice is modal and comes from the load, so the window must not be up yet.
        self.assertEqual(self.session.visible_windows("Tagswap Beta"), [])
        self.assertNotEqual(self.sandbox.settings().get("BeenRun"), "True",
                            "the notice must be dismissed before it counts as seen")

        app.dismiss("Information")
        app.main_window()
        wait_until(lambda: self.sandbox.settings().get("BeenRun") == "True",
                   "BeenRun=True in the settings file")
        app.press(app.main_window(), "Exit")
        self.assertEqual(app.wait_exit(), 0)

        again = self.start()
        again.main_window()
        # The notice would have had to be dismissed before the window could show.
        self.assertEqual([w.get_name() for w in again.windows()], ["Tagswap Beta"])

    def test_notice_comes_again_when_the_flag_is_not_exactly_true(self):
        self.sandbox.write_settings(BeenRun="true")
        app = self.start()
        app.dismiss("Information")
        app.main_window()
        wait_until(lambda: self.sandbox.settings().get("BeenRun") == "True",
                   "BeenRun rewritten as True")


class Lists(SessionTestCase):
    def test_sprays_of_the_working_folder_in_natural_order(self):
        for name in ("spray10.wad", "spray2.wad", "Alpha.wad", "LOUD.WAD", "pldecal.wad"):
            self.sandbox.add_spray(name)
        (self.sandbox.work / "notes.txt").write_text("not a spray")
        (self.sandbox.work / "folder.wad").mkdir()
        (self.sandbox.work / "mods.txt").write_bytes(b"valve\r\ntfc\r\n")
        app = self.start()
        self.assertEqual(app.spray_names(),
                         ["Alpha.wad", "LOUD.WAD", "pldecal.wad", "spray2.wad", "spray10.wad"])
        self.assertEqual(app.mod_names(), ["valve", "tfc"])
        self.assertEqual(app.mod_box().get_name(), "valve")

    def test_mod_list_keeps_lines_as_written(self):
        (self.sandbox.work / "mods.txt").write_bytes(b"tfc\r\n\r\n cstrike \r\ntfc")
        app = self.start()
        self.assertEqual(app.mod_names(), ["tfc", "", " cstrike ", "tfc"])
        self.assertEqual(app.mod_box().get_name(), "tfc")

    def test_without_mod_file_only_valve(self):
        app = self.start()
        self.assertEqual(app.spray_names(), [])
        self.assertEqual(app.mod_names(), ["valve"])
        self.assertEqual(app.mod_box().get_name(), "valve")


if __name__ == "__main__":
    harness.main()
