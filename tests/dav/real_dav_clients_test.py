#!/usr/bin/env python3
"""Real WebDAV clients (rclone, cadaver, curl, a raw socket) against quorvane-server.

Usage: real_dav_clients_test.py PATH-OF-quorvane-server [unittest options]

One server serves a copy of the sample program folder for the whole run, with
three writable folders in temporary places: /drop/ (uploads and changes),
/inbox/ (uploads only) and /vault/ (uploads and changes behind a password).
Each client's work is checked on the disk the server wrote, not only by what
the client says. Every process started here is stopped here, by its PID.
"""
import filecmp
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from running_server import SAMPLE_RECORDS, RunningSite, tail  # noqa: E402

USER, PASSWORD = "guest", "quorvane"  # the sample users.lst
MiB = 1024 * 1024
CLIENT_SECONDS = 120  # the most any one client run may take before it counts as a hang

SITE = None  # the running server, made in setUpModule


def run(argv, **options):
    """A client run, bounded: a hang ends in TimeoutExpired, the child killed."""
    return subprocess.run(argv, capture_output=True, timeout=CLIENT_SECONDS, **options)


def need(program):
    if shutil.which(program) is None:
        raise RuntimeError(f"{program} is not installed (scripts/install-deps installs it)")


def entries(folder):
    """Every name beneath `folder`, hidden ones included, as (kind, relative path)."""
    found = set()
    for top, folders, files in os.walk(folder):
        for name in folders:
            found.add(("folder", os.path.relpath(os.path.join(top, name), folder)))
        for name in files:
            found.add(("file", os.path.relpath(os.path.join(top, name), folder)))
    return found


def records(folders):
    # name, folder, secure, scripts, programs, uploads, changes
    return SAMPLE_RECORDS + [("/drop/", folders["drop"], "No", "No", "No", "Yes", "Yes"),
                             ("/inbox/", folders["inbox"], "No", "No", "No", "Yes", "No"),
                             ("/vault/", folders["vault"], "Yes", "No", "No", "Yes", "Yes")]


# Room for the test's own files whatever the disk holds besides.
UPLOAD_ROOM = "\r\n[Uploads]\r\nKeepFreeMiB=64\r\nMaxFileMiB=0\r\n"


def setUpModule():
    global SITE
    SITE = RunningSite(SERVER_BINARY, ("drop", "inbox", "vault"), records, UPLOAD_ROOM,
                       prefix="quorvane-dav-clients-")
    unittest.addModuleCleanup(SITE.close)  # runs even when waiting fails
    SITE.wait_ready()


def write_tree(root, count=200):
    """`count` files in nested folders: UTF-8 and punctuation in names, empty
    files, sizes around buffer boundaries, and one 50 MiB file."""
    pick = random.Random(4918)
    named = {
        "Grüße/naïve файл.txt": "Grüße, naïve файл\n".encode(),
        "Grüße/deep/fifty MiB.bin": os.urandom(50 * MiB),
        "empty.txt": b"",
        "docs/2024/q1/also empty.md": b"",
        "100% sure #1 & more.txt": b"percent, hash and ampersand\n",
        "a+b=c;d,e'f (1) [2] {3}.txt": b"punctuation\n",
        "emoji 🎉 Ελληνικά.txt": b"four-byte UTF-8\n",
        "日本語/フォルダ/ファイル.txt": "日本語\n".encode(),
        "with space/ trailing and leading .txt": b"spaces\n",
    }
    folders = ["", "Grüße", "Grüße/deep", "Grüße/deep/er", "docs", "docs/2024/q1", "Ελληνικά",
               "日本語/フォルダ", "with space"]
    sizes = [1, 100, 4095, 4096, 4097, 65535, 65537]
    files = dict(named)
    number = 0
    while len(files) < count:
        folder = folders[number % len(folders)]
        size = 0 if number % 25 == 0 else (
            pick.choice(sizes) if number % 3 else pick.randrange(1, 300_000))
        files[os.path.join(folder, f"file {number:03d} ñ.dat")] = pick.randbytes(size)
        number += 1
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return sorted(files)


class RcloneTest(unittest.TestCase):
    """rclone copies a tree up, checks it, and copies it back down."""

    def setUp(self):
        need("rclone")
        self.work = Path(tempfile.mkdtemp(prefix="quorvane-rclone-"))
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        (self.work / "rclone.conf").write_text("")
        self.env = dict(os.environ, RCLONE_CONFIG=str(self.work / "rclone.conf"),
                        RCLONE_CONFIG_Q_TYPE="webdav", RCLONE_CONFIG_Q_URL=f"{SITE.url}/drop/",
                        RCLONE_CONFIG_Q_VENDOR="other")

    def rclone(self, *arguments):
        # One try each: a retry would hide the failure this is here to see.
        return run(["rclone", *arguments, "--retries", "1", "--low-level-retries", "1",
                    "--contimeout", "10s", "--timeout", "60s"], env=self.env)

    def test_a_tree_goes_up_checks_equal_and_comes_back_byte_for_byte(self):
        original, back = self.work / "original", self.work / "back"
        names = write_tree(original)
        self.assertEqual(len(names), 200)

        up = self.rclone("copy", str(original), "Q:tree")
        self.assertEqual(up.returncode, 0, tail(up.stderr))
        # The server's own disk holds the tree as it was sent.
        self.assertEqual(entries(SITE.folders["drop"] / "tree"), entries(original))

        check = self.rclone("check", str(original), "Q:tree")
        self.assertEqual(check.returncode, 0, tail(check.stderr))
        self.assertIn("0 differences found", check.stderr.decode())
        self.assertIn(f"{len(names)} matching files", check.stderr.decode())
        print("\nrclone check: " + " | ".join(
            line.split(": ", 2)[-1] for line in check.stderr.decode().splitlines()),
              file=sys.stderr)

        down = self.rclone("copy", "Q:tree", str(back))
        self.assertEqual(down.returncode, 0, tail(down.stderr))
        self.assertEqual(entries(back), entries(original))
        differing = [name for name in names
                     if not filecmp.cmp(original / name, back / name, shallow=False)]
        self.assertEqual(differing, [])


class CadaverTest(unittest.TestCase):
    """cadaver, signed in from ~/.netrc, works in the secure folder."""

    def setUp(self):
        need("cadaver")
        self.work = Path(tempfile.mkdtemp(prefix="quorvane-cadaver-"))
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        home = self.work / "home"
        home.mkdir()
        (home / ".netrc").write_text(f"machine 127.0.0.1\nlogin {USER}\npassword {PASSWORD}\n")
        (home / ".netrc").chmod(0o600)
        self.env = dict(os.environ, HOME=str(home))

    def test_put_move_delete_and_get(self):
        source, fetched = self.work / "source.txt", self.work / "fetched.txt"
        source.write_bytes(b"cadaver was here\n" * 1000)
        script = (f"mkcol cadaver\ncd cadaver\nput {source} first.txt\nput {source} second.txt\n"
                  f"move first.txt moved.txt\ndelete second.txt\nget moved.txt {fetched}\nquit\n")
        result = run(["cadaver", f"{SITE.url}/vault/"], input=script.encode(), env=self.env,
                     cwd=self.work)
        said = result.stdout.decode("utf-8", "replace") + result.stderr.decode("utf-8", "replace")
        self.assertNotIn("failed", said)
        self.assertEqual(said.count("succeeded"), 6, said)

        folder = SITE.folders["vault"] / "cadaver"
        self.assertEqual(entries(folder), {("file", "moved.txt")})
        self.assertEqual((folder / "moved.txt").read_bytes(), source.read_bytes())
        self.assertEqual(fetched.read_bytes(), source.read_bytes())


def curl_put(url, source="-", extra=(), data=None):
    """PUT with curl -T; its status code."""
    result = run(["curl", "-sS", "-o", "/dev/null", "-w", "%{http_code}", "--max-time", "60",
                  *extra, "-T", str(source), url], input=data)
    if result.returncode != 0:
        raise AssertionError(f"curl failed: {result.stderr.decode()}")
    return int(result.stdout)


class CurlUploadTest(unittest.TestCase):
    """curl -T as a person would use it: new files, replaced ones, chunked bodies."""

    def setUp(self):
        need("curl")
        self.work = Path(tempfile.mkdtemp(prefix="quorvane-curl-"))
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.first, self.second = self.work / "first.bin", self.work / "second.bin"
        self.first.write_bytes(os.urandom(3 * MiB + 5))  # past curl's Expect: 100-continue
        self.second.write_bytes(b"the second version\n")

    def test_a_second_upload_replaces_only_where_changes_are_allowed(self):
        # folder, status of the second upload, what the file then holds
        cases = [("drop", 204, self.second), ("inbox", 403, self.first)]
        for folder, replaced, holds in cases:
            with self.subTest(folder=folder):
                url = f"{SITE.url}/{folder}/curl upload.bin".replace(" ", "%20")
                self.assertEqual(curl_put(url, self.first), 201)
                self.assertEqual(curl_put(url, self.second), replaced)
                on_disk = SITE.folders[folder] / "curl upload.bin"
                self.assertEqual(on_disk.read_bytes(), holds.read_bytes())

    def test_a_chunked_body_from_stdin(self):
        data = os.urandom(700_000)
        status = curl_put(f"{SITE.url}/drop/chunked.bin",
                          extra=("-H", "Transfer-Encoding: chunked"), data=data)
        self.assertEqual(status, 201)
        self.assertEqual((SITE.folders["drop"] / "chunked.bin").read_bytes(), data)

    def test_the_secure_folder_takes_files_only_with_a_password(self):
        vault = SITE.folders["vault"]
        # credentials, status, whether the file is then there
        cases = [((), 401, False), (("-u", f"{USER}:wrong"), 401, False),
                 (("-u", f"{USER}:{PASSWORD}"), 201, True)]
        for credentials, status, written in cases:
            with self.subTest(credentials=credentials):
                before = entries(vault)
                self.assertEqual(curl_put(f"{SITE.url}/vault/secret.txt", self.second,
                                          credentials), status)
                after = entries(vault)
                if written:
                    self.assertEqual(after - before, {("file", "secret.txt")})
                    self.assertEqual((vault / "secret.txt").read_bytes(),
                                     self.second.read_bytes())
                else:
                    self.assertEqual(after, before)


class InterruptedUploadTest(unittest.TestCase):
    """A client that goes away mid-body leaves nothing behind."""

    def test_nothing_named_or_hidden_remains(self):
        folder = SITE.folders["drop"] / "interrupted"
        folder.mkdir()
        with socket.create_connection(("127.0.0.1", SITE.port), timeout=30) as client:
            client.sendall(b"PUT /drop/interrupted/cut.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                           b"Content-Length: %d\r\n\r\n" % (10 * MiB))
            client.sendall(os.urandom(MiB))
            # The upload is under way when the server has opened its file.
            for _ in range(100):
                if SITE.descriptors_within(folder):
                    break
                time.sleep(0.05)
            self.assertTrue(SITE.descriptors_within(folder), "the upload never began")
        # The server notices the closed connection and lets its file go.
        for _ in range(200):
            if not SITE.descriptors_within(folder):
                break
            time.sleep(0.05)
        self.assertEqual(SITE.descriptors_within(folder), [])
        self.assertEqual(os.listdir(folder), [])


if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1].startswith("-"):
        sys.exit(f"usage: {sys.argv[0]} PATH-OF-quorvane-server [unittest options]")
    SERVER_BINARY = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0], *sys.argv[2:]], verbosity=2)
