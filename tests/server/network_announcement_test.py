#!/usr/bin/env python3
"""quorvane-server found on the local network by mDNS/DNS-SD, as avahi-browse
finds it, and serving all the same without the Avahi daemon.

Usage: network_announcement_test.py PATH-OF-quorvane-server

Needs root: it starts a system D-Bus (unless one runs) and an avahi-daemon of
its own, and stops them by PID afterwards. Without root or the programs it
exits 77, which ctest counts as skipped. The servers listen on the network
(loopback alone is never announced), on a free port, serving an empty site.
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from running_server import SAMPLE_RECORDS, RunningSite, stop_process  # noqa: E402

SKIPPED = 77
BUS_SOCKET = Path("/run/dbus/system_bus_socket")
HOST = socket.gethostname().split(".")[0]
NAME = f"Quorvane2000 on {HOST}"
# The daemon's own host records are left out: the test looks for the site.
DAEMON_CONF = """[server]
use-ipv4=yes
use-ipv6=yes
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-workstation=no
publish-hinfo=no
publish-addresses=yes
"""


def stop(process, name):
    """Ends a process this test started, by its PID."""
    stop_process(process)
    print(f"stopped {name} (pid {process.pid})")


def wait_for(condition, what, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(0.2)
    raise AssertionError(f"{what} did not happen within {seconds} s")


def bus_answers():
    with socket.socket(socket.AF_UNIX) as probe:
        try:
            probe.connect(str(BUS_SOCKET))
            return True
        except OSError:
            return False


def daemon_runs():
    return subprocess.run(["avahi-daemon", "--check"], capture_output=True).returncode == 0


def start_bus():
    """The system bus this test started, or None when one already ran."""
    if bus_answers():
        return None
    BUS_SOCKET.parent.mkdir(parents=True, exist_ok=True)
    BUS_SOCKET.unlink(missing_ok=True)  # left by a bus that is gone
    bus = subprocess.Popen(["dbus-daemon", "--system", "--nofork", "--nopidfile"])
    wait_for(bus_answers, "the system bus answering")
    return bus


def start_daemon(conf):
    """avahi-daemon in the foreground, its log beside its configuration."""
    log = conf.parent / "avahi-daemon.log"
    with open(log, "ab") as output:
        daemon = subprocess.Popen(["avahi-daemon", "-f", str(conf), "--no-drop-root",
                                   "--no-chroot", "--no-rlimits", "--no-proc-title"],
                                  stdout=output, stderr=subprocess.STDOUT)
    wait_for(lambda: daemon.poll() is not None or daemon_runs(), "avahi-daemon starting")
    assert daemon.poll() is None, log.read_text(errors="replace")
    return daemon


def unescape(label):
    """avahi-browse's \\DDD escapes as the characters they stand for."""
    return re.sub(r"\\(\d{3})", lambda m: chr(int(m.group(1))), label)


def browse():
    """The resolved _http._tcp services of this host, as {(name, port)}."""
    try:
        result = subprocess.run(["avahi-browse", "-rpt", "_http._tcp"], capture_output=True,
                                text=True, timeout=20)
    except subprocess.TimeoutExpired:
        return set()
    found = set()
    for line in result.stdout.splitlines():
        fields = line.split(";")
        if fields[0] == "=" and len(fields) >= 9 and unescape(fields[3]).startswith(NAME):
            found.add((unescape(fields[3]), int(fields[8])))
    return found


def browse_until(wanted_ports, what):
    """Browses (bounded) until the services on `wanted_ports` show."""
    found = set()
    for _ in range(10):
        found = browse()
        if {port for _, port in found} >= wanted_ports:
            return found
        time.sleep(1)
    raise AssertionError(f"{what}: avahi-browse found {found or 'nothing'}")


def serves(site):
    try:
        with urllib.request.urlopen(f"{site.url}/", timeout=10) as reply:
            return reply.status == 200
    except urllib.error.HTTPError as error:
        return error.code < 500
    except OSError:
        return False


def network_site(binary):
    site = RunningSite(binary, (), lambda _: SAMPLE_RECORDS[:1], prefix="quorvane-mdns-",
                       listen="Network")
    site.wait_ready()
    return site


def run(binary, started):
    conf = Path(tempfile.mkdtemp(prefix="quorvane-avahi-")) / "avahi-daemon.conf"
    started.append(("conf", conf.parent))
    conf.write_text(DAEMON_CONF)
    if bus := start_bus():
        started.append(("dbus-daemon", bus))
    daemon = start_daemon(conf)
    started.append(("avahi-daemon", daemon))

    first = network_site(binary)
    started.append(("the first server", first))
    found = browse_until({first.port}, "the first server announced")
    assert (NAME, first.port) in found, found
    print(f"avahi-browse found {sorted(found)}")

    # Without the daemon the server goes on serving, and another one starts.
    stop(daemon, "avahi-daemon")
    started.remove(("avahi-daemon", daemon))
    assert serves(first), first.server_output()
    second = network_site(binary)
    started.append(("the second server", second))
    assert serves(second), second.server_output()
    assert "could not" not in second.server_output(), second.server_output()

    # The daemon back: both are announced again, the second under another name.
    daemon = start_daemon(conf)
    started.append(("avahi-daemon", daemon))
    found = browse_until({first.port, second.port}, "both servers announced again")
    names = {name for name, port in found if port in (first.port, second.port)}
    assert len(names) == 2 and NAME in names, found
    print(f"avahi-browse found {sorted(found)}")


def main():
    if len(sys.argv) != 2:
        sys.exit(f"usage: {sys.argv[0]} PATH-OF-quorvane-server")
    missing = [tool for tool in ("avahi-daemon", "avahi-browse", "dbus-daemon")
               if shutil.which(tool) is None]
    if missing:
        print(f"skipped: {', '.join(missing)} missing (scripts/install-deps installs them)")
        return SKIPPED
    if os.geteuid() != 0:
        print("skipped: starting a system bus and avahi-daemon needs root")
        return SKIPPED
    if daemon_runs():
        print("skipped: an avahi-daemon runs already, and the test stops its own")
        return SKIPPED
    started = []
    try:
        run(os.path.abspath(sys.argv[1]), started)
    finally:
        for name, thing in reversed(started):
            if isinstance(thing, RunningSite):
                thing.close()
            elif isinstance(thing, Path):
                shutil.rmtree(thing, ignore_errors=True)
            else:
                stop(thing, name)
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
