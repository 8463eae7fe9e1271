#!/usr/bin/env python3
"""Soak: one million requests of mixed kinds against one quorvane-server.

It reports requests served, failures, and the server's resident memory at
the start, the middle and the end. Traffic goes to 127.0.0.1 only; the
server it starts is stopped when it ends.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from bench import AUTH, make_site, quorvane_server  # noqa: E402

# wrk calls request() for every request: pages, secure pages, misses and
# queries take turns, with a 1 MiB file, a 1,000-file listing and a CGI
# script mixed in.
LUA = r"""
local paths = {"/page.htm", "/secure/page.htm", "/missing.htm", "/page.htm?q=1", "/big.bin"}
local counter = 0
request = function()
  counter = counter + 1
  local path = paths[(counter % #paths) + 1]
  if counter % 50 == 0 then path = "/list/" end
  if counter % 100 == 1 then path = "/cgi-bin/hello-sh.exe" end
  if path == "/big.bin" and counter % 10 ~= 4 then path = "/page.htm" end
  local headers = {["Connection"] = "close"}
  if path == "/secure/page.htm" then headers["Authorization"] = "AUTHORIZATION" end
  return wrk.format("GET", path, headers)
end
""".replace("AUTHORIZATION", AUTH)


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--requests", type=int, default=1_000_000)
    parser.add_argument("--chunk-seconds", type=int, default=10)
    args = parser.parse_args()

    root = tempfile.mkdtemp(prefix="quorvane-soak-")
    os.chmod(root, 0o755)
    server = None
    try:
        site = make_site(root)
        server = quorvane_server(args.server, root, site)
        server.start()
        time.sleep(2.5)
        script = os.path.join(root, "mixed.lua")
        with open(script, "w") as f:
            f.write(LUA)
        start_rss = rss_kib(server.process.pid)
        served = failures = 0
        middle_rss = None
        started = time.time()
        while served < args.requests:
            out = subprocess.run(["wrk", "-t1", "-c16", f"-d{args.chunk_seconds}s", "--timeout", "5s",
                                  "-s", script, f"http://127.0.0.1:{server.port}/"],
                                 capture_output=True, text=True,
                                 timeout=args.chunk_seconds + 60).stdout
            served += int(re.search(r"(\d+) requests in", out).group(1))
            # 404s for /missing.htm are expected answers; socket errors are failures.
            errors = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", out)
            if errors:
                failures += sum(int(x) for x in errors.groups())
            if middle_rss is None and served >= args.requests // 2:
                middle_rss = rss_kib(server.process.pid)
            print(f"{served:>9} requests, {failures} failures, rss {rss_kib(server.process.pid)} KiB",
                  flush=True)
        end_rss = rss_kib(server.process.pid)
        print(f"\nsoak: {served} requests in {time.time() - started:.0f} s, {failures} failures; "
              f"resident memory start {start_rss} KiB, middle {middle_rss} KiB, end {end_rss} KiB")
        return 1 if failures else 0
    finally:
        if server:
            server.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
