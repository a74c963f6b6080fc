"""The Windows build, end to end: the real Tagswap.exe and tagswap-spray.exe
under Wine, in a private X server and a Wine prefix made for this run alone.

There is no accessibility tree across Wine, so windows are found by title,
controls are clicked where the window's design puts them, and texts are read
the way a Windows user copies them: Ctrl+C on a message box or a field, then
the clipboard. The registry and the files are read from outside.

CTest runs it as e2e_wine. By hand: TAGSWAP_EXE, TAGSWAP_SPRAY_EXE and
TAGSWAP_RECORDER_EXE name the cross-built programs, TAGSWAP_LINUX_SPRAY a Linux
tagswap-spray to compare with (optional); name cases as arguments to run only those.
"""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
import harness  # noqa: E402 - found through the path above
import x11  # noqa: E402
from harness import DEADLINE, stop_group, wait_until  # noqa: E402

SOURCE = Path(os.environ.get("TAGSWAP_SOURCE_DIR", Path(__file__).resolve().parents[3]))
DEPS = os.environ.get("TAGSWAP_WINDOWS_DEPS", str(SOURCE / ".cache/windows-deps/qt6-mingw64"))
ARTIFACTS = Path(os.environ.get("TAGSWAP_E2E_ARTIFACTS", "."))
KEY = r"HKCU\Software\VB and VBA Program Settings\Tagswap"
SETTINGS_KEY = KEY + r"\Settings"
SEPARATOR = "---------------------------\n"  # around each part of a copied message box


def program(variable):
    path = os.environ.get(variable, "")
    if not path or not Path(path).is_file():
        sys.exit(f"{variable} does not name the built program")
    return Path(path).resolve()


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def twips(*values):
    """A design's twips as pixels, as the program converts them."""
    return [v // 15 for v in values]


# Places from main_window/main_window_design.cpp and settings_dialog/frm_settings.cpp.
MAIN_SIZE = twips(3135, 3465)
SPRAY_LIST = twips(120, 120, 1815, 3210)
CHANGE = twips(2040, 120, 975, 495)
SETTINGS = twips(2040, 1560, 975, 315)
EXIT = twips(2040, 3000, 975, 315)
SETTINGS_SIZE = twips(3855, 1095)
SETTINGS_FIELD = twips(120, 360, 3255, 285)
SETTINGS_OK = twips(2880, 720, 855, 255)


class WineDesktop(harness.Session):
    """An X server and a Wine prefix whose server lives as long as the run,
    so that a program ended by force cannot take unsaved registry with it."""

    def start(self):
        try:
            display = self._spawn_reporting(
                ["Xvfb", "-displayfd", "{fd}", "-screen", "0", "1280x1024x24", "-dpi", "96",
                 "-nolisten", "tcp"], "Xvfb")
            self.home = self.root / "home"
            self.home.mkdir()
            self.prefix = self.root / "prefix"
            self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "DISPLAY": f":{display}",
                        "HOME": str(self.home), "LANG": "C.UTF-8", "WINEDEBUG": "-all",
                        "WINEDLLOVERRIDES": "mscoree,mshtml=", "WINEPREFIX": str(self.prefix)}
            self.run([SOURCE / "tools/wine-prefix.sh", "create", self.prefix], timeout=300)
            # It stays in the background: no pipe of ours may be left open in it.
            subprocess.run(["wineserver", "--persistent"], env=self.env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=DEADLINE,
                           start_new_session=True)
        except BaseException:
            self.stop()
            raise

    def stop(self):
        if getattr(self, "prefix", None) and self.prefix.exists():
            subprocess.run([SOURCE / "tools/wine-prefix.sh", "remove", self.prefix], env=self.env,
                           capture_output=True, timeout=60)
        super().stop()

    def run(self, argv, timeout=DEADLINE, check=True, cwd=None):
        """Runs a program to its end; returns its exit status and output. In a
        session of its own, so that what Wine starts alongside (its services)
        is never ended with a test's program, and with files for output, which
        those services may hold open long after."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run([str(a) for a in argv], env=self.env, stdout=out, stderr=err,
                                  timeout=timeout, cwd=cwd, start_new_session=True).returncode
            out.seek(0)
            err.seek(0)
            said = out.read().decode(errors="replace").replace("\r\n", "\n")
            if check and code != 0:
                raise AssertionError(f"{Path(argv[0]).name} {argv[1]} failed ({code}): "
                                     f"{err.read().decode(errors='replace')}")
            return code, said

    # -- the registry ----------------------------------------------------------
    def reg(self, *args, check=True):
        return self.run(["wine", "reg", *args], check=check)

    def setting(self, name):
        """(type, text) of a stored setting, or None."""
        code, said = self.reg("query", SETTINGS_KEY, "/v", name, check=False)
        for line in said.splitlines() if code == 0 else []:
            words = line.strip().split(None, 2)
            if len(words) >= 2 and words[0] == name:
                return words[1], words[2] if len(words) == 3 else ""
        return None

    def store(self, **values):
        for name, value in values.items():
            self.reg("add", SETTINGS_KEY, "/v", name, "/t", "REG_SZ", "/d", str(value), "/f")

    def local_app_data(self):
        users = self.prefix / "drive_c/users"
        return [p / "AppData/Local/Tagswap" for p in users.iterdir()]

    def forget_user(self):
        """A person who never ran Tagswap: no settings, no kept sprays."""
        self.reg("delete", KEY, "/f", check=False)
        for folder in self.local_app_data():
            shutil.rmtree(folder, ignore_errors=True)

    # -- windows and input -----------------------------------------------------
    def window(self, title, app=None):
        """Waits for a window; gives up at once when app has ended."""
        def shown():
            if app and app.proc.poll() is not None:
                raise harness.Ended(f"Tagswap ended with {app.proc.returncode}")
            return (self.visible_windows(title) or [None])[-1]
        return wait_until(shown, f"the window {title!r}")

    def wait_gone(self, title):
        wait_until(lambda: not self.visible_windows(title), f"{title!r} to close")

    def focus(self, xid):
        self.xdotool("windowfocus", "--sync", xid)
        x11.take_focus(self.env["DISPLAY"], xid)

    def size_of(self, xid):
        out = self.xdotool("getwindowgeometry", "--shell", xid)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def click_in(self, xid, client_size, place, dy=None):
        """Clicks a control at its design place. With no window manager Wine
        draws some windows' frames itself, inside the X window: the client area
        sits at the bottom, centred, with equal side and bottom borders."""
        width, height = self.size_of(xid)
        side = (width - client_size[0]) // 2
        top = height - client_size[1] - side
        x, y, w, h = place
        self.xdotool("mousemove", "--window", xid, side + x + w // 2,
                     top + y + (h // 2 if dy is None else dy), "click", "1")

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def copied(self, xid, check, what):
        """Presses Ctrl+C in a window until the clipboard holds what check accepts."""
        def copy():
            self.focus(xid)
            self.key("ctrl+c")
            text = x11.clipboard_text(self.env["DISPLAY"])
            return text if text is not None and check(text) else None
        return wait_until(copy, what, interval=0.5)

    def message(self, title):
        """Waits for a message box; returns its text and X id."""
        xid = self.window(title)
        header = SEPARATOR + title + "\n" + SEPARATOR
        copy = self.copied(xid, lambda text: text.startswith(header),
                           f"the text of the message box {title!r}")
        return copy[len(header):].split(SEPARATOR, 1)[0].rstrip("\n"), xid

    def dismiss(self, title):
        """Reads a message box and presses Enter on its default button."""
        text, xid = self.message(title)
        self.focus(xid)
        self.key("Return")
        self.wait_gone(title)
        return text


class Tagswap:
    """One run of Tagswap.exe."""

    def __init__(self, desktop, folder, args=(), env=None):
        self.desktop = desktop
        self.log = folder.parent / "tagswap.log"
        environment = dict(desktop.env, QT_QPA_PLATFORM="windows", QT_SCALE_FACTOR="1",
                           QT_ENABLE_HIGHDPI_SCALING="0", **(env or {}))
        with open(self.log, "ab") as log:
            self.proc = subprocess.Popen(
                [SOURCE / "tools/wine-run.sh", DEPS, desktop.prefix, TAGSWAP_EXE, *args],
                cwd=folder, env=environment, stdout=log, stderr=log, start_new_session=True)
        desktop.procs.append(self.proc)

    def main_window(self):
        return self.desktop.window("Tagswap Beta", self)

    def press(self, place):
        self.desktop.click_in(self.main_window(), MAIN_SIZE, place)

    def exit(self):
        self.press(EXIT)
        try:
            code = self.proc.wait(timeout=DEADLINE)
        except subprocess.TimeoutExpired:
            raise AssertionError("Tagswap did not end on Exit") from None
        if code != 0:
            raise AssertionError(f"Tagswap ended with {code}")

    def end(self):
        stop_group(self.proc)


# -- the cases ---------------------------------------------------------------
class Case:
    def __init__(self, desktop, name):
        self.desktop = desktop
        self.root = desktop.root / name
        self.sprays = self.root / "sprays"
        self.sprays.mkdir(parents=True)
        self.apps = []
        desktop.forget_user()

    def start(self, *args, env=None):
        app = Tagswap(self.desktop, self.sprays, args, env)
        self.apps.append(app)
        return app

    def game(self, hl_exe=None):
        """A stand-in Half-Life folder; its hl.exe is hl_exe's copy, or any file."""
        game = self.root / "My Games" / "Half-Life"
        for mod in ("valve", "tfc"):
            (game / mod).mkdir(parents=True)
        if hl_exe:
            shutil.copy(hl_exe, game / "hl.exe")
        else:
            (game / "hl.exe").write_bytes(b"MZ")
        return game

    def demo_sprays(self):
        for spray in sorted((SOURCE / "demo").glob("*.wad")) + [SOURCE / "demo/mods.txt"]:
            shutil.copy(spray, self.sprays)

    def end(self):
        for app in self.apps:
            app.end()


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def writable(path):
    return bool(path.stat().st_mode & (stat.S_IWUSR | stat.S_IWGRP | stat.S_IWOTH))


def first_run(case):
    desktop = case.desktop
    app = case.start()
    notice = desktop.dismiss("Information")
    check(notice.startswith("This appears to be your first time running Tagswap.\n")
          and notice.endswith("\nThis message will only appear once."),
          f"not the first-run notice: {notice!r}")
    app.main_window()
    check(desktop.setting("BeenRun") == ("REG_SZ", "True"),
          f"BeenRun is {desktop.setting('BeenRun')}")
    app.exit()
    return "the notice shows once, then BeenRun is REG_SZ True"


def enter_directory(desktop, dialog, text):
    """Types a folder into the Settings dialog and presses OK."""
    desktop.focus(dialog)
    # Into the field first: OK keeps the focus after a click, and a blank
    # typed to it would press it.
    desktop.click_in(dialog, SETTINGS_SIZE, SETTINGS_FIELD)
    desktop.key("ctrl+a")
    desktop.xdotool("type", "--delay", "20", "--", text)
    # Selected again, so the copy below takes the whole field.
    desktop.key("ctrl+a")
    desktop.copied(dialog, lambda copy: copy == text, f"{text!r} in the directory field")
    desktop.click_in(dialog, SETTINGS_SIZE, SETTINGS_OK)


def settings_stores_the_game_folder(case):
    desktop = case.desktop
    desktop.store(BeenRun="True")
    game = case.game()
    app = case.start()
    app.press(SETTINGS)
    dialog = desktop.window("Settings")

    enter_directory(desktop, dialog, windows_path(game.parent))
    refusal = desktop.dismiss("Error")
    check(f"Reason: hl.exe does not reside in {windows_path(game.parent)}\n" in refusal,
          f"not the refusal of a folder without hl.exe: {refusal!r}")
    check(desktop.setting("HLDir") is None, "a folder without hl.exe was stored")

    enter_directory(desktop, dialog, windows_path(game))
    desktop.wait_gone("Settings")
    stored = desktop.setting("HLDir")
    check(stored == ("REG_SZ", windows_path(game)), f"HLDir is {stored}")
    app.exit()
    return "a folder without hl.exe is refused; the game folder is stored as HLDir"


def change_installs_the_spray(case):
    desktop = case.desktop
    game = case.game()
    mod = game / "valve"
    games_own = b"the game's own logo" * 300
    for name in ("pldecal.wad", "tempdecal.wad"):
        (mod / name).write_bytes(games_own)
    case.demo_sprays()
    desktop.store(BeenRun="True", HLDir=windows_path(game))
    app = case.start()
    main = app.main_window()

    def change(move, spray):
        desktop.focus(main)
        # The first row, then the arrow keys: the list is sorted by name.
        desktop.click_in(main, MAIN_SIZE, SPRAY_LIST, dy=9)
        desktop.key(move)
        app.press(CHANGE)
        wanted = (case.sprays / spray).read_bytes()
        # The guard goes on just after the files are in place.
        wait_until(lambda: all((mod / n).read_bytes() == wanted
                               for n in ("pldecal.wad", "tempdecal.wad"))
                   and not writable(mod / "tempdecal.wad"),
                   f"both spray files to hold {spray}, tempdecal.wad read-only")
        check(not desktop.visible_windows("Tagswap"), "Change showed a message")
        check(writable(mod / "pldecal.wad"), "pldecal.wad was made read-only")

    change("Down", "heart.wad")
    change("End", "star.wad")  # over the read-only tempdecal.wad
    check(sorted(os.listdir(mod)) == ["pldecal.wad", "tempdecal.wad"],
          f"the mod folder holds {sorted(os.listdir(mod))}")
    kept = [p for folder in desktop.local_app_data() for p in folder.glob("replaced/*.wad")]
    check(len(kept) == 1 and kept[0].read_bytes() == games_own,
          f"not the game's own spray kept once in LocalAppData: {kept}")
    app.exit()
    return ("Change puts the chosen spray in both files, over the read-only tempdecal.wad, and "
            "keeps the game's own in LocalAppData")


GAME_ARGUMENTS = ["-game", "tfc", '+name "Jürgen x"', ""]


def exit_starts_the_game(case):
    desktop = case.desktop
    game = case.game(hl_exe=RECORDER_EXE)
    record = case.root / "record"
    desktop.store(BeenRun="True", HLDir=windows_path(game))
    app = case.start(*GAME_ARGUMENTS, env={"TAGSWAP_RECORD_TO": windows_path(record)})
    app.exit()
    wait_until(record.exists, "the game to be started")
    folder, *arguments = [e.decode() for e in record.read_bytes().split(b"\0")[:-1]]
    check(folder == windows_path(game), f"the game ran in {folder!r}")
    check(arguments == GAME_ARGUMENTS, f"the game was given {arguments!r}")
    return "Exit starts hl.exe in the game folder with exactly Tagswap's arguments"


def sven_coop_is_taken_and_started(case):
    desktop = case.desktop
    desktop.store(BeenRun="True")
    game = case.root / "Sven Co-op"
    (game / "svencoop").mkdir(parents=True)
    shutil.copy(RECORDER_EXE, game / "svencoop.exe")
    record = case.root / "record"
    app = case.start(*GAME_ARGUMENTS, env={"TAGSWAP_RECORD_TO": windows_path(record)})
    app.press(SETTINGS)
    enter_directory(desktop, desktop.window("Settings"), windows_path(game))
    desktop.wait_gone("Settings")
    stored = desktop.setting("HLDir")
    check(stored == ("REG_SZ", windows_path(game)), f"HLDir is {stored}")
    app.exit()
    wait_until(record.exists, "Sven Co-op to be started")
    folder, *arguments = [e.decode() for e in record.read_bytes().split(b"\0")[:-1]]
    check(folder == windows_path(game), f"the game ran in {folder!r}")
    check(arguments == GAME_ARGUMENTS, f"the game was given {arguments!r}")
    return "Settings takes Sven Co-op's folder; Exit starts its svencoop.exe with Tagswap's arguments"


def spray_tool(case):
    desktop = case.desktop
    image = SOURCE / "resources/icons/hicolor/256x256/apps/io.github.tagswap.Tagswap.png"
    made = {}
    for system, run in (("windows", run_windows_spray), ("linux", run_linux_spray)):
        if run is run_linux_spray and not LINUX_SPRAY:
            continue
        folder = case.root / system
        folder.mkdir()
        shutil.copy(image, folder / "logo.png")
        said = run(desktop, folder, "make", "logo.png", "-o", "logo.wad")
        made[system] = (said, run(desktop, folder, "info", "logo.wad"),
                        (folder / "logo.wad").stat().st_size)
    said, info, size = made["windows"]
    check(said.startswith("logo.wad: ") and info.endswith(", ok\n") and size <= 20480,
          f"not a spray the game takes: {said!r} {info!r}")
    if LINUX_SPRAY:
        check(made["windows"] == made["linux"],
              f"Windows made {made['windows']}, Linux {made['linux']}")

    game = case.game()
    wad = case.root / "windows/logo.wad"
    # The game's spray a link to another file: the link is replaced, the file keeps its bytes.
    elsewhere = case.root / "elsewhere.wad"
    elsewhere.write_bytes(b"another spray")
    (game / "valve/pldecal.wad").symlink_to(elsewhere)
    install = ["install", "logo.wad", "--game", windows_path(game), "--mod", "valve"]
    run_windows_spray(desktop, wad.parent, *install)
    for name in ("pldecal.wad", "tempdecal.wad"):
        check((game / "valve" / name).read_bytes() == wad.read_bytes(), f"{name} is not the spray")
    check(not (game / "valve/pldecal.wad").is_symlink(), "pldecal.wad is still a link")
    check(elsewhere.read_bytes() == b"another spray", "the linked file was written")
    check(not writable(game / "valve/tempdecal.wad"), "tempdecal.wad is not read-only")
    # A read-only pldecal.wad is replaced all the same, and stays read-only.
    (game / "valve/pldecal.wad").write_bytes(b"the game's own")
    (game / "valve/pldecal.wad").chmod(0o444)
    run_windows_spray(desktop, wad.parent, *install)
    check((game / "valve/pldecal.wad").read_bytes() == wad.read_bytes(),
          "a read-only pldecal.wad was not replaced")
    check(not writable(game / "valve/pldecal.wad"), "pldecal.wad is no longer read-only")
    compared = "the same spray as Linux's" if LINUX_SPRAY else "a spray"
    return (f"tagswap-spray.exe makes {compared} ({info.strip()}) and installs it, over a linked "
            "and a read-only pldecal.wad")


def run_windows_spray(desktop, folder, *args):
    return desktop.run([SOURCE / "tools/wine-run.sh", DEPS, desktop.prefix, SPRAY_EXE, *args],
                       cwd=folder)[1]


def run_linux_spray(_, folder, *args):
    done = subprocess.run([LINUX_SPRAY, *args], cwd=folder, capture_output=True, timeout=DEADLINE,
                          env=dict(os.environ, QT_QPA_PLATFORM="offscreen", LANG="C.UTF-8"))
    if done.returncode != 0:
        raise AssertionError(f"the Linux tagswap-spray failed: {done.stderr.decode()}")
    return done.stdout.decode()


CASES = [first_run, settings_stores_the_game_folder, change_installs_the_spray,
         exit_starts_the_game, sven_coop_is_taken_and_started, spray_tool]


def run_case(desktop, function):
    case = Case(desktop, function.__name__)
    try:
        print(f"PASS {function.__name__}: {function(case)}", flush=True)
        return True
    except Exception:  # noqa: BLE001 - reported, and the next case runs
        desktop.failed = True
        shot = ARTIFACTS / f"e2e_wine-{function.__name__}.png"
        desktop.screenshot(shot)
        print(f"FAIL {function.__name__} (screen in {shot})", flush=True)
        traceback.print_exc()
        for app in case.apps:
            if app.log.exists():
                sys.stderr.write(app.log.read_text(errors="replace"))
        return False
    finally:
        case.end()


def main():
    desktop = WineDesktop()
    started = time.monotonic()
    desktop.start()
    try:
        # Cases named on the command line, or all.
        chosen = [c for c in CASES if c.__name__ in sys.argv[1:]] or CASES
        passed = [run_case(desktop, case) for case in chosen]
    finally:
        desktop.stop()
    print(f"{sum(passed)} of {len(passed)} cases passed in {time.monotonic() - started:.0f} s")
    if not all(passed):
        sys.exit(1)
    if not LINUX_SPRAY:
        print("SKIP comparing with the Linux tagswap-spray: set TAGSWAP_LINUX_SPRAY to a Linux "
              "build's tagswap-spray", flush=True)
        sys.exit(harness.SKIPPED)


TAGSWAP_EXE = program("TAGSWAP_EXE")
SPRAY_EXE = program("TAGSWAP_SPRAY_EXE")
RECORDER_EXE = program("TAGSWAP_RECORDER_EXE")
LINUX_SPRAY = os.environ.get("TAGSWAP_LINUX_SPRAY", "")
if LINUX_SPRAY:
    LINUX_SPRAY = str(Path(LINUX_SPRAY).resolve())
    if not os.access(LINUX_SPRAY, os.X_OK):
        sys.exit(f"TAGSWAP_LINUX_SPRAY={LINUX_SPRAY} is not a program")

if __name__ == "__main__":
    main()
