#!/usr/bin/env python3
"""Uploads: 1 GiB PUT requests to quorvane-server and to lighttpd's mod_webdav.

Both servers run at once on 127.0.0.1 and store into folders of one file
system; each run uploads one file to each in turn, then ten files at once to
quorvane-server alone. The client is this script: a socket per upload that
sends a Content-Length head and then zero bytes from one 1 MiB buffer, so
it reads no disk. Reported per server: MB/s (10^6 bytes per second, head
sent to status line read, median of the runs), the server's CPU time, and
its peak resident memory during the upload: VmHWM of the server's own
processes, reset through /proc/PID/clear_refs just before. Every file is
deleted after its run; every process started here is stopped here.
"""
import argparse
import os
import shutil
import socket
import stat
import statistics
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(__file__))
from bench import lighttpd_server, make_site, quorvane_server  # noqa: E402

GIB = 1 << 30
MIB = 1 << 20
CLIENTS = 10
FREE_NEEDED = 12 * GIB  # ten uploads at once, and room to spare
TARGET_KIB = 64 * 1024
BLOCK = memoryview(bytes(MIB))


def free_bytes(path):
    status = os.statvfs(path)
    return status.f_bavail * status.f_frsize


def enough_disk(path):
    free = free_bytes(path)
    if free < FREE_NEEDED:
        print(f"refusing to upload: {free / GIB:.1f} GiB free on the file system of {path}, "
              f"{FREE_NEEDED // GIB} GiB needed", file=sys.stderr)
        return False
    return True


def put(port, path, size):
    """One PUT of `size` zero bytes; returns (status code or 0, seconds)."""
    started = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=300) as client:
            client.sendall(f"PUT {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n"
                           f"Content-Type: application/octet-stream\r\nContent-Length: {size}\r\n"
                           "Connection: close\r\n\r\n".encode())
            left = size
            while left:
                part = BLOCK[:min(left, len(BLOCK))]
                client.sendall(part)
                left -= len(part)
            line = client.makefile("rb").readline(1024).split()
            status = int(line[1]) if len(line) > 1 and line[1].isdigit() else 0
    except OSError:
        status = 0
    return status, time.monotonic() - started


class Peak:
    """Peak resident memory of a server's own processes from now on."""

    def __init__(self, server):
        self.server = server
        for pid in server.own_pids():
            with open(f"/proc/{pid}/clear_refs", "w") as f:
                f.write("5")  # sets VmHWM back to VmRSS

    def kib(self):
        return self.server.memory_kib("VmHWM")


class OpenFiles:
    """Samples the regular files a server opens during an upload: in which
    of `folders` they lie, the most bytes each place held, their inodes. It
    sees unnamed (O_TMPFILE) files too, which no folder listing shows."""

    def __init__(self, server, folders):
        self.server, self.folders = server, folders
        self.most, self.inodes = {}, set()
        self.before = {inode for inode, _, _ in self.sample()}  # logs, open all along
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.watch)
        self.thread.start()

    def sample(self):
        for pid in self.server.own_pids():
            try:
                descriptors = os.listdir(f"/proc/{pid}/fd")
            except OSError:
                continue
            for fd in descriptors:
                path = f"/proc/{pid}/fd/{fd}"
                try:
                    info, target = os.stat(path), os.readlink(path)
                except OSError:
                    continue  # closed between the listing and the look
                if stat.S_ISREG(info.st_mode):
                    yield (info.st_dev, info.st_ino), os.path.dirname(target), info.st_size

    def watch(self):
        while not self.done.wait(0.05):
            for inode, folder, size in self.sample():
                if inode in self.before:
                    continue
                where = next((k for k, v in self.folders.items() if folder == v), folder)
                self.most[where] = max(self.most.get(where, 0), size)
                self.inodes.add(inode)

    def stop(self):
        self.done.set()
        self.thread.join()


def empty(folder):
    for entry in os.scandir(folder):
        os.unlink(entry.path)
    os.sync()  # the next run starts with no dirty pages of this one


def stored(folder, name):
    try:
        return os.stat(os.path.join(folder, name))
    except OSError:
        return None


def landed(status, folder, name):
    """The server answered success and the whole file is there."""
    result = stored(folder, name)
    return status in (200, 201, 204) and result is not None and result.st_size == GIB


def upload_once(target, run):
    """One 1 GiB upload to `target`; its figures as a dict."""
    name = f"single-{run}.bin"
    server, drop = target["server"], target["drop"]
    peak = Peak(server)
    files = OpenFiles(server, target["folders"])
    cpu = server.cpu_seconds()
    status, seconds = put(server.port, f"/drop/{name}", GIB)
    files.stop()
    result = stored(drop, name)
    inode = (result.st_dev, result.st_ino) if result else None
    row = {"rate": GIB / seconds / 1e6, "peak": peak.kib(), "cpu": server.cpu_seconds() - cpu,
           "status": status, "failed": not landed(status, drop, name), "places": files.most,
           "written_in_place": inode in files.inodes}
    for folder in target["folders"].values():
        empty(folder)
    return row


def upload_many(server, drop):
    """Ten 1 GiB uploads at once; total MB/s, peak KiB, failures."""
    peak = Peak(server)
    results = [None] * CLIENTS

    def client(i):
        results[i] = put(server.port, f"/drop/many-{i}.bin", GIB)

    threads = [threading.Thread(target=client, args=(i,)) for i in range(CLIENTS)]
    started = time.monotonic()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    seconds = time.monotonic() - started
    failed = sum(not landed(status, drop, f"many-{i}.bin")
                 for i, (status, _) in enumerate(results))
    row = {"rate": CLIENTS * GIB / seconds / 1e6, "seconds": seconds, "peak": peak.kib(),
           "failed": failed}
    empty(drop)
    return row


def make_quorvane(binary, root, site):
    server = quorvane_server(binary, root, site)
    drop = os.path.join(root, "quorvane-drop")
    os.makedirs(drop)
    with open(os.path.join(server.cwd, "dirs.lst"), "a") as f:
        f.write(f'"/drop/","{drop}","No","No","No","Yes","Yes"\r\n')
    with open(os.path.join(server.cwd, "quorvane.ini"), "a") as f:
        f.write("[Uploads]\r\nKeepFreeMiB=0\r\nMaxFileMiB=0\r\n")  # the free-disk check is ours
    return {"server": server, "drop": drop, "folders": {"destination folder": drop}}


def make_lighttpd(root, site):
    server = lighttpd_server(root, site)
    drop, temp = os.path.join(site, "drop"), os.path.join(root, "lighttpd-temp")
    os.makedirs(drop)
    os.makedirs(temp)
    with open(os.path.join(server.cwd, "lighttpd.conf"), "a") as f:
        f.write(f"""server.modules += ("mod_webdav")
server.upload-dirs = ("{temp}")
$HTTP["url"] =~ "^/drop/" {{
  webdav.activate = "enable"
  webdav.is-readonly = "disable"
}}
""")
    return {"server": server, "drop": drop,
            "folders": {"destination folder": drop, "server.upload-dirs": temp}}


def measure(args, targets):
    singles = {target["server"].name: [] for target in targets}
    many = []
    # The single uploads all come first, each run in the other order, so
    # neither server uploads behind the other's (or the crowd's) write-back.
    for run in range(1, args.runs + 1):
        for target in targets if run % 2 else list(reversed(targets)):
            if not enough_disk(target["drop"]):
                return None
            row = upload_once(target, run)
            singles[target["server"].name].append(row)
            print(f"{target['server'].name:9} run {run}: {row['rate']:7.1f} MB/s  "
                  f"peak {row['peak']:7d} KiB  cpu {row['cpu']:5.2f} s  status {row['status']}",
                  flush=True)
    for run in range(1, args.runs + 1):
        if not enough_disk(targets[0]["drop"]):
            return None
        row = upload_many(targets[0]["server"], targets[0]["drop"])
        many.append(row)
        print(f"quorvane  run {run}: {CLIENTS} at once: {row['rate']:7.1f} MB/s total in "
              f"{row['seconds']:.1f} s  peak {row['peak']:7d} KiB  failed {row['failed']}",
              flush=True)
    return singles, many


def report(singles, many):
    print(f"\none 1 GiB upload (median of {len(many)} runs; peak: highest run)")
    for name, rows in singles.items():
        print(f"  {name:9} {statistics.median(r['rate'] for r in rows):7.1f} MB/s  "
              f"peak {max(r['peak'] for r in rows):7d} KiB  "
              f"cpu {statistics.median(r['cpu'] for r in rows):5.2f} s")
        places = {}
        for row in rows:
            for where, size in row["places"].items():
                places[where] = max(places.get(where, 0), size)
        seen = ", ".join(f"{where} (up to {size / MIB:.0f} MiB seen)"
                         for where, size in places.items()) or "none seen"
        in_place = sum(r["written_in_place"] for r in rows)
        print(f"  {name:9} files it wrote the body into: {seen}; the stored file was the one "
              f"written into, not a copy, in {in_place} of {len(rows)} runs")
    peak = max(r["peak"] for r in many)
    failed = sum(r["failed"] for r in many) + sum(r["failed"] for rows in singles.values()
                                                  for r in rows)
    print(f"\n{CLIENTS} uploads of 1 GiB at once to quorvane (median of {len(many)} runs): "
          f"{statistics.median(r['rate'] for r in many):.1f} MB/s total, peak {peak} KiB")
    results = [(f"{CLIENTS} uploads at once: quorvane peak {peak} KiB, target under {TARGET_KIB} "
                f"KiB (64 MiB)", peak < TARGET_KIB),
               (f"failed uploads: {failed}", failed == 0)]
    print("\ntargets")
    for text, met in results:
        print(f"  {'met    ' if met else 'NOT MET'}  {text}")
    return all(met for _, met in results)


def resident_kib(server):
    total = 0
    for pid in server.pids():
        with open(f"/proc/{pid}/status") as f:
            total += next(int(line.split()[1]) for line in f if line.startswith("VmRSS"))
    return total


def stalled_uploads(target, count=200):
    """Uploads that send a head and 1 KB, then nothing: what each one holds."""
    server = target["server"]
    before = resident_kib(server)
    clients = []
    for i in range(count):
        client = socket.create_connection(("127.0.0.1", server.port))
        client.sendall(b"PUT /drop/stalled%d.bin HTTP/1.1\r\nHost: b\r\n"
                       b"Content-Length: 1073741824\r\n\r\n" % i + b"x" * 1000)
        clients.append(client)
    time.sleep(2)
    held = resident_kib(server)
    for client in clients:
        client.close()
    print(f"{count} stalled uploads: resident {before} KiB before, {held} KiB while they stall "
          f"({(held - before) / count:.1f} KiB each)", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", default="build-release/bin/quorvane-server",
                        help="path of the quorvane-server binary")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--stalled-only", action="store_true",
                        help="only what stalled uploads hold, no large uploads")
    args = parser.parse_args()
    if shutil.which("lighttpd") is None:
        print("lighttpd: not installed (bench/install-peers)", file=sys.stderr)
        return 2

    root = tempfile.mkdtemp(prefix="quorvane-upload-")
    targets = []
    try:
        if not enough_disk(root):
            return 2
        site = make_site(root)
        targets = [make_quorvane(args.server, root, site), make_lighttpd(root, site)]
        for target in targets:
            target["server"].start()
        time.sleep(2.5)  # files this new are re-read until they are two seconds old
        print(f"client: this script, zero bytes with Content-Length; {args.runs} runs; "
              f"peak memory: VmHWM after a reset through /proc/PID/clear_refs", flush=True)
        stalled_uploads(targets[0])
        if args.stalled_only:
            return 0
        measured = measure(args, targets)
        if measured is None:
            return 2
        return 0 if report(*measured) else 1
    finally:
        for target in targets:
            target["server"].stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
