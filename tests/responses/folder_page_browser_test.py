#!/usr/bin/env python3
"""The modern folder page in a real browser: headless Chromium, driven
through the DevTools protocol, on a phone's screen and a desktop's.

Usage: folder_page_browser_test.py PATH-OF-quorvane-server [unittest options]

One server serves, beside the sample site, /docs/ (files of known sizes and
dates, hidden ones, a subfolder), /drop/ (uploads and changes), /photos/
(real images and a README.md) and /odd/ (crafted images, a long name). What
the page does is checked where it lands: on the disk the server wrote, in
the zip the browser saved. With QUORVANE_SCREENSHOTS naming a folder, the
page's pictures are saved there as well. Every process started here is
stopped here, by its PID; every wait is bounded.
"""
import base64
import calendar
import filecmp
import os
import shutil
import struct
import sys
import tempfile
import unittest
import urllib.error
import urllib.request
import zipfile
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from browser import Browser  # noqa: E402
from running_server import SAMPLE_RECORDS, RunningSite  # noqa: E402

PHONE, DESKTOP = (390, 844, True), (1280, 800, False)
SITE = None
BROWSER = None
WORK = None  # files made here: what is uploaded, and what is downloaded


ALBUM_SIZE = 50  # a folder of pictures, each made into a thumbnail at once


def records(folders):
    # name, folder, secure, scripts, programs, uploads, changes
    return SAMPLE_RECORDS + [
        ("/docs/", folders["docs"], "No", "No", "No"),
        ("/drop/", folders["drop"], "No", "No", "No", "Yes", "Yes"),
        ("/photos/", folders["photos"], "No", "No", "No"),
        ("/odd/", folders["odd"], "No", "No", "No"),
        ("/album/", folders["album"], "No", "No", "No"),
    ]


def day(text):
    """Seconds since the epoch of a UTC date, "2024-03-05"."""
    year, month, date = map(int, text.split("-"))
    return calendar.timegm((year, month, date, 12, 0, 0))


def write(path, data, modified=None):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    if modified:
        os.utime(path, (day(modified), day(modified)))


def chunk(kind, data):
    """One PNG chunk: length, kind, data and its CRC."""
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, pixel):
    """A PNG of 8-bit RGB pixels; `pixel(x, y)` gives each one's (r, g, b)."""
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y))
                    for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) +
            chunk(b"IEND", b""))


def sunset_png(width, height, hue):
    """A sky fading into a sun's glow over dark water."""

    def pixel(x, y):
        if y > height * 2 // 3:
            return (20, 30 + hue // 4, 60)
        glow = max(0, 255 - ((x - width // 2) ** 2 + (y - height // 2) ** 2) // 40)
        return (min(255, 90 + glow), min(255, 40 + hue // 2 + glow // 2), max(0, 140 - glow // 2))

    return png(width, height, pixel)


# Layered hills under a sky and a sun, drawn by the browser's canvas and
# encoded by its JPEG encoder: photographs as a camera's files would be.
SCENE = """(async (sky, sun, hills) => {
  const canvas = new OffscreenCanvas(640, 427);
  const g = canvas.getContext('2d');
  const air = g.createLinearGradient(0, 0, 0, 427);
  air.addColorStop(0, sky[0]);
  air.addColorStop(1, sky[1]);
  g.fillStyle = air;
  g.fillRect(0, 0, 640, 427);
  g.fillStyle = sun;
  g.beginPath();
  g.arc(440, 170, 48, 0, 2 * Math.PI);
  g.fill();
  hills.forEach((colour, layer) => {
    g.fillStyle = colour;
    g.beginPath();
    g.moveTo(0, 427);
    for (let x = 0; x <= 640; x += 4) {
      g.lineTo(x, 427 * (0.55 + 0.13 * layer) +
        Math.sin(x / 640 * Math.PI * (2 + layer) + layer * 1.7) * 26 * (3 - layer));
    }
    g.lineTo(640, 427);
    g.fill();
  });
  const bytes = new Uint8Array(await (await canvas.convertToBlob(
    {type: 'image/jpeg', quality: 0.9})).arrayBuffer());
  let text = '';
  for (const byte of bytes) text += String.fromCharCode(byte);
  return btoa(text);
})"""

SCENES = {
    "Beach at dusk.jpg": (["#2b3a67", "#f2a65a"], "#ffe5a3", ["#3d5a80", "#293241", "#1b263b"]),
    "Mountain lake.jpg": (["#8ecae6", "#d8f3ff"], "#fff8dc", ["#6c8ea4", "#40635b", "#1f3b2d"]),
    "Harbour lights.jpg": (["#0b132b", "#3a506b"], "#f6e27f", ["#1c2541", "#111827", "#0b0f19"]),
    "Meadow in June.jpg": (["#a8dadc", "#f1faee"], "#fffbe6", ["#95d5b2", "#52b788", "#2d6a4f"]),
}


def jpeg(scene):
    BROWSER.go("about:blank")
    return base64.b64decode(BROWSER.evaluate(f"{SCENE}(...{list(SCENES[scene])!r})"))


def fill_docs(docs):
    # Sizes and dates differ in order from the names.
    write(docs / "apple.txt", b"a" * 300, "2024-03-03")
    write(docs / "banana.txt", b"b" * 10, "2024-03-05")
    write(docs / "cherry.txt", os.urandom(2000), "2024-03-04")
    write(docs / "date.md", b"# d\n" + b"d" * 46, "2024-03-01")
    write(docs / "zeta" / "inner.txt", b"inner\n")
    write(docs / "zeta" / "fruit list.md", b"- apple\n- banana\n")
    write(docs / "zeta" / "deep" / "fruit salad.txt", b"apple, pear, plum\n" * 4000)
    write(docs / ".hidden.txt", b"not for visitors\n")
    write(docs / ".git" / "config", b"[core]\n")
    write(docs / "zeta" / ".also hidden", b"no\n")


def fill_photos(photos):
    for number, name in enumerate(SCENES):
        write(photos / name, jpeg(name), f"2025-07-{12 + number:02d}")
    write(photos / "Sunset from the pier.png", sunset_png(480, 320, 90), "2025-07-18")
    write(photos / "Tide pool.png", sunset_png(320, 240, 200), "2025-07-19")
    (photos / "Day two").mkdir()
    write(photos / "Day two" / "Cliffs.jpg", jpeg("Mountain lake.jpg"), "2025-07-13")
    os.utime(photos / "Day two", (day("2025-07-13"), day("2025-07-13")))
    write(photos / "README.md",
          b"# Summer by the sea\n\nPhotos from a week on the coast, **July 2025**. "
          b"Tap one to see it whole, or take them all with *Download as zip*.\n\n"
          b"- Day one: the beach and the harbour\n- Day two: the cliffs\n", "2025-07-20")


def fill_odd(odd):
    write(odd / "garbage.png", os.urandom(5000))
    # A valid header for 60000 x 60000 pixels, and almost none of them.
    header = struct.pack(">IIBBBBB", 60000, 60000, 8, 2, 0, 0, 0)
    write(odd / "enormous.png", b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
          chunk(b"IDAT", zlib.compress(b"\0" * 720_000)) + chunk(b"IEND", b""))
    write(odd / ("a-name-with-no-spaces-that-goes-on-and-on-" * 4 + "end.txt"), b"long\n")
    write(odd / "שלום עולם.txt", "right to left\n".encode())


def setUpModule():
    global SITE, BROWSER, WORK
    thumbnailer = Path(SERVER_BINARY).parent / "quorvane-thumbnailer"
    if not thumbnailer.exists():
        raise RuntimeError(f"{thumbnailer} is missing: build the quorvane-thumbnailer target")
    WORK = Path(tempfile.mkdtemp(prefix="quorvane-page-")).resolve()
    unittest.addModuleCleanup(shutil.rmtree, WORK, ignore_errors=True)
    BROWSER = Browser()
    unittest.addModuleCleanup(BROWSER.close)
    BROWSER.open_page(*DESKTOP)
    (WORK / "downloads").mkdir()
    BROWSER.save_downloads(WORK / "downloads")
    SITE = RunningSite(SERVER_BINARY, ("docs", "drop", "photos", "odd", "album"), records,
                       "\r\n[Uploads]\r\nKeepFreeMiB=64\r\n", prefix="quorvane-page-site-")
    unittest.addModuleCleanup(SITE.close)
    fill_docs(SITE.folders["docs"])
    fill_photos(SITE.folders["photos"])
    fill_odd(SITE.folders["odd"])
    for number in range(ALBUM_SIZE):
        write(SITE.folders["album"] / f"picture {number:02d}.png",
              sunset_png(64 + number, 48, number * 5), "2025-07-01")
    SITE.wait_ready()


def rows():
    """The names of the rows shown, in order."""
    return BROWSER.evaluate(
        "Array.from(document.querySelectorAll('#entries tbody tr'))"
        ".filter((row) => !row.hidden).map((row) => row.dataset.name)")


def quiet_status():
    BROWSER.evaluate("document.getElementById('status').textContent = ''")


def status_says(word):
    """Waits until the page's status line holds `word`; the line."""
    return BROWSER.until(
        f"document.getElementById('status').textContent.includes({word!r}) && "
        "document.getElementById('status').textContent")


def fetch(path):
    """Status, content type and body of a GET, never raising on a status."""
    try:
        with urllib.request.urlopen(SITE.url + path, timeout=30) as reply:
            return reply.status, reply.headers["Content-Type"], reply.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers["Content-Type"], error.read()


def shown_tree(folder):
    """What a zip of `folder` should hold: its name, then every entry below
    whose path has no hidden name, folders ending in "/"; files' bytes."""
    tree = {f"{folder.name}/": None}
    for path in folder.rglob("*"):
        relative = path.relative_to(folder)
        if any(part.startswith(".") for part in relative.parts):
            continue
        name = f"{folder.name}/{relative.as_posix()}"
        tree[name + "/" if path.is_dir() else name] = None if path.is_dir() else path.read_bytes()
    return tree


def zip_tree(path):
    with zipfile.ZipFile(path) as archive:
        return {info.filename: None if info.is_dir() else archive.read(info)
                for info in archive.infolist()}


class SortFilterSearchTest(unittest.TestCase):
    """The header links sort on the server, on a phone as on a desktop, and
    with scripts off; the filter hides rows; a search lists paths below."""

    SORTS = [  # the link clicked, the query it leads to, the rows then
        ("Size", "?sort=size&order=asc",
         ["zeta", "banana.txt", "date.md", "apple.txt", "cherry.txt"]),
        ("Size", "?sort=size&order=desc",
         ["zeta", "cherry.txt", "apple.txt", "date.md", "banana.txt"]),
        ("Modified", "?sort=time&order=asc",
         ["zeta", "date.md", "apple.txt", "cherry.txt", "banana.txt"]),
        ("Name", "?sort=name&order=asc",
         ["zeta", "apple.txt", "banana.txt", "cherry.txt", "date.md"]),
        ("Name", "?sort=name&order=desc",
         ["zeta", "date.md", "cherry.txt", "banana.txt", "apple.txt"]),
    ]

    def tearDown(self):
        BROWSER.allow_scripts(True)
        BROWSER.resize(*DESKTOP)

    def click_sort(self, label):
        # The one link of that label the screen shows: the column's header,
        # or on a phone its stand-in beside the name's.
        BROWSER.evaluate(f"""(() => {{
            for (const link of document.querySelectorAll('thead a')) link.removeAttribute('id');
            const shown = Array.from(document.querySelectorAll('thead a')).filter((link) =>
                link.textContent.startsWith({label!r}) && link.getClientRects().length > 0);
            if (shown.length !== 1) throw new Error(shown.length + ' links {label}');
            shown[0].id = 'sort-link';
        }})()""")
        BROWSER.follow(lambda: BROWSER.click("#sort-link"))

    def test_the_header_links_sort_on_each_screen_and_without_scripts(self):
        for screen, scripts in ((PHONE, True), (DESKTOP, True), (DESKTOP, False)):
            with self.subTest(screen=screen, scripts=scripts):
                BROWSER.resize(*screen)
                BROWSER.allow_scripts(scripts)
                BROWSER.go(SITE.url + "/docs/")
                self.assertEqual(BROWSER.evaluate("document.documentElement.className"),
                                 "js" if scripts else "")
                self.assertEqual(rows(), ["zeta", "apple.txt", "banana.txt", "cherry.txt",
                                          "date.md"])
                for label, query, order in self.SORTS:
                    self.click_sort(label)
                    self.assertEqual(BROWSER.evaluate("location.search"), query)
                    self.assertEqual(rows(), order, label)

    def test_the_filter_hides_rows_as_one_types(self):
        BROWSER.go(SITE.url + "/docs/")
        BROWSER.click("#filter")
        # typed, the rows then shown
        for typed, shown in (("AN", ["banana.txt"]), ("qu", []),
                             ("", ["zeta", "apple.txt", "banana.txt", "cherry.txt", "date.md"])):
            BROWSER.evaluate("document.getElementById('filter').select()")
            if typed:
                BROWSER.type_text(typed)
            else:
                BROWSER.send("Input.dispatchKeyEvent", type="keyDown", key="Backspace",
                             code="Backspace", windowsVirtualKeyCode=8)
            self.assertEqual(BROWSER.evaluate("document.getElementById('filter').value"), typed)
            self.assertEqual(rows(), shown, typed)

    def test_a_search_lists_what_lies_below_with_its_path(self):
        for screen in (PHONE, DESKTOP):
            with self.subTest(screen=screen):
                BROWSER.resize(*screen)
                BROWSER.go(SITE.url + "/docs/?sort=size&order=desc")
                BROWSER.click("input[name=q]")
                BROWSER.type_text("fruit")
                BROWSER.follow(BROWSER.press_enter)
                self.assertEqual(BROWSER.evaluate("location.search"),
                                 "?q=fruit&sort=size&order=desc")
                found = BROWSER.evaluate("""Array.from(document.querySelectorAll(
                    '#entries tbody tr')).map((row) => [
                        row.querySelector('.label > bdi').textContent,
                        row.querySelector('.within').textContent,
                        row.querySelector('.name a').getAttribute('href')])""")
                self.assertEqual(found, [["fruit salad.txt", "zeta/deep/",
                                          "zeta/deep/fruit%20salad.txt"],
                                         ["fruit list.md", "zeta/", "zeta/fruit%20list.md"]])
                self.assertIn("2 found for", BROWSER.evaluate(
                    "document.getElementById('searched').textContent"))
                # A result's link opens the file itself.
                BROWSER.follow(lambda: BROWSER.click("#entries tbody tr .name a"))
                self.assertEqual(BROWSER.evaluate("document.body.textContent"),
                                 "apple, pear, plum\n" * 4000)
                BROWSER.resize(*DESKTOP)


class FitTest(unittest.TestCase):
    """Narrow phones never scroll sideways, and every control in a row is a
    finger's height."""

    PAGES = ["/docs/", "/odd/", "/drop/", "/photos/", "/docs/?q=fruit"]

    def tearDown(self):
        BROWSER.resize(*DESKTOP)

    def test_no_sideways_scrolling_and_tall_tap_targets(self):
        for width in (360, 390):
            BROWSER.resize(width, 780, True)
            for page in self.PAGES:
                with self.subTest(width=width, page=page):
                    BROWSER.go(SITE.url + page)
                    scroll, inner = BROWSER.evaluate(
                        "[document.documentElement.scrollWidth, innerWidth]")
                    self.assertEqual(inner, width)
                    self.assertLessEqual(scroll, inner)
                    targets = BROWSER.evaluate("""Array.from(document.querySelectorAll(
                        '#entries a, #entries button, #entries label, header a, header button'))
                        .filter((target) => target.getClientRects().length > 0)
                        .map((target) => [target.textContent.trim() ||
                                          target.getAttribute('aria-label') ||
                                          target.querySelector('input').getAttribute('aria-label'),
                                          target.getBoundingClientRect().height])""")
                    self.assertGreater(len(targets), 5)
                    short = [(name, height) for name, height in targets if height < 44]
                    self.assertEqual(short, [])


class UploadRenameDeleteTest(unittest.TestCase):
    """Files and a folder go up through the page's file inputs, one is
    renamed and one deleted through its dialogs; the disk says what happened."""

    def setUp(self):
        self.drop = SITE.folders["drop"]
        self.source = WORK / "source"
        self.files = {"photo.raw": os.urandom(3 * 1024 * 1024 + 11), "notes.txt": b"notes\n",
                      "empty.dat": b""}
        for name, data in self.files.items():
            write(self.source / name, data)
        self.album = self.source / "album"
        write(self.album / "cover.txt", b"cover\n")
        write(self.album / "day one" / "sea.bin", os.urandom(200_000))

    def tearDown(self):
        shutil.rmtree(self.source, ignore_errors=True)

    def watch_uploads(self):
        """Records whether the uploads section showed, and each value the
        total bar took."""
        BROWSER.evaluate("""(() => {
            window.seen = {shown: false, totals: []};
            const section = document.getElementById('uploads');
            new MutationObserver(() => {
                seen.shown = seen.shown || !section.hidden;
                const total = document.getElementById('total');
                seen.totals.push([total.value, total.max]);
            }).observe(section, {attributes: true, subtree: true});
        })()""")

    def assert_progress_ended_full(self, count):
        seen = BROWSER.evaluate("seen")
        self.assertTrue(seen["shown"], "the uploads section never showed")
        values = [value for value, _ in seen["totals"]]
        self.assertEqual(values, sorted(values), "the total went back")
        bars = BROWSER.evaluate("""Array.from(document.querySelectorAll('#upload-list progress'))
            .map((bar) => [bar.value, bar.max])""")
        self.assertEqual(len(bars), count)
        for value, most in bars + [seen["totals"][-1]]:
            self.assertEqual(value, most)
        # Nothing failed, so the section makes way again.
        self.assertTrue(BROWSER.evaluate("document.getElementById('uploads').hidden"))

    def test_upload_rename_and_delete(self):
        BROWSER.go(SITE.url + "/drop/")
        self.assertEqual(rows(), [])

        self.watch_uploads()
        quiet_status()
        BROWSER.set_files("#files", [self.source / name for name in self.files])
        self.assertEqual(status_says("Uploaded"), "Uploaded 3 of 3 files.")
        self.assert_progress_ended_full(3)
        BROWSER.until("document.querySelectorAll('#entries tbody tr').length === 3")
        for name, data in self.files.items():
            self.assertEqual((self.drop / name).read_bytes(), data, name)

        self.watch_uploads()
        quiet_status()
        BROWSER.set_files("#folder", [self.album])
        self.assertEqual(status_says("Uploaded"), "Uploaded 2 of 2 files.")
        self.assert_progress_ended_full(2)
        BROWSER.until("document.querySelectorAll('#entries tbody tr').length === 4")
        self.assertEqual(rows(), ["album", "empty.dat", "notes.txt", "photo.raw"])
        self.assertEqual(filecmp.dircmp(self.album, self.drop / "album").diff_files, [])
        self.assertEqual(sorted(p.relative_to(self.drop).as_posix()
                                for p in (self.drop / "album").rglob("*")),
                         ["album/cover.txt", "album/day one", "album/day one/sea.bin"])
        self.assertEqual((self.drop / "album" / "day one" / "sea.bin").read_bytes(),
                         (self.album / "day one" / "sea.bin").read_bytes())

        renamed = "Grüße & notes #1.txt"
        quiet_status()
        BROWSER.soon("document.querySelector('tr[data-name=\"notes.txt\"] .rename').click()")
        dialog = BROWSER.answer_dialog(True, renamed)
        self.assertEqual((dialog["type"], dialog["defaultPrompt"]), ("prompt", "notes.txt"))
        status_says("Renamed")
        self.assertFalse((self.drop / "notes.txt").exists())
        self.assertEqual((self.drop / renamed).read_bytes(), self.files["notes.txt"])
        BROWSER.until(f"document.querySelector('tr[data-name=\"{renamed}\"]') !== null")

        # Declined first: nothing changes.
        for accept in (False, True):
            BROWSER.soon("document.querySelector('tr[data-name=\"photo.raw\"] .delete').click()")
            dialog = BROWSER.answer_dialog(accept)
            self.assertEqual(dialog["type"], "confirm")
            self.assertIn("photo.raw", dialog["message"])
            if accept:
                status_says("Deleted")
            self.assertEqual((self.drop / "photo.raw").exists(), not accept)
        BROWSER.until("document.querySelectorAll('#entries tbody tr').length === 3")
        self.assertEqual(sorted(os.listdir(self.drop)), sorted(["album", "empty.dat", renamed]))


class ZipDownloadTest(unittest.TestCase):
    """The zip links save, through the browser, exactly what the folder
    shows: every name and byte, no hidden file."""

    def test_the_whole_folder(self):
        docs = SITE.folders["docs"]
        # the page, the folder it shows, a name the zip must hold
        for page, folder, held in (("/docs/", docs, "docs/zeta/deep/fruit salad.txt"),
                                   ("/docs/zeta/", docs / "zeta", "zeta/deep/fruit salad.txt")):
            with self.subTest(page=page):
                BROWSER.go(SITE.url + page)
                BROWSER.click(".tools a.button:not(#zip-picked)")
                name, path = BROWSER.download()
                self.assertEqual(name, f"{folder.name}.zip")
                expected = shown_tree(folder)
                self.assertIn(held, expected)
                self.assertEqual(zip_tree(path), expected)

    def test_a_selection(self):
        BROWSER.go(SITE.url + "/docs/")
        self.assertTrue(BROWSER.evaluate("document.getElementById('zip-picked').hidden"))
        for picked in ("zeta", "cherry.txt"):
            BROWSER.click(f"tr[data-name=\"{picked}\"] .pick-box")
        self.assertEqual(BROWSER.evaluate("document.getElementById('zip-picked').textContent"),
                         "Download 2 selected as zip")
        BROWSER.click("#zip-picked")
        name, path = BROWSER.download()
        self.assertEqual(name, "docs.zip")
        expected = {entry: data for entry, data in shown_tree(SITE.folders["docs"]).items()
                    if entry == "docs/" or entry.startswith(("docs/zeta/", "docs/cherry.txt"))}
        self.assertEqual(zip_tree(path), expected)


class ThumbnailTest(unittest.TestCase):
    """Images show as thumbnails the server makes; images made to hurt the
    decoder cost a thumbnail, never the server."""

    def test_real_images_show_thumbnails(self):
        for screen in (PHONE, DESKTOP):
            with self.subTest(screen=screen):
                BROWSER.resize(*screen)
                BROWSER.go(SITE.url + "/photos/")
                images = BROWSER.until("""(() => {
                    const images = Array.from(document.querySelectorAll('img.thumb'));
                    return images.every((image) => image.complete) && images.map((image) =>
                        [image.closest('tr').dataset.name, image.naturalWidth,
                         image.naturalHeight]);
                })()""")
                self.assertEqual(sorted(name for name, _, _ in images),
                                 sorted(p.name for p in SITE.folders["photos"].iterdir()
                                        if p.suffix in (".jpg", ".png")))
                for name, width, height in images:
                    self.assertTrue(0 < width <= 256 and 0 < height <= 256, (name, width, height))
                    self.assertEqual(max(width, height), 256, name)
        BROWSER.resize(*DESKTOP)
        status, kind, body = fetch("/photos/Beach%20at%20dusk.jpg?format=thumbnail")
        self.assertEqual((status, kind), (200, "image/webp"))
        self.assertEqual((body[:4], body[8:12]), (b"RIFF", b"WEBP"))

    def test_a_folder_of_fifty_pictures_shows_every_thumbnail(self):
        BROWSER.go(SITE.url + "/album/")
        # Thumbnails load lazily: each is in view at some moment of the scroll.
        loaded = BROWSER.until("""(() => {
            window.scrollBy(0, 400);
            const images = Array.from(document.querySelectorAll('img.thumb'));
            return images.length > 0 && images.every((image) => image.complete) &&
                images.filter((image) => image.naturalWidth > 0).length;
        })()""", seconds=60)
        self.assertEqual(loaded, ALBUM_SIZE)
        self.assertIsNone(SITE.process.poll())

    def test_crafted_images_leave_the_server_serving(self):
        for name in ("garbage.png", "enormous.png"):
            with self.subTest(name=name):
                status, kind, _ = fetch(f"/odd/{name}?format=thumbnail")
                self.assertNotEqual(kind, "image/webp")
                self.assertEqual(fetch("/odd/")[0], 200)
                self.assertEqual(fetch("/photos/Tide%20pool.png?format=thumbnail")[:2],
                                 (200, "image/webp"))
        # The page shows the image icon where no thumbnail came.
        BROWSER.go(SITE.url + "/odd/")
        BROWSER.until("document.querySelectorAll('img.thumb').length === 0")
        icons = BROWSER.evaluate("""Object.fromEntries(Array.from(
            document.querySelectorAll('#entries tbody tr'), (row) =>
                [row.dataset.name, row.querySelector('.name svg').getAttribute('class')]))""")
        self.assertEqual(len(icons), 4)
        self.assertEqual((icons["garbage.png"], icons["enormous.png"]),
                         ("icon t-image", "icon t-image"))
        self.assertIsNone(SITE.process.poll())


class ScreenshotTest(unittest.TestCase):
    """The README's pictures of the page, saved when QUORVANE_SCREENSHOTS
    names a folder."""

    def test_screenshots(self):
        folder = os.environ.get("QUORVANE_SCREENSHOTS")
        if not folder:
            self.skipTest("QUORVANE_SCREENSHOTS names no folder")
        for screen_name, screen in (("phone", PHONE), ("desktop", DESKTOP)):
            for scheme in ("light", "dark"):
                BROWSER.resize(*screen)
                BROWSER.prefer_dark(scheme == "dark")
                BROWSER.go(SITE.url + "/photos/")
                BROWSER.until("Array.from(document.images).every((image) => image.complete && "
                              "image.naturalWidth > 0)")
                path = Path(folder) / f"folder-page-{screen_name}-{scheme}.png"
                BROWSER.screenshot(path)
                self.assertGreater(path.stat().st_size, 10_000)
        BROWSER.prefer_dark(False)
        BROWSER.resize(*DESKTOP)


if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1].startswith("-"):
        sys.exit(f"usage: {sys.argv[0]} PATH-OF-quorvane-server [unittest options]")
    SERVER_BINARY = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0], *sys.argv[2:]], verbosity=2)
