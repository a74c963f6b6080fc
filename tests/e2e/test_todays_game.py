"""Today's game: Change installs the spray under both names, guards
tempdecal.wad and keeps the spray it replaced; Settings finds the Steam
install and takes a native Linux folder; Exit starts the game through Steam;
the check of the spray in game finds the guard missing and sets it."""

import os
import shutil
import stat
import subprocess
from pathlib import Path

import harness
import test_spray_maker
from harness import (SessionTestCase, find_all, read_recording, recording_program, showing,
                     text_of, wait_until)

DEMO = Path(__file__).resolve().parents[2] / "demo"


def writable(path):
    return bool(path.stat().st_mode & (stat.S_IWUSR | stat.S_IWGRP | stat.S_IWOTH))


class InstallForTodaysGame(SessionTestCase):
    def setUp(self):
        super().setUp()
        self.game = self.sandbox.make_game()
        self.sandbox.write_settings(BeenRun="True", HLDir=self.game)
        self.mod = self.game / "valve"
        self.kept = self.sandbox.home / ".local/share/Tagswap/replaced"
        # What the game wrote from its own logo choice, under both names.
        self.games_own = b"the game's own logo" * 300
        for name in ("pldecal.wad", "tempdecal.wad"):
            (self.mod / name).write_bytes(self.games_own)

    def change(self, app, spray, wanted):
        app.select_spray(spray)
        app.press(app.main_window(), "Change")
        app.install_anyway(spray)  # test files, not sprays
        wait_until(lambda: all((self.mod / n).read_bytes() == wanted
                               for n in ("pldecal.wad", "tempdecal.wad")),
                   f"both spray files to hold {spray}")
        self.assertEqual([w.get_name() for w in app.windows()], ["Tagswap Beta"])

    def test_both_files_guarded_and_the_replaced_spray_kept_once(self):
        first = self.sandbox.add_spray("first.wad", size=6296)
        second = self.sandbox.add_spray("second.wad", size=17176)
        app = self.start()
        self.change(app, "first.wad", first)
        self.assertFalse(writable(self.mod / "tempdecal.wad"))
        self.assertTrue(writable(self.mod / "pldecal.wad"))

        # Again, over the guard.
        self.change(app, "second.wad", second)
        self.assertFalse(writable(self.mod / "tempdecal.wad"))
        self.assertEqual(sorted(os.listdir(self.mod)), ["pldecal.wad", "tempdecal.wad"])

        # The game's own spray is kept, once; first.wad was in the spray folder anyway.
        kept = sorted(self.kept.iterdir())
        self.assertEqual(len(kept), 1, kept)
        self.assertRegex(kept[0].name, r"^valve-pldecal-\d{8}-\d{6}\.wad$")
        self.assertEqual(kept[0].read_bytes(), self.games_own)

    def full_disk_at(self, folder):
        """A 16 KiB file system on folder, filled but for what is written to it here."""
        folder.mkdir(parents=True, exist_ok=True)
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs", str(folder)],
                              capture_output=True, text=True)
        if done.returncode != 0:
            self.lacks_right(f"cannot mount a tiny filesystem: {done.stderr.strip()}")
        self.addCleanup(subprocess.run, ["umount", "-l", str(folder)], capture_output=True)

    def fill(self, folder):
        with open(folder / "filler", "wb") as f:
            try:
                f.write(b"\0" * (16 << 10))
            except OSError:
                pass

    def test_a_full_disk_for_kept_sprays_replaces_nothing(self):
        self.full_disk_at(self.kept)
        self.fill(self.kept)
        self.sandbox.add_spray("new.wad", size=6296)

        app = self.start()
        app.select_spray("new.wad")
        app.press(app.main_window(), "Change")
        app.install_anyway("new.wad")
        lines = app.dismiss("Tagswap").split("\n")
        self.assertEqual(lines[0], f"Could not keep a copy of {self.mod / 'pldecal.wad'} in "
                                   f"{self.kept}, so nothing was replaced.")
        self.assertTrue(lines[1].startswith("Reason: "), lines)
        for name in ("pldecal.wad", "tempdecal.wad"):
            self.assertEqual((self.mod / name).read_bytes(), self.games_own)
        self.assertEqual(sorted(os.listdir(self.mod)), ["pldecal.wad", "tempdecal.wad"])
        app.assert_running()


    def test_a_small_spray_on_a_full_disk_is_no_empty_file(self):
        # Small enough to sit in a write buffer until the very end of the copy.
        self.full_disk_at(self.mod)
        old = b"old" * 500
        for name in ("pldecal.wad", "tempdecal.wad"):
            (self.mod / name).write_bytes(old)
        self.fill(self.mod)
        self.sandbox.add_spray("small.wad", size=3000)
        before = {p.name: p.read_bytes() for p in self.mod.iterdir()}

        app = self.start()
        app.select_spray("small.wad")
        app.press(app.main_window(), "Change")
        app.install_anyway("small.wad")
        lines = app.dismiss("Tagswap").split("\n")
        self.assertEqual(lines[0], f"Could not copy small.wad to {self.mod / 'pldecal.wad'}.")
        self.assertEqual({p.name: p.read_bytes() for p in self.mod.iterdir()}, before)


class SteamInstall(SessionTestCase):
    def native_game(self, folder):
        """A folder laid out as the native Linux game's: no hl.exe."""
        (folder / "valve").mkdir(parents=True)
        for name in ("hl_linux", "hl.sh"):
            (folder / name).write_text("#!/bin/sh\nexit 0\n")
            (folder / name).chmod(0o755)
        return folder

    def test_settings_opens_on_the_game_found_through_the_library_list(self):
        root = self.sandbox.home / ".local/share/Steam"
        library = self.sandbox.root / "SD card" / "SteamLibrary"
        (root / "steamapps").mkdir(parents=True)
        (library / "steamapps").mkdir(parents=True)
        game = self.native_game(library / "steamapps/common/Half-Life")
        (root / "steamapps/libraryfolders.vdf").write_text(
            '"libraryfolders"\n{\n'
            f'\t"0"\n\t{{\n\t\t"path"\t\t"{root}"\n\t}}\n'
            f'\t"1"\n\t{{\n\t\t"path"\t\t"{library}"\n\t\t"apps"\n\t\t{{\n\t\t\t"70"\t"1"\n'
            '\t\t}\n\t}\n}\n')
        (library / "steamapps/appmanifest_70.acf").write_text(
            '"AppState"\n{\n\t"appid"\t\t"70"\n\t"installdir"\t\t"Half-Life"\n}\n')

        app = self.start()
        settings = app.open_settings()
        wait_until(lambda: text_of(app.directory_field()) == str(game),
                   "the found game folder in the field")
        app.press(settings, "OK")
        app.wait_gone("Settings")
        self.assertEqual(self.sandbox.settings()["HLDir"], str(game))

    def test_native_folder_accepted_and_exit_starts_the_game_through_steam(self):
        game = self.native_game(self.sandbox.root / "Half-Life")
        bin_dir = self.sandbox.root / "bin"
        bin_dir.mkdir()
        record = self.sandbox.root / "steam"
        recording_program(bin_dir / "steam", record)
        arguments = [b"-game", b"cstrike", b"+connect", b"two words", b"caf\xc3\xa9 \xff"]

        app = self.start(*arguments, path_prefix=bin_dir)
        settings = app.open_settings()
        app.enter_directory(str(game))
        app.press(settings, "OK")
        app.wait_gone("Settings")
        self.assertEqual(self.sandbox.settings()["HLDir"], str(game))
        app.press(app.main_window(), "Exit")
        self.assertEqual(app.wait_exit(), 0)
        _, args = read_recording(record)
        # Counter-Strike's own app, which a player without Half-Life owns too.
        self.assertEqual(args, [b"-applaunch", b"10", *arguments])


class CheckTheSprayInGame(SessionTestCase):

    def check(self, game):
        """tagswap-spray check's exit status on the game's valve."""
        if not test_spray_maker.SPRAY_TOOL:
            self.skipTest("TAGSWAP_SPRAY does not name the built tagswap-spray")
        return subprocess.run([test_spray_maker.SPRAY_TOOL, "check", "--game", str(game),
                               "--mod", "valve"], capture_output=True, cwd=self.sandbox.work,
                              env=dict(os.environ, QT_QPA_PLATFORM="offscreen"),
                              timeout=harness.DEADLINE).returncode

    def test_the_missing_guard_is_set_and_then_passes(self):
        game = self.sandbox.make_game()
        tempdecal = game / "valve" / "tempdecal.wad"
        for name in ("pldecal.wad", "tempdecal.wad"):
            shutil.copyfile(DEMO / "heart.wad", game / "valve" / name)
        self.sandbox.write_settings(BeenRun="True", HLDir=game)
        self.assertEqual(self.check(game), 1)
        app = self.start()
        main, main_xid = app.window("Tagswap Beta")
        self.choose_in_list_menu(main, main_xid, "Check the spray in game...")

        def marks():
            window, _ = app.window("Check the spray in game")
            return [mark.get_name() for mark in find_all(window, "image")]
        wait_until(lambda: marks() == ["Passed", "Passed", "Failed", "Passed", "Passed"],
                   "only the guard to have failed")
        window, _ = app.window("Check the spray in game")
        app.press(window, "Set the guard")
        wait_until(lambda: not writable(tempdecal), "tempdecal.wad to be read-only")

        app.press(app.window("Check the spray in game")[0], "Check again")
        wait_until(lambda: marks() == ["Passed"] * 5, "every check to have passed")
        window, _ = app.window("Check the spray in game")
        self.assertFalse([b for b in find_all(window, "push button", "Set the guard")
                          if showing(b)])
        self.assertTrue(any(label.get_name().startswith("tempdecal.wad is read-only")
                            for label in find_all(window, "label")))
        self.assertEqual(self.check(game), 0)


if __name__ == "__main__":
    harness.main()
