"""A headless Thunderbird in a private HOME, driven over Marionette (length-prefixed JSON over TCP
on 127.0.0.1): just enough of the protocol to run chrome scripts and quit. Standard library only;
every wait is bounded and the process is ended by its pid."""
import json, os, signal, socket, subprocess, time


def free_port():
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        return sock.getsockname()[1]


class MarionetteError(Exception):
    pass


class Client:
    def __init__(self, port, deadline):
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise MarionetteError(f"no Marionette on port {port}")
                time.sleep(0.3)
        self.sock.settimeout(150)
        self.buffer, self.next_id = b"", 1
        hello = self._receive()
        if not isinstance(hello, dict) or hello.get("marionetteProtocol") != 3:
            raise MarionetteError(f"unexpected greeting {hello}")

    def _receive(self):
        while b":" not in self.buffer:
            self._read()
        size, _, rest = self.buffer.partition(b":")
        self.buffer = rest
        while len(self.buffer) < int(size):
            self._read()
        body, self.buffer = self.buffer[: int(size)], self.buffer[int(size):]
        return json.loads(body)

    def _read(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            raise MarionetteError("Marionette closed the connection")
        self.buffer += chunk

    def command(self, name, params=None):
        message_id, self.next_id = self.next_id, self.next_id + 1
        body = json.dumps([0, message_id, name, params or {}]).encode()
        self.sock.sendall(str(len(body)).encode() + b":" + body)
        while True:
            reply = self._receive()
            if reply[0] == 1 and reply[1] == message_id:
                break
        if reply[2]:
            raise MarionetteError(f"{name}: {reply[2].get('error')}: {reply[2].get('message')}\n"
                                  f"{reply[2].get('stacktrace', '')}")
        return reply[3]

    def script(self, body, *args):
        """Runs `body` as a function in the main window's chrome scope; a returned promise is
        awaited. Returns its value."""
        params = {"script": body, "args": list(args)}
        return self.command("WebDriver:ExecuteScript", params)["value"]


class Thunderbird:
    """`thunderbird --headless --marionette` with HOME=home (its profile the one installs.ini
    names) and the given environment; start() returns a connected Client."""

    def __init__(self, home, env, log):
        self.home, self.env, self.log, self.process, self.client = home, env, log, None, None

    def _spawn(self, *args):
        return subprocess.Popen(["thunderbird", "--headless", *args], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT,
                                start_new_session=True)

    def profile_dir(self):
        """The install's default profile, as installs.ini names it (made on the first start)."""
        installs = os.path.join(self.home, ".thunderbird", "installs.ini")
        for line in open(installs, encoding="utf-8"):
            if line.startswith("Default="):
                return os.path.join(self.home, ".thunderbird", line.strip().split("=", 1)[1])
        raise MarionetteError("installs.ini names no profile")

    def make_profiles(self, timeout=60):
        """A first start makes the profiles and installs.ini as for a new user; it is stopped as
        soon as they are written (the profile is still empty then)."""
        process = self._spawn()
        installs = os.path.join(self.home, ".thunderbird", "installs.ini")
        deadline = time.monotonic() + timeout
        try:
            while not os.path.exists(installs) or not os.path.exists(
                    os.path.join(self.profile_dir(), "prefs.js")):
                if time.monotonic() > deadline or process.poll() is not None:
                    raise MarionetteError("Thunderbird made no profile")
                time.sleep(0.3)
        finally:
            self._stop(process, 0)

    def start(self, prefs, timeout=90):
        port = free_port()
        with open(os.path.join(self.profile_dir(), "user.js"), "w") as f:
            for name, value in dict(prefs, **{"marionette.port": port}).items():
                f.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")
        self.process = self._spawn("--marionette", "--remote-allow-system-access")
        self.client = Client(port, time.monotonic() + timeout)
        self.client.command("WebDriver:NewSession", {"capabilities": {}})
        self.client.command("Marionette:SetContext", {"value": "chrome"})
        self.client.command("WebDriver:SetTimeouts", {"script": 120000})
        return self.client

    def quit(self, timeout=60):
        """A clean quit (the databases are closed and checkpointed); killed if it does not end."""
        try:
            self.client.command("Marionette:Quit", {"flags": ["eAttemptQuit"]})
        except (MarionetteError, OSError):
            pass
        self._stop(self.process, timeout)
        self.process = None

    @staticmethod
    def _stop(process, timeout=15):
        if process is None:
            return
        try:
            process.wait(timeout)
            return
        except subprocess.TimeoutExpired:
            pass
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(process.pid, sig)
            except ProcessLookupError:
                return
            try:
                process.wait(10)
                return
            except subprocess.TimeoutExpired:
                pass

    def kill(self):
        if self.process is not None and self.process.poll() is None:
            self.client = None
            self._stop(self.process, 0)
