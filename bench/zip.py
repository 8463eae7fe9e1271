#!/usr/bin/env python3
"""A folder as zip: quorvane-server streams a 1 GiB tree, against reading it.

The tree holds half already-compressed files (.jpg of random bytes, stored)
and half text (.txt, deflated), in nested folders. Measured, each as the
median of the runs: MB/s of the tree's own bytes for `?format=zip` (request
sent to last byte read, the archive thrown away as it comes), the server's
CPU time, and its peak resident memory during the download (VmHWM of its own
processes, reset just before); beside it, the MB/s of reading the same tree
with tar into nothing (what the disk and page cache give), and the archive
checked with Python's zipfile once. Every process started here is stopped
here; the tree is deleted at the end.
"""
import argparse
import os
import random
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(__file__))
from bench import make_site, quorvane_server  # noqa: E402
from upload import Peak  # noqa: E402

MIB = 1 << 20


def make_tree(root, total):
    """Files of 8 MiB in folders of eight; returns the bytes written."""
    words = b" ".join(random.choice([b"folder", b"zip", b"server", b"desktop", b"share", b"page"])
                      for _ in range(MIB // 6))[:MIB]
    written, index = 0, 0
    while written < total:
        folder = os.path.join(root, f"part-{index // 8:03d}")
        os.makedirs(folder, exist_ok=True)
        compressed = index % 2 == 0
        name = os.path.join(folder, f"file-{index:04d}.{'jpg' if compressed else 'txt'}")
        with open(name, "wb") as f:
            for _ in range(8):
                f.write(os.urandom(MIB) if compressed else words)
        written += 8 * MIB
        index += 1
    return written


def download(port, path):
    """GET the path, throwing the body away; (bytes, seconds)."""
    started = time.monotonic()
    received = 0
    with socket.create_connection(("127.0.0.1", port), timeout=600) as client:
        client.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"
                       .encode())
        while chunk := client.recv(1 << 20):
            received += len(chunk)
    return received, time.monotonic() - started


def read_with_tar(tree):
    # GNU tar skips the reading when the archive is /dev/null: read through a pipe.
    started = time.monotonic()
    tar = subprocess.Popen(["tar", "-cf", "-", "-C", tree, "."], stdout=subprocess.PIPE)
    while tar.stdout.read(1 << 20):
        pass
    tar.wait()
    return time.monotonic() - started


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--mib", type=int, default=1024, help="size of the tree")
    args = parser.parse_args()

    root = tempfile.mkdtemp(prefix="quorvane-zip-")
    os.chmod(root, 0o755)
    try:
        site = make_site(root)
        tree = os.path.join(site, "tree")
        total = make_tree(tree, args.mib * MIB)
        server = quorvane_server(args.server, root, site, modern=True)
        server.start()
        time.sleep(2.5)
        try:
            archive = os.path.join(root, "check.zip")
            with socket.create_connection(("127.0.0.1", server.port)) as client, \
                    open(archive, "wb") as out:
                client.sendall(b"GET /tree/?format=zip HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")
                reply = b""
                while chunk := client.recv(1 << 20):
                    reply += chunk
                    if b"\r\n\r\n" in reply:
                        head, rest = reply.split(b"\r\n\r\n", 1)
                        out.write(rest)
                        while chunk := client.recv(1 << 20):
                            out.write(chunk)
                        break
            with zipfile.ZipFile(archive) as z:
                bad = z.testzip()
                names = len([n for n in z.namelist() if not n.endswith("/")])
            os.remove(archive)
            print(f"archive checked: {names} files, first bad member: {bad}")
            samples = []
            for _ in range(args.runs):
                peak = Peak(server)
                cpu_before = server.cpu_seconds()
                received, seconds = download(server.port, "/tree/?format=zip")
                samples.append((total / seconds / 1e6, server.cpu_seconds() - cpu_before,
                                peak.kib(), received))
            tar_seconds = statistics.median(read_with_tar(tree) for _ in range(args.runs))
        finally:
            server.stop()
        print(f"tree: {total / MIB:.0f} MiB, half stored (.jpg), half deflated (.txt)")
        print(f"quorvane zip:  {statistics.median(s[0] for s in samples):7.0f} MB/s  "
              f"cpu {statistics.median(s[1] for s in samples):.2f} s  "
              f"peak RSS {max(s[2] for s in samples)} KiB  "
              f"archive {statistics.median(s[3] for s in samples) / MIB:.0f} MiB")
        print(f"tar read:      {total / tar_seconds / 1e6:7.0f} MB/s")
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
