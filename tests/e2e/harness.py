"""Drives the real tagswap binary in a private X server, as a person would.

Each test module gets its own Xvfb display, session bus and accessibility bus
(so CTest may run modules side by side); each test gets its own home, settings
folder and working folder. Texts and window states are read through the
accessibility tree (AT-SPI); clicks and keys go through the X server with
xdotool, at the positions the accessibility tree reports, so a misplaced or
hidden control fails the way it would fail a person.
"""

import atexit
import configparser
import ctypes
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

TAGSWAP_BIN = os.environ.get("TAGSWAP_BIN", "")
DEADLINE = 20.0
# The exit status of a module none of whose tests failed but some of which
# did not run; CTest takes it (SKIP_RETURN_CODE) as skipped, not passed.
SKIPPED = 77

# Being told to stop ends the run like Ctrl-C, which unittest lets through,
# so that the session still ends every process it started.
signal.signal(signal.SIGTERM, signal.default_int_handler)
signal.signal(signal.SIGHUP, signal.default_int_handler)

Atspi = None  # imported once the session's buses exist (it reads the environment then)


class Ended(AssertionError):
    """The program is gone; waiting longer cannot help."""


def wait_until(condition, what, timeout=DEADLINE, interval=0.1):
    """Polls condition() until it returns something true; errors from a window
    that is just appearing or going away count as 'not yet'."""
    end = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except Ended:
            raise
        except Exception as error:  # noqa: BLE001 - retried, and reported below
            last_error = error
        if time.monotonic() > end:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


def stop_group(proc):
    """Ends a process started in a session of its own, with all it started
    in that session."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        pass


def read_line_from(fd, what, timeout=DEADLINE):
    data = b""
    end = time.monotonic() + timeout
    while not data.endswith(b"\n"):
        left = end - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise RuntimeError(f"{what} did not start in time")
        chunk = os.read(fd, 256)
        if not chunk:
            raise RuntimeError(f"{what} exited during start-up")
        data += chunk
    return data.decode().strip()


class Session:
    """One X server, session bus and accessibility bus."""

    def __init__(self):
        self.root = Path(tempfile.mkdtemp(prefix="tagswap-e2e-"))
        self.procs = []
        self.env = {}
        self.failed = False

    def _spawn_reporting(self, argv, what, env=None):
        r, w = os.pipe()
        proc = subprocess.Popen([a.replace("{fd}", str(w)) for a in argv], pass_fds=(w,),
                                env=env, start_new_session=True,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(proc)
        os.close(w)
        try:
            return read_line_from(r, what)
        finally:
            os.close(r)

    def start(self):
        global Atspi
        try:
            display = self._spawn_reporting(
                ["Xvfb", "-displayfd", "{fd}", "-screen", "0", "1280x1024x24", "-dpi", "96",
                 "-nolisten", "tcp"], "Xvfb")
            run = self.root / "run"
            run.mkdir(mode=0o700)
            self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "DISPLAY": f":{display}",
                        "HOME": str(self.root), "XDG_RUNTIME_DIR": str(run), "LANG": "C.UTF-8"}
            # A sanitizer build's leak suppressions reach the program. (Not the tests'
            # ASAN_OPTIONS: their strict string checks trip over libxkbcommon.)
            if "LSAN_OPTIONS" in os.environ:
                self.env["LSAN_OPTIONS"] = os.environ["LSAN_OPTIONS"]
            bus = self._spawn_reporting(
                ["dbus-daemon", "--session", "--nofork", "--print-address={fd}"], "dbus-daemon",
                env=self.env)
            self.env["DBUS_SESSION_BUS_ADDRESS"] = bus
            self.procs.append(subprocess.Popen(
                ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=self.env,
                start_new_session=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            # Asking the bus itself, because a call to org.a11y.Bus before the
            # launcher owns it would start a second launcher.
            wait_until(lambda: "boolean true" in (self._dbus(
                "--session", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus") or ""),
                "the accessibility bus launcher")
            reply = self._dbus("--session", "--dest=org.a11y.Bus", "/org/a11y/bus",
                               "org.a11y.Bus.GetAddress")
            a11y_bus = reply.split('"')[1]
            # The registry starts on first use; have it running before any client.
            wait_until(lambda: self._dbus(
                f"--bus={a11y_bus}", "--dest=org.a11y.atspi.Registry",
                "/org/a11y/atspi/accessible/root", "org.freedesktop.DBus.Peer.Ping") is not None,
                "the accessibility registry")
            os.environ.update(self.env)
            import warnings
            warnings.filterwarnings("ignore", category=ImportWarning)
            warnings.filterwarnings("ignore", category=DeprecationWarning)
            import gi
            gi.require_version("Atspi", "2.0")
            from gi.repository import Atspi as atspi_module
            Atspi = atspi_module
            Atspi.init()
            # Without this, names and states read after a change may be stale.
            Atspi.get_desktop(0).set_cache_mask(Atspi.Cache.NONE)
        except BaseException:
            self.stop()
            raise

    def _dbus(self, *args):
        """dbus-send's reply, or None when the call failed."""
        done = subprocess.run(["dbus-send", "--print-reply", *args], env=self.env,
                              capture_output=True, text=True, timeout=DEADLINE)
        return done.stdout if done.returncode == 0 else None

    def stop(self):
        while self.procs:
            stop_group(self.procs.pop())
        if self.failed:
            print(f"test files kept in {self.root}", file=sys.stderr)
        else:
            shutil.rmtree(self.root, ignore_errors=True)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                              capture_output=True, text=True).stdout

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", str(path)], env=self.env,
                       capture_output=True, timeout=60)

    # -- the X server ----------------------------------------------------------
    def visible_windows(self, title):
        """X ids of mapped windows with exactly this title."""
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                             env=self.env, capture_output=True, text=True).stdout
        return [int(w) for w in out.split()]

    def window_position(self, xid):
        out = self.xdotool("getwindowgeometry", "--shell", xid)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"])

    def send_close(self, xid):
        """What a window manager sends when the close box is pressed."""
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                        ("pad", ctypes.c_long * 24)]  # XEvent is larger than this member

        dpy = x11.XOpenDisplay(self.env["DISPLAY"].encode())
        if not dpy:
            raise RuntimeError("cannot open the display")
        try:
            event = ClientMessage(type=33, window=xid, format=32,
                                  message_type=x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0))
            event.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
            x11.XSendEvent(dpy, xid, 0, 0, ctypes.byref(event))
            x11.XSync(dpy, 0)
        finally:
            x11.XCloseDisplay(dpy)

    def click_at(self, x, y):
        self.xdotool("mousemove", x, y, "click", "1")

    def click(self, node):
        """Clicks the middle of a control, where the accessibility tree says it is."""
        x, y, width, height = screen_extents(node)
        if width <= 0 or height <= 0:
            raise AssertionError(f"{describe(node)} has no area to click")
        self.click_at(x + width // 2, y + height // 2)

    def focus(self, xid):
        self.xdotool("windowfocus", "--sync", xid)

    def type_text(self, text):
        self.xdotool("type", "--delay", "20", "--", text)

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)


# -- the accessibility tree ----------------------------------------------------
def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def has_state(node, state):
    return node.get_state_set().contains(state)


def showing(node):
    return has_state(node, Atspi.StateType.SHOWING)


def describe(node):
    return f"{node.get_role_name()} {node.get_name()!r}"


def find_all(node, role, name=None):
    found = []
    for child in children(node):
        if child.get_role_name() == role and (name is None or child.get_name() == name):
            found.append(child)
        found.extend(find_all(child, role, name))
    return found


def find(node, role, name=None):
    found = find_all(node, role, name)
    if not found:
        raise LookupError(f"no {role} {name!r} in {describe(node)}")
    return found[0]


def screen_extents(node):
    ext = node.get_extents(Atspi.CoordType.SCREEN)
    return ext.x, ext.y, ext.width, ext.height


def text_of(node):
    return node.get_text(0, node.get_character_count())


class App:
    """One run of tagswap."""

    def __init__(self, session, sandbox, args=(), path_prefix=None):
        self.session = session
        env = dict(session.env, **sandbox.env, QT_QPA_PLATFORM="xcb", QT_SCALE_FACTOR="1",
                   QT_ENABLE_HIGHDPI_SCALING="0", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1")
        if path_prefix:
            env["PATH"] = f"{path_prefix}:{env['PATH']}"
        self.log = sandbox.root / "tagswap.log"
        with open(self.log, "ab") as log:
            self.proc = subprocess.Popen([TAGSWAP_BIN, *args], cwd=sandbox.work, env=env,
                                         stdout=log, stderr=log, start_new_session=True)
        session.procs.append(self.proc)  # ended with the session at the latest

    def node(self):
        """The program's node in the accessibility tree (it registers a moment
        after start; poll with wait_until)."""
        self.assert_running()
        desktop = Atspi.get_desktop(0)
        found = [a for a in children(desktop) if a.get_process_id() == self.proc.pid]
        if not found:
            raise LookupError("tagswap is not in the accessibility tree yet")
        return found[0]

    def windows(self):
        return [w for w in children(self.node()) if showing(w)]

    def window(self, title, role=None):
        """Waits for a shown top-level window; returns its node and X id."""
        def lookup():
            nodes = [w for w in self.windows()
                     if w.get_name() == title and (role is None or w.get_role_name() == role)]
            xids = self.session.visible_windows(title)
            return nodes and xids and (nodes[-1], xids[-1])
        return wait_until(lookup, f"the window {title!r}")

    def wait_gone(self, title):
        wait_until(lambda: not any(w.get_name() == title for w in self.windows())
                   and not self.session.visible_windows(title), f"{title!r} to close")

    def message(self, title):
        """Waits for a message box; returns its text (line ends as shown) and its node."""
        box, _ = self.window(title, role="alert")
        return find(box, "label").get_name(), box

    def dismiss(self, title):
        """Presses OK on a message box and waits for it to go."""
        text, box = self.message(title)
        self.session.click(find(box, "push button", "OK"))
        self.wait_gone(title)
        return text

    def answer(self, title, caption):
        """Presses a button of a question box and waits for it to go; returns its text."""
        text, box = self.message(title)
        self.session.click(find(box, "push button", caption))

        def asked():
            return any(w.get_name() == title and find_all(w, "push button", caption)
                       for w in self.windows())
        # Another box of the same title may follow at once (a failed copy).
        wait_until(lambda: not asked(), f"the {caption!r} of {title!r} to be taken")
        return text

    def install_anyway(self, spray):
        """Answers Yes when Change asks about a file the game would refuse."""
        text = self.answer("Tagswap", "Yes")
        if not text.startswith(f"{spray} is not a spray the game can show: "):
            raise AssertionError(f"not the question about {spray}: {text!r}")

    def main_window(self):
        return self.window("Tagswap Beta")[0]

    def button(self, window, caption):
        return find(window, "push button", caption)

    def press(self, window, caption):
        self.session.click(self.button(window, caption))

    def spray_names(self):
        return [item.get_name() for item in find_all(find(self.main_window(), "list"), "list item")]

    def select_spray(self, name):
        main = self.main_window()
        item = find(find(main, "list"), "list item", name)
        self.session.click(item)
        wait_until(lambda: has_state(find(find(self.main_window(), "list"), "list item", name),
                                     Atspi.StateType.SELECTED), f"{name} to be selected")

    def mod_box(self):
        return find(self.main_window(), "combo box")

    def mod_names(self):
        return [item.get_name() for item in find_all(self.mod_box(), "list item")]

    def choose_mod(self, name):
        """Opens the drop-down with a click and clicks the entry, as a person does."""
        def chosen():
            if self.mod_box().get_name() == name:
                return True
            combo = self.mod_box()
            if not has_state(combo, Atspi.StateType.EXPANDED):
                self.session.click(combo)
                return False
            item = find(combo, "list item", name)
            if showing(item):
                # The entries report twice the drop-down's real width, so aim
                # straight below the box, which the drop-down always spans.
                box_x, _, box_width, _ = screen_extents(combo)
                _, row_y, _, row_height = screen_extents(item)
                self.session.click_at(box_x + box_width // 2, row_y + row_height // 2)
            return False
        wait_until(chosen, f"the mod {name!r} to be chosen", interval=0.5)

    def open_settings(self):
        self.press(self.main_window(), "Settings")
        return self.window("Settings", role="dialog")[0]

    def directory_field(self):
        return find(self.window("Settings", role="dialog")[0], "text")

    def enter_directory(self, text):
        """Selects all of the directory field and types over it."""
        _, xid = self.window("Settings", role="dialog")
        self.session.focus(xid)
        # Into the field first: keys sent to a focused button would press it.
        field = self.directory_field()
        self.session.click(field)
        wait_until(lambda: has_state(self.directory_field(), Atspi.StateType.FOCUSED),
                   "the directory field to take the focus")
        self.session.key("ctrl+a")
        self.session.type_text(text)
        wait_until(lambda: text_of(self.directory_field()) == text, f"{text!r} to be typed")

    def assert_running(self):
        code = self.proc.poll()
        if code is not None:
            raise Ended(f"tagswap ended unexpectedly with exit code {code}")

    def wait_exit(self, timeout=DEADLINE):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("tagswap did not end") from None

    def kill(self):
        stop_group(self.proc)
        if self.proc in self.session.procs:
            self.session.procs.remove(self.proc)


class Sandbox:
    """A person's own home, settings and working folder."""

    def __init__(self, session, name):
        self.root = session.root / name
        self.home = self.root / "home"
        self.config = self.root / "config"
        self.work = self.root / "work"
        run = self.root / "run"
        for folder in (self.home, self.config, self.work):
            folder.mkdir(parents=True)
        run.mkdir(mode=0o700)
        self.env = {"HOME": str(self.home), "XDG_CONFIG_HOME": str(self.config),
                    "XDG_RUNTIME_DIR": str(run)}

    @property
    def ini(self):
        return self.config / "Tagswap" / "Tagswap.ini"

    def write_settings(self, **values):
        self.ini.parent.mkdir(parents=True, exist_ok=True)
        lines = ["[Settings]"] + [f"{key}={value}" for key, value in values.items()]
        self.ini.write_text("\n".join(lines) + "\n")

    def settings(self):
        if not self.ini.exists():
            return {}
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(self.ini)
        return dict(parser["Settings"]) if parser.has_section("Settings") else {}

    def add_spray(self, name, size=300):
        """A spray file with recognisable contents."""
        data = (name.encode() + bytes(range(256))) * (size // 256 + 1)
        (self.work / name).write_bytes(data[:size])
        return data[:size]

    def make_game(self, name="Half Life", mods=("valve", "tfc")):
        game = self.root / name
        game.mkdir()
        for mod in mods:
            (game / mod).mkdir(parents=True)
        hl = game / "hl.exe"
        hl.write_text("#!/bin/sh\nexit 0\n")
        hl.chmod(0o755)
        return game


def recording_program(path, record):
    """An executable that writes its working folder and its arguments
    (NUL-separated) under record, renaming into place so a reader never
    sees half a file."""
    path.write_text(
        "#!/bin/sh\n"
        f"out='{record}'\n"
        'printf \'%s\' "$PWD" > "$out.cwd.tmp" && mv "$out.cwd.tmp" "$out.cwd"\n'
        'printf \'%s\\0\' "$@" > "$out.args.tmp" && mv "$out.args.tmp" "$out.args"\n')
    path.chmod(0o755)


def read_recording(record, timeout=DEADLINE):
    args_file = Path(f"{record}.args")
    wait_until(args_file.exists, f"{record.name} to be started", timeout=timeout)
    cwd = Path(f"{record}.cwd").read_text()
    raw = args_file.read_bytes()
    return cwd, raw.split(b"\0")[:-1] if raw else []


_session = None


def shared_session():
    """The module's session, started on first use. The accessibility library
    binds to one bus per process, so a process gets exactly one session."""
    global _session
    if _session is None:
        if not TAGSWAP_BIN or not os.access(TAGSWAP_BIN, os.X_OK):
            raise unittest.SkipTest("TAGSWAP_BIN does not name the built program")
        session = Session()
        session.start()
        atexit.register(session.stop)
        _session = session
    return _session


class SessionTestCase(unittest.TestCase):
    """One sandbox per test, in the process's session."""

    @classmethod
    def setUpClass(cls):
        cls.session = shared_session()

    def setUp(self):
        self.sandbox = Sandbox(self.session, self.id().rsplit(".", 1)[-1])
        self.apps = []

    def start(self, *args, first_run=False, path_prefix=None):
        if not first_run and not self.sandbox.ini.exists():
            self.sandbox.write_settings(BeenRun="True")
        app = App(self.session, self.sandbox, args, path_prefix)
        self.apps.append(app)
        return app

    def popup_menu(self, open_menu):
        """Runs open_menu and returns the popup menu it shows: Qt leaves popups out of
        the application's children, so the menu is caught as it appears."""
        from gi.repository import GLib
        shown = []

        def on_showing(event):
            if event.detail1 and event.source.get_role_name() == "popup menu":
                shown.append(event.source)
        listener = Atspi.EventListener.new(on_showing)
        listener.register("object:state-changed:showing")
        try:
            open_menu()
            context = GLib.MainContext.default()

            def caught():
                while context.iteration(False):
                    pass
                return shown[-1] if shown else None
            return wait_until(caught, "the context menu")
        finally:
            listener.deregister("object:state-changed:showing")

    def choose_in_list_menu(self, main, main_xid, entry):
        """Opens the spray list's context menu from the keyboard, as a person
        would, and chooses entry in it."""
        def open_menu():
            self.session.focus(main_xid)
            self.session.click(find(main, "list"))
            self.session.key("shift+F10")
        find(self.popup_menu(open_menu), "menu item", entry).get_action_iface().do_action(0)

    def lacks_right(self, reason):
        """Skips a test that this account may not set up (mount, chattr). CI
        runs as root and must run them all: there it fails instead."""
        if os.environ.get("CI") == "true":
            self.fail(f"{reason}; CI must run every fault test (as root)")
        self.skipTest(reason)

    def tearDown(self):
        result = getattr(getattr(self, "_outcome", None), "result", None)
        problems = (result.errors + result.failures) if result else []
        if any(test is self for test, _ in problems):
            self.session.failed = True
            self.session.screenshot(self.sandbox.root / "failure.png")
            for app in self.apps:
                sys.stderr.write(app.log.read_text(errors="replace"))
        for app in self.apps:
            app.kill()


def main():
    """Runs the calling module's tests and ends with 1 when any failed (or
    none ran), SKIPPED when some were skipped and 0 when all ran and passed."""
    result = unittest.main(module="__main__", verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.skipped:
        print(f"\n{len(result.skipped)} skipped: the run is incomplete", file=sys.stderr)
        sys.exit(SKIPPED)
    sys.exit(0 if result.testsRun else 1)
