"""Leaving the program: the game is started with the program's own arguments."""

import os
import time

import harness
from harness import SessionTestCase, read_recording, recording_program

# Each would do harm or get lost if anything on the way split, expanded or
# re-encoded the command line; the last two would be eaten as a Qt option.
AWKWARD_ARGUMENTS = [
    b"+connect", b"two words", b"  padded  ", b"", b'say "hi"', b"it's", b"$(touch pwned)",
    b"`touch pwned`", b"a;touch pwned", b"*", b"line one\nline two", b"back\\slash",
    b"caf\xc3\xa9", b"not utf-8 \xff\xfe", b"-platform", b"offscreen",
]


class Launch(SessionTestCase):
    def setUp(self):
        super().setUp()
        self.game = self.sandbox.make_game("Half Life")
        self.record = self.sandbox.root / "hl"
        recording_program(self.game / "hl.exe", self.record)
        self.sandbox.write_settings(BeenRun="True", HLDir=self.game)

    def assert_game_started_with(self, expected):
        cwd, args = read_recording(self.record)
        self.assertEqual(os.path.realpath(cwd), os.path.realpath(self.game))
        self.assertEqual(args, expected)
        pwned = list(self.session.root.rglob("*pwned*"))
        self.assertEqual(pwned, [], "an argument was run by a shell")

    def test_exit_starts_the_game_with_the_arguments_unchanged(self):
        app = self.start(*AWKWARD_ARGUMENTS)
        app.press(app.main_window(), "Exit")
        self.assertEqual(app.wait_exit(), 0)
        self.assert_game_started_with(AWKWARD_ARGUMENTS)

    def test_close_box_starts_the_game_like_exit(self):
        app = self.start(*AWKWARD_ARGUMENTS)
        app.main_window()
        self.session.send_close(self.session.visible_windows("Tagswap Beta")[0])
        self.assertEqual(app.wait_exit(), 0)
        self.assert_game_started_with(AWKWARD_ARGUMENTS)

    def test_settings_changed_during_the_run_choose_the_game(self):
        other = self.sandbox.make_game("Other Game", mods=())
        recording_program(other / "hl.exe", self.record)
        app = self.start("-game", "tfc")
        settings = app.open_settings()
        app.enter_directory(str(other))
        app.press(settings, "OK")
        app.wait_gone("Settings")
        app.press(app.main_window(), "Exit")
        self.assertEqual(app.wait_exit(), 0)
        cwd, args = read_recording(self.record)
        self.assertEqual(os.path.realpath(cwd), os.path.realpath(other))
        self.assertEqual(args, [b"-game", b"tfc"])

    def test_without_arguments_nothing_is_started(self):
        app = self.start()
        app.press(app.main_window(), "Exit")
        self.assertEqual(app.wait_exit(), 0)
        # A start would have been under way before the program ended; give a
        # started script ample time to leave its record before looking.
        time.sleep(3)
        self.assertFalse(self.record.with_suffix(".args").exists())

    def test_missing_game_is_not_reported(self):
        (self.game / "hl.exe").unlink()
        app = self.start("+connect")
        app.press(app.main_window(), "Exit")
        self.assertEqual(app.wait_exit(), 0)


if __name__ == "__main__":
    harness.main()
