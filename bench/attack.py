#!/usr/bin/env python3
"""Attacks a running quorvane-server the way an outsider could, and reports
what it cost the server and its normal visitors.

1. Slow POST: N connections each announce an 8 MiB body (half to a page, half
   to a script) and then send one byte every 5 seconds. Reported: the
   server's peak resident memory, and how long a normal page and a normal
   script request take meanwhile.
2. Impatient crowd: N connections ask for a script that runs 3 seconds and
   close after half a second. Reported: how soon a normal script request is
   answered once they have gone, against its own run time.
3. One-address lockout: N connections from 127.0.0.1 that begin a head and
   never end it, opened again as fast as the server closes them. Reported:
   how long a visitor from another address (127.0.0.2) waits meanwhile.
4. Footer page: with the footer on, 8 clients ask for a 32 MiB page and do
   not read it. Reported: the server's peak resident memory.

Everything runs on 127.0.0.1; every process and socket started here is
stopped here.
"""
import argparse
import os
import resource
import socket
import tempfile
import time

import bench

SCRIPT_SECONDS = 3


def fetch(port, path, timeout=60):
    """Seconds until the whole reply of a GET arrived, and its status line."""
    started = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(f"GET {path} HTTP/1.0\r\n\r\n".encode())
        reply = b""
        while chunk := s.recv(65536):
            reply += chunk
    return time.monotonic() - started, reply.split(b"\r\n", 1)[0].decode(errors="replace")


def open_many(port, count, request):
    sockets = []
    for _ in range(count):
        s = socket.socket()
        s.setblocking(True)
        s.settimeout(5)
        try:
            s.connect(("127.0.0.1", port))
            s.sendall(request)
            s.setblocking(False)
            sockets.append(s)
        except OSError:
            s.close()
    return sockets


def slow_post(server, connections, seconds):
    half = connections // 2
    announce = "Content-Length: 8388608\r\n\r\n"
    victims = open_many(server.port, half, f"POST /page.htm HTTP/1.1\r\n{announce}".encode())
    victims += open_many(server.port, connections - half,
                         f"POST /cgi-bin/hello-sh.exe HTTP/1.1\r\n{announce}".encode())
    print(f"slow POST: {len(victims)} connections opened")
    peak = 0
    worst_page = worst_script = 0.0
    statuses = set()
    end = time.monotonic() + seconds
    next_byte = time.monotonic()
    while time.monotonic() < end:
        if time.monotonic() >= next_byte:
            alive = []
            for s in victims:
                try:
                    s.send(b"x")
                    alive.append(s)
                except OSError:
                    s.close()
            victims = alive
            next_byte += 5
        took, status = fetch(server.port, "/page.htm")
        worst_page = max(worst_page, took)
        statuses.add(status)
        took, status = fetch(server.port, "/cgi-bin/hello-sh.exe")
        worst_script = max(worst_script, took)
        statuses.add(status)
        peak = max(peak, server.memory_kib("VmHWM"))
        time.sleep(0.5)
    still = len(victims)
    for s in victims:
        s.close()
    print(f"slow POST: peak RSS {peak / 1024:.1f} MiB; slowest normal page {worst_page * 1000:.0f} ms, "
          f"slowest normal script {worst_script * 1000:.0f} ms; statuses {sorted(statuses)}; "
          f"{still} attack connections still open at the end")
    return peak


def impatient_crowd(server, connections):
    _, _ = fetch(server.port, "/cgi-bin/slow.exe")
    own, _ = fetch(server.port, "/cgi-bin/slow.exe")  # its run time with nobody else around
    crowd = open_many(server.port, connections, b"GET /cgi-bin/slow.exe HTTP/1.0\r\n\r\n")
    print(f"impatient crowd: {len(crowd)} script requests sent")
    time.sleep(0.5)
    for s in crowd:
        s.close()
    took, status = fetch(server.port, "/cgi-bin/slow.exe")
    print(f"impatient crowd: a normal script request after they left took {took:.2f} s "
          f"({status}); alone it takes {own:.2f} s; the bound is {own + 1:.2f} s: "
          f"{'met' if took <= own + 1 else 'MISSED'}")


def fetch_from(port, source, path, timeout=10):
    """Seconds until the whole reply arrived for a client at `source`."""
    started = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout,
                                  source_address=(source, 0)) as s:
        s.sendall(f"GET {path} HTTP/1.0\r\n\r\n".encode())
        reply = b""
        while chunk := s.recv(65536):
            reply += chunk
    return time.monotonic() - started, reply.split(b"\r\n", 1)[0].decode(errors="replace")


def one_address_lockout(server, connections, seconds):
    flood = open_many(server.port, connections, b"GET /page.htm HT")
    print(f"one-address lockout: {len(flood)} unfinished heads sent from 127.0.0.1")
    worst, statuses, reopened = 0.0, set(), 0
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        alive = []
        for s in flood:
            try:
                if s.recv(1) == b"":
                    s.close()  # closed by the server: opened again below
                    continue
            except BlockingIOError:
                pass
            except OSError:
                s.close()
                continue
            alive.append(s)
        reopened += connections - len(alive)
        flood = alive + open_many(server.port, connections - len(alive), b"GET /page.htm HT")
        took, status = fetch_from(server.port, "127.0.0.2", "/page.htm")
        worst = max(worst, took)
        statuses.add(status)
        time.sleep(0.2)
    for s in flood:
        s.close()
    print(f"one-address lockout: {reopened} attack connections opened again; the slowest visitor "
          f"from 127.0.0.2 waited {worst * 1000:.0f} ms; statuses {sorted(statuses)}; "
          f"served within 1 s: {'met' if worst <= 1 and statuses == {'HTTP/1.1 200 OK'} else 'MISSED'}")


def footer_page(binary, root, site):
    page = os.path.join(site, "big-page.htm")
    with open(page, "w") as f:
        f.write("<html><body>" + ("<p>" + "y" * 1020 + "</p>\n") * (32 * 1024) + "</body></html>\n")
    server = bench.quorvane_server(binary, root, site, footer=True)
    server.start()
    try:
        time.sleep(2.5)
        readers = open_many(server.port, 8, b"GET /big-page.htm HTTP/1.0\r\n\r\n")
        peak = 0
        for _ in range(20):
            time.sleep(0.25)
            peak = max(peak, server.memory_kib("VmHWM"))
        took, status = fetch(server.port, "/page.htm")
        for s in readers:
            s.close()
        print(f"footer page: 8 clients of a 32 MiB page unread; peak RSS {peak / 1024:.1f} MiB; "
              f"a normal page meanwhile {took * 1000:.0f} ms ({status}); "
              f"under 64 MiB: {'met' if peak < 64 * 1024 else 'MISSED'}")
    finally:
        server.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--connections", type=int, default=1000)
    parser.add_argument("--seconds", type=int, default=30)
    args = parser.parse_args()

    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    wanted = min(hard, 4 * args.connections + 256)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, wanted), hard))

    root = tempfile.mkdtemp(prefix="quorvane-attack-")
    site = bench.make_site(root)
    slow = os.path.join(site, "cgi-bin", "slow.exe")
    with open(slow, "w") as f:
        f.write(f"#!/bin/sh\nsleep {SCRIPT_SECONDS}\nprintf 'Content-Type: text/plain\\r\\n\\r\\nslow\\n'\n")
    os.chmod(slow, 0o755)
    server = bench.quorvane_server(args.server, root, site)
    server.start()
    try:
        time.sleep(2.5)  # settings older than two seconds are trusted
        print(f"idle RSS {server.memory_kib('VmRSS') / 1024:.1f} MiB")
        peak = slow_post(server, args.connections, args.seconds)
        print(f"slow POST: peak under 64 MiB: {'met' if peak < 64 * 1024 else 'MISSED'}")
        impatient_crowd(server, args.connections)
        one_address_lockout(server, args.connections, args.seconds)
    finally:
        server.stop()
    footer_page(args.server, root, site)


if __name__ == "__main__":
    main()
