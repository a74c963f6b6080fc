"""Faults from outside: full disks, killed copies, locked files, damaged or
missing input. In each case the player's files must come through unharmed,
the failure must be said in words, and the window must still do its work."""

import hashlib
import os
import random
import resource
import shutil
import signal
import subprocess

import harness
from harness import SessionTestCase, children, screen_extents, text_of, wait_until

DEFAULT_FOLDER = "C:\\SIERRA\\Half-Life"
NOTICE_FIRST_LINE = "This appears to be your first time running Tagswap."
SAVE_FAILED = "Error: The Half-Life directory could not be saved."
LINE_BYTES = 1024  # what the mod list keeps of one line of mods.txt
MOST_MODS = 32767  # the most entries the mod list takes from mods.txt


def digest(path):
    sha = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            sha.update(block)
    return sha.hexdigest()


def snapshot(folder):
    """Every entry below folder, hidden ones too, with a hash of each file."""
    found = {}
    for base, dirs, files in os.walk(folder):
        for name in dirs:
            found[os.path.relpath(os.path.join(base, name), folder)] = "folder"
        for name in files:
            path = os.path.join(base, name)
            found[os.path.relpath(path, folder)] = digest(path)
    return found


def chattr(flag, path):
    """Root ignores permission bits but not the immutable attribute."""
    done = subprocess.run(["chattr", flag, str(path)], capture_output=True, text=True)
    return done.returncode == 0, done.stderr.strip()


def find_near(node, role, name=None):
    """The first control of that role, without walking the entries of lists:
    with a hundred thousand of them every lookup would take minutes."""
    for child in children(node):
        if child.get_role_name() == role and (name is None or child.get_name() == name):
            return child
    for child in children(node):
        if child.get_role_name() != "list":
            found = find_near(child, role, name)
            if found is not None:
                return found
    return None


def control(node, role, name=None):
    found = find_near(node, role, name)
    if found is None:
        raise LookupError(f"no {role} {name!r} in {node.get_role_name()} {node.get_name()!r}")
    return found


def mod_list_lines(data):
    """The entries the mod list should make of a mods.txt: CR LF, LF and CR
    each end a line, a line end at the very end adds no entry; a line is
    UTF-8 when it is valid UTF-8 and Latin-1 otherwise."""
    lines = data.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    entries = []
    for line in lines[:MOST_MODS]:
        line = line[:LINE_BYTES]
        try:
            entries.append(line.decode("utf-8"))
        except UnicodeDecodeError:
            entries.append(line.decode("latin-1"))
    return entries


def as_read_aloud(entry):
    """An entry as the accessibility tree passes it on: D-Bus strings end at NUL."""
    return entry.split("\0", 1)[0]


class FaultTestCase(SessionTestCase):
    def make_immutable(self, path):
        ok, why = chattr("+i", path)
        if not ok:
            self.lacks_right(f"cannot make {path} immutable: {why or 'chattr failed'}")
        # At once, so that nothing stays locked whatever fails later.
        self.addCleanup(chattr, "-i", path)

    def set_up_game(self, old=None, mods=b"valve\r\ntfc\r\n"):
        """A game folder stored in the settings; old becomes valve/pldecal.wad."""
        self.game = self.sandbox.make_game()
        self.sandbox.write_settings(BeenRun="True", HLDir=self.game)
        if mods is not None:
            (self.sandbox.work / "mods.txt").write_bytes(mods)
        self.mod = self.game / "valve"
        self.target = self.mod / "pldecal.wad"
        if old is not None:
            self.target.write_bytes(old)

    def press(self, app, caption):
        self.session.click(control(app.main_window(), "push button", caption))

    def expect_copy_failure(self, app, spray):
        """The box that a failed Change shows; returns the reason given."""
        lines = app.dismiss("Tagswap").split("\n")
        self.assertEqual(lines[0], f"Could not copy {spray} to {self.target}.")
        self.assertEqual(len(lines), 2, lines)
        self.assertTrue(lines[1].startswith("Reason: "), lines[1])
        reason = lines[1][len("Reason: "):]
        self.assertTrue(reason.strip(), "the reason is left empty")
        app.assert_running()
        return reason

    def expect_usable(self, app):
        """The window answers its buttons again, with nothing left on top of it."""
        self.press(app, "Help")
        self.assertTrue(app.dismiss("Help").startswith("I think this is a fairly easy"))
        self.assertEqual([w.get_name() for w in app.windows()], ["Tagswap Beta"])

    def change_to(self, app, spray, wanted):
        """A Change into valve that has to work."""
        app.select_spray(spray)
        self.press(app, "Change")
        # The test files are no pictures, so Change asks first.
        app.install_anyway(spray)
        wait_until(lambda: self.target.exists() and self.target.read_bytes() == wanted,
                   f"valve/pldecal.wad to hold {spray}")
        self.assertEqual([w.get_name() for w in app.windows()], ["Tagswap Beta"])

    def exit_cleanly(self, app):
        self.press(app, "Exit")
        self.assertEqual(app.wait_exit(), 0)


class ChangeFails(FaultTestCase):
    def limit_file_size(self, app, limit):
        """A file-size limit on the running program; not on a 64 KiB block
        boundary, as a real one would not be."""
        app.main_window()
        resource.prlimit(app.proc.pid, resource.RLIMIT_FSIZE, (limit, limit))

    def test_disk_fills_on_a_tiny_filesystem(self):
        self.set_up_game()
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k,mode=755", "tmpfs",
                               str(self.mod)], capture_output=True, text=True)
        if done.returncode != 0:
            self.lacks_right(f"cannot mount a tiny filesystem: {done.stderr.strip()}")
        # Cleanups run after tearDown has ended the program, so nothing holds the mount.
        self.addCleanup(subprocess.run, ["umount", "-l", str(self.mod)], capture_output=True)
        self.target.write_bytes(random.Random(1).randbytes(4096))
        self.sandbox.add_spray("huge.wad", size=1 << 20)
        small = self.sandbox.add_spray("small.wad", size=16 << 10)
        before = snapshot(self.mod)

        app = self.start()
        app.select_spray("huge.wad")
        self.press(app, "Change")
        app.install_anyway("huge.wad")
        self.expect_copy_failure(app, "huge.wad")
        self.assertEqual(snapshot(self.mod), before)

        self.expect_usable(app)
        # Fits only if the failed copy gave its space back.
        self.change_to(app, "small.wad", small)
        self.assertEqual(sorted(os.listdir(self.mod)), ["pldecal.wad", "tempdecal.wad"])

    def test_file_size_limit_during_change(self):
        self.set_up_game(old=random.Random(2).randbytes(10 << 10))
        self.sandbox.add_spray("huge.wad", size=1 << 20)
        small = self.sandbox.add_spray("small.wad", size=16 << 10)
        before = snapshot(self.game)

        app = self.start()
        self.limit_file_size(app, 100000)
        app.select_spray("huge.wad")
        self.press(app, "Change")
        app.install_anyway("huge.wad")
        self.expect_copy_failure(app, "huge.wad")
        self.assertEqual(snapshot(self.game), before)

        self.expect_usable(app)
        self.change_to(app, "small.wad", small)
        self.assertEqual(sorted(os.listdir(self.mod)), ["pldecal.wad", "tempdecal.wad"])

    def test_reason_names_the_full_disk(self):
        # A write that the limit cuts short must name the cause, not
        # "Unknown error".
        self.set_up_game(old=b"old")
        self.sandbox.add_spray("huge.wad", size=1 << 20)
        app = self.start()
        self.limit_file_size(app, 100000)
        app.select_spray("huge.wad")
        self.press(app, "Change")
        app.install_anyway("huge.wad")
        self.assertEqual(self.expect_copy_failure(app, "huge.wad"), "File too large")

    def test_read_only_mod_folder(self):
        self.set_up_game(old=b"the spray the game had" * 50)
        wanted = self.sandbox.add_spray("new.wad", size=5000)
        self.make_immutable(self.mod)
        before = snapshot(self.game)

        app = self.start()
        app.select_spray("new.wad")
        self.press(app, "Change")
        app.install_anyway("new.wad")
        self.expect_copy_failure(app, "new.wad")
        self.assertEqual(snapshot(self.game), before)

        self.expect_usable(app)
        chattr("-i", self.mod)
        self.change_to(app, "new.wad", wanted)

    def test_read_only_pldecal_in_a_writable_folder(self):
        self.set_up_game(old=b"the spray the game had" * 50)
        wanted = self.sandbox.add_spray("new.wad", size=5000)
        self.make_immutable(self.target)
        before = snapshot(self.game)

        app = self.start()
        app.select_spray("new.wad")
        self.press(app, "Change")
        app.install_anyway("new.wad")
        self.assertIn("is not writable", self.expect_copy_failure(app, "new.wad"))
        self.assertEqual(snapshot(self.game), before)

        self.expect_usable(app)
        chattr("-i", self.target)
        self.change_to(app, "new.wad", wanted)
        self.assertEqual(sorted(os.listdir(self.mod)), ["pldecal.wad", "tempdecal.wad"])

    def test_selected_spray_gone_or_now_a_folder(self):
        self.set_up_game(old=b"the spray the game had" * 50)
        self.sandbox.add_spray("deleted.wad")
        self.sandbox.add_spray("folder.wad")
        wanted = self.sandbox.add_spray("kept.wad", size=777)
        before = snapshot(self.game)

        app = self.start()
        self.assertEqual(app.spray_names(), ["deleted.wad", "folder.wad", "kept.wad"])
        (self.sandbox.work / "deleted.wad").unlink()
        (self.sandbox.work / "folder.wad").unlink()
        (self.sandbox.work / "folder.wad").mkdir()
        (self.sandbox.work / "folder.wad" / "inside.wad").write_bytes(b"not the spray")

        for spray in ("deleted.wad", "folder.wad"):
            with self.subTest(spray=spray):
                app.select_spray(spray)
                self.press(app, "Change")
                self.expect_copy_failure(app, spray)
                self.assertEqual(snapshot(self.game), before)
                self.expect_usable(app)
        self.assertEqual((self.sandbox.work / "folder.wad" / "inside.wad").read_bytes(),
                         b"not the spray")
        self.change_to(app, "kept.wad", wanted)


class LargeCopy(FaultTestCase):
    """A spray large enough that the copy can be caught while it runs."""
    SIZE = 200 << 20

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # Made once per run and hard-linked into each test's folder.
        cls.big = cls.session.root / "big.wad"
        if not cls.big.exists():
            rng = random.Random(3)
            with open(cls.big, "wb") as f:
                for _ in range(cls.SIZE >> 20):
                    f.write(rng.randbytes(1 << 20))
                f.flush()
                os.fsync(f.fileno())
        cls.big_digest = digest(cls.big)

    def setUp(self):
        super().setUp()
        self.set_up_game(old=random.Random(4).randbytes(50 << 10))
        self.old_digest = digest(self.target)
        os.link(self.big, self.sandbox.work / "big.wad")
        # Read from the disk rather than from memory, the copy takes long enough to be caught.
        fd = os.open(self.big, os.O_RDONLY)
        try:
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
        finally:
            os.close(fd)

    @staticmethod
    def written(pid):
        with open(f"/proc/{pid}/io") as f:
            return int(dict(line.split(": ") for line in f.read().splitlines())["wchar"])

    def unfinished_copy(self, pid):
        """Size of the smallest file the program has open in the mod folder
        that is not pldecal.wad itself: the copy still being written; None if
        there is none."""
        fds = f"/proc/{pid}/fd"
        sizes = []
        for fd in os.listdir(fds):
            try:
                where = os.readlink(f"{fds}/{fd}")
                if where.startswith(f"{self.mod}/") and where != str(self.target):
                    sizes.append(os.stat(f"{fds}/{fd}").st_size)
            except FileNotFoundError:
                continue
        return min(sizes, default=None)

    def change_and_stop_midway(self, app, after=4 << 20):
        """Presses Change and stops the program once it has written `after`
        bytes of the copies (pldecal.wad's first, then tempdecal.wad's).
        Returns how much of the copy being written then was done, or None
        when it was already over."""
        app.select_spray("big.wad")
        self.press(app, "Change")
        # Far too large to be a spray, so Change asks first; Yes starts the copy.
        text, box = app.message("Tagswap")
        self.assertTrue(text.startswith("big.wad is not a spray the game can show: "), text)
        x, y, width, height = screen_extents(control(box, "push button", "Yes"))
        pid = app.proc.pid
        start = self.written(pid)
        # Not waiting for the click to be done: the copy runs meanwhile.
        click = subprocess.Popen(["xdotool", "mousemove", str(x + width // 2),
                                  str(y + height // 2), "click", "1"], env=self.session.env)
        try:
            wait_until(lambda: self.written(pid) - start > after, "the copy to be under way",
                       interval=0.001)
        finally:
            os.kill(pid, signal.SIGSTOP)
            click.wait()
        size = self.unfinished_copy(pid)
        return size if size is not None and size < self.SIZE else None

    def test_killed_during_copy_leaves_old_or_new_never_a_mix(self):
        app = self.start()
        midway = self.change_and_stop_midway(app)
        app.kill()

        now = digest(self.target)
        self.assertIn(now, (self.old_digest, self.big_digest), "pldecal.wad is a mix")
        if midway is not None:
            # Caught before all of it was written: only the old can be in place.
            self.assertEqual(now, self.old_digest)
        self.assertEqual(os.listdir(self.mod), ["pldecal.wad"])
        self.assertEqual(digest(self.sandbox.work / "big.wad"), self.big_digest)

        # The next run goes on as if nothing had happened.
        wanted = self.sandbox.add_spray("next.wad", size=3000)
        again = self.start()
        self.change_to(again, "next.wad", wanted)
        self.assertEqual(sorted(os.listdir(self.mod)), ["pldecal.wad", "tempdecal.wad"])
        self.exit_cleanly(again)

    def test_pldecal_locked_while_the_copy_runs(self):
        before = snapshot(self.game)
        app = self.start()
        midway = self.change_and_stop_midway(app)
        if midway is None:
            os.kill(app.proc.pid, signal.SIGCONT)
            self.skipTest("the copy was over before it could be stopped")
        # The copy can be written but not put in place of the old file.
        self.make_immutable(self.target)
        os.kill(app.proc.pid, signal.SIGCONT)
        self.expect_copy_failure(app, "big.wad")
        self.assertEqual(digest(self.target), self.old_digest)
        self.assertEqual(snapshot(self.game), before)

        self.expect_usable(app)
        chattr("-i", self.target)
        wanted = self.sandbox.add_spray("next.wad", size=3000)
        self.press(app, "Refresh")
        wait_until(lambda: "next.wad" in app.spray_names(), "next.wad to be listed")
        self.change_to(app, "next.wad", wanted)
        self.assertEqual(sorted(os.listdir(self.mod)), ["pldecal.wad", "tempdecal.wad"])


    def test_tempdecal_locked_after_both_copies_are_written(self):
        # pldecal.wad is put in place first; when tempdecal.wad then cannot be,
        # pldecal.wad must be put back: both files stay as they were.
        tempdecal = self.mod / "tempdecal.wad"
        tempdecal.write_bytes(b"the game's own logo" * 100)
        before = snapshot(self.game)
        app = self.start()
        midway = self.change_and_stop_midway(app, after=self.SIZE + (4 << 20))
        if midway is None:
            os.kill(app.proc.pid, signal.SIGCONT)
            self.skipTest("the copy was over before it could be stopped")
        self.make_immutable(tempdecal)
        os.kill(app.proc.pid, signal.SIGCONT)
        lines = app.dismiss("Tagswap").split("\n")
        self.assertEqual(lines[0], f"Could not copy big.wad to {tempdecal}.")
        self.assertEqual(lines[1], "Reason: Operation not permitted")
        self.assertEqual(snapshot(self.game), before)
        self.expect_usable(app)


class SettingsFail(FaultTestCase):
    def ok_fails_to_save(self, app, folder):
        """Types folder, presses OK and expects it not to be stored; returns the reason."""
        app.enter_directory(str(folder))
        app.press(app.window("Settings", role="dialog")[0], "OK")
        lines = app.dismiss("Error").split("\n")
        self.assertEqual(lines[0], SAVE_FAILED)
        self.assertEqual(len(lines), 2, lines)
        self.assertTrue(lines[1].startswith("Reason: ") and lines[1][8:].strip(), lines[1])
        # Still open with what was typed, for another try or the close box.
        settings = app.window("Settings", role="dialog")[0]
        self.assertEqual(text_of(control(settings, "text")), str(folder))
        return lines[1][8:]

    def settings_text(self, app):
        text = text_of(control(app.open_settings(), "text"))
        self.close_settings(app)
        return text

    def close_settings(self, app):
        self.session.send_close(self.session.visible_windows("Settings")[0])
        app.wait_gone("Settings")

    def test_read_only_settings_file(self):
        self.set_up_game()
        other = self.sandbox.make_game("Other Half Life")
        stored = self.sandbox.ini.read_bytes()
        self.make_immutable(self.sandbox.ini)

        app = self.start()
        self.assertEqual(text_of(control(app.open_settings(), "text")), str(self.game))
        self.ok_fails_to_save(app, other)
        self.close_settings(app)
        self.assertEqual(self.sandbox.ini.read_bytes(), stored)
        # No lock or half-written file left beside it.
        self.assertEqual(os.listdir(self.sandbox.ini.parent), ["Tagswap.ini"])
        self.expect_usable(app)
        self.exit_cleanly(app)

        # Within the run the unsaved folder lingers (see below); a new run must not see it.
        again = self.start()
        self.assertEqual(self.settings_text(again), str(self.game))

    def test_folder_that_could_not_be_saved_is_not_used(self):
        # A value that failed to save must not linger in memory: the program
        # would show and use a folder that the next start does not know.
        self.set_up_game()
        wanted = self.sandbox.add_spray("mine.wad")
        self.make_immutable(self.sandbox.ini)
        self.expect_unsaved_folder_not_used(self.start(), wanted, lambda: None)

    def test_folder_that_could_not_be_saved_for_lack_of_room_is_not_used(self):
        # As above, without the right that chattr needs: no room to write a byte.
        self.set_up_game()
        wanted = self.sandbox.add_spray("mine.wad")
        app = self.start()
        app.main_window()
        pid = app.proc.pid
        soft, hard = resource.prlimit(pid, resource.RLIMIT_FSIZE)
        resource.prlimit(pid, resource.RLIMIT_FSIZE, (0, hard))
        reason = self.expect_unsaved_folder_not_used(
            app, wanted, lambda: resource.prlimit(pid, resource.RLIMIT_FSIZE, (soft, hard)))
        self.assertEqual(reason, "File too large")

    def expect_unsaved_folder_not_used(self, app, wanted, make_room):
        """Another folder fails to save; the settings file, the dialog and
        Change (once make_room has let it write) all keep the stored one.
        Returns the reason given."""
        stored = self.sandbox.ini.read_bytes()
        other = self.sandbox.make_game("Other Half Life")
        app.open_settings()
        reason = self.ok_fails_to_save(app, other)
        self.close_settings(app)
        self.assertEqual(self.sandbox.ini.read_bytes(), stored)
        self.assertEqual(os.listdir(self.sandbox.ini.parent), ["Tagswap.ini"])
        self.assertEqual(self.settings_text(app), str(self.game))
        make_room()
        self.change_to(app, "mine.wad", wanted)
        return reason

    def test_settings_file_is_a_folder(self):
        self.sandbox.ini.mkdir(parents=True)
        (self.sandbox.ini / "keep.txt").write_bytes(b"inside")
        game = self.sandbox.make_game()

        app = self.start()
        # Nothing can be read, so the notice counts as not shown yet.
        self.assertEqual(app.dismiss("Information").split("\n")[0], NOTICE_FIRST_LINE)
        self.assertEqual(text_of(control(app.open_settings(), "text")), DEFAULT_FOLDER)
        self.assertIn(str(self.sandbox.ini), self.ok_fails_to_save(app, game))
        self.close_settings(app)
        self.assertEqual(os.listdir(self.sandbox.ini), ["keep.txt"])
        self.assertEqual((self.sandbox.ini / "keep.txt").read_bytes(), b"inside")
        self.expect_usable(app)
        self.exit_cleanly(app)

    def test_garbage_settings_file_reads_empty_and_is_replaced(self):
        self.sandbox.ini.parent.mkdir(parents=True)
        self.sandbox.ini.write_bytes(random.Random(5).randbytes(4096) + b"\n[Settings\nHLDir")
        game = self.sandbox.make_game()
        wanted = self.sandbox.add_spray("mine.wad")

        app = self.start()
        self.assertEqual(app.dismiss("Information").split("\n")[0], NOTICE_FIRST_LINE)
        settings = app.open_settings()
        self.assertEqual(text_of(control(settings, "text")), DEFAULT_FOLDER)
        app.enter_directory(str(game))
        app.press(settings, "OK")
        app.wait_gone("Settings")
        wait_until(lambda: self.sandbox.settings().get("HLDir") == str(game),
                   "the folder stored in a sound settings file")
        self.assertEqual(self.sandbox.settings().get("BeenRun"), "True")

        app.select_spray("mine.wad")
        self.press(app, "Change")
        app.install_anyway("mine.wad")
        target = game / "valve" / "pldecal.wad"
        wait_until(lambda: target.exists() and target.read_bytes() == wanted,
                   "the spray in the stored game folder")

    def test_settings_folder_cannot_be_created(self):
        self.sandbox.ini.parent.write_bytes(b"in the way")
        game = self.sandbox.make_game()

        app = self.start(first_run=True)
        self.assertEqual(app.dismiss("Information").split("\n")[0], NOTICE_FIRST_LINE)
        self.assertEqual(text_of(control(app.open_settings(), "text")), DEFAULT_FOLDER)
        self.assertIn(str(self.sandbox.ini.parent), self.ok_fails_to_save(app, game))
        self.close_settings(app)
        self.assertEqual(self.sandbox.ini.parent.read_bytes(), b"in the way")
        self.expect_usable(app)
        self.exit_cleanly(app)

        # Nothing was recorded, so the next start shows the notice again.
        again = self.start(first_run=True)
        self.assertEqual(again.dismiss("Information").split("\n")[0], NOTICE_FIRST_LINE)
        self.expect_usable(again)


class ModListFails(FaultTestCase):
    def test_mods_file_that_cannot_be_opened_gives_valve(self):
        mods = self.sandbox.work / "mods.txt"
        wanted = self.sandbox.add_spray("mine.wad")
        self.set_up_game(mods=None)

        def as_folder():
            mods.mkdir()
            (mods / "tfc").write_bytes(b"tfc\r\n")

        setups = {
            "a folder": as_folder,
            "a link to nothing": lambda: mods.symlink_to("missing/mods.txt"),
            "a link to itself": lambda: mods.symlink_to("mods.txt"),
        }
        for what, make in setups.items():
            with self.subTest(mods_txt=what):
                make()
                app = self.start()
                self.assertEqual(app.mod_names(), ["valve"])
                self.assertEqual(app.mod_box().get_name(), "valve")
                self.assertEqual([w.get_name() for w in app.windows()], ["Tagswap Beta"])
                self.change_to(app, "mine.wad", wanted)
                self.target.unlink()
                self.exit_cleanly(app)
                if mods.is_symlink():
                    mods.unlink()
                else:
                    shutil.rmtree(mods)


class WorkingFolderDeleted(FaultTestCase):
    def test_refresh_change_help_and_exit_after_the_folder_went(self):
        old = b"the spray the game had"
        self.set_up_game(old=old)
        self.sandbox.add_spray("alpha.wad")
        self.sandbox.add_spray("bravo.wad")
        app = self.start()
        self.assertEqual(app.spray_names(), ["alpha.wad", "bravo.wad"])
        app.select_spray("bravo.wad")
        shutil.rmtree(self.sandbox.work)

        self.press(app, "Change")
        self.expect_copy_failure(app, "bravo.wad")
        self.assertEqual(self.target.read_bytes(), old)

        self.press(app, "Refresh")
        self.assertEqual(app.dismiss("Tagswap"),
                         f"The folder {self.sandbox.work} cannot be read any more.")
        wait_until(lambda: app.spray_names() == [], "the list to be emptied")

        self.press(app, "Change")
        self.assertEqual(app.dismiss("Tagswap"), "Please choose a spraypaint.")
        self.assertEqual(self.target.read_bytes(), old)
        self.assertEqual(os.listdir(self.mod), ["pldecal.wad"])
        self.expect_usable(app)
        self.exit_cleanly(app)


class BadInputAtStart(FaultTestCase):
    START = 90  # generous: what counts is that start-up ends, not how fast

    def start_and_wait(self):
        app = self.start()
        wait_until(app.main_window, "the main window", timeout=self.START)
        return app

    def mod_entries(self, app):
        return control(control(app.main_window(), "combo box"), "list")

    def expect_mods(self, app, data, indexes=None):
        """The mod list against what mods.txt holds, with the first entry
        chosen; compares the entries at indexes, or all of them."""
        lines = mod_list_lines(data)
        entries = self.mod_entries(app)
        self.assertEqual(entries.get_child_count(), len(lines))
        for index in range(len(lines)) if indexes is None else indexes:
            self.assertEqual(entries.get_child_at_index(index).get_name(),
                             as_read_aloud(lines[index]), f"entry {index}")
        self.assertEqual(control(app.main_window(), "combo box").get_name(),
                         as_read_aloud(lines[0]))

    def test_hundred_megabyte_mods_file(self):
        path = self.sandbox.work / "mods.txt"
        pattern = bytes(range(33, 127)) * 10000
        with open(path, "wb") as f:
            f.write(b"valve\r\n")
            for _ in range((100 << 20) // len(pattern)):
                f.write(pattern)
            f.write(b"\r\ntfc\r\n")
        app = self.start_and_wait()
        self.expect_mods(app, b"valve\r\n" + pattern[:LINE_BYTES] + b"\r\ntfc\r\n")
        self.expect_usable(app)
        self.exit_cleanly(app)

    def test_megabyte_line_among_a_hundred_thousand_lines(self):
        data = b"\r\n".join([b"valve", b"m" * (1 << 20)]
                            + [b"mod%d" % i for i in range(100000)]) + b"\r\n"
        (self.sandbox.work / "mods.txt").write_bytes(data)
        app = self.start_and_wait()
        self.expect_mods(app, data, indexes=(0, 1, 2, MOST_MODS - 1))
        self.expect_usable(app)
        self.exit_cleanly(app)

    def test_binary_junk_mods_file(self):
        data = random.Random(6).randbytes(16 << 10)
        (self.sandbox.work / "mods.txt").write_bytes(data)
        app = self.start_and_wait()
        self.expect_mods(app, data)
        self.expect_usable(app)
        self.exit_cleanly(app)

    def test_folder_of_a_hundred_thousand_sprays(self):
        count = 100000
        work = str(self.sandbox.work)
        for i in range(count):
            os.close(os.open(f"{work}/{i}.wad", os.O_CREAT | os.O_WRONLY, 0o644))
        app = self.start_and_wait()
        sprays = control(app.main_window(), "list")
        self.assertEqual(sprays.get_child_count(), count)
        # In natural order: 9.wad before 10.wad.
        for index in (0, 9, 10, count - 1):
            self.assertEqual(sprays.get_child_at_index(index).get_name(), f"{index}.wad")
        self.expect_usable(app)
        self.exit_cleanly(app)


if __name__ == "__main__":
    harness.main()
