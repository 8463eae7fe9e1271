#!/usr/bin/env python3
"""Side by side: what browsers, players and download tools rely on, asked of
quorvane-server and of nginx, lighttpd, civetweb and Python's http.server
serving one folder, each set up as a user sharing a folder would (their own
media types, folder listings on). Every check is a curl request; the table
says yes or no and the evidence (status and the header line that decides).
Traffic stays on 127.0.0.1; every process started here is stopped here.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

import bench


def make_folder(root):
    site = os.path.join(root, "shared")
    os.makedirs(os.path.join(site, "sub"))
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write("<html><body>shared folder</body></html>\n")
    with open(os.path.join(site, "sub", "inner.txt"), "w") as f:
        f.write("in the sub-folder\n")
    with open(os.path.join(site, "README"), "w") as f:
        f.write("a file without an extension\n")
    with open(os.path.join(site, "big.bin"), "wb") as f:
        f.write(os.urandom(4 * 1024 * 1024))
    for name in ("clip.mp4", "photo.webp", "font.woff2", "module.wasm"):
        with open(os.path.join(site, name), "wb") as f:
            f.write(os.urandom(64 * 1024))
    return site


def nginx(root, site):
    folder = os.path.join(root, "nginx")
    os.makedirs(folder)
    port = bench.free_port()
    with open(os.path.join(folder, "nginx.conf"), "w") as f:
        f.write(f"""worker_processes 1;
daemon off;
pid {folder}/nginx.pid;
error_log {folder}/error.log;
events {{ worker_connections 1024; }}
http {{
  include /etc/nginx/mime.types;
  access_log {folder}/access.log;
  client_body_temp_path {folder}/body; proxy_temp_path {folder}/proxy;
  fastcgi_temp_path {folder}/fcgi; uwsgi_temp_path {folder}/uwsgi; scgi_temp_path {folder}/scgi;
  server {{ listen 127.0.0.1:{port}; root {site}; autoindex on; }}
}}
""")
    return bench.Server("nginx", ["nginx", "-c", os.path.join(folder, "nginx.conf"), "-p", folder],
                        port, folder)


def lighttpd(root, site):
    folder = os.path.join(root, "lighttpd")
    os.makedirs(folder)
    port = bench.free_port()
    with open(os.path.join(folder, "lighttpd.conf"), "w") as f:
        f.write(f"""server.modules = ("mod_dirlisting")
server.document-root = "{site}"
server.bind = "127.0.0.1"
server.port = {port}
server.errorlog = "{folder}/error.log"
index-file.names = ("index.html")
dir-listing.activate = "enable"
include_shell "/usr/share/lighttpd/create-mime.conf.pl"
""")
    return bench.Server("lighttpd", ["lighttpd", "-D", "-f", os.path.join(folder, "lighttpd.conf")],
                        port, folder)


def civetweb(root, site):
    folder = os.path.join(root, "civetweb")
    os.makedirs(folder)
    port = bench.free_port()
    argv = ["civetweb", "-listening_ports", f"127.0.0.1:{port}", "-document_root", site,
            "-enable_directory_listing", "yes"]
    return bench.Server("civetweb", argv, port, folder)


def python_http(root, site):
    port = bench.free_port()
    argv = [sys.executable, "-m", "http.server", str(port), "--bind", "127.0.0.1",
            "--directory", site]
    return bench.Server("http.server", argv, port, root)


def quorvane(binary, root, site):
    folder = os.path.join(root, "quorvane")
    os.makedirs(folder)
    shutil.copy(binary, folder)
    port = bench.free_port()
    with open(os.path.join(folder, "quorvane.ini"), "w") as f:
        f.write(f"[Server]\r\nPort={port}\r\n[HomePage]\r\nRootDirectory={site}\r\n"
                "[Documents]\r\nEnableFooter=0\r\nDirectoryBrowsing=1\r\n")
    with open(os.path.join(folder, "dirs.lst"), "w") as f:
        f.write(f'"/","{site}","No","No","No"\r\n')
    with open(os.path.join(folder, "default.lst"), "w") as f:
        f.write('"index.html"\r\n')
    with open(os.path.join(folder, "mime.lst"), "w") as f:
        f.write('"html,text/html"\r\n')
    return bench.Server("quorvane", [os.path.join(folder, "quorvane-server")], port, folder)


def curl(*args):
    out = subprocess.run(["curl", "-s", "-v", "-o", "/dev/null", "--max-time", "10", *args],
                         capture_output=True, text=True, timeout=30)
    return out.stderr  # -v writes the exchange there


def status(trace):
    found = re.findall(r"^< HTTP/[\d.]+ (\d{3})", trace, re.M)
    return found[-1] if found else "none"


def header(trace, name):
    found = re.findall(rf"^< {name}: ([^\r\n]*)", trace, re.M | re.I)
    return found[-1] if found else ""


def checks(url):
    """Each check: name, then (passed, evidence)."""
    results = {}

    trace = curl("-r", "1048576-", f"{url}/big.bin")
    results["resume a download (Range: bytes=N-)"] = (
        status(trace) == "206", f"{status(trace)} {header(trace, 'Content-Range')}")

    trace = curl("-r", "1000-1999", f"{url}/clip.mp4")
    results["seek in a video (206, video/mp4)"] = (
        status(trace) == "206" and header(trace, "Content-Type").startswith("video/mp4"),
        f"{status(trace)} {header(trace, 'Content-Type')}")

    trace = curl("-r", "0-9,20-29", f"{url}/big.bin")
    results["several ranges (multipart/byteranges)"] = (
        status(trace) == "206" and "multipart/byteranges" in header(trace, "Content-Type"),
        f"{status(trace)} {header(trace, 'Content-Type')[:32]}")

    trace = curl("-r", "9999999999-", f"{url}/big.bin")
    results["unsatisfiable range (416)"] = (status(trace) == "416", status(trace))

    first = curl(f"{url}/index.html")
    etag, modified = header(first, "ETag"), header(first, "Last-Modified")
    conditional = ["-H", f"If-None-Match: {etag}"] if etag else ["-H", f"If-Modified-Since: {modified}"]
    trace = curl(*conditional, f"{url}/index.html")
    results["revalidate a cached page (304)"] = (
        status(trace) == "304", f"{status(trace)} via {'ETag' if etag else 'Last-Modified'}")
    results["strong ETag"] = (bool(etag) and not etag.startswith("W/"), etag or "none")

    trace = curl(f"{url}/index.html", f"{url}/README")
    reused = "Re-using existing connection" in trace or "Reusing existing connection" in trace
    results["keep the connection (HTTP/1.1)"] = (reused, "reused" if reused else "new connection")

    trace = subprocess.run(["curl", "-s", "--max-time", "10", f"{url}/sub/"], capture_output=True,
                           text=True, timeout=30).stdout
    results["list a sub-folder"] = ("inner.txt" in trace, "inner.txt listed" if "inner.txt" in trace else "not listed")

    trace = curl(f"{url}/sub")
    results["folder without its slash (301)"] = (
        status(trace) in ("301", "308"), f"{status(trace)} {header(trace, 'Location')}")

    trace = curl(f"{url}/README")
    results["file without an extension"] = (status(trace) == "200", status(trace))

    for name, expected in (("photo.webp", "image/webp"), ("font.woff2", "font/woff2"),
                           ("module.wasm", "application/wasm")):
        trace = curl(f"{url}/{name}")
        results[f"type of .{name.split('.')[1]}"] = (
            header(trace, "Content-Type").startswith(expected), header(trace, "Content-Type"))

    trace = curl(f"{url}/README")
    results["Date line"] = (bool(header(trace, "Date")), "present" if header(trace, "Date") else "absent")
    return results


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True, help="path of the quorvane-server binary")
    args = parser.parse_args()
    root = tempfile.mkdtemp(prefix="quorvane-compare-")
    os.chmod(root, 0o755)
    site = make_folder(root)
    makers = [("quorvane", lambda: quorvane(args.server, root, site)), ("nginx", lambda: nginx(root, site)),
              ("lighttpd", lambda: lighttpd(root, site)), ("civetweb", lambda: civetweb(root, site)),
              ("http.server", lambda: python_http(root, site))]
    table = {}
    try:
        for name, make in makers:
            if name not in ("quorvane", "http.server") and shutil.which(name) is None:
                print(f"{name}: not installed (bench/install-peers), skipped")
                continue
            server = make()
            server.start()
            try:
                table[name] = checks(f"http://127.0.0.1:{server.port}")
            finally:
                server.stop()
    finally:
        shutil.rmtree(root, ignore_errors=True)
    names = list(table)
    rows = list(next(iter(table.values())))
    print("| feature | " + " | ".join(names) + " |")
    print("|---|" + "---|" * len(names))
    for row in rows:
        cells = [("yes" if table[n][row][0] else "no") + f" ({table[n][row][1]})" for n in names]
        print(f"| {row} | " + " | ".join(cells) + " |")
    missing = [row for row in rows if not table["quorvane"][row][0]]
    print("\nquorvane-server: " + ("every feature" if not missing else "missing " + ", ".join(missing)))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
