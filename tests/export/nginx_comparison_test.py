"""The site exported for nginx answers as the server does.

For the sample site and for a site with two secure folders (one naming its
users), a script folder, a block list, expiry and listings off, the test
exports the program folder, checks it with `nginx -t`, runs nginx (and
fcgiwrap where scripts run) on it in the foreground on a free port of
127.0.0.1 beside the server itself, sends both the same requests and compares
statuses, bodies and the lines that matter. Every request is printed with
both statuses. Skipped (77) only when nginx or fcgiwrap is missing.
"""
import base64
import email.utils
import http.client
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from running_server import (  # noqa: E402
    SAMPLE_RECORDS, RunningSite, free_port, stop_process, tail)

NGINX = shutil.which("nginx") or "/usr/sbin/nginx"
FCGIWRAP = shutil.which("fcgiwrap") or "/usr/sbin/fcgiwrap"

# Replies whose bodies are each program's own wording, and why; only their
# statuses (and Location) are compared.
OWN_WORDING = {
    "listing": "nginx's autoindex page instead of the server's folder page",
    "notice": "a built-in notice (301, 302): nginx writes its own body",
}

GUEST = ("guest", "quorvane")


FOOTER = b'<p class="footer">Served by Quorvane2000</p></html>'


class Request:
    def __init__(self, path, method="GET", user=None, source=None, body=None, own=None,
                 expires=False, holds=None):
        self.path, self.method, self.user, self.source = path, method, user, source
        self.body, self.own, self.expires, self.holds = body, own, expires, holds

    def label(self):
        who = f" as {self.user[0]}:{'*' * len(self.user[1])}" if self.user else ""
        where = f" from {self.source}" if self.source else ""
        return f"{self.method} {self.path}{who}{where}"


def send(port, request):
    source = (request.source, 0) if request.source else None
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=20,
                                            source_address=source)
    headers = {"Host": "localhost"}
    if request.user:
        token = base64.b64encode(":".join(request.user).encode()).decode()
        headers["Authorization"] = f"Basic {token}"
    if request.body is not None:
        headers["Content-Type"] = "application/x-www-form-urlencoded"
    try:
        connection.request(request.method, request.path, body=request.body, headers=headers)
        reply = connection.getresponse()
        return reply.status, dict(reply.getheaders()), reply.read()
    finally:
        connection.close()


def expiry_offset(headers):
    """Seconds from Date to Expires, or nothing without an Expires line."""
    if "Expires" not in headers:
        return None
    expires = email.utils.parsedate_to_datetime(headers["Expires"])
    return round((expires - email.utils.parsedate_to_datetime(headers["Date"])).total_seconds())


def differences(request, ours, theirs):
    problems = []
    if ours[0] != theirs[0]:
        problems.append(f"status {ours[0]} != {theirs[0]}")
    if request.own is None and ours[2] != theirs[2]:
        problems.append(f"body differs:\n--- server\n{tail(ours[2], 8)}\n--- nginx\n"
                        f"{tail(theirs[2], 8)}")
    for field in ("Location", "WWW-Authenticate"):
        if ours[1].get(field) != theirs[1].get(field):
            problems.append(f"{field} {ours[1].get(field)} != {theirs[1].get(field)}")
    if request.holds is not None and request.holds not in ours[2]:
        problems.append(f"the server's reply lacks {request.holds!r}")
    # The server dates every notice and error page to expire at once; nginx's
    # expires reaches 2xx and 3xx replies only, and its error pages keep the
    # status they stand for. So Expires is compared where a document went out.
    if ours[0] < 300 and ("Expires" in ours[1]) != ("Expires" in theirs[1]):
        problems.append(f"Expires {ours[1].get('Expires')} against {theirs[1].get('Expires')}")
    if request.expires:
        offsets = (expiry_offset(ours[1]), expiry_offset(theirs[1]))
        # Within a second: the two replies are made at different moments.
        if None in offsets or abs(offsets[0] - offsets[1]) > 1:
            problems.append(f"Expires offsets {offsets[0]} != {offsets[1]}")
    return problems


def wait_listening(port, process, log):
    end = time.monotonic() + 20
    while time.monotonic() < end and process.poll() is None:
        try:
            send(port, Request("/.quorvane-probe"))
            return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError(f"nginx did not start:\n{tail(log.read_bytes())}")


def export(binary, site, port):
    """Exports the site's program folder for nginx listening on `port`."""
    ini = site.program / "quorvane.ini"
    served = ini.read_text()
    ini.write_text(re.sub(r"(?m)^Port=.*$", f"Port={port}", served))
    out = site.root / "nginx"
    try:
        done = subprocess.run([binary, "--folder", str(site.program), "--export", "nginx",
                               str(out)], capture_output=True, text=True, timeout=60)
    finally:
        ini.write_text(served)
    if done.returncode != 0:
        raise RuntimeError(f"export failed: {done.stderr}")
    privileged = ["-g", "user root;"] if os.geteuid() == 0 else []
    checked = subprocess.run([NGINX, "-t", "-e", str(out / "startup.log"), "-c",
                              str(out / "nginx.conf"), "-p", f"{out}/", *privileged],
                             capture_output=True, text=True, timeout=60)
    print(checked.stderr.strip())
    if checked.returncode != 0:
        raise RuntimeError("nginx -t failed")
    return out, privileged


def compare(binary, site, requests, scripts):
    site.wait_ready()  # it has read its port: the export may name another
    port = free_port()
    out, privileged = export(binary, site, port)
    started = []
    try:
        if scripts:
            started.append(subprocess.Popen([FCGIWRAP, "-s", f"unix:{out}/fcgiwrap.socket"]))
        started.append(subprocess.Popen(
            [NGINX, "-e", str(out / "startup.log"), "-c", str(out / "nginx.conf"), "-p",
             f"{out}/", "-g", "daemon off;" + (" user root;" if privileged else "")]))
        wait_listening(port, started[-1], out / "startup.log")
        failures = []
        for request in requests:
            ours, theirs = send(site.port, request), send(port, request)
            note = f"  ({OWN_WORDING[request.own]})" if request.own else ""
            print(f"{request.label():55} server {ours[0]}  nginx {theirs[0]}{note}")
            failures += [f"{request.label()}: {p}" for p in differences(request, ours, theirs)]
        return failures
    finally:
        for process in reversed(started):
            stop_process(process)


def sample_site(binary):
    site = RunningSite(binary, [], lambda folders: SAMPLE_RECORDS, listen="127.0.0.1",
                       prefix="quorvane-nginx-")
    requests = [
        Request("/", holds=FOOTER), Request("/index.htm", holds=FOOTER), Request("/style.css"),
        Request("/docs/"),
        Request("/docs", own="notice"), Request("/files/", own="listing"),
        Request("/files/readme.txt"), Request("/files/notes%20%26%20ideas.txt"),
        Request("/no-such-page.htm"), Request("/.hidden"),
        Request("/private/"), Request("/private/", user=("guest", "wrong")),
        Request("/private/", user=GUEST), Request("/private/index.htm", user=GUEST),
        Request("/private"), Request("/cgi-bin/form.pl"),
        Request("/cgi-bin/form.pl", method="POST", body="name=Ann"),
        Request("/cgi-bin/missing.pl"), Request("/cgi-bin/form.pl.txt"),
    ]
    return site, requests, True


def guarded_site(binary):
    def records(folders):
        return [("/", str(folders["site"]), "No", "No", "No"),
                # Reached as /club/ and, through the root folder, as /members/.
                ("/club/", str(folders["site"] / "members"), "Yes", "No", "No"),
                ("/area/", str(folders["area"]), "Yes", "No", "No", "No", "No", "ann"),
                ("/run/", str(folders["run"]), "No", "Yes", "No"),
                ("/conf/", str(folders["site"].parent / "program"), "No", "No", "No")]
    site = RunningSite(binary, ["site", "area", "run"], records, prefix="quorvane-nginx-")
    ini = site.program / "quorvane.ini"
    text = ini.read_text()
    for key, value in (("RootDirectory", site.folders["site"]), ("DirectoryBrowsing", 0),
                       ("ContentExpires", 1), ("Interval", "After"), ("Duration", 3)):
        text = re.sub(rf"(?m)^{key}=.*$", f"{key}={value}", text)
    ini.write_text(text)
    hashed = subprocess.run(["mkpasswd", "-m", "yescrypt", "annpass"], capture_output=True,
                            text=True, check=True).stdout.strip()
    (site.program / "users.lst").write_text(f'"guest","quorvane"\r\n"ann","{hashed}"\r\n')
    (site.program / "iplist.lst").write_text('"127.0.0.2"\r\n')
    (site.program / "nocgi.lst").write_text('"127.0.0.3"\r\n')
    page = "<html><body><p>{}</p></body></html>\n"
    (site.folders["site"] / "index.htm").write_text(page.format("home"))
    (site.folders["site"] / "page.htm").write_text(page.format("a page"))
    for folder in ("members", "sub", "v1.2"):
        (site.folders["site"] / folder).mkdir()
    (site.folders["site"] / "members" / "index.htm").write_text(page.format("members"))
    (site.folders["site"] / "sub" / "notes.txt").write_text("notes\n")
    (site.folders["area"] / "index.htm").write_text(page.format("area"))
    script = site.folders["run"] / "env.pl"
    script.write_text(
        "#!/usr/bin/perl\nprint \"Content-Type: text/plain\\r\\n\\r\\n\";\n"
        "my $body = '';\nread(STDIN, $body, $ENV{CONTENT_LENGTH} || 0)"
        " if ($ENV{REQUEST_METHOD} || '') eq 'POST';\n"
        "print \"$_=\", ($ENV{$_} // ''), \"\\n\" for qw(REQUEST_METHOD QUERY_STRING"
        " SCRIPT_NAME PATH_INFO GATEWAY_INTERFACE REMOTE_ADDR);\nprint \"body=$body\\n\";\n")
    script.chmod(0o755)
    ann = ("ann", "annpass")
    requests = [
        Request("/", expires=True, holds=FOOTER), Request("/page.htm", expires=True),
        Request("/sub/"), Request("/sub", own="notice"), Request("/sub/notes.txt"),
        Request("/v1.2", own="notice"), Request("/sub/notes.txt/"),
        Request("/members/"), Request("/members/", user=("guest", "nope")),
        Request("/members/", user=GUEST), Request("/members/", user=ann),
        Request("/club/"), Request("/club/index.htm", user=GUEST), Request("/members"),
        Request("/area/"), Request("/area/", user=GUEST), Request("/area/", user=("ann", "x")),
        Request("/area/", user=ann), Request("/area"),
        Request("/run/env.pl?x=1"), Request("/run/env.pl", method="POST", body="a=1&b=2"),
        Request("/run/env.pl", source="127.0.0.3"), Request("/run/.env.pl"),
        Request("/", source="127.0.0.2"), Request("/page.htm", source="127.0.0.2"),
        Request("/missing.htm"), Request("/conf/quorvane.ini"), Request("/conf/users.lst"),
        Request("/page.htm", method="POST", body="a=1", holds=b"a page"),
    ]
    return site, requests, True


def redirected_site(binary):
    site, _, _ = guarded_site(binary)
    ini = site.program / "quorvane.ini"
    ini.write_text(ini.read_text().replace("SiteLocation=Local", "SiteLocation=Redir")
                   .replace(f"RootDirectory={site.folders['site']}",
                            "RootDirectory=http://example.invalid/site/"))
    return site, [Request("/", own="notice"), Request("/page.htm", own="notice")], False


def main():
    binary = sys.argv[1]
    if not Path(NGINX).exists() or not Path(FCGIWRAP).exists():
        print("nginx or fcgiwrap is not installed")
        return 77
    failures = []
    for make in (sample_site, guarded_site, redirected_site):
        site, requests, scripts = make(binary)
        print(f"== {make.__name__}")
        try:
            failures += compare(binary, site, requests, scripts)
        finally:
            site.close()
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
