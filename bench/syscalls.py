#!/usr/bin/env python3
"""Counts the system calls each server makes per request of the 1 KiB page,
over new connections and over one kept connection, with strace -c attached
to the server's whole process tree while 1000 requests are made.

Usage: bench/syscalls.py --server build-release/bin/quorvane-server [--only quorvane,nginx]
"""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

import bench

REQUESTS = 1000


def new_connections(port):
    for _ in range(REQUESTS):
        with socket.create_connection(("127.0.0.1", port)) as s:
            s.sendall(b"GET /page.htm HTTP/1.0\r\n\r\n")
            while s.recv(65536):
                pass


def kept_connection(port):
    with socket.create_connection(("127.0.0.1", port)) as s:
        reader = s.makefile("rb")
        for _ in range(REQUESTS):
            s.sendall(b"GET /page.htm HTTP/1.1\r\nHost: bench\r\n\r\n")
            length = 0
            while (line := reader.readline()) not in (b"\r\n", b""):
                if line.lower().startswith(b"content-length:"):
                    length = int(line.split(b":")[1])
            reader.read(length)


def counted(server, load, out):
    """Runs the load under strace; the calls per request and the busiest calls."""
    argv = ["strace", "-f", "-c", "-qq", "-o", out]
    for pid in server.pids():
        argv += ["-p", str(pid)]
    tracer = subprocess.Popen(argv, stderr=subprocess.DEVNULL)
    time.sleep(1)  # attached
    load(server.port)
    time.sleep(1.5)  # a second's buffered work (the access log) is part of it
    tracer.send_signal(signal.SIGINT)
    tracer.wait(timeout=10)
    calls = {}
    with open(out) as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 5 and fields[-1] != "total" and fields[0][0].isdigit():
                calls[fields[-1]] = int(fields[3])
    total = sum(calls.values())
    busiest = sorted(calls.items(), key=lambda item: -item[1])[:12]
    return total / REQUESTS, ", ".join(f"{name} {count / REQUESTS:.2f}" for name, count in busiest)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--only", default="quorvane,nginx,lighttpd")
    args = parser.parse_args()
    if shutil.which("strace") is None:
        raise SystemExit("strace is missing (apt-get install strace)")
    root = tempfile.mkdtemp(prefix="quorvane-syscalls-")
    os.chmod(root, 0o755)
    site = bench.make_site(root)
    certificate = bench.make_certificate(root)
    makers = {"quorvane": lambda: bench.quorvane_server(args.server, root, site),
              "nginx": lambda: bench.nginx_server(root, site, certificate),
              "lighttpd": lambda: bench.lighttpd_server(root, site)}
    try:
        for name in args.only.split(","):
            if name != "quorvane" and shutil.which(name) is None:
                print(f"{name}: not installed, skipped")
                continue
            server = makers[name]()
            server.start()
            try:
                time.sleep(2.5)
                new_connections(server.port)  # warm
                for label, load in (("new connections", new_connections),
                                    ("kept connection", kept_connection)):
                    per, busiest = counted(server, load, os.path.join(root, "strace.txt"))
                    print(f"{name:9} {label:16} {per:6.1f} calls/request   {busiest}", flush=True)
            finally:
                server.stop()
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
