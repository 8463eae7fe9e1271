"""quorvane-server serving a copy of the sample program folder, for tests
that drive it from outside as a real client would.

The copy lives in a temporary folder with the test's own shared folders
beside it; the server listens on 127.0.0.1 on a free port, keeps its
thumbnails in the temporary folder, and is stopped by its PID.
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time
from pathlib import Path

DIST = Path(__file__).resolve().parents[2] / "dist"

# The sample's own dirs.lst: name, folder, secure, scripts, programs.
SAMPLE_RECORDS = [("/", "www", "No", "No", "No"),
                  ("/private/", "www/private", "Yes", "No", "No"),
                  ("/cgi-bin/", "cgi-bin", "No", "Yes", "Yes")]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def stop_process(process):
    """Ends a process a test started: SIGTERM, then SIGKILL after ten seconds."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def tail(data, lines=40):
    text = data.decode("utf-8", "replace") if isinstance(data, bytes) else data
    return "\n".join(text.splitlines()[-lines:])


class RunningSite:
    """Makes `folders` (names) in a temporary place, writes dirs.lst from
    `records(folders)` (name, folder, secure, scripts, programs[, uploads,
    changes]) and appends `extra_ini` to quorvane.ini, then starts the server
    listening at `listen` ([Server] Listen).
    """

    def __init__(self, binary, folders, records, extra_ini="", prefix="quorvane-site-",
                 listen="127.0.0.1"):
        self.root = Path(tempfile.mkdtemp(prefix=prefix)).resolve()
        self.program = self.root / "program"
        shutil.copytree(DIST, self.program)
        self.folders = {name: self.root / name for name in folders}
        for folder in self.folders.values():
            folder.mkdir()
        self.cache = self.root / "cache"
        self.port = free_port()
        self.url = f"http://127.0.0.1:{self.port}"
        self._write_settings(records(self.folders), extra_ini, listen)
        self.output = open(self.root / "server.out", "wb")
        self.process = subprocess.Popen(
            [binary, "--folder", str(self.program)], stdout=self.output,
            stderr=subprocess.STDOUT, env=dict(os.environ, XDG_CACHE_HOME=str(self.cache)))

    def _write_settings(self, records, extra_ini, listen):
        ini = (self.program / "quorvane.ini").read_text()
        ini = re.sub(r"(?m)^Port=.*$", f"Port={self.port}", ini)
        ini = re.sub(r"(?m)^Listen=.*$", f"Listen={listen}", ini)
        (self.program / "quorvane.ini").write_text(ini + extra_ini)
        (self.program / "dirs.lst").write_bytes(
            "".join(",".join(f'"{field}"' for field in record) + "\r\n"
                    for record in records).encode())

    def wait_ready(self, seconds=20):
        end = time.monotonic() + seconds
        while time.monotonic() < end and self.process.poll() is None:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.5):
                    return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError(f"the server did not start:\n{self.server_output()}")

    def server_output(self):
        self.output.flush()
        return tail((self.root / "server.out").read_bytes())

    def descriptors_within(self, folder):
        """What the server holds open in `folder` or beneath it."""
        held = []
        fds = Path(f"/proc/{self.process.pid}/fd")
        for fd in fds.iterdir():
            try:
                target = os.readlink(fd)
            except OSError:
                continue  # closed meanwhile
            if target == str(folder) or target.startswith(f"{folder}/"):
                held.append(target)
        return held

    def close(self):
        stop_process(self.process)
        self.output.close()
        shutil.rmtree(self.root, ignore_errors=True)
