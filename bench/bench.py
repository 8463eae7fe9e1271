#!/usr/bin/env python3
"""Measures quorvane-server against peer web servers on this machine.

Every server gets the same generated site, an access log, and the same wrk
workloads, over new connections (Connection: close) or kept ones, in the
clear or over HTTPS (quorvane and nginx, with the same certificate). For each workload and
server it records, as the median of three runs: the server's CPU time per
request (user + system of the whole process tree, CGI children included,
from /proc), requests per second, p99 latency, failures, and resident
memory idle and at peak. Traffic goes to 127.0.0.1 only; every process
started here is stopped here.
"""
import argparse
import base64
import csv
import json
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")
USER, PASSWORD = "bench", "bench-pass"
AUTH = "Basic " + base64.b64encode(f"{USER}:{PASSWORD}".encode()).decode()
# A second user whose password is stored as a yescrypt hash (made at start).
HASHED_USER = "bench-hashed"
AUTH_HASHED = "Basic " + base64.b64encode(f"{HASHED_USER}:{PASSWORD}".encode()).decode()

# name, path per server kind, concurrency, headers, connections kept
# (wrk's default) or a new connection per request, over HTTPS or not
WORKLOADS = [
    ("page_1k", {"*": "/page.htm"}, 16, {}, False, False),
    ("file_1m", {"*": "/big.bin"}, 16, {}, False, False),
    ("listing_1000", {"*": "/list/"}, 16, {}, False, False),
    ("secure_page", {"*": "/secure/page.htm"}, 16, {"Authorization": AUTH}, False, False),
    ("secure_page_hashed", {"*": "/secure/page.htm"}, 16, {"Authorization": AUTH_HASHED}, False,
     False),
    ("not_found", {"*": "/missing.htm"}, 16, {}, False, False),
    ("cgi_perl", {"quorvane": "/cgi-bin/hello.pl", "*": "/cgi-bin/hello.pl"}, 4, {}, False, False),
    ("cgi_sh", {"quorvane": "/cgi-bin/hello-sh.exe", "*": "/cgi-bin/hello.sh"}, 4, {}, False,
     False),
    ("page_1k_kept", {"*": "/page.htm"}, 16, {}, True, False),
    ("file_1m_kept", {"*": "/big.bin"}, 16, {}, True, False),
    ("page_1k_tls_kept", {"*": "/page.htm"}, 16, {}, True, True),
    ("listing_1000_kept", {"*": "/list/"}, 16, {}, True, False),
    # quorvane's modern folder page, against the peers' own listings
    ("modern_listing_1000", {"*": "/list/"}, 16, {}, False, False),
    ("modern_listing_1000_kept", {"*": "/list/"}, 16, {}, True, False),
    ("secure_page_kept", {"*": "/secure/page.htm"}, 16, {"Authorization": AUTH}, True, False),
    ("secure_page_hashed_kept", {"*": "/secure/page.htm"}, 16, {"Authorization": AUTH_HASHED},
     True, False),
    ("not_found_kept", {"*": "/missing.htm"}, 16, {}, True, False),
]
CGI_WORKLOADS = {"cgi_perl", "cgi_sh"}


def yescrypt_hash(password):
    """The password's yescrypt hash, as mkpasswd (package whois) makes it."""
    return subprocess.run(["mkpasswd", "-m", "yescrypt", "-s"], input=password, text=True,
                          capture_output=True, check=True).stdout.strip()


HASHED = yescrypt_hash(PASSWORD)


def startup_floor(site):
    """The scripts' own start-up, timed with hyperfine: what a server that
    did nothing else could reach at 4 clients on this machine's cores."""
    if shutil.which("hyperfine") is None:
        print("hyperfine: not installed (bench/install-peers), start-up floor skipped")
        return
    cores = min(4, os.cpu_count() or 1)
    for name in ("hello.pl", "hello.sh"):
        script = os.path.join(site, "cgi-bin", name)
        export = os.path.join(tempfile.mkdtemp(prefix="quorvane-hyperfine-"), "run.json")
        subprocess.run(["hyperfine", "-N", "--warmup", "20", "--runs", "300", "--export-json",
                        export, script], check=True, stdout=subprocess.DEVNULL)
        with open(export) as f:
            mean = json.load(f)["results"][0]["mean"]
        shutil.rmtree(os.path.dirname(export), ignore_errors=True)
        print(f"start-up of {name}: {mean * 1000:.2f} ms; floor at 4 clients on {cores} cores: "
              f"{cores / mean:.0f} req/s")


def report_targets(rows):
    """Prints each speed and memory target as met or not; True when all are."""
    found = {(r["server"], r["workload"]): r for r in rows}
    results = []
    for workload, *_ in WORKLOADS:
        ours = found.get(("quorvane", workload))
        if ours is None:
            continue
        if workload in CGI_WORKLOADS:
            peer = found.get(("lighttpd", workload))
            if peer:
                results.append((f"{workload}: {ours['requests_per_second']:.0f} req/s, "
                                f"lighttpd {peer['requests_per_second']:.0f}",
                                ours["requests_per_second"] >= peer["requests_per_second"]))
            continue
        peer = found.get(("nginx", workload))
        if peer:
            results.append((f"{workload}: {ours['cpu_us_per_request']:.1f} us/req, "
                            f"nginx {peer['cpu_us_per_request']:.1f}",
                            ours["cpu_us_per_request"] <= peer["cpu_us_per_request"]))
    peaks = {}
    idles = {}
    for row in rows:
        if row["https_instance"]:
            print(f"(quorvane with HTTPS on: idle {row['idle_rss_kib']} KiB, "
                  f"peak {row['peak_rss_kib']} KiB)")
            continue
        peaks[row["server"]] = max(peaks.get(row["server"], 0), row["peak_rss_kib"])
        idles[row["server"]] = row["idle_rss_kib"]
    if "quorvane" in peaks and "lighttpd" in peaks:
        results.append((f"peak memory: {peaks['quorvane']} KiB, lighttpd {peaks['lighttpd']} + 1024",
                        peaks["quorvane"] <= peaks["lighttpd"] + 1024))
        results.append((f"idle memory: {idles['quorvane']} KiB, lighttpd {idles['lighttpd']}",
                        idles["quorvane"] <= idles["lighttpd"]))
    failed = sum(r["failures"] for r in rows if r["server"] == "quorvane")
    results.append((f"failed requests: {failed}", failed == 0))
    print("\ntargets")
    for text, met in results:
        print(f"  {'met    ' if met else 'NOT MET'}  {text}")
    return all(met for _, met in results)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def make_site(root):
    site = os.path.join(root, "site")
    os.makedirs(os.path.join(site, "list"))
    os.makedirs(os.path.join(site, "secure"))
    os.makedirs(os.path.join(site, "cgi-bin"))
    page = ("<html><body>" + "x" * 1000 + "</body></html>")[:1024]
    for path in ("page.htm", "secure/page.htm"):
        with open(os.path.join(site, path), "w") as f:
            f.write(page)
    with open(os.path.join(site, "big.bin"), "wb") as f:
        f.write(os.urandom(1024 * 1024))
    for i in range(1000):
        with open(os.path.join(site, "list", f"file-{i:04d}.txt"), "w") as f:
            f.write("listed file\n")
    perl = "#!/usr/bin/perl\nprint \"Content-Type: text/plain\\r\\n\\r\\nhello from perl\\n\";\n"
    shell = "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\nhello from sh\\n'\n"
    for name, text in (("hello.pl", perl), ("hello.sh", shell), ("hello-sh.exe", shell)):
        path = os.path.join(site, "cgi-bin", name)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o755)
    return site


def make_certificate(root):
    """One self-signed P-256 certificate for 127.0.0.1, for every server's HTTPS."""
    certificate, key = os.path.join(root, "certificate.pem"), os.path.join(root, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:P-256", "-nodes", "-days", "2", "-subj", "/CN=localhost",
                    "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate],
                   check=True, capture_output=True)
    return certificate, key


class Server:
    def __init__(self, name, argv, port, cwd, env=None, tls_port=None):
        self.name, self.argv, self.port, self.cwd, self.env = name, argv, port, cwd, env
        self.tls_port = tls_port  # the HTTPS port, where it serves one
        self.process = None

    def start(self):
        self.process = subprocess.Popen(self.argv, cwd=self.cwd, env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        start_new_session=True)
        if not wait_for_port(self.port):
            self.stop()
            raise RuntimeError(f"{self.name} did not start")
        time.sleep(0.3)

    def stop(self):
        if self.process and self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()

    def pids(self):
        """The server's process tree (nginx has a master and a worker)."""
        pids = [self.process.pid]
        for pid in os.listdir("/proc"):
            if pid.isdigit():
                try:
                    with open(f"/proc/{pid}/stat") as f:
                        fields = f.read().rsplit(")", 1)[1].split()
                    if int(fields[1]) in pids and int(pid) not in pids:
                        pids.append(int(pid))
                except OSError:
                    pass
        return pids

    def cpu_seconds(self):
        total = 0
        for pid in self.pids():
            try:
                with open(f"/proc/{pid}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                total += sum(int(x) for x in fields[11:15])  # utime stime cutime cstime
            except OSError:
                pass
        return total / TICKS

    def own_pids(self):
        """The server's own processes, without CGI children of the moment."""
        own = os.path.realpath(f"/proc/{self.process.pid}/exe")
        result = []
        for pid in self.pids():
            try:
                if os.path.realpath(f"/proc/{pid}/exe") == own:
                    result.append(pid)
            except OSError:
                pass
        return result

    def memory_kib(self, key):
        total = 0
        for pid in self.own_pids():
            try:
                with open(f"/proc/{pid}/status") as f:
                    for line in f:
                        if line.startswith(key + ":"):
                            total += int(line.split()[1])
            except OSError:
                pass
        return total


def quorvane_server(binary, root, site, certificate=None, footer=False, name="quorvane",
                    modern=False):
    """With a certificate, a second instance that serves HTTPS (and only the
    HTTPS workloads): the plain one is measured, memory included, as users
    run it without HTTPS, like the peers here. With `footer`, one that adds
    the footer to every page; with `modern`, one that lists folders with the
    modern page (and serves only its workloads)."""
    folder = os.path.join(root, f"{name}-tls" if certificate else
                          f"{name}-footer" if footer else
                          f"{name}-modern" if modern else name)
    os.makedirs(folder)
    shutil.copy(binary, folder)
    port, tls_port = free_port(), (free_port() if certificate else None)
    https = (f"HttpsPort={tls_port}\r\nCertificateFile={certificate[0]}\r\n"
             f"KeyFile={certificate[1]}\r\n") if certificate else ""
    with open(os.path.join(folder, "quorvane.ini"), "w") as f:
        f.write(f"[Server]\r\nPort={port}\r\nListen=127.0.0.1\r\n{https}"
                f"[HomePage]\r\nRootDirectory={site}\r\n"
                f"[Documents]\r\nEnableFooter={int(footer)}\r\nDirectoryBrowsing=1\r\n"
                f"ListingStyle={'Modern' if modern else 'Classic'}\r\n"
                "[Logging]\r\nRefreshOnRun=True\r\n"
                "[CGI]\r\nEnabled=1\r\nEnablePerl=1\r\nPerlLocation=/usr/bin/perl\r\n")
    with open(os.path.join(folder, "dirs.lst"), "w") as f:
        f.write(f'"/","{site}","No","No","No"\r\n"/secure/","{site}/secure","Yes","No","No"\r\n'
                f'"/cgi-bin/","{site}/cgi-bin","No","Yes","Yes"\r\n')
    with open(os.path.join(folder, "default.lst"), "w") as f:
        f.write('"index.htm"\r\n"index.html"\r\n')
    with open(os.path.join(folder, "mime.lst"), "w") as f:
        f.write('"htm,text/html"\r\n"bin,application/octet-stream"\r\n"txt,text/plain"\r\n')
    with open(os.path.join(folder, "users.lst"), "w") as f:
        f.write(f'"{USER}","{PASSWORD}"\r\n"{HASHED_USER}","{HASHED}"\r\n')
    server = Server(name, [os.path.join(folder, "quorvane-server")], port, folder,
                    tls_port=tls_port)
    server.tls_only = certificate is not None
    server.modern_only = modern
    return server


def nginx_server(root, site, certificate):
    folder = os.path.join(root, "nginx")
    os.makedirs(folder)
    port, tls_port = free_port(), free_port()
    with open(os.path.join(folder, "htpasswd"), "w") as f:
        f.write(f"{USER}:{{PLAIN}}{PASSWORD}\n")  # plain, as quorvane and lighttpd compare
        f.write(f"{HASHED_USER}:{HASHED}\n")  # checked through the system's crypt(3)
    with open(os.path.join(folder, "nginx.conf"), "w") as f:
        f.write(f"""worker_processes 1;
daemon off;
pid {folder}/nginx.pid;
error_log {folder}/error.log;
events {{ worker_connections 1024; }}
http {{
  access_log {folder}/access.log;
  client_body_temp_path {folder}/body; proxy_temp_path {folder}/proxy;
  fastcgi_temp_path {folder}/fcgi; uwsgi_temp_path {folder}/uwsgi; scgi_temp_path {folder}/scgi;
  types {{ text/html htm; application/octet-stream bin; text/plain txt; }}
  sendfile on;
  server {{
    listen 127.0.0.1:{port};
    listen 127.0.0.1:{tls_port} ssl;
    ssl_certificate {certificate[0]}; ssl_certificate_key {certificate[1]};
    ssl_protocols TLSv1.2 TLSv1.3;
    root {site};
    location /list/ {{ autoindex on; }}
    location /secure/ {{ auth_basic "secure"; auth_basic_user_file {folder}/htpasswd; }}
  }}
}}
""")
    return Server("nginx", ["nginx", "-c", os.path.join(folder, "nginx.conf"), "-p", folder], port,
                  folder, tls_port=tls_port)


def lighttpd_server(root, site):
    folder = os.path.join(root, "lighttpd")
    os.makedirs(folder)
    port = free_port()
    with open(os.path.join(folder, "users"), "w") as f:
        f.write(f"{USER}:{PASSWORD}\n")
    with open(os.path.join(folder, "lighttpd.conf"), "w") as f:
        f.write(f"""server.modules = ("mod_access", "mod_auth", "mod_authn_file", "mod_accesslog",
                  "mod_dirlisting", "mod_cgi")
server.document-root = "{site}"
server.bind = "127.0.0.1"
server.port = {port}
server.errorlog = "{folder}/error.log"
accesslog.filename = "{folder}/access.log"
mimetype.assign = (".htm" => "text/html", ".bin" => "application/octet-stream", ".txt" => "text/plain")
dir-listing.activate = "enable"
auth.backend = "plain"
auth.backend.plain.userfile = "{folder}/users"
auth.require = ("/secure/" => ("method" => "basic", "realm" => "secure", "require" => "valid-user"))
$HTTP["url"] =~ "^/cgi-bin/" {{ cgi.assign = (".pl" => "/usr/bin/perl", ".sh" => "/bin/sh") }}
""")
    return Server("lighttpd", ["lighttpd", "-D", "-f", os.path.join(folder, "lighttpd.conf")], port,
                  folder)


def civetweb_server(root, site):
    folder = os.path.join(root, "civetweb")
    os.makedirs(folder)
    port = free_port()
    # civetweb protects folders with Digest authentication only, so its
    # secure-page figure is left out.
    argv = ["civetweb", "-listening_ports", f"127.0.0.1:{port}", "-document_root", site,
            "-enable_directory_listing", "yes", "-access_log_file", f"{folder}/access.log",
            "-cgi_pattern", "**.pl$|**.sh$", "-num_threads", "16"]
    return Server("civetweb", argv, port, folder)


def run_wrk(port, path, connections, headers, seconds, kept, expect_success=True, tls=False):
    argv = ["wrk", "-t1", f"-c{connections}", f"-d{seconds}s", "--latency", "--timeout", "5s"]
    if not kept:
        argv += ["-H", "Connection: close"]
    for key, value in headers.items():
        argv += ["-H", f"{key}: {value}"]
    argv.append(f"{'https' if tls else 'http'}://127.0.0.1:{port}{path}")
    out = subprocess.run(argv, capture_output=True, text=True, timeout=seconds + 30).stdout
    requests = int(re.search(r"(\d+) requests in", out).group(1))
    rate = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    p99 = re.search(r"99%\s+([\d.]+)(us|ms|s)", out)
    p99_ms = float(p99.group(1)) * {"us": 0.001, "ms": 1, "s": 1000}[p99.group(2)] if p99 else 0
    failures = 0
    non2xx = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
    if non2xx and expect_success:
        failures += int(non2xx.group(1))
    errors = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", out)
    if errors:
        failures += sum(int(x) for x in errors.groups())
    return requests, rate, p99_ms, failures


def supports(server, workload, tls):
    if server.name == "quorvane" and getattr(server, "modern_only", False) != (
            workload.startswith("modern_listing")):
        return False  # the modern page has an instance of its own
    if tls and server.tls_port is None:
        return False  # only quorvane and nginx are given the certificate
    if getattr(server, "tls_only", False) and not tls:
        return False
    if server.name == "nginx" and workload.startswith("cgi"):
        return False  # nginx runs no CGI itself
    if server.name == "civetweb" and workload.startswith("secure_page"):
        return False
    if server.name == "lighttpd" and workload.startswith("secure_page_hashed"):
        return False  # its user file here holds passwords in clear only
    return True


def cpu_per_request(server, workload, path, connections, headers, kept, seconds):
    before = server.cpu_seconds()
    requests, _, _, failures = run_wrk(server.port, path, connections, headers, seconds, kept,
                                       expect_success=not workload.startswith("not_found"))
    return (server.cpu_seconds() - before) * 1e6 / max(requests, 1), failures


def compare_with_baseline(args, root, site):
    """This build against an earlier one, both running at once and measured in
    turns, run by run, so a machine that slows down meanwhile slows both: a
    change of a few per cent is then the code's, not the machine's."""
    servers = [quorvane_server(args.server, root, site),
               quorvane_server(args.baseline, root, site, name="baseline")]
    for server in servers:
        server.start()
    time.sleep(2.5)  # see main: files this new are re-read
    verdicts = []
    try:
        for workload, paths, connections, headers, kept, tls in WORKLOADS:
            if tls or workload in CGI_WORKLOADS or (
                    args.workloads and workload not in args.workloads.split(",")):
                continue
            samples = {server.name: [] for server in servers}
            failures = 0
            for server in servers:  # a first run only warms caches and allocators
                cpu_per_request(server, workload, paths["*"], connections, headers, kept, 1)
            for _ in range(args.runs):
                for server in servers:
                    cpu, failed = cpu_per_request(server, workload, paths["*"], connections, headers,
                                                  kept, args.seconds)
                    samples[server.name].append(cpu)
                    failures += failed
            now, before = (statistics.median(samples[s.name]) for s in servers)
            change = now / before - 1
            verdicts.append(change <= 0.05 and failures == 0)
            print(f"  {'met    ' if verdicts[-1] else 'NOT MET'}  {workload}: {now:.1f} us/req, "
                  f"baseline {before:.1f} ({change:+.1%}), failures {failures}", flush=True)
    finally:
        for server in servers:
            server.stop()
    return 0 if all(verdicts) else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True, help="path of the quorvane-server binary")
    parser.add_argument("--seconds", type=int, default=3)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--csv", default="bench-results.csv")
    parser.add_argument("--only", default="", help="comma-separated server names")
    parser.add_argument("--workloads", default="", help="comma-separated workload names")
    parser.add_argument("--baseline", default="",
                        help="an earlier quorvane-server: only compare this build's CPU per "
                             "request with it, within 5 %%")
    args = parser.parse_args()

    root = tempfile.mkdtemp(prefix="quorvane-bench-")
    os.chmod(root, 0o755)  # nginx's worker runs as an unprivileged user
    site = make_site(root)
    if args.baseline:
        try:
            return compare_with_baseline(args, root, site)
        finally:
            shutil.rmtree(root, ignore_errors=True)
    certificate = make_certificate(root)
    makers = [("quorvane", lambda: quorvane_server(args.server, root, site)),
              ("quorvane", lambda: quorvane_server(args.server, root, site, certificate)),
              ("quorvane", lambda: quorvane_server(args.server, root, site, modern=True)),
              ("nginx", lambda: nginx_server(root, site, certificate)),
              ("lighttpd", lambda: lighttpd_server(root, site)),
              ("civetweb", lambda: civetweb_server(root, site))]
    wanted = set(args.only.split(",")) if args.only else None
    rows = []
    try:
        for name, make in makers:
            if wanted and name not in wanted:
                continue
            if name != "quorvane" and shutil.which(name) is None:
                print(f"{name}: not installed (bench/install-peers), skipped")
                continue
            server = make()
            server.start()
            # Files written this very moment are re-read until they are two
            # seconds old; a real site's configuration is older than that.
            time.sleep(2.5)
            idle = server.memory_kib("VmRSS")
            try:
                for workload, paths, connections, headers, kept, tls in WORKLOADS:
                    if not supports(server, workload, tls) or (
                            args.workloads and workload not in args.workloads.split(",")):
                        continue
                    path = paths.get(server.name, paths["*"])
                    samples = []
                    for _ in range(args.runs):
                        before = server.cpu_seconds()
                        requests, rate, p99, failures = run_wrk(
                            server.tls_port if tls else server.port, path, connections, headers,
                            args.seconds, kept, expect_success=not workload.startswith("not_found"), tls=tls)
                        used = server.cpu_seconds() - before
                        samples.append((used * 1e6 / max(requests, 1), rate, p99, failures))
                    rows.append({
                        "server": server.name, "workload": workload,
                        "cpu_us_per_request": statistics.median(s[0] for s in samples),
                        "requests_per_second": statistics.median(s[1] for s in samples),
                        "p99_ms": statistics.median(s[2] for s in samples),
                        "failures": sum(s[3] for s in samples),
                        "idle_rss_kib": idle,
                        "https_instance": getattr(server, "tls_only", False),
                        "peak_rss_kib": server.memory_kib("VmHWM"),
                    })
                    print(f"{server.name:9} {workload:24} {rows[-1]['cpu_us_per_request']:9.1f} us/req "
                          f"{rows[-1]['requests_per_second']:9.0f} req/s  p99 {rows[-1]['p99_ms']:7.2f} ms "
                          f"failures {rows[-1]['failures']}", flush=True)
            finally:
                server.stop()
        if not args.workloads or any(w in CGI_WORKLOADS for w in args.workloads.split(",")):
            startup_floor(site)
    finally:
        shutil.rmtree(root, ignore_errors=True)

    # Ratios to the best peer of each workload (lower is better for CPU and p99).
    print()
    print(f"{'workload':24} {'server':9} {'cpu us/req':>10} {'ratio':>6} {'req/s':>8} {'ratio':>6} "
          f"{'p99 ms':>7} {'fail':>5} {'idle KiB':>8} {'peak KiB':>8}")
    for row in rows:
        # A peer that failed requests in a workload is no yardstick for it.
        peers = [r for r in rows if r["workload"] == row["workload"] and r["server"] != "quorvane"
                 and r["failures"] == 0]
        best_cpu = min((r["cpu_us_per_request"] for r in peers), default=0)
        best_rate = max((r["requests_per_second"] for r in peers), default=0)
        row["cpu_ratio_to_best_peer"] = round(row["cpu_us_per_request"] / best_cpu, 2) if best_cpu else ""
        row["rate_ratio_to_best_peer"] = round(row["requests_per_second"] / best_rate, 2) if best_rate else ""
        print(f"{row['workload']:24} {row['server']:9} {row['cpu_us_per_request']:10.1f} "
              f"{row['cpu_ratio_to_best_peer']!s:>6} {row['requests_per_second']:8.0f} "
              f"{row['rate_ratio_to_best_peer']!s:>6} {row['p99_ms']:7.2f} {row['failures']:5d} "
              f"{row['idle_rss_kib']:8d} {row['peak_rss_kib']:8d}")
    with open(args.csv, "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=list(rows[0].keys()) if rows else ["server"])
        writer.writeheader()
        writer.writerows(rows)
    print(f"\nwritten to {args.csv}")
    report_targets(rows)
    return 1 if any(r["failures"] for r in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
