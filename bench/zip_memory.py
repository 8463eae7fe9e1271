#!/usr/bin/env python3
"""Folder zips: peak memory whatever the files weigh, and ZIP64 past 4 GiB.

Drives zip_folder (bench/zip_folder.cpp: the folder zip as the server sends
it, built with `cmake --build build --target zip_folder`) on trees of sparse
files made here, so the disk holds little while every byte is still read:

- memory: 2 GiB in eight files, half deflated (.bin) and half stored (.mkv),
  and 1000 small text files, zipped to /dev/null. Reported: seconds, archive
  bytes, pieces, the largest piece and zip_folder's peak resident memory
  (VmHWM). It passes when the peak stays under --most-rss-mib.
- zip64: one 4.5 GiB stored file with a small one after it, zipped to a file
  (6 GiB free needed) and read back by Python's zipfile and by `unzip -t`
  where installed: sizes, the offset past 4 GiB and every CRC.

Every file made here is deleted at the end.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

GIB = 1 << 30
MIB = 1 << 20


def sparse(path, size):
    with open(path, "wb") as file:
        file.truncate(size)


def run_zipper(zipper, folder, out):
    started = time.monotonic()
    done = subprocess.run([zipper, folder, out], capture_output=True, text=True, timeout=1800)
    seconds = time.monotonic() - started
    report = done.stderr.strip()
    fields = dict(re.findall(r"(\w+)\s+([\d?]+)", report))
    return done.returncode, seconds, fields, report


def memory_run(zipper, root, most_rss_mib):
    tree = os.path.join(root, "memory")
    os.makedirs(os.path.join(tree, "small"))
    for i in range(4):
        sparse(os.path.join(tree, f"deflated-{i}.bin"), GIB // 8)
        sparse(os.path.join(tree, f"stored-{i}.mkv"), GIB // 8 * 3)
    for i in range(1000):
        with open(os.path.join(tree, "small", f"note-{i:04}.txt"), "w") as file:
            file.write(f"note {i}\n" * 20)
    status, seconds, fields, report = run_zipper(zipper, tree, "/dev/null")
    peak_kib = int(fields.get("peak_rss_kib", "0"))
    print(f"memory: 2 GiB in 8 sparse files + 1000 small ones -> {report}; "
          f"{seconds:.1f} s (zip_folder {tree} /dev/null)")
    ok = status == 0 and 0 < peak_kib < most_rss_mib * 1024
    print(f"memory: peak {peak_kib / 1024:.1f} MiB, bound {most_rss_mib} MiB: "
          f"{'ok' if ok else 'FAILED'}")
    return ok


def zip64_run(zipper, root):
    tree = os.path.join(root, "zip64")
    os.makedirs(tree)
    big = GIB * 9 // 2
    sparse(os.path.join(tree, "movie.mp4"), big)
    with open(os.path.join(tree, "z-after.txt"), "w") as file:
        file.write("after the big one\n")
    out = os.path.join(root, "zip64.zip")
    status, seconds, fields, report = run_zipper(zipper, tree, out)
    print(f"zip64: 4.5 GiB sparse file + a small one -> {report}; {seconds:.1f} s")
    if status != 0:
        return False
    with zipfile.ZipFile(out) as archive:
        entries = {info.filename: info for info in archive.infolist()}
        movie = entries.get("zip64/movie.mp4")
        after = entries.get("zip64/z-after.txt")
        bad = archive.testzip()
        ok = (movie is not None and after is not None and movie.file_size == big and
              after.header_offset > 0xFFFFFFFF and bad is None and
              archive.read(after) == b"after the big one\n")
        print(f"zip64: python zipfile: movie {movie.file_size if movie else None} bytes, "
              f"the next entry at offset {after.header_offset if after else None}, "
              f"testzip {bad}: {'ok' if ok else 'FAILED'}")
    if shutil.which("unzip"):
        tested = subprocess.run(["unzip", "-tq", out], capture_output=True, text=True, timeout=600)
        print(f"zip64: unzip -tq: {tested.stdout.strip()}")
        ok = ok and tested.returncode == 0
    return ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zipper", default="build/bin/zip_folder",
                        help="path of the zip_folder binary")
    parser.add_argument("--work", default=None, help="folder to make the trees in")
    parser.add_argument("--most-rss-mib", type=int, default=16)
    parser.add_argument("--skip-zip64", action="store_true")
    args = parser.parse_args()
    if not os.access(args.zipper, os.X_OK):
        print(f"{args.zipper}: missing; cmake --build build --target zip_folder", file=sys.stderr)
        return 2
    root = tempfile.mkdtemp(prefix="quorvane-zip-", dir=args.work)
    try:
        ok = memory_run(args.zipper, root, args.most_rss_mib)
        if not args.skip_zip64:
            free = shutil.disk_usage(root).free
            if free < 6 * GIB:
                print(f"zip64: skipped, {free / GIB:.1f} GiB free in {root}, 6 GiB needed")
            else:
                ok = zip64_run(args.zipper, root) and ok
        return 0 if ok else 1
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
