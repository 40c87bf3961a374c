"""Drives the release-built MFMail as a person does.

Each journey starts the real program for two users, each on a display of its
own (Xvfb with openbox as window manager), both on one accessibility bus
inside a private D-Bus session, against the private Postfix and Dovecot of
tests/servers/mailservers. Controls are found by role and accessible name and
used through AT-SPI (pyatspi), or with real X input (xdotool) where only a
mouse or a keyboard will do. Nothing here calls the program's code or touches
its files while it runs.

A journey file holds one unittest.TestCase subclass of Journey and ends with
`harness.main()`. Screenshots of every step go to
$MFMAIL_JOURNEY_SHOTS/<journey>/NN-<user>-<step>.png for people to look at.
"""

import email
import email.policy
import os
import poplib
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SKIPPED = 77
DOMAIN = "mfmail.test"
PASSWORD = "secret"
# Long enough for a mail to cross the servers; short enough that a fault
# fails the journey rather than CTest's time-out.
WAIT = 15.0
SCREEN = "1280x800x24"
CHARACTER_WINDOW = "モフタンキャラクター"

_here = os.path.dirname(os.path.abspath(__file__))
_source = os.environ.get("MFMAIL_SOURCE_DIR", os.path.dirname(os.path.dirname(_here)))
_program = os.environ.get("MFMAIL_RELEASE_PROGRAM",
                          os.path.join(_source, "build", "release", "program", "MFMail"))
_mailservers = os.path.join(_source, "tests", "servers", "mailservers")


class JourneyFailure(AssertionError):
    pass


def wait_for(what, probe, timeout=WAIT, interval=0.1):
    """Polls `probe` until it returns something true; fails naming `what`."""
    started = time.monotonic()
    deadline = started + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                if time.monotonic() - started > 2:
                    print(f"  (waited {time.monotonic() - started:.1f} s for {what})", file=sys.stderr)
                return value
        except Exception as error:  # a window going away while we look at it
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise JourneyFailure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


def missing_prerequisite():
    """Why the journeys cannot run here, or None."""
    if os.geteuid() != 0:
        return "Postfix and Dovecot need root to start their private instances"
    for tool in ("Xvfb", "openbox", "xdotool", "xprop", "import", "dbus-run-session", "postfix", "dovecot"):
        if shutil.which(tool) is None and not os.path.exists(f"/usr/sbin/{tool}"):
            return f"{tool} is not installed (scripts/packages/test.txt lists it)"
    if not os.access("/usr/libexec/at-spi-bus-launcher", os.X_OK):
        return "at-spi2-core is not installed"
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        return "python3-pyatspi is not installed"
    if not os.access(_program, os.X_OK):
        return f"the release program {_program} is not built (scripts/test builds it)"
    return None


def main():
    """Runs the journeys of the calling file; 77 when they cannot run here."""
    why_not = missing_prerequisite()
    if why_not:
        print(f"journey skipped: {why_not}")
        sys.exit(SKIPPED)
    # One private session bus for the accessibility bus and both programs.
    if os.environ.get("MFMAIL_JOURNEY_BUS") != "1":
        run_in_private_session()
    program = unittest.main(module="__main__", exit=False, verbosity=2)
    sys.exit(0 if program.result.wasSuccessful() else 1)


def run_in_private_session():
    """Runs this script again inside a D-Bus session of its own, one that
    starts no service on demand (a keyring would take the passwords)."""
    env = dict(os.environ, MFMAIL_JOURNEY_BUS="1")
    config = os.path.join(_source, "tests", "support", "session-bus.conf")
    os.execvpe("dbus-run-session", ["dbus-run-session", f"--config-file={config}", "--", sys.executable] + sys.argv,
               env)


class World:
    """Everything a journey starts, stopped again whatever happens."""

    def __init__(self, name, shots=None):
        self.name = name
        self.folder = tempfile.mkdtemp(prefix=f"journey-{name}-")
        # The mail users reach the maildirs below it.
        os.chmod(self.folder, 0o711)
        self.processes = []
        self.servers = None
        if shots is None:
            shots = os.path.join(os.environ.get("MFMAIL_JOURNEY_SHOTS", os.path.join(os.getcwd(), "journey-screenshots")),
                                 name)
            shutil.rmtree(shots, ignore_errors=True)
        self.shots = shots
        os.makedirs(self.shots, exist_ok=True)
        self.step = 0
        self.started = time.monotonic()

    def spawn(self, args, env=None, log=None, cwd=None):
        out = open(log, "ab") if log else subprocess.DEVNULL
        # A session of its own, so that cleanup ends its children too.
        process = subprocess.Popen(args, env=env, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                   cwd=cwd, start_new_session=True)
        if log:
            out.close()
        self.processes.append(process)
        return process

    def close(self):
        for process in reversed(self.processes):
            _end_group(process)
        if self.servers:
            self.servers.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


def _end_group(process, grace=2.0):
    """Ends a process and whatever it started (its session's group), even
    when the process itself is gone already."""
    def signal_group(number):
        try:
            os.killpg(process.pid, number)
        except (ProcessLookupError, PermissionError):
            pass
    signal_group(signal.SIGTERM)
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        pass
    signal_group(signal.SIGKILL)
    process.wait()


class Desktop:
    """An X display of its own with openbox managing its windows."""

    def __init__(self, world):
        self.world = world
        self.display = None
        for number in range(60, 100):
            if os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            # -noreset: the readiness probe must not make the server reset
            # under openbox as the probe disconnects.
            server = world.spawn(["Xvfb", f":{number}", "-screen", "0", SCREEN, "-nolisten", "tcp", "-noreset"],
                                 log=os.path.join(world.folder, f"xvfb-{number}.log"))
            # Another program may take the number at the same moment: the
            # display is ours once its lock file names our server.
            try:
                wait_for(f"Xvfb on :{number}",
                         lambda: server.poll() is not None or (self._owner(number) == server.pid and
                                                               self._answers(f":{number}")), timeout=10)
            except JourneyFailure:
                _end_group(server)
                continue
            if server.poll() is None:
                self.display = f":{number}"
                break
        if self.display is None:
            raise JourneyFailure("no free X display between :60 and :99")
        home = os.path.join(world.folder, "openbox-" + self.display[1:])
        os.makedirs(home)
        log = os.path.join(world.folder, f"openbox-{self.display[1:]}.log")
        manager = world.spawn(["openbox"], env=dict(os.environ, DISPLAY=self.display, HOME=home), log=log)
        try:
            wait_for(f"openbox on {self.display}",
                     lambda: "window id" in self.xprop("-root", "_NET_SUPPORTING_WM_CHECK"))
        except JourneyFailure:
            with open(log, errors="replace") as output:
                detail = output.read()[-2000:]
            with open(os.path.join(world.folder, f"xvfb-{self.display[1:]}.log"), errors="replace") as output:
                detail += " / Xvfb: " + output.read()[-2000:]
            raise JourneyFailure(f"openbox on {self.display} did not start (exit {manager.poll()}): " + detail)

    @staticmethod
    def _owner(number):
        try:
            with open(f"/tmp/.X{number}-lock") as lock:
                return int(lock.read().strip() or 0)
        except (OSError, ValueError):
            return None

    @staticmethod
    def _answers(display):
        return subprocess.run(["xprop", "-display", display, "-root", "_NET_SUPPORTED"],
                              capture_output=True).returncode == 0

    def xprop(self, *args):
        return subprocess.run(["xprop", "-display", self.display, *args], capture_output=True,
                              text=True).stdout

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.display), check=True,
                       capture_output=True)

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", path], capture_output=True)

    def stacking(self):
        """Titles of the mapped client windows, bottom to top."""
        ids = re.findall(r"0x[0-9a-f]+", self.xprop("-root", "_NET_CLIENT_LIST_STACKING"))
        titles = []
        for window in ids:
            if "IsViewable" not in subprocess.run(["xwininfo", "-display", self.display, "-id", window],
                                                  capture_output=True, text=True).stdout:
                continue
            name = re.search(r'_NET_WM_NAME\(UTF8_STRING\) = "(.*)"', self.xprop("-id", window, "_NET_WM_NAME"))
            titles.append(name.group(1) if name else "")
        return titles


class Servers:
    """The private Postfix and Dovecot, and POP3 access to their mailboxes."""

    def __init__(self, world):
        self.folder = os.path.join(world.folder, "servers")
        result = subprocess.run([_mailservers, "start", self.folder], capture_output=True, text=True)
        if result.returncode != 0:
            raise JourneyFailure("mailservers start failed: " + result.stdout + result.stderr)
        values = dict(line.split("=", 1) for line in result.stdout.splitlines() if "=" in line)
        self.smtp_port = int(values["SMTP_PORT"])
        self.pop3_port = int(values["POP3_PORT"])
        self.running = True

    def stop(self):
        if self.running:
            subprocess.run([_mailservers, "stop", self.folder], capture_output=True)
            self.running = False

    def stop_smtp(self):
        # Only Postfix goes; Dovecot keeps serving the mailboxes.
        subprocess.run(["postfix", "-c", os.path.join(self.folder, "postfix", "etc"), "stop"],
                       capture_output=True, check=True)
        wait_for("the SMTP port to refuse", lambda: not self._listening(self.smtp_port))

    def start_smtp(self):
        subprocess.run(["postfix", "-c", os.path.join(self.folder, "postfix", "etc"), "start"],
                       capture_output=True, check=True)
        wait_for("the SMTP port to listen", lambda: self._listening(self.smtp_port))

    @staticmethod
    def _listening(port):
        with socket.socket() as probe:
            probe.settimeout(0.5)
            return probe.connect_ex(("127.0.0.1", port)) == 0

    def messages(self, user):
        """The mails waiting for `user`, read without taking them."""
        box = poplib.POP3("127.0.0.1", self.pop3_port, timeout=10)
        try:
            box.user(user)
            box.pass_(PASSWORD)
            count, _ = box.stat()
            mails = []
            for number in range(1, count + 1):
                _, lines, _ = box.retr(number)
                mails.append(email.message_from_bytes(b"\r\n".join(lines), policy=email.policy.default))
            return mails
        finally:
            box.quit()

    def wait_for_messages(self, user, count, timeout=WAIT):
        return wait_for(f"{count} mail(s) for {user} on the server",
                        lambda: (lambda mails: mails if len(mails) >= count else None)(self.messages(user)),
                        timeout=timeout)


class LosingRelay:
    """A relay in front of the SMTP server that, while armed, passes a mail's
    final "." on and then cuts the connection before the server's answer
    reaches the program: the mail has arrived, the program cannot know."""

    def __init__(self, target_port):
        self.target_port = target_port
        self.armed = False
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._relay, args=(client,), daemon=True).start()

    def _relay(self, client):
        server = socket.create_connection(("127.0.0.1", self.target_port))
        lose_answer = threading.Event()

        def upstream():
            pending = b""
            try:
                while True:
                    data = client.recv(65536)
                    if not data:
                        break
                    pending = (pending + data)[-8:]
                    if self.armed and b"\r\n.\r\n" in b"\r\n" + pending:
                        lose_answer.set()
                    server.sendall(data)
                server.shutdown(socket.SHUT_WR)
            except OSError:
                pass  # the other direction cut the connection

        threading.Thread(target=upstream, daemon=True).start()
        try:
            while True:
                data = server.recv(65536)
                if not data or lose_answer.is_set():
                    break
                client.sendall(data)
        except OSError:
            pass
        if lose_answer.is_set():
            self.armed = False
        for end in (client, server):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            end.close()

    def close(self):
        self.listener.close()


def _atspi():
    import pyatspi
    from gi.repository import Atspi
    return pyatspi, Atspi


class Bus:
    """The accessibility bus and a way to call actions without waiting."""

    def __init__(self, world):
        from gi.repository import Gio, GLib
        self.Gio, self.GLib = Gio, GLib
        # Its socket goes below the journey's folder, not the user's cache.
        runtime = os.path.join(world.folder, "bus")
        os.makedirs(runtime, mode=0o700)
        world.spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                    env=dict(os.environ, XDG_RUNTIME_DIR=runtime))
        session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

        def address():
            reply = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                      GLib.VariantType("(s)"), Gio.DBusCallFlags.NO_AUTO_START, 1000, None)
            return reply.unpack()[0]

        self.address = wait_for("the accessibility bus", address)
        self.connection = Gio.DBusConnection.new_for_address_sync(
            self.address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
            None, None)
        pyatspi, Atspi = _atspi()
        self.desktop = pyatspi.Registry.getDesktop(0)
        # Nothing cached: what the journeys read is what the program shows now.
        Atspi.Accessible.set_cache_mask(self.desktop, Atspi.Cache.NONE)

    def application(self, pid):
        for app in self.desktop:
            if app is not None and app.get_process_id() == pid:
                return app
        return None

    def do_action(self, accessible, index):
        # Sent without waiting for the reply: Qt answers an action only once
        # it has run, and an action that opens a modal window runs until the
        # window closes.
        message = self.Gio.DBusMessage.new_method_call(accessible.app.bus_name, accessible.path,
                                                       "org.a11y.atspi.Action", "DoAction")
        message.set_body(self.GLib.Variant("(i)", (index,)))
        message.set_flags(self.Gio.DBusMessageFlags.NO_REPLY_EXPECTED)
        self.connection.send_message(message, self.Gio.DBusSendMessageFlags.NONE)
        self.connection.flush_sync(None)


def _role(accessible):
    return accessible.getRoleName()


def _showing(accessible):
    pyatspi, _ = _atspi()
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def _matches(accessible, role, name):
    """`role` is one AT-SPI role name or a tuple of them; `name` the exact
    accessible name or a compiled pattern searched in it."""
    if role is not None and _role(accessible) not in ((role,) if isinstance(role, str) else role):
        return False
    if name is None:
        return True
    actual = accessible.name or ""
    return bool(name.search(actual)) if isinstance(name, re.Pattern) else actual == name


def _descendants(root):
    stack = [root]
    while stack:
        node = stack.pop()
        yield node
        try:
            children = [node.getChildAtIndex(i) for i in range(node.childCount)]
        except Exception:
            continue
        stack.extend(reversed([child for child in children if child is not None]))


def describe(role, name):
    roles = role if role is None or isinstance(role, str) else "/".join(role)
    return f"{roles or 'control'} {name.pattern if isinstance(name, re.Pattern) else name!r}"


class User:
    """One person at one desktop with their own copy of the program."""

    def __init__(self, world, bus, servers, name, prepared=True, desktop=None):
        self.world, self.bus, self.servers, self.name = world, bus, servers, name
        self.address = f"{name}@{DOMAIN}"
        self.display_name = name.capitalize()
        self.desktop = desktop or Desktop(world)
        base = os.path.join(world.folder, name)
        # The executable and the starter characters only: the build's own
        # program folder may hold the settings and mail of someone's runs.
        self.home = os.path.join(base, "program")
        shutil.copytree(os.path.join(_source, "assets"), self.home, ignore=shutil.ignore_patterns("README*"))
        shutil.copy2(_program, self.home)
        for folder in ("home", "runtime"):
            os.makedirs(os.path.join(base, folder), mode=0o700)
        self.log = os.path.join(base, "program.log")
        self.env = dict(os.environ, DISPLAY=self.desktop.display, MFMAIL_HOME=self.home,
                        HOME=os.path.join(base, "home"), XDG_RUNTIME_DIR=os.path.join(base, "runtime"),
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        self.env.pop("SESSION_MANAGER", None)
        if prepared:
            self.write_settings()
        self.process = None
        self.app = None

    # --- the program folder, before the first start ------------------------------

    def write_settings(self, **overrides):
        values = {
            "Acount": self.name, "SMTP_SV": "127.0.0.1", "POP3SV": "127.0.0.1", "POP3User": self.name,
            "POP3Pass": PASSWORD, "MyName": self.display_name, "MailAdd": self.address,
            "SMTPPort": str(self.servers.smtp_port), "POP3Port": str(self.servers.pop3_port),
            "AlwaysRunning": "0", "RcvPeriodically": "0",
        }
        values.update(overrides)
        lines = [b"[MailSet]"]
        for key, value in values.items():
            data = value.encode("cp932")
            if key == "POP3Pass":
                data = bytes(byte ^ 0xD4 for byte in data)
            lines.append(key.encode("ascii") + b"=" + data)
        with open(self.settings_path(), "wb") as out:
            out.write(b"\r\n".join(lines) + b"\r\n")

    def settings_path(self):
        return os.path.join(self.home, "MFMail.ini")

    def settings(self):
        """[MailSet] as the program wrote it (read only)."""
        values = {}
        if os.path.exists(self.settings_path()):
            with open(self.settings_path(), "rb") as source:
                for line in source.read().split(b"\r\n"):
                    if b"=" in line:
                        key, value = line.split(b"=", 1)
                        values[key.decode("ascii", "replace")] = value
        return values

    def file(self, *parts):
        with open(os.path.join(self.home, *parts), "rb") as source:
            return source.read()

    # --- the program ----------------------------------------------------------------

    def start(self):
        self.process = self.world.spawn([os.path.join(self.home, "MFMail")], env=self.env, log=self.log,
                                        cwd=self.env["HOME"])
        self.app = wait_for(f"{self.name}'s MFMail on the accessibility bus",
                            lambda: self.bus.application(self.process.pid), timeout=20)
        return self.window("小屋", role="frame")

    def running(self):
        return self.process is not None and self.process.poll() is None

    # --- looking ---------------------------------------------------------------------

    def shot(self, step):
        self.world.step += 1
        path = os.path.join(self.world.shots, f"{self.world.step:02d}-{self.name}-{step}.png")
        self.desktop.screenshot(path)
        print(f"  {time.monotonic() - self.world.started:5.1f} s  {os.path.basename(path)}", file=sys.stderr)

    def windows(self):
        return [window for window in self.app if window is not None and _showing(window)]

    def window(self, name, role=None, timeout=WAIT):
        """A top-level window of the program, shown."""
        return wait_for(f"{self.name}'s window {describe(role, name)}",
                        lambda: next((w for w in self.windows() if _matches(w, role, name)), None), timeout)

    def window_gone(self, name, role=None, timeout=WAIT):
        wait_for(f"{self.name}'s window {describe(role, name)} to close",
                 lambda: not any(_matches(w, role, name) for w in self.windows()), timeout)

    def find(self, root, role, name, timeout=WAIT, showing=True):
        """A control below `root` by role and accessible name."""
        def probe():
            for node in _descendants(root):
                if _matches(node, role, name) and (not showing or _showing(node)):
                    return node
            return None
        return wait_for(f"{describe(role, name)} in {root.name!r} of {self.name}", probe, timeout)

    def all(self, root, role, name=None, showing=True):
        return [node for node in _descendants(root) if _matches(node, role, name) and
                (not showing or _showing(node))]

    def text(self, accessible):
        text = accessible.queryText()
        return text.getText(0, text.characterCount)

    def wait_text(self, accessible, predicate, what, timeout=5):
        return wait_for(f"{what} (now {self.text(accessible)!r})",
                        lambda: predicate(self.text(accessible)) and self.text(accessible), timeout)

    def extents(self, accessible):
        pyatspi, _ = _atspi()
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def character_windows(self):
        return [self.extents(w) for w in self.windows() if _matches(w, "frame", CHARACTER_WINDOW)]

    def on_top(self, title):
        """Whether `title` is shown above every other window of the program
        but the characters (which walk above everything by design)."""
        stack = [t for t in self.desktop.stacking() if t != CHARACTER_WINDOW]
        return bool(stack) and stack[-1] == title

    def message(self, timeout=WAIT):
        """A message box of the program and the texts it shows."""
        box = self.window("MFMail", ("alert", "dialog"), timeout)
        texts = [node.name for node in self.all(box, "label") if node.name]
        return box, "\n".join(texts)

    def answer(self, box, button):
        """Presses a message box button by its caption (Qt's own, in
        English or Japanese)."""
        captions = {"OK": "OK", "Yes": "Yes|はい", "No": "No|いいえ", "Cancel": "Cancel|キャンセル"}
        self.press(self.find(box, "push button", re.compile(f"^&?({captions[button]})")))

    def hut(self):
        return self.window("小屋", "frame")

    def hut_command(self, item):
        """Chooses a command of the hut's File menu ("メール一覧(M)", ...)."""
        hut = self.hut()
        self.press(self.find(hut, "menu item", "ファイル(F)"))
        self.press(self.find(hut, "menu item", item))

    def mail_list(self):
        """Opens the mail list window from the hut and returns it."""
        self.hut_command("メール一覧(M)")
        return self.window(re.compile("^(受信|送信済み|送信待ち|保存|ごみ箱|インポート)$"), "frame")

    def open_folder(self, mail_list, folder):
        """Clicks a folder ("受信", "送信待ち", ...) in the mail list's tree."""
        tree = self.find(mail_list, "tree", "フォルダー")
        self.click(self.find(tree, "table cell", folder))

    def mail_row(self, mail_list, subject):
        """The subject cell of a mail in the mail list."""
        return self.find(self.find(mail_list, "tree", "メール"), "table cell", subject)

    def write_mail(self, character, to, subject, body):
        """Writes a mail carried by a character of the hut, up to the press
        of a button; returns the composition window."""
        self.character_command(character, "m")  # "メールを送る(M)"
        compose = self.window("メールの作成", "dialog")
        self.type_into(self.find(compose, "text", "宛先"), to)
        self.type_into(self.find(compose, "text", "題名"), subject)
        self.type_into(self.find(compose, "text", "本文"), body)
        return compose

    def character_command(self, character, accelerator):
        """Selects a character in the hut and chooses from its menu."""
        item = self.find(self.hut(), "list item", character)
        self.click(item)
        self.choose_from_popup(item, accelerator)

    def receive(self):
        """Receives from the hut's File menu and returns the viewer."""
        self.hut_command("メール受信(J)")
        return self.window("メール", "dialog")

    # --- acting ------------------------------------------------------------------------

    def press(self, accessible, action=None):
        """Presses a control through its accessibility action."""
        actions = accessible.queryAction()
        names = [actions.getName(i) for i in range(actions.nActions)]
        wanted = [action] if action else ["Press", "ShowMenu", "Toggle"]
        for name in wanted:
            if name in names:
                self.bus.do_action(accessible, names.index(name))
                return
        raise JourneyFailure(f"{accessible.name!r} offers no {wanted} action, only {names}")

    def point_in(self, accessible):
        """A point of the control that no character stands over, as a person
        would pick it."""
        x, y, width, height = self.extents(accessible)
        characters = self.character_windows()
        for fy in (0.5, 0.3, 0.7):
            for fx in (0.5, 0.2, 0.8, 0.1, 0.9):
                px, py = x + int(width * fx), y + int(height * fy)
                if not any(cx <= px < cx + cw and cy <= py < cy + ch for cx, cy, cw, ch in characters):
                    return px, py
        return x + width // 2, y + height // 2

    def move_to(self, px, py):
        # xdotool's --sync waits for the pointer to move, for seconds when it
        # is there already.
        here = subprocess.run(["xdotool", "getmouselocation", "--shell"], env=dict(os.environ, DISPLAY=self.desktop.display),
                              capture_output=True, text=True).stdout
        if f"X={px}\n" in here and f"Y={py}\n" in here:
            return
        self.desktop.xdotool("mousemove", "--sync", str(px), str(py))

    def click(self, accessible, button=1):
        self.move_to(*self.point_in(accessible))
        self.desktop.xdotool("click", str(button))

    def double_click(self, accessible):
        self.move_to(*self.point_in(accessible))
        self.desktop.xdotool("click", "--repeat", "2", "--delay", "80", "1")

    def choose_from_popup(self, accessible, accelerator):
        """Right-clicks a control and chooses from the menu that pops up by
        the item's underlined letter: Qt leaves pop-up menus out of the
        application's accessible tree (a screen reader follows their focus
        events instead), so a person's keyboard chooses here."""
        self.click(accessible, button=3)
        time.sleep(0.3)
        self.keys(accelerator)

    def choose_file(self, path, title=re.compile(r"^(Open|開く)$")):
        """Names a file in the standard file dialog and confirms it."""
        chooser = self.window(title, "dialog")
        self.type_into(self.find(chooser, "text", re.compile("File name|ファイル名")), path)
        self.keys("Return")
        self.window_gone(chooser.name, "dialog")

    def keys(self, *keys):
        self.desktop.xdotool("key", "--clearmodifiers", "--delay", "40", *keys)

    def type(self, text):
        self.desktop.xdotool("type", "--clearmodifiers", "--delay", "25", text)

    def type_into(self, field, text, check=True):
        """Clicks a text field, selects what it holds and types over it.
        Japanese reaches a field through an input method, not through keys;
        the accessibility interface's text editing stands in for it."""
        pyatspi, _ = _atspi()
        self.click(field)
        wait_for(f"{field.name!r} to take the keyboard",
                 lambda: field.getState().contains(pyatspi.STATE_FOCUSED), timeout=5)
        if text.isascii():
            self.keys("ctrl+a")
            self.type(text)
        else:
            field.queryEditableText().setTextContents(text)
        if check:
            self.wait_text(field, lambda now: now == text, f"{field.name!r} to read {text!r}", timeout=5)


class Journey(unittest.TestCase):
    """A journey: servers, two users at their desktops, and cleanup that
    ends everything it started, whatever happened."""

    # Users whose program folder is left as a fresh install.
    first_start = ()

    def setUp(self):
        name = re.sub(r"^test_?", "", self._testMethodName) or type(self).__name__
        self.world = World(name)
        self.addCleanup(self.world.close)
        self.world.servers = self.servers = Servers(self.world)
        self.bus = Bus(self.world)
        self.alice = User(self.world, self.bus, self.servers, "alice", prepared="alice" not in self.first_start)
        self.bob = User(self.world, self.bus, self.servers, "bob", prepared="bob" not in self.first_start)
        self.addCleanup(self._keep_logs_on_failure)

    def _keep_logs_on_failure(self):
        outcome = getattr(self, "_outcome", None)
        failed = outcome is not None and not outcome.success
        for user in (self.alice, self.bob):
            if user.running():
                user.shot("last")
            if failed and os.path.exists(user.log):
                shutil.copy(user.log, os.path.join(self.world.shots, f"{user.name}-program.log"))
